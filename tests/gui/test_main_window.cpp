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
TEST(MainWindow, FieldChecksSwipesAndTheLockOfARunningOperation) {
    QTcpServer server;
    ASSERT_TRUE(server.listen(QHostAddress::LocalHost, 0));
    std::vector<QTcpSocket*> connections;
    QObject::connect(&server, &QTcpServer::newConnection, [&] {
        while (QTcpSocket* socket = server.nextPendingConnection()) {
            connections.push_back(socket);
        }
    });
    // The request that the payment system received on its latest connection.
    const auto request = [&] {
        EXPECT_TRUE(QTest::qWaitFor(
            [&] { return !connections.empty() && connections.back()->bytesAvailable() > 0; }));
        session::MessageCodec codec;
        QByteArray rest;
        EXPECT_EQ(
            codec.Parse(connections.empty() ? QByteArray() : connections.back()->readAll(), rest),
            codec.kDecoded);
        return codec;
    };
    test::TempProgramEnvironment env;
    test::MainWindowDriver ui;
    const struct {
        int tab;
        std::vector<std::pair<const char*, const char*>> fields;
        QString refusal;
    } refused[] = {
        {1, {{"Text2", ""}}, kInvalidAmount},
        {2, {{"Text3", "1234567"}}, kInvalidReceipt},
        {2, {{"Text3", "12a"}}, kInvalidReceipt},
        // The first refusal ends the checks: the amount is not looked at.
        {3, {{"Text8", ""}, {"Text9", ""}}, kInvalidReceipt},
        // Tab 5 reads its receipt number with the amount reader.
        {5, {{"Text4", "1,5"}, {"Text7", "1.00"}}, kInvalidReceipt},
        {5, {{"Text4", "123456"}, {"Text7", "1.234"}}, kInvalidAmount},
    };
    Form1& form = ui.Open(env, "ReportMode=0\nPOS=00000001\nKKPort=" +
                                   QByteArray::number(server.serverPort()) + "\n");
    for (const auto& c : refused) {
        ui.ClickTab(c.tab);
        for (const auto& [name, text] : c.fields) {
            ui.Field(name)->setText(QString::fromUtf8(text));
        }
        ui.Field("Text1")->setText(u"4761"_s);
        ui.PressOk();
        EXPECT_EQ(ui.BoxText(), c.refusal) << c.fields[0].first << "=" << c.fields[0].second;
        // Only the amount check empties the card number field.
        EXPECT_EQ(ui.Field("Text1")->text().isEmpty(), c.refusal == kInvalidAmount);
        ui.ClickBoxButton(u"OK"_s);
    }

    // A swipe is 5 keys or more at 20 ms each at most, counting the pause;
    // on tab 2 it leaves the receipt field and starts nothing.
    ui.ClickTab(2);
    // A coarse timer may end a burst 5 % early, between two keys of it.
    EXPECT_EQ(ui.Find<QTimer>("Timer3")->timerType(), Qt::PreciseTimer);
    const struct {
        QString keys;
        quint64 gapMs;
        QString left;
    } bursts[] = {{u"9876"_s, 0, u"129876"_s},
                  {u"98765"_s, 0, u"12"_s},
                  {u"987654"_s, 13, u"12"_s},
                  {u"987654"_s, 14, u"12987654"_s}};
    for (const auto& c : bursts) {
        ui.Field("Text3")->clear();
        ui.Type("Text3", u"12"_s, 100);
        ui.Type("Text3", c.keys, c.gapMs);
        EXPECT_EQ(ui.Field("Text3")->text(), c.left) << c.keys.size() << " at " << c.gapMs;
    }

    const auto swipe = [&](const char* target) {
        QWidget* widget = ui.Find<QWidget>(target);
        widget->setFocus();
        ui.Keys(widget, kTrack, 2);
        ASSERT_TRUE(ui.WaitBurstEnd());
    };
    ui.ClickTab(1);
    ui.Type("Text2", u"5.00"_s, 0);
    ui.ClickTab(4);  // the amount of another tab is gone
    swipe("Text2");
    EXPECT_EQ(ui.EntryTexts().mid(0, 2), QStringList(2));
    EXPECT_EQ(ui.BoxText(), kInvalidAmount);
    ui.ClickBoxButton(u"OK"_s);
    // A button leaves the keys to its window: each counts once. The card
    // number field shows the swipe masked; the request carries the amount.
    ui.Type("Text2", u"5.00"_s, 0);
    swipe("Command1");
    EXPECT_EQ(ui.EntryTexts().mid(0, 2), (QStringList{u"476173******0010"_s, u"5.00"_s}));
    const session::MessageCodec sent = request();
    EXPECT_EQ(sent.GetField(field::Code, {}), "0001");
    EXPECT_EQ(session::DoubleFromBytes(sent.GetField(field::Amount, {})), 5.0);

    // The running operation locks what starts another until it ends.
    const auto expectStartersEnabled = [&](bool enabled) {
        EXPECT_EQ(ui.Running(), !enabled);
        for (const char* name : {"Report", "PosCommand", "Reprint", "SettingsM"}) {
            EXPECT_EQ(ui.Find<QAction>(name)->isEnabled(), enabled) << name;
        }
    };
    const auto expectEntryEnabled = [&](bool enabled) {
        expectStartersEnabled(enabled);
        EXPECT_EQ(ui.Find<QPushButton>("Command1")->isEnabled(), enabled);
        EXPECT_EQ(ui.Tabs()->isEnabled(), enabled);
        for (const char* name : test::MainWindowDriver::kEntryFields) {
            EXPECT_EQ(ui.Field(name)->isEnabled(), enabled) << name;
        }
    };
    expectEntryEnabled(false);
    QTest::keyClick(ui.KeyTarget(), Qt::Key_Tab, Qt::ControlModifier);
    EXPECT_EQ(ui.Tabs()->currentIndex(), 3);
    // Loobu, by click or by Esc, asks to abort; the operation goes on.
    QTcpSocket* peer = connections.front();
    QByteArray received = peer->readAll();
    QObject::connect(peer, &QTcpSocket::readyRead, [&] { received += peer->readAll(); });
    QTest::mouseClick(ui.Find<QPushButton>("Command2"), Qt::LeftButton);
    EXPECT_TRUE(QTest::qWaitFor([&] { return received.count("0005") == 1; }));
    QTest::keyClick(ui.KeyTarget(), Qt::Key_Escape);
    EXPECT_TRUE(QTest::qWaitFor([&] { return received.count("0005") == 2; }));
    EXPECT_TRUE(ui.Running());

    // The payment system hangs up: an error box, then the window is free again.
    peer->disconnectFromHost();
    ASSERT_TRUE(QTest::qWaitFor([&] { return form.Boxes().Count() == 1; }));
    ui.ClickBoxButton(u"OK"_s);
    expectEntryEnabled(true);

    // A special command, with the report dialog open meanwhile.
    ui.Find<QAction>("Report")->trigger();
    auto* reportOk = form.findChild<Form3*>()->findChild<QPushButton*>(u"Command1"_s);
    ui.Find<QAction>("PosCommand")->trigger();
    QTest::mouseClick(form.findChild<Form4*>()->findChild<QPushButton*>(u"Command1"_s),
                      Qt::LeftButton);
    EXPECT_EQ(request().GetField(field::Code, {}), session::catalogue::code::PosCommandRequest);
    expectStartersEnabled(false);
    EXPECT_FALSE(reportOk->isEnabledTo(reportOk->window()));
    connections.back()->disconnectFromHost();
    ASSERT_TRUE(QTest::qWaitFor([&] { return !ui.Running(); }));
    expectStartersEnabled(true);
    EXPECT_TRUE(reportOk->isEnabledTo(reportOk->window()));
    ui.ClickBoxButton(u"OK"_s);
    // The amount kept, Enter on the keypad starts the payment again.
    QTest::keyClick(ui.Field("Text2"), Qt::Key_Enter, Qt::KeypadModifier);
    EXPECT_TRUE(ui.Running());
}

}  // namespace
}  // namespace mereval::ui
