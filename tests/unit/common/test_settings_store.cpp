#include "common/settings_store.h"

#include "error_log_entries.h"
#include "support/temp_environment.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <gtest/gtest.h>

#include <cerrno>

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

TEST(SettingsStore, FolderWhereTheFileShouldBe) {
    test::TempProgramEnvironment env;
    ASSERT_TRUE(QDir().mkdir(env.SettingsPath()));
    EXPECT_EQ(Get(QStringLiteral("KKPort")), QStringLiteral("default"));
    Put(QStringLiteral("POS"), QStringLiteral("1"));
    EXPECT_TRUE(QFileInfo(env.SettingsPath()).isDir());
    EXPECT_EQ(test::ErrorLogEntries(),
              (std::vector<std::string>{
                  "GetRegString: 321 - RegQueryValueEx andis vea 21, hkey=-2147483646, "
                  "key=KKPort asukoht=SOFTWARE\\Norvel\\Tellur",
                  "PutRegString: 321 - RegSetValueEx andis vea 21, key=POS, vaart=1",
              }));
}

TEST(SettingsStore, FileWhereTheFolderShouldBe) {
    test::TempProgramEnvironment env;
    WriteFile(env.FilePath(QStringLiteral("Norvel")), "not a folder");
    const test::ScopedEnv settings(
        "MEREVAL_SETTINGS", env.FilePath(QStringLiteral("Norvel/Tellur.conf")).toLocal8Bit());
    EXPECT_EQ(Get(QStringLiteral("POS")), QStringLiteral("default"));
    Put(QStringLiteral("Session"), QStringLiteral("5"));
    EXPECT_EQ(env.ReadFile(QStringLiteral("Norvel")), QByteArray("not a folder"));
    EXPECT_EQ(test::ErrorLogEntries(),
              (std::vector<std::string>{
                  "GetRegString: 321 - RegOpenKeyEx andis vea 20, hkey=-2147483646, "
                  "asukoht=SOFTWARE\\Norvel\\Tellur",
                  "PutRegString: 321 - RegCreateKeyEx andis vea 20, hkey=-2147483646, "
                  "asukoht=SOFTWARE\\Norvel\\Tellur",
                  "PutRegString: 321 - RegSetValueEx andis vea 20, key=Session, vaart=5",
              }));
}

TEST(SettingsStore, FileNameTooLong) {
    test::TempProgramEnvironment env;
    const test::ScopedEnv settings("MEREVAL_SETTINGS",
                                   env.FilePath(QString(300, u'a')).toLocal8Bit());
    EXPECT_EQ(Get(QStringLiteral("RAW")), QStringLiteral("default"));
    Put(QStringLiteral("RAW"), QStringLiteral("1"));
    EXPECT_EQ(test::ErrorLogEntries(),
              (std::vector<std::string>{
                  "GetRegString: 321 - RegOpenKeyEx andis vea 36, hkey=-2147483646, "
                  "asukoht=SOFTWARE\\Norvel\\Tellur",
                  "PutRegString: 321 - RegSetValueEx andis vea 36, key=RAW, vaart=1",
              }));
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
    PutRegString(kLocalMachineRoot, key, QStringLiteral("POS"), QStringLiteral("1"), files);
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
