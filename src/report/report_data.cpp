#include "report/report_data.h"

#include "common/code_page.h"
#include "common/value_helpers.h"
#include "report/amount_text.h"
#include "report/report_document.h"
#include "session/conversions.h"
#include "session/message_catalogue.h"

#include <algorithm>
#include <cmath>

namespace mereval::report {
namespace {

namespace field = session::catalogue::field;
namespace record = session::catalogue::record;
using session::MessageCodec;

constexpr qint32 kMaxReportVersion = 9;
constexpr qint32 kDroppedAlways = 10000;
constexpr qint32 kDroppedWhenOnlyApproved = 100;
constexpr quint8 kFirstUnsentStatus = 200;
constexpr qsizetype kReservationFlag = 4;  // the fifth character
constexpr qsizetype kTipFlag = 5;          // the sixth character
// Records 1..N sit at fields 100..99+N: no message holds more.
constexpr qint32 kMaxRecords = MessageCodec::kMaxIndex - field::FirstRecord + 1;

QString Flag(bool set) {
    return set ? kFlagSet : QString();
}

bool FlagAt(const QByteArray& flags, qsizetype index) {
    return index < flags.size() && flags[index] == '1';
}

void FillRow(ReportRow& row, const MessageCodec& fields, qint32 responseCode) {
    row[column::Terminal] = common::FromCodePage(fields.GetField(record::Terminal, {}));
    const QString dateTime = common::FromCodePage(fields.GetField(record::DateTime, {}));
    row[column::Date] = common::CodeDateText(dateTime);
    row[column::Time] = common::CodeTimeText(dateTime);
    row[column::Stan] = QString::number(common::LongFromBytes(fields.GetField(record::Stan, {})));
    row[column::Card] = common::FromCodePage(fields.GetField(record::Card, {}));
    row[column::ResponseCode] = u' ' + QString::number(responseCode);

    const QByteArray flags = fields.GetField(record::Flags, {});
    row[column::Tip] = Flag(FlagAt(flags, kTipFlag));
    row[column::Reservation] = Flag(FlagAt(flags, kReservationFlag));

    double amount = session::DoubleFromBytes(fields.GetField(record::Amount, {}));
    if (!std::isfinite(amount)) {
        amount = 0;
    }
    const bool cancelled = common::LongFromBytes(fields.GetField(record::Cancelled, {})) > 0;
    row[column::Cancelled] = Flag(cancelled);
    if (cancelled) {
        amount = -amount;
    }
    row[column::Amount] = AmountText(amount);
    row.counted = responseCode == 0 ? amount : 0;

    const QByteArray status = fields.GetField(record::SendStatus, {});
    const quint8 sendStatus = status.isEmpty() ? 0 : static_cast<quint8>(status[0]);
    row[column::Sent] = sendStatus < kFirstUnsentStatus ? kSentMark : QString();
}

}  // namespace

std::optional<ReportTable> DecodeReportTable(const MessageCodec& message, bool onlyApproved,
                                             const std::function<void()>& letEventsRun) {
    const qint32 count = common::LongFromBytes(message.GetField(field::RecordCount, {}));
    const qint32 version = common::LongFromBytes(message.GetField(field::ReportVersion, {}));
    if (version < 0 || version > kMaxReportVersion) {
        return std::nullopt;
    }
    const qint32 records = std::clamp(count, 0, kMaxRecords);

    ReportTable table;
    table.Reserve(records);
    MessageCodec fields;
    for (qint32 k = 1; k <= records; ++k) {
        if (letEventsRun) {
            letEventsRun();
        }
        fields.Clear();
        QByteArray frame = message.GetField(static_cast<qint16>(field::FirstRecord - 1 + k), {});
        if (fields.Parse(frame, frame) != MessageCodec::kDecoded) {
            continue;
        }
        const qint32 responseCode =
            common::LongFromBytes(fields.GetField(record::ResponseCode, {}));
        if (responseCode >= kDroppedAlways ||
            (onlyApproved && responseCode >= kDroppedWhenOnlyApproved)) {
            continue;
        }
        FillRow(table.AddRow(), fields, responseCode);
    }
    return table;
}

void DecodeReportData(const MessageCodec& message, const ReportState& state,
                      const QString& periodText, ReportServices& services) {
    services.pump.Run();  // the status line shows the decoding
    std::optional<ReportTable> table = DecodeReportTable(message, state.ReportOnlyApproved,
                                                         [&services] { services.pump.Breathe(); });
    if (!table) {
        services.log.LogEvent(
            QStringLiteral("ReportData: unknown version ") +
            QString::number(common::LongFromBytes(message.GetField(field::ReportVersion, {}))));
        services.view.OpenBox(session::kBoxMessage, kUnknownReportFormat,
                              session::kErrorBoxButtons);
        return;
    }
    BuildReportDocument(*table, table->RowCount(), state.ReportGroup, periodText, services);
}

}  // namespace mereval::report
