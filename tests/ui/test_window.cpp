// The main window driven as a user drives it: menu choices, button clicks and
// keystrokes on the real TForm1, offscreen.
#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QFontDatabase>
#include <QFrame>
#include <QScreen>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QTabBar>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QToolTip>
#include <QWindow>

#include <map>
#include <memory>

#include "ui/pane.h"
#include "resources/resources.h"
#include "core/text.h"
#include "transform/pipeline.h"
#include "transform/full_codes.h"
#include "transform/shortest.h"
#include "transform/relation.h"
#include "transform/classify.h"
#include "transform/status.h"
#include "ui/form.h"

using namespace zelmora;

namespace {

struct Box {
    QMessageBox::Icon icon;
    QString title, text;
    QMessageBox::StandardButtons buttons;
};

std::string ReadFile(const QString& path) {
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly)) return "<missing>";
    const QByteArray b = f.readAll();
    return std::string(b.constData(), static_cast<std::size_t>(b.size()));
}

}  // namespace

class WindowTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();

    void startState();
    void layout();
    void tooltips();
    void builtinTableLoads();
    void bothStepsFillTheFirstTab();
    void extractButtonsWriteTheirPanesAndStatus();
    void extractAfterAnEditOfTheEntriesSeesTheEdit();
    void longCommandsShowTheWaitTextWhileWorking();
    void exportWritesEveryNonEmptyHintedPane();
    void exportWithOnlyTheSourceTable();
    void exportFailureStopsAtThatPane();
    void enablingFollowsThePanes();
    void clearingAnEmptyPaneRunsItsHandler();
    void resultsReadBackFromWhatThePanesShow();
    void pastingTheSameTextChangesNothing();
    void expansionWithoutEntriesSkipsTheGrouping();
    void groupingToNothingShowsTheCount();
    void openDialog();
    void inputLimitInTheWindow();
    void links();

private:
    Pane* pane(int n) const { return form->findChild<Pane*>(QStringLiteral("RichEdit%1").arg(n)); }
    void runBothSteps();

    std::unique_ptr<TForm1> form;
    std::vector<Box> boxes;
    std::vector<QUrl> opened;
    std::map<std::string, std::string> expected;  // hint -> text of the built-in table's results
};

void WindowTest::initTestCase() {
    const auto r = RunPipeline(OpenBuiltinTable().readAll(), std::nullopt, TextEncoding::Gbk);
    for (const auto& [hint, text] : r.outputs) expected[hint] = text;
}

void WindowTest::init() {
    boxes.clear();
    opened.clear();
    form = std::make_unique<TForm1>();
    form->setMessageBoxRunner([this](QMessageBox& box) {
        boxes.push_back({box.icon(), box.windowTitle(), box.text(), box.standardButtons()});
    });
    form->setDesktopOpener([this](const QUrl& url) { opened.push_back(url); });
    form->show();
    QVERIFY(QTest::qWaitForWindowExposed(form.get()));
}

void WindowTest::cleanup() { form.reset(); }

void WindowTest::runBothSteps() {
    form->N86GB67631->trigger();
    form->N21->trigger();
}

void WindowTest::startState() {
    QCOMPARE(form->windowTitle(), QStringLiteral("Zelmora v0.9.10.26"));
    for (QLabel* l : {form->Label1, form->Label2, form->Label9, form->Label3, form->Label4, form->Label5, form->Label7,
                      form->Label10})
        QCOMPARE(l->text(), QString());
    for (QAction* item : {form->N4, form->N5, form->N21, form->N8}) QVERIFY(!item->isEnabled());
    for (QAction* item : {form->N2, form->N3, form->N9, form->N86GB67631}) QVERIFY(item->isEnabled());
    QVERIFY(!form->applicationDirectory().isEmpty());
    QCOMPARE(form->applicationDirectory(), QCoreApplication::applicationDirPath());
    for (int n = 1; n <= 24; ++n) {
        QVERIFY2(pane(n), qPrintable(QStringLiteral("RichEdit%1").arg(n)));
        if (n != 8 && n != 20) QVERIFY(ReadPaneText(*pane(n)).empty());
    }
    // The help pane's seven lines.
    const QStringList help = form->RichEdit20->toPlainText().split(u'\n');
    QCOMPARE(help.size(), 7);
    QCOMPARE(help.first(), QStringLiteral("帮助："));
    QCOMPARE(help.last(), QStringLiteral("·欲简码的全码在重码时置后，可选“简码全码”标签提取。"));
    QCOMPARE(form->PageControl1->currentWidget(), form->TabSheet1);
}

