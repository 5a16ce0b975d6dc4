// Where the tool windows open: beside the main window, not over it, within
// the screen. Run on an offscreen screen of a fixed size (1600 by 1000, its
// available area the same), set before the application starts.
#include <QAction>
#include <QApplication>
#include <QFile>
#include <QScreen>
#include <QTemporaryDir>
#include <QTest>

#include <memory>

#include "ui/form.h"
#include "ui/tools/diff_window.h"
#include "ui/tools/tool_window.h"
#include "ui/tools/tools_menu.h"

using namespace zelmora;

class ToolPlacementTest : public QObject {
    Q_OBJECT

private slots:
    void placeBesideWithinTheScreen();
    void everyToolWindowOpensBesideTheMainWindow();
};

void ToolPlacementTest::placeBesideWithinTheScreen() {
    const QRect screen(0, 0, 1600, 1000);
    struct Case {
        const char* what;
        QRect main, screen;
        QSize size;
        QRect want;
    };
    const Case cases[] = {
        {"room on the right", QRect(100, 200, 430, 380), screen, QSize(640, 420), QRect(530, 200, 640, 420)},
        {"exactly the room on the right", QRect(0, 0, 960, 380), screen, QSize(640, 420), QRect(960, 0, 640, 420)},
        {"the right full, room on the left", QRect(1100, 100, 430, 380), screen, QSize(640, 420),
         QRect(460, 100, 640, 420)},
        {"room on neither side: against the edge of the roomier side", QRect(500, 100, 430, 380), screen,
         QSize(1100, 600), QRect(500, 100, 1100, 600)},
        {"room on neither side, more on the left", QRect(700, 100, 430, 380), screen, QSize(1100, 600),
         QRect(0, 100, 1100, 600)},
        {"raised to stay on the screen", QRect(100, 700, 430, 280), screen, QSize(640, 420), QRect(530, 580, 640, 420)},
        {"a main window partly above the screen", QRect(100, -50, 430, 280), screen, QSize(640, 420),
         QRect(530, 0, 640, 420)},
        {"larger than the screen: cut to it", QRect(100, 100, 430, 380), screen, QSize(1800, 1100),
         QRect(0, 0, 1600, 1000)},
        {"a screen not at the origin (a panel above, a second monitor)", QRect(1700, 140, 430, 380),
         QRect(1600, 40, 1920, 1040), QSize(640, 420), QRect(2130, 140, 640, 420)},
        {"on that screen, the right full", QRect(2900, 140, 430, 380), QRect(1600, 40, 1920, 1040), QSize(640, 420),
         QRect(2260, 140, 640, 420)},
    };
    for (const Case& c : cases) {
        const QRect got = tools::PlaceBeside(c.main, c.size, c.screen);
        QVERIFY2(got == c.want, qPrintable(QStringLiteral("%1: got %2,%3 %4x%5")
                                               .arg(QString::fromUtf8(c.what))
                                               .arg(got.x())
                                               .arg(got.y())
                                               .arg(got.width())
                                               .arg(got.height())));
        QVERIFY2(c.screen.contains(got), c.what);
    }
}

void ToolPlacementTest::everyToolWindowOpensBesideTheMainWindow() {
    const QRect screen = QGuiApplication::primaryScreen()->availableGeometry();
    QCOMPARE(screen, QRect(0, 0, 1600, 1000));
    // The main window at the left, then at the right: the windows open on
    // the side with room. The statistics (1100 wide) and the typing
    // evaluation (as large as the screen allows) find none: they keep
    // within the screen, covering as little as fits.
    for (const int left : {0, 1600 - 440}) {
        auto form = std::make_unique<TForm1>();
        form->setMessageBoxRunner([](QMessageBox&) {});
        form->show();
        QVERIFY(QTest::qWaitForWindowExposed(form.get()));
        form->move(left, 100);
        QTRY_COMPARE(form->frameGeometry().left(), left);
        const QRect main = form->frameGeometry();
        for (const char* item : {"ToolCheck", "ToolEncode", "ToolStats", "ToolTyping"})
            form->findChild<QAction*>(item)->trigger();
        // The comparison asks for a file first: opened as the menu opens it, less the dialog.
        tools::DiffWindowOf(form.get())->present();
        const auto windows = form->findChildren<tools::ToolWindow*>(Qt::FindDirectChildrenOnly);
        QCOMPARE(windows.size(), 5);
        for (tools::ToolWindow* w : windows) {
            QVERIFY(QTest::qWaitForWindowExposed(w));
            const QRect at = w->frameGeometry();
            const QString where = QStringLiteral("%1 at %2,%3 %4x%5")
                                      .arg(w->objectName())
                                      .arg(at.x())
                                      .arg(at.y())
                                      .arg(at.width())
                                      .arg(at.height());
            QVERIFY2(screen.contains(at), qPrintable(where));
            const int room = left == 0 ? screen.right() - main.right() : main.left() - screen.left();
            if (at.width() <= room)
                QVERIFY2(!at.intersects(main), qPrintable(where));
            else  // against the screen's edge on the roomier side
                QVERIFY2(left == 0 ? at.right() == screen.right() : at.left() == screen.left(), qPrintable(where));
            QCOMPARE(at.top(), std::clamp(main.top(), screen.top(), screen.bottom() + 1 - at.height()));
        }
    }
}

int main(int argc, char** argv) {
    // The screen's size is set by a configuration of the offscreen platform.
    QTemporaryDir dir;
    const QString config = dir.filePath("screen.json");
    {
        QFile f(config);
        if (!f.open(QIODevice::WriteOnly)) return 2;
        f.write(R"({"screens": [{"name": "fixed", "x": 0, "y": 0, "width": 1600, "height": 1000,
                   "logicalDpi": 96, "logicalBaseDpi": 96, "dpr": 1}]})");
    }
    qputenv("QT_QPA_PLATFORM", ("offscreen:configfile=" + config).toUtf8());
    QApplication app(argc, argv);
    ToolPlacementTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "test_tool_placement.moc"
