#pragma once

namespace mereval::platform {

// Keeps the card tracks and PINs in the process's memory out of core files:
// none is written, and the process is not dumpable (nor open to ptrace by
// other processes of its account). Call first thing in main(); false when
// the system refused.
bool DisableCoreDumps();

}  // namespace mereval::platform
