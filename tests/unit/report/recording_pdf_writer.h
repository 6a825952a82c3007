#pragma once

#include "report/pdf_writer.h"

#include <QString>
#include <QStringList>

namespace mereval::test {

// A PdfWriter that draws nothing and notes each page and text with the state
// it was drawn in: "page", "text 27 50 Arial 9 b i c255 |text|" (b, i: bold,
// italic). A character is 2 mm wide in every font.
class RecordingPdfWriter final : public report::PdfWriter {
public:
    QStringList calls;

    void SetCurrentX(float x) override { x_ = x; }
    void SetCurrentY(float y) override { y_ = y; }
    void SetLineStyle(qint16 style) override { lineStyle_ = style; }
    qint16 LineStyle() const override { return lineStyle_; }
    void SetBold(bool bold) override { bold_ = bold; }
    bool Bold() const override { return bold_; }
    void SetItalic(bool italic) override { italic_ = italic; }
    bool Italic() const override { return italic_; }
    void SetTextColor(qint32 color) override { color_ = color; }
    qint32 TextColor() const override { return color_; }
    void SetUnits(qint16) override {}
    void SetFileName(const QString&) override {}
    void SetFontSize(float points) override { size_ = points; }
    float FontSize() const override { return size_; }
    void SetFontName(const QString& name) override { font_ = name; }
    QString FontName() const override { return font_; }

    void AddPage() override { calls.append(QStringLiteral("page")); }
    QString Save() override { return {}; }
    void WriteText(const QString& text) override {
        calls.append(QStringLiteral("text %1 %2 %3 %4 %5%6c%7 |%8|")
                         .arg(x_)
                         .arg(y_)
                         .arg(font_)
                         .arg(size_)
                         .arg(bold_ ? QStringLiteral("b ") : QString())
                         .arg(italic_ ? QStringLiteral("i ") : QString())
                         .arg(color_)
                         .arg(text));
    }
    void DrawLine(float, float, float, float) override {}
    float TextWidth(const QString& text) override { return 2.0F * float(text.size()); }

private:
    float x_ = 0;
    float y_ = 0;
    qint16 lineStyle_ = 0;
    bool bold_ = false;
    bool italic_ = false;
    qint32 color_ = 0;
    float size_ = 0;
    QString font_;
};

}  // namespace mereval::test