void WindowTest::layout() {
    // Tabs in order, with their captions.
    const std::vector<std::pair<QWidget*, QString>> tabs = {
        {form->TabSheet1, "原码表"},     {form->TabSheet3, "码长分类"}, {form->TabSheet6, "全码"},
        {form->TabSheet5, "出简不出全"}, {form->TabSheet2, "重码"},     {form->TabSheet7, "简码全码"},
        {form->TabSheet4, "关于"}};
    QCOMPARE(form->PageControl1->count(), 7);
    for (int i = 0; i < 7; ++i) {
        QCOMPARE(form->PageControl1->widget(i), tabs[static_cast<std::size_t>(i)].first);
        QCOMPARE(form->PageControl1->tabText(i), tabs[static_cast<std::size_t>(i)].second);
    }

    // Panes left to right on each tab, with widths and hints.
    struct Row {
        QWidget* tab;
        std::vector<std::tuple<int, int, const char*>> panes;  // number, width, hint
    };
    const std::vector<Row> rows = {
        {form->TabSheet1, {{1, 139, "原码表"}, {2, 139, "一字一行"}, {19, 139, "重码一行"}}},
        {form->TabSheet3, {{4, 105, "一码"}, {5, 105, "二码"}, {6, 105, "三码"}, {7, 105, "四码"}}},
        {form->TabSheet6, {{11, 105, "全码三码"}, {12, 105, "全码四码"}, {13, 105, "全码全部"}, {14, 105, "三简"}}},
        {form->TabSheet5,
         {{9, 83, "最简一码"}, {10, 83, "最简二码"}, {15, 83, "最简三码"}, {16, 83, "最简四码"}, {21, 83, "最简全部"}}},
        {form->TabSheet2, {{3, 209, "重码"}, {22, 209, "不重码"}}},
        {form->TabSheet7,
         {{17, 94, "全部简码"}, {18, 94, "简码全码"}, {23, 37, "有简码的字"}, {24, 144, "简码字的全码重码时置后"}}},
    };
    for (const auto& row : rows) {
        int x = 0;
        for (const auto& [n, width, hint] : row.panes) {
            Pane* p = pane(n);
            QCOMPARE(p->parentWidget(), row.tab);
            QCOMPARE(p->geometry().x(), x);
            QCOMPARE(p->width(), width);
            QCOMPARE(p->hint(), QString::fromUtf8(hint));
            QCOMPARE(p->toolTip(), QString::fromUtf8(hint));
            QVERIFY(!p->isReadOnly());
            QCOMPARE(p->lineWrapMode(), QPlainTextEdit::NoWrap);
            x += width;
        }
    }
    QCOMPARE(form->RichEdit20->toolTip(), QString());
    QCOMPARE(form->RichEdit8->toolTip(), QString());
    for (Pane* p : {form->RichEdit8, form->RichEdit20}) {
        QVERIFY(p->isReadOnly());
        QCOMPARE(p->lineWrapMode(), QPlainTextEdit::WidgetWidth);
        QCOMPARE(p->horizontalScrollBarPolicy(), Qt::ScrollBarAlwaysOff);
    }

    // Strips, status lines and buttons.
    const std::vector<std::pair<QFrame*, int>> strips = {{form->Panel1, 34}, {form->Panel3, 45}, {form->Panel5, 45},
                                                         {form->Panel4, 45}, {form->Panel2, 41}, {form->Panel6, 41}};
    for (const auto& [strip, height] : strips) {
        QCOMPARE(strip->height(), height);
        QCOMPARE(strip->pos(), QPoint(0, 0));
        QCOMPARE(strip->width(), strip->parentWidget()->width());
    }
    QCOMPARE(form->Label1->pos(), QPoint(8, 8));
    QCOMPARE(form->Label2->pos(), QPoint(146, 8));
    QCOMPARE(form->Label9->pos(), QPoint(283, 8));
    for (QLabel* l : {form->Label3, form->Label4, form->Label5, form->Label7, form->Label10})
        QCOMPARE(l->pos(), QPoint(8, 16));
    for (QPushButton* b : {form->Button4, form->Button7, form->Button5}) QCOMPARE(b->geometry(), QRect(320, 9, 75, 25));
    for (QPushButton* b : {form->Button3, form->Button1}) QCOMPARE(b->geometry(), QRect(336, 9, 75, 25));
    for (QPushButton* b : {form->Button1, form->Button3, form->Button4, form->Button5, form->Button7})
        QCOMPARE(b->text(), QStringLiteral("提取"));

    // The help pane along the bottom, the tabs above it.
    QWidget* client = form->centralWidget();
    QCOMPARE(form->RichEdit20->height(), 97);
    QCOMPARE(form->RichEdit20->geometry().bottom(), client->height() - 1);
    QCOMPARE(form->RichEdit20->width(), client->width());
    QCOMPARE(form->PageControl1->height() + 97, client->height());

    // The menu, in order.
    const QList<QAction*> items = form->N1->actions();
    const QStringList names = {"N2", "N3", "N9", "N86GB67631", "N7", "N4", "N5", "N21", "N6", "N8"};
    const QStringList captions = {"打开...",
                                  "粘贴替换原码表",
                                  "粘贴替换一字一行码表",
                                  "内置标准五笔86版GB-6763单字码表",
                                  "",
                                  "一字一行",
                                  "重码一行",
                                  "上面2项",
                                  "",
                                  "导出所有结果为单独的文本文件"};
    QCOMPARE(items.size(), names.size());
    for (int i = 0; i < items.size(); ++i) {
        QCOMPARE(items[i]->objectName(), names[i]);
        QCOMPARE(items[i]->text(), captions[i]);
        QCOMPARE(items[i]->isSeparator(), captions[i].isEmpty());
        QVERIFY(items[i]->shortcut().isEmpty());
    }
    QCOMPARE(form->N1->title(), QStringLiteral("原码表"));

    // At the start size: the outer width, a 426-wide page control and pages
    // 418 wide, whatever frame the platform gives the window.
    QTRY_COMPARE(form->PageControl1->width(), 426);
    if (!form->windowHandle()->frameMargins().isNull()) {
        QCOMPARE(form->frameGeometry().size(), QSize(434, 507));
        // Centred on the desktop.
        const QRect desk = form->screen()->geometry();
        QCOMPARE(form->frameGeometry().topLeft(),
                 QPoint(desk.x() + (desk.width() - 434) / 2, desk.y() + (desk.height() - 507) / 2));
    }
    for (QWidget* tab : {form->TabSheet1, form->TabSheet3, form->TabSheet6, form->TabSheet5, form->TabSheet2,
                         form->TabSheet7, form->TabSheet4}) {
        form->PageControl1->setCurrentWidget(tab);
        QCOMPARE(tab->width(), 418);
    }
    for (const auto& [strip, height] : strips) QCOMPARE(strip->width(), 418);
    QCOMPARE(form->Image1->width(), 418);
    // Panes take the page's height below the strip.
    for (const auto& row : rows) {
        const int strip = row.tab->findChild<QFrame*>(QString(), Qt::FindDirectChildrenOnly)->height();
        for (const auto& [n, width, hint] : row.panes) QCOMPARE(pane(n)->height(), row.tab->height() - strip);
    }
    form->PageControl1->setCurrentWidget(form->TabSheet1);

    // Never wider than the largest width; narrower and taller are fine, and
    // then the panes follow in height only.
    const int start = form->width();
    form->resize(start + 200, 700);
    QCOMPARE(form->width(), start);
    form->resize(300, 700);
    QCOMPARE(form->width(), 300);
    QCOMPARE(form->RichEdit20->height(), 97);
    QCOMPARE(form->RichEdit24->width(), 144);
    QCOMPARE(form->Panel6->height(), 41);
    QCOMPARE(form->RichEdit1->height(), form->TabSheet1->height() - 34);

    // The window's font: 12 pixels high, one with Chinese.
    QCOMPARE(form->font().pixelSize(), 12);
    QCOMPARE(form->RichEdit1->font().pixelSize(), 12);
    const QStringList chinese = QFontDatabase::families(QFontDatabase::SimplifiedChinese);
    if (!chinese.isEmpty()) QVERIFY2(chinese.contains(form->font().family()), qPrintable(form->font().family()));
}

