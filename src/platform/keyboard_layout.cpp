#include "platform/keyboard_layout.h"

#include <xkbcommon/xkbcommon-x11.h>
#include <xkbcommon/xkbcommon.h>

#include <memory>

namespace mereval::platform {
namespace {

struct ContextDeleter {
    void operator()(xkb_context* context) const { xkb_context_unref(context); }
};
struct KeymapDeleter {
    void operator()(xkb_keymap* keymap) const { xkb_keymap_unref(keymap); }
};
struct StateDeleter {
    void operator()(xkb_state* state) const { xkb_state_unref(state); }
};

}  // namespace

quint32 LayoutHandleForXkbName(const QByteArray& name) {
    if (name == "Estonian") {
        return kLayoutEstonian;
    }
    if (name == "Russian") {
        return kLayoutRussian;
    }
    return kLayoutNeither;
}

quint32 ActiveXkbLayoutHandle(xcb_connection_t* connection) {
    if (connection == nullptr ||
        !xkb_x11_setup_xkb_extension(
            connection, XKB_X11_MIN_MAJOR_XKB_VERSION, XKB_X11_MIN_MINOR_XKB_VERSION,
            XKB_X11_SETUP_XKB_EXTENSION_NO_FLAGS, nullptr, nullptr, nullptr, nullptr)) {
        return kLayoutNeither;
    }
    const int32_t device = xkb_x11_get_core_keyboard_device_id(connection);
    if (device == -1) {
        return kLayoutNeither;
    }
    const std::unique_ptr<xkb_context, ContextDeleter> context(
        xkb_context_new(XKB_CONTEXT_NO_FLAGS));
    if (!context) {
        return kLayoutNeither;
    }
    const std::unique_ptr<xkb_keymap, KeymapDeleter> keymap(xkb_x11_keymap_new_from_device(
        context.get(), connection, device, XKB_KEYMAP_COMPILE_NO_FLAGS));
    if (!keymap) {
        return kLayoutNeither;
    }
    const std::unique_ptr<xkb_state, StateDeleter> state(
        xkb_x11_state_new_from_device(keymap.get(), connection, device));
    if (!state) {
        return kLayoutNeither;
    }
    const xkb_layout_index_t layouts = xkb_keymap_num_layouts(keymap.get());
    for (xkb_layout_index_t i = 0; i < layouts; ++i) {
        if (xkb_state_layout_index_is_active(state.get(), i, XKB_STATE_LAYOUT_EFFECTIVE) > 0) {
            return LayoutHandleForXkbName(QByteArray(xkb_keymap_layout_get_name(keymap.get(), i)));
        }
    }
    return kLayoutNeither;
}

}  // namespace mereval::platform
