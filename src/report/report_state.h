#pragma once

#include <QString>
#include <QtGlobal>

namespace mereval::report {

// The cashier's choices for the report, kept from one request to the next.
// The period travels in "0019"; the grouping and the filter act on the
// answer.
struct ReportState {
    QString ReportStartCode;  // yymmdd000000
    QString ReportEndCode;    // yymmdd235959
    // 0, or the report column grouped on: 1, 2, 5, 6 or 11.
    quint8 ReportGroup = 0;
    bool ReportOnlyApproved = false;
};

}  // namespace mereval::report