void WindowTest::tooltips() {
    auto tipOver = [](QWidget* w) {
        QToolTip::hideText();
        const QPoint at(10, 10);
        QHelpEvent e(QEvent::ToolTip, at, w->mapToGlobal(at));
        QApplication::sendEvent(w, &e);
        return QToolTip::isVisible() ? QToolTip::text() : QString();
    };
    QCOMPARE(tipOver(form->RichEdit20->viewport()), QString());  // the help pane has none
    form->PageControl1->setCurrentWidget(form->TabSheet7);
    QCOMPARE(tipOver(form->RichEdit24->viewport()), QStringLiteral("简码字的全码重码时置后"));
    QToolTip::hideText();
}

void WindowTest::builtinTableLoads() {
    WritePaneText(*form->RichEdit1, "zz old");
    form->N86GB67631->trigger();
    QCOMPARE(form->Label1->text(), QStringLiteral("10690行"));
    QVERIFY(ReadPaneText(*form->RichEdit1) == OpenBuiltinTable().bytes());
    QVERIFY(form->N4->isEnabled());
    QVERIFY(form->N21->isEnabled());
    QVERIFY(form->N8->isEnabled());
    QVERIFY(!form->N5->isEnabled());
    QCOMPARE(form->Label2->text(), QString());
    // Only a file load raises the input limit.
    QCOMPARE(form->RichEdit1->inputLimit(), Pane::kDefaultInputLimit);
    QVERIFY(boxes.empty());
}

void WindowTest::bothStepsFillTheFirstTab() {
    runBothSteps();
    QCOMPARE(form->Label2->text(), QStringLiteral("10951行"));
    QCOMPARE(form->Label9->text(), QStringLiteral("10690行"));
    QVERIFY(form->N5->isEnabled());
    QCOMPARE(ReadPaneText(*form->RichEdit2), expected.at("一字一行"));
    QCOMPARE(ReadPaneText(*form->RichEdit19), expected.at("重码一行"));
    // The cursor over the source pane is the I-beam again.
    QCOMPARE(form->RichEdit1->viewport()->cursor().shape(), Qt::IBeamCursor);
    QVERIFY(boxes.empty());
}

