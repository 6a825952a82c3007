#include "common/computer_name_text.h"
#include "common/error_log.h"
#include "common/file_path.h"
#include "common/text_file.h"

#include "support/temp_environment.h"

#include <QDir>
#include <QFileInfo>
#include <QRegularExpression>

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <cerrno>
#include <cstring>

namespace mereval::common {
namespace {

TEST(ErrorLogLine, FieldsInOrderInTheProgramCodePage) {
    EXPECT_EQ(ErrorLogLine(QStringLiteral("KASSA1"), QStringLiteral("GetRegString"),
                           QDateTime(QDate(2026, 3, 4), QTime(9, 5, 7)), 321,
                           QStringLiteral("RegOpenKeyEx andis vea 5, hkey=-2147483646, "
                                          "asukoht=SOFTWARE\\Norvel\\Tellur")),
              QByteArray("<KASSA1>\tGetRegString , 04. m\xe4rts 2026 kell 09:05:07\t(321 - "
                         "RegOpenKeyEx andis vea 5, hkey=-2147483646, "
                         "asukoht=SOFTWARE\\Norvel\\Tellur) \r\n"));
    EXPECT_EQ(
        ErrorLogLine(QStringLiteral(" <> "), QStringLiteral("P"),
                     QDateTime(QDate(2026, 12, 31), QTime(23, 59, 59)), -1, QStringLiteral(u"õ")),
        QByteArray("< <> >\tP , 31. detsember 2026 kell 23:59:59\t(-1 - \xf5) \r\n"));
    EXPECT_TRUE(ErrorLogLine({}, {}, {}, 1, QString(100000, u'x'))
                    .endsWith("x ... [95952 bytes left out]) \r\n"));
}

TEST(LogError, AppendsEntriesToTheProgramErrorLogForItsOwnerOnly) {
    test::TempProgramEnvironment env;
    const mode_t umask = ::umask(0);
    LogError(321, QStringLiteral("first"), QStringLiteral("GetRegString"), QString());
    ::umask(umask);
    EXPECT_EQ(QFile::permissions(DefaultErrorLogPath()) & 0x0FFF,
              QFileDevice::ReadUser | QFileDevice::WriteUser);
    LogError(7, QStringLiteral("second"), QStringLiteral("PutRegString"), QString());
    const QString log = QString::fromLatin1(env.ReadFile(QStringLiteral("unit_common.err")));
    const QString entry = QStringLiteral(
        "<%1>\t%2 , \\d\\d\\. [a-zä]+ \\d{4} kell \\d\\d:\\d\\d:\\d\\d\t\\(%3\\) \r\n");
    const QRegularExpression pattern(
        QStringLiteral("^") +
        entry.arg(QRegularExpression::escape(ComputerNameText()), QStringLiteral("GetRegString"),
                  QStringLiteral("321 - first")) +
        entry.arg(QRegularExpression::escape(ComputerNameText()), QStringLiteral("PutRegString"),
                  QStringLiteral("7 - second")) +
        QStringLiteral("$"));
    EXPECT_TRUE(pattern.match(log).hasMatch()) << log.toStdString();

    // A named file gets the entry; one that cannot be written loses it quietly.
    LogError(1, QStringLiteral("named"), QStringLiteral("X"),
             env.FilePath(QStringLiteral("a.err")));
    EXPECT_TRUE(env.ReadFile(QStringLiteral("a.err")).endsWith("(1 - named) \r\n"));
    LogError(1, QStringLiteral("lost"), QStringLiteral("X"), env.Folder());
    LogError(1, QStringLiteral("lost"), QStringLiteral("X"),
             env.FilePath(QStringLiteral("missing/b.err")));
    EXPECT_FALSE(QFileInfo::exists(env.FilePath(QStringLiteral("missing"))));
}

TEST(ComputerNameText, NameOrBlankAngleBrackets) {
    EXPECT_EQ(ComputerNameText(), QSysInfo::machineHostName());
    EXPECT_EQ(ComputerNameText([](char* buffer, qsizetype) -> qsizetype {
                  std::memcpy(buffer, "till-7", 6);
                  return 6;
              }),
              QStringLiteral("till-7"));
    EXPECT_EQ(ComputerNameText([](char* buffer, qsizetype capacity) {
                  std::memset(buffer, 'n', static_cast<size_t>(capacity));
                  return capacity;
              }),
              QString(2048, u'n'));
    EXPECT_EQ(ComputerNameText([](char*, qsizetype) -> qsizetype { return 0; }),
              QStringLiteral(" <> "));
    EXPECT_EQ(ComputerNameText([](char*, qsizetype capacity) { return capacity + 1; }),
              QStringLiteral(" <> "));
}

TEST(AppendTextToFile, AppendsAsIsAndReportsFailures) {
    test::TempProgramEnvironment env;
    const QString path = env.FilePath(QStringLiteral("log.txt"));
    QString errorText = QStringLiteral("stale");
    AppendTextToFile(path, QByteArray(), errorText);
    EXPECT_EQ(errorText, QString());
    EXPECT_FALSE(QFileInfo::exists(path));

    AppendTextToFile(path, "ab", errorText);
    AppendTextToFile(path, "c\xf5", errorText);
    EXPECT_EQ(errorText, QString());
    EXPECT_EQ(env.ReadFile(QStringLiteral("log.txt")), QByteArray("abc\xf5"));

    AppendTextToFile(env.Folder(), "ab", errorText);
    EXPECT_EQ(errorText, QString::fromLocal8Bit(std::strerror(EISDIR)));
    AppendTextToFile(env.FilePath(QString(300, u'x')), "ab", errorText);
    EXPECT_EQ(errorText, QString::fromLocal8Bit(std::strerror(ENAMETOOLONG)));
}

TEST(MakeFilePath, OneSlashBetweenFolderAndName) {
    EXPECT_EQ(MakeFilePath(QStringLiteral("/opt/till"), QStringLiteral("log.txt")),
              QStringLiteral("/opt/till/log.txt"));
    EXPECT_EQ(MakeFilePath(QStringLiteral("/opt/till/"), QStringLiteral("log.txt")),
              QStringLiteral("/opt/till/log.txt"));
    EXPECT_EQ(MakeFilePath(QStringLiteral("/"), QStringLiteral("log.txt")),
              QStringLiteral("/log.txt"));
}

}  // namespace
}  // namespace mereval::common
