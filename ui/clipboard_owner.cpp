#include "ui/clipboard_owner.h"

#include <QGuiApplication>

#include <poll.h>
#include <xcb/xcb.h>

#include <cstdlib>
#include <cstring>
#include <memory>

namespace zelmora {

namespace {

xcb_atom_t Atom(xcb_connection_t* c, const char* name) {
    xcb_intern_atom_reply_t* r =
        xcb_intern_atom_reply(c, xcb_intern_atom(c, 0, static_cast<uint16_t>(std::strlen(name)), name), nullptr);
    if (!r) return XCB_ATOM_NONE;
    const xcb_atom_t atom = r->atom;
    std::free(r);
    return atom;
}

}  // namespace

bool X11ClipboardOwnerAnswers(const char* display, std::chrono::milliseconds timeout) {
    using Clock = std::chrono::steady_clock;
    const Clock::time_point deadline = Clock::now() + timeout;
    int screenNumber = 0;
    std::unique_ptr<xcb_connection_t, void (*)(xcb_connection_t*)> connection(xcb_connect(display, &screenNumber),
                                                                              xcb_disconnect);
    xcb_connection_t* c = connection.get();
    if (xcb_connection_has_error(c)) return false;

    const xcb_atom_t clipboard = Atom(c, "CLIPBOARD");
    const xcb_atom_t targets = Atom(c, "TARGETS");
    const xcb_atom_t property = Atom(c, "ZELMORA_CLIPBOARD_PROBE");
    xcb_get_selection_owner_reply_t* owner =
        xcb_get_selection_owner_reply(c, xcb_get_selection_owner(c, clipboard), nullptr);
    if (!owner) return false;
    const bool owned = owner->owner != XCB_WINDOW_NONE;
    std::free(owner);
    if (!owned) return true;  // an empty clipboard is read at once

    xcb_screen_iterator_t it = xcb_setup_roots_iterator(xcb_get_setup(c));
    for (int i = 0; i < screenNumber && it.rem; ++i) xcb_screen_next(&it);
    if (!it.rem) return false;
    const xcb_window_t window = xcb_generate_id(c);
    xcb_create_window(c, XCB_COPY_FROM_PARENT, window, it.data->root, 0, 0, 1, 1, 0, XCB_WINDOW_CLASS_INPUT_ONLY,
                      XCB_COPY_FROM_PARENT, 0, nullptr);
    xcb_convert_selection(c, window, clipboard, targets, property, XCB_CURRENT_TIME);
    xcb_flush(c);

    const int fd = xcb_get_file_descriptor(c);
    for (;;) {
        while (xcb_generic_event_t* event = xcb_poll_for_event(c)) {
            const bool answer = (event->response_type & 0x7F) == XCB_SELECTION_NOTIFY &&
                                reinterpret_cast<xcb_selection_notify_event_t*>(event)->requestor == window;
            std::free(event);
            if (answer) return true;  // with or without the list: the owner is alive
        }
        if (xcb_connection_has_error(c)) return false;
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
        if (left <= 0) return false;
        pollfd p{fd, POLLIN, 0};
        ::poll(&p, 1, static_cast<int>(left));
    }
}

bool DefaultClipboardOwnerCheck(std::chrono::milliseconds timeout) {
    if (QGuiApplication::platformName() != QLatin1String("xcb")) return true;
    return X11ClipboardOwnerAnswers(nullptr, timeout);
}

}  // namespace zelmora
