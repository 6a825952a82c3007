#include "support/xvfb_server.h"

#include <QApplication>

#include <gtest/gtest.h>

#include <cstdio>

// For tests that need real keyboard layouts: the whole binary runs on a
// private Xvfb through Qt's xcb platform, which Qt fixes when the
// application object is made. Listing the tests (CTest's discovery) needs
// no X server and starts none.
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
    // The input method that Qt loads by default on X11, whatever the
    // desktop that runs the tests prefers.
    qputenv("QT_IM_MODULE", "compose");
    int result = 0;
    {
        QApplication app(argc, argv);
        result = RUN_ALL_TESTS();
    }
    return result;
}
