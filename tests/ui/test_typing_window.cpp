// The window "码表评测", driven offscreen: tiny tables and texts whose figures
// are worked out by hand, typed through the source table in RichEdit1 and a
// second table beside it.
#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QComboBox>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QSpinBox>
#include <QCheckBox>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QTest>

#include <memory>

#include "core/gbk.h"
#include "tests/ui/window_support.h"
#include "ui/form.h"
#include "ui/tools/charts.h"
#include "ui/tools/tools_menu.h"
#include "ui/tools/typing_window.h"

using namespace zelmora;
using zelmora::testing::WriteFile;

namespace {

std::string Gbk(const QString& s) {
    return EncodeGbk(
        std::u16string_view(reinterpret_cast<const char16_t*>(s.utf16()), static_cast<std::size_t>(s.size())));
}

std::string Utf8(const QString& s) { return s.toStdString(); }

// The figures table's row with key `key`, or -1.
int RowIndex(const QTableWidget& table, const QString& key) {
    for (int r = 0; r < table.rowCount(); ++r)
        if (table.item(r, 0)->data(Qt::UserRole).toString() == key) return r;
    return -1;
}

// The figures table's cells of the row with key `key`, or nothing.
QStringList RowOf(const QTableWidget& table, const QString& key) {
    QStringList cells;
    if (const int r = RowIndex(table, key); r >= 0)
        for (int c = 1; c < table.columnCount(); ++c) cells << table.item(r, c)->text();
    return cells;
}

// "工戈" is one entry of four letters, committed by its last.
const QString kTable = QStringLiteral("aa 工\r\nbb 戈\r\naabb 工戈");

}  // namespace

class TypingWindowTest : public QObject {
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void aTextTypedThroughTheSourceTable();
    void aSecondTableSideBySideWithTheDifference();
    void aFrequencyListTypesEachWordAlone();
    void theOptionsChangeHowItTypes();
    void failuresShowInTheStatusAndTheWindowGoesOn();

private:
    tools::TypingWindow* open(const QString& table);
    bool run(tools::TypingWindow* w);

    std::unique_ptr<TForm1> form;
    QTemporaryDir dir;
    QStringList boxes;
};

void TypingWindowTest::init() {
    boxes.clear();
    form = std::make_unique<TForm1>();
    form->setMessageBoxRunner([this](QMessageBox& box) { boxes << box.text(); });
    form->show();
    QVERIFY(QTest::qWaitForWindowExposed(form.get()));
}

void TypingWindowTest::cleanup() { form.reset(); }

tools::TypingWindow* TypingWindowTest::open(const QString& table) {
    WritePaneText(*form->RichEdit1, Gbk(table));
    form->findChild<QAction*>("ToolTyping")->trigger();
    auto* w = form->findChild<tools::TypingWindow*>();
    return w && w->isVisible() ? w : nullptr;
}

bool TypingWindowTest::run(tools::TypingWindow* w) {
    QSignalSpy spy(w, &tools::ToolWindow::workFinished);
    w->evaluate();
    return spy.wait(30000) && !w->busy();
}

