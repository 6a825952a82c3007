// The transaction report at the largest size the protocol carries: a "0020"
// of 32,668 records (fields 100 to 32767), every card a different one,
// grouped by card, so that every row is a group of its own with its
// heading, column headings and totals. Times, from one run each:
//
// - ours: the report data handler as the program runs it, decoding the
//   records, laying out and saving Report.pdf through libharu;
// - floor: libharu alone drawing the very same texts and lines, prepared
//   beforehand, with no report logic; the two files must be byte for byte
//   the same. Target: ours / floor at most 1.3;
// - QPdfWriter: the same handler drawing through QPainter on a QPdfWriter,
//   what a Qt program would use by default. Target: QPdfWriter / ours at
//   least 3.
//
// Also printed: the peak memory of our run, and the longest the event loop
// went without turning during it, seen by a 10 ms timer (target at most
// 100 ms, so that the status line repaints). The handler is long and
// synchronous; these runs take seconds, so each figure is the median of a
// few repetitions (the minimum beside it), the contestants taking turns.
#include "common/code_page.h"
#include "report/haru_pdf_writer.h"
#include "report/report_data.h"
#include "report/report_document.h"
#include "report/report_services.h"
#include "session/conversions.h"
#include "session/message_catalogue.h"
#include "session/message_codec.h"
#include "session/traffic_log.h"

#include <QElapsedTimer>
#include <QFile>
#include <QFont>
#include <QFontMetricsF>
#include <QGuiApplication>
#include <QPageSize>
#include <QPainter>
#include <QPdfWriter>
#include <QTemporaryDir>
#include <QTimer>

#include <hpdf.h>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace {

using namespace mereval;
namespace field = session::catalogue::field;
namespace record = session::catalogue::record;

constexpr qint32 kRecords = session::MessageCodec::kMaxIndex - field::FirstRecord + 1;
constexpr int kRepetitions = 7;
constexpr int kQtRepetitions = 3;
constexpr double kFloorTarget = 1.3;
constexpr double kQtTarget = 3.0;
constexpr qint64 kGapTargetMs = 100;
const QString kPeriod = QStringLiteral("Periood: 01.03.2009 00:00:00 - 31.03.2009 23:59:59");

// ---------------------------------------------------------------------------
// The report data

// Like the simulator's records, but no card twice.
session::MessageCodec ReportMessage() {
    session::MessageCodec built;
    built.SetField(field::Code, "0020");
    built.SetField(field::ReportVersion, session::LongToBytes(0));
    built.SetField(field::RecordCount, session::LongToBytes(kRecords));
    const char* terminals[] = {"70011001", "70011002", "70011003"};
    const char* flags[] = {"000000", "000000", "000000", "000010", "000001", "000011"};
    const qint32 codes[] = {0, 0, 0, 0, 0, 0, 0, 5, 51, 120};
    quint32 seed = 12345;
    const auto next = [&seed](quint32 bound) {
        seed = seed * 1103515245U + 12345U;
        return (seed >> 8) % bound;
    };
    for (qint32 k = 0; k < kRecords; ++k) {
        session::MessageCodec fields;
        const qint32 second = k * 79;  // spread over the month, in order
        const QByteArray time = QStringLiteral("0903%1%2%3%4")
                                    .arg(1 + second / 86400, 2, 10, QLatin1Char('0'))
                                    .arg(second / 3600 % 24, 2, 10, QLatin1Char('0'))
                                    .arg(second / 60 % 60, 2, 10, QLatin1Char('0'))
                                    .arg(second % 60, 2, 10, QLatin1Char('0'))
                                    .toLatin1();
        fields.SetField(record::Terminal, terminals[next(3)]);
        fields.SetField(record::DateTime, time);
        fields.SetField(record::Stan, session::LongToBytes(100000 + k));
        fields.SetField(record::Amount, session::DoubleToBytes((100 + next(20000)) / 100.0));
        fields.SetField(record::Card, "4761" + QByteArray::number(730000 + k) + "******" +
                                          QByteArray::number(1000 + k % 9000));
        fields.SetField(
            record::SendStatus,
            session::catalogue::ByteValue(quint8(next(10) == 0 ? 200 + next(56) : next(200))));
        fields.SetField(record::Flags, flags[next(6)]);
        fields.SetField(record::ResponseCode, session::LongToBytes(codes[next(10)]));
        fields.SetField(record::Cancelled, session::LongToBytes(next(20) == 0 ? 1 : 0));
        built.SetField(static_cast<qint16>(field::FirstRecord + k), fields.Build());
    }
    QByteArray frame = built.Build();
    session::MessageCodec parsed;
    parsed.Parse(frame, frame);
    return parsed;
}

