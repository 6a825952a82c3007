#include "common/program_settings.h"

#include "common/int32_text.h"
#include "common/settings_store.h"

#include <algorithm>

namespace mereval::common {
namespace {

QString ReadSetting(const SettingKey& key) {
    return GetProgramSetting(kProgramKeyPath.toString(), key.name.toString(),
                             key.defaultText.toString());
}

bool ReadFlagSetting(const SettingKey& key) {
    return ReadSetting(key) == QStringLiteral("1");
}

// The number the setting holds, or the number of its default text when it
// holds none.
qint32 ReadInt32Setting(const SettingKey& key) {
    qint32 value = 0;
    if (!ParseInt32Text(ReadSetting(key), &value)) {
        ParseInt32Text(key.defaultText.toString(), &value);
    }
    return value;
}

bool WriteSetting(const SettingKey& key, const QString& text) {
    return PutProgramSetting(kProgramKeyPath.toString(), key.name.toString(), text);
}

QString FlagText(bool on) {
    return on ? QStringLiteral("1") : QStringLiteral("0");
}

}  // namespace

void RemoveStaleSettingsTemporaries() {
    RemoveStaleProgramSettingTemporaries(kProgramKeyPath.toString());
}

ProgramSettings LoadProgramSettings() {
    ProgramSettings settings;
    settings.fAddress = ReadSetting(kKKAddressKey);
    settings.fPort = ReadInt32Setting(kKKPortKey);
    settings.fPrinter = ReadSetting(kPrinterKey);
    settings.fRAW = ReadFlagSetting(kRAWKey);
    settings.fReportMode = ReadFlagSetting(kReportModeKey);
    // Read though it does not count, so its store failures are logged like
    // those of every other value.
    ReadSetting(kDoPrintKey);
    settings.fDoPrint = true;
    settings.fPOSID = ReadSetting(kPOSKey);
    return settings;
}

void LoadSession(ProgramSettings& settings) {
    settings.session = std::max(ReadInt32Setting(kSessionKey), 0);
}

void StoreDialogSettings(const ProgramSettings& settings) {
    WriteSetting(kPOSKey, settings.fPOSID);
    WriteSetting(kDoPrintKey, FlagText(settings.fDoPrint));
    WriteSetting(kPrinterKey, settings.fPrinter);
    WriteSetting(kKKAddressKey, settings.fAddress);
    WriteSetting(kKKPortKey, QString::number(settings.fPort));
    WriteSetting(kRAWKey, FlagText(settings.fRAW));
    WriteSetting(kReportModeKey, FlagText(settings.fReportMode));
}

bool StoreSession(const ProgramSettings& settings) {
    return WriteSetting(kSessionKey, QString::number(settings.session));
}

}  // namespace mereval::common
