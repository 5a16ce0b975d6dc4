#include "ui/desktop.h"

#include <QDesktopServices>

namespace zelmora {

void OpenOnDesktop(const QUrl& url) { QDesktopServices::openUrl(url); }

}  // namespace zelmora
