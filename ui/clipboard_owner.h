#pragma once
// Whether the clipboard's owner answers. On X11 the clipboard's text comes
// from the program that owns it; one that doesn't answer makes the toolkit's
// read wait for tens of seconds. The paste commands ask first, on a
// connection of their own, and give up after a bounded wait.
#include <chrono>
#include <functional>

namespace zelmora {

// How long the paste commands wait for the clipboard's owner.
inline constexpr std::chrono::milliseconds kClipboardTimeout{2000};

// True when the owner of the display's clipboard answers a request for its
// list of formats within `timeout`, or when nobody owns the clipboard. False
// when the owner stays silent or the display can't be reached. `display`:
// null for $DISPLAY.
bool X11ClipboardOwnerAnswers(const char* display, std::chrono::milliseconds timeout);

// The check the paste commands run when another program owns the clipboard:
// whether it answers within the time given.
using ClipboardOwnerCheck = std::function<bool(std::chrono::milliseconds)>;
// X11ClipboardOwnerAnswers on the xcb platform, "answers" elsewhere.
bool DefaultClipboardOwnerCheck(std::chrono::milliseconds timeout);

}  // namespace zelmora
