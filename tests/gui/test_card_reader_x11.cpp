#include "paysim/paysim_server.h"
#include "platform/keyboard_layout.h"
#include "session/conversions.h"
#include "session/message_catalogue.h"
#include "support/main_window_driver.h"
#include "support/qt_print_to.h"
#include "support/temp_environment.h"
#include "ui/active_keyboard_layout.h"
#include "ui/form2.h"

#include <QApplication>
#include <QLineEdit>
#include <QProcess>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>
#include <xcb/xcb.h>
// xkb.h names a struct member "explicit"; Qt's own X11 code includes it the same way.
#define explicit explicit_
#include <xcb/xkb.h>
#undef explicit

#include <cstdlib>
#include <ostream>

// These tests run on a private Xvfb (tests/support/x11_gtest_main.cpp) and
// type with xdotool, so the keys pass through the X server's keyboard
// layout and Qt's input method as a card reader's keys do at the till.

namespace mereval::ui {
namespace {

namespace code = session::catalogue::code;
namespace field = session::catalogue::field;
using namespace Qt::StringLiterals;
using paysim::ReceivedMessage;

constexpr int kWaitMs = 15000;
const QByteArray kTrack = QByteArrayLiteral(";4761739001010010=25121011000012345678?");

// The keys of a US keyboard that a reader presses for the text: "1" to "9"
// are 10 to 18, "0" is 19.
QStringList ReaderKeys(const QByteArray& track) {
    const QHash<char, QString> others{{';', u"47"_s}, {'=', u"21"_s}, {'?', u"shift+61"_s}};
    QStringList keys;
    for (const char character : track) {
        keys.append(
            others.value(character, QString::number(character == '0' ? 19 : character - '0' + 9)));
    }
    return keys;
}

// Runs a command on the test's X server (DISPLAY is set by the test main)
// and waits for it: keys that xdotool sends meanwhile queue up and reach
// the program together, so only their own timestamps can tell their pace.
bool RunX(const QString& program, const QStringList& arguments) {
    QProcess process;
    process.start(program, arguments);
    return process.waitForFinished(60000) && process.exitStatus() == QProcess::NormalExit &&
           process.exitCode() == 0;
}

// Keys as a reader sends them (about 1 ms apart) or as a cashier types.
bool PressKeys(const QStringList& keys, int delayMs) {
    return RunX(u"xdotool"_s, QStringList{u"key"_s, u"--delay"_s, QString::number(delayMs)} + keys);
}

constexpr int kReaderDelayMs = 1;
constexpr int kHandDelayMs = 100;

struct Layout {
    const char* name;
    quint32 handle;
    const char* periodKey;  // "." moves to the next key under the Russian layout
};

void PrintTo(const Layout& layout, std::ostream* out) {
    *out << layout.name;
}

const Layout kLayouts[] = {
    {"us", platform::kLayoutNeither, "60"},
    {"ee", platform::kLayoutEstonian, "60"},
    {"ru", platform::kLayoutRussian, "61"},
};

bool SetLayout(const Layout& layout) {
    return RunX(u"setxkbmap"_s, {QString::fromLatin1(layout.name)}) &&
           ActiveKeyboardLayout() == layout.handle;
}

// The real main window against the simulator, shown and active with the
// focus in the amount field.
class CardReaderX11 : public ::testing::TestWithParam<Layout> {
protected:
    void SetUp() override {
        ASSERT_TRUE(simulator_.Listen(0)) << simulator_.ErrorString().toStdString();
        ASSERT_TRUE(SetLayout(GetParam()));
        ui_.Open(environment_, "KKPort=" + QByteArray::number(simulator_.Port()) +
                                   "\nReportMode=0\nPOS=12345678\n");
        ASSERT_TRUE(
            QTest::qWaitFor([this] { return QApplication::focusWidget() == Field("Text2"); }));
    }

    QLineEdit* Field(const char* name) const { return ui_.Field(name); }

    // Types an amount key by key at a cashier's pace and waits until the
    // window has judged the last key as typing.
    void TypeAmountByHand(const QString& amount) {
        QStringList keys;
        for (const QChar character : amount) {
            keys.append(character == u'.'
                            ? QString::fromLatin1(GetParam().periodKey)
                            : ReaderKeys(QByteArray(1, character.toLatin1())).front());
        }
        ASSERT_TRUE(PressKeys(keys, kHandDelayMs));
        ASSERT_TRUE(WaitUntilBurstJudged(amount));
    }

    bool WaitUntilBurstJudged(const QString& amountText) const {
        auto* burstTimer = ui_.Find<QTimer>("Timer3");
        return QTest::qWaitFor(
            [&] { return Field("Text2")->text() == amountText && !burstTimer->isActive(); },
            kWaitMs);
    }

