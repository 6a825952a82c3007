#include "common/code_page.h"
#include "common/program_settings.h"
#include "platform/cups_spooler.h"
#include "platform/spooler_job_state.h"
#include "printing/cups_printing_test.h"
#include "printing/qt_text_print_document.h"
#include "printing/raw_printer.h"
#include "printing/receipt_blocks.h"
#include "printing/receipt_printer.h"

#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <memory>

namespace mereval::printing {
namespace {

using platform::SpoolerJobState;
using test::Cups;

constexpr int kCanceled = 7;
constexpr int kCompleted = 9;

class PrintingOnCups : public test::CupsPrintingTest {
protected:
    platform::CupsSpooler spooler_;
};

TEST_F(PrintingOnCups, TextsOfOneDocumentArriveAsOneRawJob) {
    RAWPrinter printer(spooler_, queue_);
    // Nothing to print is no job on the server, and no error.
    const qsizetype jobsBefore = Cups().Jobs().size();
    ASSERT_TRUE(printer.PrintText(QString()));
    EXPECT_TRUE(printer.EndDoc()) << printer.Error().toStdString();
    EXPECT_EQ(Cups().Jobs().size(), jobsBefore);

    ASSERT_TRUE(printer.PrintText(QStringLiteral("first\r\n")));
    QByteArray everyByte(256, '\0');
    for (int i = 0; i < 256; ++i) {
        everyByte[i] = static_cast<char>(i);
    }
    ASSERT_TRUE(printer.PrintText(common::FromCodePage(everyByte)));
    ASSERT_TRUE(printer.EndDoc()) << printer.Error().toStdString();
    EXPECT_EQ(printer.Err(), 0);

    ASSERT_TRUE(WaitJobs(1));
    EXPECT_EQ(listener_.Jobs(), QList<QByteArray>{"first\r\n" + everyByte});
    EXPECT_EQ(WaitJobState(printer.hJob(), kCompleted), kCompleted);
    EXPECT_EQ(platform::CupsJobState(printer.hJob(), test::kPrintWaitMs).progress,
              SpoolerJobState::Progress::Printed);
}

TEST_F(PrintingOnCups, KillDocCancelsTheJob) {
    RAWPrinter printer(spooler_, queue_);
    EXPECT_FALSE(printer.KillDoc());
    EXPECT_EQ(printer.Err(), 2004);

    ASSERT_TRUE(printer.PrintText(QStringLiteral("never printed")));
    EXPECT_TRUE(printer.KillDoc());
    EXPECT_EQ(printer.Err(), 0);
    EXPECT_FALSE(printer.JobStarted());
    EXPECT_EQ(WaitJobState(printer.hJob(), kCanceled), kCanceled);
    // Without a message, the spooler's words are its reason keywords.
    const SpoolerJobState state = platform::CupsJobState(printer.hJob(), test::kPrintWaitMs);
    EXPECT_TRUE(state.reason == QStringLiteral("processing-to-stop-point") ||
                state.reason == QStringLiteral("job-canceled-by-user"))
        << state.reason.toStdString();
    EXPECT_EQ(state.progress, SpoolerJobState::Progress::Failed);

    EXPECT_EQ(listener_.Connections(), 0);

    qint32 written = 0;
    EXPECT_FALSE(spooler_.WritePrinter(spooler_.OpenPrinter(queue_), "no document", written));
}

TEST_F(PrintingOnCups, DefaultPrinterNamePriorityAndDevice) {
    ASSERT_TRUE(Cups().Admin(QStringLiteral("lpadmin"), {QStringLiteral("-d"), queue_}));
    EXPECT_EQ(platform::InstalledPrinterNames(), QStringList{queue_});
    RAWPrinter printer(spooler_);
    EXPECT_EQ(printer.DeviceName(), queue_);
    ASSERT_TRUE(printer.NewDoc(QStringLiteral("Kviitungid")));
    EXPECT_EQ(Cups().Job(printer.hJob())->name, QStringLiteral("Kviitungid"));
    printer.SetDocumentName(QStringLiteral(u"Müük 42"));
    EXPECT_EQ(printer.Err(), 0);
    EXPECT_EQ(Cups().Job(printer.hJob())->name, QStringLiteral(u"Müük 42"));

    printer.SetPriority(0);
    EXPECT_EQ(Cups().Job(printer.hJob())->priority, 1);
    EXPECT_EQ(printer.Priority(), 1);
    printer.SetPriority(150);
    EXPECT_EQ(Cups().Job(printer.hJob())->priority, 100);
    EXPECT_EQ(printer.Priority(), 99);

    printer.SetDeviceName(QStringLiteral("NoSuchPrinter"));
    EXPECT_EQ(printer.Err(), 2010);
    EXPECT_EQ(printer.DeviceName(), queue_);
    ASSERT_TRUE(printer.PrintText(QStringLiteral("still going")));
    ASSERT_TRUE(printer.EndDoc());
    ASSERT_TRUE(WaitJobs(1));
    EXPECT_EQ(listener_.Jobs(), QList<QByteArray>{"still going"});

    const qsizetype jobsBefore = Cups().Jobs().size();
    printer.SetDeviceName(QStringLiteral("NoSuchPrinter"));
    EXPECT_FALSE(printer.PrintText(QStringLiteral("x")));
    EXPECT_EQ(printer.Err(), 2000);
    EXPECT_EQ(printer.Error(), QStringLiteral(" Can't Open the printer device."));
    EXPECT_FALSE(printer.JobStarted());
    EXPECT_EQ(Cups().Jobs().size(), jobsBefore);
}

TEST_F(PrintingOnCups, FilesInAndOut) {
    QTemporaryDir dir;
    QByteArray bytes(20000, '\0');
    for (int i = 0; i < bytes.size(); ++i) {
        bytes[i] = static_cast<char>(i % 251);
    }
    const QString input = dir.filePath(QStringLiteral("input.prn"));
    QFile file(input);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(bytes);
    file.close();

    // A document with an output file never reaches the server.
    const QString output = dir.filePath(QStringLiteral("output.prn"));
    const qsizetype jobsBefore = Cups().Jobs().size();
    {
        RAWPrinter printer(spooler_, queue_);
        EXPECT_FALSE(printer.NewDoc(QString(), dir.path()));
        EXPECT_EQ(printer.Err(), 2001);
        ASSERT_TRUE(printer.NewDoc(QString(), output));
        ASSERT_TRUE(printer.PrintFile(input));
        ASSERT_TRUE(printer.EndDoc());
        // Destruction ends a running job rather than cancelling it.
        ASSERT_TRUE(printer.PrintText(QStringLiteral("!")));
    }
    QFile written(output);
    ASSERT_TRUE(written.open(QIODevice::ReadOnly));
    EXPECT_EQ(written.readAll(), bytes);
    ASSERT_TRUE(WaitJobs(1));
    EXPECT_EQ(listener_.Jobs(), QList<QByteArray>{"!"});
    EXPECT_EQ(Cups().Jobs().size(), jobsBefore + 1);
}

// What a poppler tool makes of the PDF document on its standard input.
QString PopplerOutput(const QString& program, const QStringList& arguments, const QByteArray& pdf) {
    QProcess process;
    process.start(program, arguments);
    process.write(pdf);
    process.closeWriteChannel();
    process.waitForFinished(30000);
    return QString::fromUtf8(process.readAllStandardOutput());
}

// A driver document that cannot begin prints nothing, not even on the
// default printer: not on a printer that is not installed, nor without a
// folder for its temporary file.
TEST_F(PrintingOnCups, DriverDocumentThatCannotBeginPrintsNothing) {
    const qsizetype jobsBefore = Cups().Jobs().size();
    ASSERT_TRUE(Cups().Admin(QStringLiteral("lpadmin"), {QStringLiteral("-d"), queue_}));
    const QByteArray tmp = qgetenv("TMPDIR");
    for (const QString& name : {QStringLiteral("NoSuchPrinter"), queue_}) {
        qputenv("TMPDIR", name == queue_ ? "/nonexistent" : tmp);
        QtTextPrintDocument document;
        document.SelectPrinter(name);
        document.PrintLine(QStringLiteral("x"));
        EXPECT_FALSE(document.EndDocument());
    }
    qputenv("TMPDIR", tmp);
    EXPECT_EQ(Cups().Jobs().size(), jobsBefore);
}

TEST_F(PrintingOnCups, ReceiptsInOrderInCourierNewThroughTheDriverOrTheErrorBox) {
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

    const QString merchant =
        QStringLiteral(u"MEREVAL TESTKAUPLUS\r\nÕunad     1,00 EUR\r\nKAUPMEHE KOOPIA\r\n");
    const QString customer = QStringLiteral(u"Täname ostu eest!\r\nKLIENDI KOOPIA");
    ASSERT_TRUE(printer.PrintReceipts(
        test::ReceiptBlock({common::ToCodePage(merchant), {}, common::ToCodePage(customer)}), 1,
        true));
    ASSERT_TRUE(WaitJobs(1));
    ASSERT_TRUE(listener_.Jobs()[0].startsWith("%PDF-"));

    const QString text =
        PopplerOutput(QStringLiteral("pdftotext"),
                      {QStringLiteral("-layout"), QStringLiteral("fd://0"), QStringLiteral("-")},
                      listener_.Jobs()[0]);
    EXPECT_EQ(text.count(u'\f'), 1);  // one page
    QStringList lines = QString(text).remove(u'\f').split(u'\n');
    lines.removeAll(QString());
    EXPECT_EQ(lines.join(u'|'), QStringLiteral(u"KOOPIA|MEREVAL TESTKAUPLUS|Õunad     1,00 EUR|"
                                               u"KAUPMEHE KOOPIA|KOOPIA|Täname ostu eest!|"
                                               u"KLIENDI KOOPIA"));

    // Liberation Mono is what fontconfig gives for "Courier New".
    QStringList fonts =
        PopplerOutput(QStringLiteral("pdffonts"), {QStringLiteral("fd://0")}, listener_.Jobs()[0])
            .split(u'\n')
            .mid(2);
    fonts.removeAll(QString());
    ASSERT_EQ(fonts.size(), 1);
    EXPECT_TRUE(fonts[0].startsWith(QStringLiteral("LiberationMono "))) << fonts[0].toStdString();
}

}  // namespace
}  // namespace mereval::printing
