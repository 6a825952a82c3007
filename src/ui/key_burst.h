#pragma once

#include <QString>
#include <QtGlobal>

namespace mereval::ui {

// Tells a card reader's burst of keys from typing. A burst ends 55 ms after
// its last key; it is a swipe when it holds at least 5 characters and took
// at most 20 ms per character, counting the closing pause. Times are the key
// events' own timestamps, so a busy event loop that delivers keys late
// neither splits a swipe nor merges typed keys into one.
class KeyBurst {
public:
    static constexpr qint64 kPauseMs = 55;
    static constexpr qsizetype kMinSwipeLength = 5;
    static constexpr qint64 kMaxMsPerCharacter = 20;

    // Whether a key at this time begins a burst of its own: one that comes
    // more than the pause after the previous key does, even when a late
    // delivery finds the previous burst not yet finished (finish it first).
    bool IsNewBurst(qint64 timestampMs) const;
    void Add(const QString& text, qint64 timestampMs);

    bool IsCollecting() const { return collecting_; }
    // Ends the burst: true when it was a swipe.
    bool Finish();

    QString Keys() const { return keys_; }
    void Reset();

private:
    bool collecting_ = false;
    QString keys_;
    qint64 startMs_ = 0;
    qint64 lastMs_ = 0;
};

}  // namespace mereval::ui
