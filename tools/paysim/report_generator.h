#pragma once

#include "paysim/message_fields.h"
#include "session/message_catalogue.h"
#include "session/message_codec.h"

#include <QByteArray>
#include <QtGlobal>

namespace mereval::paysim {

// Records 1..N sit at fields 100..99+N, so the highest index bounds N.
inline constexpr qint32 kMaxReportRows =
    session::MessageCodec::kMaxIndex - session::catalogue::field::FirstRecord + 1;

// The body of "0020" for a period (yymmddhhnnss texts of "0019"): report
// version 0, the record count and the records, rows clamped to
// 0..kMaxReportRows. The records are made up but the same for the same
// period texts and count: a few terminals, times spread over the period in
// ascending order, repeating and distinct cards, some unsent, reserved,
// tipped, declined and cancelled transactions. An unreadable start counts
// as today 00:00:00, an unreadable end as the end of the start's day; a
// reversed period is turned round.
FieldList ReportDataBody(const QByteArray& periodStart, const QByteArray& periodEnd, qint32 rows);

}  // namespace mereval::paysim
