#include "platform/program_folder.h"
#include "platform/settings_file_location.h"

#include "support/temp_environment.h"

#include <QCoreApplication>

#include <gtest/gtest.h>

namespace mereval::platform {
namespace {

using namespace Qt::Literals::StringLiterals;

TEST(ProgramLocations, MachineWideOrTheExecutablesUnlessTheEnvironmentNamesOthers) {
    const QString key = u"SOFTWARE\\Norvel\\Tellur"_s;
    {
        const test::ScopedEnv settings("MEREVAL_SETTINGS", QByteArray());
        const test::ScopedEnv home("MEREVAL_HOME", QByteArray());
        EXPECT_EQ(SettingsFilePath(key), u"/etc/xdg/Norvel/Tellur.conf"_s);
        EXPECT_EQ(ProgramFolder(), QCoreApplication::applicationDirPath());
    }
    const test::ScopedEnv settings("MEREVAL_SETTINGS", "/tmp/x/Tellur.conf");
    const test::ScopedEnv home("MEREVAL_HOME", "/srv/till");
    EXPECT_EQ(SettingsFilePath(key), u"/tmp/x/Tellur.conf"_s);
    EXPECT_EQ(ProgramFolder(), u"/srv/till"_s);
    EXPECT_EQ(ProgramName(), u"unit_common"_s);
}

}  // namespace
}  // namespace mereval::platform