void WindowTest::extractButtonsWriteTheirPanesAndStatus() {
    runBothSteps();
    struct Command {
        QWidget* tab;
        QPushButton* button;
        QLabel* status;
        const char* text;
        std::vector<std::pair<int, const char*>> panes;
    };
    const std::vector<Command> commands = {
        {form->TabSheet3,
         form->Button4,
         form->Label4,
         "行数:一码25 二码599 三码4396 四码5931",
         {{4, "一码"}, {5, "二码"}, {6, "三码"}, {7, "四码"}}},
        {form->TabSheet6,
         form->Button7,
         form->Label7,
         "行数:三码832 四码5931 全部6763 三简3564",
         {{11, "全码三码"}, {12, "全码四码"}, {13, "全码全部"}, {14, "三简"}}},
        {form->TabSheet5,
         form->Button5,
         form->Label5,
         "行数:一码25 二码588 三码3811 四码2339 全部6763",
         {{9, "最简一码"}, {10, "最简二码"}, {15, "最简三码"}, {16, "最简四码"}, {21, "最简全部"}}},
        {form->TabSheet2, form->Button3, form->Label3, "重码：249行 510字；不重码10441", {{3, "重码"}, {22, "不重码"}}},
        {form->TabSheet7,
         form->Button1,
         form->Label10,
         "行数:全部简码4188 简码全码3911 简码字3911 置后10690",
         {{17, "全部简码"}, {18, "简码全码"}, {23, "有简码的字"}, {24, "简码字的全码重码时置后"}}},
    };
    for (const auto& c : commands) {
        form->PageControl1->setCurrentWidget(c.tab);
        QTest::mouseClick(c.button, Qt::LeftButton);
        QCOMPARE(c.status->text(), QString::fromUtf8(c.text));
        QCOMPARE(c.status->width(), c.status->sizeHint().width());
        for (const auto& [n, hint] : c.panes) {
            QVERIFY2(ReadPaneText(*pane(n)) == expected.at(hint), hint);
            QVERIFY2(!ReadPaneText(*pane(n)).empty(), hint);
        }
        QCOMPARE(c.button->cursor().shape(), Qt::ArrowCursor);
        QVERIFY(!c.button->testAttribute(Qt::WA_SetCursor));
    }
    // Result panes have no change handler: the first tab's counts stay.
    QCOMPARE(form->Label1->text(), QStringLiteral("10690行"));
    QVERIFY(boxes.empty());
}

// The 提取 buttons share what they work out from the 一字一行 pane while it
// is unchanged; an edit, by the program or by the keyboard, is seen at once.
void WindowTest::extractAfterAnEditOfTheEntriesSeesTheEdit() {
    runBothSteps();
    auto clickAll = [&] {
        for (QPushButton* b : {form->Button7, form->Button5, form->Button4, form->Button1})
            QTest::mouseClick(b, Qt::LeftButton);
    };
    auto expectResultsOfThePanes = [&](const char* when) {
        const std::string entries = ReadPaneText(*form->RichEdit2), source = ReadPaneText(*form->RichEdit1);
        const FullCodesResult full = ExtractFullCodes(entries, TextEncoding::Gbk);
        const ShortestCodesResult shortest = ExtractShortestCodes(entries, TextEncoding::Gbk);
        const RelationResult relation = RelateShortAndFullCodes(entries, source, TextEncoding::Gbk);
        QVERIFY2(form->Label7->text() == QString::fromUtf8(FullCodesStatus(full)), when);
        QVERIFY2(ReadPaneText(*form->RichEdit13) == full.allText, when);
        QVERIFY2(form->Label5->text() == QString::fromUtf8(ShortestCodesStatus(shortest)), when);
        QVERIFY2(ReadPaneText(*form->RichEdit21) == shortest.allText, when);
        QVERIFY2(form->Label4->text() == QString::fromUtf8(ClassifyStatus(ClassifyByCodeLength(entries))), when);
        QVERIFY2(form->Label10->text() == QString::fromUtf8(RelationStatus(relation)), when);
        QVERIFY2(ReadPaneText(*form->RichEdit24) == relation.reorderedText, when);
    };
    clickAll();
    expectResultsOfThePanes("after the expansion");
    // Written by the program: a line taken off, one added.
    std::string entries = ReadPaneText(*form->RichEdit2);
    entries = entries.substr(entries.find("\r\n") + 2) + "\r\nzzzz " + "\xB9\xA4";
    WritePaneText(*form->RichEdit2, entries);
    clickAll();
    expectResultsOfThePanes("after a text was written");
    // Typed: the first line's code lengthened to four letters.
    form->RichEdit2->setFocus();
    form->RichEdit2->moveCursor(QTextCursor::Start);
    QTest::keyClicks(form->RichEdit2, "qq");
    clickAll();
    expectResultsOfThePanes("after typing");
    QVERIFY(boxes.empty());
}

