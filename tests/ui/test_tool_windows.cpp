// The tool windows of the menu "工具", driven offscreen: the check, coding new
// words, the statistics and the comparison, on the source table in RichEdit1
// (the typing evaluation has a test of its own).
#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QListView>
#include <QPushButton>
#include <QMenu>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QSignalSpy>
#include <QTabWidget>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QTest>
#include <QTextCursor>

#include <memory>

#include "core/gbk.h"
#include "resources/resources.h"
#include "ui/form.h"
#include "ui/tools/charts.h"
#include "ui/tools/check_findings.h"
#include "ui/tools/check_window.h"
#include "ui/tools/diff_window.h"
#include "ui/tools/encode_window.h"
#include "ui/tools/stats_window.h"
#include "ui/tools/tools_menu.h"

using namespace zelmora;

namespace {

std::string Gbk(const QString& s) {
    return EncodeGbk(
        std::u16string_view(reinterpret_cast<const char16_t*>(s.utf16()), static_cast<std::size_t>(s.size())));
}

// Threads of this process now.
int Threads() {
    return static_cast<int>(
        QDir(QStringLiteral("/proc/self/task")).entryList(QDir::Dirs | QDir::NoDotAndDotDot).size());
}

// Waits for the work a window started.
bool Finished(QSignalSpy& spy) { return spy.count() > 0 || spy.wait(30000); }

}  // namespace

class ToolWindowsTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();

    void menuComesLastWithItsWindows();
    void aSourceInGb18030IsReadAsGb18030();
    void checkListsFindingsAndJumpsToTheLine();
    void checkWordsItsFindingsInChinese();
    void checkWordsTheCheckMessagesItMeetsRarely();
    void checkWordsTheVariantFindingsInChinese();
    void checkListsThePhrasesItCouldNotCheck();
    void lineSelectionAcrossThePanesBlocks();
    void encodeCodesWordsAndAddsTheChosenOnes();
    void encodeKeepsCharactersGbkLacks();
    void statsOfTheBuiltinTable();
    void statsLabelTheSummedRowOfLongCodes();
    void statsHeatMapCountsEveryKeyAsTheTextDoes();
    void diffWithAFileOfAnotherFormat();
    void diffJumpsToTheEntryOnADoubleClick();
    void aFailureShowsAMessageBoxAndTheWindowGoesOn();
    void closingTheProgramDuringWorkWaitsForIt();

private:
    std::unique_ptr<TForm1> form;
    QStringList boxes;
};

void ToolWindowsTest::initTestCase() {}

void ToolWindowsTest::init() {
    boxes.clear();
    form = std::make_unique<TForm1>();
    form->setMessageBoxRunner([this](QMessageBox& box) { boxes << box.text(); });
    form->show();
    QVERIFY(QTest::qWaitForWindowExposed(form.get()));
}

void ToolWindowsTest::cleanup() { form.reset(); }

void ToolWindowsTest::menuComesLastWithItsWindows() {
    const QList<QAction*> bar = form->menuBar()->actions();
    QVERIFY(bar.size() >= 2);
    QCOMPARE(bar.first()->text(), QStringLiteral("原码表"));
    QCOMPARE(bar.last()->text(), QStringLiteral("工具"));
    QStringList items;
    for (QAction* a : bar.last()->menu()->actions()) items << a->text();
    QCOMPARE(items,
             (QStringList{"检查码表", "编码新词", "码表统计", "比较码表", "码表评测", "按词频调序", "简码优化"}));
    // The table's own menu keeps its items.
    QCOMPARE(form->N1->actions().size(), 10);
    // Each window once: asked again, the same one.
    QCOMPARE(tools::StatsWindowOf(form.get()), tools::StatsWindowOf(form.get()));
    QVERIFY(tools::StatsWindowOf(form.get())->isWindow());
}

