#include "common/settings_store.h"

#include "common/program_settings.h"
#include "error_log_entries.h"
#include "support/small_tmpfs.h"
#include "support/temp_environment.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QThread>

#include <gtest/gtest.h>

#include <sys/file.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <functional>

namespace mereval::common {
namespace {

const QString kKeyPath = QStringLiteral("Norvel\\Tellur");

QString Get(const QString& name, const QString& defaultText = QStringLiteral("default")) {
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
    int replaceError = 0;
    mutable QList<QByteArray> replaced;  // every replacement tried, in order

    platform::SettingsFileContents ReadWholeFile(const QString&) const override { return read; }
    int CreateFolderFor(const QString&) const override { return 0; }
    int ReplaceWholeFile(const QString&, const QByteArray& contents) const override {
        replaced.append(contents);
        return replaceError;
    }
    void RemoveStaleTemporaries(const QString&) const override {}
};

TEST(SettingsStore, MissingFileReadsAsDefaultsWithoutLogOrFile) {
    test::TempProgramEnvironment env;
    EXPECT_EQ(Get(QStringLiteral("KKAddress"), QStringLiteral("127.0.0.1")),
              QStringLiteral("127.0.0.1"));
    EXPECT_EQ(Get(QStringLiteral("Printer"), QString()), QString());
    EXPECT_FALSE(QFileInfo::exists(env.SettingsPath()));
    EXPECT_TRUE(test::ErrorLogEntries().empty());
}

TEST(SettingsStore, WrittenValuesReadBackUnchanged) {
    test::TempProgramEnvironment env;
    const QString values[] = {
        QStringLiteral(u"Kassa ÕÄÖÜ šž"), QStringLiteral("\\\\srv\\queue\\"),
        QStringLiteral("a\r\nb\nc\rd"),   QStringLiteral("x=y=z"),
        QStringLiteral("  blanks  "),     QStringLiteral("\\r\\n literally"),
    };
    for (const QString& value : values) {
        Put(QStringLiteral("Printer"), value);
        EXPECT_EQ(Get(QStringLiteral("Printer")), value) << value.toStdString();
    }
    EXPECT_EQ(env.ReadFile(QStringLiteral("Tellur.conf")),
              QByteArray("Printer=\\\\r\\\\n literally\n"));
    EXPECT_TRUE(test::ErrorLogEntries().empty());
}

TEST(SettingsStore, WriteKeepsEveryOtherLineInPlace) {
    test::TempProgramEnvironment env;
    WriteFile(env.SettingsPath(), "# till 3\nkkport=1\n\nPOS=7\ngarbage\r\nKKPort=2\n");
    Put(QStringLiteral("KKPort"), QStringLiteral("9000"));
    Put(QStringLiteral("Session"), QStringLiteral("12"));
    EXPECT_EQ(env.ReadFile(QStringLiteral("Tellur.conf")),
              QByteArray("# till 3\nkkport=9000\n\nPOS=7\ngarbage\r\nKKPort=2\nSession=12\n"));
    EXPECT_EQ(Get(QStringLiteral("KKPORT")), QStringLiteral("9000"));

    // No temporary file is left beside it.
    EXPECT_EQ(QDir(env.Folder()).entryList(QDir::Files | QDir::Hidden),
              QStringList{QStringLiteral("Tellur.conf")});
}

TEST(SettingsStore, HandWrittenFileContents) {
    test::TempProgramEnvironment env;
    WriteFile(env.SettingsPath(), QByteArray("garbage line\n\n=orphan\nPOS=12") + '\0' +
                                      "34\nPrinter=\nRAW=" + '\0' +
                                      "\nKKAddress=10.0.0.1\r\nPath=C:\\temp\\Kassa\n");
    EXPECT_EQ(Get(QStringLiteral("POS")), QStringLiteral("12"));
    EXPECT_EQ(Get(QStringLiteral("Printer")), QString());
    EXPECT_EQ(Get(QStringLiteral("RAW")), QString());
    EXPECT_EQ(Get(QStringLiteral("KKAddress")), QStringLiteral("10.0.0.1"));
    EXPECT_EQ(Get(QStringLiteral("Path")), QStringLiteral("C:\\temp\\Kassa"));
    EXPECT_EQ(Get(QStringLiteral("garbage line")), QStringLiteral("default"));
    EXPECT_TRUE(test::ErrorLogEntries().empty());
}

TEST(SettingsStore, MissingFoldersAreCreated) {
    test::TempProgramEnvironment env;
    const QString path = env.FilePath(QStringLiteral("etc/xdg/Norvel/Tellur.conf"));
    const test::ScopedEnv settings("MEREVAL_SETTINGS", path.toLocal8Bit());
    Put(QStringLiteral("POS"), QStringLiteral("00000042"));
    EXPECT_EQ(Get(QStringLiteral("POS")), QStringLiteral("00000042"));
    EXPECT_TRUE(test::ErrorLogEntries().empty());
}

// Each case makes the settings file impossible to write in its own way; the
// write says so and leaves the log entries of its steps.
TEST(SettingsStore, WriteFailuresAreLoggedAndReported) {
    struct Case {
        const char* name;
        std::function<QString(const test::TempProgramEnvironment&)> settingsPath;
        std::vector<std::string> log;
    };
    const Case cases[] = {
        {"folder where the file should be",
         [](const auto& env) {
             QDir().mkdir(env.SettingsPath());
             return env.SettingsPath();
         },
         {"PutRegString: 321 - RegSetValueEx andis vea 21, key=POS, vaart=1"}},
        {"file where the folder should be",
         [](const auto& env) {
             WriteFile(env.FilePath(QStringLiteral("Norvel")), "not a folder");
             return env.FilePath(QStringLiteral("Norvel/Tellur.conf"));
         },
         {"PutRegString: 321 - RegCreateKeyEx andis vea 20, hkey=-2147483646, "
          "asukoht=SOFTWARE\\Norvel\\Tellur",
          "PutRegString: 321 - RegSetValueEx andis vea 20, key=POS, vaart=1"}},
        {"name too long",
         [](const auto& env) { return env.FilePath(QString(300, u'a')); },
         {"PutRegString: 321 - RegSetValueEx andis vea 36, key=POS, vaart=1"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        test::TempProgramEnvironment env;
        const test::ScopedEnv settings("MEREVAL_SETTINGS", c.settingsPath(env).toLocal8Bit());
        EXPECT_FALSE(PutProgramSetting(kKeyPath, QStringLiteral("POS"), QStringLiteral("1")));
        EXPECT_EQ(test::ErrorLogEntries(), c.log);
    }
}

TEST(SettingsStore, FullDiskIsReportedAndTheOldFileKept) {
    test::SmallTmpfs disk;
    if (!disk.IsMounted()) {
        GTEST_SKIP() << "mounting a tmpfs needs root";
    }
    test::TempProgramEnvironment env;
    const test::ScopedEnv settings("MEREVAL_SETTINGS",
                                   disk.FilePath(QStringLiteral("Tellur.conf")).toLocal8Bit());
    ProgramSettings program;
    program.session = 41;
    ASSERT_TRUE(StoreSession(program));
    disk.Fill();
    program.session = 42;
    EXPECT_FALSE(StoreSession(program));
    EXPECT_EQ(Get(QStringLiteral("Session")), QStringLiteral("41"));
    EXPECT_EQ(test::ErrorLogEntries(),
              std::vector<std::string>{
                  "PutRegString: 321 - RegSetValueEx andis vea 28, key=Session, vaart=42"});
    disk.Empty();
    EXPECT_TRUE(StoreSession(program));
    EXPECT_EQ(QDir(disk.Path()).entryList(QDir::Files | QDir::Hidden),
              QStringList{QStringLiteral("Tellur.conf")});
}

// A link stays a link: the file it names is replaced, with its mode, and the
// temporary file lives beside that file, not beside the link.
TEST(SettingsStore, LinkedFileIsReplacedThroughTheLinkWithItsMode) {
    test::TempProgramEnvironment env;
    const QString real = env.FilePath(QStringLiteral("real/Tellur.conf"));
    ASSERT_TRUE(QDir(env.Folder()).mkdir(QStringLiteral("real")));
    WriteFile(real, "POS=1\n");
    ASSERT_TRUE(
        QFile::setPermissions(real, QFile::ReadOwner | QFile::WriteOwner | QFile::ReadGroup));
    ASSERT_TRUE(QFile::link(QStringLiteral("real/Tellur.conf"), env.SettingsPath()));
    Put(QStringLiteral("RAW"), QStringLiteral("1"));
    EXPECT_TRUE(QFileInfo(env.SettingsPath()).isSymLink());
    EXPECT_EQ(env.ReadFile(QStringLiteral("real/Tellur.conf")), QByteArray("POS=1\nRAW=1\n"));
    EXPECT_EQ(ModeOf(real), 0640);
    EXPECT_EQ(QDir(env.FilePath(QStringLiteral("real"))).entryList(QDir::Files | QDir::Hidden),
              QStringList{QStringLiteral("Tellur.conf")});
}

// Writers killed in the middle of a write leave their temporary files, for
// nobody else to read; the start-up removes them but not the one that a
// running writer holds.
TEST(SettingsStore, TemporariesOfKilledWritersAreOwnerOnlyAndRemovedAtStartUp) {
    test::TempProgramEnvironment env;
    const QByteArray contents(8 * 1024 * 1024, 'x');
    WriteFile(env.SettingsPath(), "POS=1\n");
    const auto cutShort = [&env, &contents] {
        QStringList names;
        for (const QFileInfo& file :
             QDir(env.Folder())
                 .entryInfoList({QStringLiteral(".settings.*")}, QDir::Files | QDir::Hidden)) {
            if (file.size() < contents.size()) {
                names.append(file.fileName());
            }
        }
        return names;
    };
    for (int kill = 0; kill < 100 && cutShort().size() < 3; ++kill) {
        const pid_t writer = ::fork();
        if (writer == 0) {
            for (;;) {
                platform::SystemSettingsFileAccess().ReplaceWholeFile(env.SettingsPath(), contents);
            }
        }
        QThread::usleep(2000 + 1000 * (kill % 5));
        ::kill(writer, SIGKILL);
        ::waitpid(writer, nullptr, 0);
    }
    ASSERT_GE(cutShort().size(), 3);
    for (const QString& name : cutShort()) {
        EXPECT_EQ(ModeOf(env.FilePath(name)), 0600) << name.toStdString();
    }

    QFile live(env.FilePath(QStringLiteral(".settings.in0use")));
    ASSERT_TRUE(live.open(QIODevice::WriteOnly));
    ASSERT_EQ(::flock(live.handle(), LOCK_EX), 0);
    RemoveStaleSettingsTemporaries();
    EXPECT_EQ(
        QDir(env.Folder()).entryList({QStringLiteral(".settings.*")}, QDir::Files | QDir::Hidden),
        QStringList{QStringLiteral(".settings.in0use")});
    EXPECT_TRUE(QFileInfo::exists(env.SettingsPath()));
}

TEST(SettingsStore, SystemErrorsAreLoggedAndNeverLoseTheFile) {
    test::TempProgramEnvironment env;
    const QString key = QStringLiteral("SOFTWARE\\Norvel\\Tellur");
    FakeSettingsFileAccess files;
    files.read.openError = EACCES;
    EXPECT_EQ(
        GetRegString(kLocalMachineRoot, key, QStringLiteral("POS"), QStringLiteral("d"), files),
        QStringLiteral("d"));

    // A file that cannot be read is not replaced by one holding this value alone.
    files.read = {0, EIO, {}};
    EXPECT_FALSE(
        PutRegString(kLocalMachineRoot, key, QStringLiteral("POS"), QStringLiteral("1"), files));
    EXPECT_TRUE(files.replaced.isEmpty());

    files.read = {0, 0, "RAW=1\n"};
    files.replaceError = ENOSPC;
    PutRegString(kLocalMachineRoot, key, QStringLiteral("POS"), QStringLiteral("2"), files);
    EXPECT_EQ(files.replaced, QList<QByteArray>{"RAW=1\nPOS=2\n"});

    EXPECT_EQ(test::ErrorLogEntries(),
              (std::vector<std::string>{
                  "GetRegString: 321 - RegOpenKeyEx andis vea 13, hkey=-2147483646, "
                  "asukoht=SOFTWARE\\Norvel\\Tellur",
                  "PutRegString: 321 - RegSetValueEx andis vea 5, key=POS, vaart=1",
                  "PutRegString: 321 - RegSetValueEx andis vea 28, key=POS, vaart=2",
              }));
}

}  // namespace
}  // namespace mereval::common
