#include "report/haru_pdf_writer.h"
#include "report/page_frame.h"
#include "report/report_document.h"
#include "session/traffic_log.h"
#include "support/temp_environment.h"
#include "unit/report/pdf_readback.h"
#include "unit/report/recording_pdf_writer.h"
#include "unit/report/report_fixtures.h"

#include <gtest/gtest.h>

namespace mereval::report {
namespace {

using namespace Qt::Literals::StringLiterals;
using test::PdfPage;
using test::PdfWord;
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

    // Lays the rows out through a recording writer.
    QStringList Record(const QList<TableRow>& rows, quint8 group = 0) {
        QStringList calls;
        services_.makeWriter = [&calls] {
            return std::make_unique<test::RecordingPdfWriter>(&calls);
        };
        ReportTable table = test::MakeTable(rows);
        BuildReportDocument(table, table.RowCount(), group, kPeriod, services_);
        return calls;
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
    TableRow a = Sent(10, u"101"_s);
    TableRow b = Sent(5, u"102"_s);
    b.sent = false;
    TableRow c = Sent(20, u"103"_s);
    c.reservation = true;
    const QList<PdfPage> pages = Build({a, b, c});
    ASSERT_EQ(pages.size(), 1);
    const PdfPage& page = pages[0];

    // The title block, with the date and time ending at the right edge.
    EXPECT_EQ(page.LineAt(TextBottom(10, 14)), u"Maksetehingute aruanne"_s);
    EXPECT_NEAR(page.Find(u"Maksetehingute"_s)->x, 27, kExact);
    EXPECT_EQ(page.LineAt(TextBottom(20, 9)), kPeriod);
    const QList<PdfWord> date = page.WordsAt(TextBottom(15, 8));
    ASSERT_FALSE(date.isEmpty());
    EXPECT_EQ(date.last().text, u"09:05:07"_s);
    EXPECT_NEAR(date.last().right, 200, kExact);

    // No grouping: one empty group heading at 40, the headings at 45.
    EXPECT_TRUE(page.WordsAt(Line(40)).isEmpty());
    EXPECT_EQ(page.LineAt(Line(45)), u"Terminal Kuupaev Kell STAN Kaart Kood Summa Saadetud"_s);
    const QList<PdfWord> headings = page.WordsAt(Line(45));
    HaruPdfWriter metrics;
    metrics.SetFontSize(9);
    metrics.SetItalic(true);
    EXPECT_NEAR(headings[2].x, 72 + metrics.TextWidth(u"   "_s), kExact);  // "   Kell"
    EXPECT_NEAR(headings[3].x, 94, kExact);
    EXPECT_NEAR(headings[6].right, 179, kExact);  // "Summa" ends with the amounts
    EXPECT_NEAR(headings[7].x, 186, kExact);

    EXPECT_EQ(page.LineAt(Line(50)),
              u"70011001 12.03.2024 14:30:05 101 476173******0010 0 10.00 +"_s);
    EXPECT_EQ(page.LineAt(Line(55)), u"70011001 12.03.2024 14:30:05 102 476173******0010 0 5.00"_s);
    EXPECT_EQ(page.LineAt(Line(60)),
              u"70011001 12.03.2024 14:30:05 103 476173******0010 0 20.00 B +"_s);
    EXPECT_NEAR(page.WordsAt(Line(55))[0].x, 27, kExact);
    EXPECT_NEAR(page.WordsAt(Line(55))[6].right, 179, kExact);
    EXPECT_NEAR(page.WordsAt(Line(60))[7].x, 181, kExact);  // the type letter

    // Group totals under a rule at 65, from 66 on; the grand totals under
    // the double rule at 91 and 92, from 94 on.
    EXPECT_EQ(page.LineAt(Line(66)), u"Saadetud: 10.00"_s);
    EXPECT_EQ(page.LineAt(Line(71)), u"Saatmata: 5.00"_s);
    EXPECT_EQ(page.LineAt(Line(76)), u"Broneeritud: 20.00"_s);
    EXPECT_EQ(page.LineAt(Line(81)), u"Kokku: 35.00"_s);
    EXPECT_NEAR(page.WordsAt(Line(66))[0].x, 139, kExact);
    EXPECT_NEAR(page.WordsAt(Line(81)).last().right, 179, kExact);
    EXPECT_EQ(page.LineAt(Line(94)), u"Saadetud summa: 10.00"_s);
    EXPECT_EQ(page.LineAt(Line(99)), u"Saatmata summa: 5.00"_s);
    EXPECT_EQ(page.LineAt(Line(104)), u"Broneeritud summa: 20.00"_s);
    EXPECT_EQ(page.LineAt(Line(109)), u"Summa kokku: 35.00"_s);
    EXPECT_NEAR(page.WordsAt(Line(109))[0].x, 119, kExact);
    EXPECT_NEAR(page.WordsAt(Line(109)).last().right, 179, kExact);

    EXPECT_EQ(page.LineAt(Line(270)), kLegend + u" 1"_s);
    EXPECT_NEAR(page.WordsAt(Line(270)).last().x, 190, kExact);
    EXPECT_EQ(page.Lines().size(), 16);

    EXPECT_EQ(opener_.opened, QStringList{ReportPath()});
    EXPECT_TRUE(view_.boxes.isEmpty());
}

TEST_F(ReportDocumentTest, RulesFollowEachRowAndCloseTheGroupAndTheReport) {
    const QStringList calls = Record({Sent(10), Sent(5)});
    QStringList lines;
    for (const QString& call : calls) {
        if (call.startsWith(u"line"_s)) {
            lines.append(call);
        }
    }
    EXPECT_EQ(lines, (QStringList{u"line 2 27 54 200 54"_s, u"line 2 27 59 200 59"_s,
                                  u"line 0 27 60 200 60"_s, u"line 0 27 71 200 71"_s,
                                  u"line 0 27 72 200 72"_s}));
    EXPECT_TRUE(calls.contains(u"units 6"_s));
    EXPECT_EQ(calls.last(), u"save "_s + ReportPath());
}

TEST_F(ReportDocumentTest, AmountsAndTotalsEndAt193WhenGroupedOnTheSentStatus) {
    TableRow unsent = Sent(5, u"2"_s);
    unsent.sent = false;
    const QList<PdfPage> pages = Build({Sent(10, u"1"_s), unsent, Sent(2.5, u"3"_s)}, column::Sent);
    ASSERT_EQ(pages.size(), 1);
    const PdfPage& page = pages[0];
    EXPECT_EQ(page.LineAt(Line(40)), u"Saadetud"_s);
    EXPECT_EQ(page.LineAt(Line(45)), u"Terminal Kuupaev Kell STAN Kaart Kood Summa"_s);
    EXPECT_NEAR(page.WordsAt(Line(45)).last().right, 193, kExact);
    EXPECT_EQ(page.LineAt(Line(50)), u"70011001 12.03.2024 14:30:05 1 476173******0010 0 10.00"_s);
    EXPECT_EQ(page.LineAt(Line(55)), u"70011001 12.03.2024 14:30:05 3 476173******0010 0 2.50"_s);
    EXPECT_NEAR(page.WordsAt(Line(55)).last().right, 193, kExact);
    EXPECT_EQ(page.LineAt(Line(61)), u"Saadetud: 12.50"_s);
    EXPECT_NEAR(page.WordsAt(Line(61)).last().right, 193, kExact);
    EXPECT_NEAR(page.WordsAt(Line(61))[0].x, 153, kExact);
    // The second group: 15 below the last line of the first.
    EXPECT_EQ(page.LineAt(Line(76)), u"Saatmata"_s);
    EXPECT_EQ(page.LineAt(Line(86)), u"70011001 12.03.2024 14:30:05 2 476173******0010 0 5.00"_s);
    EXPECT_EQ(page.LineAt(Line(97)), u"Saatmata: 5.00"_s);
    EXPECT_EQ(page.LineAt(Line(110)), u"Saadetud summa: 12.50"_s);
    EXPECT_EQ(page.LineAt(Line(115)), u"Saatmata summa: 5.00"_s);
    EXPECT_EQ(page.LineAt(Line(120)), u"Summa kokku: 17.50"_s);
    EXPECT_NEAR(page.WordsAt(Line(120)).last().right, 193, kExact);
}

TEST_F(ReportDocumentTest, GroupsComeInTheOrderOfTheirFirstRowWithTheirRowsInTableOrder) {
    const auto card = [](const QString& number, const QString& stan) {
        TableRow row = Sent(1, stan);
        row.card = number;
        return row;
    };
    const QList<PdfPage> pages =
        Build({card(u"A-card"_s, u"1"_s), card({}, u"2"_s), card(u"A-card"_s, u"3"_s),
               card(u"B-card"_s, u"4"_s), card({}, u"5"_s)},
              column::Card);
    ASSERT_EQ(pages.size(), 1);
    QStringList body = pages[0].Lines();
    body = body.mid(3, body.size() - 4);  // without title block and footer
    const QString head = u"Terminal Kuupaev Kell STAN Kood Summa Saadetud"_s;
    const auto row = [](const char* stan) {
        return u"70011001 12.03.2024 14:30:05 "_s + QString::fromLatin1(stan) + u" 0 1.00 +"_s;
    };
    EXPECT_EQ(body, (QStringList{u"A-card"_s, head, row("1"), row("3"), u"Saadetud: 2.00"_s,
                                 u"Tundmatu väljaandja"_s, head, row("2"), row("5"),
                                 u"Saadetud: 2.00"_s, u"B-card"_s, head, row("4"),
                                 u"Saadetud: 1.00"_s, u"Saadetud summa: 5.00"_s}));
}

TEST_F(ReportDocumentTest, TotalsShowTheSumsThatAreNotZeroAndKokkuUnlessThereIsJustOne) {
    TableRow declined = Sent(3, u"2"_s);
    declined.terminal = u"T2"_s;
    declined.code = u" 5"_s;
    declined.declined = true;
    TableRow cancelled = Sent(12.5, u"3"_s);
    cancelled.terminal = u"T3"_s;
    cancelled.cancelled = true;
    TableRow tip = Sent(20, u"4"_s);
    tip.terminal = u"T3"_s;
    tip.tip = true;
    TableRow first = Sent(7.5, u"1"_s);
    first.terminal = u"T1"_s;
    const QList<PdfPage> pages = Build({first, declined, cancelled, tip}, column::Terminal);
    ASSERT_EQ(pages.size(), 1);
    QStringList body = pages[0].Lines();
    body = body.mid(3, body.size() - 4);
    const QString head = u"Kuupaev Kell STAN Kaart Kood Summa Saadetud"_s;
    EXPECT_EQ(body, (QStringList{
                        u"T1"_s,
                        head,
                        u"12.03.2024 14:30:05 1 476173******0010 0 7.50 +"_s,
                        u"Saadetud: 7.50"_s,
                        u"T2"_s,
                        head,
                        u"12.03.2024 14:30:05 2 476173******0010 5 3.00 +"_s,
                        u"Kokku: 0.00"_s,
                        u"T3"_s,
                        head,
                        u"12.03.2024 14:30:05 3 476173******0010 0 -12.50 T +"_s,
                        u"12.03.2024 14:30:05 4 476173******0010 0 20.00 E +"_s,
                        u"Saadetud: 7.50"_s,
                        u"Saadetud summa: 15.00"_s,
                    }));
    // The declined row shows what was attempted, the heading the group.
    EXPECT_EQ(pages[0].LineAt(Line(40)), u"T1"_s);
}

TEST_F(ReportDocumentTest, TheCodeHeadingKeepsTheCellsLeadingBlank) {
    const QList<PdfPage> pages = Build({Sent(1)}, column::ResponseCode);
    ASSERT_EQ(pages.size(), 1);
    const QList<PdfWord> heading = pages[0].WordsAt(Line(40));
    ASSERT_EQ(heading.size(), 2);
    EXPECT_EQ(heading[0].text, u"Kood:"_s);
    EXPECT_EQ(heading[1].text, u"0"_s);
    HaruPdfWriter metrics;
    metrics.SetFontSize(9);
    metrics.SetBold(true);
    EXPECT_NEAR(heading[1].x, 27 + metrics.TextWidth(u"Kood:  "_s), kExact);
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
    EXPECT_TRUE(pages[1].LineAt(Line(260)).contains(u" 89 "_s));
    EXPECT_TRUE(pages[2].LineAt(Line(35)).contains(u" 90 "_s));
    for (int p = 0; p < 3; ++p) {
        EXPECT_EQ(pages[p].LineAt(TextBottom(10, 14)), u"Maksetehingute aruanne"_s) << p;
        EXPECT_EQ(pages[p].LineAt(TextBottom(20, 9)), kPeriod) << p;
        EXPECT_EQ(pages[p].LineAt(Line(270)), kLegend + u' ' + QString::number(p + 1)) << p;
        EXPECT_EQ(pages[p].Lines().filter(u"Kuupaev"_s).size(), p == 0 ? 1 : 0) << p;
    }

    // The rule under row 44 went with it to the new page.
    const QStringList calls = Record(rows);
    const qsizetype newPage = calls.indexOf(u"page"_s);
    ASSERT_GT(newPage, 0);
    EXPECT_TRUE(calls[newPage - 1].endsWith(u"c7368816 |1|"_s)) << calls[newPage - 1].toStdString();
    EXPECT_EQ(calls.mid(newPage).filter(u"line"_s).first(), u"line 2 27 39 200 39"_s);
}

TEST_F(ReportDocumentTest, AnEmptyReportIsOnePageWithItsFrameAndAZeroTotal) {
    const QList<PdfPage> pages = Build({});
    ASSERT_EQ(pages.size(), 1);
    EXPECT_EQ(pages[0].Lines(),
              (QStringList{u"Maksetehingute aruanne"_s, ReportDateTimeText(services_.clock()),
                           kPeriod, u"Summa kokku: 0.00"_s, kLegend + u" 1"_s}));
    EXPECT_EQ(pages[0].LineAt(Line(43)), u"Summa kokku: 0.00"_s);
    EXPECT_NEAR(pages[0].WordsAt(Line(43)).last().right, 179, kExact);
}

TEST_F(ReportDocumentTest, ProgressCheckpointsAndTheViewerFollowTheRun) {
    Build({Sent(1), Sent(2), Sent(3)});
    EXPECT_EQ(view_.statusLines, (QStringList{u"Aruanne dokumendi koostamine: 33%"_s,
                                              u"Aruanne dokumendi koostamine: 67%"_s,
                                              u"Aruanne dokumendi koostamine: 100%"_s,
                                              u"Aruanne dokumendi salvestamine..."_s}));
    const QByteArray log = env_.ReadFile(u"log.txt"_s);
    const qsizetype one = log.indexOf("Checkpoint1");
    const qsizetype two = log.indexOf("Checkpoint2");
    const qsizetype three = log.indexOf("Checkpoint3");
    const qsizetype four = log.indexOf("Checkpoint4");
    EXPECT_TRUE(one >= 0 && one < two && two < three && three < four) << log.toStdString();
}

TEST(ProgressTextTest, RoundsHalvesToTheEvenPercent) {
    const std::tuple<qint32, qint32, const char*> cases[] = {
        {1, 8, "12%"},  {3, 8, "38%"}, {5, 8, "62%"},  {1, 200, "0%"},
        {3, 200, "2%"}, {2, 3, "67%"}, {7, 7, "100%"}, {0, 0, "0%"},
    };
    for (const auto& [printed, rows, percent] : cases) {
        EXPECT_EQ(ProgressText(printed, rows),
                  u"Aruanne dokumendi koostamine: "_s + QString::fromLatin1(percent))
            << printed << '/' << rows;
    }
}

TEST_F(ReportDocumentTest, AFailedSaveShowsTheWritersWordsAndStartsNoViewer) {
    services_.makeWriter = [] {
        auto writer = std::make_unique<test::RecordingPdfWriter>();
        writer->saveResult = u"Disk full"_s;
        return writer;
    };
    ReportTable table = test::MakeTable({Sent(1)});
    BuildReportDocument(table, 1, 0, kPeriod, services_);
    EXPECT_EQ(view_.boxes, QStringList{u"Aruanne koostamine ebaõnnestus: Disk full"_s});
    EXPECT_TRUE(opener_.opened.isEmpty());
}

// AdvanceLine on its own, where the break limit and what comes back matter.
TEST(AdvanceLineTest, BreaksOnlyPast260AndGivesTheStateBack) {
    test::RecordingPdfWriter writer;
    PageFrame page;
    page.dateTimeText = u"02.04.09 09:05:07"_s;
    page.periodText = kPeriod;
    writer.SetFontName(u"Arial"_s);
    writer.SetFontSize(9);
    writer.SetItalic(true);
    writer.SetTextColor(0x123456);
    writer.SetLineStyle(PdfWriter::kDot);
    float y = 255;
    qint16 pageNumber = 1;

    AdvanceLine(y, 5, writer, pageNumber, page);
    EXPECT_EQ(y, 260.0F);
    EXPECT_TRUE(writer.calls.isEmpty());

    y = 255.5F;
    AdvanceLine(y, 5, writer, pageNumber, page);
    EXPECT_EQ(y, 35.0F);
    EXPECT_EQ(pageNumber, 2);
    EXPECT_EQ(writer.calls, (QStringList{u"text 27 270 Arial 9 b c7368816 |"_s + kLegend + u'|',
                                         u"text 190 270 Arial 9 b c7368816 |1|"_s, u"page"_s,
                                         u"text 27 10 Arial 14 b c255 |Maksetehingute aruanne|"_s,
                                         u"text 27 20 Arial 9 b c0 |"_s + kPeriod + u'|',
                                         u"text 166 15 Arial 8 i c0 |02.04.09 09:05:07|"_s}));
    EXPECT_EQ(writer.FontSize(), 9.0F);
    EXPECT_FALSE(writer.Bold());
    EXPECT_TRUE(writer.Italic());
    EXPECT_EQ(writer.TextColor(), 0x123456);
    EXPECT_EQ(writer.LineStyle(), PdfWriter::kDot);
}

}  // namespace
}  // namespace mereval::report
