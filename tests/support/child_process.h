#pragma once

#include <QProcess>

#include <sys/prctl.h>
#include <unistd.h>
#include <csignal>
#include <functional>

namespace mereval::test {

// The child dies with the test, even when ctest kills the test at its time-out.
// alsoInChild runs in the child too, before the program starts.
inline void DieWithParent(QProcess& process, std::function<void()> alsoInChild = {}) {
    const pid_t parent = ::getpid();
    process.setChildProcessModifier([parent, alsoInChild] {
        if (::prctl(PR_SET_PDEATHSIG, SIGKILL) != 0 || ::getppid() != parent) {
            ::_exit(127);
        }
        if (alsoInChild) {
            alsoInChild();
        }
    });
}

// Asks the child to end, so that it removes its sockets and lock files;
// kills it when it has not within a few seconds.
inline void StopChild(QProcess& process) {
    process.terminate();
    if (!process.waitForFinished(5000)) {
        process.kill();
        process.waitForFinished();
    }
}

}  // namespace mereval::test
