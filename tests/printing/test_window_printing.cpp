#include "common/value_helpers.h"
#include "paysim/paysim_server.h"
#include "printing/cups_printing_test.h"
#include "printing/kept_receipts.h"
#include "printing/receipt_blocks.h"
#include "printing/receipt_print_queue.h"
#include "printing/receipt_printer.h"
#include "session/conversions.h"
#include "session/message_catalogue.h"
#include "session/message_codec.h"
#include "support/main_window_driver.h"
#include "support/temp_environment.h"

#include <QAction>
#include <QElapsedTimer>
#include <QFileInfo>

#include <gtest/gtest.h>

#include <algorithm>

namespace mereval::printing {
namespace {

using namespace Qt::StringLiterals;
namespace code = session::catalogue::code;
namespace field = session::catalogue::field;

const QString kCardNumber = QStringLiteral("4761739001010010");
constexpr int kWaitMs = 15000;

// What the printer must receive for Windows-1257 receipt bytes: the eight
// letters ÄäÖöÜüÕõ as its own codes, every other byte as it is.
QByteArray PrinterBytes(QByteArray receipt) {
    static const QByteArray from("\xC4\xE4\xD6\xF6\xDC\xFC\xD5\xF5");
    static const QByteArray to("\x8E\x84\x99\x94\x9A\x81\x93\x93");
    for (char& byte : receipt) {
        if (const qsizetype at = from.indexOf(byte); at >= 0) {
            byte = to[at];
        }
    }
    return receipt;
}

// The real main window against the simulator, printing on a raw queue of the
// private spooler whose printer is the test's listener.
class WindowPrinting : public test::CupsPrintingTest {
protected:
    void SetUp() override {
        CupsPrintingTest::SetUp();
        ASSERT_TRUE(server_.Listen());
        QObject::connect(&server_, &paysim::PaySimServer::frameSent,
                         [this](int, const QByteArray& bytes) { sentBytes_ += bytes; });
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

    // One card payment with a typed card number, ended approved with "0023".
    void Pay(const QString& amount) {
        server_.ClearReceived();
        ui_.Type("Text2", amount, 100);
        ui_.Type("Text1", kCardNumber, 100);
        ui_.PressOk();
        ASSERT_TRUE(QTest::qWaitFor([this] { return !ui_.Running(); }, kWaitMs));
        ASSERT_EQ(server_.Received().size(), 2);
        EXPECT_EQ(server_.Received()[1].Code(), QByteArray(code::EndTransaction));
    }

    // The receipt texts and STAN of the simulator's last approval.
    QList<QByteArray> LastReceipts(qint32* stan = nullptr) const {
        QByteArray rest = sentBytes_;
        QByteArray block;
        for (session::MessageCodec message; message.Parse(rest, rest) == 0;) {
            if (message.GetField(field::Code, {}) == code::ApproveMessage) {
                block = message.GetField(field::Receipts, {});
                if (stan) {
                    *stan = common::LongFromBytes(message.GetField(field::Stan, {}));
                }
            }
        }
        session::MessageCodec receipts;
        EXPECT_EQ(receipts.Parse(block, rest), 0);
        QList<QByteArray> texts;
        for (qint16 i = 1; i <= receipts.FieldCount(); ++i) {
            texts.append(receipts.GetField(i, {}));
        }
        return texts;
    }

    bool WaitBox(int ms = kWaitMs) const {
        return QTest::qWaitFor([this] { return ui_.TopBox() != nullptr; }, ms);
    }

    test::TempProgramEnvironment env_;
    paysim::PaySimServer server_;
    QByteArray sentBytes_;
    test::MainWindowDriver ui_;
};

TEST_F(WindowPrinting, ApprovalIsPrintedKeptAndReprintedWithCopyLines) {
    ui_.Find<QAction>("Reprint")->trigger();
    ASSERT_TRUE(WaitBox());
    EXPECT_EQ(ui_.BoxText(), QStringLiteral(u"Kordustrükiks pole kviitungeid."));
    EXPECT_TRUE(ui_.TopBox()->findChild<QLabel*>(u"Image3"_s)->isVisible());
    ui_.ClickBoxButton(QStringLiteral("OK"));

    Pay(QStringLiteral("12.00"));
    qint32 stan = 0;
    const QList<QByteArray> texts = LastReceipts(&stan);
    ASSERT_EQ(texts.size(), 2);
    ASSERT_TRUE(WaitJobs(1));
    EXPECT_EQ(listener_.Jobs()[0], PrinterBytes(texts[0] + texts[1]));
    EXPECT_TRUE(listener_.Jobs()[0].contains('\x84'));  // "ä" of the customer's copy

    const auto kept = LoadKeptReceipts();
    ASSERT_TRUE(kept);
    EXPECT_EQ(kept->block, test::ReceiptBlock(texts));
    EXPECT_EQ(kept->stan, stan);
    EXPECT_EQ(QFileInfo(KeptReceiptsPath()).permissions(),
              QFile::ReadOwner | QFile::WriteOwner | QFile::ReadUser | QFile::WriteUser);

    QTest::keyClick(&ui_.Window(), Qt::Key_P, Qt::ControlModifier);
    ASSERT_TRUE(WaitJobs(2));
    EXPECT_EQ(listener_.Jobs()[1], PrinterBytes("KOOPIA\r\n" + texts[0] + "KOOPIA\r\n" + texts[1]));
    EXPECT_EQ(ui_.TopBox(), nullptr);
    EXPECT_TRUE(env_.ReadFile(QStringLiteral("journal.txt")).contains("\t000001\treprint\n"));
}

// A job that the spooler took but its printer stopped or failed: the cashier
// is told once to reprint.
TEST_F(WindowPrinting, JobThatThePrinterDoesNotPrintAsksForAReprint) {
    ASSERT_TRUE(test::Cups().Admin(QStringLiteral("cupsdisable"), {queue_}));
    Pay(QStringLiteral("1.00"));
    ASSERT_TRUE(WaitBox());
    EXPECT_EQ(ui_.BoxText(), ReceiptPrintQueue::NotPrintedText(QStringLiteral("Paused")));
    EXPECT_TRUE(ui_.TopBox()->findChild<QLabel*>(u"Image2"_s)->isVisible());
    EXPECT_EQ(ui_.Window().Boxes().Count(), 1);
    ui_.ClickBoxButton(QStringLiteral("OK"));

    // A printer that drops the job midway fails it after the program handed
    // it over; 14 MiB is more than the socket buffers hold, and still a frame
    // the program takes.
    const QByteArray block = test::ReceiptBlock({QByteArray(14 << 20, 'x')});
    test::PrinterListener dropping;
    ASSERT_TRUE(dropping.Listen());
    dropping.DropAfter(4096);
    ui_.Window().Settings().fPrinter = AddQueue(dropping.Port());
    server_.SetScript(
        [block](paysim::Conversation& conversation, const paysim::ReceivedMessage& message) {
            if (message.Code() != code::StartTransaction) {
                return paysim::ScriptResult::RunScenario;
            }
            conversation.Send(code::ApproveMessage,
                              {{field::Receipts, block}, {field::Stan, session::LongToBytes(7)}});
            return paysim::ScriptResult::Handled;
        });
    Pay(QStringLiteral("2.00"));
    ASSERT_TRUE(WaitBox(ReceiptPrintQueue::kJobWatchMs));
    EXPECT_TRUE(ui_.BoxText().startsWith(
        QStringLiteral(u"Kviitung jäi trükkimata (Unable to write print data")))
        << ui_.BoxText().toStdString();
}

// A spooler that takes the connection and never answers holds up neither the
// window nor the answer "0023"; the next print after it is back arrives whole.
class HungSpooler : public WindowPrinting, public ::testing::WithParamInterface<bool> {};

TEST_P(HungSpooler, NeitherFreezesTheWindowNorHoldsTheAnswer) {
    ui_.Window().Settings().fRAW = GetParam();
    QElapsedTimer sinceTick;
    qint64 longestGapMs = 0;
    QTimer ticking;
    QObject::connect(&ticking, &QTimer::timeout,
                     [&] { longestGapMs = std::max(longestGapMs, sinceTick.restart()); });
    test::Cups().Pause(true);
    sinceTick.start();
    ticking.start(20);
    Pay(QStringLiteral("1.00"));
    ticking.stop();
    test::Cups().Pause(false);
    EXPECT_LT(longestGapMs, 1000);
    qint32 stan = 0;
    const QList<QByteArray> first = LastReceipts(&stan);
    ASSERT_TRUE(WaitBox());
    EXPECT_EQ(ui_.BoxText(), ReceiptPrinter::ErrorText(stan));
    ui_.ClickBoxButton(QStringLiteral("OK"));

    Pay(QStringLiteral("2.00"));
    const QList<QByteArray> second = LastReceipts();
    EXPECT_EQ(ui_.TopBox(), nullptr);
    // The print that ran out of time may still come out; never mixed with
    // the next one.
    ASSERT_TRUE(WaitJobs(1));
    if (GetParam()) {
        const QByteArray firstJob = PrinterBytes(first.join());
        const QByteArray secondJob = PrinterBytes(second.join());
        ASSERT_TRUE(QTest::qWaitFor([&] { return listener_.Jobs().contains(secondJob); }, kWaitMs));
        for (const QByteArray& job : listener_.Jobs()) {
            EXPECT_TRUE(job == firstJob || job == secondJob);
        }
    }
}

INSTANTIATE_TEST_SUITE_P(RawAndDriver, HungSpooler, ::testing::Bool(),
                         [](const ::testing::TestParamInfo<bool>& info) {
                             return info.param ? "Raw" : "Driver";
                         });

}  // namespace
}  // namespace mereval::printing
