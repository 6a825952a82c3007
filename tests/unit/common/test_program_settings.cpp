#include "common/program_settings.h"

#include "error_log_entries.h"
#include "support/temp_environment.h"

#include <QDir>
#include <QFile>

#include <gtest/gtest.h>

namespace mereval::common {
namespace {

using namespace Qt::Literals::StringLiterals;

void WriteSettingsFile(const test::TempProgramEnvironment& env, const QByteArray& contents) {
    QFile file(env.SettingsPath());
    ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.write(contents);
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
        {"KKPort=9100\nSession=41\nRAW=1\nReportMode=1\n", 9100, 41, true, true},
        {"KKPort=-2147483648\nSession=2147483647\n", -2147483647 - 1, 2147483647, false, true},
        {"KKPort=81a5\nSession=abc\nRAW=0\nReportMode=0\n", 8145, 0, false, false},
        {"KKPort=2147483648\nSession=-7\nRAW=yes\n", 8145, 0, false, true},
        {"KKPort=-2147483649\nSession=999999\nRAW= 1\nReportMode=\n", 8145, 999999, false, false},
        {QByteArray("KKPort= 8080 \nSession=2.5\nReportMode=") + '\0' + "\n", 8080, 2, false,
         false},
    };
    test::TempProgramEnvironment env;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.stored.toStdString());
        WriteSettingsFile(env, c.stored + "DoPrint=0\n");
        ProgramSettings settings = LoadProgramSettings();
        LoadSession(settings);
        EXPECT_EQ(settings.fPort, c.port);
        EXPECT_EQ(settings.session, c.session);
        EXPECT_EQ(settings.fRAW, c.raw);
        EXPECT_EQ(settings.fReportMode, c.reportMode);
        EXPECT_TRUE(settings.fDoPrint);
    }
    EXPECT_TRUE(test::ErrorLogEntries().empty());
}

TEST(ProgramSettings, StartUpReadsEveryKeyInOrder) {
    test::TempProgramEnvironment env;
    ASSERT_TRUE(QDir().mkdir(env.SettingsPath()));  // every read fails and is logged
    ProgramSettings settings = LoadProgramSettings();
    LoadSession(settings);
    EXPECT_EQ(settings.fPort, 8145);
    EXPECT_TRUE(settings.fReportMode);
    std::vector<std::string> expected;
    for (const char* key :
         {"KKAddress", "KKPort", "Printer", "RAW", "ReportMode", "DoPrint", "POS", "Session"}) {
        expected.push_back(std::string("GetRegString: 321 - RegQueryValueEx andis vea 21, "
                                       "hkey=-2147483646, key=") +
                           key + " asukoht=SOFTWARE\\Norvel\\Tellur");
    }
    EXPECT_EQ(test::ErrorLogEntries(), expected);
}

}  // namespace
}  // namespace mereval::common
