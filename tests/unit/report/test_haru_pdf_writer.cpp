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

TEST_F(HaruPdfWriterTest, TextSitsAtItsTopLeftCornerInEveryUnitAndIsAsWideAsMeasured) {
    writer_.SetFontName(u"Arial"_s);
    const QString text = u"Tühistamine"_s;
    // Plain 9, bold 14, italic 8, bold italic 9 pt; each 20 mm from the left
    // and 10 mm below the last, in another unit.
    const std::tuple<bool, bool, float, qint16, float> lines[] = {
        {false, false, 9, PdfWriter::kMillimetres, 1},
        {true, false, 14, PdfWriter::kCentimetres, 0.1F},
        {false, true, 8, PdfWriter::kInches, 1 / 25.4F},
        {true, true, 9, PdfWriter::kPoints, 72 / 25.4F},
        {false, false, 9, PdfWriter::kPixels, 96 / 25.4F},
        {false, false, 9, PdfWriter::kTwips, 1440 / 25.4F},
        {false, false, 9, 99, 1440 / 25.4F},  // unknown: stays in twips
    };
    QList<float> widths;
    for (int i = 0; i < 7; ++i) {
        const auto [bold, italic, size, units, perMm] = lines[i];
        writer_.SetBold(bold);
        writer_.SetItalic(italic);
        writer_.SetFontSize(size);
        writer_.SetUnits(units);
        widths.append(writer_.TextWidth(text) / perMm);
        Write(20 * perMm, (40 + 10 * float(i)) * perMm, text);
    }
    EXPECT_GT(widths[1] / 14, widths[0] / 9 * 1.05);  // bold is wider

    const QList<PdfPage> pages = SaveAndRead();
    ASSERT_EQ(pages.size(), 1);
    EXPECT_NEAR(pages[0].width, 210.0, kExact);  // A4 portrait
    EXPECT_NEAR(pages[0].height, 297.0, kExact);
    ASSERT_EQ(pages[0].words.size(), 7);
    for (int i = 0; i < 7; ++i) {
        const test::PdfWord& word = pages[0].words[i];
        EXPECT_EQ(word.text, text);
        EXPECT_NEAR(word.x, 20, kExact) << i;
        EXPECT_NEAR(word.bottom, TextBottom(40 + 10 * i, std::get<2>(lines[i])), kExact) << i;
        EXPECT_NEAR(word.right - word.x, widths[i], kExact) << i;
    }
}

TEST_F(HaruPdfWriterTest, BalticLettersSurviveAndOddCharactersDoNotBreakTheText) {
    const QString baltic = u"ÕÄÖÜõäöüŠšŽž ĀāČčĒēĢģĪīĶķĻļŅņŪū ĄąĘęĖėĮįŲųŁłŃńŚśŹźŻż"_s;
    writer_.SetUnits(PdfWriter::kMillimetres);
    writer_.SetFontSize(9);
    Write(10, 20, baltic);
    Write(10, 30, u"A"_s + QChar(0) + u"B\tC\x1f!"_s);
    Write(10, 40, u"€ ✓"_s);              // outside the code page: "?"
    Write(10, 50, QString(70000, u'W'));  // longer than one PDF string may be

    const QList<PdfPage> pages = SaveAndRead();
    ASSERT_EQ(pages.size(), 1);
    EXPECT_EQ(pages[0].LineAt(TextBottom(20, 9)), baltic);
    EXPECT_EQ(pages[0].LineAt(TextBottom(30, 9)), u"A B C !"_s);
    EXPECT_EQ(pages[0].LineAt(TextBottom(40, 9)), u"€ ?"_s);
    EXPECT_FALSE(pages[0].LineAt(TextBottom(50, 9)).isEmpty());
}

TEST_F(HaruPdfWriterTest, ColoursAreBlueGreenRedAndEveryPageSetsItsOwn) {
    writer_.SetUnits(PdfWriter::kMillimetres);
    writer_.SetFontSize(0.5F);
    EXPECT_GT(writer_.TextWidth(u"W"_s), 0);
    writer_.SetFontSize(9);
    writer_.SetTextColor(255);
    Write(27, 10, u"red"_s);
    writer_.SetTextColor(0xFF0000);
    EXPECT_EQ(writer_.TextColor(), 0xFF0000);
    Write(27, 20, u"blue"_s);
    for (const qint16 style : {PdfWriter::kDash, PdfWriter::kDot, PdfWriter::kDashDot,
                               PdfWriter::kDashDotDot, PdfWriter::kInvisible}) {
        writer_.SetLineStyle(style);
        writer_.DrawLine(27, 50 + style, 200, 50 + style);
    }
    writer_.AddPage();
    Write(27, 10, u"second"_s);  // still blue
    writer_.SetLineStyle(PdfWriter::kSolid);
    writer_.DrawLine(27, 60, 200, 60);

    ASSERT_EQ(SaveAndRead().size(), 2);
    const QByteArray pdf = test::UncompressedPdf(Path());
    EXPECT_EQ(pdf.count("\n1 0 0 rg\n"), 1);
    EXPECT_EQ(pdf.count("\n0 0 1 rg\n"), 2);
    for (const char* dashes : {"[4 2 ]", "[1 2 ]", "[4 2 1 2 ]", "[4 2 1 2 1 2 ]"}) {
        EXPECT_EQ(pdf.count(QByteArray("\n") + dashes + " 0 d\n"), 1) << dashes;
    }
    EXPECT_EQ(pdf.count("\nS\n"), 5);  // the invisible line is not drawn
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