void ToolWindowsTest::aSourceInGb18030IsReadAsGb18030() {
    // A four-byte character (U+20000) in the source pane: its bytes are
    // characters, not a finding.
    WritePaneText(*form->RichEdit1, "aaaa \x95\x32\x82\x36\r\nbbbb " + Gbk(QStringLiteral("工")),
                  TextEncoding::Gb18030);
    form->findChild<QAction*>("ToolCheck")->trigger();
    auto* w = form->findChild<tools::CheckWindow*>();
    QSignalSpy spy(w, &tools::ToolWindow::workFinished);
    QVERIFY(Finished(spy));
    QVERIFY2(w->findings().empty(), w->findings().empty() ? "" : qPrintable(w->findings()[0].text));
    // Words added by the encoder keep the table in its encoding.
    QCOMPARE(PaneTextEncoding(*form->RichEdit1), TextEncoding::Gb18030);
}

void ToolWindowsTest::checkListsFindingsAndJumpsToTheLine() {
    WritePaneText(*form->RichEdit1,
                  Gbk(QStringLiteral("aaaa 工\r\nwthf 作\r\naawt 工作\r\nabwt 工作\r\nkwww 中华人民\r\nab A股")));
    QAction* item = form->findChild<QAction*>("ToolCheck");
    QVERIFY(item);
    item->trigger();
    auto* w = form->findChild<tools::CheckWindow*>();
    QVERIFY(w);
    QSignalSpy spy(w, &tools::ToolWindow::workFinished);
    QVERIFY(Finished(spy));
    QVERIFY(w->isVisible());
    QCOMPARE(w->findings().size(), std::size_t{3});
    QCOMPARE(w->findings()[0].line, std::size_t{4});
    QCOMPARE(w->findings()[1].line, std::size_t{5});
    QCOMPARE(w->findings()[2].line, std::size_t{6});  // "A股" mixes Han and ASCII
    const QString row = w->list()->model()->index(0, 0).data().toString();
    QCOMPARE(row, QStringLiteral("第4行：词组“工作”编码为“abwt”，按五笔86规则应为“aawt”"));
    // A double click selects the line in RichEdit1.
    QVERIFY(QTest::qWaitForWindowExposed(w));
    QTest::mouseClick(w->list()->viewport(), Qt::LeftButton, {},
                      w->list()->visualRect(w->list()->model()->index(1, 0)).center());
    QTest::mouseDClick(w->list()->viewport(), Qt::LeftButton, {},
                       w->list()->visualRect(w->list()->model()->index(1, 0)).center());
    QCOMPARE(form->RichEdit1->textCursor().selectedText(), QStringLiteral("kwww 中华人民"));
    QCOMPARE(form->PageControl1->currentWidget(), form->TabSheet1);
    // The table fixed, the check finds nothing.
    WritePaneText(*form->RichEdit1, Gbk(QStringLiteral("aaaa 工\r\nwthf 作\r\naawt 工作")));
    w->check();
    QVERIFY(w->busy());
    QCOMPARE(w->cursor().shape(), Qt::WaitCursor);
    QVERIFY(spy.wait(30000));
    QVERIFY(w->findings().empty());
    QCOMPARE(w->cursor().shape(), Qt::ArrowCursor);
    QVERIFY(!w->busy());
}

void ToolWindowsTest::checkWordsItsFindingsInChinese() {
    // A finding of each kind the table check gives a table of group lines,
    // as the window shows them.
    std::string table;
    for (const QString& l : {QStringLiteral("a 工"), QString(), QStringLiteral("ab"), QStringLiteral("a1 工"),
                             QStringLiteral("abcde 工"), QStringLiteral("a 工"), QStringLiteral("b  工")})
        table += Gbk(l) + "\r\n";
    table += "c \xAA\xA1\r\n";  // U+E000, private use
    table += "d \xFD\x9C\r\n";  // U+F92C, a compatibility ideograph
    table += "e \x80\r\n";
    table += Gbk(QStringLiteral("kwww 中华人民"));
    WritePaneText(*form->RichEdit1, table);
    auto* w = tools::CheckWindowOf(form.get());
    QSignalSpy spy(w, &tools::ToolWindow::workFinished);
    w->check();
    QVERIFY(spy.wait(30000));
    QStringList rows;
    for (int i = 0; i < w->list()->model()->rowCount(); ++i) rows << w->list()->model()->index(i, 0).data().toString();
    const QStringList want = {
        QStringLiteral("第2行：空行"),
        QStringLiteral("第3行：只有编码，没有词"),
        QStringLiteral("第4行：编码“a1”含 a-z 以外的字符"),
        QStringLiteral("第5行：编码“abcde”长于四码"),
        QStringLiteral("第6行：编码“a”下的词“工”重复（首见于第1行）"),
        QStringLiteral("第7行：不能原样写回：会写成“b 工”"),
        QStringLiteral("第8行：私用区字符 U+E000：不是标准字符"),
        QStringLiteral("第9行：CJK 兼容汉字 \"\uF92C\" U+F92C（对应统一汉字 \"\u90CE\" U+90CE）"),
        QStringLiteral("第10行：字节 0x80 不是 GBK 字符"),
        QStringLiteral("第11行：词组“中华人民”编码为“kwww”，按五笔86规则应为“kwwn”"),
    };
    QCOMPARE(rows, want);
    QCOMPARE(w->lists()->tabText(0), QStringLiteral("可疑之处（10）"));
}

