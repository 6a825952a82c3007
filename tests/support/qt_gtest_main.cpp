#include <QApplication>

#include <gtest/gtest.h>

// Every test binary gets a full application object, so window tests and
// socket tests alike run their events on the test's own thread. Without a
// platform named, tests run headless; the X11 tests name theirs.
int main(int argc, char* argv[]) {
    if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
