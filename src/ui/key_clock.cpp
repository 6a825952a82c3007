#include "ui/key_clock.h"

#include <QKeyEvent>

#include <chrono>

namespace mereval::ui {
namespace {

constexpr quint32 kMaxKeyEventAgeMs = 60'000;

}  // namespace

quint64 MonotonicMs() {
    // libstdc++'s steady_clock is CLOCK_MONOTONIC.
    const auto sinceBoot = std::chrono::steady_clock::now().time_since_epoch();
    return static_cast<quint64>(
        std::chrono::duration_cast<std::chrono::milliseconds>(sinceBoot).count());
}

quint32 ElapsedMs(quint64 then, quint64 now) {
    return static_cast<quint32>(now) - static_cast<quint32>(then);
}

quint64 KeyTime(const QKeyEvent& event, quint64 now) {
    const quint64 stamped = event.timestamp();
    const quint32 age = ElapsedMs(stamped, now);
    if (stamped == 0 || age > kMaxKeyEventAgeMs) {
        return now;
    }
    // An X server's 32-bit time is put back on the full clock, so that key
    // times compare with "now" and with each other across its wrap.
    return now - age;
}

}  // namespace mereval::ui
