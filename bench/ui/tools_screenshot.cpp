// Opens the tool windows on a table and saves what the screen shows, for
// looking at the statistics (charts, heat map) under a real X server:
//   xvfb-run -a -s "-screen 0 1600x1200x24" zelmora_tools_screenshot OUT_DIR [TABLE [TEXT [SECOND]]]
// Without TABLE (or with "-"), the built-in table; TABLE is read as GBK text,
// as "打开..." reads it. The typing evaluation types TEXT (without it, jieba's
// word list), alone and then beside SECOND (a table file of any format) when
// given; it is photographed at 1400x1000 and at 1100x760.
#include <QApplication>
#include <QComboBox>
#include <QPlainTextEdit>
#include <QElapsedTimer>
#include <QScreen>
#include <QSignalSpy>
#include <QTest>

#include <cstdio>
#include <string_view>

#include "ui/form.h"
#include "ui/tools/check_window.h"
#include "ui/tools/encode_window.h"
#include "ui/tools/stats_window.h"
#include "ui/tools/tools_menu.h"
#include "ui/tools/typing_window.h"

namespace {

// Runs the event loop until `spy` fires; returns the longest gap between two
// turns of the loop, the longest time the window could not answer.
qint64 LongestWait(QSignalSpy& spy, QElapsedTimer& timer) {
    qint64 longest = 0, last = timer.elapsed();
    while (spy.count() == 0) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
        const qint64 now = timer.elapsed();
        longest = std::max(longest, now - last);
        last = now;
    }
    return longest;
}

bool Save(QWidget& w, const QString& path) {
    QTest::qWait(600);  // the window settles on its frame, then paints
    const QRect frame = w.frameGeometry();
    const QPixmap shot = w.screen()->grabWindow(0, frame.x(), frame.y(), frame.width(), frame.height());
    std::printf("%s: %dx%d\n", qPrintable(path), frame.width(), frame.height());
    return shot.save(path, "PNG");
}

}  // namespace

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    if (argc < 2) {
        std::fprintf(stderr, "usage: %s OUT_DIR [TABLE [TEXT [SECOND]]]\n", argv[0]);
        return 2;
    }
    const QString dir = QString::fromLocal8Bit(argv[1]);
    QApplication::setFont(zelmora::WindowFont());
    zelmora::TForm1 form;
    form.show();
    if (argc > 2 && std::string_view(argv[2]) != "-")
        zelmora::LoadPaneFromFile(*form.RichEdit1, QString::fromLocal8Bit(argv[2]));
    else
        form.N86GB67631->trigger();

    auto* stats = zelmora::tools::StatsWindowOf(&form);
    stats->show();
    QSignalSpy spy(stats, &zelmora::tools::ToolWindow::workFinished);
    QElapsedTimer timer;
    timer.start();
    stats->count();
    qint64 longest = LongestWait(spy, timer);
    std::printf("statistics: %lld ms, longest wait of the event loop %lld ms\n",
                static_cast<long long>(timer.elapsed()), static_cast<long long>(longest));
    bool ok = Save(*stats, dir + "/stats.png");
    stats->positionChoice()->setCurrentIndex(1);
    ok = Save(*stats, dir + "/stats-position1.png") && ok;

    auto* check = zelmora::tools::CheckWindowOf(&form);
    check->show();
    QSignalSpy checked(check, &zelmora::tools::ToolWindow::workFinished);
    timer.restart();
    check->check();
    longest = LongestWait(checked, timer);
    std::printf("check: %lld ms, %zu findings, longest wait %lld ms\n", static_cast<long long>(timer.elapsed()),
                check->findings().size(), static_cast<long long>(longest));
    ok = Save(*check, dir + "/check.png") && ok;

    auto* encode = zelmora::tools::EncodeWindowOf(&form);
    encode->show();
    encode->words()->setPlainText(QStringLiteral("中国\n经济学家\n人民代表大会\n\U00020000工"));
    QSignalSpy encoded(encode, &zelmora::tools::ToolWindow::workFinished);
    timer.restart();
    encode->encode();
    longest = LongestWait(encoded, timer);
    encoded.clear();
    std::printf("encode: %lld ms, longest wait %lld ms\n", static_cast<long long>(timer.elapsed()),
                static_cast<long long>(longest));
    timer.restart();
    encode->addToTable();
    longest = LongestWait(encoded, timer);
    std::printf("merge into RichEdit1: %lld ms, longest wait %lld ms, %zu lines\n",
                static_cast<long long>(timer.elapsed()), static_cast<long long>(longest),
                zelmora::CountPaneLines(*form.RichEdit1));
    ok = Save(*encode, dir + "/encode.png") && ok;

    auto* typing = zelmora::tools::TypingWindowOf(&form);
    typing->show();
    if (argc > 3)
        typing->addTextFiles({QString::fromLocal8Bit(argv[3])});
    else
        typing->setFrequencyList(QStringLiteral("jieba"));
    QSignalSpy typed(typing, &zelmora::tools::ToolWindow::workFinished);
    for (int round = 0; round < (argc > 4 ? 2 : 1); ++round) {
        if (round == 1) typing->setSecondTable(QString::fromLocal8Bit(argv[4]));
        typed.clear();
        timer.restart();
        typing->evaluate();
        longest = LongestWait(typed, timer);
        std::printf("typing%s: %lld ms, longest wait %lld ms; %s\n", round ? " beside a second table" : "",
                    static_cast<long long>(timer.elapsed()), static_cast<long long>(longest),
                    qPrintable(typing->statusText()));
        const QString name = dir + (round ? "/typing-compare" : "/typing");
        typing->resize(1400, 1000);
        ok = Save(*typing, name + ".png") && ok;
        typing->resize(1100, 760);
        ok = Save(*typing, name + "-small.png") && ok;
    }
    return ok ? 0 : 1;
}
