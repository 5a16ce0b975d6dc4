#include "ui/desktop.h"

#include <QDesktopServices>

namespace zelmora {

std::function<void(const QUrl&)>& DesktopOpener() {
    static std::function<void(const QUrl&)> opener = [](const QUrl& url) { QDesktopServices::openUrl(url); };
    return opener;
}

}  // namespace zelmora
