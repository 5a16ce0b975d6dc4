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
#include <QMenuBar>
#include <QFontDatabase>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QPushButton>
#include <QRegularExpression>
#include <QToolButton>
#include <QToolTip>
#include <QTest>
#include <QTimer>

#include <memory>

#include "ui/status_line.h"
#include "window_support.h"

using namespace zelmora;
using namespace zelmora::testing;

class WindowAccessTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();

    void enterInTheOpenDialogLeavesNoPopup();
    void menuKeyOpensThePanesOwnMenu();
    void menuBarByKeyboard_data();
    void menuBarByKeyboard();
    void menusStayInTheBar_data();
    void menusStayInTheBar();
    void statusLinesReadableWhateverTheCounts();

private:
    std::unique_ptr<TForm1> form;
    std::vector<Box> boxes;
};

void WindowAccessTest::initTestCase() {
    // As the program starts: dialogs, menus and tooltips in the window's font.
    QApplication::setFont(WindowFont());
}

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

void WindowAccessTest::menuBarByKeyboard_data() {
    QTest::addColumn<QString>("key");
    QTest::addColumn<bool>("opensMenu");  // the first menu opened, or only the bar entered
    QTest::newRow("F10") << QStringLiteral("F10") << true;
    QTest::newRow("Alt alone") << QStringLiteral("Alt") << true;
}

void WindowAccessTest::menuBarByKeyboard() {
    QFETCH(QString, key);
    QFETCH(bool, opensMenu);
    // The window takes the keyboard as it comes up, window manager or none:
    // else no key of the window reaches it.
    QTRY_VERIFY(form->isActiveWindow());
    form->RichEdit1->setFocus();
    QTRY_VERIFY(form->RichEdit1->hasFocus());
    QWindow* window = form->windowHandle();
    if (key == "F10") {
        QTest::keyClick(window, Qt::Key_F10);
    } else {
        // As X11 reports it: the press with the Alt modifier, the release without.
        QTest::keyPress(window, Qt::Key_Alt, Qt::AltModifier);
        QTest::keyRelease(window, Qt::Key_Alt, Qt::NoModifier);
    }
    QMenuBar* bar = form->menuBar();
    QTRY_COMPARE(bar->activeAction(), form->N1->menuAction());
    QCOMPARE(form->N1->isVisible(), opensMenu);
    // The arrow keys go along the bar, to the menu beside.
    QWidget* keys = opensMenu ? static_cast<QWidget*>(form->N1) : bar;
    QTest::keyClick(keys, Qt::Key_Right);
    QTRY_COMPARE(bar->activeAction(), form->FormatMenu->menuAction());
    if (!opensMenu) QTest::keyClick(bar, Qt::Key_Down);
    QTRY_VERIFY(form->FormatMenu->isVisible());
    // Opened by a key, on its first item; Down passes over the disabled export.
    QTRY_COMPARE(form->FormatMenu->activeAction(), form->OpenAnyFormatItem);
    QTest::keyClick(form->FormatMenu, Qt::Key_Down);
    QCOMPARE(form->FormatMenu->activeAction(), form->SavePaneItem);
    QTest::keyClick(form->FormatMenu, Qt::Key_Escape);
    QTest::keyClick(bar, Qt::Key_Escape);
    QTRY_VERIFY(!form->FormatMenu->isVisible());
    // The items themselves still have no shortcuts.
    for (QAction* a : form->N1->actions()) QVERIFY(a->shortcut().isEmpty());
}

void WindowAccessTest::menusStayInTheBar_data() {
    QTest::addColumn<QString>("family");  // empty: the window's own font
    QTest::addColumn<int>("pixels");
    QTest::newRow("window font") << QString() << 12;
    QTest::newRow("Noto Sans CJK 12px") << QStringLiteral("Noto Sans CJK SC") << 12;
    QTest::newRow("Noto Sans CJK 16px") << QStringLiteral("Noto Sans CJK SC") << 16;
    QTest::newRow("Noto Sans CJK 24px") << QStringLiteral("Noto Sans CJK SC") << 24;
}

