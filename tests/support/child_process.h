#pragma once

#include <QProcess>

#include <csignal>
#include <sys/prctl.h>
#include <unistd.h>

namespace mereval::test {

// A server started by a test dies with the test, even when ctest kills the
// test at its time-out: the kernel sends SIGKILL when the parent goes. A parent
// already gone before the request took effect is caught by the pid check.
inline void DieWithParent(QProcess& process) {
    const pid_t parent = ::getpid();
    process.setChildProcessModifier([parent] {
        if (::prctl(PR_SET_PDEATHSIG, SIGKILL) != 0 || ::getppid() != parent) {
            ::_exit(127);
        }
    });
}

}  // namespace mereval::test
