#include "common/error_log.h"
#include "common/text_file.h"

#include "support/temp_environment.h"

#include <QFileInfo>
#include <QSysInfo>

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <cerrno>
#include <cstring>

namespace mereval::common {
namespace {

using namespace Qt::Literals::StringLiterals;

TEST(ErrorLogLine, FieldsInOrderInTheProgramCodePage) {
    EXPECT_EQ(ErrorLogLine(u"KASSA1"_s, u"GetRegString"_s,
                           QDateTime(QDate(2026, 3, 4), QTime(9, 5, 7)), -321, u"õ"_s),
              QByteArray("<KASSA1>\tGetRegString , 04. m\xe4rts 2026 kell 09:05:07\t(-321 - "
                         "\xf5) \r\n"));
    EXPECT_TRUE(ErrorLogLine({}, {}, {}, 1, QString(100000, u'x'))
                    .endsWith("x ... [95952 bytes left out]) \r\n"));
}

TEST(LogError, AppendsEntriesToTheProgramErrorLogForItsOwnerOnly) {
    test::TempProgramEnvironment env;
    const mode_t umask = ::umask(0);
    LogError(321, u"first"_s, u"GetRegString"_s, QString());
    ::umask(umask);
    EXPECT_EQ(QFile::permissions(DefaultErrorLogPath()) & 0x0FFF,
              QFileDevice::ReadUser | QFileDevice::WriteUser);
    LogError(7, u"second"_s, u"PutRegString"_s, QString());
    const QByteArray log = env.ReadFile(u"unit_common.err"_s);
    EXPECT_TRUE(
        log.startsWith("<" + QSysInfo::machineHostName().toLatin1() + ">\tGetRegString , "));
    EXPECT_TRUE(log.contains("\t(321 - first) \r\n<"));
    EXPECT_TRUE(log.endsWith("\t(7 - second) \r\n"));
    // A named file gets the entry; one that cannot be written loses it quietly.
    LogError(1, u"named"_s, u"X"_s, env.FilePath(u"a.err"_s));
    EXPECT_TRUE(env.ReadFile(u"a.err"_s).endsWith("(1 - named) \r\n"));
    LogError(1, u"lost"_s, u"X"_s, env.Folder());
}

TEST(AppendTextToFile, AppendsAsIsAndReportsFailures) {
    test::TempProgramEnvironment env;
    const QString path = env.FilePath(u"log.txt"_s);
    QString errorText = u"stale"_s;
    AppendTextToFile(path, QByteArray(), errorText);
    EXPECT_EQ(errorText, QString());
    EXPECT_FALSE(QFileInfo::exists(path));
    AppendTextToFile(path, "ab", errorText);
    AppendTextToFile(path, "c\xf5", errorText);
    EXPECT_EQ(env.ReadFile(u"log.txt"_s), QByteArray("abc\xf5"));
    AppendTextToFile(env.Folder(), "ab", errorText);
    EXPECT_EQ(errorText, QString::fromLocal8Bit(std::strerror(EISDIR)));
}

}  // namespace
}  // namespace mereval::common
