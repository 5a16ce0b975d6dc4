#include "ui/desktop.h"

#include <QDesktopServices>

namespace zelmora {

bool OpenOnDesktop(const QUrl& url) { return QDesktopServices::openUrl(url); }

}  // namespace zelmora
