#include "paysim/paysim_server.h"
#include "printing/cups_printing_test.h"
#include "printing/kept_receipts.h"
#include "printing/receipt_print_queue.h"
#include "printing/receipt_printer.h"
#include "session/conversions.h"
#include "session/message_catalogue.h"
#include "support/main_window_driver.h"
#include "support/temp_environment.h"

#include <QElapsedTimer>
#include <QFileInfo>

#include <gtest/gtest.h>

#include <algorithm>

namespace mereval::printing {
namespace {

using namespace Qt::StringLiterals;
namespace code = session::catalogue::code;
namespace field = session::catalogue::field;

constexpr int kWaitMs = 15000;

// The real main window against the simulator, printing on a raw queue of the
// private spooler whose printer is the test's listener.
class WindowPrinting : public test::CupsPrintingTest {
protected:
    void SetUp() override {
        CupsPrintingTest::SetUp();
        ASSERT_TRUE(server_.Listen());
        ui::Form1& window = ui_.Open(
            env_, "KKPort=" + QByteArray::number(server_.Port()) + "\nPOS=00000001\nReportMode=0\n",
            {3000, 5000, 3000});
        window.Settings().fDoPrint = true;
        window.Settings().fRAW = true;
        window.Settings().fPrinter = queue_;
    }

    void TearDown() override {
        ui_.Close();
        CupsPrintingTest::TearDown();
    }

    // One card payment with a typed card number, approved with the receipts
    // given (in the program's code page) and ended with "0023".
    void Pay(const QString& amount, const QList<QByteArray>& receipts, qint32 stan = 7) {
        server_.SetScript([block = test::ReceiptBlock(receipts), stan](
                              paysim::Conversation& conversation,
                              const paysim::ReceivedMessage& message) {
            if (message.Code() != code::StartTransaction) {
                return paysim::ScriptResult::RunScenario;
            }
            conversation.Send(code::ApproveMessage, {{field::Receipts, block},
                                                     {field::Stan, session::LongToBytes(stan)}});
            return paysim::ScriptResult::Handled;
        });
        server_.ClearReceived();
        ui_.Type("Text2", amount, 100);
        ui_.Type("Text1", QStringLiteral("4761739001010010"), 100);
        ui_.PressOk();
        ASSERT_TRUE(QTest::qWaitFor([this] { return !ui_.Running(); }, kWaitMs));
        ASSERT_EQ(server_.Received().size(), 2);
        EXPECT_EQ(server_.Received()[1].Code(), QByteArray(code::EndTransaction));
    }

    bool WaitBox(int ms = kWaitMs) const {
        return QTest::qWaitFor([this] { return ui_.TopBox() != nullptr; }, ms);
    }

    test::TempProgramEnvironment env_;
    paysim::PaySimServer server_;
    test::MainWindowDriver ui_;
};

TEST_F(WindowPrinting, ApprovalPrintedKeptAndReprintedOrAReprintAskedFor) {
    // The customer's "ä" in the printer's own code page.
    const QList<QByteArray> receipts = {"12,00 EUR ************0010\r\n", "T\xE4name!\r\n"};
    Pay(QStringLiteral("12.00"), receipts, 4711);
    ASSERT_TRUE(WaitJobs(1));
    EXPECT_EQ(listener_.Jobs()[0], receipts[0] + "T\x84name!\r\n");
    const auto kept = LoadKeptReceipts();
    ASSERT_TRUE(kept);
    EXPECT_EQ(kept->stan, 4711);
    EXPECT_EQ(QFileInfo(KeptReceiptsPath()).permissions(),
              QFile::ReadOwner | QFile::WriteOwner | QFile::ReadUser | QFile::WriteUser);

    QTest::keyClick(&ui_.Window(), Qt::Key_P, Qt::ControlModifier);
    ASSERT_TRUE(WaitJobs(2));
    EXPECT_EQ(listener_.Jobs()[1], "KOOPIA\r\n" + receipts[0] + "KOOPIA\r\nT\x84name!\r\n");
    EXPECT_EQ(ui_.TopBox(), nullptr);
    EXPECT_TRUE(env_.ReadFile(QStringLiteral("journal.txt")).contains("\t000001\treprint\n"));

    // A job that the spooler took but its printer stopped or failed: the
    // cashier is told once to reprint.
    ASSERT_TRUE(test::Cups().Admin(QStringLiteral("cupsdisable"), {queue_}));
    Pay(QStringLiteral("1.00"), {"paused"});
    ASSERT_TRUE(WaitBox());
    EXPECT_EQ(ui_.BoxText(), ReceiptPrintQueue::NotPrintedText(QStringLiteral("Paused")));
    EXPECT_EQ(ui_.Window().Boxes().Count(), 1);
    ui_.ClickBoxButton(QStringLiteral("OK"));

    // A printer that drops the job midway fails it after the program handed
    // it over; 14 MiB is more than the socket buffers hold, and still a frame
    // the program takes.
    test::PrinterListener dropping;
    ASSERT_TRUE(dropping.Listen());
    dropping.DropAfter(4096);
    ui_.Window().Settings().fPrinter = AddQueue(dropping.Port());
    Pay(QStringLiteral("2.00"), {QByteArray(14 << 20, 'x')});
    ASSERT_TRUE(WaitBox(ReceiptPrintQueue::kJobWatchMs));
    EXPECT_TRUE(ui_.BoxText().startsWith(
        QStringLiteral(u"Kviitung jäi trükkimata (Unable to write print data")))
        << ui_.BoxText().toStdString();
}

// A spooler that takes the connection and never answers holds up neither the
// window nor the answer "0023"; the next print after it is back arrives whole.
// Raw and driver printing ask the spooler for its printers first, so one hang
// stands for both.
TEST_F(WindowPrinting, HungSpoolerNeitherFreezesTheWindowNorHoldsTheAnswer) {
    QElapsedTimer sinceTick;
    qint64 longestGapMs = 0;
    QTimer ticking;
    QObject::connect(&ticking, &QTimer::timeout,
                     [&] { longestGapMs = std::max(longestGapMs, sinceTick.restart()); });
    test::Cups().Pause(true);
    sinceTick.start();
    ticking.start(20);
    Pay(QStringLiteral("1.00"), {"first\r\n"}, 31);
    ticking.stop();
    test::Cups().Pause(false);
    EXPECT_LT(longestGapMs, 1000);
    ASSERT_TRUE(WaitBox());
    EXPECT_EQ(ui_.BoxText(), ReceiptPrinter::ErrorText(31));
    ui_.ClickBoxButton(QStringLiteral("OK"));

    Pay(QStringLiteral("2.00"), {"second\r\n"});
    EXPECT_EQ(ui_.TopBox(), nullptr);
    // The print that ran out of time may still come out; never mixed with
    // the next one.
    ASSERT_TRUE(QTest::qWaitFor([&] { return listener_.Jobs().contains("second\r\n"); }, kWaitMs));
    for (const QByteArray& job : listener_.Jobs()) {
        EXPECT_TRUE(job == "first\r\n" || job == "second\r\n") << job.toStdString();
    }
}

}  // namespace
}  // namespace mereval::printing
