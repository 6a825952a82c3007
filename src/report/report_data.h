#pragma once

#include "report/report_services.h"
#include "report/report_state.h"
#include "report/report_table.h"
#include "session/message_codec.h"

#include <QString>

#include <functional>
#include <optional>

namespace mereval::report {

// The box when the payment system sends a report in a form this program
// does not know.
inline const QString kUnknownReportFormat = QStringLiteral("Aruande andmete vorming on tundmatu.");

// The transactions of a "0020" message as report rows, in message order:
// records that do not parse are skipped, a response code of 10000 or more
// always drops the record, one of 100 or more drops it when only successful
// transactions are wanted. Missing fields read as empty texts and zeros (a
// send status of 0 is sent). No table when the report version (field 6) is
// not 0 to 9.
//
// Decided here beyond what the payment system promises: a negative record
// count is 0, and a count past the last field index a message can have ends
// there; an amount that is not a finite number is 0; a send status that is
// present but empty counts as absent, that is, sent.
std::optional<ReportTable> DecodeReportTable(const session::MessageCodec& message,
                                             bool onlyApproved,
                                             const std::function<void()>& letEventsRun = {});

// The report data handler: decodes the message, lays out the document and
// hands it to the viewer, with the state's grouping and filter and the
// period line of the request. A report version out of range is logged and
// told in an error box (kUnknownReportFormat) and nothing is drawn. The
// caller ends the operation afterwards in every case.
void DecodeReportData(const session::MessageCodec& message, const ReportState& state,
                      const QString& periodText, ReportServices& services);

}  // namespace mereval::report
