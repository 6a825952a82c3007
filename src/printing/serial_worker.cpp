#include "printing/serial_worker.h"

#include <condition_variable>
#include <deque>
#include <mutex>
#include <thread>

namespace mereval::printing {

struct SerialWorker::Queue {
    std::mutex mutex;
    std::condition_variable wake;
    std::deque<std::function<void()>> tasks;
    bool stopping = false;

    void Run() {
        std::unique_lock lock(mutex);
        for (;;) {
            wake.wait(lock, [this] { return stopping || !tasks.empty(); });
            if (stopping) {
                return;
            }
            std::function<void()> task = std::move(tasks.front());
            tasks.pop_front();
            lock.unlock();
            task();
            task = nullptr;  // its captures go on this thread, outside the lock
            lock.lock();
        }
    }
};

SerialWorker::SerialWorker() : queue_(std::make_shared<Queue>()) {
    std::thread([queue = queue_] { queue->Run(); }).detach();
}

SerialWorker::~SerialWorker() {
    std::deque<std::function<void()>> dropped;
    {
        const std::lock_guard lock(queue_->mutex);
        queue_->stopping = true;
        dropped.swap(queue_->tasks);
    }
    queue_->wake.notify_one();
}

void SerialWorker::Post(std::function<void()> task) {
    {
        const std::lock_guard lock(queue_->mutex);
        queue_->tasks.push_back(std::move(task));
    }
    queue_->wake.notify_one();
}

}  // namespace mereval::printing
