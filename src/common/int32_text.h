#pragma once

#include <QString>
#include <QtGlobal>

namespace mereval::common {

// Reads text as ParseNumericText does and rounds it half to even to a signed
// 32-bit number. A number outside that range counts as no number at all
// (false, value untouched): a stored port of 4294967296 is as unusable as
// "abc", and wrapping it round would connect somewhere unintended.
bool ParseInt32Text(const QString& text, qint32* value);

}  // namespace mereval::common
