#pragma once

#include "report/report_services.h"
#include "report/report_table.h"

#include <QDateTime>
#include <QString>
#include <QtGlobal>

namespace mereval::report {

inline const QString kReportFileName = QStringLiteral("Report.pdf");

// The date and time at the top of every page: the till's short date and the
// time to the second.
QString ReportDateTimeText(const QDateTime& when);

// The status line while the document grows: the share of rows laid out,
// rounded half to even.
QString ProgressText(qint32 printedRows, qint32 rowCount);

// Lays out rows 1 to rowCount of the table (grouped on column group, 0 for
// none) as "Report.pdf" in the program's folder and opens it in the
// desktop's viewer. A failed save or a missing viewer is told to the cashier
// in an error box; either way the run ends normally. Writes the table's
// heading row and printed marks.
void BuildReportDocument(ReportTable& table, qint32 rowCount, quint8 group,
                         const QString& periodText, ReportServices& services);

}  // namespace mereval::report