void ToolWindowsTest::checkWordsTheCheckMessagesItMeetsRarely() {
    // Messages a table of group lines seldom or never brings about, and one
    // the window doesn't know, which stays as the check words it.
    const std::pair<const char*, QString> cases[] = {
        {"replacement character U+FFFD: text damaged by a conversion",
         QStringLiteral("替换字符 U+FFFD：文字在转换中已损坏")},
        {"replacement character U+FFFD (3 times): text damaged by a conversion",
         QStringLiteral("替换字符 U+FFFD（3 处）：文字在转换中已损坏")},
        {"word \"a\\nb\" holds a line break, which no plain, Rime, fcitx4, ibus-table or yong table can hold",
         QStringLiteral("词“a\\nb”含换行，除 libime 外的码表都容不下")},
        {"does not round-trip: The word \"x\" ends in a lone lead byte and has a word after it, which a plain table "
         "can't hold",
         QStringLiteral("不能原样写回：词“x”以半个字符结尾，后面还有词，纯文本码表容不下")},
        {"does not round-trip: The code \"x\" needs quotes and ends in a lone lead byte, which a plain table can't "
         "hold",
         QStringLiteral("不能原样写回：编码“x”须加引号，又以半个字符结尾，纯文本码表容不下")},
        {"does not round-trip: something new", QStringLiteral("不能原样写回：something new")},
        {"a finding of another kind", QStringLiteral("a finding of another kind")},
    };
    for (const auto& [english, chinese] : cases) QCOMPARE(tools::ChineseFinding(english), chinese);
}

void ToolWindowsTest::checkWordsTheVariantFindingsInChinese() {
    // A finding of each kind of the variant check on the line of its entry, in
    // line order with the phrase check's.
    WritePaneText(*form->RichEdit1, Gbk(QStringLiteral("tv 筆\r\ntvfh 筆 律\r\ntvfa 律\r\naaaa 工\r\nbcd 工\r\n"
                                                       "utem 顔 颜\r\nzzy ① ②\r\nttnt T恤\r\nwthf 作\r\nbb 作工")));
    auto* w = tools::CheckWindowOf(form.get());
    QSignalSpy spy(w, &tools::ToolWindow::workFinished);
    w->check();
    QVERIFY(spy.wait(30000));
    QStringList rows;
    for (int i = 0; i < w->list()->model()->rowCount(); ++i) rows << w->list()->model()->index(i, 0).data().toString();
    const QStringList want = {
        QStringLiteral("第1行：繁体字“筆”占用简码“tv”，全码以此开头的简体字可用：“律”"),
        QStringLiteral("第2行：编码“tvfh”下繁体字“筆”排在简体字“律”之前"),
        QStringLiteral("第5行：单字“工”的编码“bcd”既非其全码“aaaa”，也非全码的开头"),
        QStringLiteral("第6行：编码“utem”下繁体字“顔”排在其简体“颜”之前"),
        QStringLiteral("第7行：汉字码表中编码“zzy”下全是符号：“①”、“②”"),
        QStringLiteral("第8行：编码“ttnt”下的词“T恤”混有汉字与 ASCII 字母或数字"),
        QStringLiteral("第10行：词组“作工”编码为“bb”，按五笔86规则应为“wtaa”"),
    };
    QCOMPARE(rows, want);
}

