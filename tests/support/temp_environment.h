#pragma once

#include <QByteArray>
#include <QString>
#include <QTemporaryDir>

#include <optional>

namespace mereval::test {

// Sets an environment variable for the life of the object and restores the
// previous value afterwards.
class ScopedEnv {
public:
    ScopedEnv(const char* name, const QByteArray& value);
    ~ScopedEnv();
    ScopedEnv(const ScopedEnv&) = delete;
    ScopedEnv& operator=(const ScopedEnv&) = delete;

private:
    const char* name_;
    std::optional<QByteArray> previous_;
};

// A private program folder and settings file for one test: MEREVAL_HOME and
// MEREVAL_SETTINGS point into a fresh temporary directory.
class TempProgramEnvironment {
public:
    TempProgramEnvironment();
    QString Folder() const { return dir_.path(); }
    QString SettingsPath() const { return dir_.filePath(QStringLiteral("Tellur.conf")); }
    QString FilePath(const QString& name) const { return dir_.filePath(name); }
    QByteArray ReadFile(const QString& name) const;

private:
    QTemporaryDir dir_;
    ScopedEnv home_;
    ScopedEnv settings_;
};

}  // namespace mereval::test
