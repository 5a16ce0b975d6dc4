// Zelmora's window: one main window until it is closed. A file given as the
// one argument (a file manager's "open with") is opened as a table of any
// format; without one the window starts empty. `zelmora --version` prints the
// version and makes no window.
#include <QApplication>
#include <QTimer>

#include <cstdio>
#include <cstring>

#include "formats/files.h"
#include "ui/form.h"
#include "ui/picture_formats.h"
#include "ui/startup.h"
#include "zelmora/version.h"

int main(int argc, char* argv[]) {
    // Before Qt starts, which needs a display.
    if (argc == 2 && std::strcmp(argv[1], "--version") == 0) {
        std::printf("zelmora %s\n", zelmora::kVersion);
        return 0;
    }
    // No file of the window's may take a closed standard descriptor's place;
    // a save cut short by a signal leaves no temporary file behind.
    zelmora::ReserveStandardDescriptors();
    zelmora::RemoveTemporaryFilesOnSignals();
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Zelmora"));
    QApplication::setApplicationVersion(QString::fromUtf8(zelmora::kVersion));
    zelmora::Startup startup;
    // Dialogs and tooltips in the window's font too.
    QApplication::setFont(zelmora::WindowFont());
    // The About picture finds its decoder through this registration.
    zelmora::RegisterJpegFormat();
    int code = 0;
    {
        zelmora::TForm1 form;
        form.show();
        const QStringList args = QApplication::arguments();
        if (args.size() > 1) {
            const QString& file = args.at(1);
            QTimer::singleShot(0, &form, [&form, file] { form.OpenTableFile(file); });
        }
        code = QApplication::exec();
    }
    zelmora::UnregisterJpegFormat();
    return code;
}
