#include "platform/program_folder_lock.h"

#include <QDir>
#include <QFile>

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace mereval::platform {

ProgramFolderLock::ProgramFolderLock(const QString& folder) {
    const QByteArray path = QFile::encodeName(QDir(folder).filePath(FileName()));
    fd_ = ::open(path.constData(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    if (fd_ < 0) {
        errorText_ = QString::fromLocal8Bit(std::strerror(errno));
        return;
    }
    if (::flock(fd_, LOCK_EX | LOCK_NB) == 0) {
        state_ = State::Held;
    } else if (errno == EWOULDBLOCK) {
        state_ = State::HeldByAnotherCopy;
    } else {
        errorText_ = QString::fromLocal8Bit(std::strerror(errno));
    }
}

ProgramFolderLock::~ProgramFolderLock() {
    if (fd_ >= 0) {
        ::close(fd_);
    }
}

}  // namespace mereval::platform