class QuietView final : public session::SessionView {
public:
    session::OperationTab SelectedTab() const override {
        return session::OperationTab::CardPayment;
    }
    QString EntryText(session::EntryField) const override { return {}; }
    QString TakeCardTrack() override { return {}; }
    void ShowStatusLine(const QString&) override { ++statusLines; }
    void ShowSessionText(const QString&) override {}
    void SetOperationRunning(bool) override {}
    void ClearCardNumber() override {}
    void ClearEntryFields() override {}
    void ShowOperationFrame() override {}
    void OpenBox(quint8, const QString& text, qint32) override { boxes.append(text); }
    void ReleaseBoxes() override {}
    void PrintReceipts(const QByteArray&, qint32, std::function<void()> done) override { done(); }

    int statusLines = 0;
    QStringList boxes;
};

class NoViewer final : public platform::DocumentOpener {
public:
    bool OpenDocument(const QString&) override { return true; }
};

// ---------------------------------------------------------------------------
// The floor: what the layout draws, captured once, then drawn straight with
// libharu.

struct DrawOp {
    enum Kind { kPage, kText, kLine } kind = kText;
    int style = 0;  // text: plain, bold, italic, bold italic; line: line style
    float size = 0;
    qint32 color = 0;
    float x = 0;  // mm
    float y = 0;
    float x2 = 0;
    float y2 = 0;
    std::string bytes;
};

// Records what the builder draws; measures with libharu's own metrics.
class CapturingWriter final : public report::PdfWriter {
public:
    explicit CapturingWriter(std::vector<DrawOp>& ops) : ops_(ops) {}

    void SetCurrentX(float x) override { x_ = x; }
    void SetCurrentY(float y) override { y_ = y; }
    void SetLineStyle(qint16 style) override { metrics_.SetLineStyle(style); }
    qint16 LineStyle() const override { return metrics_.LineStyle(); }
    void SetBold(bool bold) override { metrics_.SetBold(bold); }
    bool Bold() const override { return metrics_.Bold(); }
    void SetItalic(bool italic) override { metrics_.SetItalic(italic); }
    bool Italic() const override { return metrics_.Italic(); }
    void SetTextColor(qint32 color) override { metrics_.SetTextColor(color); }
    qint32 TextColor() const override { return metrics_.TextColor(); }
    void SetUnits(qint16 units) override { metrics_.SetUnits(units); }
    void SetFileName(const QString&) override {}
    void SetFontSize(float points) override { metrics_.SetFontSize(points); }
    float FontSize() const override { return metrics_.FontSize(); }
    void SetFontName(const QString& name) override { metrics_.SetFontName(name); }
    QString FontName() const override { return metrics_.FontName(); }
    void AddPage() override {
        DrawOp op;
        op.kind = DrawOp::kPage;
        ops_.push_back(op);
    }
    QString Save() override { return {}; }
    void WriteText(const QString& text) override {
        if (text.isEmpty()) {
            return;
        }
        DrawOp op;
        op.kind = DrawOp::kText;
        op.style = (metrics_.Bold() ? 1 : 0) + (metrics_.Italic() ? 2 : 0);
        op.size = metrics_.FontSize();
        op.color = metrics_.TextColor();
        op.x = x_;
        op.y = y_;
        op.bytes = common::ToCodePage(text).toStdString();
        ops_.push_back(std::move(op));
    }
    void DrawLine(float x1, float y1, float x2, float y2) override {
        DrawOp op;
        op.kind = DrawOp::kLine;
        op.style = metrics_.LineStyle();
        op.x = x1;
        op.y = y1;
        op.x2 = x2;
        op.y2 = y2;
        ops_.push_back(op);
    }
    float TextWidth(const QString& text) override { return metrics_.TextWidth(text); }

private:
    std::vector<DrawOp>& ops_;
    report::HaruPdfWriter metrics_;
    float x_ = 0;
    float y_ = 0;
};

