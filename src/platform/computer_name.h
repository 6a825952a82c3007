#pragma once

#include <QtGlobal>

namespace mereval::platform {

// Copies the host name into buffer (capacity bytes) and returns its length
// in bytes, or 0 when the system gives none or one that does not fit.
qsizetype QueryComputerName(char* buffer, qsizetype capacity);

}  // namespace mereval::platform
