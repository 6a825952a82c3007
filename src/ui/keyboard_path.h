#pragma once

#include "ui/key_clock.h"

#include <QObject>
#include <QPointer>
#include <QString>
#include <QTimer>

#include <functional>

class QKeyEvent;
class QLineEdit;
class QWidget;

namespace mereval::ui {

// Every key of the program passes here once, before the control that has the
// focus, and here alone is it decided whether the keys of the main window are
// typing or a card reader's swipe.
//
// A burst ends 55 ms after its last key (Timer3); it is a swipe when it holds
// at least 5 characters and took at most 20 ms per character, counting the
// closing pause. Times are the key events' own stamps, so a busy event loop
// that delivers keys late neither splits a swipe nor merges typed keys.
//
// A swipe is taken back out of the field that received it: the amount field
// gets back exactly the text it showed before the burst's first key, however
// that text came about; another field loses the swiped characters.
//
// Under the Estonian layout the reader's "=" key (X key code 21) is a dead
// acute accent; it is typed as "´" instead, an ordinary key press with the
// key's own time, which NormalizeTrackText later turns into "=". For that
// every control tells Qt's input method that it takes none: a compose input
// method would take the dead key before the keys that came earlier, and its
// output would overtake them. The cashier loses dead keys; amounts, receipt
// numbers and card data have no use for accents.
class KeyboardPath : public QObject {
    Q_OBJECT

public:
    static constexpr int kPauseMs = 55;
    static constexpr qsizetype kMinSwipeLength = 5;
    static constexpr qint64 kMaxMsPerCharacter = 20;
    static constexpr quint32 kEqualsKeyScanCode = 21;

    // The window's own key handling (Ctrl+Tab, Enter, Esc) sees each key of
    // the window first; true takes the key.
    using KeyPreview = std::function<bool(const QKeyEvent&)>;

    KeyboardPath(QWidget& window, QLineEdit& amountField, KeyPreview preview,
                 KeyClock clock = &MonotonicMs);

    // Keys are still arriving: OK waits for the burst's end, which decides.
    bool IsCollecting() const { return Timer3.isActive(); }

Q_SIGNALS:
    // A card reader's keys, exactly as they came, after they left the field.
    void Swiped(const QString& track);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    bool TypeDeadAccent(QObject* watched, const QKeyEvent& key);
    void NoteCharacter(QWidget* receiver, const QString& text, quint64 timeMs);
    void EndBurst();

    QWidget& window_;
    QLineEdit& amountField_;
    KeyPreview preview_;
    KeyClock clock_;
    QTimer Timer3{this};

    QString keys_;
    quint64 firstMs_ = 0;
    quint64 lastMs_ = 0;
    QPointer<QLineEdit> receiver_;  // the field of the burst's first key
    QString receiverTextBefore_;
    bool accentPressTyped_ = false;
};

}  // namespace mereval::ui
