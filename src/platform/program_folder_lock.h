#pragma once

#include <QString>

namespace mereval::platform {

// The lock that allows one running copy of the program per program folder:
// two copies would send the same session numbers and write one log.txt. It
// is an flock on mereval.lock in the folder, held until the object goes (or
// the process ends, however it ends, so a crash leaves no stale lock).
class ProgramFolderLock {
public:
    enum class State { Held, HeldByAnotherCopy, Failed };

    explicit ProgramFolderLock(const QString& folder);
    ~ProgramFolderLock();
    ProgramFolderLock(const ProgramFolderLock&) = delete;
    ProgramFolderLock& operator=(const ProgramFolderLock&) = delete;

    State state() const { return state_; }
    // The system's description of the failure when Failed.
    QString errorText() const { return errorText_; }

    static QString FileName() { return QStringLiteral("mereval.lock"); }

private:
    int fd_ = -1;
    State state_ = State::Failed;
    QString errorText_;
};

}  // namespace mereval::platform
