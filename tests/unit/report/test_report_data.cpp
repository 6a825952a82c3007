#include "report/amount_text.h"
#include "report/report_data.h"
#include "session/conversions.h"
#include "unit/report/report_fixtures.h"

#include <gtest/gtest.h>

#include <limits>

namespace mereval::report {
namespace {

using namespace Qt::Literals::StringLiterals;
using test::Record;
using test::RecordFrame;
using test::ReportMessage;

TEST(AmountTextTest, WholeCentsWithHalvesUpAndTheSignOfTheAmount) {
    const std::pair<double, const char*> cases[] = {
        {12.5, "12.50"},   {0.05, "0.05"},  {-3, "-3.00"},
        {-0.004, "-0.00"}, {1.005, "1.01"}, {-1.005, "-1.01"},
    };
    for (const auto& [amount, text] : cases) {
        EXPECT_EQ(AmountText(amount), QString::fromLatin1(text)) << amount;
    }
    // Report records can carry any double: the largest keep all their digits.
    const QString huge = AmountText(-1.7976931348623157e308);
    EXPECT_TRUE(huge.startsWith(u"-17976931348623157"_s) && huge.endsWith(u".00"_s));
}

// The rows of a decoded message, one text per row of the columns asked for.
QStringList Rows(const QList<QByteArray>& records, bool onlyApproved,
                 std::initializer_list<int> columns, std::optional<qint32> count = {}) {
    const auto table = DecodeReportTable(ReportMessage(records, count), onlyApproved);
    EXPECT_TRUE(table);
    QStringList rows;
    for (qint32 r = 1; table && r <= table->RowCount(); ++r) {
        QStringList cells;
        for (const int c : columns) {
            cells.append(table->Row(r)[c]);
        }
        cells.append(QString::number(table->Row(r).counted));
        rows.append(cells.join(u'|'));
    }
    return rows;
}

TEST(DecodeReportTableTest, ARecordBecomesItsDisplayRow) {
    Record record;
    record.terminal =
        "T\xF5"
        "1";  // "Tõ1" in the code page
    record.amount = 12.5;
    EXPECT_EQ(
        Rows({RecordFrame(record)}, false,
             {column::Printed, column::Terminal, column::Date, column::Time, column::Stan,
              column::Card, column::ResponseCode, column::Amount, column::Tip, column::Reservation,
              column::Cancelled, column::Sent}),
        QStringList{u"|Tõ1|12.03.2024|14:30:05|1234|476173******0010| 0|12.50||||      +|12.5"_s});
}

TEST(DecodeReportTableTest, ResponseCodesFilterByTheChoiceAndDeclinesCountNothing) {
    QList<QByteArray> records;
    for (const qint32 code : {5, 99, 100, 10000}) {
        Record record;
        record.responseCode = code;
        record.amount = 7.25;
        records.append(RecordFrame(record));
    }
    const auto columns = {column::ResponseCode, column::Amount};
    EXPECT_EQ(Rows(records, false, columns),
              (QStringList{u" 5|7.25|0"_s, u" 99|7.25|0"_s, u" 100|7.25|0"_s}));
    EXPECT_EQ(Rows(records, true, columns), (QStringList{u" 5|7.25|0"_s, u" 99|7.25|0"_s}));
}

TEST(DecodeReportTableTest, FlagsCancellationAndSendStatus) {
    // flags, cancelled, send status (nullopt: absent)
    const std::tuple<QByteArray, qint32, std::optional<QByteArray>> cases[] = {
        {"00001", 0, QByteArray(1, '\0')},
        {"000001", 0, QByteArray(1, char(199))},
        {"000011", 0, QByteArray(1, char(200))},
        {"1111", 1, QByteArray(1, char(255))},
        {"", 7, std::nullopt},
        {"000000", -1, QByteArray()},
    };
    QList<QByteArray> records;
    for (const auto& [flags, cancelled, status] : cases) {
        Record record;
        record.amount = 12.5;
        record.flags = flags;
        record.cancelled = cancelled;
        record.sendStatus = status;
        records.append(RecordFrame(record));
    }
    EXPECT_EQ(
        Rows(records, false,
             {column::Tip, column::Reservation, column::Cancelled, column::Sent, column::Amount}),
        (QStringList{u"|1||      +|12.50|12.5"_s, u"1|||      +|12.50|12.5"_s,
                     u"1|1|||12.50|12.5"_s, u"||1||-12.50|-12.5"_s, u"||1|      +|-12.50|-12.5"_s,
                     u"|||      +|12.50|12.5"_s}));
}

TEST(DecodeReportTableTest, TheRecordCountAndTheVersionBoundWhatIsRead) {
    QList<QByteArray> three;
    for (qint32 stan = 1; stan <= 3; ++stan) {
        Record record;
        record.stan = stan;
        three.append(RecordFrame(record));
    }
    const auto stans = [&three](qint32 count) { return Rows(three, false, {column::Stan}, count); };
    EXPECT_EQ(stans(2), (QStringList{u"1|10"_s, u"2|10"_s}));
    EXPECT_EQ(stans(-1), QStringList());
    EXPECT_EQ(stans(std::numeric_limits<qint32>::max()).size(), 3);

    EXPECT_TRUE(DecodeReportTable(ReportMessage(three, {}, 9), false));
    for (const qint32 version : {10, -1}) {
        EXPECT_FALSE(DecodeReportTable(ReportMessage(three, {}, version), false)) << version;
    }
}

}  // namespace
}  // namespace mereval::report
