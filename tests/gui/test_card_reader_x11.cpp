#include "paysim/paysim_server.h"
#include "platform/keyboard_layout.h"
#include "session/conversions.h"
#include "session/message_catalogue.h"
#include "support/main_window_driver.h"
#include "support/qt_print_to.h"
#include "support/temp_environment.h"
#include "ui/active_keyboard_layout.h"
#include "ui/form1.h"
#include "ui/form2.h"
#include "ui/keyboard_path.h"

#include <QApplication>
#include <QDirIterator>
#include <QFile>
#include <QKeyEvent>
#include <QLineEdit>
#include <QProcess>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>
#include <xcb/xcb.h>
// xkb.h names a struct member "explicit"; Qt's own X11 code includes it the same way.
#define explicit explicit_
#include <xcb/xkb.h>
#undef explicit

#include <cstdlib>
#include <memory>
#include <ostream>
#include <vector>

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
const QByteArray kCardNumber = QByteArrayLiteral("4761739001010010");

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
    QString swipeAsTyped;   // what the reader's keys give under the layout
};

void PrintTo(const Layout& layout, std::ostream* out) {
    *out << layout.name;
}

const Layout kLayouts[] = {
    {"us", platform::kLayoutNeither, "60", QString::fromLatin1(kTrack)},
    {"ee", platform::kLayoutEstonian, "60", u"ö4761739001010010´25121011000012345678_"_s},
    {"ru", platform::kLayoutRussian, "61", u"ж4761739001010010=25121011000012345678,"_s},
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

    bool WaitForOperationEnd() const {
        return QTest::qWaitFor([this] { return !ui_.Running(); }, kWaitMs);
    }

    bool AnyFileHoldsTheCardNumber() const {
        QDirIterator files(environment_.Folder(), QDir::Files, QDirIterator::Subdirectories);
        while (files.hasNext()) {
            QFile file(files.next());
            if (file.open(QIODevice::ReadOnly) && file.readAll().contains(kCardNumber)) {
                return true;
            }
        }
        return false;
    }

    test::TempProgramEnvironment environment_;
    paysim::PaySimServer simulator_;
    test::MainWindowDriver ui_;
};

TEST_P(CardReaderX11, SwipeIntoTheAmountFieldPaysWithTheNormalisedTrack) {
    // The cashier corrects "12.000" with BackSpace just before the swipe.
    TypeAmountByHand(u"12.000"_s);
    ASSERT_TRUE(PressKeys({u"BackSpace"_s}, kHandDelayMs));
    ASSERT_TRUE(PressKeys(ReaderKeys(kTrack) << u"Return"_s, kReaderDelayMs));

    const ReceivedMessage* request = WaitForMessage(code::StartTransaction);
    ASSERT_NE(request, nullptr);
    EXPECT_EQ(request->Field(field::CardData), kTrack);
    // The swiped keys left the amount field as the cashier had corrected it.
    EXPECT_EQ(Field("Text2")->text(), u"12.00"_s);
    EXPECT_EQ(session::DoubleFromBytes(request->Field(field::Amount)), 12.00);

    ASSERT_TRUE(WaitForOperationEnd());
    EXPECT_FALSE(AnyFileHoldsTheCardNumber());
}

TEST_P(CardReaderX11, TrackTypedAtHumanPaceStaysInTheFieldAndPaysNothing) {
    TypeAmountByHand(u"12.00"_s);
    ASSERT_TRUE(PressKeys(ReaderKeys(kTrack), kHandDelayMs));

    // Every key arrived as the character its layout gives, the reader's "="
    // under the Estonian layout as "´", and none was taken for a swipe.
    ASSERT_TRUE(WaitUntilBurstJudged(u"12.00"_s + GetParam().swipeAsTyped));
    EXPECT_TRUE(Field("Text1")->text().isEmpty());
    EXPECT_FALSE(ui_.Running());
    for (const ReceivedMessage& message : simulator_.Received()) {
        EXPECT_NE(message.Code(), code::StartTransaction);
    }
}

TEST_P(CardReaderX11, SwipeIntoTheMaskedInputBoxAnswersTheNormalisedTrack) {
    TypeAmountByHand(u"12.04"_s);  // the masked input box scenario
    ASSERT_TRUE(PressKeys(ReaderKeys(kTrack) << u"Return"_s, kReaderDelayMs));
    ASSERT_NE(WaitForMessage(code::StartTransaction), nullptr);

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

    ASSERT_TRUE(WaitForOperationEnd());
    EXPECT_FALSE(AnyFileHoldsTheCardNumber());
}

INSTANTIATE_TEST_SUITE_P(Layouts, CardReaderX11, ::testing::ValuesIn(kLayouts),
                         [](const auto& info) { return std::string(info.param.name); });

// The layouts themselves are seen through the window's connection above;
// these are what only the server's own state shows.
TEST(ActiveXkbLayoutHandle, ReadsTheActiveGroupAndKnowsNoVariant) {
    EXPECT_EQ(platform::ActiveXkbLayoutHandle(nullptr), platform::kLayoutNeither);
    const auto layoutAfter = [](const QStringList& arguments) {
        EXPECT_TRUE(RunX(u"setxkbmap"_s, arguments)) << arguments.join(u' ').toStdString();
        xcb_connection_t* connection = xcb_connect(nullptr, nullptr);
        const quint32 layout = platform::ActiveXkbLayoutHandle(connection);
        xcb_disconnect(connection);
        return layout;
    };
    EXPECT_EQ(layoutAfter({u"ee"_s, u"dvorak"_s}), platform::kLayoutNeither);
    EXPECT_EQ(layoutAfter({u"us,ee"_s}), platform::kLayoutNeither);

    // Lock the second group, as a layout switch key would, and back.
    xcb_connection_t* connection = xcb_connect(nullptr, nullptr);
    ASSERT_EQ(platform::ActiveXkbLayoutHandle(connection), platform::kLayoutNeither);
    for (const auto& [group, layout] :
         {std::pair{1, platform::kLayoutEstonian}, {0, platform::kLayoutNeither}}) {
        free(xcb_request_check(
            connection, xcb_xkb_latch_lock_state_checked(connection, XCB_XKB_ID_USE_CORE_KBD, 0, 0,
                                                         1, group, 0, 0, 0)));
        EXPECT_EQ(platform::ActiveXkbLayoutHandle(connection), layout) << group;
    }
    xcb_disconnect(connection);
}

// A window with one field on the keyboard path, as the reader's keys meet it.
struct FieldWindow {
    FieldWindow() : field(&window), path(window, field, [](const QKeyEvent&) { return false; }) {}
    QWidget window;
    QLineEdit field;
    KeyboardPath path;
};

// The Estonian accent key typed by hand gives the accent alone: the input
// method must not keep it for the next letter.
TEST(CardReaderX11Typing, AccentKeyByHandLeavesTheNextLetterAlone) {
    ASSERT_TRUE(SetLayout(kLayouts[1]));
    FieldWindow shown;
    shown.window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&shown.window));
    shown.window.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&shown.window));
    shown.field.setFocus();

    // "´", "e", "´", "1"
    ASSERT_TRUE(PressKeys({u"21"_s, u"26"_s, u"21"_s, u"10"_s}, kHandDelayMs));
    EXPECT_TRUE(QTest::qWaitFor([&] { return shown.field.text().size() >= 4; }, kWaitMs));
    EXPECT_EQ(shown.field.text(), u"´e´1"_s);
}

}  // namespace
}  // namespace mereval::ui
