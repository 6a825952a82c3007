#include "report/haru_pdf_writer.h"

#include "common/code_page.h"

#include <QSaveFile>

#include <algorithm>
#include <chrono>
#include <future>

namespace mereval::report {
namespace {

constexpr float kMillimetre = 72.0F / 25.4F;
constexpr HPDF_REAL kLineWidth = 0.5F;
// The longest text that libharu draws in one piece; nobody reads more in a
// table cell anyway.
constexpr qsizetype kMaxTextBytes = HPDF_LIMIT_MAX_STRING_LEN;
constexpr auto kWaitSlice = std::chrono::milliseconds(5);

// Base-14 names by family, then plain, bold, italic, bold italic.
constexpr const char* kFontNames[3][4] = {
    {"Helvetica", "Helvetica-Bold", "Helvetica-Oblique", "Helvetica-BoldOblique"},
    {"Times-Roman", "Times-Bold", "Times-Italic", "Times-BoldItalic"},
    {"Courier", "Courier-Bold", "Courier-Oblique", "Courier-BoldOblique"},
};
constexpr const char* kEncoding = "CP1257";

// Dash patterns in points, by line style (1 to 4).
constexpr HPDF_UINT16 kDashPattern[] = {4, 2};
constexpr HPDF_UINT16 kDotPattern[] = {1, 2};
constexpr HPDF_UINT16 kDashDotPattern[] = {4, 2, 1, 2};
constexpr HPDF_UINT16 kDashDotDotPattern[] = {4, 2, 1, 2, 1, 2};

float PointsPerUnit(qint16 units) {
    switch (units) {
        case PdfWriter::kTwips:
            return 1.0F / 20.0F;
        case PdfWriter::kPoints:
            return 1.0F;
        case PdfWriter::kPixels:
            return 0.75F;
        case PdfWriter::kInches:
            return 72.0F;
        case PdfWriter::kMillimetres:
            return kMillimetre;
        case PdfWriter::kCentimetres:
            return 10.0F * kMillimetre;
        default:
            return 0;
    }
}

HPDF_REAL Component(qint32 color, int shift) {
    return HPDF_REAL((color >> shift) & 0xFF) / 255.0F;
}

}  // namespace

HaruPdfWriter::HaruPdfWriter() : pointsPerUnit_(kMillimetre), fontName_(QStringLiteral("Arial")) {
    doc_ = HPDF_New(&HaruPdfWriter::OnError, this);
    if (doc_ == nullptr) {
        firstError_ = HPDF_FAILD_TO_ALLOC_MEM;
        return;
    }
    HPDF_SetCompressionMode(doc_, HPDF_COMP_ALL);
    NewPage();
}

HaruPdfWriter::~HaruPdfWriter() {
    if (doc_ == nullptr) {
        return;
    }
    // Thousands of pages take a while to free: beside the window's thread
    // too, when it is waiting for us.
    if (!waitHandler_) {
        HPDF_Free(doc_);
        return;
    }
    WaitFor(std::async(std::launch::async, [doc = doc_] { HPDF_Free(doc); }));
}

template <typename Result>
Result HaruPdfWriter::WaitFor(std::future<Result> work) const {
    while (work.wait_for(kWaitSlice) != std::future_status::ready) {
        waitHandler_();
    }
    return work.get();
}

void HaruPdfWriter::OnError(HPDF_STATUS error, HPDF_STATUS detail, void* self) {
    auto* writer = static_cast<HaruPdfWriter*>(self);
    // Reading the saved document back ends with an "error" that is none.
    if (error == HPDF_STREAM_EOF) {
        return;
    }
    if (writer->firstError_ == HPDF_OK) {
        writer->firstError_ = error;
        writer->firstErrorDetail_ = detail;
    }
    // libharu refuses every later call while an error is set; the document
    // goes on, and Save reports the failure.
    HPDF_ResetError(writer->doc_);
}

void HaruPdfWriter::SetUnits(qint16 units) {
    const float factor = PointsPerUnit(units);
    if (factor > 0) {
        pointsPerUnit_ = factor;
    }
}

void HaruPdfWriter::SetFontName(const QString& name) {
    fontName_ = name;
    const QString family = name.trimmed().toLower();
    if (family == u"times new roman" || family == u"times") {
        family_ = kTimes;
    } else if (family == u"courier new" || family == u"courier") {
        family_ = kCourier;
    } else {
        family_ = kHelvetica;
    }
}

void HaruPdfWriter::NewPage() {
    page_ = HPDF_AddPage(doc_);
    if (page_ != nullptr) {
        HPDF_Page_SetSize(page_, HPDF_PAGE_SIZE_A4, HPDF_PAGE_PORTRAIT);
        HPDF_Page_SetLineWidth(page_, kLineWidth);
        pageHeight_ = HPDF_Page_GetHeight(page_);
    }
    inText_ = false;
    pageFont_ = nullptr;
    pageFontSize_ = 0;
    pageFill_ = 0;  // a page starts black and solid
    pageDash_ = kSolid;
}

void HaruPdfWriter::AddPage() {
    if (doc_ == nullptr) {
        return;
    }
    EndText();
    NewPage();
}

void HaruPdfWriter::EndText() {
    if (inText_) {
        HPDF_Page_EndText(page_);
        inText_ = false;
    }
}

HPDF_Font HaruPdfWriter::CurrentFont() {
    const int style = (bold_ ? 1 : 0) + (italic_ ? 2 : 0);
    HPDF_Font& font = fonts_[family_][style];
    if (font == nullptr) {
        font = HPDF_GetFont(doc_, kFontNames[family_][style], kEncoding);
    }
    return font;
}

const std::string& HaruPdfWriter::Encode(const QString& text) {
    const qsizetype size = std::min(text.size(), kMaxTextBytes);
    encoded_.resize(static_cast<size_t>(size));
    const QChar* in = text.constData();
    for (qsizetype i = 0; i < size; ++i) {
        const char16_t c = in[i].unicode();
        if (c >= 0x80) {
            encoded_ = common::ToCodePage(text.left(size)).toStdString();
            break;
        }
        encoded_[static_cast<size_t>(i)] = static_cast<char>(c);
    }
    // Control characters have no glyph, and a zero byte would end the text
    // early for libharu: both show as blanks.
    for (char& byte : encoded_) {
        if (static_cast<unsigned char>(byte) < 0x20) {
            byte = ' ';
        }
    }
    return encoded_;
}

void HaruPdfWriter::WriteText(const QString& text) {
    if (page_ == nullptr || text.isEmpty() || !(fontSize_ > 0)) {
        return;
    }
    const std::string& bytes = Encode(text);
    HPDF_Font font = CurrentFont();
    if (font == nullptr) {
        return;
    }
    const float size = std::min(fontSize_, float(HPDF_MAX_FONTSIZE));
    if (!inText_) {
        HPDF_Page_BeginText(page_);
        inText_ = true;
    }
    if (font != pageFont_ || size != pageFontSize_) {
        HPDF_Page_SetFontAndSize(page_, font, size);
        pageFont_ = font;
        pageFontSize_ = size;
    }
    if (textColor_ != pageFill_) {
        HPDF_Page_SetRGBFill(page_, Component(textColor_, 0), Component(textColor_, 8),
                             Component(textColor_, 16));
        pageFill_ = textColor_;
    }
    // The top of the text is its font's ascender line.
    const float baseline = pageHeight_ - currentY_ * pointsPerUnit_ -
                           float(HPDF_Font_GetAscent(font)) * size / 1000.0F;
    HPDF_Page_SetTextMatrix(page_, 1, 0, 0, 1, currentX_ * pointsPerUnit_, baseline);
    HPDF_Page_ShowText(page_, bytes.c_str());
}

float HaruPdfWriter::TextWidth(const QString& text) {
    if (doc_ == nullptr || text.isEmpty() || !(fontSize_ > 0)) {
        return 0;
    }
    const std::string& bytes = Encode(text);
    HPDF_Font font = CurrentFont();
    if (font == nullptr) {
        return 0;
    }
    const float size = std::min(fontSize_, float(HPDF_MAX_FONTSIZE));
    const HPDF_TextWidth width = HPDF_Font_TextWidth(
        font, reinterpret_cast<const HPDF_BYTE*>(bytes.data()), HPDF_UINT(bytes.size()));
    return float(width.width) * size / 1000.0F / pointsPerUnit_;
}

void HaruPdfWriter::DrawLine(float x1, float y1, float x2, float y2) {
    if (page_ == nullptr || lineStyle_ == kInvisible) {
        return;
    }
    EndText();
    if (lineStyle_ != pageDash_) {
        switch (lineStyle_) {
            case kDash:
                HPDF_Page_SetDash(page_, kDashPattern, std::size(kDashPattern), 0);
                break;
            case kDot:
                HPDF_Page_SetDash(page_, kDotPattern, std::size(kDotPattern), 0);
                break;
            case kDashDot:
                HPDF_Page_SetDash(page_, kDashDotPattern, std::size(kDashDotPattern), 0);
                break;
            case kDashDotDot:
                HPDF_Page_SetDash(page_, kDashDotDotPattern, std::size(kDashDotDotPattern), 0);
                break;
            default:
                HPDF_Page_SetDash(page_, nullptr, 0, 0);
                break;
        }
        pageDash_ = lineStyle_;
    }
    HPDF_Page_MoveTo(page_, x1 * pointsPerUnit_, pageHeight_ - y1 * pointsPerUnit_);
    HPDF_Page_LineTo(page_, x2 * pointsPerUnit_, pageHeight_ - y2 * pointsPerUnit_);
    HPDF_Page_Stroke(page_);
}

QString HaruPdfWriter::Save() {
    if (doc_ == nullptr) {
        return QStringLiteral("Out of memory");
    }
    if (fileName_.isEmpty()) {
        return QStringLiteral("No file name");
    }
    EndText();
    if (firstError_ != HPDF_OK) {
        return ErrorText();
    }
    // Compressing a long report takes a good part of a second: it runs
    // beside the window's thread, which keeps repainting meanwhile.
    if (!waitHandler_) {
        return WriteFile();
    }
    return WaitFor(std::async(std::launch::async, [this] { return WriteFile(); }));
}

// libharu's codes are all the detail there is; they name the failure in its
// documentation.
QString HaruPdfWriter::ErrorText() const {
    return QStringLiteral("PDF error 0x%1 (%2)")
        .arg(uint(firstError_), 4, 16, QLatin1Char('0'))
        .arg(uint(firstErrorDetail_));
}

// The document goes to a temporary file beside the target that replaces the
// target only when it is complete: an open viewer or a failed write never
// sees half a report.
QString HaruPdfWriter::WriteFile() {
    if (HPDF_SaveToStream(doc_) != HPDF_OK) {
        return ErrorText();
    }
    QSaveFile file(fileName_);
    // A report lists card numbers and amounts: for the till's own account
    // only, whatever the umask or an older file allowed.
    if (!file.open(QIODevice::WriteOnly) ||
        !file.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner)) {
        return file.errorString();
    }
    std::array<HPDF_BYTE, 64 * 1024> buffer{};
    for (;;) {
        HPDF_UINT32 size = buffer.size();
        const HPDF_STATUS status = HPDF_ReadFromStream(doc_, buffer.data(), &size);
        if (size > 0 && file.write(reinterpret_cast<const char*>(buffer.data()), size) != size) {
            return file.errorString();
        }
        if (status == HPDF_STREAM_EOF) {
            break;
        }
        if (status != HPDF_OK) {
            file.cancelWriting();
            return ErrorText();
        }
    }
    if (!file.commit()) {
        return file.errorString();
    }
    return {};
}

}  // namespace mereval::report