void ToolWindowsTest::checkListsThePhrasesItCouldNotCheck() {
    // U+20001 has no full code, in the table or the built-in one: the
    // phrases holding it are listed with that reason, not only counted.
    const std::string u20000 = "\x95\x32\x82\x36", u20001 = "\x95\x32\x82\x37", gong = Gbk(QStringLiteral("工"));
    WritePaneText(*form->RichEdit1,
                  "aaaa " + u20000 + "\r\nbbbb " + gong + "\r\naabb " + u20000 + gong + "\r\ncccc " + u20001 + gong +
                      "\r\ndddd " + gong + u20001,
                  TextEncoding::Gb18030);
    form->findChild<QAction*>("ToolCheck")->trigger();
    auto* w = form->findChild<tools::CheckWindow*>();
    QSignalSpy spy(w, &tools::ToolWindow::workFinished);
    QVERIFY(Finished(spy));
    QVERIFY(w->findings().empty());
    QCOMPARE(w->statusText(),
             QStringLiteral("共 5 条，可疑之处 0 处。词组 3 个，编码不合五笔86规则 0 个，无法核对 2 个。"));
    QCOMPARE(w->lists()->tabText(1), QStringLiteral("无法核对的词组（2）"));
    QAbstractItemModel* rows = w->uncheckedList()->model();
    QCOMPARE(rows->rowCount(), 2);
    QCOMPARE(rows->index(0, 0).data().toString(),
             QStringLiteral("第4行：词组“\U00020001工”（编码 cccc）无法核对：“\U00020001”无全码"));
    QCOMPARE(rows->index(1, 0).data().toString(),
             QStringLiteral("第5行：词组“工\U00020001”（编码 dddd）无法核对：“\U00020001”无全码"));
    // A double click selects the phrase's line.
    QVERIFY(QTest::qWaitForWindowExposed(w));
    w->lists()->setCurrentIndex(1);
    const QPoint at = w->uncheckedList()->visualRect(rows->index(1, 0)).center();
    QTest::mouseClick(w->uncheckedList()->viewport(), Qt::LeftButton, {}, at);
    QTest::mouseDClick(w->uncheckedList()->viewport(), Qt::LeftButton, {}, at);
    QCOMPARE(form->RichEdit1->textCursor().selectedText(), QStringLiteral("dddd 工\U00020001"));
}

void ToolWindowsTest::lineSelectionAcrossThePanesBlocks() {
    // Written text is held as blocks of 64 lines: lines in the first, a later
    // and the last block, and past the end.
    std::string text;
    for (int i = 1; i <= 200; ++i) text += "c" + std::to_string(i) + " x" + (i < 200 ? "\r\n" : "");
    WritePaneText(*form->RichEdit1, text);
    for (int line : {1, 64, 65, 130, 200}) {
        QVERIFY(SelectPaneLine(*form->RichEdit1, static_cast<std::size_t>(line)));
        QCOMPARE(form->RichEdit1->textCursor().selectedText(), QStringLiteral("c%1 x").arg(line));
    }
    QVERIFY(!SelectPaneLine(*form->RichEdit1, 201));
    QVERIFY(!SelectPaneLine(*form->RichEdit1, 0));
}

void ToolWindowsTest::encodeCodesWordsAndAddsTheChosenOnes() {
    form->N86GB67631->trigger();
    const std::size_t before = CountPaneLines(*form->RichEdit1);
    form->findChild<QAction*>("ToolEncode")->trigger();
    auto* w = form->findChild<tools::EncodeWindow*>();
    QVERIFY(w && w->isVisible());
    QSignalSpy spy(w, &tools::ToolWindow::workFinished);
    w->words()->setPlainText(QStringLiteral("中国\n经济学家\nA股\n中国"));
    w->encode();
    QVERIFY(spy.wait(30000));
    QCOMPARE(w->results()->rowCount(), 2);
    QCOMPARE(w->results()->item(0, 1)->text(), QStringLiteral("中国"));
    QCOMPARE(w->results()->item(0, 2)->text(), QStringLiteral("khlg"));
    QCOMPARE(w->results()->item(1, 2)->text(), QStringLiteral("xiip"));
    // Only the checked word goes in.
    w->results()->item(1, 0)->setCheckState(Qt::Unchecked);
    w->addToTable();
    QVERIFY(spy.wait(30000));
    const std::string table = ReadPaneText(*form->RichEdit1);
    QVERIFY(table.find(Gbk(QStringLiteral("khlg 中国"))) != std::string::npos);
    QVERIFY(table.find(Gbk(QStringLiteral("经济学家"))) == std::string::npos);
    QCOMPARE(CountPaneLines(*form->RichEdit1), before + 1);
    QCOMPARE(form->Label1->text(), QStringLiteral("%1行").arg(before + 1));
}

