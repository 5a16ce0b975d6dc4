// Zelmora's window: one main window until it is closed.
#include <QApplication>

#include "formats/files.h"
#include "ui/form.h"
#include "ui/picture_formats.h"

int main(int argc, char* argv[]) {
    // No file of the window's may take a closed standard descriptor's place;
    // a save cut short by a signal leaves no temporary file behind.
    zelmora::ReserveStandardDescriptors();
    zelmora::RemoveTemporaryFilesOnSignals();
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