void WindowAccessTest::menusStayInTheBar() {
    QFETCH(QString, family);
    QFETCH(int, pixels);
    // Where the window manager frames the window, after it has.
    QTest::qWait(400);
    if (!family.isEmpty()) {
        if (!QFontDatabase::families().contains(family))
            QFAIL("the font Noto Sans CJK is missing: install the package fonts-noto-cjk (scripts/install-deps)");
        // The window in that font, as where it is the one Chinese font installed.
        QFont font(family);
        font.setPixelSize(pixels);
        form->setFont(font);
        form->menuBar()->setFont(font);
        for (QMenu* menu : form->menuBar()->findChildren<QMenu*>()) menu->setFont(font);
    }
    QMenuBar* bar = form->menuBar();
    const QList<QAction*> menus = bar->actions();
    QVERIFY(menus.size() >= 3);  // 原码表, 格式, 工具
    QTRY_VERIFY2(bar->rect().contains(bar->actionGeometry(menus.last())), qPrintable(family));
    for (QAction* menu : menus) {
        const QRect at = bar->actionGeometry(menu);
        QVERIFY2(!at.isEmpty() && bar->rect().contains(at), qPrintable(menu->text()));
        QCOMPARE(bar->actionAt(at.center()), menu);
    }
    auto* overflow = bar->findChild<QToolButton*>("qt_menubar_ext_button");
    QVERIFY(!overflow || !overflow->isVisible());
    // The pages keep their size below it.
    QTRY_COMPARE(form->PageControl1->height(), 364);
    QCOMPARE(form->centralWidget()->height(), 364 + 97);
    QCOMPARE(form->TabSheet1->size(), QSize(418, 337));
}

void WindowAccessTest::statusLinesReadableWhateverTheCounts() {
    form->N86GB67631->trigger();
    RunEveryDerivation(*form);
    // What stands right of each status line, and where the line starts.
    struct Line {
        QLabel* label;
        QWidget* next;  // none: the strip's edge
        QPoint at;
    };
    const std::vector<Line> lines = {
        {form->Label1, form->Label2, {8, 8}},   {form->Label2, form->Label9, {146, 8}},
        {form->Label9, nullptr, {283, 8}},      {form->Label4, form->Button4, {8, 16}},
        {form->Label7, form->Button7, {8, 16}}, {form->Label5, form->Button5, {8, 16}},
        {form->Label3, form->Button3, {8, 16}}, {form->Label10, form->Button1, {8, 16}},
    };
    const std::map<QWidget*, QRect> buttons = {{form->Button4, {320, 9, 75, 25}},
                                               {form->Button7, {320, 9, 75, 25}},
                                               {form->Button5, {320, 9, 75, 25}},
                                               {form->Button3, {336, 9, 75, 25}},
                                               {form->Button1, {336, 9, 75, 25}}};
    int smaller = 0;
    for (const Line& line : lines) {
        auto* status = qobject_cast<StatusLine*>(line.label);
        QVERIFY2(status, qPrintable(line.label->objectName()));
        const QString now = line.label->text();
        QVERIFY2(!now.isEmpty(), qPrintable(line.label->objectName()));
        // A short status in the window's own font, whole.
        line.label->setText(QStringLiteral("1行"));
        line.label->adjustSize();
        QCOMPARE(status->look().font, line.label->font());
        QCOMPARE(status->look().text, QStringLiteral("1行"));
        // A table of 5,000,000 entries: every count seven digits; and the wait text.
        QString huge = now;
        huge.replace(QRegularExpression("[0-9]+"), QStringLiteral("5000000"));
        for (const QString& text : {huge, QStringLiteral("请稍等...")}) {
            const QString name = line.label->objectName() + ": " + text;
            line.label->setText(text);
            line.label->adjustSize();
            QCOMPARE(line.label->pos(), line.at);
            const int end = line.next ? line.next->x() : line.label->parentWidget()->contentsRect().right() + 1;
            QVERIFY2(line.label->geometry().right() < end, qPrintable(name));
            const StatusLine::Look look = status->look();
            QVERIFY2(line.label->x() + QFontMetrics(look.font).horizontalAdvance(look.text) <= end, qPrintable(name));
            QVERIFY2(QFontInfo(look.font).pixelSize() >= StatusLine::kSmallestPixels, qPrintable(name));
            if (look.whole) {
                QCOMPARE(look.text, text);
            } else {
                // Cut short: the whole text as the tooltip.
                QHelpEvent help(QEvent::ToolTip, QPoint(2, 2), line.label->mapToGlobal(QPoint(2, 2)));
                QApplication::sendEvent(line.label, &help);
                QTRY_COMPARE(QToolTip::text(), text);
                QToolTip::hideText();
            }
            if (look.font != line.label->font()) ++smaller;
            QCOMPARE(line.label->text(), text);  // what the window reports stays whole
        }
        if (line.next && buttons.count(line.next)) QCOMPARE(line.next->geometry(), buttons.at(line.next));
    }
    QVERIFY(smaller > 0);  // the long ones did need it
}

QTEST_MAIN(WindowAccessTest)
#include "test_window_access.moc"
