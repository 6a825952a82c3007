#include "support/temp_environment.h"

#include <QFile>

namespace mereval::test {

ScopedEnv::ScopedEnv(const char* name, const QByteArray& value) : name_(name) {
    if (qEnvironmentVariableIsSet(name)) {
        previous_ = qgetenv(name);
    }
    qputenv(name, value);
}

ScopedEnv::~ScopedEnv() {
    if (previous_) {
        qputenv(name_, *previous_);
    } else {
        qunsetenv(name_);
    }
}

TempProgramEnvironment::TempProgramEnvironment()
    : home_("MEREVAL_HOME", dir_.path().toLocal8Bit()),
      settings_("MEREVAL_SETTINGS", dir_.filePath(QStringLiteral("Tellur.conf")).toLocal8Bit()) {}

QByteArray TempProgramEnvironment::ReadFile(const QString& name) const {
    QFile file(FilePath(name));
    if (!file.open(QIODevice::ReadOnly)) {
        return {};
    }
    return file.readAll();
}

}  // namespace mereval::test
