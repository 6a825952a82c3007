#include "paysim/paysim_server.h"
#include "platform/keyboard_layout.h"
#include "session/conversions.h"
#include "session/message_catalogue.h"
#include "support/main_window_driver.h"
#include "support/temp_environment.h"
#include "ui/active_keyboard_layout.h"

#include <QApplication>
#include <QLineEdit>
#include <QProcess>
#include <QTest>

#include <gtest/gtest.h>
#include <xcb/xcb.h>
// xkb.h names a struct member "explicit"; Qt's own X11 code includes it the same way.
#define explicit explicit_
#include <xcb/xkb.h>
#undef explicit

#include <cstdlib>

// Typed with xdotool on a private X server under the till's Estonian layout.

namespace mereval::ui {
namespace {

namespace code = session::catalogue::code;
namespace field = session::catalogue::field;
using namespace Qt::StringLiterals;
using paysim::ReceivedMessage;

constexpr int kWaitMs = 15000;
const QByteArray kTrack = QByteArrayLiteral(";4761739001010010=25121011000012345678?");

// The keycodes a reader presses: "1" to "9" are 10 to 18, "0" is 19.
QStringList ReaderKeys(const QByteArray& text) {
    const QHash<char, QString> others{
        {';', u"47"_s}, {'=', u"21"_s}, {'?', u"shift+61"_s}, {'.', u"60"_s}};
    QStringList keys;
    for (const char character : text) {
        keys.append(
            others.value(character, QString::number(character == '0' ? 19 : character - '0' + 9)));
    }
    return keys;
}

bool RunX(const QString& program, const QStringList& arguments) {
    return QProcess::execute(program, arguments) == 0;
}
bool PressKeys(const QStringList& keys, int delayMs) {
    return RunX(u"xdotool"_s, QStringList{u"key"_s, u"--delay"_s, QString::number(delayMs)} + keys);
}
constexpr int kReaderDelayMs = 1;
constexpr int kHandDelayMs = 100;

class CardReaderX11 : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(simulator_.Listen(0)) << simulator_.ErrorString().toStdString();
        ASSERT_TRUE(RunX(u"setxkbmap"_s, {u"ee"_s}));
        ASSERT_EQ(ActiveKeyboardLayout(), platform::kLayoutEstonian);
        ui_.Open(environment_, "KKPort=" + QByteArray::number(simulator_.Port()) +
                                   "\nReportMode=0\nPOS=12345678\n");
        ASSERT_TRUE(
            QTest::qWaitFor([this] { return QApplication::focusWidget() == ui_.Field("Text2"); }));
    }

    void WaitAmountJudged(const QString& text) const {
        ASSERT_TRUE(QTest::qWaitFor([&] { return ui_.Field("Text2")->text() == text; }, kWaitMs));
        ASSERT_TRUE(ui_.WaitBurstEnd());
    }

    const ReceivedMessage* Message(const char* messageCode) const {
        for (const ReceivedMessage& message : simulator_.Received()) {
            if (message.Code() == messageCode) {
                return &message;
            }
        }
        return nullptr;
    }

    test::TempProgramEnvironment environment_;
    paysim::PaySimServer simulator_;
    test::MainWindowDriver ui_;
};

// The masked input box comes for an amount ending in 4.
TEST_F(CardReaderX11, SwipesIntoTheAmountFieldAndTheMaskedBoxSendTheTrack) {
    // "12.040" corrected with BackSpace just before the swipe.
    ASSERT_TRUE(PressKeys(ReaderKeys("12.040") << u"BackSpace"_s, kHandDelayMs));
    WaitAmountJudged(u"12.04"_s);
    ASSERT_TRUE(PressKeys(ReaderKeys(kTrack) << u"Return"_s, kReaderDelayMs));
    ASSERT_TRUE(QTest::qWaitFor([&] { return Message(code::StartTransaction); }, kWaitMs));
    const ReceivedMessage* request = Message(code::StartTransaction);
    EXPECT_EQ(request->Field(field::CardData), kTrack);
    EXPECT_EQ(session::DoubleFromBytes(request->Field(field::Amount)), 12.04);

    ASSERT_TRUE(QTest::qWaitFor(
        [&] { return ui_.TopBox() != nullptr && QApplication::activeWindow() == ui_.TopBox(); },
        kWaitMs));
    auto* input = ui_.TopBox()->findChild<QLineEdit*>(u"Text1"_s);
    ASSERT_EQ(QApplication::focusWidget(), input);
    EXPECT_EQ(input->echoMode(), QLineEdit::Password);
    ASSERT_TRUE(PressKeys(ReaderKeys(kTrack) << u"Return"_s, kReaderDelayMs));
    ASSERT_TRUE(QTest::qWaitFor([&] { return Message(code::InputResponse); }, kWaitMs));
    const ReceivedMessage* answer = Message(code::InputResponse);
    EXPECT_EQ(answer->Field(field::InputText), kTrack);
    EXPECT_EQ(answer->Field(field::ButtonCode), session::catalogue::ByteValue(1));
    EXPECT_TRUE(QTest::qWaitFor([this] { return !ui_.Running(); }, kWaitMs));
}

// Each key arrives as the character the layout gives ("=" is an accent) and
// none is taken for a swipe.
TEST_F(CardReaderX11, TrackTypedAtHumanPaceStaysInTheFieldAndPaysNothing) {
    ASSERT_TRUE(PressKeys(ReaderKeys("12.00" + kTrack), kHandDelayMs));
    WaitAmountJudged(u"12.00ö4761739001010010´25121011000012345678_"_s);
    EXPECT_TRUE(ui_.Field("Text1")->text().isEmpty());
    EXPECT_FALSE(ui_.Running());
    EXPECT_EQ(Message(code::StartTransaction), nullptr);
}

// A locked second group, as a layout switch key leaves it.
TEST(ActiveXkbLayoutHandle, ReadsTheActiveGroup) {
    ASSERT_TRUE(RunX(u"setxkbmap"_s, {u"us,ee"_s}));
    xcb_connection_t* connection = xcb_connect(nullptr, nullptr);
    // The first reading also sets up the keyboard extension on the connection.
    ASSERT_EQ(platform::ActiveXkbLayoutHandle(connection), platform::kLayoutNeither);
    free(xcb_request_check(
        connection, xcb_xkb_latch_lock_state_checked(connection, XCB_XKB_ID_USE_CORE_KBD, 0, 0, 1,
                                                     1, 0, 0, 0)));
    EXPECT_EQ(platform::ActiveXkbLayoutHandle(connection), platform::kLayoutEstonian);
    xcb_disconnect(connection);
}

}  // namespace
}  // namespace mereval::ui
