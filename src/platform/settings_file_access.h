#pragma once

#include <QByteArray>
#include <QString>

namespace mereval::platform {

// What reading a settings file found. The steps stay apart because the
// store logs them differently: an open that is refused (ENOENT meaning no
// file yet) and a read that fails once the file is open (EISDIR when a
// folder stands where the file should be).
struct SettingsFileContents {
    int openError = 0;  // 0 or the errno of opening
    int readError = 0;  // 0 or the errno of reading after a successful open
    QByteArray bytes;   // the whole file when both are 0
};

// The file operations under the settings store. Errors are errno values,
// because the store writes them into its log texts as the platform's codes.
class SettingsFileAccess {
public:
    virtual ~SettingsFileAccess() = default;

    virtual SettingsFileContents ReadWholeFile(const QString& filePath) const = 0;

    // Creates the file's folder and any missing folder above it.
    virtual int CreateFolderFor(const QString& filePath) const = 0;

    // Replaces the file so that a reader, a crash or a power loss sees either
    // the old or the whole new contents, never a mix; durable on return. A
    // file that is a symbolic link stays one: the file it names is replaced.
    virtual int ReplaceWholeFile(const QString& filePath, const QByteArray& contents) const = 0;

    // Deletes the temporary files that writers killed in the middle of
    // ReplaceWholeFile left beside the file, and none that a running writer
    // still fills.
    virtual void RemoveStaleTemporaries(const QString& filePath) const = 0;
};

// The adapter of this platform.
const SettingsFileAccess& SystemSettingsFileAccess();

}  // namespace mereval::platform
