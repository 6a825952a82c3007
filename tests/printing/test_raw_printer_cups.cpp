#include "common/code_page.h"
#include "platform/cups_spooler.h"
#include "printing/cups_printing_test.h"
#include "printing/fake_spooler.h"
#include "printing/raw_printer.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <gtest/gtest.h>

namespace mereval::printing {
namespace {

constexpr int kCanceled = 7;
constexpr int kCompleted = 9;

class RAWPrinterOnCups : public test::CupsPrintingTest {
protected:
    platform::CupsSpooler spooler_;
};

TEST_F(RAWPrinterOnCups, TextsOfOneDocumentArriveAsOneRawJob) {
    RAWPrinter printer(spooler_, queue_);
    ASSERT_TRUE(printer.PrintText(QStringLiteral("first\r\n")));
    QByteArray everyByte(256, '\0');
    for (int i = 0; i < 256; ++i) {
        everyByte[i] = static_cast<char>(i);
    }
    ASSERT_TRUE(printer.PrintText(common::FromCodePage(everyByte)));
    EXPECT_TRUE(printer.JobStarted());
    ASSERT_TRUE(printer.EndDoc()) << printer.Error().toStdString();
    EXPECT_EQ(printer.Err(), 0);

    ASSERT_TRUE(WaitJobs(listener_, 1));
    EXPECT_EQ(listener_.Jobs(), QList<QByteArray>{"first\r\n" + everyByte});
    const auto job = test::Cups().Job(printer.hJob());
    ASSERT_TRUE(job);
    EXPECT_EQ(job->printer, queue_);
    EXPECT_EQ(job->name, QStringLiteral("RAWPrinter document"));
    EXPECT_EQ(WaitJobState(printer.hJob(), kCompleted), kCompleted);
}

// Nothing to print is no job on the server, and no error.
TEST_F(RAWPrinterOnCups, EmptyDocumentLeavesNoJob) {
    const qsizetype jobsBefore = test::Cups().Jobs().size();
    RAWPrinter printer(spooler_, queue_);
    ASSERT_TRUE(printer.PrintText(QString()));
    EXPECT_TRUE(printer.EndDoc()) << printer.Error().toStdString();
    EXPECT_EQ(printer.Err(), 0);
    EXPECT_EQ(test::Cups().Jobs().size(), jobsBefore);
    EXPECT_EQ(listener_.Connections(), 0);
}

TEST_F(RAWPrinterOnCups, PrinterThatIsNotInstalledCannotBeOpened) {
    const qsizetype jobsBefore = test::Cups().Jobs().size();
    RAWPrinter printer(spooler_, queue_);
    printer.SetDeviceName(QStringLiteral("NoSuchPrinter"));
    EXPECT_FALSE(printer.PrintText(QStringLiteral("x")));
    EXPECT_EQ(printer.Err(), 2000);
    EXPECT_EQ(printer.Error(), QStringLiteral(" Can't Open the printer device."));
    EXPECT_FALSE(printer.JobStarted());
    EXPECT_EQ(test::Cups().Jobs().size(), jobsBefore);
}

TEST_F(RAWPrinterOnCups, KillDocCancelsTheJob) {
    RAWPrinter printer(spooler_, queue_);
    EXPECT_FALSE(printer.KillDoc());
    EXPECT_EQ(printer.Err(), 2004);

    ASSERT_TRUE(printer.PrintText(QStringLiteral("never printed")));
    EXPECT_TRUE(printer.KillDoc());
    EXPECT_EQ(printer.Err(), 0);
    EXPECT_FALSE(printer.JobStarted());
    EXPECT_EQ(WaitJobState(printer.hJob(), kCanceled), kCanceled);
    EXPECT_EQ(listener_.Connections(), 0);
}

TEST_F(RAWPrinterOnCups, NamePriorityAndDeviceWhilePrinting) {
    RAWPrinter printer(spooler_, queue_);
    ASSERT_TRUE(printer.NewDoc(QStringLiteral("Kviitungid")));
    EXPECT_EQ(test::Cups().Job(printer.hJob())->name, QStringLiteral("Kviitungid"));

    printer.SetDocumentName(QStringLiteral(u"Müük 42"));
    EXPECT_EQ(printer.Err(), 0);
    EXPECT_EQ(test::Cups().Job(printer.hJob())->name, QStringLiteral(u"Müük 42"));

    printer.SetPriority(0);
    EXPECT_EQ(test::Cups().Job(printer.hJob())->priority, 1);
    EXPECT_EQ(printer.Priority(), 1);
    printer.SetPriority(150);
    EXPECT_EQ(test::Cups().Job(printer.hJob())->priority, 100);
    EXPECT_EQ(printer.Priority(), 99);
    printer.SetPriority(50);
    EXPECT_EQ(printer.Priority(), 50);

    printer.SetDeviceName(QStringLiteral("NoSuchPrinter"));
    EXPECT_EQ(printer.Err(), 2010);
    EXPECT_EQ(printer.DeviceName(), queue_);
    ASSERT_TRUE(printer.PrintText(QStringLiteral("still going")));
    ASSERT_TRUE(printer.EndDoc());
    ASSERT_TRUE(WaitJobs(listener_, 1));
    EXPECT_EQ(listener_.Jobs(), QList<QByteArray>{"still going"});
}

TEST_F(RAWPrinterOnCups, FilesInAndOut) {
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
    const qsizetype jobsBefore = test::Cups().Jobs().size();
    {
        RAWPrinter printer(spooler_, queue_);
        ASSERT_TRUE(printer.NewDoc(QString(), output));
        ASSERT_TRUE(printer.PrintFile(input));
        ASSERT_TRUE(printer.EndDoc());
        // Destruction ends a running job rather than cancelling it.
        ASSERT_TRUE(printer.PrintText(QStringLiteral("!")));
    }
    QFile written(output);
    ASSERT_TRUE(written.open(QIODevice::ReadOnly));
    EXPECT_EQ(written.readAll(), bytes);
    ASSERT_TRUE(WaitJobs(listener_, 1));
    EXPECT_EQ(listener_.Jobs(), QList<QByteArray>{"!"});
    EXPECT_EQ(test::Cups().Jobs().size(), jobsBefore + 1);
}

TEST_F(RAWPrinterOnCups, StartsOnTheServersDefaultPrinter) {
    ASSERT_TRUE(test::Cups().SetDefaultQueue(queue_));
    EXPECT_EQ(RAWPrinter(spooler_).DeviceName(), queue_);
    EXPECT_EQ(platform::InstalledPrinterNames(), QStringList{queue_});
}

}  // namespace
}  // namespace mereval::printing
