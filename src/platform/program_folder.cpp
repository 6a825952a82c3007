#include "platform/program_folder.h"

#include <QCoreApplication>
#include <QFileInfo>

namespace mereval::platform {
namespace {

// Before the application object exists (or in a tool without one) the
// kernel's link still names the running executable.
QString ExecutablePath() {
    if (QCoreApplication::instance() != nullptr) {
        return QCoreApplication::applicationFilePath();
    }
    return QFileInfo(QStringLiteral("/proc/self/exe")).symLinkTarget();
}

}  // namespace

QString ProgramFolder() {
    const QString home = qEnvironmentVariable("MEREVAL_HOME");
    if (!home.isEmpty()) {
        return home;
    }
    return QFileInfo(ExecutablePath()).path();
}

QString ProgramName() {
    return QFileInfo(ExecutablePath()).completeBaseName();
}

}  // namespace mereval::platform