void ToolWindowsTest::encodeKeepsCharactersGbkLacks() {
    // A GB18030 table coding U+20000; typed words holding it are coded with
    // it, and a left-out word is named as typed, not with a '?'.
    WritePaneText(*form->RichEdit1, "aaaa \x95\x32\x82\x36\r\nbbbb " + Gbk(QStringLiteral("工")),
                  TextEncoding::Gb18030);
    form->findChild<QAction*>("ToolEncode")->trigger();
    auto* w = form->findChild<tools::EncodeWindow*>();
    QSignalSpy spy(w, &tools::ToolWindow::workFinished);
    w->words()->setPlainText(QStringLiteral("\U00020000工\n\U00020001工"));
    w->encode();
    QVERIFY(spy.wait(30000));
    QCOMPARE(w->results()->rowCount(), 1);
    QCOMPARE(w->results()->item(0, 1)->text(), QStringLiteral("\U00020000工"));
    QCOMPARE(w->results()->item(0, 2)->text(), QStringLiteral("aabb"));
    const QString status = w->statusText();
    QVERIFY2(status.contains(QStringLiteral("\U00020001工（“\U00020001”无全码）")), qPrintable(status));
    w->addToTable();
    QVERIFY(spy.wait(30000));
    QCOMPARE(PaneTextEncoding(*form->RichEdit1), TextEncoding::Gb18030);
    QVERIFY(ReadPaneText(*form->RichEdit1).find("aabb \x95\x32\x82\x36" + Gbk(QStringLiteral("工"))) !=
            std::string::npos);
}

void ToolWindowsTest::statsOfTheBuiltinTable() {
    form->N86GB67631->trigger();
    form->findChild<QAction*>("ToolStats")->trigger();
    auto* w = form->findChild<tools::StatsWindow*>();
    QVERIFY(w && w->isVisible());
    QSignalSpy spy(w, &tools::ToolWindow::workFinished);
    QVERIFY(Finished(spy));
    QVERIFY(w->stats());
    QCOMPARE(w->stats()->entries, std::size_t{10951});
    QCOMPARE(w->stats()->codes, std::size_t{10690});
    const QString figures = w->figuresText();
    QVERIFY2(figures.contains(QStringLiteral("条目：10951\n")), qPrintable(figures));
    QVERIFY(figures.contains(QStringLiteral("GB 2312 一级字：有3755，缺0（共3755）")));
    QCOMPARE(w->figures()->toPlainText(), figures);
    // Charts labelled in Chinese; code lengths 1 to 4.
    QCOMPARE(w->lengthsChart()->labels(), (QStringList{"1码", "2码", "3码", "4码"}));
    QCOMPARE(w->candidatesChart()->labels().first(), QStringLiteral("1个"));
    QCOMPARE(w->candidatesChart()->labels().last(), QStringLiteral("4个"));
    // One heat map for all positions and one per position.
    QCOMPARE(w->positionChoice()->count(), 5);
    w->positionChoice()->setCurrentIndex(2);
    QCOMPARE(tools::KeyboardHeatMap::KeyName('a'), QStringLiteral("工"));
    QCOMPARE(tools::KeyboardHeatMap::KeyName('y'), QStringLiteral("言"));
    QVERIFY(tools::KeyboardHeatMap::KeyName('z').isEmpty());
    // The figures copied as text.
    const auto buttons = w->findChildren<QPushButton*>();
    for (QPushButton* b : buttons)
        if (b->text() == QStringLiteral("复制数字")) b->click();
    QCOMPARE(QGuiApplication::clipboard()->text(), figures);
    // The window paints at its size without trouble.
    QVERIFY(!w->grab().isNull());
}

