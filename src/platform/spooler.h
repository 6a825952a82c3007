#pragma once

#include <QByteArrayView>
#include <QString>
#include <QStringList>
#include <QtGlobal>

#include <optional>

namespace mereval::platform {

// The print spooler as the raw printer uses it: open a printer by name, run
// one document (a job) on it with pages, write bytes, and change or cancel a
// job. The steps follow the spoolers that have pages and job control; an
// adapter for a spooler without them lets the page steps succeed while a
// document is open. Failures are plain false or 0: the raw printer maps each
// to the error code of the step that failed.
class Spooler {
public:
    virtual ~Spooler() = default;

    // The installed printers in the spooler's own stable order.
    virtual QStringList PrinterNames() = 0;
    // The spooler's default printer, empty when there is none.
    virtual QString DefaultPrinterName() = 0;

    // A handle above 0, or 0 when no installed printer has this name.
    virtual qint32 OpenPrinter(const QString& name) = 0;
    // Starts a raw document named documentName and returns its job id, or 0
    // or less when the spooler refuses it. With an outputFile the bytes go to
    // that file instead of the printer.
    virtual qint32 StartDocument(qint32 printer, const QString& documentName,
                                 const QString& outputFile) = 0;
    virtual bool StartPage(qint32 printer) = 0;
    // written: the bytes the spooler took.
    virtual bool WritePrinter(qint32 printer, QByteArrayView bytes, qint32& written) = 0;
    virtual bool EndPage(qint32 printer) = 0;
    virtual bool EndDocument(qint32 printer) = 0;
    virtual bool ClosePrinter(qint32 printer) = 0;

    virtual bool CancelJob(qint32 printer, qint32 job) = 0;
    virtual bool SetJobName(qint32 printer, qint32 job, const QString& name) = 0;
    // priority: 1 (lowest) to 99 (highest).
    virtual bool SetJobPriority(qint32 printer, qint32 job, qint32 priority) = 0;
    virtual std::optional<qint32> JobPriority(qint32 printer, qint32 job) = 0;
};

// The adapter of this platform, the CUPS server that CUPS_SERVER, the user's
// client.conf or the system names.
Spooler& SystemSpooler();

// The printers that receipt printing looks a name up in and that the settings
// dialog offers: the installed printers of SystemSpooler(), in its order.
QStringList InstalledPrinterNames();

}  // namespace mereval::platform
