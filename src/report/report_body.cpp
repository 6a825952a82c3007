#include "report/report_body.h"

#include "report/amount_text.h"

#include <QHashFunctions>  // std::hash<QString>

#include <algorithm>
#include <numeric>
#include <unordered_map>
#include <vector>

namespace mereval::report {
namespace {

constexpr ColumnWidths kWidths = {0, 25, 20, 22, 19, 38, 15, 15, 0, 0, 5, 14};

const std::array<QString, column::LastText + 1> kHeadings = {
    QString(),
    QStringLiteral(" Terminal"),
    QStringLiteral(" Kuupaev"),
    QStringLiteral("   Kell"),
    QStringLiteral("STAN"),
    QStringLiteral("     Kaart"),
    QStringLiteral("Kood"),
    QStringLiteral("  Summa"),
    QString(),
    QString(),
    QString(),
    QStringLiteral("Saadetud"),
};

constexpr float kFontSize = 9;
constexpr float kGroupGap = 15;
constexpr float kLineStep = 5;
constexpr float kRuleBelowRow = 4;
constexpr float kAmountPadding = 2;
constexpr float kGrandTotalsGap = 10;
constexpr float kAfterDoubleRule = 2;
constexpr float kGroupLabelOffset = 40;
constexpr float kGrandLabelOffset = 60;

// Columns 1 to 11 may be grouped on; anything else is no grouping.
quint8 GroupColumn(quint8 group) {
    return group <= column::LastText ? group : 0;
}

struct Sums {
    double sent = 0;
    double unsent = 0;
    double reserved = 0;
};

struct TotalLabels {
    QString sent;
    QString unsent;
    QString reserved;
    QString all;
};

const TotalLabels kGroupLabels = {QStringLiteral("Saadetud:"), QStringLiteral("Saatmata:"),
                                  QStringLiteral("Broneeritud:"), QStringLiteral("Kokku:")};
const TotalLabels kGrandLabels = {
    QStringLiteral("Saadetud summa:"), QStringLiteral("Saatmata summa:"),
    QStringLiteral("Broneeritud summa:"), QStringLiteral("Summa kokku:")};

// Rows 1..rowCount by group: the groups in the order of their first row,
// each in table order, found in one pass with a hash of the group texts.
struct GroupedRows {
    std::vector<qint32> rows;
    std::vector<qint32> starts;  // group g is rows[starts[g] .. starts[g + 1])
};

GroupedRows GroupRows(const ReportTable& table, qint32 rowCount, quint8 group) {
    GroupedRows grouped;
    grouped.rows.resize(static_cast<size_t>(rowCount));
    if (group == 0) {
        std::iota(grouped.rows.begin(), grouped.rows.end(), 1);
        grouped.starts = {0};
        if (rowCount > 0) {
            grouped.starts.push_back(rowCount);
        }
        return grouped;
    }
    std::unordered_map<QString, qint32> ids;
    ids.reserve(static_cast<size_t>(rowCount));
    std::vector<qint32> groupOf(static_cast<size_t>(rowCount) + 1);
    std::vector<qint32> sizes;
    for (qint32 r = 1; r <= rowCount; ++r) {
        const auto [it, inserted] = ids.try_emplace(table.Row(r)[group], qint32(sizes.size()));
        if (inserted) {
            sizes.push_back(0);
        }
        groupOf[static_cast<size_t>(r)] = it->second;
        ++sizes[static_cast<size_t>(it->second)];
    }
    grouped.starts.resize(sizes.size() + 1);
    grouped.starts[0] = 0;
    for (size_t g = 0; g < sizes.size(); ++g) {
        grouped.starts[g + 1] = grouped.starts[g] + sizes[g];
    }
    std::vector<qint32> next(grouped.starts.begin(), grouped.starts.end() - 1);
    for (qint32 r = 1; r <= rowCount; ++r) {
        const auto g = static_cast<size_t>(groupOf[static_cast<size_t>(r)]);
        grouped.rows[static_cast<size_t>(next[g]++)] = r;
    }
    return grouped;
}

QString GroupHeading(const ReportRow& row, quint8 group) {
    if (group == 0) {
        return {};
    }
    const QString& value = row[group];
    switch (group) {
        case column::ResponseCode:
            return QStringLiteral("Kood: ") + value;
        case column::Sent:
            return value == kSentMark ? QStringLiteral("Saadetud") : QStringLiteral("Saatmata");
        case column::Card:
            return value.isEmpty() ? QStringLiteral(u"Tundmatu väljaandja") : value;
        default:
            return value;
    }
}

class BodyWriter {
public:
    BodyWriter(ReportTable& table, quint8 group, const ColumnWidths& widths, BodyLayout& layout)
        : table_(table),
          group_(group),
          widths_(widths),
          layout_(layout),
          writer_(layout.writer),
          x_(frame::kLeftMargin) {
        // Every row puts its amounts' right edge here; an empty table has
        // the same edge, for its grand totals.
        float x = frame::kLeftMargin;
        for (int c = 1; c < column::Amount; ++c) {
            if (c != group_) {
                x += widths_[static_cast<size_t>(c)];
            }
        }
        amountEdge_ = x + widths_[column::Amount] - kAmountPadding;
    }

