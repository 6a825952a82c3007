#pragma once

#include <QObject>
#include <QtGlobal>

namespace mereval::ui {

// Under the Estonian layout the card reader's "=" key (the US "=" position,
// X key code 21) is a dead acute accent. This filter, on the whole
// application, types "´" for it instead, as an ordinary key press sent to
// the control that has the focus and stamped with the key's own time: the
// main window's burst detection, the box's capture and the field itself all
// see it like any other character, and NormalizeTrackText turns it into "=".
//
// Qt's input method (compose on X11) would take the dead key's press while
// it reads the X events, before the key events that came earlier have been
// delivered, and its own output overtakes them as well. So the filter also
// tells Qt that no control of the program takes an input method: every key
// then arrives in order as a key press, the dead key as Qt::Key_Dead_Acute.
// The cashier loses dead keys; amounts, receipt numbers and card data have
// no use for accents, and every other key types as before.
class CardReaderKeys : public QObject {
    Q_OBJECT

public:
    static constexpr quint32 kEqualsKeyScanCode = 21;

    // Installs the filter on the application once; later calls do nothing.
    static void Install();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    explicit CardReaderKeys(QObject* parent);

    // The press came through and was typed; its release must not type it
    // again.
    bool pressTyped_ = false;
};

}  // namespace mereval::ui
