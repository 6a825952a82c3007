#pragma once

#include "report/pdf_writer.h"

#include <hpdf.h>

#include <array>
#include <functional>
#include <future>
#include <string>

namespace mereval::report {

// PdfWriter over libharu: A4 portrait pages, the base-14 fonts (nothing
// embedded) in the Windows-1257 encoding, compressed content streams.
//
// "Arial" and "Helvetica" are Helvetica (Arial's metrics), "Times New Roman"
// and "Times" are Times, "Courier New" and "Courier" are Courier; any other
// family is drawn as Helvetica, as a PDF viewer would substitute it. Lines
// are black, 0.5 pt wide. Without SetUnits the unit is the millimetre.
//
// A failed drawing call does not stop the document: the writer goes on, and
// Save then refuses with the first failure, so that an incomplete report is
// never shown as if it were whole.
class HaruPdfWriter final : public PdfWriter {
public:
    HaruPdfWriter();
    ~HaruPdfWriter() override;
    HaruPdfWriter(const HaruPdfWriter&) = delete;
    HaruPdfWriter& operator=(const HaruPdfWriter&) = delete;

    // With a handler, Save compresses and writes on a worker thread, and the
    // destructor frees the document there, calling handler every few
    // milliseconds until done, so that the window can repaint meanwhile.
    // The handler must not use this writer.
    void SetWaitHandler(std::function<void()> handler) { waitHandler_ = std::move(handler); }

    void SetCurrentX(float x) override { currentX_ = x; }
    void SetCurrentY(float y) override { currentY_ = y; }
    void SetLineStyle(qint16 style) override { lineStyle_ = style; }
    qint16 LineStyle() const override { return lineStyle_; }
    void SetBold(bool bold) override { bold_ = bold; }
    bool Bold() const override { return bold_; }
    void SetItalic(bool italic) override { italic_ = italic; }
    bool Italic() const override { return italic_; }
    void SetTextColor(qint32 color) override { textColor_ = color; }
    qint32 TextColor() const override { return textColor_; }
    void SetUnits(qint16 units) override;
    void SetFileName(const QString& path) override { fileName_ = path; }
    void SetFontSize(float points) override { fontSize_ = points; }
    float FontSize() const override { return fontSize_; }
    void SetFontName(const QString& name) override;
    QString FontName() const override { return fontName_; }

    void AddPage() override;
    QString Save() override;
    void WriteText(const QString& text) override;
    void DrawLine(float x1, float y1, float x2, float y2) override;
    float TextWidth(const QString& text) override;

private:
    enum Family { kHelvetica, kTimes, kCourier, kFamilies };

    static void OnError(HPDF_STATUS error, HPDF_STATUS detail, void* self);
    void NewPage();
    void EndText();
    HPDF_Font CurrentFont();
    // The text in the document's encoding in encoded_, ready for libharu.
    const std::string& Encode(const QString& text);
    QString WriteFile();
    template <typename Result>
    Result WaitFor(std::future<Result> work) const;
    QString ErrorText() const;

    HPDF_Doc doc_ = nullptr;
    HPDF_Page page_ = nullptr;
    std::function<void()> waitHandler_;
    HPDF_STATUS firstError_ = HPDF_OK;
    HPDF_STATUS firstErrorDetail_ = HPDF_OK;

    float currentX_ = 0;
    float currentY_ = 0;
    qint16 lineStyle_ = kSolid;
    bool bold_ = false;
    bool italic_ = false;
    qint32 textColor_ = 0;
    float pointsPerUnit_;
    QString fileName_;
    float fontSize_ = 10;
    QString fontName_;
    Family family_ = kHelvetica;

    std::array<std::array<HPDF_Font, 4>, kFamilies> fonts_{};
    std::string encoded_;

    // What the current page's content stream has set, so that nothing is
    // written twice; reset with every page.
    float pageHeight_ = 0;
    bool inText_ = false;
    HPDF_Font pageFont_ = nullptr;
    float pageFontSize_ = 0;
    qint32 pageFill_ = 0;
    qint16 pageDash_ = kSolid;
};

}  // namespace mereval::report
