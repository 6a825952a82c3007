#include "common/wipe.h"

#include <algorithm>

namespace mereval::common {

void Wipe(QByteArray& bytes) {
    if (bytes.isDetached()) {
        std::fill(bytes.begin(), bytes.end(), '\0');
    }
    bytes.clear();
}

void Wipe(QString& text) {
    if (text.isDetached()) {
        std::fill(text.begin(), text.end(), QChar());
    }
    text.clear();
}

}  // namespace mereval::common
