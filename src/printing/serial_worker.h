#pragma once

#include <functional>
#include <memory>

namespace mereval::printing {

// A thread of its own that runs tasks one after another, for conversations
// with a spooler that may hang for its full time-outs. A task that hangs
// delays the later ones but never runs beside them, so the objects that only
// the tasks use need no lock.
//
// The thread is never waited for: destroying the worker drops the tasks not
// yet begun and lets a running one end in its own time. Whatever a task
// uses, it must own (shared pointers) or reach through a guard.
class SerialWorker {
public:
    SerialWorker();
    ~SerialWorker();
    SerialWorker(const SerialWorker&) = delete;
    SerialWorker& operator=(const SerialWorker&) = delete;

    void Post(std::function<void()> task);

private:
    struct Queue;
    std::shared_ptr<Queue> queue_;
};

}  // namespace mereval::printing
