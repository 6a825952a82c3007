#include "unit/report/report_fixtures.h"

#include "report/amount_text.h"
#include "session/conversions.h"

namespace mereval::test {

QByteArray RecordFrame(const Record& record) {
    session::MessageCodec codec;
    const auto set = [&codec](qint16 index, const auto& value, auto convert) {
        if (value) {
            codec.SetField(index, convert(*value));
        }
    };
    const auto bytes = [](const QByteArray& value) { return value; };
    set(1, record.terminal, bytes);
    set(2, record.dateTime, bytes);
    set(3, record.stan, session::LongToBytes);
    set(4, record.amount, session::DoubleToBytes);
    set(5, record.card, bytes);
    set(6, record.sendStatus, bytes);
    set(7, record.flags, bytes);
    set(8, record.responseCode, session::LongToBytes);
    set(9, record.cancelled, session::LongToBytes);
    return codec.Build();
}

session::MessageCodec ReportMessage(const QList<QByteArray>& records, std::optional<qint32> count,
                                    std::optional<qint32> version) {
    session::MessageCodec built;
    built.SetField(1, "0020");
    if (version) {
        built.SetField(6, session::LongToBytes(*version));
    }
    built.SetField(10, session::LongToBytes(count.value_or(qint32(records.size()))));
    for (qsizetype i = 0; i < records.size(); ++i) {
        built.SetField(static_cast<qint16>(100 + i), records[i]);
    }
    session::MessageCodec parsed;
    QByteArray frame = built.Build();
    parsed.Parse(frame, frame);
    return parsed;
}

report::ReportTable MakeTable(const QList<TableRow>& rows) {
    using namespace report;
    ReportTable table;
    for (const TableRow& given : rows) {
        ReportRow& row = table.AddRow();
        const double amount = given.cancelled ? -given.amount : given.amount;
        row[column::Terminal] = given.terminal;
        row[column::Date] = given.date;
        row[column::Time] = given.time;
        row[column::Stan] = given.stan;
        row[column::Card] = given.card;
        row[column::ResponseCode] = given.code;
        row[column::Amount] = AmountText(amount);
        row[column::Tip] = given.tip ? kFlagSet : QString();
        row[column::Reservation] = given.reservation ? kFlagSet : QString();
        row[column::Cancelled] = given.cancelled ? kFlagSet : QString();
        row[column::Sent] = given.sent ? kSentMark : QString();
        row.counted = given.declined ? 0 : amount;
    }
    return table;
}

}  // namespace mereval::test
