#pragma once

#include "platform/settings_file_access.h"

#include <QString>
#include <QtGlobal>

namespace mereval::common {

// The settings store: text values under registry-style key paths, kept in
// one machine-wide file per key path (platform::SettingsFilePath) with one
// "Name=Value" line per value (settings_file_format.h).
//
// Failures go to the error log under error number kSettingsStoreErrorNumber
// with the registry's texts, so the log reads the same on every platform; a
// write also tells its caller whether the value was stored. The registry's steps map onto the file:
// opening the key is reading the file (a missing file is a missing key: the
// default, no entry), querying a value is finding its line, creating the key
// is creating the file's folder. Tests pass their own file operations for
// the failures that real files cannot produce for root.

inline constexpr qint32 kSettingsStoreErrorNumber = 321;

// The machine-wide root. Every key path lives in one machine-wide file here,
// so the root only appears in the log texts, as the registry's number.
inline constexpr qint32 kLocalMachineRoot = -2147483646;  // 0x80000002

// defaultText when the file or the value is missing, or on any failure; an
// empty value reads as "", and a value holding a NUL ends at the first NUL.
QString GetRegString(
    qint32 root, const QString& subKeyPath, const QString& valueName, const QString& defaultText,
    const platform::SettingsFileAccess& files = platform::SystemSettingsFileAccess());

// Sets one value, keeping every other line of the file. The file is replaced
// whole and atomically, so a crash never leaves it half written; a file
// that exists but cannot be read is left alone rather than replaced by one
// holding this value alone. True when the value is stored.
bool PutRegString(qint32 root, const QString& subKeyPath, const QString& valueName,
                  const QString& valueText,
                  const platform::SettingsFileAccess& files = platform::SystemSettingsFileAccess());

// GetRegString and PutRegString on the machine-wide root under "SOFTWARE\".
QString GetProgramSetting(const QString& keyPath, const QString& valueName,
                          const QString& defaultText);
bool PutProgramSetting(const QString& keyPath, const QString& valueName, const QString& valueText);

// Deletes the temporary files that writes cut short by a crash or a kill
// left beside the file of "SOFTWARE\" keyPath.
void RemoveStaleProgramSettingTemporaries(const QString& keyPath);

}  // namespace mereval::common
