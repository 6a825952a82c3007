#include "session/conversions.h"
#include "session/message_catalogue.h"
#include "session/message_codec.h"
#include "support/main_window_driver.h"
#include "support/temp_environment.h"
#include "ui/form3.h"
#include "ui/form4.h"

#include <QAction>
#include <QHostAddress>
#include <QTcpServer>
#include <QTcpSocket>

#include <gtest/gtest.h>

#include <vector>

namespace mereval::ui {
namespace {

using namespace Qt::StringLiterals;
namespace field = session::catalogue::field;

const QString kInvalidAmount = u"Vigane summa."_s;
const QString kInvalidReceipt = u"Vigane kviitungi number."_s;
const QString kTrack = u";4761739001010010=25121010000012300000?"_s;

// The real main window against a payment system that stays silent, so that
// an operation runs until the test ends it.
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

    Form1& OpenWindow() {
        return ui_.Open(env_, "ReportMode=0\nPOS=00000001\nKKPort=" +
                                  QByteArray::number(peer_.serverPort()) + "\n");
    }
    void CtrlTab() const { QTest::keyClick(ui_.KeyTarget(), Qt::Key_Tab, Qt::ControlModifier); }
    // The request that the payment system received on its latest connection.
    session::MessageCodec Request() {
        EXPECT_TRUE(QTest::qWaitFor(
            [this] { return !connections_.empty() && connections_.back()->bytesAvailable() > 0; }));
        session::MessageCodec request;
        QByteArray rest;
        const QByteArray bytes =
            connections_.empty() ? QByteArray() : connections_.back()->readAll();
        EXPECT_EQ(request.Parse(bytes, rest), request.kDecoded);
        return request;
    }

