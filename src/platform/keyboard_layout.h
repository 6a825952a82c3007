#pragma once

#include <QByteArray>
#include <QtGlobal>

struct xcb_connection_t;

namespace mereval::platform {

// The keyboard layout handles that card track normalisation knows, in the
// form the till's original platform reports them: language in the low word,
// layout in the high word. Only the default Estonian and Russian layouts
// count; every other layout is "neither" (0).
inline constexpr quint32 kLayoutNeither = 0;
inline constexpr quint32 kLayoutEstonian = 0x04250425;
inline constexpr quint32 kLayoutRussian = 0x04190419;

// The handle for an XKB layout (group) name such as "Estonian" or
// "Russian"; variants ("Estonian (Dvorak)") are other layouts.
quint32 LayoutHandleForXkbName(const QByteArray& name);

// The layout of the active XKB group of the core keyboard, read on an open
// X connection. kLayoutNeither without a connection or without XKB.
quint32 ActiveXkbLayoutHandle(xcb_connection_t* connection);

}  // namespace mereval::platform
