#include "report/page_frame.h"
#include "report/report_document.h"
#include "session/traffic_log.h"
#include "support/temp_environment.h"
#include "unit/report/pdf_readback.h"
#include "unit/report/recording_pdf_writer.h"
#include "unit/report/report_fixtures.h"

#include <QRegularExpression>

#include <gtest/gtest.h>

namespace mereval::report {
namespace {

using namespace Qt::Literals::StringLiterals;
using test::PdfPage;
using test::TableRow;
using test::TextBottom;

constexpr double kExact = 0.01;  // mm
const QString kPeriod = u"Periood: 01.03.2009 00:00:00 - 31.03.2009 23:59:59"_s;
const QString kLegend = u"E - Jootraha lisatud, T - Tühistamine, B - Broneering"_s;

// The bottom of a 9 pt body line placed at y.
double Line(double y) {
    return TextBottom(y, 9);
}

class ReportDocumentTest : public ::testing::Test {
protected:
    ReportDocumentTest() : services_(view_, log_, opener_) {
        services_.clock = [] { return QDateTime(QDate(2009, 4, 2), QTime(9, 5, 7)); };
    }

    QString ReportPath() const { return env_.FilePath(u"Report.pdf"_s); }

    // Lays the rows out into Report.pdf and reads it back.
    QList<PdfPage> Build(const QList<TableRow>& rows, quint8 group = 0) {
        ReportTable table = test::MakeTable(rows);
        BuildReportDocument(table, table.RowCount(), group, kPeriod, services_);
        QString check;
        EXPECT_TRUE(test::QpdfCheck(ReportPath(), &check)) << check.toStdString();
        return test::ReadPdf(ReportPath()).value_or(QList<PdfPage>{});
    }

