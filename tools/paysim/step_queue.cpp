#include "paysim/step_queue.h"

#include <QTimer>

#include <algorithm>

namespace mereval::paysim {

StepQueue::StepQueue(QObject* parent) : QObject(parent), timer_(new QTimer(this)) {
    timer_->setSingleShot(true);
    connect(timer_, &QTimer::timeout, this, &StepQueue::RunFront);
}

void StepQueue::Append(int delayMs, std::function<void()> action) {
    steps_.push_back({std::max(0, delayMs), std::move(action)});
    StartNext();
}

void StepQueue::Cancel() {
    timer_->stop();
    steps_.clear();
}

void StepQueue::StartNext() {
    if (!timer_->isActive() && !steps_.empty()) {
        timer_->start(steps_.front().delayMs);
    }
}

void StepQueue::RunFront() {
    if (steps_.empty()) {
        return;
    }
    const std::function<void()> action = std::move(steps_.front().action);
    steps_.pop_front();
    action();
    StartNext();
}

}  // namespace mereval::paysim
