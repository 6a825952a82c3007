#include "report/report_document.h"
#include "session/traffic_log.h"
#include "support/temp_environment.h"
#include "unit/report/pdf_readback.h"
#include "unit/report/report_fixtures.h"

#include <gtest/gtest.h>

namespace mereval::report {
namespace {

using namespace Qt::Literals::StringLiterals;
using test::PdfPage;
using test::TableRow;
using test::TextBottom;

constexpr double kExact = 0.01;  // mm
const QString kPeriod = u"Periood: 01.03.2009 00:00:00 - 31.03.2009 23:59:59"_s;

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
    EXPECT_NEAR(page.width, 210.0, kExact);  // A4 portrait
    EXPECT_NEAR(page.height, 297.0, kExact);
    EXPECT_NEAR(page.WordsAt(Line(55))[6].right, 179, kExact);
    const std::pair<double, QString> lines[] = {
        {TextBottom(20, 9), kPeriod},
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
        {Line(270), u"E - Jootraha lisatud, T - Tühistamine, B - Broneering 1"_s},
    };
    for (const auto& [bottom, text] : lines) {
        EXPECT_EQ(page.LineAt(bottom), text) << bottom;
    }
    EXPECT_EQ(page.Lines().size(), 16);
    EXPECT_EQ(opener_.opened, QStringList{ReportPath()});
    const QByteArray pdf = test::UncompressedPdf(ReportPath());
    EXPECT_TRUE(pdf.contains("\n1 0 0 rg\n"));                    // a red title
    EXPECT_TRUE(pdf.contains("\n0.43922 0.43922 0.43922 rg\n"));  // a grey legend
}

// The body lines of a one-page report, without title block and footer.
QStringList Body(const QList<PdfPage>& pages) {
    EXPECT_EQ(pages.size(), 1);
    const QStringList lines = pages.value(0).Lines();
    return lines.mid(3, lines.size() - 4);
}

// A group shows the sums that are not zero, and "Kokku" unless there is just one.
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
}

TEST_F(ReportDocumentTest, ARowPastTheBreakLimitStartsANewPageWithoutColumnHeadings) {
    QList<TableRow> rows;
    for (int i = 1; i <= 90; ++i) {
        rows.append(Sent(1, QString::number(i)));
    }
    const QList<PdfPage> pages = Build(rows);
    ASSERT_EQ(pages.size(), 3);
    EXPECT_TRUE(pages[0].LineAt(Line(260)).contains(u" 43 "_s));
    EXPECT_TRUE(pages[1].LineAt(Line(35)).contains(u" 44 "_s));
    EXPECT_TRUE(pages[2].LineAt(Line(35)).contains(u" 90 "_s));
    EXPECT_EQ(pages[2].LineAt(TextBottom(10, 14)), u"Maksetehingute aruanne"_s);
    EXPECT_TRUE(pages[1].Lines().filter(u"Kuupaev"_s).isEmpty());
}

TEST_F(ReportDocumentTest, AnEmptyReportHasItsFrameAndAZeroTotal) {
    const QList<PdfPage> pages = Build({});
    EXPECT_EQ(Body(pages), QStringList{u"Summa kokku: 0.00"_s});
    for (const test::PdfWord& word : pages.value(0).words) {
        if (word.text == u"0.00"_s) {
            EXPECT_NEAR(word.right, 179, kExact);  // where the amounts of rows end
        }
    }
}

}  // namespace
}  // namespace mereval::report
