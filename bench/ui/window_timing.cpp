// Times the window's commands on a big table, as a user runs them, and takes
// screenshots of the window. Not a test: it reports figures.
//
//   zelmora_window_timing TABLE            load, 上面2项, every Extract button,
//                                          keystrokes in the loaded panes
//   zelmora_window_timing --any TABLE      the same, loading the table as
//                                          "打开任意格式码表..." does
//   zelmora_window_timing --screenshot DIR [RIME]
//                                          the window on the built-in table,
//                                          three tabs, as PNG files in DIR; with
//                                          a Rime table also the "格式" menu, the
//                                          recognised format and the find bar
#include <QAction>
#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QToolTip>
#include <QPushButton>
#include <QScreen>
#include <QTabWidget>
#include <QTest>
#include <QTimer>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <string>
#include <vector>

#include "ui/pane.h"
#include "transform/classify.h"
#include "transform/duplicates.h"
#include "transform/expand.h"
#include "transform/full_codes.h"
#include "transform/group.h"
#include "transform/relation.h"
#include "transform/shortest.h"
#include "ui/find_bar.h"
#include "ui/form.h"
#include "ui/picture_formats.h"

using namespace zelmora;

namespace {

double Ms(const QElapsedTimer& t) { return static_cast<double>(t.nsecsElapsed()) / 1e6; }

long StatusKb(const char* field) {
    std::ifstream status("/proc/self/status");
    std::string line;
    const std::size_t n = std::strlen(field);
    while (std::getline(status, line))
        if (line.compare(0, n, field) == 0) return std::stol(line.substr(n));
    return -1;
}
long PeakRssKb() { return StatusKb("VmHWM:"); }
long RssKb() { return StatusKb("VmRSS:"); }

// Runs a step and the repaint after it.
double Timed(const std::function<void()>& step) {
    QElapsedTimer t;
    t.start();
    step();
    QCoreApplication::processEvents();
    return Ms(t);
}

// Runs a step of the "格式" menu until its work (on a thread of its own) has
// ended and its outcome is shown: the whole time, and the longest the
// window's loop stood still meanwhile (what the user sees as a freeze).
struct FormatWorkTimes {
    double total = 0, longestStall = 0;
};
FormatWorkTimes TimedFormatWork(TForm1& form, const std::function<void()>& step) {
    FormatWorkTimes times;
    QElapsedTimer sinceTick;
    QTimer ticker;
    ticker.setInterval(5);
    QObject::connect(&ticker, &QTimer::timeout, [&] {
        times.longestStall = std::max(times.longestStall, Ms(sinceTick));
        sinceTick.restart();
    });
    QElapsedTimer t;
    t.start();
    sinceTick.start();
    ticker.start();
    step();
    times.longestStall = std::max(times.longestStall, Ms(sinceTick));
    while (form.formatBusy()) QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 50);
    QCoreApplication::processEvents();
    times.total = Ms(t);
    return times;
}

void Report(const char* what, double ms, const QString& status = {}) {
    std::printf("%-34s %9.1f ms  %5ld MiB (peak %5ld)  %s\n", what, ms, RssKb() / 1024, PeakRssKb() / 1024,
                status.toUtf8().constData());
    std::fflush(stdout);
}

void Keystrokes(TForm1& form, Pane* pane, const char* name) {
    form.PageControl1->setCurrentWidget(pane->parentWidget());
    pane->setFocus();
    QTextCursor c = pane->textCursor();
    c.setPosition(pane->document()->characterCount() / 2);
    pane->setTextCursor(c);
    QCoreApplication::processEvents();
    std::vector<double> times;
    for (int i = 0; i < 30; ++i) {
        const Qt::Key key = i % 3 == 2 ? Qt::Key_Backspace : Qt::Key_X;
        times.push_back(Timed([&] { QTest::keyClick(pane, key); }));
    }
    std::printf("keystrokes:");
    for (double t : times) std::printf(" %.1f", t);
    std::printf("\n");
    std::sort(times.begin(), times.end());
    std::printf("keystroke in %-10s (%zu lines)   median %.2f ms, max %.2f ms over %zu keys\n", name,
                CountPaneLines(*pane), times[times.size() / 2], times.back(), times.size());
}

