#pragma once

#include "platform/spooler.h"

#include <map>
#include <memory>

namespace mereval::platform {

// IPP's job-priority runs from 1 to 100, the spooler interface's from 1 to
// 99; both ends meet and every value survives the way there and back.
int IppJobPriority(qint32 priority);
qint32 SpoolerJobPriority(int ippPriority);

// The spooler over a CUPS server, through its C API. A document is one raw
// job (Create-Job, then Send-Document in application/vnd.cups-raw, streamed
// as it is written), so the server passes the bytes to the device unchanged.
//
// - Each open printer has its own connection for the job stream and, once
//   needed, a second one for changing or cancelling the job while the stream
//   is open (one connection cannot carry a request in the middle of another).
// - CUPS has no pages: the page steps succeed while a document is open.
// - The document name is the job's "job-name", also sent as the document's
//   "document-name" when the document starts; a later rename changes the
//   job-name only (the one that queues show). The priority is
//   "job-priority". CUPS refuses both changes once the job is being printed.
// - A document with an output file never reaches the server: its bytes go to
//   the file, and its job id is one of this adapter's own, which only
//   cancelling (the file is removed) understands.
// - Names are looked up as the server does, ignoring letter case.
// - A job that the server took is out of the program's hands: a printer that
//   does not answer keeps it queued (the socket backend retries), one that
//   drops the connection leaves it to the queue's error policy. No call here
//   waits for the printer.
class CupsSpooler : public Spooler {
public:
    CupsSpooler();
    ~CupsSpooler() override;
    CupsSpooler(const CupsSpooler&) = delete;
    CupsSpooler& operator=(const CupsSpooler&) = delete;

    QStringList PrinterNames() override;
    QString DefaultPrinterName() override;

    qint32 OpenPrinter(const QString& name) override;
    qint32 StartDocument(qint32 printer, const QString& documentName,
                         const QString& outputFile) override;
    bool StartPage(qint32 printer) override;
    bool WritePrinter(qint32 printer, QByteArrayView bytes, qint32& written) override;
    bool EndPage(qint32 printer) override;
    bool EndDocument(qint32 printer) override;
    bool ClosePrinter(qint32 printer) override;

    bool CancelJob(qint32 printer, qint32 job) override;
    bool SetJobName(qint32 printer, qint32 job, const QString& name) override;
    bool SetJobPriority(qint32 printer, qint32 job, qint32 priority) override;
    std::optional<qint32> JobPriority(qint32 printer, qint32 job) override;

private:
    struct OpenedPrinter;
    OpenedPrinter* Find(qint32 printer);

    std::map<qint32, std::unique_ptr<OpenedPrinter>> printers_;
    qint32 nextHandle_ = 1;
    qint32 nextFileJob_ = 1;
};

}  // namespace mereval::platform
