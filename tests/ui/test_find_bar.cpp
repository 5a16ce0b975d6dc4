// The find bar and go-to-line: keys of the panes, a code typed alone finds
// the lines that start with it, the count of matches, wrapping around, and
// lines inside the blocks a big text is held in.
#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QFileDialog>
#include <QMenu>
#include <QMenuBar>
#include <QTemporaryDir>
#include <QTest>
#include <QTextBlock>

#include <memory>

#include "ui/find_bar.h"
#include "ui/desktop.h"
#include "window_support.h"

using namespace zelmora;
using namespace zelmora::testing;

namespace {

QString LineAtCursor(const Pane& pane) {
    QTextCursor c = pane.textCursor();
    c.clearSelection();
    c.movePosition(QTextCursor::StartOfLine);
    c.movePosition(QTextCursor::EndOfLine, QTextCursor::KeepAnchor);
    return c.selectedText();
}

}  // namespace

class FindBarTest : public QObject {
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void ctrlFOpensTheBarOverThePage();
    void aCodeFindsTheLinesStartingWithIt();
    void otherTextIsFoundAnywhere();
    void nextAndPreviousWrapAround();
    void escapeClosesAndFollowsThePane();
    void theKeysChangeNoText();
    void goToLine();
    void goToLineInsideBigBlocks();
    void thePanesContextMenu();

private:
    FindBar* bar() const { return form->FindBar1; }
    void type(const QString& text) {
        bar()->field()->clear();
        QTest::keyClicks(bar()->field(), text);
    }
    std::unique_ptr<TForm1> form;
};

void FindBarTest::init() {
    form = std::make_unique<TForm1>();
    form->show();
    QVERIFY(QTest::qWaitForWindowExposed(form.get()));
    WritePaneText(*form->RichEdit1,
                  EncodePaneText(QStringLiteral("a x\r\naa y\r\naab z\r\nbaa w\r\nx aa\r\nAAC v\r\nb 工\r\nc 工人")));
    form->RichEdit1->setFocus();
    QTRY_VERIFY(form->RichEdit1->hasFocus());
    form->RichEdit1->moveCursor(QTextCursor::Start);
}

void FindBarTest::cleanup() { form.reset(); }

void FindBarTest::ctrlFOpensTheBarOverThePage() {
    QVERIFY(!bar()->isVisible());
    const int paneHeight = form->RichEdit1->height();
    QTest::keyClick(form->RichEdit1, Qt::Key_F, Qt::ControlModifier);
    QVERIFY(bar()->isVisible());
    QCOMPARE(bar()->pane(), form->RichEdit1);
    QTRY_VERIFY(bar()->field()->hasFocus());
    // Over the bottom of the page control, the layout untouched.
    QCOMPARE(bar()->geometry().bottom(), form->PageControl1->geometry().bottom());
    QCOMPARE(bar()->width(), form->PageControl1->width());
    QCOMPARE(form->RichEdit1->height(), paneHeight);
    QCOMPARE(form->PageControl1->height(), 364);
}

void FindBarTest::aCodeFindsTheLinesStartingWithIt() {
    QTest::keyClick(form->RichEdit1, Qt::Key_F, Qt::ControlModifier);
    type("aa");
    // "aa y", "aab z" and "AAC v": not "baa w" nor "x aa".
    QCOMPARE(bar()->matches().size(), std::size_t{3});
    QCOMPARE(bar()->countLabel()->text(), QStringLiteral("1/3"));
    QCOMPARE(form->RichEdit1->textCursor().selectedText(), QStringLiteral("aa"));
    QCOMPARE(LineAtCursor(*form->RichEdit1), QStringLiteral("aa y"));
    type("aab");
    QCOMPARE(bar()->matches().size(), std::size_t{1});
    QCOMPARE(LineAtCursor(*form->RichEdit1), QStringLiteral("aab z"));
    type("q");
    QVERIFY(bar()->matches().empty());
    QCOMPARE(bar()->countLabel()->text(), QStringLiteral("无匹配"));
    type("");
    QCOMPARE(bar()->countLabel()->text(), QString());
}