void WindowTest::longCommandsShowTheWaitTextWhileWorking() {
    runBothSteps();
    struct Seen {
        QString status;
        Qt::CursorShape cursor = Qt::ArrowCursor;
        bool cleared = false;
        bool ran = false;
    };
    // What a paint during the one dispatch of pending events would show.
    auto during = [](Seen& seen, QLabel* status, QWidget* control, std::vector<Pane*> panes) {
        QTimer::singleShot(0, [&seen, status, control, panes] {
            seen.ran = true;
            seen.status = status->text();
            seen.cursor = control->cursor().shape();
            seen.cleared = true;
            for (Pane* p : panes) seen.cleared = seen.cleared && p->isTextEmpty();
        });
    };

    // Fill the result panes first, so that the clearing shows.
    for (QPushButton* b : {form->Button7, form->Button5, form->Button1}) b->click();

    Seen s7, s5, s1, s19;
    form->PageControl1->setCurrentWidget(form->TabSheet6);
    during(s7, form->Label7, form->Button7, {form->RichEdit11, form->RichEdit12, form->RichEdit13, form->RichEdit14});
    QTest::mouseClick(form->Button7, Qt::LeftButton);
    form->PageControl1->setCurrentWidget(form->TabSheet5);
    during(s5, form->Label5, form->Button5,
           {form->RichEdit9, form->RichEdit10, form->RichEdit15, form->RichEdit16, form->RichEdit21});
    QTest::mouseClick(form->Button5, Qt::LeftButton);
    form->PageControl1->setCurrentWidget(form->TabSheet7);
    during(s1, form->Label10, form->Button1, {form->RichEdit17, form->RichEdit18, form->RichEdit23, form->RichEdit24});
    QTest::mouseClick(form->Button1, Qt::LeftButton);
    form->PageControl1->setCurrentWidget(form->TabSheet1);
    during(s19, form->Label9, form->RichEdit1->viewport(), {form->RichEdit19});
    form->N5->trigger();

    for (Seen* s : {&s7, &s5, &s1, &s19}) {
        QVERIFY(s->ran);
        QCOMPARE(s->status, QStringLiteral("请稍等..."));
        QCOMPARE(s->cursor, Qt::WaitCursor);
        QVERIFY(s->cleared);
    }
    // And afterwards the final status and the normal cursors.
    QCOMPARE(form->Label7->text(), QStringLiteral("行数:三码832 四码5931 全部6763 三简3564"));
    QCOMPARE(form->Label9->text(), QStringLiteral("10690行"));
    QCOMPARE(form->RichEdit1->viewport()->cursor().shape(), Qt::IBeamCursor);
    QVERIFY(!form->Button1->testAttribute(Qt::WA_SetCursor));

    // The short commands dispatch nothing before they are done, and show
    // neither the wait text nor the hourglass.
    Seen s4, s3, s2;
    form->PageControl1->setCurrentWidget(form->TabSheet3);
    during(s4, form->Label4, form->Button4, {});
    QTest::mouseClick(form->Button4, Qt::LeftButton);
    QVERIFY(!s4.ran);
    form->PageControl1->setCurrentWidget(form->TabSheet2);
    during(s3, form->Label3, form->Button3, {});
    QTest::mouseClick(form->Button3, Qt::LeftButton);
    QVERIFY(!s3.ran);
    form->PageControl1->setCurrentWidget(form->TabSheet1);
    during(s2, form->Label2, form->RichEdit1->viewport(), {});
    form->N4->trigger();
    QVERIFY(!s2.ran);
    QCoreApplication::processEvents();
    for (Seen* s : {&s4, &s3, &s2}) {
        QVERIFY(s->ran);
        QVERIFY(s->status != QStringLiteral("请稍等..."));
        QVERIFY(s->cursor != Qt::WaitCursor);
    }
    QCOMPARE(s4.status, QStringLiteral("行数:一码25 二码599 三码4396 四码5931"));
    QCOMPARE(s3.status, QStringLiteral("重码：249行 510字；不重码10441"));
    QCOMPARE(s2.status, QStringLiteral("10951行"));
    QCOMPARE(s2.cursor, Qt::IBeamCursor);
    for (QPushButton* b : {form->Button3, form->Button4}) QVERIFY(!b->testAttribute(Qt::WA_SetCursor));
}

void WindowTest::exportWritesEveryNonEmptyHintedPane() {
    QTemporaryDir dir;
    const QString cwd = QDir::currentPath();
    QVERIFY(QDir::setCurrent(dir.path()));
    runBothSteps();
    for (QPushButton* b : {form->Button1, form->Button3, form->Button4, form->Button5, form->Button7}) b->click();
    WritePaneText(*form->RichEdit3, " \r\n ");  // blank but not empty: written
    QFile stale(dir.filePath("原码表.txt"));
    QVERIFY(stale.open(QIODevice::WriteOnly));
    stale.write(QByteArray(200000, 'x'));
    stale.close();

    form->N8->trigger();
    form->N8->trigger();  // twice: the second overwrites the first
    QVERIFY(QDir::setCurrent(cwd));

    QStringList expectedFiles;
    for (int n = 1; n <= 22; ++n) {
        if (n == 8 || n == 20) continue;
        const QString name = pane(n)->hint() + ".txt";
        expectedFiles << name;
        QCOMPARE(ReadFile(dir.filePath(name)), ReadPaneText(*pane(n)));
    }
    QStringList written = QDir(dir.path()).entryList(QDir::Files);
    written.sort();
    expectedFiles.sort();
    QCOMPARE(written, expectedFiles);  // not RichEdit23, RichEdit24, the help or the About pane
    QVERIFY(!ReadPaneText(*form->RichEdit23).empty());
    QVERIFY(!ReadPaneText(*form->RichEdit24).empty());
    QCOMPARE(ReadFile(dir.filePath("重码.txt")), std::string(" \r\n "));

    // A folder window on the folder the files went to.
    QCOMPARE(opened.size(), std::size_t{2});
    QCOMPARE(opened.back(), QUrl::fromLocalFile(dir.path()));
    QVERIFY(boxes.empty());
}