void DrawWithLibharu(const std::vector<DrawOp>& ops, const QByteArray& path) {
    constexpr float kMillimetre = 72.0F / 25.4F;
    const char* names[] = {"Helvetica", "Helvetica-Bold", "Helvetica-Oblique",
                           "Helvetica-BoldOblique"};
    const HPDF_UINT16 dot[] = {1, 2};
    HPDF_Doc doc = HPDF_New(nullptr, nullptr);
    HPDF_SetCompressionMode(doc, HPDF_COMP_ALL);
    HPDF_Font fonts[4] = {};
    HPDF_Page page = nullptr;
    float height = 0;
    bool inText = false;
    HPDF_Font pageFont = nullptr;
    float pageSize = 0;
    qint32 pageFill = 0;
    int pageDash = 0;
    const auto newPage = [&] {
        page = HPDF_AddPage(doc);
        HPDF_Page_SetSize(page, HPDF_PAGE_SIZE_A4, HPDF_PAGE_PORTRAIT);
        HPDF_Page_SetLineWidth(page, 0.5F);
        height = HPDF_Page_GetHeight(page);
        inText = false;
        pageFont = nullptr;
        pageSize = 0;
        pageFill = 0;
        pageDash = 0;
    };
    newPage();
    for (const DrawOp& op : ops) {
        switch (op.kind) {
            case DrawOp::kPage:
                if (inText) {
                    HPDF_Page_EndText(page);
                }
                newPage();
                break;
            case DrawOp::kText: {
                HPDF_Font& font = fonts[op.style];
                if (font == nullptr) {
                    font = HPDF_GetFont(doc, names[op.style], "CP1257");
                }
                if (!inText) {
                    HPDF_Page_BeginText(page);
                    inText = true;
                }
                if (font != pageFont || op.size != pageSize) {
                    HPDF_Page_SetFontAndSize(page, font, op.size);
                    pageFont = font;
                    pageSize = op.size;
                }
                if (op.color != pageFill) {
                    HPDF_Page_SetRGBFill(page, HPDF_REAL(op.color & 0xFF) / 255.0F,
                                         HPDF_REAL((op.color >> 8) & 0xFF) / 255.0F,
                                         HPDF_REAL((op.color >> 16) & 0xFF) / 255.0F);
                    pageFill = op.color;
                }
                const float baseline = height - op.y * kMillimetre -
                                       float(HPDF_Font_GetAscent(font)) * op.size / 1000.0F;
                HPDF_Page_SetTextMatrix(page, 1, 0, 0, 1, op.x * kMillimetre, baseline);
                HPDF_Page_ShowText(page, op.bytes.c_str());
                break;
            }
            case DrawOp::kLine:
                if (inText) {
                    HPDF_Page_EndText(page);
                    inText = false;
                }
                if (op.style != pageDash) {
                    if (op.style == report::PdfWriter::kDot) {
                        HPDF_Page_SetDash(page, dot, 2, 0);
                    } else {
                        HPDF_Page_SetDash(page, nullptr, 0, 0);
                    }
                    pageDash = op.style;
                }
                HPDF_Page_MoveTo(page, op.x * kMillimetre, height - op.y * kMillimetre);
                HPDF_Page_LineTo(page, op.x2 * kMillimetre, height - op.y2 * kMillimetre);
                HPDF_Page_Stroke(page);
                break;
        }
    }
    if (inText) {
        HPDF_Page_EndText(page);
    }
    HPDF_SaveToFile(doc, path.constData());
    HPDF_Free(doc);
}

// ---------------------------------------------------------------------------
// QPdfWriter under the same builder

