#pragma once

#include "report/pdf_writer.h"

#include <QString>
#include <QtGlobal>

namespace mereval::report {

// The frame of every report page, in millimetres from the top-left corner.
namespace frame {
inline constexpr float kLeftMargin = 27;
inline constexpr float kRightEdge = 200;
inline constexpr float kTitleY = 10;
inline constexpr float kDateY = 15;
inline constexpr float kPeriodY = 20;
inline constexpr float kFirstPageBodyY = 25;  // before the first body line
inline constexpr float kNextPageBodyY = 35;   // after a page break
inline constexpr float kPageBreakY = 260;     // a line below it starts a page
inline constexpr float kFooterY = 270;
inline constexpr float kPageNumberX = 190;

inline constexpr qint32 kTitleColor = 255;  // red
inline constexpr qint32 kFooterColor = 0x707070;
}  // namespace frame

// What every page repeats: the title block and the legend.
struct PageFrame {
    float leftMargin = frame::kLeftMargin;
    // Taken when the run starts, the same on every page.
    QString dateTimeText;
    QString periodText;
};

// Title, period line and the date and time ending at the right edge.
void DrawPageHeader(PdfWriter& writer, const PageFrame& page);
// The legend of the type letters and the page number.
void DrawPageFooter(PdfWriter& writer, qint16 pageNumber, const PageFrame& page);

// Moves the line position down by dy. A position past the page-break limit
// (exactly at it stays) closes the page with its footer and continues on a
// new page under a new title block at kNextPageBodyY; the font, colour and
// line style in use come back afterwards.
void AdvanceLine(float& y, float dy, PdfWriter& writer, qint16& pageNumber, const PageFrame& page);

}  // namespace mereval::report