void WindowTest::exportWithOnlyTheSourceTable() {
    QTemporaryDir dir;
    const QString cwd = QDir::currentPath();
    QVERIFY(QDir::setCurrent(dir.path()));
    WritePaneText(*form->RichEdit1, "a \xB9\xA4");
    WritePaneText(*form->RichEdit23, "x");
    form->N8->trigger();
    QVERIFY(QDir::setCurrent(cwd));
    QCOMPARE(QDir(dir.path()).entryList(QDir::Files), QStringList{"原码表.txt"});
    QCOMPARE(ReadFile(dir.filePath("原码表.txt")), std::string("a \xB9\xA4"));
    QCOMPARE(opened, std::vector<QUrl>{QUrl::fromLocalFile(dir.path())});
    // The folder shown is where the files are, not the program's folder.
    QVERIFY(opened.front() != QUrl::fromLocalFile(form->applicationDirectory()));
}

void WindowTest::exportFailureStopsAtThatPane() {
    QTemporaryDir dir;
    QVERIFY(QDir(dir.path()).mkdir("重码.txt"));  // RichEdit3's file can't be made
    const QString cwd = QDir::currentPath();
    QVERIFY(QDir::setCurrent(dir.path()));
    WritePaneText(*form->RichEdit1, "a b");
    WritePaneText(*form->RichEdit3, "c d e");
    WritePaneText(*form->RichEdit4, "f g");
    form->N8->trigger();
    QVERIFY(QDir::setCurrent(cwd));

    QCOMPARE(boxes.size(), std::size_t{1});
    QCOMPARE(boxes[0].icon, QMessageBox::Critical);
    QCOMPARE(boxes[0].title, QStringLiteral("Zelmora  v0.9.10.26"));
    QCOMPARE(boxes[0].buttons, QMessageBox::StandardButtons(QMessageBox::Ok));
    QCOMPARE(boxes[0].text, "Cannot create file \"" + dir.filePath("重码.txt") + "\". Is a directory.");
    QVERIFY(QFile::exists(dir.filePath("原码表.txt")));  // written before the failure
    QVERIFY(!QFile::exists(dir.filePath("一码.txt")));   // not reached
    QVERIFY(opened.empty());
}

void WindowTest::enablingFollowsThePanes() {
    form->N86GB67631->trigger();
    ClearPane(*form->RichEdit1);
    QCOMPARE(form->Label1->text(), QStringLiteral("0行"));
    for (QAction* item : {form->N4, form->N21, form->N8}) QVERIFY(!item->isEnabled());

    // Spaces and line breaks are text.
    WritePaneText(*form->RichEdit1, "  \r\n\r\n");
    QCOMPARE(form->Label1->text(), QStringLiteral("2行"));
    for (QAction* item : {form->N4, form->N21, form->N8}) QVERIFY(item->isEnabled());

    // Typing a character into an empty RichEdit2 enables N5; deleting it disables it.
    form->RichEdit2->setFocus();
    QTest::keyClick(form->RichEdit2, Qt::Key_A);
    QVERIFY(form->N5->isEnabled());
    QCOMPARE(form->Label2->text(), QStringLiteral("1行"));
    QTest::keyClick(form->RichEdit2, Qt::Key_Backspace);
    QVERIFY(!form->N5->isEnabled());
    QCOMPARE(form->Label2->text(), QStringLiteral("0行"));

    // Typing in RichEdit19 updates its count and nothing else.
    form->RichEdit19->setFocus();
    QTest::keyClicks(form->RichEdit19, "a b");
    QTest::keyClick(form->RichEdit19, Qt::Key_Return);
    QCOMPARE(form->Label9->text(), QStringLiteral("1行"));
    QTest::keyClick(form->RichEdit19, Qt::Key_C);
    QCOMPARE(form->Label9->text(), QStringLiteral("2行"));
    QVERIFY(!form->N5->isEnabled());

    // The export follows RichEdit1 alone.
    ClearPane(*form->RichEdit1);
    QVERIFY(!form->N8->isEnabled());
    QVERIFY(!form->RichEdit19->isTextEmpty());

    // A disabled item's click operation does nothing.
    form->Click(form->N4);
    form->N21->trigger();
    QCOMPARE(form->Label2->text(), QStringLiteral("0行"));
    QVERIFY(boxes.empty());
}

