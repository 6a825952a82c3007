#include "ui/keyboard_path.h"

#include "common/wipe.h"

#include <QApplication>
#include <QInputMethod>
#include <QInputMethodQueryEvent>
#include <QKeyEvent>
#include <QLineEdit>

#include <utility>

namespace mereval::ui {
namespace {

constexpr quint32 kAcuteKeysym = 0x00b4;  // XK_acute, the spacing accent

}  // namespace

KeyboardPath::KeyboardPath(QWidget& window, QLineEdit& amountField, KeyPreview preview,
                           KeyClock clock)
    : QObject(&window),
      window_(window),
      amountField_(amountField),
      preview_(std::move(preview)),
      clock_(std::move(clock)) {
    setObjectName(QStringLiteral("KeyboardPath"));
    Timer3.setObjectName(QStringLiteral("Timer3"));
    Timer3.setInterval(kPauseMs);
    Timer3.setSingleShot(true);
    // A coarse timer may fire 5 % early: a pause between typed keys would
    // then end the burst before it is over.
    Timer3.setTimerType(Qt::PreciseTimer);
    connect(&Timer3, &QTimer::timeout, this, &KeyboardPath::EndBurst);
    qApp->installEventFilter(this);
    // Qt asks when the focus moves and keeps the answer; a control that has
    // the focus already must be asked again.
    QGuiApplication::inputMethod()->update(Qt::ImEnabled);
}

bool KeyboardPath::eventFilter(QObject* watched, QEvent* event) {
    if (!watched->isWidgetType()) {
        return false;
    }
    const QEvent::Type type = event->type();
    if (type == QEvent::InputMethodQuery) {
        auto* query = static_cast<QInputMethodQueryEvent*>(event);
        if (query->queries() != Qt::ImEnabled) {
            return false;
        }
        query->setValue(Qt::ImEnabled, false);
        query->accept();
        return true;
    }
    if (type != QEvent::KeyPress && type != QEvent::KeyRelease) {
        return false;
    }
    const auto& key = *static_cast<QKeyEvent*>(event);
    if (key.key() == Qt::Key_Dead_Acute && key.nativeScanCode() == kEqualsKeyScanCode) {
        return TypeDeadAccent(watched, key);
    }
    auto* widget = static_cast<QWidget*>(watched);
    if (type != QEvent::KeyPress || widget->window() != &window_) {
        return false;
    }
    // A key that a control leaves alone (a button does) travels on to its
    // parents and the window; only its first receiver counts: the control
    // with the focus, or the window when none has it.
    QWidget* receiver = QApplication::focusWidget();
    if (receiver == nullptr || receiver->window() != &window_) {
        receiver = &window_;
    }
    if (widget != receiver) {
        return false;
    }
    if (preview_(key)) {
        return true;
    }
    // A reader types characters alone; a shortcut (Ctrl+V) edits the field.
    constexpr auto kShortcut = Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier;
    const QString text = key.text();
    if (!text.isEmpty() && text.front().isPrint() && !(key.modifiers() & kShortcut)) {
        NoteCharacter(receiver, text, KeyTime(key, clock_()));
    }
    return false;
}

bool KeyboardPath::TypeDeadAccent(QObject* watched, const QKeyEvent& key) {
    // Should an input method take the press all the same, the release still
    // comes in order with the keys around it, and the accent is typed then.
    const bool press = key.type() == QEvent::KeyPress;
    if (!press && std::exchange(accentPressTyped_, false)) {
        return false;
    }
    accentPressTyped_ = press;
    QKeyEvent typed(QEvent::KeyPress, Qt::Key_acute, key.modifiers(), key.nativeScanCode(),
                    kAcuteKeysym, key.nativeModifiers(), QStringLiteral(u"´"));
    typed.setTimestamp(key.timestamp());
    QCoreApplication::sendEvent(watched, &typed);
    // The dead press itself goes no further; a release may.
    return press;
}

void KeyboardPath::NoteCharacter(QWidget* receiver, const QString& text, quint64 timeMs) {
    // A key that comes more than the pause after the previous one begins a
    // burst of its own, even when a late delivery finds Timer3 still running.
    if (Timer3.isActive() && qint64(timeMs - lastMs_) > kPauseMs) {
        EndBurst();
    }
    if (!Timer3.isActive()) {
        keys_.clear();
        firstMs_ = timeMs;
        // The key has not reached the field yet: this is its text before.
        receiver_ = qobject_cast<QLineEdit*>(receiver);
        receiverTextBefore_ = receiver_ ? receiver_->text() : QString();
    }
    keys_ += text;
    lastMs_ = timeMs;
    Timer3.start();
}

void KeyboardPath::EndBurst() {
    Timer3.stop();
    const qint64 elapsedMs = qint64(lastMs_ - firstMs_) + kPauseMs;
    if (keys_.size() < kMinSwipeLength || elapsedMs > kMaxMsPerCharacter * keys_.size()) {
        return;
    }
    if (receiver_ == &amountField_) {
        amountField_.setText(receiverTextBefore_);
    } else if (receiver_) {
        QString text = receiver_->text();
        const qsizetype at = text.indexOf(keys_);
        if (at >= 0) {
            receiver_->setText(text.remove(at, keys_.size()));
        }
    }
    Q_EMIT Swiped(keys_);
    common::Wipe(keys_);  // the window keeps the track for as long as it needs it
}

}  // namespace mereval::ui