    void Run(qint32 rowCount) {
        const GroupedRows grouped = GroupRows(table_, rowCount, group_);
        for (size_t g = 0; g + 1 < grouped.starts.size(); ++g) {
            LetEventsRun();
            const auto begin = static_cast<size_t>(grouped.starts[g]);
            const auto end = static_cast<size_t>(grouped.starts[g + 1]);
            OpenGroup(table_.Row(grouped.rows[begin]));
            for (size_t i = begin; i < end; ++i) {
                LetEventsRun();
                PrintRow(table_.Row(grouped.rows[i]));
            }
            SetTotalsFont();
            WriteGroupTotals();
        }
        // The pass that finds no row left.
        LetEventsRun();
        SetTotalsFont();
        WriteGrandTotals();
    }

private:
    void LetEventsRun() {
        if (layout_.letEventsRun) {
            layout_.letEventsRun();
        }
    }

    void Advance(float dy) {
        AdvanceLine(layout_.y, dy, writer_, layout_.pageNumber, layout_.page);
    }

    void WriteAt(float x, float y, const QString& text) {
        writer_.SetCurrentX(x);
        writer_.SetCurrentY(y);
        if (!text.isEmpty()) {
            writer_.WriteText(text);
        }
    }

    void OpenGroup(const ReportRow& first) {
        groupSums_ = {};
        Advance(kGroupGap);
        writer_.SetFontSize(kFontSize);
        writer_.SetBold(true);
        writer_.SetItalic(false);
        WriteAt(frame::kLeftMargin, layout_.y, GroupHeading(first, group_));

        Advance(kLineStep);
        x_ = frame::kLeftMargin;
        writer_.SetFontSize(kFontSize);
        writer_.SetItalic(true);
        writer_.SetBold(false);
        for (int c = 1; c <= column::LastText; ++c) {
            if (c == group_) {
                continue;
            }
            const QString& heading = table_.Row(0)[c];
            float x = x_;
            if (c == column::Amount) {
                x = x_ + widths_[column::Amount] - kAmountPadding - writer_.TextWidth(heading);
            }
            x_ += widths_[static_cast<size_t>(c)];
            WriteAt(x, layout_.y, heading);
        }
    }

    void PrintRow(ReportRow& row) {
        writer_.SetFontSize(kFontSize);
        writer_.SetBold(false);
        writer_.SetItalic(false);
        row[column::Printed] = kFlagSet;
        ++printed_;
        if (layout_.rowPrinted) {
            layout_.rowPrinted(printed_);
        }

        const bool sent = !row[column::Sent].isEmpty();
        double& sentOrUnsent = sent ? groupSums_.sent : groupSums_.unsent;
        QString letter;
        if (!row[column::Cancelled].isEmpty()) {
            letter = QStringLiteral("T");
            sentOrUnsent += row.counted;
        } else if (!row[column::Reservation].isEmpty()) {
            letter = QStringLiteral("B");
            groupSums_.reserved += row.counted;
        } else if (!row[column::Tip].isEmpty()) {
            letter = QStringLiteral("E");
            sentOrUnsent += row.counted;
        } else {
            sentOrUnsent += row.counted;
        }

        Advance(kLineStep);
        x_ = frame::kLeftMargin;
        for (int c = 1; c <= column::LastText; ++c) {
            if (c == group_) {
                continue;
            }
            float x = x_;
            if (c == column::Amount) {
                x = x_ + widths_[column::Amount] - writer_.TextWidth(row[c]) - kAmountPadding;
            }
            x_ += widths_[static_cast<size_t>(c)];
            switch (c) {
                case column::Tip:
                case column::Reservation:
                    break;
                case column::Cancelled:
                    WriteAt(x, layout_.y, letter);
                    break;
                default:
                    WriteAt(x, layout_.y, row[c]);
                    break;
            }
        }
        writer_.SetLineStyle(PdfWriter::kDot);
        const float rule = layout_.y + kRuleBelowRow;
        writer_.DrawLine(frame::kLeftMargin, rule, x_, rule);
    }

