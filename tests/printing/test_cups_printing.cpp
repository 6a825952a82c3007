#include "common/code_page.h"
#include "common/program_settings.h"
#include "platform/cups_spooler.h"
#include "platform/spooler_job_state.h"
#include "printing/cups_printing_test.h"
#include "printing/qt_text_print_document.h"
#include "printing/raw_printer.h"
#include "printing/receipt_printer.h"

#include <QCoreApplication>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <memory>

namespace mereval::printing {
namespace {

using namespace Qt::StringLiterals;
using platform::SpoolerJobState;
using test::Cups;

// The spooler's account of the job once it has printed or failed.
SpoolerJobState FinalState(qint32 job) {
    SpoolerJobState state;
    [[maybe_unused]] const bool settled = QTest::qWaitFor(
        [&] {
            state = platform::CupsJobState(job, 1000);
            return state.progress != SpoolerJobState::Progress::Waiting;
        },
        test::kPrintWaitMs);
    return state;
}

class PrintingOnCups : public test::CupsPrintingTest {
protected:
    platform::CupsSpooler spooler_;
};

TEST_F(PrintingOnCups, RawJobsCancelledFiledOrArrivingByteForByte) {
    RAWPrinter printer(spooler_, queue_);
    EXPECT_FALSE(printer.KillDoc());
    EXPECT_EQ(printer.Err(), 2004);
    ASSERT_TRUE(printer.PrintText(QStringLiteral("never printed")));
    EXPECT_TRUE(printer.KillDoc());
    EXPECT_FALSE(printer.JobStarted());
    // Without a message, the spooler's words are its reason keywords.
    SpoolerJobState state = FinalState(printer.hJob());
    EXPECT_EQ(state.progress, SpoolerJobState::Progress::Failed);
    EXPECT_TRUE(state.reason == QStringLiteral("processing-to-stop-point") ||
                state.reason == QStringLiteral("job-canceled-by-user"))
        << state.reason.toStdString();
    qint32 written = 0;
    EXPECT_FALSE(spooler_.WritePrinter(spooler_.OpenPrinter(queue_), "no document", written));

    // Nothing to print is no job on the server, and no error.
    ASSERT_TRUE(printer.PrintText(QString()));
    EXPECT_TRUE(printer.EndDoc()) << printer.Error().toStdString();
    EXPECT_FALSE(Cups().Job(printer.hJob()));

    // A document into a file, not a folder, never reaches the server.
    const QString input = QCoreApplication::applicationFilePath();  // any file of some size
    QTemporaryDir dir;
    EXPECT_FALSE(printer.NewDoc(QString(), dir.path()));
    EXPECT_EQ(printer.Err(), 2001);
    ASSERT_TRUE(printer.NewDoc(QString(), dir.filePath(QStringLiteral("output.prn"))));
    ASSERT_TRUE(printer.PrintFile(input));
    ASSERT_TRUE(printer.EndDoc());
    QFile output(dir.filePath(QStringLiteral("output.prn")));
    QFile read(input);
    ASSERT_TRUE(output.open(QIODevice::ReadOnly) && read.open(QIODevice::ReadOnly));
    EXPECT_TRUE(output.readAll() == read.readAll());

    ASSERT_TRUE(printer.PrintText(QStringLiteral("first\r\n")));
    QByteArray everyByte(256, '\0');
    for (int i = 0; i < 256; ++i) {
        everyByte[i] = static_cast<char>(i);
    }
    ASSERT_TRUE(printer.PrintText(common::FromCodePage(everyByte)));
    ASSERT_TRUE(printer.EndDoc()) << printer.Error().toStdString();
    ASSERT_TRUE(WaitJobs(1));
    EXPECT_EQ(listener_.Jobs(), QList<QByteArray>{"first\r\n" + everyByte});
    EXPECT_EQ(FinalState(printer.hJob()).progress, SpoolerJobState::Progress::Printed);
}

TEST_F(PrintingOnCups, DefaultPrinterJobNameAndPriorityAndDriverThatCannotBegin) {
    ASSERT_TRUE(Cups().Admin(QStringLiteral("lpadmin"), {QStringLiteral("-d"), queue_}));
    EXPECT_EQ(platform::InstalledPrinterNames(), QStringList{queue_});
    RAWPrinter printer(spooler_);
    EXPECT_EQ(printer.DeviceName(), queue_);
    ASSERT_TRUE(printer.NewDoc(QStringLiteral("Kviitungid")));
    printer.SetDocumentName(QStringLiteral(u"Müük 42"));
    EXPECT_EQ(Cups().Job(printer.hJob())->name, QStringLiteral(u"Müük 42"));
    printer.SetPriority(150);
    EXPECT_EQ(Cups().Job(printer.hJob())->priority, 100);
    EXPECT_EQ(printer.Priority(), 99);

    // A driver document that cannot begin prints nothing, not even on the
    // default printer: not on a printer that is not installed, nor without a
    // folder for its temporary file.
    const QByteArray tmp = qgetenv("TMPDIR");
    for (const QString& name : {QStringLiteral("NoSuchPrinter"), queue_}) {
        qputenv("TMPDIR", name == queue_ ? "/nonexistent" : tmp);
        QtTextPrintDocument document;
        document.SelectPrinter(name);
        document.PrintLine(QStringLiteral("x"));
        EXPECT_FALSE(document.EndDocument());
    }
    qputenv("TMPDIR", tmp);
}

TEST_F(PrintingOnCups, ReceiptsInOrderThroughTheDriverOrTheErrorBox) {
    common::ProgramSettings settings;
    QStringList boxes;
    ReceiptPrinter printer(settings, spooler_, std::make_unique<QtTextPrintDocument>(),
                           [&](quint8 type, const QString& text, qint32 buttons) {
                               boxes.append(QStringLiteral("%1 %2 ").arg(type).arg(buttons) + text);
                           });
    // A printer name in another letter case is not found; a block that does
    // not decode is no print either.
    settings.fPrinter = queue_.toLower();
    EXPECT_FALSE(printer.PrintReceipts(test::ReceiptBlock({"a"}), 123456));
    settings.fPrinter = queue_;
    EXPECT_FALSE(printer.PrintReceipts("\x05\x0A\x01x", -7));
    const QString box = QStringLiteral(u"0 16 Viga kviitungite trükkimisel. (Kviitungi number=");
    EXPECT_EQ(boxes, (QStringList{box + QStringLiteral("123456)"), box + QStringLiteral("-7)")}));

    ASSERT_TRUE(printer.PrintReceipts(
        test::ReceiptBlock(
            {common::ToCodePage(u"Õunad 1,00 EUR"_s), {}, common::ToCodePage(u"Täname!"_s)}),
        1, true));
    ASSERT_TRUE(WaitJobs(1));
    ASSERT_TRUE(listener_.Jobs()[0].startsWith("%PDF-"));

    QProcess pdftotext;
    pdftotext.start(QStringLiteral("pdftotext"),
                    {QStringLiteral("-layout"), QStringLiteral("fd://0"), QStringLiteral("-")});
    pdftotext.write(listener_.Jobs()[0]);
    pdftotext.closeWriteChannel();
    ASSERT_TRUE(pdftotext.waitForFinished(30000));
    const QString text = QString::fromUtf8(pdftotext.readAllStandardOutput());
    EXPECT_EQ(text.count(u'\f'), 1);  // one page
    QStringList lines = QString(text).remove(u'\f').split(u'\n');
    lines.removeAll(QString());
    EXPECT_EQ(lines.join(u'|'), u"KOOPIA|Õunad 1,00 EUR|KOOPIA|Täname!"_s);
}

}  // namespace
}  // namespace mereval::printing
