#include "platform/computer_name.h"

#include <unistd.h>

#include <cstring>

namespace mereval::platform {

qsizetype QueryComputerName(char* buffer, qsizetype capacity) {
    if (capacity <= 0 || ::gethostname(buffer, static_cast<size_t>(capacity)) != 0) {
        return 0;
    }
    // A name that fills the buffer exactly comes without a terminating NUL.
    return static_cast<qsizetype>(::strnlen(buffer, static_cast<size_t>(capacity)));
}

}  // namespace mereval::platform
