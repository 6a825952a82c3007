#include "ui/key_burst.h"

namespace mereval::ui {

bool KeyBurst::IsNewBurst(qint64 timestampMs) const {
    return !collecting_ || timestampMs - lastMs_ > kPauseMs;
}

void KeyBurst::Add(const QString& text, qint64 timestampMs) {
    if (!collecting_) {
        collecting_ = true;
        keys_.clear();
        startMs_ = timestampMs;
    }
    keys_ += text;
    lastMs_ = timestampMs;
}

bool KeyBurst::Finish() {
    if (!collecting_) {
        return false;
    }
    collecting_ = false;
    const qint64 elapsedMs = lastMs_ - startMs_ + kPauseMs;
    return keys_.size() >= kMinSwipeLength && elapsedMs <= kMaxMsPerCharacter * keys_.size();
}

void KeyBurst::Reset() {
    collecting_ = false;
    keys_.clear();
}

}  // namespace mereval::ui
