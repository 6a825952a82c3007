#include "support/xvfb_server.h"

#include <QApplication>

#include <gtest/gtest.h>

#include <cstdio>

// The whole binary runs on a private Xvfb through Qt's xcb platform, for
// real keyboard layouts. Listing the tests starts no X server.
int main(int argc, char* argv[]) {
    ::testing::InitGoogleTest(&argc, argv);
    if (GTEST_FLAG_GET(list_tests)) {
        return RUN_ALL_TESTS();
    }
    const mereval::test::XvfbServer server;
    if (!server.IsRunning()) {
        std::fprintf(stderr, "Xvfb did not start\n");
        return 1;
    }
    qputenv("DISPLAY", server.Display().toLatin1());
    qputenv("QT_QPA_PLATFORM", "xcb");
    // The input method that Qt loads by default on X11, whatever the desktop.
    qputenv("QT_IM_MODULE", "compose");
    QApplication app(argc, argv);
    return RUN_ALL_TESTS();
}
