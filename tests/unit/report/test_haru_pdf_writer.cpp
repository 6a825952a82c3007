#include "report/haru_pdf_writer.h"
#include "unit/report/pdf_readback.h"

#include <QDir>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <sys/stat.h>

namespace mereval::report {
namespace {

using namespace Qt::Literals::StringLiterals;
using test::PdfPage;
using test::TextBottom;

class HaruPdfWriterTest : public ::testing::Test {
protected:
    QString Path(const QString& name = u"out.pdf"_s) const { return dir_.filePath(name); }

    QList<PdfPage> SaveAndRead() {
        writer_.SetFileName(Path());
        EXPECT_EQ(writer_.Save(), QString());
        QString check;
        EXPECT_TRUE(test::QpdfCheck(Path(), &check)) << check.toStdString();
        return test::ReadPdf(Path()).value_or(QList<PdfPage>{});
    }

    void Write(float x, float y, const QString& text) {
        writer_.SetCurrentX(x);
        writer_.SetCurrentY(y);
        writer_.WriteText(text);
    }

    QTemporaryDir dir_;
    HaruPdfWriter writer_;
};

TEST_F(HaruPdfWriterTest, BalticLettersSurviveAndOddCharactersDoNotBreakTheText) {
    const QString baltic = u"ÕÄÖÜõäöüŠšŽž ĀāČčĒēĢģĪīĶķĻļŅņŪū ĄąĘęĖėĮįŲųŁłŃńŚśŹźŻż"_s;
    writer_.SetUnits(PdfWriter::kMillimetres);
    writer_.SetFontSize(9);
    Write(10, 20, baltic);
    Write(10, 30, u"A"_s + QChar(0) + u"B\tC\x1f!"_s);
    Write(10, 40, u"€ ✓"_s);
    Write(10, 50, QString(70000, u'W'));

    const QList<PdfPage> pages = SaveAndRead();
    ASSERT_EQ(pages.size(), 1);
    EXPECT_EQ(pages[0].LineAt(TextBottom(20, 9)), baltic);
    EXPECT_EQ(pages[0].LineAt(TextBottom(30, 9)), u"A B C !"_s);
    EXPECT_EQ(pages[0].LineAt(TextBottom(40, 9)), u"€ ?"_s);
    EXPECT_FALSE(pages[0].LineAt(TextBottom(50, 9)).isEmpty());
}

TEST_F(HaruPdfWriterTest, ColoursAreBlueGreenRedAndEveryPageSetsItsOwn) {
    writer_.SetUnits(PdfWriter::kMillimetres);
    writer_.SetFontSize(9);
    writer_.SetTextColor(255);
    Write(27, 10, u"red"_s);
    writer_.SetTextColor(0xFF0000);
    writer_.SetBold(true);  // at the same size: the font alone changes
    const float boldWidth = writer_.TextWidth(u"blue"_s);
    Write(27, 20, u"blue"_s);
    writer_.AddPage();
    Write(27, 10, u"second"_s);  // still blue

    const QList<PdfPage> pages = SaveAndRead();
    ASSERT_EQ(pages.size(), 2);
    EXPECT_NEAR(pages[0].words.at(1).right - pages[0].words.at(1).x, boldWidth, 0.01);
    const QByteArray pdf = test::UncompressedPdf(Path());
    EXPECT_EQ(pdf.count("\n1 0 0 rg\n"), 1);
    EXPECT_EQ(pdf.count("\n0 0 1 rg\n"), 2);
}

TEST_F(HaruPdfWriterTest, SaveTellsWhyItFailedAndLeavesNoHalfFile) {
    writer_.SetFontSize(9);
    Write(27, 10, u"text"_s);
    EXPECT_FALSE(writer_.Save().isEmpty());

    ASSERT_TRUE(QDir(dir_.path()).mkdir(u"Report.pdf"_s));
    writer_.SetFileName(Path(u"Report.pdf"_s));
    EXPECT_FALSE(writer_.Save().isEmpty());
    EXPECT_EQ(QDir(dir_.path()).entryList(QDir::Files), QStringList{});

    // For the till's account only, whatever the umask or the replaced file allowed.
    QFile old(Path(u"fine.pdf"_s));
    ASSERT_TRUE(old.open(QIODevice::WriteOnly, QFileDevice::ReadOwner | QFileDevice::WriteOwner |
                                                   QFileDevice::ReadOther));
    old.close();
    const mode_t umask = ::umask(0);
    writer_.SetFileName(old.fileName());
    EXPECT_EQ(writer_.Save(), QString());
    ::umask(umask);
    EXPECT_TRUE(test::QpdfCheck(old.fileName()));
    EXPECT_EQ(old.permissions() & 0x0FFF, QFileDevice::ReadUser | QFileDevice::WriteUser);
}

}  // namespace
}  // namespace mereval::report