void TypingWindowTest::aTextTypedThroughTheSourceTable() {
    // 工戈 twice (aabb, four letters commit themselves), 。 by its own key;
    // 丑 and 寅 are missing, 丑 the more often.
    auto* w = open(kTable);
    QVERIFY(w);
    const QString text = dir.filePath("text.txt");
    WriteFile(text, Utf8(QStringLiteral("工戈寅丑工戈丑。")));
    w->addTextFiles({text});
    QVERIFY(run(w));
    QVERIFY2(w->result(), qPrintable(w->statusText()));
    QCOMPARE(w->figuresTable()->columnCount(), 2);
    QCOMPARE(RowOf(*w->figuresTable(), "keys_per_character"), QStringList{"2.000"});  // 8 keys, 4 characters

    QCOMPARE(w->lengthsChart()->labels(), (QStringList{"1码", "2码", "3码", "4码"}));
    QCOMPARE(w->lengthsChart()->values(), (std::vector<std::size_t>{0, 0, 0, 2}));
    QCOMPARE(w->positionsChart()->values(), std::vector<std::size_t>{2});
    QCOMPARE(w->otherKeysChart()->labels(), (QStringList{"空格", "."}));
    QCOMPARE(w->otherKeysChart()->values(), (std::vector<std::size_t>{0, 1}));
    // a: left pinky, b: left index, '.': right ring.
    QCOMPARE(w->fingersChart()->values(), (std::vector<std::size_t>{4, 0, 0, 4, 0, 0, 1, 0, 0}));
    QCOMPARE(w->handsChart()->values(), (std::vector<std::size_t>{8, 1, 0}));
    QCOMPARE(w->heatMap()->counts()[0], std::size_t{4});
    QCOMPARE(w->heatMap()->counts()[1], std::size_t{4});
    QVERIFY(w->handsChart()->secondValues().empty());
    QVERIFY(!w->heatChoice()->isEnabled());

    const QString missing = w->missingText()->toPlainText();
    QVERIFY2(missing.contains(QStringLiteral("：2 个，共出现 3 次\n丑  2\n寅  1\n")), qPrintable(missing));
    // The report copied holds the figures.
    for (QPushButton* b : w->findChildren<QPushButton*>())
        if (b->text() == QStringLiteral("复制报告")) b->click();
    QCOMPARE(QGuiApplication::clipboard()->text(), w->reportText());
    QVERIFY(w->reportText().contains(QStringLiteral("原码表")));
    QVERIFY(!w->grab().isNull());
}

void TypingWindowTest::aSecondTableSideBySideWithTheDifference() {
    // Without the word 工戈: 工 aa␣, 戈 bb␣, twice, the last space saved by 。.
    auto* w = open(kTable);
    QVERIFY(w);
    const QString text = dir.filePath("text.txt"), second = dir.filePath("second.dict.yaml");
    WriteFile(text, Utf8(QStringLiteral("工戈工戈。")));
    WriteFile(second, Utf8(QStringLiteral("---\nname: second\nversion: \"1\"\nsort: original\n...\n工\taa\n戈\tbb\n")));
    w->addTextFiles({text});
    w->setSecondTable(second);
    QVERIFY(run(w));
    QVERIFY2(w->result() && w->result()->hasSecond, qPrintable(w->statusText()));
    QCOMPARE(w->figuresTable()->columnCount(), 4);
    QCOMPARE(w->figuresTable()->horizontalHeaderItem(2)->toolTip(), QStringLiteral("second.dict.yaml"));
    QCOMPARE(w->figuresTable()->horizontalHeaderItem(3)->text(), QStringLiteral("差值"));
    QCOMPARE(RowOf(*w->figuresTable(), "keys_per_character"), (QStringList{"2.000", "2.750", "+0.750"}));
    // A count one table lacks is none of it there; each such row stays beside
    // the row it follows in its own table.
    QCOMPARE(RowOf(*w->figuresTable(), "code_length.2"), (QStringList{"—", "4", "+4"}));
    QCOMPARE(RowOf(*w->figuresTable(), "code_length.4"), (QStringList{"2", "—", "-2"}));
    QCOMPARE(RowOf(*w->figuresTable(), "key.space"), (QStringList{"—", "3", "+3"}));
    QCOMPARE(RowIndex(*w->figuresTable(), "code_length.2") + 1, RowIndex(*w->figuresTable(), "code_length.4"));
    // Both tables' bars, the second's with its three spaces on the thumbs.
    QCOMPARE(w->handsChart()->values(), (std::vector<std::size_t>{8, 1, 0}));
    QCOMPARE(w->handsChart()->secondValues(), (std::vector<std::size_t>{8, 1, 3}));
    QCOMPARE(w->lengthsChart()->secondValues(), (std::vector<std::size_t>{0, 4, 0, 0}));
    QCOMPARE(w->heatChoice()->count(), 2);
    w->heatChoice()->setCurrentIndex(1);
    QVERIFY(w->heatMap()->title().startsWith(QStringLiteral("second.dict.yaml")));
    QVERIFY(w->reportText().contains(QStringLiteral("second.dict.yaml")));
    // Without it again, one column.
    w->setSecondTable(QString());
    QVERIFY(run(w));
    QCOMPARE(w->figuresTable()->columnCount(), 2);
}

