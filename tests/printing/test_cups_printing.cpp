#include "common/code_page.h"
#include "paysim/paysim_server.h"
#include "platform/cups_spooler.h"
#include "printing/kept_receipts.h"
#include "printing/qt_text_print_document.h"
#include "printing/raw_printer.h"
#include "printing/receipt_print_queue.h"
#include "printing/receipt_printer.h"
#include "session/conversions.h"
#include "session/message_catalogue.h"
#include "session/message_codec.h"
#include "support/main_window_driver.h"
#include "support/printer_listener.h"
#include "support/private_cups.h"
#include "support/temp_environment.h"

#include <QElapsedTimer>
#include <QFileInfo>
#include <QProcess>
#include <QRegularExpression>

#include <gtest/gtest.h>

#include <algorithm>

namespace mereval::printing {
namespace {

using namespace Qt::StringLiterals;
namespace code = session::catalogue::code;
namespace field = session::catalogue::field;

constexpr int kWaitMs = 20000;

test::PrivateCups& Cups() {
    static test::PrivateCups cups;
    return cups;
}

// A receipt block: a frame whose fields 1..n are the texts.
QByteArray ReceiptBlock(const QList<QByteArray>& texts) {
    session::MessageCodec codec;
    for (qsizetype i = 0; i < texts.size(); ++i) {
        codec.SetField(static_cast<qint16>(i + 1), texts[i]);
    }
    return codec.Build();
}

// The process's own spooler, started by its first test, and a raw queue of
// the test's own whose printer is the test's listener.
class CupsPrinting : public ::testing::Test {
protected:
    void SetUp() override {
        static QString error;
        static const bool started = Cups().Start(error);
        ASSERT_TRUE(started) << error.toStdString();
        queue_ = AddQueue(listener_);
    }
    QString AddQueue(test::PrinterListener& listener) {
        static int queues = 0;
        const QString name = u"Kassa%1"_s.arg(++queues);
        EXPECT_TRUE(listener.Listen() && Cups().AddRawQueue(name, listener.Port()));
        return name;
    }
    bool WaitJobs(int count) const {
        return QTest::qWaitFor([&] { return listener_.Jobs().size() >= count; }, kWaitMs);
    }

