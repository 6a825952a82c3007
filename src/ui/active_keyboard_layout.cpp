#include "ui/active_keyboard_layout.h"

#include "platform/keyboard_layout.h"

#include <QGuiApplication>

namespace mereval::ui {

quint32 ActiveKeyboardLayout() {
    const auto* x11 = qGuiApp != nullptr
                          ? qGuiApp->nativeInterface<QNativeInterface::QX11Application>()
                          : nullptr;
    return platform::ActiveXkbLayoutHandle(x11 != nullptr ? x11->connection() : nullptr);
}

}  // namespace mereval::ui
