#include "paysim/paysim_server.h"
#include "platform/keyboard_layout.h"
#include "session/conversions.h"
#include "session/message_catalogue.h"
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
using paysim::ReceivedMessage;

constexpr int kWaitMs = 15000;
const QByteArray kTrack = QByteArrayLiteral(";4761739001010010=25121011000012345678?");
const QByteArray kCardNumber = QByteArrayLiteral("4761739001010010");

// The keys of a US keyboard that a reader presses for the text.
QStringList ReaderKeys(const QByteArray& track) {
    QStringList keys;
    for (const char character : track) {
        switch (character) {
            case ';':
                keys.append(QStringLiteral("47"));
                break;
            case '=':
                keys.append(QStringLiteral("21"));
                break;
            case '?':
                keys.append(QStringLiteral("shift+61"));
                break;
            default:  // digits: "1" to "9" are 10 to 18, "0" is 19
                keys.append(QString::number(character == '0' ? 19 : 9 + (character - '0')));
                break;
        }
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
    return RunX(
        QStringLiteral("xdotool"),
        QStringList{QStringLiteral("key"), QStringLiteral("--delay"), QString::number(delayMs)} +
            keys);
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
    {"ee", platform::kLayoutEstonian, "60",
     QStringLiteral(u"ö4761739001010010´25121011000012345678_")},
    {"ru", platform::kLayoutRussian, "61",
     QStringLiteral(u"ж4761739001010010=25121011000012345678,")},
};

bool SetLayout(const Layout& layout) {
    return RunX(QStringLiteral("setxkbmap"), {QString::fromLatin1(layout.name)}) &&
           ActiveKeyboardLayout() == layout.handle;
}

// The real main window against the simulator, shown and active with the
// focus in the amount field.
class CardReaderX11 : public ::testing::TestWithParam<Layout> {
protected:
    void SetUp() override {
        ASSERT_TRUE(simulator_.Listen(0)) << simulator_.ErrorString().toStdString();
        QFile settings(environment_.SettingsPath());
        ASSERT_TRUE(settings.open(QIODevice::WriteOnly));
        settings.write("KKPort=" + QByteArray::number(simulator_.Port()) +
                       "\nReportMode=0\nPOS=12345678\n");
        settings.close();
        ASSERT_TRUE(SetLayout(GetParam()));

        window_ = std::make_unique<Form1>();
        window_->Settings().fDoPrint = false;  // receipts have tests of their own
        window_->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(window_.get()));
        window_->activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(window_.get()));
        ASSERT_TRUE(
            QTest::qWaitFor([this] { return QApplication::focusWidget() == Field("Text2"); }));
    }

    void TearDown() override { window_.reset(); }

    QLineEdit* Field(const char* name) const {
        return window_->findChild<QLineEdit*>(QString::fromLatin1(name));
    }

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
        auto* burstTimer = window_->findChild<QTimer*>(QStringLiteral("Timer3"));
        return burstTimer != nullptr &&
               QTest::qWaitFor(
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
        auto* ok = window_->findChild<QPushButton*>(QStringLiteral("Command1"));
        return QTest::qWaitFor([ok] { return ok->isEnabled(); }, kWaitMs);
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
    std::unique_ptr<Form1> window_;
};

TEST_P(CardReaderX11, SwipeIntoTheAmountFieldPaysWithTheNormalisedTrack) {
    // The cashier corrects "12.000" with BackSpace just before the swipe.
    TypeAmountByHand(QStringLiteral("12.000"));
    ASSERT_TRUE(PressKeys({QStringLiteral("BackSpace")}, kHandDelayMs));
    ASSERT_TRUE(PressKeys(ReaderKeys(kTrack) << QStringLiteral("Return"), kReaderDelayMs));

    const ReceivedMessage* request = WaitForMessage(code::StartTransaction);
    ASSERT_NE(request, nullptr);
    EXPECT_EQ(request->Field(field::CardData), kTrack);
    // The swiped keys left the amount field as the cashier had corrected it.
    EXPECT_EQ(Field("Text2")->text(), QStringLiteral("12.00"));
    EXPECT_EQ(session::DoubleFromBytes(request->Field(field::Amount)), 12.00);

    ASSERT_TRUE(WaitForOperationEnd());
    EXPECT_FALSE(AnyFileHoldsTheCardNumber());
}

TEST_P(CardReaderX11, TrackTypedAtHumanPaceStaysInTheFieldAndPaysNothing) {
    TypeAmountByHand(QStringLiteral("12.00"));
    ASSERT_TRUE(PressKeys(ReaderKeys(kTrack), kHandDelayMs));

    // Every key arrived as the character its layout gives, the reader's "="
    // under the Estonian layout as "´", and none was taken for a swipe.
    ASSERT_TRUE(WaitUntilBurstJudged(QStringLiteral("12.00") + GetParam().swipeAsTyped));
    EXPECT_TRUE(Field("Text1")->text().isEmpty());
    EXPECT_TRUE(window_->findChild<QPushButton*>(QStringLiteral("Command1"))->isEnabled());
    for (const ReceivedMessage& message : simulator_.Received()) {
        EXPECT_NE(message.Code(), code::StartTransaction);
    }
}

TEST_P(CardReaderX11, SwipeIntoTheMaskedInputBoxAnswersTheNormalisedTrack) {
    TypeAmountByHand(QStringLiteral("12.04"));  // the masked input box scenario
    ASSERT_TRUE(PressKeys(ReaderKeys(kTrack) << QStringLiteral("Return"), kReaderDelayMs));
    ASSERT_NE(WaitForMessage(code::StartTransaction), nullptr);

    Form2* box = nullptr;
    ASSERT_TRUE(QTest::qWaitFor(
        [&] {
            box = window_->Boxes().Top();
            return box != nullptr && QApplication::activeWindow() == box;
        },
        kWaitMs));
    auto* input = box->findChild<QLineEdit*>(QStringLiteral("Text1"));
    ASSERT_EQ(QApplication::focusWidget(), input);
    EXPECT_EQ(input->echoMode(), QLineEdit::Password);

    ASSERT_TRUE(PressKeys(ReaderKeys(kTrack) << QStringLiteral("Return"), kReaderDelayMs));
    const ReceivedMessage* answer = WaitForMessage(code::InputResponse);
    ASSERT_NE(answer, nullptr);
    EXPECT_EQ(answer->Field(field::InputText), kTrack);
    EXPECT_EQ(answer->Field(field::ButtonCode), session::catalogue::ByteValue(1));

    ASSERT_TRUE(WaitForOperationEnd());
    EXPECT_FALSE(AnyFileHoldsTheCardNumber());
}

INSTANTIATE_TEST_SUITE_P(Layouts, CardReaderX11, ::testing::ValuesIn(kLayouts),
                         [](const auto& info) { return std::string(info.param.name); });

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
    ASSERT_TRUE(PressKeys(
        {QStringLiteral("21"), QStringLiteral("26"), QStringLiteral("21"), QStringLiteral("10")},
        kHandDelayMs));
    EXPECT_TRUE(QTest::qWaitFor([&] { return shown.field.text().size() >= 4; }, kWaitMs));
    EXPECT_EQ(shown.field.text(), QStringLiteral(u"´e´1"));
}

}  // namespace
}  // namespace mereval::ui
