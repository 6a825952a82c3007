#include "session/conversions.h"
#include "session/message_catalogue.h"
#include "session/message_codec.h"
#include "support/main_window_driver.h"
#include "support/qt_print_to.h"
#include "support/temp_environment.h"
#include "ui/form3.h"
#include "ui/form4.h"

#include <QAction>
#include <QHostAddress>
#include <QStatusBar>
#include <QTcpServer>
#include <QTcpSocket>

#include <gtest/gtest.h>

#include <functional>
#include <optional>
#include <ostream>
#include <vector>

namespace mereval::ui {
namespace {

using namespace Qt::StringLiterals;

const QString kInvalidAmount = u"Vigane summa."_s;
const QString kInvalidReceipt = u"Vigane kviitungi number."_s;
const QString kTrack = u";4761739001010010=25121010000012300000?"_s;

// The real main window against a payment system that accepts the connection
// and stays silent, so that a started operation runs until the test ends it.
class MainWindow : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(peer_.listen(QHostAddress::LocalHost, 0));
        QObject::connect(&peer_, &QTcpServer::newConnection, [this] {
            while (QTcpSocket* socket = peer_.nextPendingConnection()) {
                connections_.push_back(socket);
            }
        });
    }

    Form1& OpenWindow(const char* reportMode = "ReportMode=0\n") {
        return ui_.Open(
            env_, "KKAddress=127.0.0.1\nKKPort=" + QByteArray::number(peer_.serverPort()) + "\n" +
                      reportMode + "POS=00000001\n");
    }
    void CtrlTab() const { QTest::keyClick(ui_.KeyTarget(), Qt::Key_Tab, Qt::ControlModifier); }
    // The first request that the payment system received.
    session::MessageCodec Request() {
        session::MessageCodec request;
        QByteArray rest;
        EXPECT_TRUE(QTest::qWaitFor([this] {
            return !connections_.empty() && connections_.front()->bytesAvailable() > 0;
        }));
        if (!connections_.empty()) {
            EXPECT_EQ(request.Parse(connections_.front()->readAll(), rest), request.kDecoded);
        }
        return request;
    }

    test::TempProgramEnvironment env_;
    QTcpServer peer_;
    std::vector<QTcpSocket*> connections_;
    test::MainWindowDriver ui_;
};

TEST_F(MainWindow, ReportOnlyModeIsTheDefaultAndOffersNoOperation) {
    Form1& form = OpenWindow("");
    EXPECT_FALSE(ui_.Button("Command1")->isVisible());
    EXPECT_FALSE(ui_.Find<QAction>("PosCommand")->isEnabled());

    // Neither Ctrl+Tab, nor Enter, nor a swipe does anything.
    CtrlTab();
    QTest::keyClick(ui_.KeyTarget(), Qt::Key_Return);
    ui_.Keys(ui_.KeyTarget(), kTrack, 2);
    EXPECT_TRUE(ui_.Find<QTimer>("Timer3")->isActive());  // the window saw the swipe
    // A coarse timer may end a burst 5 % early, between two keys of it.
    EXPECT_EQ(ui_.Find<QTimer>("Timer3")->timerType(), Qt::PreciseTimer);
    ASSERT_TRUE(ui_.WaitBurstEnd());
    EXPECT_EQ(ui_.Tabs()->currentIndex(), 0);
    EXPECT_FALSE(ui_.Running());
    EXPECT_EQ(form.Boxes().Count(), 0);
}

struct FieldCase {
    const char* name;
    int tab;
    std::vector<std::pair<const char*, const char*>> fields;
    QString refusal;  // empty: the operation starts
};

void PrintTo(const FieldCase& c, std::ostream* out) {
    *out << c.name;
}

class MainWindowFieldCheck : public MainWindow, public ::testing::WithParamInterface<FieldCase> {};

