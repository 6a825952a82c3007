#include "platform/settings_file_access.h"

#include <QFile>
#include <QFileInfo>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <array>
#include <cerrno>

namespace mereval::platform {
namespace {

QByteArray NativePath(const QString& path) {
    return QFile::encodeName(path);
}

QByteArray NativeFolderOf(const QString& filePath) {
    return NativePath(QFileInfo(filePath).path());
}

int ReadAll(int fd, QByteArray& bytes) {
    std::array<char, 65536> chunk;
    for (;;) {
        const ssize_t count = ::read(fd, chunk.data(), chunk.size());
        if (count > 0) {
            bytes.append(chunk.data(), count);
        } else if (count == 0) {
            return 0;
        } else if (errno != EINTR) {
            return errno;
        }
    }
}

int WriteAll(int fd, const QByteArray& bytes) {
    const char* next = bytes.constData();
    qsizetype left = bytes.size();
    while (left > 0) {
        const ssize_t count = ::write(fd, next, static_cast<size_t>(left));
        if (count < 0) {
            if (errno == EINTR) {
                continue;
            }
            return errno;
        }
        next += count;
        left -= count;
    }
    return 0;
}

// A replaced file keeps the permissions that an administrator gave it; a
// new one is readable by every account of the till, as a machine-wide
// setting must be.
mode_t ModeForReplacing(const QByteArray& target) {
    struct stat status {};
    if (::stat(target.constData(), &status) == 0) {
        return status.st_mode & 07777;
    }
    return 0644;
}

int FillTemporary(int fd, const QByteArray& contents, mode_t mode) {
    if (::fchmod(fd, mode) != 0) {
        return errno;
    }
    if (const int error = WriteAll(fd, contents); error != 0) {
        return error;
    }
    return ::fsync(fd) == 0 ? 0 : errno;
}

// Without this the rename itself may be lost to a power cut.
int SyncFolder(const QByteArray& folder) {
    const int fd = ::open(folder.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) {
        return errno;
    }
    const int error = ::fsync(fd) == 0 ? 0 : errno;
    ::close(fd);
    return error;
}

class PosixSettingsFileAccess final : public SettingsFileAccess {
public:
    SettingsFileContents ReadWholeFile(const QString& filePath) const override {
        SettingsFileContents contents;
        const int fd = ::open(NativePath(filePath).constData(), O_RDONLY | O_CLOEXEC);
        if (fd < 0) {
            contents.openError = errno;
            return contents;
        }
        contents.readError = ReadAll(fd, contents.bytes);
        ::close(fd);
        if (contents.readError != 0) {
            contents.bytes.clear();
        }
        return contents;
    }

    int CreateFolderFor(const QString& filePath) const override {
        const QByteArray folder = NativeFolderOf(filePath);
        struct stat status {};
        if (::stat(folder.constData(), &status) != 0) {
            // Every folder on the way in turn, as "mkdir -p" does; one that
            // exists already is passed over.
            qsizetype slash = 0;
            do {
                slash = folder.indexOf('/', slash + 1);
                const QByteArray part = slash < 0 ? folder : folder.first(slash);
                if (::mkdir(part.constData(), 0755) != 0 && errno != EEXIST) {
                    return errno;
                }
            } while (slash >= 0);
            if (::stat(folder.constData(), &status) != 0) {
                return errno;
            }
        }
        return S_ISDIR(status.st_mode) ? 0 : ENOTDIR;
    }

    int ReplaceWholeFile(const QString& filePath, const QByteArray& contents) const override {
        const QByteArray target = NativePath(filePath);
        const QByteArray folder = NativeFolderOf(filePath);
        // A short fixed name, so that any target name that the folder
        // accepts leaves room for the temporary one beside it.
        QByteArray temporary = folder + QByteArrayLiteral("/.settings.XXXXXX");
        const int fd = ::mkstemp(temporary.data());
        if (fd < 0) {
            return errno;
        }
        int error = FillTemporary(fd, contents, ModeForReplacing(target));
        if (::close(fd) != 0 && error == 0) {
            error = errno;
        }
        if (error == 0 && ::rename(temporary.constData(), target.constData()) != 0) {
            error = errno;
        }
        if (error != 0) {
            ::unlink(temporary.constData());
            return error;
        }
        return SyncFolder(folder);
    }
};

}  // namespace

const SettingsFileAccess& SystemSettingsFileAccess() {
    static const PosixSettingsFileAccess access;
    return access;
}

}  // namespace mereval::platform
