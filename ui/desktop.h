#pragma once
// The desktop's "open" action: a folder window after an export, a web page
// for an About link.
#include <QUrl>

namespace zelmora {

// QDesktopServices::openUrl; the outcome is not looked at.
void OpenOnDesktop(const QUrl& url);

}  // namespace zelmora
