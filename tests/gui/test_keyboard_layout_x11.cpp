#include "platform/keyboard_layout.h"
#include "support/xvfb_server.h"

#include <xcb/xcb.h>
// xkb.h names a struct member "explicit"; Qt's own X11 code includes it the same way.
#define explicit explicit_
#include <xcb/xkb.h>
#undef explicit

#include <gtest/gtest.h>

#include <cstdlib>

namespace mereval::platform {
namespace {

quint32 LayoutAfterSetxkbmap(const test::XvfbServer& server, const QStringList& arguments) {
    EXPECT_TRUE(server.Run(QStringLiteral("setxkbmap"), arguments))
        << arguments.join(u' ').toStdString();
    xcb_connection_t* connection = xcb_connect(server.Display().toLatin1().constData(), nullptr);
    const quint32 layout = ActiveXkbLayoutHandle(connection);
    xcb_disconnect(connection);
    return layout;
}

TEST(ActiveXkbLayoutHandle, FollowsTheServersActiveLayout) {
    const test::XvfbServer server;
    ASSERT_TRUE(server.IsRunning());
    EXPECT_EQ(LayoutAfterSetxkbmap(server, {QStringLiteral("ee")}), kLayoutEstonian);
    EXPECT_EQ(LayoutAfterSetxkbmap(server, {QStringLiteral("ru")}), kLayoutRussian);
    EXPECT_EQ(LayoutAfterSetxkbmap(server, {QStringLiteral("us")}), kLayoutNeither);
    EXPECT_EQ(LayoutAfterSetxkbmap(server, {QStringLiteral("ee"), QStringLiteral("dvorak")}),
              kLayoutNeither);
}

TEST(ActiveXkbLayoutHandle, ReadsTheActiveGroupNotTheFirst) {
    const test::XvfbServer server;
    ASSERT_TRUE(server.IsRunning());
    EXPECT_EQ(LayoutAfterSetxkbmap(server, {QStringLiteral("us,ee")}), kLayoutNeither);

    // Lock the second group, as a layout switch key would.
    xcb_connection_t* connection = xcb_connect(server.Display().toLatin1().constData(), nullptr);
    ASSERT_EQ(ActiveXkbLayoutHandle(connection), kLayoutNeither);  // also sets up XKB
    free(xcb_request_check(
        connection, xcb_xkb_latch_lock_state_checked(connection, XCB_XKB_ID_USE_CORE_KBD, 0, 0, 1,
                                                     1, 0, 0, 0)));
    EXPECT_EQ(ActiveXkbLayoutHandle(connection), kLayoutEstonian);
    xcb_disconnect(connection);
}

TEST(ActiveXkbLayoutHandle, NoConnectionIsNeither) {
    EXPECT_EQ(ActiveXkbLayoutHandle(nullptr), kLayoutNeither);
}

}  // namespace
}  // namespace mereval::platform
