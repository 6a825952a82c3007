#pragma once

#include "printing/raw_printer.h"
#include "printing/text_print_document.h"

#include <QByteArray>
#include <QString>
#include <QtGlobal>

#include <functional>
#include <memory>

namespace mereval::common {
struct ProgramSettings;
}

namespace mereval::platform {
class Spooler;
}

namespace mereval::printing {

// Prints the receipts of an approval on the configured printer: raw through
// the spooler (fRAW on) or as driver text in "Courier New", one job for all
// receipts of a block. The main window owns one for its whole life, and with
// it the one RAWPrinter, created on the first raw print.
class ReceiptPrinter {
public:
    // Opens a box as the main window's OpenBox does.
    using OpenBoxFunction =
        std::function<void(quint8 boxType, const QString& text, qint32 buttons)>;

    // settings and spooler must outlive this object.
    ReceiptPrinter(const common::ProgramSettings& settings, platform::Spooler& spooler,
                   std::unique_ptr<TextPrintDocument> document, OpenBoxFunction openBox);
    ~ReceiptPrinter();
    ReceiptPrinter(const ReceiptPrinter&) = delete;
    ReceiptPrinter& operator=(const ReceiptPrinter&) = delete;

    // receipts: the approval's receipt block, a frame whose fields 1..n are
    // the receipt texts in the program's code page; stan only names the
    // receipt in the error box. False, with the error box, when fPrinter is
    // not an installed printer or the block does not decode. A failure
    // of the printer path itself is not reported here: the raw printer
    // keeps it in Err, the driver document has its own. A copy (a reprint)
    // heads each receipt with the line "KOOPIA".
    bool PrintReceipts(const QByteArray& receipts, qint32 stan, bool copy = false);

    // The spooler job that the last call handed over whole on the raw path;
    // 0 when it printed nothing that way or the spooler refused a step.
    qint32 LastJob() const { return lastJob_; }

    // The kept raw printer; null until the first raw print.
    const RAWPrinter* Printer() const { return rawPrinter_.get(); }

    // The text of the error box of a printing failure.
    static QString ErrorText(qint32 stan);

private:
    void ShowError(qint32 stan) const;

    const common::ProgramSettings& settings_;
    platform::Spooler& spooler_;
    std::unique_ptr<TextPrintDocument> document_;
    OpenBoxFunction openBox_;
    std::unique_ptr<RAWPrinter> rawPrinter_;
    qint32 lastJob_ = 0;
};

}  // namespace mereval::printing