    const ReceivedMessage* WaitForMessage(const char* messageCode) const {
        const auto find = [&]() -> const ReceivedMessage* {
            for (const ReceivedMessage& message : simulator_.Received()) {
                if (message.Code() == messageCode) {
                    return &message;
                }
            }
            return nullptr;
        };
        return QTest::qWaitFor([&] { return find() != nullptr; }, kWaitMs) ? find() : nullptr;
    }

    test::TempProgramEnvironment environment_;
    paysim::PaySimServer simulator_;
    test::MainWindowDriver ui_;
};

// The masked input box comes for an amount ending in 4.
TEST_P(CardReaderX11, SwipesIntoTheAmountFieldAndTheMaskedBoxSendTheNormalisedTrack) {
    // The cashier corrects "12.040" with BackSpace just before the swipe.
    TypeAmountByHand(u"12.040"_s);
    ASSERT_TRUE(PressKeys({u"BackSpace"_s}, kHandDelayMs));
    ASSERT_TRUE(PressKeys(ReaderKeys(kTrack) << u"Return"_s, kReaderDelayMs));
    const ReceivedMessage* request = WaitForMessage(code::StartTransaction);
    ASSERT_NE(request, nullptr);
    EXPECT_EQ(request->Field(field::CardData), kTrack);
    // The swiped keys left the amount field as the cashier had corrected it.
    EXPECT_EQ(Field("Text2")->text(), u"12.04"_s);
    EXPECT_EQ(session::DoubleFromBytes(request->Field(field::Amount)), 12.04);

    Form2* box = nullptr;
    ASSERT_TRUE(QTest::qWaitFor(
        [&] {
            box = ui_.TopBox();
            return box != nullptr && QApplication::activeWindow() == box;
        },
        kWaitMs));
    auto* input = box->findChild<QLineEdit*>(u"Text1"_s);
    ASSERT_EQ(QApplication::focusWidget(), input);
    EXPECT_EQ(input->echoMode(), QLineEdit::Password);
    ASSERT_TRUE(PressKeys(ReaderKeys(kTrack) << u"Return"_s, kReaderDelayMs));
    const ReceivedMessage* answer = WaitForMessage(code::InputResponse);
    ASSERT_NE(answer, nullptr);
    EXPECT_EQ(answer->Field(field::InputText), kTrack);
    EXPECT_EQ(answer->Field(field::ButtonCode), session::catalogue::ByteValue(1));

    EXPECT_TRUE(QTest::qWaitFor([this] { return !ui_.Running(); }, kWaitMs));
}

INSTANTIATE_TEST_SUITE_P(Layouts, CardReaderX11, ::testing::ValuesIn(kLayouts),
                         [](const auto& info) { return std::string(info.param.name); });

// At a cashier's pace, under the Estonian layout whose "=" key is an accent:
// every key arrives as the character it gives, the accent alone, and none
// is taken for a swipe.
class CardReaderX11ByHand : public CardReaderX11 {};

TEST_P(CardReaderX11ByHand, TrackTypedAtHumanPaceStaysInTheFieldAndPaysNothing) {
    TypeAmountByHand(u"12.00"_s);
    ASSERT_TRUE(PressKeys(ReaderKeys(kTrack), kHandDelayMs));
    ASSERT_TRUE(WaitUntilBurstJudged(u"12.00ö4761739001010010´25121011000012345678_"_s));
    EXPECT_TRUE(Field("Text1")->text().isEmpty());
    EXPECT_FALSE(ui_.Running());
    for (const ReceivedMessage& message : simulator_.Received()) {
        EXPECT_NE(message.Code(), code::StartTransaction);
    }
}

INSTANTIATE_TEST_SUITE_P(Estonian, CardReaderX11ByHand, ::testing::Values(kLayouts[1]),
                         [](const auto& info) { return std::string(info.param.name); });

// The layouts themselves are seen through the window's connection above;
// a locked second group is what only the server's own state shows.
TEST(ActiveXkbLayoutHandle, ReadsTheActiveGroup) {
    EXPECT_EQ(platform::ActiveXkbLayoutHandle(nullptr), platform::kLayoutNeither);
    ASSERT_TRUE(RunX(u"setxkbmap"_s, {u"us,ee"_s}));
    xcb_connection_t* connection = xcb_connect(nullptr, nullptr);
    ASSERT_EQ(platform::ActiveXkbLayoutHandle(connection), platform::kLayoutNeither);
    // Lock the second group, as a layout switch key would, and back.
    for (const auto& [group, layout] :
         {std::pair{1, platform::kLayoutEstonian}, {0, platform::kLayoutNeither}}) {
        free(xcb_request_check(
            connection, xcb_xkb_latch_lock_state_checked(connection, XCB_XKB_ID_USE_CORE_KBD, 0, 0,
                                                         1, group, 0, 0, 0)));
        EXPECT_EQ(platform::ActiveXkbLayoutHandle(connection), layout) << group;
    }
    xcb_disconnect(connection);
}

}  // namespace
}  // namespace mereval::ui
