#pragma once

#include <QtGlobal>

namespace mereval::ui {

// The layout handle (platform/keyboard_layout.h) of the keyboard layout
// active now, read on the application's own X connection; "neither" when the
// application does not run on X11 (offscreen tests, Wayland without XWayland).
quint32 ActiveKeyboardLayout();

}  // namespace mereval::ui