TEST_P(MainWindowFieldCheck, RefusesWithTheTabsMessageOrStarts) {
    const FieldCase& c = GetParam();
    Form1& form = OpenWindow();
    ui_.ClickTab(c.tab);
    for (const auto& [name, text] : c.fields) {
        ui_.Field(name)->setText(QString::fromUtf8(text));
    }
    ui_.Field("Text1")->setText(u"4761"_s);
    QStringList expected = ui_.EntryTexts();
    ui_.PressOk();

    EXPECT_EQ(ui_.Running(), c.refusal.isEmpty());
    EXPECT_EQ(ui_.BoxText(), c.refusal);
    if (!c.refusal.isEmpty()) {
        // Only the amount check empties the card number field, on every tab.
        if (c.refusal == kInvalidAmount) {
            expected[0].clear();
        }
        EXPECT_EQ(ui_.EntryTexts(), expected);
        ui_.ClickBoxButton(u"OK"_s);
        EXPECT_TRUE(form.isEnabled());
    }
}

INSTANTIATE_TEST_SUITE_P(
    Tabs, MainWindowFieldCheck,
    ::testing::ValuesIn(std::vector<FieldCase>{
        {"CardPaymentEmptyAmount", 1, {{"Text2", ""}}, kInvalidAmount},
        {"CardPaymentAmountWithBlanks", 1, {{"Text2", " 12,34 "}}, {}},
        {"ReservationLetters", 4, {{"Text2", "12a"}}, kInvalidAmount},
        {"CancellationSixDigits", 2, {{"Text3", "123456"}}, {}},
        {"CancellationSevenDigits", 2, {{"Text3", "1234567"}}, kInvalidReceipt},
        {"CancellationEmpty", 2, {{"Text3", ""}}, kInvalidReceipt},
        {"CancellationNotNumeric", 2, {{"Text3", "12a"}}, kInvalidReceipt},
        {"TipSevenCharacters", 3, {{"Text8", "000001 "}, {"Text9", "1.00"}}, kInvalidReceipt},
        // The first refusal ends the checks: the amount is not looked at.
        {"TipBothEmpty", 3, {{"Text8", ""}, {"Text9", ""}}, kInvalidReceipt},
        {"TipEmptyAmount", 3, {{"Text8", "12"}, {"Text9", ""}}, kInvalidAmount},
        {"TipDecimalReceipt", 3, {{"Text8", "1,5"}, {"Text9", "1.00"}}, {}},
        // Tab 5 reads its receipt number with the amount reader.
        {"CompletionDecimalReceipt", 5, {{"Text4", "1,5"}, {"Text7", "1.00"}}, kInvalidReceipt},
        {"CompletionAmountAsReceipt", 5, {{"Text4", "12.50"}, {"Text7", "1.00"}}, {}},
        {"CompletionBadAmount", 5, {{"Text4", "12"}, {"Text7", "1.234"}}, kInvalidAmount},
    }),
    [](const ::testing::TestParamInfo<FieldCase>& info) { return info.param.name; });

// One thing the cashier or the reader does: characters into a field at a gap
// in ms, a swipe (37 keys in 72 ms) into a field or onto a button, a single
// key, or a change without keys (a mouse paste, a click of another tab).
using Act = std::function<void(test::MainWindowDriver&)>;
Act Keys(const char* field, const QString& text, quint64 gapMs) {
    return [=](test::MainWindowDriver& ui) { ui.Keys(ui.Focus(field), text, gapMs); };
}
Act Swipe(const char* target) {
    return [=](test::MainWindowDriver& ui) {
        QWidget* widget =
            target[0] == 'T' ? static_cast<QWidget*>(ui.Focus(target)) : ui.Button(target);
        widget->setFocus();
        ui.Keys(widget, kTrack, 2);
    };
}
Act Key(const char* field, Qt::Key key) {
    return [=](test::MainWindowDriver& ui) { QTest::keyClick(ui.Field(field), key); };
}
Act Set(const char* field, const char* text) {
    return [=](test::MainWindowDriver& ui) { ui.Field(field)->setText(QString::fromLatin1(text)); };
}
Act ClickTab(int tab) {
    return [=](test::MainWindowDriver& ui) { ui.ClickTab(tab); };
}

struct KeyCase {
    const char* name;
    std::vector<Act> acts;
    // Text1 (card), Text2 (amount), Text3 (receipt number of tab 2).
    QStringList fields;
    std::optional<double> amountSent = {};  // the "0001" request's amount
    QString box = {};
};

void PrintTo(const KeyCase& c, std::ostream* out) {
    *out << c.name;
}

