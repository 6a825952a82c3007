#pragma once

#include <QElapsedTimer>
#include <QtGlobal>

namespace mereval::report {

// Lets the window repaint while a long report runs on its thread. The
// report is one synchronous handler, so this is the one place where the
// program nests the event loop: only paint, timer and other non-input events
// run, the cashier's input waits until the report is done, and nothing the
// cashier can do runs in the middle of it.
class EventPump {
public:
    static constexpr qint64 kDefaultIntervalMs = 50;

    explicit EventPump(qint64 intervalMs = kDefaultIntervalMs);

    // Runs the pending events now.
    void Run();
    // Runs them when the last run is at least the interval ago; cheap
    // enough to call for every row.
    void Breathe() {
        if (since_.elapsed() >= intervalMs_) {
            Run();
        }
    }

private:
    qint64 intervalMs_;
    QElapsedTimer since_;
};

}  // namespace mereval::report
