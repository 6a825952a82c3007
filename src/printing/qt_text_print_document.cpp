#include "printing/qt_text_print_document.h"

#include <QFont>
#include <QFontMetricsF>
#include <QPainter>
#include <QPrinter>
#include <QRegularExpression>

namespace mereval::printing {

QtTextPrintDocument::QtTextPrintDocument() = default;

QtTextPrintDocument::~QtTextPrintDocument() {
    EndDocument();
}

QString QtTextPrintDocument::PrinterName() const {
    return printerName_.isEmpty() ? QPrinter().printerName() : printerName_;
}

void QtTextPrintDocument::SelectPrinter(const QString& name) {
    printerName_ = name;
}

void QtTextPrintDocument::SetFontName(const QString& family) {
    fontName_ = family;
    if (painter_) {
        ApplyFont();
    }
}

void QtTextPrintDocument::ApplyFont() {
    if (fontName_.isEmpty()) {
        return;
    }
    QFont font = painter_->font();
    font.setFamily(fontName_);
    painter_->setFont(font);
}

bool QtTextPrintDocument::Begin() {
    printer_ = std::make_unique<QPrinter>();
    if (!printerName_.isEmpty()) {
        printer_->setPrinterName(printerName_);
        if (printer_->printerName() != printerName_) {
            return false;
        }
    }
    painter_ = std::make_unique<QPainter>();
    if (!painter_->begin(printer_.get())) {
        return false;
    }
    ApplyFont();
    y_ = 0;
    return true;
}

void QtTextPrintDocument::PrintLine(const QString& text) {
    if (failed_) {
        return;
    }
    if (!painter_ || !painter_->isActive()) {
        if (!Begin()) {
            failed_ = true;
            return;
        }
    }
    static const QRegularExpression kLineBreak(QStringLiteral("\r\n|\r|\n"));
    for (const QString& line : text.split(kLineBreak)) {
        DrawLine(line);
    }
}

void QtTextPrintDocument::DrawLine(const QString& line) {
    const QFontMetricsF metrics(painter_->font(), printer_.get());
    if (y_ > 0 && y_ + metrics.height() > printer_->height()) {
        printer_->newPage();
        y_ = 0;
    }
    painter_->drawText(QPointF(0, y_ + metrics.ascent()), line);
    y_ += metrics.lineSpacing();
}

bool QtTextPrintDocument::EndDocument() {
    bool printed = !failed_;
    if (painter_ && painter_->isActive()) {
        printed = painter_->end() && printed;
    }
    painter_.reset();
    printer_.reset();
    failed_ = false;
    return printed;
}

}  // namespace mereval::printing
