#include "report/page_frame.h"

namespace mereval::report {

void DrawPageHeader(PdfWriter& writer, const PageFrame& page) {
    writer.SetFontSize(14);
    writer.SetBold(true);
    writer.SetItalic(false);
    writer.SetTextColor(frame::kTitleColor);
    writer.SetCurrentX(page.leftMargin);
    writer.SetCurrentY(frame::kTitleY);
    writer.WriteText(QStringLiteral("Maksetehingute aruanne"));

    writer.SetTextColor(0);
    writer.SetFontSize(9);
    writer.SetBold(true);
    writer.SetItalic(false);
    writer.SetCurrentX(page.leftMargin);
    writer.SetCurrentY(frame::kPeriodY);
    writer.WriteText(page.periodText);

    writer.SetFontSize(8);
    writer.SetBold(false);
    writer.SetItalic(true);
    writer.SetCurrentX(frame::kRightEdge - writer.TextWidth(page.dateTimeText));
    writer.SetCurrentY(frame::kDateY);
    writer.WriteText(page.dateTimeText);
}

void DrawPageFooter(PdfWriter& writer, qint16 pageNumber, const PageFrame& page) {
    writer.SetFontName(QStringLiteral("Arial"));
    writer.SetFontSize(9);
    writer.SetBold(true);
    writer.SetItalic(false);
    writer.SetTextColor(frame::kFooterColor);
    writer.SetCurrentX(page.leftMargin);
    writer.SetCurrentY(frame::kFooterY);
    writer.WriteText(QStringLiteral(u"E - Jootraha lisatud, T - Tühistamine, B - Broneering"));
    writer.SetCurrentX(frame::kPageNumberX);
    writer.SetCurrentY(frame::kFooterY);
    writer.WriteText(QString::number(pageNumber));
}

void AdvanceLine(float& y, float dy, PdfWriter& writer, qint16& pageNumber, const PageFrame& page) {
    y = y + dy;
    if (!(y > frame::kPageBreakY)) {
        return;
    }
    const QString fontName = writer.FontName();
    const float fontSize = writer.FontSize();
    const bool bold = writer.Bold();
    const bool italic = writer.Italic();
    const qint32 color = writer.TextColor();
    const qint16 lineStyle = writer.LineStyle();

    DrawPageFooter(writer, pageNumber, page);
    writer.SetTextColor(0);
    writer.AddPage();
    pageNumber = static_cast<qint16>(pageNumber + 1);
    DrawPageHeader(writer, page);
    y = frame::kNextPageBodyY;

    writer.SetFontName(fontName);
    writer.SetFontSize(fontSize);
    writer.SetItalic(italic);
    writer.SetBold(bold);
    writer.SetTextColor(color);
    writer.SetLineStyle(lineStyle);
}

}  // namespace mereval::report