void FindBarTest::otherTextIsFoundAnywhere() {
    QTest::keyClick(form->RichEdit1, Qt::Key_F, Qt::ControlModifier);
    bar()->field()->setText(QStringLiteral("工"));
    QCOMPARE(bar()->matches().size(), std::size_t{2});
    bar()->field()->setText(QStringLiteral(" aa"));
    QCOMPARE(bar()->matches().size(), std::size_t{1});
    QCOMPARE(LineAtCursor(*form->RichEdit1), QStringLiteral("x aa"));
    bar()->field()->setText(QStringLiteral("Z"));  // letters only: a code, at line starts
    QVERIFY(bar()->matches().empty());
    bar()->field()->setText(QStringLiteral("B 工"));  // anything else ignores case too
    QCOMPARE(bar()->matches().size(), std::size_t{1});
}

void FindBarTest::nextAndPreviousWrapAround() {
    QTest::keyClick(form->RichEdit1, Qt::Key_F, Qt::ControlModifier);
    type("aa");
    QTest::keyClick(bar()->field(), Qt::Key_F3);
    QCOMPARE(bar()->countLabel()->text(), QStringLiteral("2/3"));
    QCOMPARE(LineAtCursor(*form->RichEdit1), QStringLiteral("aab z"));
    QTest::keyClick(bar()->field(), Qt::Key_Return);
    QCOMPARE(bar()->countLabel()->text(), QStringLiteral("3/3"));
    QCOMPARE(LineAtCursor(*form->RichEdit1), QStringLiteral("AAC v"));
    QTest::keyClick(bar()->field(), Qt::Key_F3);
    QCOMPARE(bar()->countLabel()->text(), QStringLiteral("1/3"));
    QTest::keyClick(bar()->field(), Qt::Key_F3, Qt::ShiftModifier);
    QCOMPARE(bar()->countLabel()->text(), QStringLiteral("3/3"));
    QTest::keyClick(bar()->field(), Qt::Key_Return, Qt::ShiftModifier);
    QCOMPARE(bar()->countLabel()->text(), QStringLiteral("2/3"));
    // F3 in the pane itself goes on from there.
    form->RichEdit1->setFocus();
    QTest::keyClick(form->RichEdit1, Qt::Key_F3);
    QCOMPARE(bar()->countLabel()->text(), QStringLiteral("3/3"));
}

void FindBarTest::escapeClosesAndFollowsThePane() {
    QTest::keyClick(form->RichEdit1, Qt::Key_F, Qt::ControlModifier);
    type("aa");
    QTest::keyClick(bar()->field(), Qt::Key_Escape);
    QVERIFY(!bar()->isVisible());
    QTRY_VERIFY(form->RichEdit1->hasFocus());
    // Opened from another pane, it searches that pane.
    WritePaneText(*form->RichEdit2, "aa 1\r\naa 2");
    form->RichEdit2->setFocus();
    QTest::keyClick(form->RichEdit2, Qt::Key_F, Qt::ControlModifier);
    QCOMPARE(bar()->pane(), form->RichEdit2);
    QCOMPARE(bar()->matches().size(), std::size_t{2});
}

void FindBarTest::theKeysChangeNoText() {
    const std::string before = ReadPaneText(*form->RichEdit1);
    int changes = 0;
    connect(form->RichEdit1, &QPlainTextEdit::textChanged, this, [&] { ++changes; });
    bar()->setLineAsker([](QWidget*, int, int) { return std::optional<int>(2); });
    for (auto [key, mods] : {std::pair{Qt::Key_F, Qt::ControlModifier},
                             {Qt::Key_G, Qt::ControlModifier},
                             {Qt::Key_F3, Qt::NoModifier},
                             {Qt::Key_F3, Qt::ShiftModifier}}) {
        form->RichEdit1->setFocus();
        QTest::keyClick(form->RichEdit1, key, mods);
    }
    QCOMPARE(changes, 0);
    QCOMPARE(ReadPaneText(*form->RichEdit1), before);
    // Keys of the panes: no menu item carries them.
    for (QAction* top : form->menuBar()->actions())
        if (top->menu())
            for (QAction* item : top->menu()->actions()) QVERIFY(item->shortcut().isEmpty());
}

