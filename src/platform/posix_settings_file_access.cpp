#include "platform/settings_file_access.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <fcntl.h>
#include <sys/file.h>
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

// A short fixed name, so that any target name that the folder accepts leaves
// room for the temporary one beside it.
constexpr char kTemporaryPrefix[] = ".settings.";
constexpr char kTemporaryPattern[] = ".settings.XXXXXX";

// The file that a chain of symbolic links ends at (the path itself when it
// is no link or does not exist yet), so that writing replaces that file and
// the links stay. Relative links count from the folder of the link.
int FinalTarget(QByteArray& path) {
    constexpr int kMaxLinks = 40;  // as the kernel's own ELOOP limit
    for (int links = 0; links < kMaxLinks; ++links) {
        struct stat status {};
        if (::lstat(path.constData(), &status) != 0 || !S_ISLNK(status.st_mode)) {
            return 0;
        }
        std::array<char, 4096> link;
        const ssize_t size = ::readlink(path.constData(), link.data(), link.size());
        if (size < 0) {
            return errno;
        }
        if (size == ssize_t(link.size())) {
            return ENAMETOOLONG;
        }
        const QByteArray next(link.data(), size);
        path = next.startsWith('/') ? next : NativeFolderOf(QFile::decodeName(path)) + '/' + next;
    }
    return ELOOP;
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

// The temporary file keeps mkstemp's 0600 until its contents are durable,
// so that one left behind by a crash is readable by nobody else; it takes
// its final mode only just before the rename.
int FillTemporary(int fd, const QByteArray& contents, mode_t mode) {
    if (const int error = WriteAll(fd, contents); error != 0) {
        return error;
    }
    if (::fsync(fd) != 0) {
        return errno;
    }
    return ::fchmod(fd, mode) == 0 ? 0 : errno;
}

// A stale temporary file is one that no writer holds locked; the name must
// still be the file that was locked, or it may have become the settings file.
void RemoveIfUnlocked(const QByteArray& path) {
    const int fd = ::open(path.constData(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0) {
        return;
    }
    struct stat locked {};
    struct stat named {};
    if (::flock(fd, LOCK_EX | LOCK_NB) == 0 && ::fstat(fd, &locked) == 0 &&
        ::lstat(path.constData(), &named) == 0 && locked.st_ino == named.st_ino &&
        locked.st_dev == named.st_dev) {
        ::unlink(path.constData());
    }
    ::close(fd);
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
        QByteArray target = NativePath(filePath);
        if (const int error = FinalTarget(target); error != 0) {
            return error;
        }
        const QByteArray folder = NativeFolderOf(QFile::decodeName(target));
        QByteArray temporary = folder + '/' + kTemporaryPattern;
        const int fd = ::mkstemp(temporary.data());
        if (fd < 0) {
            return errno;
        }
        // Held until the rename is done: RemoveStaleTemporaries passes it by.
        int error = ::flock(fd, LOCK_EX) == 0 ? 0 : errno;
        if (error == 0) {
            error = FillTemporary(fd, contents, ModeForReplacing(target));
        }
        if (error == 0 && ::rename(temporary.constData(), target.constData()) != 0) {
            error = errno;
        }
        if (error != 0) {
            ::unlink(temporary.constData());
        }
        if (::close(fd) != 0 && error == 0) {
            error = errno;
        }
        return error != 0 ? error : SyncFolder(folder);
    }

    void RemoveStaleTemporaries(const QString& filePath) const override {
        QByteArray target = NativePath(filePath);
        if (FinalTarget(target) != 0) {
            return;
        }
        const QDir folder(QFileInfo(QFile::decodeName(target)).path());
        const QString pattern = QString::fromLatin1(kTemporaryPrefix) + QStringLiteral("??????");
        for (const QString& name :
             folder.entryList({pattern}, QDir::Files | QDir::Hidden | QDir::System)) {
            RemoveIfUnlocked(NativePath(folder.filePath(name)));
        }
    }
};

}  // namespace

const SettingsFileAccess& SystemSettingsFileAccess() {
    static const PosixSettingsFileAccess access;
    return access;
}

}  // namespace mereval::platform
