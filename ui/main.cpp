// Zelmora's window: one main window until it is closed.
#include <QApplication>

#include "ui/form.h"
#include "ui/picture_formats.h"

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Zelmora"));
    QApplication::setApplicationVersion(QStringLiteral("0.9.10.26"));
    // Dialogs and tooltips in the window's font too.
    QApplication::setFont(zelmora::WindowFont());
    // The About picture finds its decoder through this registration.
    zelmora::RegisterJpegFormat();
    int code = 0;
    {
        zelmora::TForm1 form;
        form.show();
        code = QApplication::exec();
    }
    zelmora::UnregisterJpegFormat();
    return code;
}
