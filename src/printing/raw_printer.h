#pragma once

#include <QByteArrayView>
#include <QString>
#include <QtGlobal>

namespace mereval::platform {
class Spooler;
}

namespace mereval::printing {

// Sends bytes to a named printer through the spooler as one raw job per
// document, so printer control codes and the printer's own character set
// reach the device as written. Texts go out in the program's code page,
// one byte per character.
//
// Two states: closed, and printing (JobStarted: printer open, document and
// page started). Every failing write, page or document step releases page,
// document and printer, so the object never stays half open and the next
// PrintText starts a fresh job. Nothing throws: each call returns false and
// leaves a code in Err, with its text in Error.
class RAWPrinter {
public:
    static constexpr qint16 kCantOpenPrinter = 2000;
    static constexpr qint16 kCantStartJob = 2001;
    static constexpr qint16 kCantStartPage = 2002;
    static constexpr qint16 kBytesNotSent = 2003;
    static constexpr qint16 kCantCancelJob = 2004;
    static constexpr qint16 kCantChangeDocumentName = 2005;
    static constexpr qint16 kWriteFailed = 2006;
    static constexpr qint16 kCantReadFile = 2007;
    static constexpr qint16 kEndPageFailed = 2008;
    static constexpr qint16 kCloseDocFailed = 2009;
    static constexpr qint16 kCantChangeDevice = 2010;
    static constexpr qint16 kCantCreateDeviceContext = 2011;  // kept for its text only

    static constexpr qint32 kMinPriority = 1;
    static constexpr qint32 kMaxPriority = 99;

    // Prints on the spooler's default printer until DeviceName is set.
    explicit RAWPrinter(platform::Spooler& spooler);
    RAWPrinter(platform::Spooler& spooler, const QString& deviceName);
    // A running job is finished, not cancelled.
    ~RAWPrinter();
    RAWPrinter(const RAWPrinter&) = delete;
    RAWPrinter& operator=(const RAWPrinter&) = delete;

    qint16 Err() const { return err_; }
    QString Error() const { return ErrorText(err_); }
    static QString ErrorText(qint16 code);

    // Ends a running document first. DocName, when given, becomes the
    // DocumentName; FileName, when given, receives the bytes instead of the
    // printer.
    bool NewDoc(const QString& DocName = {}, const QString& FileName = {});
    bool NewPage();
    // Appends to the running document, starting one when none runs.
    bool PrintText(const QString& Txt);
    bool PrintFile(const QString& fname);
    // True on a closed object, without touching Err.
    bool EndDoc();
    bool KillDoc();

    QString DeviceName() const { return deviceName_; }
    // Refused while printing (Err 2010); Err is left alone on success.
    void SetDeviceName(const QString& name);
    bool JobStarted() const { return jobStarted_; }
    QString DocumentName() const { return documentName_; }
    // While printing, renames the running job; refused by the spooler: Err 2005.
    void SetDocumentName(const QString& name);

    // The running job's priority, 1 to 99; 0 when the spooler cannot tell.
    qint32 Priority() const;
    // Clamped to 1..99; the spooler's answer is not kept.
    void SetPriority(qint32 value);

    // The spooler's handle and job id of the last document; they keep their
    // values after it ends.
    qint32 hPrinter() const { return hPrinter_; }
    qint32 hJob() const { return hJob_; }

private:
    // Cancels the running document and closes whatever still holds, the
    // object included: a job that failed half-way is never printed nor left
    // behind. True when the spooler took the cancel.
    bool CancelJob();
    // Gives the printer back after a failed step, with the step's error code.
    bool GiveUp(qint16 code, bool endDocument);
    bool Write(QByteArrayView bytes);

    platform::Spooler& spooler_;
    qint32 hPrinter_ = 0;
    qint32 hJob_ = 0;
    // Wider than the spooler's counts, so that no document can overflow them.
    qint64 bytesWritten_ = 0;
    qint64 bytesToWrite_ = 0;
    QString documentName_;
    QString deviceName_;
    qint16 err_ = 0;
    bool jobStarted_ = false;
};

}  // namespace mereval::printing