void FindBarTest::goToLine() {
    int asked = 0, last = 0, now = 0;
    bar()->setLineAsker([&](QWidget*, int l, int n) {
        ++asked;
        last = l;
        now = n;
        return std::optional<int>(4);
    });
    QTest::keyClick(form->RichEdit1, Qt::Key_G, Qt::ControlModifier);
    QCOMPARE(asked, 1);
    QCOMPARE(last, 8);
    QCOMPARE(now, 1);
    QCOMPARE(LineAtCursor(*form->RichEdit1), QStringLiteral("baa w"));
    QCOMPARE(PaneCursorLine(*form->RichEdit1), std::size_t{4});
    // Cancelled: the cursor stays.
    bar()->setLineAsker([](QWidget*, int, int) { return std::optional<int>(); });
    QTest::keyClick(form->RichEdit1, Qt::Key_G, Qt::ControlModifier);
    QCOMPARE(PaneCursorLine(*form->RichEdit1), std::size_t{4});
    // Past the end: the last line.
    GoToPaneLine(*form->RichEdit1, 99);
    QCOMPARE(LineAtCursor(*form->RichEdit1), QStringLiteral("c 工人"));
}

void FindBarTest::goToLineInsideBigBlocks() {
    // A written text is held 64 lines to a block: lines are found inside them.
    std::string text;
    for (int i = 1; i <= 300; ++i) text += "c" + std::to_string(i) + " w\r\n";
    WritePaneText(*form->RichEdit2, text);
    QVERIFY(form->RichEdit2->document()->blockCount() < 300);
    for (std::size_t line : {std::size_t{1}, std::size_t{64}, std::size_t{65}, std::size_t{150}, std::size_t{300}}) {
        GoToPaneLine(*form->RichEdit2, line);
        QCOMPARE(LineAtCursor(*form->RichEdit2), QStringLiteral("c%1 w").arg(line));
        QCOMPARE(PaneCursorLine(*form->RichEdit2), line);
    }
    // And found across them.
    form->RichEdit2->setFocus();
    form->RichEdit2->moveCursor(QTextCursor::Start);
    QTest::keyClick(form->RichEdit2, Qt::Key_F, Qt::ControlModifier);
    type("c15");
    QCOMPARE(bar()->matches().size(), std::size_t{11});  // c15, c150..c159
    QTest::keyClick(bar()->field(), Qt::Key_F3, Qt::ShiftModifier);
    QCOMPARE(LineAtCursor(*form->RichEdit2), QStringLiteral("c159 w"));
}

void FindBarTest::thePanesContextMenu() {
    std::unique_ptr<QMenu> menu(form->makePaneContextMenu(form->RichEdit2, QPoint(5, 5)));
    const QList<QAction*> items = menu->actions();
    // The editor's own items first, then the pane's.
    QVERIFY(items.size() > 4);
    QCOMPARE(items[items.size() - 3]->objectName(), QStringLiteral("PaneFindItem"));
    QCOMPARE(items[items.size() - 2]->objectName(), QStringLiteral("PaneGoToLineItem"));
    QCOMPARE(items[items.size() - 1]->objectName(), QStringLiteral("PaneSaveItem"));
    QVERIFY(items[items.size() - 4]->isSeparator());
    for (QAction* a : items) QVERIFY(a->shortcut().isEmpty() || !a->objectName().startsWith("Pane"));

    WritePaneText(*form->RichEdit2, "aa 1\r\nbb 2\r\ncc 3");
    items[items.size() - 3]->trigger();
    QVERIFY(bar()->isVisible());
    QCOMPARE(bar()->pane(), form->RichEdit2);
    bar()->setLineAsker([](QWidget*, int, int) { return std::optional<int>(3); });
    items[items.size() - 2]->trigger();
    QCOMPARE(PaneCursorLine(*form->RichEdit2), std::size_t{3});
    // Saving this pane, whichever pane had the focus.
    QTemporaryDir dir;
    const QString target = dir.filePath("entries.txt");
    form->setFileDialogRunner([&](QFileDialog& dialog) {
        dialog.selectFile(target);
        return int(QDialog::Accepted);
    });
    form->RichEdit1->setFocus();
    items[items.size() - 1]->trigger();
    QVERIFY(WaitForFormatWork(*form));
    QCOMPARE(ReadFile(target), std::string("aa 1\r\nbb 2\r\ncc 3"));
}

QTEST_MAIN(FindBarTest)
#include "test_find_bar.moc"
