#pragma once

#include <QByteArray>
#include <QString>
#include <QtGlobal>

#include <functional>

namespace mereval::session {

// The entry fields of the main window, by their numbers.
enum class EntryField : quint8 {
    CardNumber = 1,         // Text1
    Amount = 2,             // Text2, tabs 1 and 4
    VoidReceipt = 3,        // Text3, tab 2
    CompletionReceipt = 4,  // Text4, tab 5
    CompletionAmount = 7,   // Text7, tab 5
    TipReceipt = 8,         // Text8, tab 3
    TipAmount = 9,          // Text9, tab 3
};

// The operation tabs, numbered as the cashier sees them.
enum class OperationTab : qint16 {
    CardPayment = 1,
    Cancellation = 2,
    Tip = 3,
    Reservation = 4,
    ReservationCompletion = 5,
};

// Box types and flags that the session opens boxes with.
inline constexpr quint8 kBoxMessage = 0;
inline constexpr quint8 kBoxButtons = 1;
inline constexpr quint8 kBoxInput = 2;
inline constexpr quint8 kBoxSecretInput = 3;
inline constexpr qint32 kErrorBoxButtons = 16;  // critical icon, "OK" only

// What the payment session needs from the window it runs in. The main window
// implements it; tests drive the session through a double.
class SessionView {
public:
    virtual ~SessionView() = default;

    virtual OperationTab SelectedTab() const = 0;
    virtual QString EntryText(EntryField field) const = 0;
    // The card number field as it goes on the wire: mapped back to the
    // track sentinels under the keyboard layout that typed it. Handed out
    // once: a swiped track is forgotten by the window then.
    virtual QString TakeCardTrack() = 0;

    virtual void ShowStatusLine(const QString& text) = 0;
    virtual void ShowSessionText(const QString& text) = 0;
    // Switches the controls between the idle and the running state.
    virtual void SetOperationRunning(bool running) = 0;
    virtual void ClearCardNumber() = 0;
    // Every entry field of every tab.
    virtual void ClearEntryFields() = 0;
    virtual void ShowOperationFrame() = 0;

    virtual void OpenBox(quint8 boxType, const QString& text, qint32 buttons) = 0;
    virtual void ReleaseBoxes() = 0;

    // Prints the receipts of an approval and calls done once, on this
    // thread, when they are printed or printing has failed (now or later):
    // the approval is answered only then, and the window stays usable while
    // the spooler takes its time.
    virtual void PrintReceipts(const QByteArray& receipts, qint32 stan,
                               std::function<void()> done) = 0;
};

}  // namespace mereval::session
