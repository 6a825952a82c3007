#pragma once

#include "common/program_settings.h"
#include "platform/spooler_job_state.h"
#include "printing/receipt_printer.h"
#include "printing/serial_worker.h"

#include <QByteArray>
#include <QObject>
#include <QString>
#include <QtGlobal>

#include <functional>
#include <memory>

namespace mereval::platform {
class Spooler;
}

namespace mereval::printing {

class TextPrintDocument;

// Receipt printing for the main window, which the spooler never holds up:
// the conversation runs on a thread of its own, one print after another
// with the one ReceiptPrinter (and so the one RAWPrinter), and the window
// hears of each print within a bounded time.
//
// - A print that has not ended within kPrintBoundMs gets the error box of a
//   printing failure and counts as failed; one that has not begun by then is
//   dropped. A print already under way ends in its own time, and the prints
//   after it wait for it.
// - A raw job that the spooler took is followed for kJobWatchMs: when the
//   spooler reports it stopped, aborted or cancelled, or its printer stopped,
//   offline or out of paper, one box tells the cashier to reprint.
class ReceiptPrintQueue : public QObject {
    Q_OBJECT

public:
    static constexpr int kPrintBoundMs = 5000;
    static constexpr int kJobWatchMs = 30000;
    static constexpr int kJobPollMs = 500;
    static constexpr qint32 kNotPrintedButtons = 48;  // exclamation icon, "OK" only

    // Each made on the printing thread, where it is used.
    using SpoolerFactory = std::function<std::unique_ptr<platform::Spooler>()>;
    using DocumentFactory = std::function<std::unique_ptr<TextPrintDocument>()>;
    // Called on a thread of the queue's own, never waiting longer than waitMs.
    using JobStateFunction = std::function<platform::SpoolerJobState(qint32 job, int waitMs)>;

    // settings are read when a print is asked for; boxes open on this thread.
    ReceiptPrintQueue(const common::ProgramSettings& settings, SpoolerFactory makeSpooler,
                      DocumentFactory makeDocument, JobStateFunction jobState,
                      ReceiptPrinter::OpenBoxFunction openBox, QObject* parent = nullptr);
    ~ReceiptPrintQueue() override;

    // Prints the block as ReceiptPrinter does (copy: a reprint) and calls
    // done, on this thread, exactly once: when the print ended or failed, or
    // when its time ran out.
    void Print(const QByteArray& receipts, qint32 stan, bool copy, std::function<void()> done);

    static QString NotPrintedText(const QString& reason);

private:
    struct Guard;
    struct Box;
    struct Outcome;
    struct PrintingSide;
    struct Request;

    void Finish(Request& request, const Outcome& outcome);
    void Watch(qint32 job);

    const common::ProgramSettings& settings_;
    ReceiptPrinter::OpenBoxFunction openBox_;
    JobStateFunction jobState_;
    std::shared_ptr<Guard> guard_;
    std::shared_ptr<PrintingSide> printingSide_;
    SerialWorker printer_;
    SerialWorker watcher_;
};

}  // namespace mereval::printing
