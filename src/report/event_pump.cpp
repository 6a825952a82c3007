#include "report/event_pump.h"

#include <QCoreApplication>
#include <QEventLoop>

namespace mereval::report {

EventPump::EventPump(qint64 intervalMs) : intervalMs_(intervalMs) {
    since_.start();
}

void EventPump::Run() {
    if (QCoreApplication::instance() != nullptr) {
        QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
    }
    since_.restart();
}

}  // namespace mereval::report