int TimeCommands(const QString& table, bool anyFormat) {
    TForm1 form;
    form.setMessageBoxRunner([](QMessageBox& box) {
        // Exports end with a box naming their folder; anything else is a failure.
        const bool failure = box.icon() == QMessageBox::Critical || box.icon() == QMessageBox::Warning;
        std::printf("%s: %s\n", failure ? "FAILURE" : "message", box.text().toUtf8().constData());
    });
    form.show();
    if (!QTest::qWaitForWindowExposed(&form)) return 1;

    double ms = 0;
    auto load = [&] {
        if (anyFormat) {
            const FormatWorkTimes times = TimedFormatWork(form, [&] { form.OpenTableFile(table); });
            ms = times.total;
            std::printf("load (打开任意格式码表...): the window stood still at most %.1f ms\n", times.longestStall);
        } else {
            ms = Timed([&] { LoadPaneFromFile(*form.RichEdit1, table); });
        }
    };
    load();
    Report(anyFormat ? "load (打开任意格式码表...)" : "load (N2: LoadPaneFromFile)", ms, form.Label1->text());
    Keystrokes(form, form.RichEdit1, "RichEdit1");
    // Undo what the keystrokes typed.
    load();
    form.PageControl1->setCurrentWidget(form.TabSheet1);
    ms = Timed([&] { form.N21->trigger(); });
    Report("上面2项 (N21)", ms, form.Label2->text() + " " + form.Label9->text());
    const std::vector<std::pair<QWidget*, QPushButton*>> buttons = {{form.TabSheet3, form.Button4},
                                                                    {form.TabSheet6, form.Button7},
                                                                    {form.TabSheet5, form.Button5},
                                                                    {form.TabSheet2, form.Button3},
                                                                    {form.TabSheet7, form.Button1}};
    const std::vector<QLabel*> labels = {form.Label4, form.Label7, form.Label5, form.Label3, form.Label10};
    for (std::size_t i = 0; i < buttons.size(); ++i) {
        form.PageControl1->setCurrentWidget(buttons[i].first);
        const std::string name = "提取 " + buttons[i].second->objectName().toStdString();
        ms = Timed([&] { QTest::mouseClick(buttons[i].second, Qt::LeftButton); });
        Report(name.c_str(), ms, labels[i]->text());
    }
    Keystrokes(form, form.RichEdit2, "RichEdit2");
    ms = Timed([&] { form.N8->trigger(); });
    Report("export (N8)", ms);
    if (anyFormat) {
        const FormatWorkTimes times = TimedFormatWork(form, [&] { form.ExportInFormatItem->trigger(); });
        Report("export (按原格式导出所有结果)", times.total);
        std::printf("export (按原格式导出所有结果): the window stood still at most %.1f ms\n", times.longestStall);
    }
    form.PageControl1->setCurrentWidget(form.TabSheet1);
    form.RichEdit2->setFocus();
    ms = Timed([&] {
        QTest::keyClick(form.RichEdit2, Qt::Key_F, Qt::ControlModifier);
        QTest::keyClicks(form.FindBar1->field(), "wq");
    });
    Report("find \"wq\" (Ctrl+F, two keys)", ms, form.FindBar1->countLabel()->text());

    std::printf("peak resident memory of the window's commands %ld MiB\n", PeakRssKb() / 1024);

    // The same derivations without the window, for comparison.
    const std::string source = ReadPaneText(*form.RichEdit1);
    const std::string entries = ReadPaneText(*form.RichEdit2);
    QElapsedTimer t;
    t.start();
    const std::string expanded = ExpandToEntryLines(source, TextEncoding::Gbk);
    (void)GroupEqualCodes(expanded);
    Report("  derivations of N21 alone", Ms(t));
    t.restart();
    (void)ClassifyByCodeLength(entries);
    Report("  derivation of Button4 alone", Ms(t));
    t.restart();
    (void)ExtractFullCodes(entries, TextEncoding::Gbk);
    Report("  derivation of Button7 alone", Ms(t));
    t.restart();
    (void)ExtractShortestCodes(entries, TextEncoding::Gbk);
    Report("  derivation of Button5 alone", Ms(t));
    t.restart();
    (void)ExtractDuplicateCodes(source, TextEncoding::Gbk);
    Report("  derivation of Button3 alone", Ms(t));
    t.restart();
    (void)RelateShortAndFullCodes(entries, source, TextEncoding::Gbk);
    Report("  derivation of Button1 alone", Ms(t));
    // What the widget costs: one big text in, then out again.
    t.restart();
    WritePaneText(*form.RichEdit3, entries);
    Report("  WritePaneText of RichEdit2's text", Ms(t));
    t.restart();
    form.RichEdit3->moveCursor(QTextCursor::End);
    form.RichEdit3->insertPlainText("x");
    const std::string back = ReadPaneText(*form.RichEdit3);
    Report("  ReadPaneText of it after an edit", Ms(t));
    std::printf("peak resident memory with the comparison runs %ld MiB\n", PeakRssKb() / 1024);
    return 0;
}

