#pragma once

#include "printing/text_print_document.h"

#include <QString>

#include <memory>

class QPainter;
class QPrinter;

namespace mereval::printing {

// TextPrintDocument on QPrinter: one print job per document, which Qt sends
// to the CUPS queue as PDF. Lines are drawn from the top of the printable
// area, one font line apart, and run on to a new page at the bottom.
//
// QPrinter quietly keeps its previous printer when asked for one that is not
// installed (any more); such a document is dropped instead, so that receipts
// never come out of another printer.
//
// It needs Qt Gui and PrintSupport, so it lives in a library of its own that
// the windows link; the receipt logic sees only the interface.
class QtTextPrintDocument final : public TextPrintDocument {
public:
    QtTextPrintDocument();
    // A document still open is ended, as if EndDocument had been called.
    ~QtTextPrintDocument() override;
    QtTextPrintDocument(const QtTextPrintDocument&) = delete;
    QtTextPrintDocument& operator=(const QtTextPrintDocument&) = delete;

    QString PrinterName() const override;
    void SelectPrinter(const QString& name) override;
    void SetFontName(const QString& family) override;
    void PrintLine(const QString& text) override;
    bool EndDocument() override;

private:
    bool Begin();
    void DrawLine(const QString& line);
    void ApplyFont();

    QString printerName_;  // empty until one is selected
    QString fontName_;
    std::unique_ptr<QPrinter> printer_;
    std::unique_ptr<QPainter> painter_;
    bool failed_ = false;  // the running document is dropped
    double y_ = 0;         // top of the next line, in device units
};

}  // namespace mereval::printing