class MainWindowKeys : public MainWindow, public ::testing::WithParamInterface<KeyCase> {
protected:
    std::optional<double> AmountSent() {
        if (!ui_.Running()) {
            return std::nullopt;
        }
        const session::MessageCodec request = Request();
        EXPECT_EQ(request.GetField(session::catalogue::field::Code, {}), "0001");
        return session::DoubleFromBytes(request.GetField(session::catalogue::field::Amount, {}));
    }
};

TEST_P(MainWindowKeys, LeaveTheFieldsAndSendTheRequest) {
    const KeyCase& c = GetParam();
    OpenWindow();
    for (const Act& act : c.acts) {
        act(ui_);
        ASSERT_TRUE(ui_.WaitBurstEnd());
    }
    EXPECT_EQ(ui_.EntryTexts().mid(0, 3), c.fields);
    EXPECT_EQ(ui_.BoxText(), c.box);
    EXPECT_EQ(AmountSent(), c.amountSent);
}

// The card number field shows a swipe masked; the request carries it whole.
const QString kSwiped = u"476173******0010"_s;
INSTANTIATE_TEST_SUITE_P(
    Sequences, MainWindowKeys,
    ::testing::ValuesIn(std::vector<KeyCase>{
        // Whatever changed the amount last, the swipe leaves what it showed.
        {"Delete",
         {Keys("Text2", u"1005"_s, 100), Key("Text2", Qt::Key_Left), Key("Text2", Qt::Key_Delete),
          Swipe("Text2")},
         {kSwiped, u"100"_s, {}},
         100.0},
        {"PastedByMouse", {Set("Text2", "12.00"), Swipe("Text2")}, {kSwiped, u"12.00"_s, {}}, 12.0},
        // A button leaves the keys to its window: each counts once.
        {"SwipeWhileOkHasTheFocus",
         {Keys("Text2", u"5.00"_s, 0), Swipe("Command1")},
         {kSwiped, u"5.00"_s, {}},
         5.0},
        {"AmountOfAnotherTabIsGone",
         {Keys("Text2", u"5.00"_s, 0), ClickTab(4), Swipe("Text2")},
         {{}, {}, {}},
         std::nullopt,
         kInvalidAmount},
        {"SwipeIntoTheCardFieldChecksTheAmount",
         {Set("Text2", "12a"), Swipe("Text1")},
         {{}, u"12a"_s, {}},
         std::nullopt,
         kInvalidAmount},
        // On tab 2 a swipe leaves the receipt field and starts nothing; what
        // stays tells how the burst was judged: 5 keys at 20 ms each at most,
        // counting the 55 ms pause.
        {"FourKeysAtOnce",
         {ClickTab(2), Keys("Text3", u"12"_s, 100), Keys("Text3", u"9876"_s, 0)},
         {{}, {}, u"129876"_s}},
        {"FiveKeysAtOnce",
         {ClickTab(2), Keys("Text3", u"12"_s, 100), Keys("Text3", u"98765"_s, 0)},
         {{}, {}, u"12"_s}},
        {"SixKeysAt13Ms",
         {ClickTab(2), Keys("Text3", u"12"_s, 100), Keys("Text3", u"987654"_s, 13)},
         {{}, {}, u"12"_s}},
        {"SixKeysAt14Ms",
         {ClickTab(2), Keys("Text3", u"12"_s, 100), Keys("Text3", u"987654"_s, 14)},
         {{}, {}, u"12987654"_s}},
        {"TenKeysAt100Ms",
         {ClickTab(2), Keys("Text3", u"12"_s, 100), Keys("Text3", u"9876543210"_s, 100)},
         {{}, {}, u"129876543210"_s}},
    }),
    [](const ::testing::TestParamInfo<KeyCase>& info) { return info.param.name; });