    test::TempProgramEnvironment env_;
    QTcpServer peer_;
    std::vector<QTcpSocket*> connections_;
    test::MainWindowDriver ui_;
};

TEST_F(MainWindow, FieldsAreCheckedInOrderAndOnlyAnAmountRefusalEmptiesTheCard) {
    const struct {
        int tab;
        std::vector<std::pair<const char*, const char*>> fields;
        QString refusal;  // empty: the operation starts
    } cases[] = {
        {1, {{"Text2", ""}}, kInvalidAmount},
        {2, {{"Text3", "1234567"}}, kInvalidReceipt},
        {2, {{"Text3", "12a"}}, kInvalidReceipt},
        // The first refusal ends the checks: the amount is not looked at.
        {3, {{"Text8", ""}, {"Text9", ""}}, kInvalidReceipt},
        // Tab 5 reads its receipt number with the amount reader.
        {5, {{"Text4", "1,5"}, {"Text7", "1.00"}}, kInvalidReceipt},
        {2, {{"Text3", "123456"}}, {}},
    };
    OpenWindow();
    for (const auto& c : cases) {
        ui_.ClickTab(c.tab);
        for (const auto& [name, text] : c.fields) {
            ui_.Field(name)->setText(QString::fromUtf8(text));
        }
        ui_.Field("Text1")->setText(u"4761"_s);
        ui_.PressOk();
        ASSERT_EQ(ui_.BoxText(), c.refusal) << c.fields[0].first << "=" << c.fields[0].second;
        if (!c.refusal.isEmpty()) {
            // Only the amount check empties the card number field.
            EXPECT_EQ(ui_.Field("Text1")->text().isEmpty(), c.refusal == kInvalidAmount);
            ui_.ClickBoxButton(u"OK"_s);
        }
    }
    EXPECT_TRUE(ui_.Running());
}

TEST_F(MainWindow, ABurstIsASwipeFromFiveKeysAt20MsEachCountingThePause) {
    OpenWindow();
    ui_.ClickTab(2);
    // A coarse timer may end a burst 5 % early, between two keys of it.
    EXPECT_EQ(ui_.Find<QTimer>("Timer3")->timerType(), Qt::PreciseTimer);
    // On tab 2 a swipe leaves the receipt field and starts nothing.
    const struct {
        QString keys;
        quint64 gapMs;
        QString left;
    } cases[] = {{u"9876"_s, 0, u"129876"_s},
                 {u"98765"_s, 0, u"12"_s},
                 {u"987654"_s, 13, u"12"_s},
                 {u"987654"_s, 14, u"12987654"_s}};
    for (const auto& c : cases) {
        ui_.Field("Text3")->clear();
        ui_.Type("Text3", u"12"_s, 100);
        ui_.Type("Text3", c.keys, c.gapMs);
        EXPECT_EQ(ui_.Field("Text3")->text(), c.left) << c.keys.size() << " at " << c.gapMs;
    }
    EXPECT_FALSE(ui_.Running());
}

// The card number field shows a swipe masked; the request carries it whole.
TEST_F(MainWindow, ASwipeAfterATabChangeFindsNoAmountAndOntoOkCountsOnce) {
    const QString swiped = u"476173******0010"_s;
    const auto swipe = [this](const char* target) {
        QWidget* widget = ui_.Find<QWidget>(target);
        widget->setFocus();
        ui_.Keys(widget, kTrack, 2);
        ASSERT_TRUE(ui_.WaitBurstEnd());
    };
    const auto amountSent = [this] {
        const session::MessageCodec request = Request();
        EXPECT_EQ(request.GetField(field::Code, {}), "0001");
        return session::DoubleFromBytes(request.GetField(field::Amount, {}));
    };
    OpenWindow();
    ui_.Type("Text2", u"5.00"_s, 0);
    ui_.ClickTab(4);  // the amount of another tab is gone
    swipe("Text2");
    EXPECT_EQ(ui_.EntryTexts().mid(0, 2), QStringList(2));
    EXPECT_EQ(ui_.BoxText(), kInvalidAmount);
    ui_.ClickBoxButton(u"OK"_s);

    // A button leaves the keys to its window: each counts once.
    ui_.Type("Text2", u"5.00"_s, 0);
    swipe("Command1");
    EXPECT_EQ(ui_.EntryTexts().mid(0, 2), (QStringList{swiped, u"5.00"_s}));
    EXPECT_EQ(amountSent(), 5.0);
}

TEST_F(MainWindow, RunningOperationsLockWhatStartsAnotherUntilTheyEnd) {
    Form1& form = OpenWindow();
    const auto expectStartersEnabled = [&](bool enabled) {
        EXPECT_EQ(ui_.Running(), !enabled);
        for (const char* name : {"Report", "PosCommand", "Reprint", "SettingsM"}) {
            EXPECT_EQ(ui_.Find<QAction>(name)->isEnabled(), enabled) << name;
        }
    };
    const auto expectEntryEnabled = [&](bool enabled) {
        expectStartersEnabled(enabled);
        EXPECT_EQ(ui_.Find<QPushButton>("Command1")->isEnabled(), enabled);
        EXPECT_EQ(ui_.Tabs()->isEnabled(), enabled);
        for (const char* name : test::MainWindowDriver::kEntryFields) {
            EXPECT_EQ(ui_.Field(name)->isEnabled(), enabled) << name;
        }
    };
    expectEntryEnabled(true);
    ui_.Type("Text2", u"1.00"_s, 0);
    QTest::keyClick(ui_.Field("Text2"), Qt::Key_Enter, Qt::KeypadModifier);
    ASSERT_TRUE(QTest::qWaitFor([this] { return !connections_.empty(); }));
    expectEntryEnabled(false);
    CtrlTab();
    EXPECT_EQ(ui_.Tabs()->currentIndex(), 0);
    // Loobu, by click or by Esc, asks to abort; the operation goes on.
    QTcpSocket* peer = connections_.front();
    QByteArray received = peer->readAll();
    QObject::connect(peer, &QTcpSocket::readyRead, [&] { received += peer->readAll(); });
    QTest::mouseClick(ui_.Find<QPushButton>("Command2"), Qt::LeftButton);
    EXPECT_TRUE(QTest::qWaitFor([&] { return received.count("0005") == 1; }));
    QTest::keyClick(ui_.KeyTarget(), Qt::Key_Escape);
    EXPECT_TRUE(QTest::qWaitFor([&] { return received.count("0005") == 2; }));
    EXPECT_TRUE(ui_.Running());

    // The payment system hangs up: an error box over the disabled window.
    peer->disconnectFromHost();
    ASSERT_TRUE(QTest::qWaitFor([&] { return form.Boxes().Count() == 1; }));
    EXPECT_FALSE(form.isEnabled());
    ui_.ClickBoxButton(u"OK"_s);
    expectEntryEnabled(true);
    CtrlTab();
    EXPECT_EQ(ui_.Tabs()->currentIndex(), 1);

    // A special command, with the report dialog open meanwhile.
    ui_.Find<QAction>("Report")->trigger();
    auto* reportOk = form.findChild<Form3*>()->findChild<QPushButton*>(u"Command1"_s);
    ui_.Find<QAction>("PosCommand")->trigger();
    QTest::mouseClick(form.findChild<Form4*>()->findChild<QPushButton*>(u"Command1"_s),
                      Qt::LeftButton);
    EXPECT_EQ(Request().GetField(field::Code, {}), session::catalogue::code::PosCommandRequest);
    expectStartersEnabled(false);
    EXPECT_FALSE(reportOk->isEnabledTo(reportOk->window()));
    connections_.back()->disconnectFromHost();
    ASSERT_TRUE(QTest::qWaitFor([&] { return !ui_.Running(); }));
    expectStartersEnabled(true);
    EXPECT_TRUE(reportOk->isEnabledTo(reportOk->window()));
}

}  // namespace
}  // namespace mereval::ui