    void SetTotalsFont() {
        writer_.SetFontSize(kFontSize);
        writer_.SetBold(true);
        writer_.SetItalic(false);
    }

    void WriteTotal(const QString& label, double sum, float labelOffset) {
        WriteAt(amountEdge_ - labelOffset, layout_.y, label);
        const QString value = AmountText(sum);
        WriteAt(amountEdge_ - writer_.TextWidth(value), layout_.y, value);
    }

    // Only the sums that are not 0, and their total unless exactly one was
    // written.
    void WriteTotals(const Sums& sums, const TotalLabels& labels, float labelOffset) {
        int lines = 0;
        if (sums.sent != 0) {
            lines = 1;
            WriteTotal(labels.sent, sums.sent, labelOffset);
        }
        if (sums.unsent != 0) {
            ++lines;
            Advance(kLineStep);
            WriteTotal(labels.unsent, sums.unsent, labelOffset);
        }
        if (sums.reserved != 0) {
            ++lines;
            Advance(kLineStep);
            WriteTotal(labels.reserved, sums.reserved, labelOffset);
        }
        if (lines != 1) {
            Advance(kLineStep);
            WriteTotal(labels.all, sums.reserved + sums.sent + sums.unsent, labelOffset);
        }
    }

    void WriteGroupTotals() {
        Advance(kLineStep);
        writer_.SetLineStyle(PdfWriter::kSolid);
        writer_.DrawLine(frame::kLeftMargin, layout_.y, x_, layout_.y);
        layout_.y = layout_.y + 1;  // no page break between the rule and its totals
        grandSums_.sent += groupSums_.sent;
        grandSums_.unsent += groupSums_.unsent;
        grandSums_.reserved += groupSums_.reserved;
        WriteTotals(groupSums_, kGroupLabels, kGroupLabelOffset);
    }

    // Under a double rule, in the line style last used: solid after any
    // group, dotted when the table had no rows.
    void WriteGrandTotals() {
        Advance(kGrandTotalsGap);
        writer_.DrawLine(frame::kLeftMargin, layout_.y, x_, layout_.y);
        layout_.y = layout_.y + 1;
        writer_.DrawLine(frame::kLeftMargin, layout_.y, x_, layout_.y);
        Advance(kAfterDoubleRule);
        WriteTotals(grandSums_, kGrandLabels, kGrandLabelOffset);
    }

    ReportTable& table_;
    const quint8 group_;
    const ColumnWidths& widths_;
    BodyLayout& layout_;
    PdfWriter& writer_;
    float x_;
    float amountEdge_ = 0;
    qint32 printed_ = 0;
    Sums groupSums_;
    Sums grandSums_;
};

}  // namespace

ColumnWidths PrepareColumnWidths(quint8 group) {
    ColumnWidths widths = kWidths;
    const quint8 g = GroupColumn(group);
    if (g != 0) {
        widths[column::Amount] += widths[g];
    }
    return widths;
}

void FillHeadingRow(ReportTable& table) {
    ReportRow& heading = table.Row(0);
    for (int c = 1; c <= column::LastText; ++c) {
        heading[c] = kHeadings[static_cast<size_t>(c)];
    }
}

void LayOutReportBody(ReportTable& table, qint32 rowCount, quint8 group, const ColumnWidths& widths,
                      BodyLayout& layout) {
    BodyWriter(table, GroupColumn(group), widths, layout)
        .Run(std::clamp(rowCount, 0, table.RowCount()));
}

}  // namespace mereval::report
