#pragma once

#include <QString>

namespace mereval::platform {

// The file that stands in for a machine-wide registry key: the key path
// after its "SOFTWARE\" branch, under the system's XDG configuration folder,
// so "SOFTWARE\Norvel\Tellur" lives in /etc/xdg/Norvel/Tellur.conf.
// MEREVAL_SETTINGS, when set and not empty, names another file for every key
// path (tests, a trial installation beside a working one).
QString SettingsFilePath(const QString& keyPath);

}  // namespace mereval::platform
