#include "platform/core_dumps.h"

#include <sys/prctl.h>
#include <sys/resource.h>

namespace mereval::platform {

bool DisableCoreDumps() {
    const rlimit none{0, 0};
    const bool noCoreFile = ::setrlimit(RLIMIT_CORE, &none) == 0;
    return ::prctl(PR_SET_DUMPABLE, 0, 0, 0, 0) == 0 && noCoreFile;
}

}  // namespace mereval::platform