TEST_F(MainWindow, RunningOperationLocksTheWindowUntilItEnds) {
    Form1& form = OpenWindow();
    const auto expectIdle = [this](bool idle) {
        EXPECT_EQ(ui_.Button("Command1")->isEnabled(), idle);
        EXPECT_EQ(ui_.Button("Command2")->isEnabled(), !idle);
        EXPECT_EQ(ui_.Tabs()->isEnabled(), idle);
        for (const char* name : test::MainWindowDriver::kEntryFields) {
            EXPECT_EQ(ui_.Field(name)->isEnabled(), idle) << name;
        }
    };
    expectIdle(true);
    ui_.Type("Text2", u"1.00"_s, 0);
    QTest::keyClick(ui_.Field("Text2"), Qt::Key_Enter, Qt::KeypadModifier);
    ASSERT_TRUE(ui_.Running());
    ASSERT_TRUE(QTest::qWaitFor([this] { return !connections_.empty(); }));
    expectIdle(false);
    EXPECT_EQ(ui_.Find<QStatusBar>("StatusBar1")->currentMessage(), u"Session: 000001"_s);
    // No tab change by mouse or by Ctrl+Tab.
    ui_.ClickTab(3);
    CtrlTab();
    EXPECT_EQ(ui_.Tabs()->currentIndex(), 0);
    EXPECT_EQ(ui_.Field("Text2")->text(), u"1.00"_s);

    // Loobu, by click or by Esc, asks to abort; the operation goes on.
    QTcpSocket* peer = connections_.front();
    QByteArray received;
    QObject::connect(peer, &QTcpSocket::readyRead, [&] { received += peer->readAll(); });
    received += peer->readAll();
    QTest::mouseClick(ui_.Button("Command2"), Qt::LeftButton);
    EXPECT_TRUE(QTest::qWaitFor([&] { return received.count("0005") == 1; }));
    QTest::keyClick(ui_.KeyTarget(), Qt::Key_Escape);
    EXPECT_TRUE(QTest::qWaitFor([&] { return received.count("0005") == 2; }));
    EXPECT_TRUE(ui_.Running());

    // The payment system hangs up: an error box over the idle window.
    peer->disconnectFromHost();
    ASSERT_TRUE(QTest::qWaitFor([&] { return form.Boxes().Count() == 1; }));
    EXPECT_EQ(ui_.BoxText(), u"Ühendus maksesüsteemiga katkes. (Socket closed)"_s);
    EXPECT_FALSE(form.isEnabled());
    ui_.ClickBoxButton(u"OK"_s);
    // Activated again, the window puts the focus into the tab's first field.
    EXPECT_EQ(QApplication::focusWidget(), ui_.Field("Text2"));
    expectIdle(true);
    EXPECT_EQ(ui_.Field("Text1")->text(), QString());
    EXPECT_EQ(ui_.Field("Text2")->text(), u"1.00"_s);
    CtrlTab();
    EXPECT_EQ(ui_.Tabs()->currentIndex(), 1);
}

TEST_F(MainWindow, SpecialCommandLocksWhatStartsAnotherUntilItEnds) {
    Form1& form = OpenWindow();
    // The report dialog stays open meanwhile, its OK unusable.
    ui_.Find<QAction>("Report")->trigger();
    auto* reportOk = form.findChild<Form3*>()->findChild<QPushButton*>(u"Command1"_s);
    ui_.Find<QAction>("PosCommand")->trigger();
    auto* commandOk = form.findChild<Form4*>()->findChild<QPushButton*>(u"Command1"_s);
    QTest::mouseClick(commandOk, Qt::LeftButton);
    EXPECT_EQ(Request().GetField(session::catalogue::field::Code, {}),
              session::catalogue::code::PosCommandRequest);

    const char* const starters[] = {"Report", "PosCommand", "Reprint", "SettingsM"};
    for (const bool running : {true, false}) {
        EXPECT_EQ(ui_.Running(), running);
        for (const char* name : starters) {
            EXPECT_EQ(ui_.Find<QAction>(name)->isEnabled(), !running) << name;
        }
        EXPECT_EQ(reportOk->isEnabledTo(reportOk->window()), !running);
        EXPECT_EQ(commandOk->isEnabledTo(commandOk->window()), !running);
        EXPECT_TRUE(ui_.Find<QAction>("Quit")->isEnabled());
        connections_.front()->disconnectFromHost();
        ASSERT_TRUE(QTest::qWaitFor([&] { return !ui_.Running(); }));
    }

    // Quit closes the boxes without answers.
    form.OpenBox(session::kBoxButtons, u"Kas jätkata?"_s, 4);
    ui_.Find<QAction>("Quit")->trigger();
    EXPECT_EQ(form.Boxes().Count(), 0);
    EXPECT_FALSE(form.isVisible());
}

}  // namespace
}  // namespace mereval::ui
