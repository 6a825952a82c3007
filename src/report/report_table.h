#pragma once

#include <QString>
#include <QtGlobal>

#include <array>
#include <vector>

namespace mereval::report {

// Column numbers of a report row. The grouping of a report names its column
// by these numbers.
namespace column {
inline constexpr int Printed = 0;  // set when the row has been laid out
inline constexpr int Terminal = 1;
inline constexpr int Date = 2;  // dd.mm.20yy
inline constexpr int Time = 3;  // hh:nn:ss
inline constexpr int Stan = 4;
inline constexpr int Card = 5;
inline constexpr int ResponseCode = 6;  // " " and the number
inline constexpr int Amount = 7;        // the signed amount as text
inline constexpr int Tip = 8;           // flag cells: set when not empty
inline constexpr int Reservation = 9;
inline constexpr int Cancelled = 10;
inline constexpr int Sent = 11;  // kSentMark or empty
inline constexpr int LastText = 11;
}  // namespace column

inline const QString kSentMark = QStringLiteral("      +");
inline const QString kFlagSet = QStringLiteral("1");

struct ReportRow {
    std::array<QString, column::LastText + 1> cells;
    // Column 12: what the row adds to the totals; 0 for a declined one.
    double counted = 0;

    const QString& operator[](int c) const { return cells[static_cast<size_t>(c)]; }
    QString& operator[](int c) { return cells[static_cast<size_t>(c)]; }
};

// The decoded report: row 0 is the heading row, rows 1 to RowCount() the
// transactions kept, in the order of the message.
class ReportTable {
public:
    ReportTable() : rows_(1) {}

    qint32 RowCount() const { return static_cast<qint32>(rows_.size()) - 1; }
    ReportRow& Row(qint32 r) { return rows_[static_cast<size_t>(r)]; }
    const ReportRow& Row(qint32 r) const { return rows_[static_cast<size_t>(r)]; }
    ReportRow& AddRow() { return rows_.emplace_back(); }
    void Reserve(qint32 rows) { rows_.reserve(static_cast<size_t>(rows) + 1); }

private:
    std::vector<ReportRow> rows_;
};

}  // namespace mereval::report
