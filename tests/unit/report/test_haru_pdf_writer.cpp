#include "report/haru_pdf_writer.h"
#include "unit/report/pdf_readback.h"
#include "unit/report/report_fixtures.h"

#include <QDir>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <sys/stat.h>

namespace mereval::report {
namespace {

using namespace Qt::Literals::StringLiterals;
using test::PdfPage;
using test::TextBottom;

constexpr double kExact = 0.01;  // mm

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

TEST_F(HaruPdfWriterTest, TextSitsAtItsTopLeftCornerAndIsAsWideAsMeasured) {
    writer_.SetUnits(PdfWriter::kMillimetres);
    writer_.SetFontName(u"Arial"_s);
    const QString text = u"Tühistamine"_s;
    // Plain 9, bold 14, italic 8, bold italic 9 pt.
    const std::tuple<bool, bool, float> styles[] = {
        {false, false, 9}, {true, false, 14}, {false, true, 8}, {true, true, 9}};
    float widths[4];
    for (int i = 0; i < 4; ++i) {
        const auto [bold, italic, size] = styles[i];
        writer_.SetBold(bold);
        writer_.SetItalic(italic);
        writer_.SetFontSize(size);
        widths[i] = writer_.TextWidth(text);
        Write(27.5F, 40.0F + 10.0F * float(i), text);
    }
    EXPECT_GT(widths[1] / 14, widths[0] / 9 * 1.05);  // bold is wider
    writer_.SetUnits(PdfWriter::kInches);
    writer_.SetUnits(99);  // unknown: stays in inches
    writer_.SetFontSize(9);
    Write(2, 3, u"inches"_s);

    const QList<PdfPage> pages = SaveAndRead();
    ASSERT_EQ(pages.size(), 1);
    EXPECT_NEAR(pages[0].width, 210.0, kExact);  // A4 portrait
    EXPECT_NEAR(pages[0].height, 297.0, kExact);
    ASSERT_EQ(pages[0].words.size(), 5);
    for (int i = 0; i < 4; ++i) {
        const test::PdfWord& word = pages[0].words[i];
        EXPECT_EQ(word.text, text);
        EXPECT_NEAR(word.x, 27.5, kExact) << i;
        EXPECT_NEAR(word.bottom, TextBottom(40 + 10 * i, std::get<2>(styles[i])), kExact) << i;
        EXPECT_NEAR(word.right - word.x, widths[i], kExact) << i;
    }
    EXPECT_NEAR(pages[0].words[4].x, 50.8, kExact);
    EXPECT_NEAR(pages[0].words[4].bottom, TextBottom(76.2, 9), kExact);
}

TEST_F(HaruPdfWriterTest, BalticLettersSurviveAndOddCharactersDoNotBreakTheText) {
    const QString baltic = u"ÕÄÖÜõäöüŠšŽž ĀāČčĒēĢģĪīĶķĻļŅņŪū ĄąĘęĖėĮįŲųŁłŃńŚśŹźŻż"_s;
    writer_.SetFontSize(9);
    Write(10, 20, baltic);
    Write(10, 30, u"A"_s + QChar(0) + u"B\tC"_s);
    Write(10, 40, u"€ ✓"_s);              // outside the code page: "?"
    Write(10, 50, QString(70000, u'W'));  // longer than one PDF string may be

    const QList<PdfPage> pages = SaveAndRead();
    ASSERT_EQ(pages.size(), 1);
    EXPECT_EQ(pages[0].LineAt(TextBottom(20, 9)), baltic);
    EXPECT_EQ(pages[0].LineAt(TextBottom(30, 9)), u"A B C"_s);
    EXPECT_EQ(pages[0].LineAt(TextBottom(40, 9)), u"€ ?"_s);
    EXPECT_FALSE(pages[0].LineAt(TextBottom(50, 9)).isEmpty());
}

TEST_F(HaruPdfWriterTest, ColoursAreBlueGreenRedAndEveryPageSetsItsOwn) {
    writer_.SetFontSize(9);
    writer_.SetTextColor(255);
    Write(27, 10, u"red"_s);
    writer_.SetTextColor(0xFF0000);
    Write(27, 20, u"blue"_s);
    writer_.SetLineStyle(PdfWriter::kDot);
    writer_.DrawLine(27, 54, 200, 54);
    writer_.SetLineStyle(PdfWriter::kInvisible);
    writer_.DrawLine(27, 70, 200, 70);
    writer_.AddPage();
    Write(27, 10, u"second"_s);  // still blue
    writer_.SetLineStyle(PdfWriter::kSolid);
    writer_.DrawLine(27, 60, 200, 60);

    ASSERT_EQ(SaveAndRead().size(), 2);
    const QByteArray pdf = test::UncompressedPdf(Path());
    EXPECT_EQ(pdf.count("\n1 0 0 rg\n"), 1);
    EXPECT_EQ(pdf.count("\n0 0 1 rg\n"), 2);
    EXPECT_EQ(pdf.count("\n[1 2 ] 0 d\n"), 1);
    EXPECT_EQ(pdf.count("\nS\n"), 2);  // the invisible line is not drawn
}

TEST_F(HaruPdfWriterTest, SaveTellsWhyItFailedAndLeavesNoHalfFile) {
    writer_.SetFontSize(9);
    Write(27, 10, u"text"_s);
    EXPECT_EQ(writer_.Save(), u"No file name"_s);

    // A folder where the file should be: root ignores permissions, not this.
    ASSERT_TRUE(QDir(dir_.path()).mkdir(u"Report.pdf"_s));
    writer_.SetFileName(Path(u"Report.pdf"_s));
    EXPECT_FALSE(writer_.Save().isEmpty());
    writer_.SetFileName(Path(u"missing/Report.pdf"_s));
    EXPECT_FALSE(writer_.Save().isEmpty());
    EXPECT_EQ(QDir(dir_.path()).entryList(QDir::Files), QStringList{});

    // A report is for the till's account only, whatever the umask or the
    // file it replaces allowed.
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
