#include "platform/program_folder.h"
#include "platform/settings_file_location.h"

#include "support/temp_environment.h"

#include <QCoreApplication>

#include <gtest/gtest.h>

namespace mereval::platform {
namespace {

TEST(SettingsFilePath, MachineWideFileUnlessTheEnvironmentNamesOne) {
    {
        const test::ScopedEnv settings("MEREVAL_SETTINGS", QByteArray());
        EXPECT_EQ(SettingsFilePath(QStringLiteral("SOFTWARE\\Norvel\\Tellur")),
                  QStringLiteral("/etc/xdg/Norvel/Tellur.conf"));
    }
    const test::ScopedEnv settings("MEREVAL_SETTINGS", "/tmp/x/Tellur.conf");
    EXPECT_EQ(SettingsFilePath(QStringLiteral("SOFTWARE\\Norvel\\Tellur")),
              QStringLiteral("/tmp/x/Tellur.conf"));
}

TEST(ProgramFolder, EnvironmentOrTheExecutablesFolder) {
    {
        const test::ScopedEnv home("MEREVAL_HOME", QByteArray());
        EXPECT_EQ(ProgramFolder(), QCoreApplication::applicationDirPath());
    }
    const test::ScopedEnv home("MEREVAL_HOME", "/srv/till");
    EXPECT_EQ(ProgramFolder(), QStringLiteral("/srv/till"));
    EXPECT_EQ(ProgramName(), QStringLiteral("unit_common"));
}

}  // namespace
}  // namespace mereval::platform