void TypingWindowTest::aFrequencyListTypesEachWordAlone() {
    // 工戈 three times (4 keys each), 工 twice (aa␣): 18 keys for 8 characters.
    auto* w = open(kTable);
    QVERIFY(w);
    const QString list = dir.filePath("words.txt");
    WriteFile(list, Utf8(QStringLiteral("工戈 3\n工 2\n")));
    w->addTextFiles({dir.filePath("not-typed.txt")});  // the list is chosen after: the texts are left aside
    w->setFrequencyList(list);
    QVERIFY(run(w));
    QVERIFY2(w->result(), qPrintable(w->statusText()));
    QCOMPARE(RowOf(*w->figuresTable(), "keys_per_character"), QStringList{"2.250"});
    QCOMPARE(w->positionsChart()->values(), std::vector<std::size_t>{5});
}

void TypingWindowTest::theOptionsChangeHowItTypes() {
    // 甲乙 is abcd, 乙丙 ab, 丙 the second candidate of l.
    auto* w = open(QStringLiteral("j 甲\r\nk 乙\r\nl 丁 丙\r\nabcd 甲乙\r\nab 乙丙"));
    QVERIFY(w);
    const QString text = dir.filePath("text.txt");
    WriteFile(text, Utf8(QStringLiteral("甲乙丙")));
    w->addTextFiles({text});
    struct Case {
        bool optimal;
        int autoCommit, pageSize;
        const char* selectKeys;
        QString keysPerCharacter, selectionKey;
    };
    const std::vector<Case> cases = {
        {false, 4, 5, ";'4567890", "2.000", ";"},  // abcd, l;
        {true, 4, 5, ";'4567890", "1.667", ""},    // j␣, ab␣
        {false, 0, 5, ";'4567890", "2.333", ";"},  // abcd␣, l;
        {false, 4, 1, "", "2.333", ""},            // abcd, l, a page down, ␣
        {false, 4, 3, "[]", "2.000", "["},         // abcd, l[
    };
    for (const Case& c : cases) {
        w->optimal()->setChecked(c.optimal);
        w->autoCommit()->setValue(c.autoCommit);
        w->pageSize()->setValue(c.pageSize);
        w->selectKeys()->setText(QString::fromUtf8(c.selectKeys));
        QVERIFY(run(w));
        QVERIFY2(w->result(), qPrintable(w->statusText()));
        QCOMPARE(RowOf(*w->figuresTable(), "keys_per_character"), QStringList{c.keysPerCharacter});
        QCOMPARE(w->otherKeysChart()->labels().contains(c.selectionKey), !c.selectionKey.isEmpty());
    }
}

void TypingWindowTest::failuresShowInTheStatusAndTheWindowGoesOn() {
    const QString binary = dir.filePath("binary.txt"), text = dir.filePath("text.txt");
    WriteFile(binary, std::string("\x80\xff\x80\xff\x01\x02\xff\x80", 8));
    WriteFile(text, Utf8(QStringLiteral("工戈")));
    struct Case {
        QString table, text, list, second, selectKeys, expected;
    };
    const std::vector<Case> cases = {
        {kTable, binary, "", "", ";", "binary.txt"},                                          // bytes that are no text
        {kTable, "", dir.filePath("no-list.txt"), "", ";", "no-list.txt"},                    // no such frequency list
        {kTable, text, "", dir.filePath("no-table.txt"), ";", QStringLiteral("对比码表：")},  // no such second table
        {kTable, text, "", binary, ";", QStringLiteral("对比码表“")},  // a second table that is no table
        {kTable, text, "", "", "", "selection keys"},                  // too few selection keys
        {"", text, "", "", ";", QStringLiteral("原码表是空的")},       // nothing in the source pane
    };
    for (const Case& c : cases) {
        init();
        auto* w = open(c.table);
        QVERIFY(w);
        if (!c.text.isEmpty()) w->addTextFiles({c.text});
        if (!c.list.isEmpty()) w->setFrequencyList(c.list);
        w->setSecondTable(c.second);
        w->pageSize()->setValue(2);
        w->selectKeys()->setText(c.selectKeys);
        QVERIFY(run(w));
        QVERIFY(!w->result());
        QCOMPARE(boxes.size(), 1);
        QVERIFY2(!w->statusText().isEmpty() && w->statusText().contains(c.expected), qPrintable(w->statusText()));
        QVERIFY2(boxes.first().contains(c.expected), qPrintable(boxes.first()));
    }
}

QTEST_MAIN(TypingWindowTest)
#include "test_typing_window.moc"
