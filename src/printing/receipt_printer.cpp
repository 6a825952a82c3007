#include "printing/receipt_printer.h"

#include "common/code_page.h"
#include "common/program_settings.h"
#include "platform/spooler.h"
#include "printing/find_printer_index.h"
#include "printing/replace_chars.h"
#include "session/message_codec.h"
#include "session/session_view.h"

namespace mereval::printing {
namespace {

const QString kCopyLine = QStringLiteral("KOOPIA");

}  // namespace

ReceiptPrinter::ReceiptPrinter(const common::ProgramSettings& settings, platform::Spooler& spooler,
                               std::unique_ptr<TextPrintDocument> document, OpenBoxFunction openBox)
    : settings_(settings),
      spooler_(spooler),
      document_(std::move(document)),
      openBox_(std::move(openBox)) {}

ReceiptPrinter::~ReceiptPrinter() = default;

bool ReceiptPrinter::PrintReceipts(const QByteArray& receipts, qint32 stan, bool copy) {
    lastJob_ = 0;
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
    bool printed = false;
    for (int index = 1; index <= count; ++index) {
        const QByteArray bytes = codec.GetField(static_cast<qint16>(index), {});
        if (bytes.isEmpty()) {
            continue;
        }
        printed = true;
        const QString text = common::FromCodePage(bytes);
        if (raw) {
            // Receipts follow each other with nothing between them; a failed
            // write has released its job, and the next text opens a new one.
            rawPrinter_->PrintText((copy ? kCopyLine + QStringLiteral("\r\n") : QString()) +
                                   ReplaceChars(text, kReceiptCharsFrom, receiptCharsTo));
        } else {
            if (copy) {
                document_->PrintLine(kCopyLine);
            }
            document_->PrintLine(text);
        }
    }

    if (count > 0) {
        if (raw) {
            if (rawPrinter_->EndDoc() && printed) {
                lastJob_ = rawPrinter_->hJob();
            }
        } else {
            document_->EndDocument();
        }
    }
    return true;
}

QString ReceiptPrinter::ErrorText(qint32 stan) {
    return QStringLiteral(u"Viga kviitungite trükkimisel. (Kviitungi number=") +
           QString::number(stan) + u')';
}

void ReceiptPrinter::ShowError(qint32 stan) const {
    openBox_(session::kBoxMessage, ErrorText(stan), session::kErrorBoxButtons);
}

}  // namespace mereval::printing