void ToolWindowsTest::statsLabelTheSummedRowOfLongCodes() {
    // Codes of 16 keys or more share one row, labelled so.
    WritePaneText(*form->RichEdit1, Gbk(QStringLiteral("a 工\r\n") + QString(20, u'b') + QStringLiteral(" 戈")),
                  TextEncoding::Gbk);
    form->findChild<QAction*>("ToolStats")->trigger();
    auto* w = form->findChild<tools::StatsWindow*>();
    QVERIFY(w);
    QSignalSpy spy(w, &tools::ToolWindow::workFinished);
    QVERIFY(Finished(spy));
    QCOMPARE(w->lengthsChart()->labels().last(), QStringLiteral("16+码"));
    QCOMPARE(w->positionChoice()->count(), 17);
    QCOMPARE(w->positionChoice()->itemText(16), QStringLiteral("第16码起"));
    QVERIFY2(w->figuresText().contains(QStringLiteral("  16+码：1条，1个编码\n")), qPrintable(w->figuresText()));
}

void ToolWindowsTest::statsHeatMapCountsEveryKeyAsTheTextDoes() {
    // z codes (z is no Wubi-86 key, yet a table may use it) and a code with a
    // key outside a-z: the map's total is the text's, in all positions and at each.
    WritePaneText(*form->RichEdit1, Gbk(QStringLiteral("a 工\r\nzz 乙\r\nzab 丁\r\na1 一")));
    form->findChild<QAction*>("ToolStats")->trigger();
    auto* w = form->findChild<tools::StatsWindow*>();
    QSignalSpy spy(w, &tools::ToolWindow::workFinished);
    QVERIFY(Finished(spy));
    auto* heat = w->findChild<tools::KeyboardHeatMap*>("KeyHeatMap");
    QVERIFY(heat);
    struct Case {
        int position;  // 0: all positions
        std::size_t z, total;
        QString totalText;
    };
    const Case cases[] = {
        {0, 3, 8, QStringLiteral("每键注键名字、次数与占比（共 8 次，其中其他键 1 次）")},
        {1, 2, 4, QStringLiteral("每键注键名字、次数与占比（共 4 次）")},
        {2, 1, 3, QStringLiteral("每键注键名字、次数与占比（共 3 次，其中其他键 1 次）")},
    };
    for (const Case& c : cases) {
        w->positionChoice()->setCurrentIndex(c.position);
        QCOMPARE(heat->counts()[25], c.z);
        QCOMPARE(heat->total(), c.total);
        QCOMPARE(heat->totalText(), c.totalText);
    }
    QVERIFY2(w->figuresText().contains(QStringLiteral("键位（共8次）：\n")), qPrintable(w->figuresText()));
    QVERIFY2(w->figuresText().contains(QStringLiteral("  z：3（37.50%）")), qPrintable(w->figuresText()));
    QVERIFY(!heat->grab().isNull());
}

void ToolWindowsTest::diffWithAFileOfAnotherFormat() {
    WritePaneText(*form->RichEdit1, Gbk(QStringLiteral("a 工 戈\r\naa 式\r\nab 节 芭")));
    QTemporaryDir dir;
    const QString path = dir.filePath("new.dict.yaml");
    {
        QFile f(path);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write(QStringLiteral(
                    "---\nname: new\nversion: \"1\"\nsort: original\n...\n戈\ta\n工\ta\n式\taaa\n节\tab\n苗\tab\n")
                    .toUtf8());
    }
    auto* w = tools::DiffWindowOf(form.get());
    QSignalSpy spy(w, &tools::ToolWindow::workFinished);
    w->compareWith(path);
    QVERIFY(spy.wait(30000));
    QVERIFY(w->diff());
    QCOMPARE(w->diff()->added.size(), std::size_t{1});
    QCOMPARE(w->diff()->removed.size(), std::size_t{1});
    QCOMPARE(w->diff()->moved.size(), std::size_t{1});
    QCOMPARE(w->diff()->reordered.size(), std::size_t{1});
    QCOMPARE(w->listText(0), QStringLiteral("ab 苗\n"));
    QCOMPARE(w->listText(1), QStringLiteral("ab 芭\n"));
    QCOMPARE(w->listText(2), QStringLiteral("式 aa -> aaa\n"));
    QCOMPARE(w->listText(3), QStringLiteral("a: 工 戈 -> 戈 工\n"));
    QCOMPARE(w->lists()->tabText(2), QStringLiteral("移动（1）"));
    QCOMPARE(w->lists()->tabText(4), QStringLiteral("权重（0）"));
    QCOMPARE(w->lists()->count(), 5);
    auto* view = qobject_cast<QListView*>(w->lists()->widget(0));
    QCOMPARE(view->model()->index(0, 0).data().toString(), QStringLiteral("ab 苗"));
}