void WindowTest::clearingAnEmptyPaneRunsItsHandler() {
    // RichEdit2 has never changed, so Label2 is empty until the expansion
    // clears it; the expansion of codes without words writes nothing more.
    WritePaneText(*form->RichEdit1, "abc\r\nxyz");
    QCOMPARE(form->Label2->text(), QString());
    form->N4->trigger();
    QCOMPARE(form->Label2->text(), QStringLiteral("0行"));
    QVERIFY(!form->N5->isEnabled());
    // The same for RichEdit19 under the grouping.
    WritePaneText(*form->RichEdit2, "a \xB9\xA4");
    QCOMPARE(form->Label9->text(), QString());
    form->N5->trigger();
    QCOMPARE(form->Label9->text(), QStringLiteral("1行"));
    QVERIFY(boxes.empty());
}

void WindowTest::resultsReadBackFromWhatThePanesShow() {
    runBothSteps();
    for (QPushButton* b : {form->Button1, form->Button3, form->Button4, form->Button5, form->Button7}) b->click();
    for (int n = 1; n <= 24; ++n) {
        Pane* p = pane(n);
        if (n == 8 || n == 20) continue;
        const std::string written = ReadPaneText(*p);
        QVERIFY(!written.empty());
        if (n != 1) QVERIFY2(written == expected.at(p->hint().toStdString()), qPrintable(p->objectName()));
        // An edit and its undoing: the text now comes from what the pane shows.
        p->moveCursor(QTextCursor::End);
        p->insertPlainText(QStringLiteral("x"));
        p->textCursor().deletePreviousChar();
        QVERIFY2(ReadPaneText(*p) == written, qPrintable(p->objectName()));
        QCOMPARE(CountPaneLines(*p), CountPaneLines(std::string_view(written)));
    }
}

void WindowTest::pastingTheSameTextChangesNothing() {
    form->N86GB67631->trigger();
    // The pane's own text, copied out as the desktop copies it.
    form->RichEdit1->selectAll();
    form->RichEdit1->copy();
    form->Label1->setText("unchanged");
    form->N3->trigger();
    QCOMPARE(form->Label1->text(), QStringLiteral("unchanged"));

    QGuiApplication::clipboard()->setText(QStringLiteral("aa 式\nbb 工"));
    form->N3->trigger();
    QCOMPARE(form->Label1->text(), QStringLiteral("2行"));
    QCOMPARE(ReadPaneText(*form->RichEdit1), std::string("aa \xCA\xBD\r\nbb \xB9\xA4"));
    form->N9->trigger();
    QCOMPARE(form->Label2->text(), QStringLiteral("2行"));
    QVERIFY(form->N5->isEnabled());
    form->Label2->setText("unchanged");
    form->N9->trigger();
    QCOMPARE(form->Label2->text(), QStringLiteral("unchanged"));

    // An empty clipboard empties the pane.
    QGuiApplication::clipboard()->clear();
    form->N9->trigger();
    QCOMPARE(form->Label2->text(), QStringLiteral("0行"));
    QVERIFY(!form->N5->isEnabled());
}

void WindowTest::expansionWithoutEntriesSkipsTheGrouping() {
    WritePaneText(*form->RichEdit2, "a b");
    WritePaneText(*form->RichEdit19, "kept");
    WritePaneText(*form->RichEdit1, "abc\r\nxyz");  // codes without words
    QVERIFY(form->N21->isEnabled());
    form->N21->trigger();
    QVERIFY(form->RichEdit2->isTextEmpty());
    QCOMPARE(form->Label2->text(), QStringLiteral("0行"));
    QVERIFY(!form->N5->isEnabled());
    QCOMPARE(ReadPaneText(*form->RichEdit19), std::string("kept"));
    QCOMPARE(form->Label9->text(), QStringLiteral("1行"));
}

void WindowTest::groupingToNothingShowsTheCount() {
    // A blank one-word-per-line table enables the grouping, whose result is empty.
    form->RichEdit2->setFocus();
    QTest::keyClick(form->RichEdit2, Qt::Key_Space);
    QVERIFY(form->N5->isEnabled());
    WritePaneText(*form->RichEdit19, "old");
    form->N5->trigger();
    QVERIFY(form->RichEdit19->isTextEmpty());
    QCOMPARE(form->Label9->text(), QStringLiteral("0行"));
    QVERIFY(boxes.empty());
}

