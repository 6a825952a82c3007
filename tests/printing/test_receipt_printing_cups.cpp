#include "common/code_page.h"
#include "common/program_settings.h"
#include "platform/cups_spooler.h"
#include "printing/cups_printing_test.h"
#include "printing/qt_text_print_document.h"
#include "printing/receipt_blocks.h"
#include "printing/receipt_printer.h"

#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <memory>

namespace mereval::printing {
namespace {

QString OutputOf(const QString& program, const QStringList& arguments) {
    QProcess process;
    process.start(program, arguments);
    process.waitForFinished(30000);
    return QString::fromUtf8(process.readAllStandardOutput());
}

// The installed printers, but the queue is deleted right after the look-up.
class VanishingSpooler final : public platform::CupsSpooler {
public:
    QString queue;
    QStringList PrinterNames() override {
        const QStringList names = CupsSpooler::PrinterNames();
        test::Cups().DeleteQueue(queue);
        return names;
    }
};

class ReceiptPrintingOnCups : public test::CupsPrintingTest {
protected:
    void SetUp() override {
        CupsPrintingTest::SetUp();
        settings_.fPrinter = queue_;
        settings_.fRAW = true;
    }

    std::unique_ptr<ReceiptPrinter> MakePrinter(platform::Spooler& spooler) {
        return std::make_unique<ReceiptPrinter>(
            settings_, spooler, std::make_unique<QtTextPrintDocument>(),
            [this](quint8, const QString& text, qint32) { boxes_.append(text); });
    }

    common::ProgramSettings settings_;
    platform::CupsSpooler spooler_;
    QStringList boxes_;
};

TEST_F(ReceiptPrintingOnCups, PrinterThatVanishesAfterTheLookUpPrintsNothingAnywhere) {
    // A second printer that the driver could fall back to.
    test::PrinterListener other;
    ASSERT_TRUE(other.Listen());
    ASSERT_FALSE(AddQueue(other.Port()).isEmpty());
    VanishingSpooler spooler;
    spooler.queue = queue_;
    const auto printer = MakePrinter(spooler);
    const qsizetype jobs = test::Cups().Jobs().size();

    EXPECT_TRUE(printer->PrintReceipts(test::ReceiptBlock({"raw"}), 1));
    EXPECT_EQ(printer->Printer()->Err(), 2000);

    ASSERT_TRUE(test::Cups().AddRawQueue(queue_, listener_.Port()));
    settings_.fRAW = false;
    EXPECT_TRUE(printer->PrintReceipts(test::ReceiptBlock({"driver"}), 2));
    EXPECT_TRUE(boxes_.isEmpty());
    EXPECT_EQ(test::Cups().Jobs().size(), jobs);
}

TEST_F(ReceiptPrintingOnCups, DriverPrintsTheTextsInOrderInCourierNew) {
    settings_.fRAW = false;
    const auto printer = MakePrinter(spooler_);
    const QString merchant =
        QStringLiteral(u"MEREVAL TESTKAUPLUS\r\nÕunad     1,00 EUR\r\nKAUPMEHE KOOPIA\r\n");
    const QString customer = QStringLiteral(u"Täname ostu eest!\r\nKLIENDI KOOPIA");
    ASSERT_TRUE(printer->PrintReceipts(
        test::ReceiptBlock({common::ToCodePage(merchant), {}, common::ToCodePage(customer)}), 1));
    ASSERT_TRUE(WaitJobs(listener_, 1));
    ASSERT_TRUE(listener_.Jobs()[0].startsWith("%PDF-"));

    QTemporaryDir dir;
    const QString pdf = dir.filePath(QStringLiteral("receipts.pdf"));
    QFile file(pdf);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(listener_.Jobs()[0]);
    file.close();

    const QString text = OutputOf(QStringLiteral("pdftotext"),
                                  {QStringLiteral("-layout"), pdf, QStringLiteral("-")});
    EXPECT_EQ(text.count(u'\f'), 1);  // one page
    QStringList lines = QString(text).remove(u'\f').split(u'\n');
    lines.removeAll(QString());
    EXPECT_EQ(lines, (QStringList{
                         QStringLiteral("MEREVAL TESTKAUPLUS"),
                         QStringLiteral(u"Õunad     1,00 EUR"), QStringLiteral("KAUPMEHE KOOPIA"),
                         QStringLiteral(u"Täname ostu eest!"), QStringLiteral("KLIENDI KOOPIA")}));

    // Liberation Mono is what fontconfig gives for "Courier New".
    QStringList fonts = OutputOf(QStringLiteral("pdffonts"), {pdf}).split(u'\n').mid(2);
    fonts.removeAll(QString());
    ASSERT_EQ(fonts.size(), 1);
    EXPECT_TRUE(fonts[0].startsWith(QStringLiteral("LiberationMono "))) << fonts[0].toStdString();
}

}  // namespace
}  // namespace mereval::printing
