#include "printing/receipt_printer.h"

#include "common/code_page.h"
#include "common/program_settings.h"
#include "platform/spooler.h"
#include "printing/find_printer_index.h"
#include "printing/replace_chars.h"
#include "session/message_codec.h"
#include "session/session_view.h"

namespace mereval::printing {

ReceiptPrinter::ReceiptPrinter(const common::ProgramSettings& settings, platform::Spooler& spooler,
                               std::unique_ptr<TextPrintDocument> document, OpenBoxFunction openBox)
    : settings_(settings),
      spooler_(spooler),
      document_(std::move(document)),
      openBox_(std::move(openBox)) {}

ReceiptPrinter::~ReceiptPrinter() = default;

bool ReceiptPrinter::PrintReceipts(const QByteArray& receipts, qint32 stan) {
    if (FindPrinterIndex(spooler_.PrinterNames(), settings_.fPrinter) == -1) {
        ShowError(stan);
        return false;
    }
    document_->SelectPrinter(settings_.fPrinter);

    session::MessageCodec codec;
    codec.Clear();
    QByteArray rest;
    if (codec.Parse(receipts, rest) != session::MessageCodec::kDecoded) {
        ShowError(stan);
        return false;
    }
    const qint16 count = codec.FieldCount();

    const bool raw = settings_.fRAW;
    if (raw) {
        if (!rawPrinter_) {
            rawPrinter_ = std::make_unique<RAWPrinter>(spooler_, document_->PrinterName());
        }
        rawPrinter_->SetDeviceName(settings_.fPrinter);
    } else {
        document_->SetFontName(QStringLiteral("Courier New"));
    }

    const QString receiptCharsTo = ReceiptCharsTo();
    for (int index = 1; index <= count; ++index) {
        const QByteArray bytes = codec.GetField(static_cast<qint16>(index), {});
        if (bytes.isEmpty()) {
            continue;
        }
        const QString text = common::FromCodePage(bytes);
        if (raw) {
            // Receipts follow each other with nothing between them; a failed
            // write has released its job, and the next text opens a new one.
            rawPrinter_->PrintText(ReplaceChars(text, kReceiptCharsFrom, receiptCharsTo));
        } else {
            document_->PrintLine(text);
        }
    }

    if (count > 0) {
        if (raw) {
            rawPrinter_->EndDoc();
        } else {
            document_->EndDocument();
        }
    }
    return true;
}

void ReceiptPrinter::ShowError(qint32 stan) const {
    openBox_(session::kBoxMessage,
             QStringLiteral(u"Viga kviitungite trükkimisel. (Kviitungi number=") +
                 QString::number(stan) + u')',
             session::kErrorBoxButtons);
}

}  // namespace mereval::printing
