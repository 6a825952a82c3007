#include "printing/raw_printer.h"

#include "common/code_page.h"
#include "platform/spooler.h"

#include <QFile>

#include <algorithm>

namespace mereval::printing {
namespace {

constexpr qint64 kFileChunk = 8192;

}  // namespace

RAWPrinter::RAWPrinter(platform::Spooler& spooler)
    : RAWPrinter(spooler, spooler.DefaultPrinterName()) {}

RAWPrinter::RAWPrinter(platform::Spooler& spooler, const QString& deviceName)
    : spooler_(spooler),
      documentName_(QStringLiteral("RAWPrinter document")),
      deviceName_(deviceName) {}

RAWPrinter::~RAWPrinter() {
    if (jobStarted_) {
        EndDoc();
    }
}

QString RAWPrinter::ErrorText(qint16 code) {
    switch (code) {
        case 0:
            return {};
        case kCantOpenPrinter:
            return QStringLiteral(" Can't Open the printer device.");
        case kCantStartJob:
            return QStringLiteral("Can't Start the print job.");
        case kCantStartPage:
            return QStringLiteral("Can't start printing a page.");
        case kBytesNotSent:
            return QStringLiteral("Some bytes were not successfully sent to the printer.");
        case kCantCancelJob:
            return QStringLiteral("Could not cancel the print job.");
        case kCantChangeDocumentName:
            return QStringLiteral("Can't change document name.");
        case kWriteFailed:
            return QStringLiteral("Failed write to printer.");
        case kCantReadFile:
            return QStringLiteral("Could not read from file.");
        case kEndPageFailed:
            return QStringLiteral("Call to end page failed.");
        case kCloseDocFailed:
            return QStringLiteral("Call to close doc failed.");
        case kCantChangeDevice:
            return QStringLiteral("Can't change device while printing.");
        case kCantCreateDeviceContext:
            return QStringLiteral("Can't create a device context.");
        default:
            return QStringLiteral("Unknown error.");
    }
}

bool RAWPrinter::NewDoc(const QString& DocName, const QString& FileName) {
    err_ = 0;
    if (jobStarted_ && !EndDoc()) {
        return false;
    }
    const qint32 printer = spooler_.OpenPrinter(deviceName_);
    if (printer == 0) {
        err_ = kCantOpenPrinter;
        return false;
    }
    hPrinter_ = printer;
    if (!DocName.isEmpty()) {
        documentName_ = DocName;
    }
    hJob_ = spooler_.StartDocument(hPrinter_, documentName_, FileName);
    if (hJob_ <= 0) {
        return GiveUp(kCantStartJob, false);
    }
    if (!spooler_.StartPage(hPrinter_)) {
        return GiveUp(kCantStartPage, true);
    }
    bytesWritten_ = 0;
    bytesToWrite_ = 0;
    jobStarted_ = true;
    return true;
}

bool RAWPrinter::NewPage() {
    if (!jobStarted_) {
        return NewDoc();
    }
    err_ = 0;
    if (!spooler_.EndPage(hPrinter_)) {
        return GiveUp(kEndPageFailed, true);
    }
    if (!spooler_.StartPage(hPrinter_)) {
        return GiveUp(kCantStartPage, true);
    }
    return true;
}

bool RAWPrinter::GiveUp(qint16 code, bool endDocument) {
    if (endDocument) {
        spooler_.EndDocument(hPrinter_);
    }
    spooler_.ClosePrinter(hPrinter_);
    jobStarted_ = false;
    err_ = code;
    return false;
}

bool RAWPrinter::CancelJob() {
    const bool cancelled = spooler_.CancelJob(hPrinter_, hJob_);
    spooler_.EndPage(hPrinter_);
    spooler_.EndDocument(hPrinter_);
    spooler_.ClosePrinter(hPrinter_);
    jobStarted_ = false;
    return cancelled;
}

bool RAWPrinter::Write(QByteArrayView bytes) {
    bytesToWrite_ += bytes.size();
    qint32 written = 0;
    if (!spooler_.WritePrinter(hPrinter_, bytes, written)) {
        CancelJob();
        err_ = kWriteFailed;
        return false;
    }
    bytesWritten_ += written;
    return true;
}

bool RAWPrinter::PrintText(const QString& Txt) {
    if (!jobStarted_ && !NewDoc()) {
        return false;
    }
    err_ = 0;
    // One byte per character, so the count handed over is the text's length.
    return Write(common::ToCodePage(Txt));
}

bool RAWPrinter::PrintFile(const QString& fname) {
    if (!jobStarted_ && !NewDoc()) {
        return false;
    }
    err_ = 0;
    QFile file(fname);
    if (!file.open(QIODevice::ReadOnly)) {
        CancelJob();
        err_ = kCantReadFile;
        return false;
    }
    const qint64 length = file.size();
    for (qint64 sent = 0; sent < length;) {
        const qint64 chunkSize = std::min(kFileChunk, length - sent);
        const QByteArray chunk = file.read(chunkSize);
        if (chunk.size() != chunkSize) {
            CancelJob();
            err_ = kCantReadFile;
            return false;
        }
        if (!Write(chunk)) {
            return false;
        }
        sent += chunkSize;
    }
    return true;
}

bool RAWPrinter::EndDoc() {
    if (!jobStarted_) {
        return true;
    }
    err_ = 0;
    if (!spooler_.EndPage(hPrinter_)) {
        return GiveUp(kEndPageFailed, true);
    }
    if (!spooler_.EndDocument(hPrinter_)) {
        return GiveUp(kCloseDocFailed, false);
    }
    spooler_.ClosePrinter(hPrinter_);
    jobStarted_ = false;
    if (bytesWritten_ != bytesToWrite_) {
        err_ = kBytesNotSent;
        return false;
    }
    return true;
}

bool RAWPrinter::KillDoc() {
    err_ = 0;
    bool cancelled = false;
    if (jobStarted_) {
        cancelled = CancelJob();
    }
    if (!cancelled) {
        err_ = kCantCancelJob;
        return false;
    }
    return true;
}

void RAWPrinter::SetDeviceName(const QString& name) {
    if (jobStarted_) {
        err_ = kCantChangeDevice;
        return;
    }
    deviceName_ = name;
}

void RAWPrinter::SetDocumentName(const QString& name) {
    if (jobStarted_ && !spooler_.SetJobName(hPrinter_, hJob_, name)) {
        err_ = kCantChangeDocumentName;
        return;
    }
    documentName_ = name;
}

qint32 RAWPrinter::Priority() const {
    return spooler_.JobPriority(hPrinter_, hJob_).value_or(0);
}

void RAWPrinter::SetPriority(qint32 value) {
    spooler_.SetJobPriority(hPrinter_, hJob_, std::clamp(value, kMinPriority, kMaxPriority));
}

}  // namespace mereval::printing