class QtPdfWriter final : public report::PdfWriter {
public:
    void SetCurrentX(float x) override { x_ = x; }
    void SetCurrentY(float y) override { y_ = y; }
    void SetLineStyle(qint16 style) override { lineStyle_ = style; }
    qint16 LineStyle() const override { return lineStyle_; }
    void SetBold(bool bold) override { font_.setBold(bold); }
    bool Bold() const override { return font_.bold(); }
    void SetItalic(bool italic) override { font_.setItalic(italic); }
    bool Italic() const override { return font_.italic(); }
    void SetTextColor(qint32 color) override { color_ = color; }
    qint32 TextColor() const override { return color_; }
    void SetUnits(qint16) override {}  // millimetres
    void SetFileName(const QString& path) override {
        device_ = std::make_unique<QPdfWriter>(path);
        device_->setPageSize(QPageSize(QPageSize::A4));
        device_->setPageMargins(QMarginsF(0, 0, 0, 0));
        pixelsPerMm_ = device_->resolution() / 25.4F;
        painter_.begin(device_.get());
    }
    void SetFontSize(float points) override { font_.setPointSizeF(points); }
    float FontSize() const override { return float(font_.pointSizeF()); }
    void SetFontName(const QString& name) override { font_.setFamily(name); }
    QString FontName() const override { return font_.family(); }
    void AddPage() override { device_->newPage(); }
    QString Save() override { return painter_.end() ? QString() : QStringLiteral("failed"); }
    void WriteText(const QString& text) override {
        painter_.setFont(font_);
        painter_.setPen(QColor(color_ & 0xFF, (color_ >> 8) & 0xFF, (color_ >> 16) & 0xFF));
        painter_.drawText(QPointF(x_ * pixelsPerMm_, y_ * pixelsPerMm_ + Metrics().ascent()), text);
    }
    void DrawLine(float x1, float y1, float x2, float y2) override {
        QPen pen(Qt::black);
        pen.setWidthF(0.5 / 72.0 * device_->resolution());
        pen.setStyle(lineStyle_ == kDot ? Qt::DotLine : Qt::SolidLine);
        painter_.setPen(pen);
        painter_.drawLine(QPointF(x1 * pixelsPerMm_, y1 * pixelsPerMm_),
                          QPointF(x2 * pixelsPerMm_, y2 * pixelsPerMm_));
    }
    float TextWidth(const QString& text) override {
        return float(Metrics().horizontalAdvance(text)) / pixelsPerMm_;
    }

private:
    // Metrics are made again only when the font changes.
    const QFontMetricsF& Metrics() {
        if (!metrics_ || metricsFont_ != font_) {
            metrics_.emplace(font_, device_.get());
            metricsFont_ = font_;
        }
        return *metrics_;
    }

    std::unique_ptr<QPdfWriter> device_;
    QPainter painter_;
    QFont font_{QStringLiteral("Arial")};
    QFont metricsFont_;
    std::optional<QFontMetricsF> metrics_;
    float pixelsPerMm_ = 1;
    float x_ = 0;
    float y_ = 0;
    qint16 lineStyle_ = kSolid;
    qint32 color_ = 0;
};

// ---------------------------------------------------------------------------
// Timing

struct Run {
    double ms = 0;
    qint64 worstGapMs = 0;
};

// One run of the report data handler with the writers the factory makes.
Run RunHandler(const session::MessageCodec& message, report::ReportServices& services) {
    report::ReportState state;
    state.ReportGroup = report::column::Card;
    QElapsedTimer sinceTick;
    qint64 worst = 0;
    QTimer tick;
    tick.setInterval(10);
    QObject::connect(&tick, &QTimer::timeout,
                     [&] { worst = std::max(worst, sinceTick.restart()); });
    tick.start();
    QElapsedTimer clock;
    clock.start();
    sinceTick.start();
    report::DecodeReportData(message, state, kPeriod, services);
    Run run;
    run.ms = double(clock.nsecsElapsed()) / 1e6;
    run.worstGapMs = std::max(worst, sinceTick.elapsed());
    return run;
}

double TimeFloor(const std::vector<DrawOp>& ops, const QByteArray& path) {
    QElapsedTimer clock;
    clock.start();
    DrawWithLibharu(ops, path);
    return double(clock.nsecsElapsed()) / 1e6;
}

struct Stats {
    double min = 0;
    double median = 0;
};

Stats Of(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return {values.front(), values[values.size() / 2]};
}

// Peak resident memory since the last reset, in MiB (Linux).
double PeakMiB(const char* key) {
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly)) {
        return -1;
    }
    for (const QByteArray& line : status.readAll().split('\n')) {
        if (line.startsWith(key)) {
            return line.mid(qsizetype(qstrlen(key))).trimmed().split(' ').first().toDouble() /
                   1024.0;
        }
    }
    return -1;
}

void ResetPeak() {
    QFile clear(QStringLiteral("/proc/self/clear_refs"));
    if (clear.open(QIODevice::WriteOnly)) {
        clear.write("5");
    }
}

QByteArray Contents(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

const char* Verdict(bool met) {
    return met ? "met" : "MISSED";
}

}  // namespace

