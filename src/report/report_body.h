#pragma once

#include "report/page_frame.h"
#include "report/pdf_writer.h"
#include "report/report_table.h"

#include <QtGlobal>

#include <array>
#include <functional>

namespace mereval::report {

// Widths in millimetres of the printed columns 1 to 11 (index 0 unused).
using ColumnWidths = std::array<float, column::LastText + 1>;

// The table's widths for a grouping column: the grouped column is not
// printed and its width goes to the amount column, so that the table still
// ends at the right edge. Group 0 is no grouping.
ColumnWidths PrepareColumnWidths(quint8 group);

// Row 0 of the table: the column headings, leading blanks included.
void FillHeadingRow(ReportTable& table);

// Where the body goes and what it tells while it grows.
struct BodyLayout {
    PdfWriter& writer;
    const PageFrame& page;
    float& y;
    qint16& pageNumber;
    // After each row has been marked printed, with the number printed so far.
    std::function<void(qint32 printedRows)> rowPrinted;
    // Once per group and once per row: the window may repaint.
    std::function<void()> letEventsRun;
};

// The table rows 1 to rowCount under their group headings, each group with
// its totals, then the grand totals. Groups come in the order of their first
// row and keep the table's order inside; a group is made of the rows whose
// grouping cell holds the same text. Rows are marked printed as they go.
// Time and memory are linear in the rows, whatever the number of groups.
void LayOutReportBody(ReportTable& table, qint32 rowCount, quint8 group, const ColumnWidths& widths,
                      BodyLayout& layout);

}  // namespace mereval::report
