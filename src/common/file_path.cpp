#include "common/file_path.h"

namespace mereval::common {

QString MakeFilePath(const QString& folder, const QString& fileName) {
    return folder.endsWith(u'/') ? folder + fileName : folder + u'/' + fileName;
}

}  // namespace mereval::common
