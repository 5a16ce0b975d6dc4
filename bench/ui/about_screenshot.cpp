// Shows the window on its About tab and saves what the screen shows, at the
// start size and taller by the given number of pixels, for looking at the page
// under a real X server:
//   xvfb-run -a -s "-screen 0 1024x768x24" zelmora_about_screenshot OUT_DIR [EXTRA_HEIGHT]
#include <QApplication>
#include <QLabel>
#include <QScreen>
#include <QTabWidget>
#include <QTest>
#include <QWindow>

#include <cstdio>

#include "ui/form.h"
#include "ui/picture_formats.h"

namespace {

bool Save(zelmora::TForm1& form, const QString& path) {
    QTest::qWait(500);  // the window settles on its frame, then paints
    const QRect frame = form.frameGeometry();
    const QPixmap shot = form.screen()->grabWindow(0, frame.x(), frame.y(), frame.width(), frame.height());
    std::printf("%s: window %dx%d, Image1 %dx%d\n", qPrintable(path), frame.width(), frame.height(),
                form.Image1->width(), form.Image1->height());
    return shot.save(path, "PNG");
}

}  // namespace

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    if (argc < 2) {
        std::fprintf(stderr, "usage: %s OUT_DIR [EXTRA_HEIGHT]\n", argv[0]);
        return 2;
    }
    const QString dir = QString::fromLocal8Bit(argv[1]);
    const int extra = argc > 2 ? std::atoi(argv[2]) : 150;
    QApplication::setFont(zelmora::WindowFont());
    zelmora::RegisterJpegFormat();
    int code = 0;
    {
        zelmora::TForm1 form;
        form.show();
        if (!QTest::qWaitForWindowExposed(&form)) return 1;
        form.PageControl1->setCurrentWidget(form.TabSheet4);
        if (!Save(form, dir + "/about-start.png")) code = 1;
        form.resize(form.width(), form.height() + extra);
        if (!Save(form, dir + "/about-taller.png")) code = 1;
    }
    zelmora::UnregisterJpegFormat();
    return code;
}
