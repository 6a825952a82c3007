#include "ui/card_reader_keys.h"

#include <QCoreApplication>
#include <QGuiApplication>
#include <QInputMethod>
#include <QInputMethodQueryEvent>
#include <QKeyEvent>

#include <utility>

namespace mereval::ui {
namespace {

constexpr quint32 kAcuteKeysym = 0x00b4;  // XK_acute, the spacing accent
const QString kAcute = QStringLiteral(u"´");

}  // namespace

CardReaderKeys::CardReaderKeys(QObject* parent) : QObject(parent) {
    setObjectName(QStringLiteral("CardReaderKeys"));
}

void CardReaderKeys::Install() {
    QCoreApplication* app = QCoreApplication::instance();
    if (app == nullptr ||
        app->findChild<CardReaderKeys*>(QString(), Qt::FindDirectChildrenOnly) != nullptr) {
        return;
    }
    app->installEventFilter(new CardReaderKeys(app));
    // Qt asks when the focus moves and keeps the answer; a control that has
    // the focus already must be asked again.
    QGuiApplication::inputMethod()->update(Qt::ImEnabled);
}

bool CardReaderKeys::eventFilter(QObject* watched, QEvent* event) {
    // Only the controls count: a key event reaches the window first and then
    // its focus widget, where the character belongs.
    if (!watched->isWidgetType()) {
        return false;
    }
    const QEvent::Type type = event->type();
    if (type == QEvent::InputMethodQuery) {
        // The question that input methods ask before they take a key.
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
    const auto* key = static_cast<QKeyEvent*>(event);
    if (key->key() != Qt::Key_Dead_Acute || key->nativeScanCode() != kEqualsKeyScanCode) {
        return false;
    }
    // Should an input method take the press all the same, the release still
    // comes in order with the keys around it, and the accent is typed then.
    if (type == QEvent::KeyRelease && std::exchange(pressTyped_, false)) {
        return false;
    }
    pressTyped_ = type == QEvent::KeyPress;
    QKeyEvent typed(QEvent::KeyPress, Qt::Key_acute, key->modifiers(), key->nativeScanCode(),
                    kAcuteKeysym, key->nativeModifiers(), kAcute);
    typed.setTimestamp(key->timestamp());
    QCoreApplication::sendEvent(watched, &typed);
    // The dead press itself goes no further; a release may.
    return type == QEvent::KeyPress;
}

}  // namespace mereval::ui