    test::TempProgramEnvironment env_;
    test::ReportViewDouble view_;
    session::TrafficLog log_;
    test::OpenerDouble opener_;
    ReportServices services_;
};

TableRow Sent(double amount, const QString& stan = u"1"_s) {
    TableRow row;
    row.amount = amount;
    row.stan = stan;
    return row;
}

TEST_F(ReportDocumentTest, RowsTotalsAndFrameStandWhereTheLayoutPutsThem) {
    TableRow unsent = Sent(5, u"102"_s);
    unsent.sent = false;
    TableRow reserved = Sent(20, u"103"_s);
    reserved.reservation = true;
    const QList<PdfPage> pages = Build({Sent(10, u"101"_s), unsent, reserved});
    ASSERT_EQ(pages.size(), 1);
    const PdfPage& page = pages[0];
    EXPECT_NEAR(page.WordsAt(Line(45))[6].right, 179, kExact);  // "Summa" ends with the amounts
    EXPECT_NEAR(page.WordsAt(Line(55))[6].right, 179, kExact);

    // Group totals under a rule at 65, the grand totals under the double rule
    // at 91 and 92.
    const std::pair<double, QString> lines[] = {
        {TextBottom(10, 14), u"Maksetehingute aruanne"_s},
        {TextBottom(20, 9), kPeriod},
        {Line(40), {}},
        {Line(45), u"Terminal Kuupaev Kell STAN Kaart Kood Summa Saadetud"_s},
        {Line(50), u"70011001 12.03.2024 14:30:05 101 476173******0010 0 10.00 +"_s},
        {Line(55), u"70011001 12.03.2024 14:30:05 102 476173******0010 0 5.00"_s},
        {Line(60), u"70011001 12.03.2024 14:30:05 103 476173******0010 0 20.00 B +"_s},
        {Line(66), u"Saadetud: 10.00"_s},
        {Line(71), u"Saatmata: 5.00"_s},
        {Line(76), u"Broneeritud: 20.00"_s},
        {Line(81), u"Kokku: 35.00"_s},
        {Line(94), u"Saadetud summa: 10.00"_s},
        {Line(99), u"Saatmata summa: 5.00"_s},
        {Line(104), u"Broneeritud summa: 20.00"_s},
        {Line(109), u"Summa kokku: 35.00"_s},
        {Line(270), kLegend + u" 1"_s},
    };
    for (const auto& [bottom, text] : lines) {
        EXPECT_EQ(page.LineAt(bottom), text) << bottom;
    }
    EXPECT_EQ(page.Lines().size(), 16);
    EXPECT_EQ(opener_.opened, QStringList{ReportPath()});
}

// The body lines of a one-page report, without title block and footer.
QStringList Body(const QList<PdfPage>& pages) {
    EXPECT_EQ(pages.size(), 1);
    const QStringList lines = pages.value(0).Lines();
    return lines.mid(3, lines.size() - 4);
}

TEST_F(ReportDocumentTest, GroupedOnTheSentStatusTheAmountsEndAt193) {
    TableRow unsent = Sent(5, u"2"_s);
    unsent.sent = false;
    const QList<PdfPage> pages = Build({Sent(10, u"1"_s), unsent, Sent(2.5, u"3"_s)}, column::Sent);
    const QString head = u"Terminal Kuupaev Kell STAN Kaart Kood Summa"_s;
    const QString row = u"70011001 12.03.2024 14:30:05 %1 476173******0010 0 %2"_s;
    EXPECT_EQ(Body(pages), (QStringList{u"Saadetud"_s, head, row.arg(1).arg(u"10.00"_s),
                                        row.arg(3).arg(u"2.50"_s), u"Saadetud: 12.50"_s,
                                        u"Saatmata"_s, head, row.arg(2).arg(u"5.00"_s),
                                        u"Saatmata: 5.00"_s, u"Saadetud summa: 12.50"_s,
                                        u"Saatmata summa: 5.00"_s, u"Summa kokku: 17.50"_s}));
    for (const double y : {45, 55, 120}) {
        EXPECT_NEAR(pages[0].WordsAt(Line(y)).last().right, 193, kExact) << y;
    }
}

// Groups come in the order of their first row; a group shows the sums that
// are not zero, and "Kokku" unless there is just one.
TEST_F(ReportDocumentTest, GroupsAndTheirTotals) {
    const auto row = [](const QString& terminal, const QString& card, double amount) {
        TableRow given = Sent(amount, QString::number(amount));
        given.terminal = terminal;
        given.card = card;
        return given;
    };
    TableRow declined = row(u"T2"_s, u"B"_s, 3);
    declined.code = u" 5"_s;
    declined.declined = true;
    TableRow cancelled = row(u"T3"_s, {}, 12.5);
    cancelled.cancelled = true;
    TableRow tip = row(u"T3"_s, u"B"_s, 20);
    tip.tip = true;
    const QList<TableRow> rows = {row(u"T1"_s, u"A"_s, 7.5), declined, cancelled, tip,
                                  row(u"T1"_s, {}, 1)};
    const QString line = u"12.03.2024 14:30:05 %1 %2 +"_s;
    EXPECT_EQ(
        Body(Build(rows, column::Terminal)),
        (QStringList{u"T1"_s, u"Kuupaev Kell STAN Kaart Kood Summa Saadetud"_s,
                     line.arg(u"7.5 A 0"_s, u"7.50"_s), line.arg(u"1 0"_s, u"1.00"_s),
                     u"Saadetud: 8.50"_s, u"T2"_s, u"Kuupaev Kell STAN Kaart Kood Summa Saadetud"_s,
                     line.arg(u"3 B 5"_s, u"3.00"_s), u"Kokku: 0.00"_s, u"T3"_s,
                     u"Kuupaev Kell STAN Kaart Kood Summa Saadetud"_s,
                     line.arg(u"12.5 0"_s, u"-12.50 T"_s), line.arg(u"20 B 0"_s, u"20.00 E"_s),
                     u"Saadetud: 7.50"_s, u"Saadetud summa: 16.00"_s}));
    const QStringList byCard = Body(Build(rows, column::Card));
    const QString unknown = u"Tundmatu väljaandja"_s;
    EXPECT_EQ(byCard.filter(QRegularExpression(u"^(A|B|"_s + unknown + u")$"_s)),
              (QStringList{u"A"_s, u"B"_s, unknown}));
    const QStringList unknownRows = byCard.mid(byCard.indexOf(unknown)).filter(u"14:30"_s);
    ASSERT_EQ(unknownRows.size(), 2);
    EXPECT_TRUE(unknownRows[0].contains(u" 12.5 "_s) && unknownRows[1].contains(u" 1 "_s));
}

TEST_F(ReportDocumentTest, ARowPastTheBreakLimitStartsANewPageWithoutColumnHeadings) {
    QList<TableRow> rows;
    for (int i = 1; i <= 90; ++i) {
        rows.append(Sent(1, QString::number(i)));
    }
    const QList<PdfPage> pages = Build(rows);
    ASSERT_EQ(pages.size(), 3);
    // Row 43 stands at exactly 260 and stays; row 44 opens page 2 at 35.
    EXPECT_TRUE(pages[0].LineAt(Line(260)).contains(u" 43 "_s));
    EXPECT_TRUE(pages[1].LineAt(Line(35)).contains(u" 44 "_s));
    EXPECT_TRUE(pages[2].LineAt(Line(35)).contains(u" 90 "_s));
    for (int p = 0; p < 3; ++p) {
        EXPECT_EQ(pages[p].LineAt(TextBottom(10, 14)), u"Maksetehingute aruanne"_s) << p;
        EXPECT_EQ(pages[p].Lines().filter(u"Kuupaev"_s).size(), p == 0 ? 1 : 0) << p;
    }
}

TEST_F(ReportDocumentTest, AnEmptyReportHasItsFrameAndAZeroTotalAndProgressIsShown) {
    EXPECT_EQ(Body(Build({})), QStringList{u"Summa kokku: 0.00"_s});
    view_.statusLines.clear();
    Build({Sent(1), Sent(2), Sent(3)});
    EXPECT_EQ(view_.statusLines, (QStringList{u"Aruanne dokumendi koostamine: 33%"_s,
                                              u"Aruanne dokumendi koostamine: 67%"_s,
                                              u"Aruanne dokumendi koostamine: 100%"_s,
                                              u"Aruanne dokumendi salvestamine..."_s}));
    const QByteArray log = env_.ReadFile(u"log.txt"_s);
    EXPECT_TRUE(log.lastIndexOf("Checkpoint1") < log.lastIndexOf("Checkpoint2") &&
                log.lastIndexOf("Checkpoint2") < log.lastIndexOf("Checkpoint3") &&
                log.lastIndexOf("Checkpoint3") < log.lastIndexOf("Checkpoint4"))
        << log.toStdString();
}

// From another state than a body row's: the frame sets all of its own, and
// gives the writer's back.
TEST(AdvanceLineTest, BreaksOnlyPast260AndGivesTheStateBack) {
    test::RecordingPdfWriter writer;
    writer.SetItalic(true);
    writer.SetTextColor(0x123456);
    writer.SetLineStyle(PdfWriter::kDot);
    float y = 255;
    qint16 pageNumber = 1;
    AdvanceLine(y, 5, writer, pageNumber, PageFrame{});
    EXPECT_TRUE(writer.calls.isEmpty());
    AdvanceLine(y, 0.5F, writer, pageNumber, PageFrame{});
    EXPECT_EQ(y, 35.0F);
    EXPECT_EQ(pageNumber, 2);
    EXPECT_EQ(writer.calls.first(), u"text 27 270 Arial 9 b c7368816 |"_s + kLegend + u'|');
    EXPECT_EQ(writer.calls.mid(2, 2), (QStringList{u"page"_s,
                                                   u"text 27 10 Arial 14 b c255 "
                                                   u"|Maksetehingute aruanne|"_s}));
    EXPECT_TRUE(writer.Italic());
    EXPECT_EQ(writer.TextColor(), 0x123456);
    EXPECT_EQ(writer.LineStyle(), PdfWriter::kDot);
}

}  // namespace
}  // namespace mereval::report