    test::PrinterListener listener_;
    QString queue_;
    platform::CupsSpooler spooler_;
};

TEST_F(CupsPrinting, RawJobsByteForByteAndReceiptsThroughTheDriverOrTheErrorBox) {
    ASSERT_TRUE(Cups().Admin(u"lpadmin"_s, {u"-d"_s, queue_}));
    EXPECT_EQ(platform::InstalledPrinterNames(), QStringList{queue_});
    RAWPrinter printer(spooler_);
    ASSERT_TRUE(printer.PrintText(u"never printed"_s));
    EXPECT_TRUE(printer.KillDoc());
    qint32 written = 0;
    EXPECT_FALSE(spooler_.WritePrinter(spooler_.OpenPrinter(queue_), "no document", written));
    ASSERT_TRUE(printer.PrintText(QString()));
    EXPECT_TRUE(printer.EndDoc());  // nothing to print is no error

    EXPECT_FALSE(printer.NewDoc(QString(), u"/"_s));  // a file, not a folder
    EXPECT_EQ(printer.Err(), 2001);
    QByteArray everyByte(256, '\0');
    for (int i = 0; i < 256; ++i) {
        everyByte[i] = static_cast<char>(i);
    }
    ASSERT_TRUE(printer.PrintText(common::FromCodePage(everyByte)));
    ASSERT_TRUE(printer.EndDoc());
    ASSERT_TRUE(WaitJobs(1));
    EXPECT_EQ(listener_.Jobs(), QList<QByteArray>{everyByte});

    common::ProgramSettings settings;
    QStringList boxes;
    ReceiptPrinter receipts(settings, spooler_, std::make_unique<QtTextPrintDocument>(),
                            [&](quint8, const QString& text, qint32) { boxes.append(text); });
    // A printer name in another letter case is not found.
    settings.fPrinter = queue_.toLower();
    EXPECT_FALSE(receipts.PrintReceipts(ReceiptBlock({"a"}), 123456));
    settings.fPrinter = queue_;
    EXPECT_FALSE(receipts.PrintReceipts("\x05\x0A\x01x", -7));
    EXPECT_EQ(boxes,
              (QStringList{ReceiptPrinter::ErrorText(123456), ReceiptPrinter::ErrorText(-7)}));
    {
        // Without a folder for its temporary file the driver cannot begin.
        const test::ScopedEnv noTemporaries("TMPDIR", "/nonexistent");
        QtTextPrintDocument document;
        document.SelectPrinter(queue_);
        document.PrintLine(u"x"_s);
        EXPECT_FALSE(document.EndDocument());
    }

    ASSERT_TRUE(receipts.PrintReceipts(
        ReceiptBlock(
            {common::ToCodePage(u"Õunad 1,00 EUR"_s), {}, common::ToCodePage(u"Täname!"_s)}),
        1, true));
    ASSERT_TRUE(WaitJobs(2));
    QProcess pdftotext;
    pdftotext.start(u"pdftotext"_s, {u"-layout"_s, u"fd://0"_s, u"-"_s});
    pdftotext.write(listener_.Jobs()[1]);
    pdftotext.closeWriteChannel();
    ASSERT_TRUE(pdftotext.waitForFinished(30000));
    const QStringList lines = QString::fromUtf8(pdftotext.readAllStandardOutput())
                                  .split(QRegularExpression(u"[\f\n]"_s), Qt::SkipEmptyParts);
    EXPECT_EQ(lines.join(u'|'), u"KOOPIA|Õunad 1,00 EUR|KOOPIA|Täname!"_s);
}

TEST_F(CupsPrinting, ApprovalPrintedKeptAndReprintedAndWhatWentWrongShown) {
    test::TempProgramEnvironment env;
    paysim::PaySimServer server;
    test::MainWindowDriver ui;
    ASSERT_TRUE(server.Listen());
    ui.Open(env,
            "KKPort=" + QByteArray::number(server.Port()) +
                "\nPOS=00000001\nReportMode=0\nRAW=1\nPrinter=" + queue_.toUtf8() + '\n',
            {3000, 5000, 3000})
        .Settings()
        .fDoPrint = true;
    const auto pay = [&](const QString& amount, const QList<QByteArray>& receipts, qint32 stan) {
        server.SetScript([block = ReceiptBlock(receipts), stan](
                             paysim::Conversation& conversation,
                             const paysim::ReceivedMessage& message) {
            if (message.Code() != code::StartTransaction) {
                return paysim::ScriptResult::RunScenario;
            }
            conversation.Send(code::ApproveMessage, {{field::Receipts, block},
                                                     {field::Stan, session::LongToBytes(stan)}});
            return paysim::ScriptResult::Handled;
        });
        server.ClearReceived();
        ui.Type("Text2", amount, 100);
        ui.Type("Text1", u"4761739001010010"_s, 100);
        ui.PressOk();
        ASSERT_TRUE(QTest::qWaitFor([&] { return !ui.Running(); }, kWaitMs));
        ASSERT_EQ(server.Received().size(), 2);
        EXPECT_EQ(server.Received()[1].Code(), QByteArray(code::EndTransaction));
    };
    const auto waitBox = [&](int ms) {
        return QTest::qWaitFor([&] { return ui.TopBox() != nullptr; }, ms);
    };

    // Estonian letters in the printer's own code page.
    const QList<QByteArray> receipts = {"12,00 EUR ************0010\r\n",
                                        common::ToCodePage(u"ÕõÄäÖöÜü\r\n"_s)};
    const QByteArray letters = "\x93\x93\x8E\x84\x99\x94\x9A\x81\r\n";
    pay(u"12.00"_s, receipts, 4711);
    ASSERT_TRUE(WaitJobs(1));
    EXPECT_EQ(listener_.Jobs()[0], receipts[0] + letters);
    EXPECT_EQ(QFileInfo(KeptReceiptsPath()).permissions(),
              QFile::ReadOwner | QFile::WriteOwner | QFile::ReadUser | QFile::WriteUser);
    QTest::keyClick(&ui.Window(), Qt::Key_P, Qt::ControlModifier);
    ASSERT_TRUE(WaitJobs(2));
    EXPECT_EQ(listener_.Jobs()[1], "KOOPIA\r\n" + receipts[0] + "KOOPIA\r\n" + letters);
    EXPECT_TRUE(env.ReadFile(u"journal.txt"_s).contains("\t000001\treprint\n"));

    // A spooler that takes the connection and never answers holds up neither
    // the window nor the answer; the print that ran out of time may still
    // come out, never mixed with the next one.
    QElapsedTimer sinceTick;
    qint64 longestGapMs = 0;
    QTimer ticking;
    QObject::connect(&ticking, &QTimer::timeout,
                     [&] { longestGapMs = std::max(longestGapMs, sinceTick.restart()); });
    Cups().Pause(true);
    sinceTick.start();
    ticking.start(20);
    pay(u"1.00"_s, {"late\r\n"}, 31);
    ticking.stop();
    Cups().Pause(false);
    EXPECT_LT(longestGapMs, 1000);
    ASSERT_TRUE(waitBox(kWaitMs));
    EXPECT_EQ(ui.BoxText(), ReceiptPrinter::ErrorText(31));
    ui.ClickBoxButton(u"OK"_s);
    pay(u"2.00"_s, {"next\r\n"}, 2);
    ASSERT_TRUE(QTest::qWaitFor([&] { return listener_.Jobs().contains("next\r\n"); }, kWaitMs));
    for (const QByteArray& job : listener_.Jobs().mid(2)) {
        EXPECT_TRUE(job == "late\r\n" || job == "next\r\n") << job.toStdString();
    }

    // A job that the spooler took but its printer stopped or failed: the
    // cashier is told once to reprint.
    ASSERT_TRUE(Cups().Admin(u"cupsdisable"_s, {queue_}));
    pay(u"1.00"_s, {"paused"}, 3);
    ASSERT_TRUE(waitBox(kWaitMs));
    EXPECT_EQ(ui.BoxText(), ReceiptPrintQueue::NotPrintedText(u"Paused"_s));
    EXPECT_EQ(ui.Window().Boxes().Count(), 1);
    ui.ClickBoxButton(u"OK"_s);
    // 14 MiB is more than the socket buffers hold, and still a frame the
    // program takes: the printer drops the job after the spooler took it.
    test::PrinterListener dropping(4096);
    ui.Window().Settings().fPrinter = AddQueue(dropping);
    pay(u"2.00"_s, {QByteArray(14 << 20, 'x')}, 4);
    ASSERT_TRUE(waitBox(ReceiptPrintQueue::kJobWatchMs));
    EXPECT_TRUE(ui.BoxText().startsWith(u"Kviitung jäi trükkimata (Unable to write print data"_s))
        << ui.BoxText().toStdString();
}

}  // namespace
}  // namespace mereval::printing
