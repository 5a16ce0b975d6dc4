// The window reached without a mouse and seen whole: the menu bar's menus
// in view whatever the font and the window manager, status lines readable
// whatever the counts, F10 and Alt for the menu bar, the Menu key for a
// pane's own context menu, and the open dialog leaving nothing behind when
// Enter closes it. Some cases run on a real X server too (CMakeLists.txt).
#include <QAbstractItemView>
#include <QApplication>
#include <QCompleter>
#include <QFileDialog>
#include <QLineEdit>
#include <QMenu>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <memory>

#include "window_support.h"

using namespace zelmora;
using namespace zelmora::testing;

class WindowAccessTest : public QObject {
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void enterInTheOpenDialogLeavesNoPopup();
    void menuKeyOpensThePanesOwnMenu();

private:
    std::unique_ptr<TForm1> form;
    std::vector<Box> boxes;
};

void WindowAccessTest::init() {
    boxes.clear();
    form = std::make_unique<TForm1>();
    form->setMessageBoxRunner([this](QMessageBox& box) {
        boxes.push_back({box.icon(), box.windowTitle(), box.text()});
    });
    form->show();
    QVERIFY(QTest::qWaitForWindowExposed(form.get()));
}

void WindowAccessTest::cleanup() { form.reset(); }

void WindowAccessTest::enterInTheOpenDialogLeavesNoPopup() {
    QTemporaryDir dir;
    WriteFile(dir.filePath("table.txt"), "aa x\r\n");
    WriteFile(dir.filePath("tablet.txt"), "bb y\r\n");
    // The path typed key by key, the completion popup open over it, then Enter.
    bool popupWasOpen = false;
    QTimer::singleShot(300, form.get(), [&] {
        auto* dialog = form->findChild<QFileDialog*>("OpenDialog1");
        auto* edit = dialog ? dialog->findChild<QLineEdit*>("fileNameEdit") : nullptr;
        if (!edit) return;
        edit->clear();
        QTest::keyClicks(edit, dir.filePath("tab"));
        QTest::qWait(500);
        QTest::keyClicks(edit, "le.txt");
        QTest::qWait(500);
        popupWasOpen = edit->completer() && edit->completer()->popup()->isVisible();
        QWidget* keys = QApplication::activePopupWidget() ? QApplication::activePopupWidget() : edit;
        QTest::keyClick(keys, Qt::Key_Return);
    });
    form->N2->trigger();
    QVERIFY(boxes.empty());
    QCOMPARE(form->Label1->text(), QStringLiteral("1行"));
    QVERIFY(popupWasOpen);
    QCOMPARE(QApplication::activePopupWidget(), nullptr);
    for (QWidget* w : QApplication::topLevelWidgets())
        QVERIFY2(!w->isVisible() || w == form.get(), w->metaObject()->className());
}

namespace {

// The texts of the popup menu that `open` brings up, closed again at once.
QStringList PopupItems(const std::function<void()>& open) {
    QStringList items;
    QTimer::singleShot(200, [&] {
        if (auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget())) {
            for (QAction* a : menu->actions())
                if (!a->isSeparator()) items << a->text().section(u'\t', 0, 0);
            menu->close();
        }
    });
    open();
    QTest::qWait(300);
    return items;
}

}  // namespace

void WindowAccessTest::menuKeyOpensThePanesOwnMenu() {
    WritePaneText(*form->RichEdit2, "aa x\r\nbb y");
    form->activateWindow();
    form->RichEdit2->setFocus();
    QTRY_VERIFY(form->RichEdit2->hasFocus());
    const QPoint inside = form->RichEdit2->viewport()->rect().center();
    const QStringList byMouse = PopupItems([&] {
        QContextMenuEvent e(QContextMenuEvent::Mouse, inside, form->RichEdit2->viewport()->mapToGlobal(inside));
        QApplication::sendEvent(form->RichEdit2->viewport(), &e);
    });
    // The Menu key: the platform sends the window a context menu event of
    // the keyboard, which goes to the widget with focus.
    auto menuKey = [&] {
        QContextMenuEvent e(QContextMenuEvent::Keyboard, QPoint(5, 5), form->mapToGlobal(QPoint(5, 5)));
        QApplication::sendEvent(form->windowHandle(), &e);
    };
    const QStringList byKey = PopupItems(menuKey);
    for (const char* item : {"查找...", "转到行...", "另存为..."})
        QVERIFY2(byKey.contains(QString::fromUtf8(item)), qPrintable(byKey.join(u'|')));
    QCOMPARE(byKey, byMouse);
    // The help pane has no such items: the editor's own menu only.
    form->RichEdit20->setFocus();
    QTRY_VERIFY(form->RichEdit20->hasFocus());
    const QStringList help = PopupItems(menuKey);
    QVERIFY(!help.isEmpty());
    QVERIFY(!help.contains(QStringLiteral("查找...")));
}

QTEST_MAIN(WindowAccessTest)
#include "test_window_access.moc"
