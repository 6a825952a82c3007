#pragma once

#include "report/pdf_writer.h"

#include <QString>
#include <QStringList>

namespace mereval::test {

// A PdfWriter that draws nothing and notes each page, text and line with the
// state it was drawn in: "page", "text 27 50 Arial 9 b i c255 |text|" (b, i:
// bold, italic), "line 2 27 54 200 54" (style, x1 y1 x2 y2), "save /path".
// A character is 2 mm wide in every font. The notes go to sink when given.
class RecordingPdfWriter final : public report::PdfWriter {
public:
    explicit RecordingPdfWriter(QStringList* sink = nullptr) : calls(sink ? *sink : own_) {}

private:
    QStringList own_;

public:
    QStringList& calls;
    QString saveResult;  // what Save returns

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
    void SetUnits(qint16 units) override { calls.append(QStringLiteral("units %1").arg(units)); }
    void SetFileName(const QString& path) override { fileName_ = path; }
    void SetFontSize(float points) override { size_ = points; }
    float FontSize() const override { return size_; }
    void SetFontName(const QString& name) override { font_ = name; }
    QString FontName() const override { return font_; }

    void AddPage() override { calls.append(QStringLiteral("page")); }
    QString Save() override {
        calls.append(QStringLiteral("save ") + fileName_);
        return saveResult;
    }
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
    void DrawLine(float x1, float y1, float x2, float y2) override {
        calls.append(
            QStringLiteral("line %1 %2 %3 %4 %5").arg(lineStyle_).arg(x1).arg(y1).arg(x2).arg(y2));
    }
    float TextWidth(const QString& text) override { return 2.0F * float(text.size()); }

private:
    float x_ = 0;
    float y_ = 0;
    qint16 lineStyle_ = 0;
    bool bold_ = false;
    bool italic_ = false;
    qint32 color_ = 0;
    QString fileName_;
    float size_ = 0;
    QString font_;
};

}  // namespace mereval::test
