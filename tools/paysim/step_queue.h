#pragma once

#include <QObject>

#include <deque>
#include <functional>

class QTimer;

namespace mereval::paysim {

// Actions run one after another on the event loop, each after its own
// pause; a running action may append more or cancel the rest.
class StepQueue : public QObject {
    Q_OBJECT

public:
    explicit StepQueue(QObject* parent);

    void Append(int delayMs, std::function<void()> action);
    void Cancel();

private:
    struct Step {
        int delayMs;
        std::function<void()> action;
    };

    void StartNext();
    void RunFront();

    std::deque<Step> steps_;
    QTimer* timer_;
};

}  // namespace mereval::paysim
