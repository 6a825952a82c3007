#include "platform/settings_file_location.h"

namespace mereval::platform {

QString SettingsFilePath(const QString& keyPath) {
    const QString chosen = qEnvironmentVariable("MEREVAL_SETTINGS");
    if (!chosen.isEmpty()) {
        return chosen;
    }
    QString relative = keyPath;
    const QString branch = QStringLiteral("SOFTWARE\\");
    if (relative.startsWith(branch, Qt::CaseInsensitive)) {
        relative.remove(0, branch.size());
    }
    relative.replace(u'\\', u'/');
    return QStringLiteral("/etc/xdg/") + relative + QStringLiteral(".conf");
}

}  // namespace mereval::platform
