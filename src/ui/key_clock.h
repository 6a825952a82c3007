#pragma once

#include <QtGlobal>

#include <functional>

class QKeyEvent;

namespace mereval::ui {

// Milliseconds on the clock that stamps the window system's key events.
// Tests pass a clock of their own and stamp their key events from it.
using KeyClock = std::function<quint64()>;

// CLOCK_MONOTONIC in milliseconds. X servers (and Wayland compositors) on the
// same machine stamp their input events from this clock, cut to 32 bits.
quint64 MonotonicMs();

// Milliseconds from then to now, counted modulo 2^32 because X server time
// wraps there.
quint32 ElapsedMs(quint64 then, quint64 now);

// When the key was typed, on the clock of now: its own timestamp when that
// fits the clock (not after now and at most a minute before, counted modulo
// 2^32), else now. Key events that the program makes itself carry 0, and a
// platform with another time base (the offscreen one counts from the start
// of the program) carries times that do not fit.
quint64 KeyTime(const QKeyEvent& event, quint64 now);

}  // namespace mereval::ui
