#include "common/text_file.h"

#include <QFile>

namespace mereval::common {

void AppendTextToFile(const QString& filePath, const QByteArray& bytes, QString& errorText) {
    errorText.clear();
    if (bytes.isEmpty()) {
        return;
    }
    // Unbuffered, so a failed write is seen here and not lost in the close.
    QFile file(filePath);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Append | QIODevice::Unbuffered) ||
        file.write(bytes) != bytes.size()) {
        errorText = file.errorString();
    }
}

}  // namespace mereval::common
