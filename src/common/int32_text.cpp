#include "common/int32_text.h"

#include "common/value_helpers.h"

#include <cmath>
#include <limits>

namespace mereval::common {

bool ParseInt32Text(const QString& text, qint32* value) {
    double number = 0;
    if (!ParseNumericText(text, &number)) {
        return false;
    }
    const double rounded = std::nearbyint(number);  // the default mode rounds halves to even
    if (rounded < std::numeric_limits<qint32>::min() ||
        rounded > std::numeric_limits<qint32>::max()) {
        return false;
    }
    *value = static_cast<qint32>(rounded);
    return true;
}

}  // namespace mereval::common
