#include "common/settings_store.h"

#include "common/code_page.h"
#include "common/error_log.h"
#include "common/program_settings.h"

#include "support/small_tmpfs.h"
#include "support/temp_environment.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <gtest/gtest.h>

#include <sys/file.h>
#include <unistd.h>

#include <cerrno>
#include <functional>

namespace mereval::common {
namespace {

using namespace Qt::Literals::StringLiterals;

const QString kKeyPath = u"Norvel\\Tellur"_s;

// The error log's entries as "procedure: number - message".
std::vector<std::string> ErrorLogEntries() {
    QFile file(DefaultErrorLogPath());
    std::vector<std::string> entries;
    if (file.open(QIODevice::ReadOnly)) {
        for (const QString& line :
             FromCodePage(file.readAll()).split(u"\r\n"_s, Qt::SkipEmptyParts)) {
            const qsizetype procedure = line.indexOf(u">\t"_s) + 2;
            entries.push_back((line.mid(procedure, line.indexOf(u" , "_s) - procedure) + u": "_s +
                               line.mid(line.lastIndexOf(u"\t("_s) + 2).chopped(2))
                                  .toStdString());
        }
    }
    return entries;
}

QString Get(const QString& name) {
    return GetProgramSetting(kKeyPath, name, u"default"_s);
}

void WriteFile(const QString& path, const QByteArray& contents) {
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(contents);
}

TEST(SettingsStore, ValuesReadBackAndEveryOtherLineStaysInPlace) {
    test::TempProgramEnvironment env;
    EXPECT_EQ(Get(u"KKAddress"_s), u"default"_s);
    for (const QString& value : {u"Kassa ÕÄÖÜ šž"_s, u"a\r\nb\\n=c"_s, u"  blanks  "_s}) {
        PutProgramSetting(kKeyPath, u"Printer"_s, value);
        EXPECT_EQ(Get(u"Printer"_s), value) << value.toStdString();
    }
    WriteFile(env.SettingsPath(), QByteArray("# till 3\nkkport=1\n\n=orphan\nPOS=12") + '\0' +
                                      "34\nRAW=\nKKAddress=10.0.0.1\r\nKKPort=2\n");
    EXPECT_EQ(Get(u"POS"_s), u"12"_s);
    EXPECT_EQ(Get(u"RAW"_s), QString());
    EXPECT_EQ(Get(u"KKAddress"_s), u"10.0.0.1"_s);
    PutProgramSetting(kKeyPath, u"KKPort"_s, u"9000"_s);
    PutProgramSetting(kKeyPath, u"Session"_s, u"12"_s);
    EXPECT_EQ(env.ReadFile(u"Tellur.conf"_s),
              QByteArray("# till 3\nkkport=9000\n\n=orphan\nPOS=12") + '\0' +
                  "34\nRAW=\nKKAddress=10.0.0.1\r\nKKPort=2\nSession=12\n");
    EXPECT_TRUE(ErrorLogEntries().empty());
}

// A temporary that a writer still holds locked is not stale.
TEST(SettingsStore, StaleTemporariesAreRemovedAtStartUp) {
    test::TempProgramEnvironment env;
    WriteFile(env.SettingsPath(), "POS=1\n");
    WriteFile(env.FilePath(u".settings.dead01"_s), "POS=");
    QFile live(env.FilePath(u".settings.in0use"_s));
    ASSERT_TRUE(live.open(QIODevice::WriteOnly));
    ASSERT_EQ(::flock(live.handle(), LOCK_EX), 0);
    // Without standard input, the first temporary opened gets descriptor 0.
    const int input = ::dup(0);
    ::close(0);
    RemoveStaleSettingsTemporaries();
    ::dup2(input, 0);
    ::close(input);
    EXPECT_EQ(QDir(env.Folder()).entryList(QDir::Files | QDir::Hidden),
              (QStringList{u".settings.in0use"_s, u"Tellur.conf"_s}));
}

// File operations that fail as told: a refused open and a disk error cannot
// be produced with real files when the tests run as root.
class FailingFileAccess final : public platform::SettingsFileAccess {
public:
    platform::SettingsFileContents read;
    mutable int replacements = 0;

