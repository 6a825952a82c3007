#include "printing/receipt_print_queue.h"

#include "platform/spooler.h"
#include "printing/text_print_document.h"
#include "session/session_view.h"

#include <QDeadlineTimer>
#include <QList>
#include <QTimer>

#include <atomic>
#include <mutex>
#include <thread>

namespace mereval::printing {

// The way back from the worker threads: calls reach the queue on its own
// thread, and none once it is gone.
struct ReceiptPrintQueue::Guard {
    std::mutex mutex;
    ReceiptPrintQueue* queue = nullptr;

    bool Alive() {
        const std::lock_guard lock(mutex);
        return queue != nullptr;
    }
    void Deliver(std::function<void(ReceiptPrintQueue&)> call) {
        const std::lock_guard lock(mutex);
        if (queue != nullptr) {
            QMetaObject::invokeMethod(
                queue, [target = queue, call = std::move(call)] { call(*target); },
                Qt::QueuedConnection);
        }
    }
};

struct ReceiptPrintQueue::Box {
    quint8 type;
    QString text;
    qint32 buttons;
};

struct ReceiptPrintQueue::Outcome {
    QList<Box> boxes;
    qint32 rawJob = 0;
};

// One print as the window asked for it. finished and done belong to the
// window's thread; abandoned tells the printing thread not to begin.
struct ReceiptPrintQueue::Request {
    qint32 stan = 0;
    std::function<void()> done;
    bool finished = false;
    std::atomic<bool> abandoned = false;
};

// What only the printing thread touches, made there on the first print.
struct ReceiptPrintQueue::PrintingSide {
    SpoolerFactory makeSpooler;
    DocumentFactory makeDocument;
    common::ProgramSettings settings;
    std::unique_ptr<platform::Spooler> spooler;
    std::unique_ptr<ReceiptPrinter> printer;
    QList<Box> boxes;

    Outcome Print(const common::ProgramSettings& asked, const QByteArray& receipts, qint32 stan,
                  bool copy) {
        settings = asked;
        if (!printer) {
            spooler = makeSpooler();
            printer = std::make_unique<ReceiptPrinter>(
                settings, *spooler, makeDocument(),
                [this](quint8 type, const QString& text, qint32 buttons) {
                    boxes.append({type, text, buttons});
                });
        }
        printer->PrintReceipts(receipts, stan, copy);
        return {std::exchange(boxes, {}), printer->LastJob()};
    }
};

ReceiptPrintQueue::ReceiptPrintQueue(const common::ProgramSettings& settings,
                                     SpoolerFactory makeSpooler, DocumentFactory makeDocument,
                                     JobStateFunction jobState,
                                     ReceiptPrinter::OpenBoxFunction openBox, QObject* parent)
    : QObject(parent),
      settings_(settings),
      openBox_(std::move(openBox)),
      jobState_(std::move(jobState)),
      guard_(std::make_shared<Guard>()),
      printingSide_(std::make_shared<PrintingSide>()) {
    guard_->queue = this;
    printingSide_->makeSpooler = std::move(makeSpooler);
    printingSide_->makeDocument = std::move(makeDocument);
}

ReceiptPrintQueue::~ReceiptPrintQueue() {
    const std::lock_guard lock(guard_->mutex);
    guard_->queue = nullptr;
}

void ReceiptPrintQueue::Print(const QByteArray& receipts, qint32 stan, bool copy,
                              std::function<void()> done) {
    auto request = std::make_shared<Request>();
    request->stan = stan;
    request->done = std::move(done);
    // The approval waits for this, so it ends an operation's phase: on time.
    QTimer::singleShot(kPrintBoundMs, Qt::PreciseTimer, this, [this, request] {
        request->abandoned = true;
        Finish(*request, {{{session::kBoxMessage, ReceiptPrinter::ErrorText(request->stan),
                            session::kErrorBoxButtons}},
                          0});
    });
    printer_.Post([guard = guard_, side = printingSide_, request, settings = settings_, receipts,
                   stan, copy] {
        if (request->abandoned) {
            return;
        }
        Outcome outcome = side->Print(settings, receipts, stan, copy);
        guard->Deliver([request, outcome = std::move(outcome)](ReceiptPrintQueue& queue) {
            queue.Finish(*request, outcome);
        });
    });
}

void ReceiptPrintQueue::Finish(Request& request, const Outcome& outcome) {
    if (std::exchange(request.finished, true)) {
        return;  // told already, when its time ran out
    }
    for (const Box& box : outcome.boxes) {
        openBox_(box.type, box.text, box.buttons);
    }
    if (request.done) {
        request.done();
    }
    if (outcome.rawJob > 0) {
        Watch(outcome.rawJob);
    }
}

void ReceiptPrintQueue::Watch(qint32 job) {
    watcher_.Post(
        [guard = guard_, jobState = jobState_, job, deadline = QDeadlineTimer(kJobWatchMs)] {
            while (!deadline.hasExpired() && guard->Alive()) {
                const platform::SpoolerJobState state =
                    jobState(job, int(std::max<qint64>(deadline.remainingTime(), 1)));
                switch (state.progress) {
                    case platform::SpoolerJobState::Progress::Printed:
                        return;
                    case platform::SpoolerJobState::Progress::Failed:
                        guard->Deliver([reason = state.reason](ReceiptPrintQueue& queue) {
                            queue.openBox_(session::kBoxMessage, NotPrintedText(reason),
                                           kNotPrintedButtons);
                        });
                        return;
                    case platform::SpoolerJobState::Progress::Waiting:
                        break;
                }
                std::this_thread::sleep_for(std::chrono::milliseconds(kJobPollMs));
            }
        });
}

QString ReceiptPrintQueue::NotPrintedText(const QString& reason) {
    return QStringLiteral(u"Kviitung jäi trükkimata (") + reason +
           QStringLiteral("). Kordustrükk: Menüü, Kviitungi kordustrükk.");
}

}  // namespace mereval::printing
