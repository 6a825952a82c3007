#include "common/code_page.h"
#include "common/program_settings.h"
#include "paysim/paysim_server.h"
#include "platform/cups_spooler.h"
#include "printing/cups_printing_test.h"
#include "printing/fake_spooler.h"
#include "printing/qt_text_print_document.h"
#include "printing/receipt_blocks.h"
#include "printing/receipt_printer.h"
#include "session/conversions.h"
#include "session/message_catalogue.h"
#include "session/message_codec.h"
#include "session/payment_session.h"
#include "session/session_view.h"
#include "support/temp_environment.h"

#include <QFile>
#include <QTest>

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>

namespace mereval::printing {
namespace {

namespace code = session::catalogue::code;
namespace field = session::catalogue::field;
using paysim::Conversation;
using paysim::ReceivedMessage;
using paysim::ScriptResult;
using session::EntryField;

constexpr int kAborted = 8;
constexpr int kCompleted = 9;
constexpr int kProcessing = 5;

// The main window as far as an approval goes: its PrintReceipts is the
// receipt printer's, its boxes are recorded.
class PrintingView final : public session::SessionView {
public:
    ReceiptPrinter* printer = nullptr;
    QMap<EntryField, QString> entries;
    QStringList boxes;
    QStringList statusLines;

    session::OperationTab SelectedTab() const override {
        return session::OperationTab::CardPayment;
    }
    QString EntryText(EntryField entry) const override { return entries.value(entry); }
    QString TakeCardTrack() override {
        return QStringLiteral(";4761739001010010=25121010000012300000?");
    }
    void ShowStatusLine(const QString& text) override { statusLines.append(text); }
    void ShowSessionText(const QString&) override {}
    bool running = false;
    void SetOperationRunning(bool on) override { running = on; }
    void ClearCardNumber() override {}
    void ClearEntryFields() override { entries.clear(); }
    void ShowOperationFrame() override {}
    void OpenBox(quint8, const QString& text, qint32) override { boxes.append(text); }
    void ReleaseBoxes() override {}
    void PrintReceipts(const QByteArray& receipts, qint32 stan,
                       std::function<void()> done) override {
        printer->PrintReceipts(receipts, stan);
        done();
    }
};

class SessionPrinting : public test::CupsPrintingTest {
protected:
    void SetUp() override {
        CupsPrintingTest::SetUp();
        ASSERT_TRUE(server_.Listen());
        QObject::connect(&server_, &paysim::PaySimServer::frameSent,
                         [this](int, const QByteArray& bytes) { sentBytes_ += bytes; });
        settings_.fPOSID = QStringLiteral("12345678");
        settings_.fAddress = QStringLiteral("127.0.0.1");
        settings_.fPort = server_.Port();
        settings_.fDoPrint = true;
        settings_.fRAW = true;
        settings_.fPrinter = queue_;
        receiptPrinter_ = std::make_unique<ReceiptPrinter>(
            settings_, spooler_, std::make_unique<QtTextPrintDocument>(),
            [this](quint8 type, const QString& text, qint32 buttons) {
                view_.OpenBox(type, text, buttons);
            });
        view_.printer = receiptPrinter_.get();
    }

    // The payment system approves every payment with this receipt block.
    void ApproveWith(const QByteArray& receipts, qint32 stan) {
        server_.SetScript([receipts, stan](Conversation& conversation,
                                           const ReceivedMessage& message) {
            if (message.Code() != code::StartTransaction) {
                return ScriptResult::RunScenario;
            }
            conversation.Send(code::ApproveMessage, {{field::Receipts, receipts},
                                                     {field::Stan, session::LongToBytes(stan)}});
            return ScriptResult::Handled;
        });
    }

    // One card payment, which must end approved and answered with "0023"
    // whatever printing made of it.
    void Pay(const QString& amount) {
        session_ =
            std::make_unique<session::PaymentSession>(view_, settings_, session::SessionTimeouts{});
        view_.entries[EntryField::Amount] = amount;
        session_->StartOperation();
        ASSERT_TRUE(QTest::qWaitFor([this] { return !view_.running; }, test::kPrintWaitMs));
        QList<QByteArray> codes;
        for (const ReceivedMessage& message : server_.Received()) {
            codes.append(message.Code());
        }
        EXPECT_EQ(codes, (QList<QByteArray>{code::StartTransaction, code::EndTransaction}));
        ASSERT_FALSE(view_.statusLines.isEmpty());
        EXPECT_TRUE(view_.statusLines.last().startsWith(
            QStringLiteral("Toiming on teostatud. Kviitungi number: ")));
    }

    qint32 LastJob() const { return receiptPrinter_->Printer()->hJob(); }