int main(int argc, char* argv[]) {
    if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    QGuiApplication app(argc, argv);
    QTemporaryDir home;
    qputenv("MEREVAL_HOME", home.path().toLocal8Bit());
    const QString reportPath = home.filePath(report::kReportFileName);
    const QByteArray floorPath = home.filePath(QStringLiteral("floor.pdf")).toLocal8Bit();

    const session::MessageCodec message = ReportMessage();
    QuietView view;
    const session::TrafficLog log;
    NoViewer viewer;
    report::ReportServices ours(view, log, viewer);
    const QDateTime now = QDateTime::currentDateTime();
    ours.clock = [now] { return now; };

    std::vector<DrawOp> ops;
    report::ReportServices capture(view, log, viewer);
    capture.clock = ours.clock;
    capture.makeWriter = [&ops] { return std::make_unique<CapturingWriter>(ops); };
    report::ReportServices qt(view, log, viewer);
    qt.clock = ours.clock;
    qt.makeWriter = [] { return std::make_unique<QtPdfWriter>(); };

    // Peak memory of one run, before anything else has grown the heap.
    const double before = PeakMiB("VmRSS:");
    ResetPeak();
    const int statusBefore = view.statusLines;
    RunHandler(message, ours);
    const double peak = PeakMiB("VmHWM:");
    const int statusLines = view.statusLines - statusBefore;

    RunHandler(message, capture);
    qint64 texts = 0;
    qint64 pages = 1;
    for (const DrawOp& op : ops) {
        texts += op.kind == DrawOp::kText ? 1 : 0;
        pages += op.kind == DrawOp::kPage ? 1 : 0;
    }

    // Warm-up, and the check that both draw the very same document.
    RunHandler(message, ours);
    TimeFloor(ops, floorPath);
    const QByteArray ourBytes = Contents(reportPath);
    if (ourBytes.isEmpty() || ourBytes != Contents(QString::fromLocal8Bit(floorPath)) ||
        !view.boxes.isEmpty()) {
        std::fprintf(stderr, "ours and the floor disagree (or a run failed: %s)\n",
                     qPrintable(view.boxes.join(u'|')));
        return 1;
    }

    std::vector<double> ourTimes;
    std::vector<double> floorTimes;
    std::vector<double> qtTimes;
    qint64 worstGap = 0;
    qint64 qtSize = 0;
    for (int i = 0; i < kRepetitions; ++i) {
        const Run run = RunHandler(message, ours);
        ourTimes.push_back(run.ms);
        worstGap = std::max(worstGap, run.worstGapMs);
        floorTimes.push_back(TimeFloor(ops, floorPath));
        if (i < kQtRepetitions) {
            qtTimes.push_back(RunHandler(message, qt).ms);
            qtSize = QFile(reportPath).size();
        }
    }

    const Stats o = Of(ourTimes);
    const Stats f = Of(floorTimes);
    const Stats q = Of(qtTimes);
    std::printf("report \"0020\": %d records, every card distinct, grouped by card\n", kRecords);
    std::printf("document: %lld pages, %lld texts, %lld bytes (QPdfWriter: %lld bytes)\n",
                static_cast<long long>(pages), static_cast<long long>(texts),
                static_cast<long long>(ourBytes.size()), static_cast<long long>(qtSize));
    std::printf("ours (decode, layout, save)       min %9.1f ms   median %9.1f ms\n", o.min,
                o.median);
    std::printf("floor (libharu, same drawing)     min %9.1f ms   median %9.1f ms\n", f.min,
                f.median);
    std::printf("QPdfWriter (decode, layout, save) min %9.1f ms   median %9.1f ms\n", q.min,
                q.median);
    const double floorRatio = o.median / f.median;
    const double qtRatio = q.median / o.median;
    std::printf("ratio ours/floor         %6.3f  (of minima %6.3f; target <= %.1f: %s)\n",
                floorRatio, o.min / f.min, kFloorTarget, Verdict(floorRatio <= kFloorTarget));
    std::printf("ratio QPdfWriter/ours    %6.3f  (of minima %6.3f; target >= %.1f: %s)\n", qtRatio,
                q.min / o.min, kQtTarget, Verdict(qtRatio >= kQtTarget));
    std::printf("longest without the event loop during ours: %lld ms (target <= %lld: %s)\n",
                static_cast<long long>(worstGap), static_cast<long long>(kGapTargetMs),
                Verdict(worstGap <= kGapTargetMs));
    std::printf("status line updates in one run: %d\n", statusLines);
    std::printf("peak memory of one run: %.1f MiB resident (%.1f MiB before it)\n", peak, before);
    return 0;
}