void WindowTest::openDialog() {
    QTemporaryDir dir;
    const QString table = dir.filePath("t.txt");
    {
        QFile f(table);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write("a x\nb y\nc z\n");
    }
    QString proposed;
    QStringList filters;
    QString suffix;
    auto choose = [&](const QString& path, bool accept) {
        QTimer::singleShot(0, [&, path, accept] {
            auto* dialog = form->findChild<QFileDialog*>("OpenDialog1");
            QVERIFY(dialog);
            QVERIFY(dialog->isVisible());
            proposed = dialog->selectedFiles().value(0);
            filters = dialog->nameFilters();
            suffix = dialog->defaultSuffix();
            if (!accept) return dialog->reject();
            // Typed into the name field, as a user does.
            auto* name = dialog->findChild<QLineEdit*>("fileNameEdit");
            QVERIFY(name);
            name->setText(path);
            static_cast<QDialog*>(dialog)->accept();  // the dialog's own checks run
        });
    };

    // Cancelling changes nothing.
    WritePaneText(*form->RichEdit1, "keep me");
    form->Label1->setText("unchanged");
    choose(QString(), false);
    form->N2->trigger();
    QCOMPARE(QFileInfo(proposed).fileName(), QStringLiteral("标准GB-6763.txt"));
    QCOMPARE(filters, QStringList{"文本文件(*.txt)"});
    QCOMPARE(suffix, QStringLiteral("txt"));
    QCOMPARE(ReadPaneText(*form->RichEdit1), std::string("keep me"));
    QCOMPARE(form->Label1->text(), QStringLiteral("unchanged"));

    // A chosen file is loaded, and proposed next time.
    choose(table, true);
    form->N2->trigger();
    QCOMPARE(ReadPaneText(*form->RichEdit1), std::string("a x\r\nb y\r\nc z\r\n"));
    QCOMPARE(form->Label1->text(), QStringLiteral("3行"));
    QCOMPARE(form->RichEdit1->inputLimit(), qint64{0x7FFFFFF0});
    QVERIFY(form->N4->isEnabled());
    choose(QString(), false);
    form->N2->trigger();
    QCOMPARE(proposed, table);

    // A typed name that doesn't exist: the default suffix, then a failure.
    choose(dir.filePath("missing"), true);
    form->N2->trigger();
    QCOMPARE(boxes.size(), std::size_t{1});
    QCOMPARE(boxes[0].title, QStringLiteral("Zelmora  v0.9.10.26"));
    QCOMPARE(boxes[0].icon, QMessageBox::Critical);
    QCOMPARE(boxes[0].text, "Cannot open file \"" + dir.filePath("missing.txt") + "\". No such file or directory.");
    QCOMPARE(ReadPaneText(*form->RichEdit1), std::string("a x\r\nb y\r\nc z\r\n"));
}

void WindowTest::inputLimitInTheWindow() {
    const std::size_t limit = static_cast<std::size_t>(Pane::kDefaultInputLimit);
    QGuiApplication::clipboard()->setText(QString(static_cast<qsizetype>(limit + 100), u'a'));
    form->RichEdit1->setFocus();
    QTest::keyClick(form->RichEdit1, Qt::Key_V, Qt::ControlModifier);
    QCOMPARE(ReadPaneText(*form->RichEdit1).size(), limit);
    QCOMPARE(form->Label1->text(), QStringLiteral("1行"));
    // The menu's paste is not cut, and leaves the limit as it was.
    form->N3->trigger();
    QCOMPARE(ReadPaneText(*form->RichEdit1).size(), limit + 100);
    QCOMPARE(form->RichEdit1->inputLimit(), Pane::kDefaultInputLimit);
}

void WindowTest::links() {
    form->PageControl1->setCurrentWidget(form->TabSheet4);
    QCOMPARE(form->RichEdit8->parentWidget(), form->TabSheet4);
    QCOMPARE(form->RichEdit8->height(), 129);
    QCOMPARE(form->GroupBox1->height(), 48);
    QCOMPARE(form->GroupBox1->title(), QStringLiteral("链接"));
    QCOMPARE(form->Label6->pos(), QPoint(8, 23));
    QCOMPARE(form->Label8->pos(), QPoint(112, 23));
    const QColor blue(0, 0, 255), olive(0x80, 0x80, 0x00);
    for (QLabel* l : {form->Label6, form->Label8}) {
        QCOMPARE(l->palette().color(QPalette::WindowText), blue);
        QVERIFY(l->font().underline());
        QCOMPARE(l->cursor().shape(), Qt::PointingHandCursor);
    }
    QTest::mouseMove(form->Label6, QPoint(5, 5));
    QCOMPARE(form->Label6->palette().color(QPalette::WindowText), olive);
    QCOMPARE(form->Label8->palette().color(QPalette::WindowText), blue);
    QEvent leave(QEvent::Leave);
    QApplication::sendEvent(form->Label6, &leave);
    QCOMPARE(form->Label6->palette().color(QPalette::WindowText), blue);

    QTest::mouseClick(form->Label8, Qt::LeftButton, {}, QPoint(5, 5));
    QCOMPARE(opened, std::vector<QUrl>{QUrl(form->Label8->toolTip())});
    QCOMPARE(form->Label8->palette().color(QPalette::WindowText), blue);

    // The picture at its natural size from the top-left corner.
    QCOMPARE(form->Image1->alignment(), Qt::AlignLeft | Qt::AlignTop);
    QVERIFY(!form->Image1->hasScaledContents());
    QCOMPARE(form->Image1->geometry().top(), 129 + 48);
}

QTEST_MAIN(WindowTest)
#include "test_window.moc"
