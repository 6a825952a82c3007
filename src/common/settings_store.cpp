#include "common/settings_store.h"

#include "common/error_log.h"
#include "common/settings_file_format.h"
#include "platform/settings_file_location.h"

#include <cerrno>

namespace mereval::common {
namespace {

QString SoftwareKeyPath(const QString& keyPath) {
    return QStringLiteral("SOFTWARE\\") + keyPath;
}

void LogStoreError(const QString& procedureName, const QString& message) {
    LogError(kSettingsStoreErrorNumber, message, procedureName, QString());
}

void LogReadError(const QString& message) {
    LogStoreError(QStringLiteral("GetRegString"), message);
}

void LogWriteError(const QString& message) {
    LogStoreError(QStringLiteral("PutRegString"), message);
}

}  // namespace

QString GetRegString(qint32 root, const QString& subKeyPath, const QString& valueName,
                     const QString& defaultText, const platform::SettingsFileAccess& files) {
    const platform::SettingsFileContents file =
        files.ReadWholeFile(platform::SettingsFilePath(subKeyPath));
    if (file.openError == ENOENT) {
        return defaultText;
    }
    if (file.openError != 0) {
        LogReadError(QStringLiteral("RegOpenKeyEx andis vea %1, hkey=%2, asukoht=%3")
                         .arg(file.openError)
                         .arg(root)
                         .arg(subKeyPath));
        return defaultText;
    }
    if (file.readError != 0) {
        LogReadError(QStringLiteral("RegQueryValueEx andis vea %1, hkey=%2, key=%3 asukoht=%4")
                         .arg(file.readError)
                         .arg(root)
                         .arg(valueName, subKeyPath));
        return defaultText;
    }
    const std::optional<QByteArray> data = FindSettingValue(file.bytes, valueName);
    // A line with nothing after "=" is an empty value, not a missing one: an
    // empty POS or printer stored from the dialog reads back empty.
    if (!data) {
        return defaultText;
    }
    const qsizetype nul = data->indexOf('\0');
    return QString::fromUtf8(nul < 0 ? *data : data->first(nul));
}

bool PutRegString(qint32 root, const QString& subKeyPath, const QString& valueName,
                  const QString& valueText, const platform::SettingsFileAccess& files) {
    const QString path = platform::SettingsFilePath(subKeyPath);
    if (const int error = files.CreateFolderFor(path); error != 0) {
        LogWriteError(QStringLiteral("RegCreateKeyEx andis vea %1, hkey=%2, asukoht=%3")
                          .arg(error)
                          .arg(root)
                          .arg(subKeyPath));
    }
    const platform::SettingsFileContents file = files.ReadWholeFile(path);
    int error = file.openError == ENOENT ? 0 : file.openError;
    if (error == 0) {
        error = file.readError;
    }
    if (error == 0) {
        error = files.ReplaceWholeFile(path,
                                       WithSettingValue(file.bytes, valueName, valueText.toUtf8()));
    }
    if (error != 0) {
        LogWriteError(QStringLiteral("RegSetValueEx andis vea %1, key=%2, vaart=%3")
                          .arg(error)
                          .arg(valueName, valueText));
    }
    return error == 0;
}

QString GetProgramSetting(const QString& keyPath, const QString& valueName,
                          const QString& defaultText) {
    return GetRegString(kLocalMachineRoot, SoftwareKeyPath(keyPath), valueName, defaultText);
}

bool PutProgramSetting(const QString& keyPath, const QString& valueName, const QString& valueText) {
    return PutRegString(kLocalMachineRoot, SoftwareKeyPath(keyPath), valueName, valueText);
}

void RemoveStaleProgramSettingTemporaries(const QString& keyPath) {
    platform::SystemSettingsFileAccess().RemoveStaleTemporaries(
        platform::SettingsFilePath(SoftwareKeyPath(keyPath)));
}

}  // namespace mereval::common
