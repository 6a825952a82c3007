#include "common/settings_store.h"

#include "common/program_settings.h"

#include "error_log_entries.h"
#include "support/small_tmpfs.h"
#include "support/temp_environment.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <gtest/gtest.h>

#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <functional>

namespace mereval::common {
namespace {

using namespace Qt::Literals::StringLiterals;

const QString kKeyPath = u"Norvel\\Tellur"_s;

QString Get(const QString& name, const QString& defaultText = u"default"_s) {
    return GetProgramSetting(kKeyPath, name, defaultText);
}

void Put(const QString& name, const QString& value) {
    PutProgramSetting(kKeyPath, name, value);
}

void WriteFile(const QString& path, const QByteArray& contents) {
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(contents);
}

mode_t ModeOf(const QString& path) {
    struct stat status {};
    ::stat(QFile::encodeName(path).constData(), &status);
    return status.st_mode & 07777;
}

// File operations that fail as told: a refused open, a disk error and a full
// disk cannot be produced with real files when the tests run as root.
class FakeSettingsFileAccess final : public platform::SettingsFileAccess {
public:
    platform::SettingsFileContents read;
    mutable QList<QByteArray> replaced;  // every replacement tried, in order

    platform::SettingsFileContents ReadWholeFile(const QString&) const override { return read; }
    int CreateFolderFor(const QString&) const override { return 0; }
    int ReplaceWholeFile(const QString&, const QByteArray& contents) const override {
        replaced.append(contents);
        return 0;
    }
    void RemoveStaleTemporaries(const QString&) const override {}
};

TEST(SettingsStore, ValuesReadBackAndEveryOtherLineStaysInPlace) {
    test::TempProgramEnvironment env;
    EXPECT_EQ(Get(u"KKAddress"_s), u"default"_s);
    EXPECT_FALSE(QFileInfo::exists(env.SettingsPath()));
    for (const QString& value : {u"Kassa ÕÄÖÜ šž"_s, u"\\\\srv\\queue\\"_s, u"a\r\nb\nc\rd"_s,
                                 u"x=y=z"_s, u"  blanks  "_s, u"\\r\\n literally"_s}) {
        Put(u"Printer"_s, value);
        EXPECT_EQ(Get(u"Printer"_s), value) << value.toStdString();
    }
    EXPECT_EQ(env.ReadFile(u"Tellur.conf"_s), QByteArray("Printer=\\\\r\\\\n literally\n"));

    WriteFile(env.SettingsPath(), QByteArray("# till 3\nkkport=1\n\n=orphan\nPOS=12") + '\0' +
                                      "34\nRAW=" + '\0' +
                                      "\nKKAddress=10.0.0.1\r\nPath=C:\\temp\nKKPort=2\n");
    EXPECT_EQ(Get(u"Path"_s), u"C:\\temp"_s);
    EXPECT_EQ(Get(u"POS"_s), u"12"_s);
    EXPECT_EQ(Get(u"RAW"_s), QString());
    EXPECT_EQ(Get(u"KKAddress"_s), u"10.0.0.1"_s);
    EXPECT_EQ(Get(u"# till 3"_s), u"default"_s);
    Put(u"KKPort"_s, u"9000"_s);
    Put(u"Session"_s, u"12"_s);
    EXPECT_EQ(env.ReadFile(u"Tellur.conf"_s),
              QByteArray("# till 3\nkkport=9000\n\n=orphan\nPOS=12") + '\0' + "34\nRAW=" + '\0' +
                  "\nKKAddress=10.0.0.1\r\nPath=C:\\temp\nKKPort=2\nSession=12\n");
    EXPECT_EQ(Get(u"KKPORT"_s), u"9000"_s);
    EXPECT_EQ(QDir(env.Folder()).entryList(QDir::Files | QDir::Hidden),
              QStringList{u"Tellur.conf"_s});

    const test::ScopedEnv nested("MEREVAL_SETTINGS",
                                 env.FilePath(u"etc/Norvel/Tellur.conf"_s).toLocal8Bit());
    EXPECT_TRUE(PutProgramSetting(kKeyPath, u"POS"_s, u"42"_s));
    EXPECT_EQ(Get(u"POS"_s), u"42"_s);
    EXPECT_TRUE(test::ErrorLogEntries().empty());
}

// Each case makes the settings file impossible to write in its own way; the
// write says so, leaves the log entries of its steps and keeps the old file.
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
        {"name too long",
         [](const auto& env) { return env.FilePath(QString(300, u'a')); },
         {"PutRegString: 321 - RegSetValueEx andis vea 36, key=POS, vaart=1"}},
    };
    test::SmallTmpfs disk;  // mounting needs root
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
        EXPECT_EQ(test::ErrorLogEntries(), c.log);
        EXPECT_EQ(contents(), before);
        EXPECT_EQ(
            QDir(QFileInfo(path).path()).entryList({u".settings*"_s}, QDir::Files | QDir::Hidden),
            QStringList());
    }
}

// A link stays a link: the file it names is replaced, with its mode, and the
// temporary file lives beside that file, not beside the link.
TEST(SettingsStore, LinkedFileIsReplacedThroughTheLinkWithItsMode) {
    test::TempProgramEnvironment env;
    const QString real = env.FilePath(u"real/Tellur.conf"_s);
    ASSERT_TRUE(QDir(env.Folder()).mkdir(u"real"_s));
    WriteFile(real, "POS=1\n");
    ASSERT_TRUE(
        QFile::setPermissions(real, QFile::ReadOwner | QFile::WriteOwner | QFile::ReadGroup));
    ASSERT_TRUE(QFile::link(u"real/Tellur.conf"_s, env.SettingsPath()));
    Put(u"RAW"_s, u"1"_s);
    EXPECT_TRUE(QFileInfo(env.SettingsPath()).isSymLink());
    EXPECT_EQ(env.ReadFile(u"real/Tellur.conf"_s), QByteArray("POS=1\nRAW=1\n"));
    EXPECT_EQ(ModeOf(real), 0640);
    EXPECT_EQ(QDir(env.FilePath(u"real"_s)).entryList(QDir::Files | QDir::Hidden),
              QStringList{u"Tellur.conf"_s});
}

// Start-up removes temporary files that writers killed mid-write left,
// but not one that a running writer holds.
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

TEST(SettingsStore, SystemErrorsAreLoggedAndNeverLoseTheFile) {
    test::TempProgramEnvironment env;
    const QString key = u"SOFTWARE\\Norvel\\Tellur"_s;
    FakeSettingsFileAccess files;
    files.read.openError = EACCES;
    EXPECT_EQ(GetRegString(kLocalMachineRoot, key, u"POS"_s, u"d"_s, files), u"d"_s);

    // A file that cannot be read is not replaced by one holding this value alone.
    files.read = {0, EIO, {}};
    EXPECT_FALSE(PutRegString(kLocalMachineRoot, key, u"POS"_s, u"1"_s, files));
    EXPECT_TRUE(files.replaced.isEmpty());

    EXPECT_EQ(test::ErrorLogEntries(),
              (std::vector<std::string>{
                  "GetRegString: 321 - RegOpenKeyEx andis vea 13, hkey=-2147483646, "
                  "asukoht=SOFTWARE\\Norvel\\Tellur",
                  "PutRegString: 321 - RegSetValueEx andis vea 5, key=POS, vaart=1",
              }));
}

}  // namespace
}  // namespace mereval::common