// `extra`: how far right and down of the window to take as well (a menu or
// a tooltip that reaches out of it).
void Shot(TForm1& form, const QString& file, int extra = 0) {
    QTest::qWait(300);
    QCoreApplication::processEvents();
    QPixmap shot;
    if (QScreen* screen = form.screen())
        shot = screen->grabWindow(0, form.frameGeometry().x(), form.frameGeometry().y(),
                                  form.frameGeometry().width() + extra, form.frameGeometry().height() + extra);
    if (shot.isNull() || shot.toImage().allGray()) shot = form.grab();
    shot.save(file);
    std::printf("%s %dx%d\n", qPrintable(file), shot.width(), shot.height());
}

int Screenshots(const QString& dir, const QString& rime) {
    TForm1 form;
    form.show();
    if (!QTest::qWaitForWindowExposed(&form)) return 1;
    form.N86GB67631->trigger();
    form.N21->trigger();
    Shot(form, QDir(dir).filePath("window-tab1.png"));
    form.PageControl1->setCurrentWidget(form.TabSheet6);
    form.Button7->click();
    Shot(form, QDir(dir).filePath("window-tab3.png"));
    form.PageControl1->setCurrentWidget(form.TabSheet4);
    Shot(form, QDir(dir).filePath("window-about.png"));
    if (rime.isEmpty()) return 0;

    form.PageControl1->setCurrentWidget(form.TabSheet1);
    form.OpenTableFile(rime);
    while (form.formatBusy()) QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 50);
    form.N21->trigger();
    // The "格式" menu, open.
    form.menuBar()->setActiveAction(form.FormatMenu->menuAction());
    QTest::qWait(300);
    Shot(form, QDir(dir).filePath("window-format-menu.png"), 200);
    form.FormatMenu->hide();
    form.menuBar()->setActiveAction(nullptr);
    // What was recognised: the source pane's tooltip.
    const QPoint at = form.RichEdit1->viewport()->mapToGlobal(QPoint(20, 40));
    QToolTip::showText(at, form.RichEdit1->toolTip(), form.RichEdit1->viewport());
    Shot(form, QDir(dir).filePath("window-recognised.png"), 200);
    QToolTip::hideText();
    // The find bar over the page, a code typed.
    form.RichEdit2->setFocus();
    QTest::keyClick(form.RichEdit2, Qt::Key_F, Qt::ControlModifier);
    QTest::keyClicks(form.FindBar1->field(), "wq");
    Shot(form, QDir(dir).filePath("window-find-bar.png"));
    return 0;
}

}  // namespace

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    QApplication::setFont(WindowFont());
    RegisterJpegFormat();
    const QStringList args = QCoreApplication::arguments();
    int code = 2;
    if (args.size() >= 3 && args[1] == "--screenshot")
        code = Screenshots(args[2], args.value(3));
    else if (args.size() == 3 && args[1] == "--any")
        code = TimeCommands(args[2], true);
    else if (args.size() == 2)
        code = TimeCommands(args[1], false);
    else
        std::fprintf(stderr, "usage: zelmora_window_timing [--any] TABLE | --screenshot DIR [RIME]\n");
    UnregisterJpegFormat();
    return code;
}