    test::TempProgramEnvironment env_;
    paysim::PaySimServer server_;
    common::ProgramSettings settings_;
    platform::CupsSpooler spooler_;
    PrintingView view_;
    std::unique_ptr<ReceiptPrinter> receiptPrinter_;
    std::unique_ptr<session::PaymentSession> session_;
    QByteArray sentBytes_;
};

TEST_F(SessionPrinting, SimulatorsApprovalReachesThePrinter) {
    Pay(QStringLiteral("12.00"));

    QByteArray rest = sentBytes_;
    QByteArray receipts;
    for (session::MessageCodec message; message.Parse(rest, rest) == 0;) {
        if (message.GetField(field::Code, {}) == code::ApproveMessage) {
            receipts = message.GetField(field::Receipts, {});
        }
    }
    session::MessageCodec block;
    ASSERT_EQ(block.Parse(receipts, rest), 0);
    ASSERT_EQ(block.FieldCount(), 2);
    const QByteArray expected = test::PrinterBytes(block.GetField(1, {}) + block.GetField(2, {}));
    ASSERT_TRUE(expected.contains('\x84'));  // "ä" of the customer's copy

    ASSERT_TRUE(WaitJobs(listener_, 1));
    EXPECT_EQ(listener_.Jobs(), QList<QByteArray>{expected});
    EXPECT_TRUE(view_.boxes.isEmpty());
}

TEST_F(SessionPrinting, BlockThatDoesNotDecodeShowsTheErrorBox) {
    ApproveWith(QByteArray("\x03\x08\x01x"), 777);
    Pay(QStringLiteral("1.00"));
    EXPECT_EQ(view_.boxes,
              QStringList{QStringLiteral(u"Viga kviitungite trükkimisel. (Kviitungi number=777)")});
    EXPECT_EQ(receiptPrinter_->Printer(), nullptr);
}

TEST_F(SessionPrinting, OneMegabyteReceiptArrivesWhole) {
    QByteArray receipt;
    while (receipt.size() < 1024 * 1024) {
        receipt += common::ToCodePage(
            QStringLiteral(u"Rida %1: Õun, pähkel, Über\r\n").arg(receipt.size()));
    }
    ApproveWith(test::ReceiptBlock({receipt}), 1);
    Pay(QStringLiteral("1.00"));
    ASSERT_TRUE(WaitJobs(listener_, 1));
    EXPECT_TRUE(listener_.Jobs()[0] == test::PrinterBytes(receipt));
    EXPECT_EQ(receiptPrinter_->Printer()->Err(), 0);
}

// The spooler took the job; that the printer does not answer, the program
// cannot know. The job waits in the queue and prints once the printer is
// back (the socket backend retries).
TEST_F(SessionPrinting, PrinterThatRefusesKeepsTheJobQueued) {
    const quint16 port = test::PrinterListener::RefusingPort();
    settings_.fPrinter = AddQueue(port);
    ApproveWith(test::ReceiptBlock({"later"}), 1);
    Pay(QStringLiteral("1.00"));
    EXPECT_EQ(receiptPrinter_->Printer()->Err(), 0);
    EXPECT_TRUE(view_.boxes.isEmpty());
    EXPECT_EQ(WaitJobState(LastJob(), kProcessing), kProcessing);

    test::PrinterListener printerBack;
    ASSERT_TRUE(printerBack.Listen(port));
    ASSERT_TRUE(WaitJobs(printerBack, 1));
    EXPECT_EQ(printerBack.Jobs(), QList<QByteArray>{"later"});
    EXPECT_EQ(WaitJobState(LastJob(), kCompleted), kCompleted);
}

// A printer that drops the job midway fails it in the spooler, after the
// program has handed it over: the queue's error policy decides (here: abort
// the job, keep the queue). The job is larger than the socket buffers can
// hold, because bytes that the backend got rid of count as printed.
TEST_F(SessionPrinting, PrinterThatDropsTheJobLeavesItToTheQueue) {
    QFile sendBuffers(QStringLiteral("/proc/sys/net/ipv4/tcp_wmem"));
    qsizetype largestSendBuffer = 4 * 1024 * 1024;
    if (sendBuffers.open(QIODevice::ReadOnly)) {
        largestSendBuffer = sendBuffers.readAll().simplified().split(' ').value(2).toLongLong();
    }
    const qsizetype size = std::max<qsizetype>(8 * 1024 * 1024, 2 * largestSendBuffer);
    listener_.DropAfter(4096);
    ApproveWith(test::ReceiptBlock({QByteArray(size, 'x')}), 1);
    Pay(QStringLiteral("1.00"));
    EXPECT_EQ(receiptPrinter_->Printer()->Err(), 0);
    EXPECT_TRUE(view_.boxes.isEmpty());
    EXPECT_EQ(WaitJobState(LastJob(), kAborted), kAborted);
    ASSERT_EQ(listener_.Jobs().size(), 1);
    EXPECT_LT(listener_.Jobs()[0].size(), size);
}

}  // namespace
}  // namespace mereval::printing
