#pragma once

#include <QString>
#include <QtGlobal>

namespace mereval::report {

// Draws text and lines on numbered pages and saves them as a PDF file.
// Positions and lengths are in the unit that SetUnits chose, measured from
// the top-left corner of the page, x to the right and y downwards; a text is
// placed with its top-left corner at (CurrentX, CurrentY). Font sizes are in
// points, colours 0x00BBGGRR. The first page exists from the start; pages
// only grow.
//
// The report builder works through this interface, so that tests can record
// what it draws and a benchmark can put another PDF engine under it.
class PdfWriter {
public:
    // SetUnits values (the scale modes of the till's original platform).
    static constexpr qint16 kTwips = 1;
    static constexpr qint16 kPoints = 2;
    static constexpr qint16 kPixels = 3;  // at 96 per inch
    static constexpr qint16 kInches = 5;
    static constexpr qint16 kMillimetres = 6;
    static constexpr qint16 kCentimetres = 7;

    // SetLineStyle values.
    static constexpr qint16 kSolid = 0;
    static constexpr qint16 kDash = 1;
    static constexpr qint16 kDot = 2;
    static constexpr qint16 kDashDot = 3;
    static constexpr qint16 kDashDotDot = 4;
    static constexpr qint16 kInvisible = 5;

    virtual ~PdfWriter() = default;

    virtual void SetCurrentX(float x) = 0;
    virtual void SetCurrentY(float y) = 0;
    virtual void SetLineStyle(qint16 style) = 0;
    virtual qint16 LineStyle() const = 0;
    virtual void SetBold(bool bold) = 0;
    virtual bool Bold() const = 0;
    virtual void SetItalic(bool italic) = 0;
    virtual bool Italic() const = 0;
    virtual void SetTextColor(qint32 color) = 0;
    virtual qint32 TextColor() const = 0;
    // An unknown unit leaves the unit as it was.
    virtual void SetUnits(qint16 units) = 0;
    virtual void SetFileName(const QString& path) = 0;
    virtual void SetFontSize(float points) = 0;
    virtual float FontSize() const = 0;
    virtual void SetFontName(const QString& name) = 0;
    virtual QString FontName() const = 0;

    // Ends the current page and starts a new, empty one.
    virtual void AddPage() = 0;
    // Writes the document to the file name; "" on success, otherwise what
    // went wrong, in words for the cashier's error box.
    virtual QString Save() = 0;
    virtual void WriteText(const QString& text) = 0;
    virtual void DrawLine(float x1, float y1, float x2, float y2) = 0;
    // The width of text in the current font, in the current unit.
    virtual float TextWidth(const QString& text) = 0;
};

}  // namespace mereval::report
