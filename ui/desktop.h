#pragma once
// The desktop's "open" action: a folder window after an export, a web page
// for an About link. Replaceable, so that tests see what would be opened.
#include <QUrl>
#include <functional>

namespace zelmora {

// Defaults to QDesktopServices::openUrl; the outcome is not looked at.
std::function<void(const QUrl&)>& DesktopOpener();

}  // namespace zelmora