void ToolWindowsTest::diffJumpsToTheEntryOnADoubleClick() {
    WritePaneText(*form->RichEdit1, Gbk(QStringLiteral("b 了\r\na 工 戈\r\naa 式\r\nab 节 芭")));
    QTemporaryDir dir;
    const QString path = dir.filePath("new.txt");
    {
        QFile f(path);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write(QStringLiteral("a 戈 工\naaa 式\nab 节 苗\nb 了\n").toUtf8());
    }
    auto* w = tools::DiffWindowOf(form.get());
    w->show();
    QVERIFY(QTest::qWaitForWindowExposed(w));
    QSignalSpy spy(w, &tools::ToolWindow::workFinished);
    w->compareWith(path);
    QVERIFY(spy.wait(30000));
    struct Case {
        int list;
        QString selected;  // the line selected in RichEdit1; empty: none, the status says why
    };
    const Case cases[] = {
        {1, QStringLiteral("ab 节 芭")},  // removed
        {2, QStringLiteral("aa 式")},     // moved: the line it left
        {3, QStringLiteral("a 工 戈")},   // reordered: the code's line
        {0, QString()},                   // added: only in the other table
    };
    for (const Case& c : cases) {
        form->PageControl1->setCurrentIndex(1);
        QTextCursor none = form->RichEdit1->textCursor();
        none.clearSelection();
        form->RichEdit1->setTextCursor(none);
        w->lists()->setCurrentIndex(c.list);
        auto* view = qobject_cast<QListView*>(w->lists()->widget(c.list));
        const QPoint at = view->visualRect(view->model()->index(0, 0)).center();
        QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, at);
        QTest::mouseDClick(view->viewport(), Qt::LeftButton, {}, at);
        QCOMPARE(form->RichEdit1->textCursor().selectedText(), c.selected);
        if (c.selected.isEmpty()) {
            QVERIFY2(w->statusText().endsWith(QStringLiteral("“ab 苗”只在所选文件中，原码表中没有。")),
                     qPrintable(w->statusText()));
            QVERIFY(w->statusText().startsWith(QStringLiteral("原码表 6 条")));
        } else {
            QCOMPARE(form->PageControl1->currentWidget(), form->TabSheet1);
        }
    }
}

void ToolWindowsTest::aFailureShowsAMessageBoxAndTheWindowGoesOn() {
    auto* w = tools::DiffWindowOf(form.get());
    QSignalSpy spy(w, &tools::ToolWindow::workFinished);
    w->compareWith(QStringLiteral("/nonexistent/table.txt"));
    QVERIFY(spy.wait(30000));
    QCOMPARE(boxes.size(), 1);
    QVERIFY2(boxes.first().contains(QStringLiteral("/nonexistent/table.txt")), qPrintable(boxes.first()));
    QVERIFY(!w->busy());
    QVERIFY(!w->diff());
}

void ToolWindowsTest::closingTheProgramDuringWorkWaitsForIt() {
    // A big table, so that the work is still under way when the window goes.
    std::string table;
    for (int i = 0; i < 400000; ++i) table += "c" + std::to_string(i) + " " + Gbk(QStringLiteral("工作")) + "\r\n";
    WritePaneText(*form->RichEdit1, table);
    auto* w = tools::StatsWindowOf(form.get());
    const int threads = Threads();
    w->count();
    QVERIFY(w->busy());
    QCOMPARE(Threads(), threads + 1);
    form.reset();  // the work's thread is over once the window is gone
    // (the system takes a moment to drop a thread that has returned; the
    // work itself takes far longer)
    QTRY_COMPARE_WITH_TIMEOUT(Threads(), threads, 50);
}

QTEST_MAIN(ToolWindowsTest)
#include "test_tool_windows.moc"
