#pragma once

#include <QString>

namespace mereval::printing {

// A text document printed through the printer's driver, as receipt printing
// needs it: lines of text in one font, flowing over as many pages as they
// take. The windows' side implements it with the platform's print support;
// the logic here never links that.
class TextPrintDocument {
public:
    virtual ~TextPrintDocument() = default;

    // The printer that documents go to: the platform's default printer
    // until one is selected.
    virtual QString PrinterName() const = 0;
    virtual void SelectPrinter(const QString& name) = 0;
    // The font family by name; size and style stay the printer's defaults.
    virtual void SetFontName(const QString& family) = 0;
    // The text, then a line break; the text's own line breaks break lines
    // too. The first line starts the document.
    virtual void PrintLine(const QString& text) = 0;
    // Hands the document to the printer. True when nothing was printed; false
    // when the platform refused the document or its printer.
    virtual bool EndDocument() = 0;
};

}  // namespace mereval::printing