    platform::SettingsFileContents ReadWholeFile(const QString&) const override { return read; }
    int CreateFolderFor(const QString&) const override { return 0; }
    int ReplaceWholeFile(const QString&, const QByteArray&) const override {
        ++replacements;
        return 0;
    }
    void RemoveStaleTemporaries(const QString&) const override {}
};

// Each row makes the settings file impossible to write in its own way: the
// write says so, logs why and keeps the old file.
TEST(SettingsStore, WriteFailuresAreLoggedAndReported) {
    struct Case {
        const char* name;
        std::function<QString(const test::TempProgramEnvironment&)> settingsPath;
        std::vector<std::string> log;
    };
    std::vector<Case> cases = {
        {"folder where the file should be",
         [](const auto& env) {
             QDir().mkdir(env.SettingsPath());
             return env.SettingsPath();
         },
         {"PutRegString: 321 - RegSetValueEx andis vea 21, key=POS, vaart=1"}},
        {"file where the folder should be",
         [](const auto& env) {
             WriteFile(env.FilePath(u"Norvel"_s), "not a folder");
             return env.FilePath(u"Norvel/Tellur.conf"_s);
         },
         {"PutRegString: 321 - RegCreateKeyEx andis vea 20, hkey=-2147483646, "
          "asukoht=SOFTWARE\\Norvel\\Tellur",
          "PutRegString: 321 - RegSetValueEx andis vea 20, key=POS, vaart=1"}},
    };
    test::SmallTmpfs disk;
    if (disk.IsMounted()) {
        cases.push_back({"full disk",
                         [&disk](const auto&) {
                             WriteFile(disk.FilePath(u"Tellur.conf"_s), "POS=41\n");
                             disk.Fill();
                             return disk.FilePath(u"Tellur.conf"_s);
                         },
                         {"PutRegString: 321 - RegSetValueEx andis vea 28, key=POS, vaart=1"}});
    }
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        test::TempProgramEnvironment env;
        const QString path = c.settingsPath(env);
        const auto contents = [&path] {
            QFile file(path);
            return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
        };
        const QByteArray before = contents();
        const test::ScopedEnv settings("MEREVAL_SETTINGS", path.toLocal8Bit());
        EXPECT_FALSE(PutProgramSetting(kKeyPath, u"POS"_s, u"1"_s));
        EXPECT_EQ(ErrorLogEntries(), c.log);
        EXPECT_EQ(contents(), before);
        EXPECT_EQ(
            QDir(QFileInfo(path).path()).entryList({u".settings*"_s}, QDir::Files | QDir::Hidden),
            QStringList());
    }
    // A file that cannot be read is not replaced by one holding this value alone.
    test::TempProgramEnvironment env;
    FailingFileAccess files;
    files.read.openError = EACCES;
    EXPECT_EQ(GetRegString(kLocalMachineRoot, u"K"_s, u"POS"_s, u"d"_s, files), u"d"_s);
    files.read = {0, EIO, {}};
    EXPECT_EQ(GetRegString(kLocalMachineRoot, u"K"_s, u"POS"_s, u"d"_s, files), u"d"_s);
    EXPECT_FALSE(PutRegString(kLocalMachineRoot, u"K"_s, u"POS"_s, u"1"_s, files));
    EXPECT_EQ(files.replacements, 0);
    EXPECT_EQ(ErrorLogEntries(),
              (std::vector<std::string>{
                  "GetRegString: 321 - RegOpenKeyEx andis vea 13, hkey=-2147483646, asukoht=K",
                  "GetRegString: 321 - RegQueryValueEx andis vea 5, hkey=-2147483646, key=POS "
                  "asukoht=K",
                  "PutRegString: 321 - RegSetValueEx andis vea 5, key=POS, vaart=1"}));
}

TEST(ProgramSettings, StoredTextsConvertAtStartUp) {
    struct Case {
        QByteArray stored;
        qint32 port;
        qint32 session;
        bool raw;
        bool reportMode;
    };
    const Case cases[] = {
        {"", 8145, 0, false, true},
        {"KKPort=9100\nSession=41\nRAW=1\nReportMode=0\n", 9100, 41, true, false},
        {"KKPort=81a5\nSession=abc\nRAW=yes\n", 8145, 0, false, true},
        {"KKPort=2147483648\nSession=2.5\nRAW= 1\nReportMode=\n", 8145, 2, false, false},
    };
    test::TempProgramEnvironment env;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.stored.toStdString());
        WriteFile(env.SettingsPath(), c.stored);
        ProgramSettings settings = LoadProgramSettings();
        LoadSession(settings);
        EXPECT_EQ(settings.fPort, c.port);
        EXPECT_EQ(settings.session, c.session);
        EXPECT_EQ(settings.fRAW, c.raw);
        EXPECT_EQ(settings.fReportMode, c.reportMode);
    }
}

}  // namespace
}  // namespace mereval::common
