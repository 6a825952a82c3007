#pragma once

#include <QString>
#include <QStringView>
#include <QtGlobal>

namespace mereval::common {

// The program's key, under the store's "SOFTWARE\" branch.
inline constexpr QStringView kProgramKeyPath = u"Norvel\\Tellur";

// A setting's value name and the text that stands in when the store has none.
struct SettingKey {
    QStringView name;
    QStringView defaultText;
};

inline constexpr SettingKey kKKAddressKey{u"KKAddress", u"127.0.0.1"};
inline constexpr SettingKey kKKPortKey{u"KKPort", u"8145"};
inline constexpr SettingKey kPrinterKey{u"Printer", u""};
inline constexpr SettingKey kRAWKey{u"RAW", u"0"};
inline constexpr SettingKey kReportModeKey{u"ReportMode", u"1"};
inline constexpr SettingKey kDoPrintKey{u"DoPrint", u"0"};
inline constexpr SettingKey kPOSKey{u"POS", u"00000000"};
inline constexpr SettingKey kSessionKey{u"Session", u"0"};

// The main window's copy of the settings. The store is read once at start;
// from then on these values count, and the store is only written.
struct ProgramSettings {
    bool fDoPrint = false;
    QString fPOSID;
    QString fAddress;
    qint32 fPort = 0;
    QString fPrinter;
    bool fRAW = false;
    bool fReportMode = false;
    qint32 session = 0;  // the running session number
};

// Start-up, before anything is read or written: deletes the temporary files
// that writes of the settings file cut short by a crash left beside it.
void RemoveStaleSettingsTemporaries();

// Start-up, before ApplyProgramMode: reads "KKAddress", "KKPort", "Printer",
// "RAW", "ReportMode", "DoPrint" and "POS", in this order, into everything
// but the session. A "KKPort" that is no 32-bit number gives 8145; flags are
// on only for exactly "1". Receipt printing is on after every start whatever
// "DoPrint" holds, so switching it off lasts until the program ends.
ProgramSettings LoadProgramSettings();

// Start-up, after ApplyProgramMode: the session from "Session"; a text that
// is no 32-bit number, or a negative one, gives 0.
void LoadSession(ProgramSettings& settings);

// The settings dialog's confirm: "POS", "DoPrint", "Printer", "KKAddress",
// "KKPort", "RAW" and "ReportMode", in this order, flags as "1" or "0".
void StoreDialogSettings(const ProgramSettings& settings);

// The session as decimal text under "Session"; false when it could not be
// stored (the reason is in the error log). The session then shows
// kSessionNotStoredText to the cashier once per run and keeps counting in
// memory: after a restart the numbers since the last stored one would repeat.
[[nodiscard]] bool StoreSession(const ProgramSettings& settings);

inline constexpr QStringView kSessionNotStoredText =
    u"Sessiooni numbrit ei saanud salvestada. Pärast programmi taaskäivitamist võivad "
    u"sessiooni numbrid korduda; teatage sellest hooldajale.";

}  // namespace mereval::common
