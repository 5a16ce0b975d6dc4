// "按词频调序" driven offscreen: the proposal for the source table in RichEdit1,
// its review (ticks, figures) and the ticked codes applied to the pane.
#include <QAction>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>

#include "tests/ui/proposal_support.h"
#include "ui/form.h"
#include "ui/pane.h"
#include "ui/tools/proposal_view.h"
#include "ui/tools/reorder_window.h"

using namespace zelmora;
using testing::Finished;
using testing::Gbk;

namespace {

// The old and new values of a row of the figures, as printed.
QStringList OldAndNew(const QString& figures, const QString& label) {
    for (const QString& line : figures.split('\n'))
        if (line.startsWith(label)) {
            const QStringList fields = line.mid(label.size()).split(' ', Qt::SkipEmptyParts);
            return fields.mid(0, 2);
        }
    return {};
}

}  // namespace

class ReorderWindowTest : public testing::ProposalWindowTest {
    Q_OBJECT

private slots:
    void init();
    void cleanup() { form.reset(); }

    void proposesByTheListAndAppliesOnlyTheTickedCodes();
    void aTableChangedSinceTheProposalIsNotOverwritten();
    void theReviewTicksOneAllOrNone();
    void theFiguresFollowTheTicks();
    void theOrderIsByTypedUseOrByCount();
};

void ReorderWindowTest::init() {
    // 戈 before 工 under aa (式 absent, after them); 子 before 了 under bb.
    open(QStringLiteral("戈 30\n工 10\n子 5\n"), QStringLiteral("aa 工 式 戈\r\nbb 了 子\r\ncc 不\r\n"));
}

void ReorderWindowTest::proposesByTheListAndAppliesOnlyTheTickedCodes() {
    form->findChild<QAction*>("ToolReorder")->trigger();
    auto* w = form->findChild<tools::ReorderWindow*>();
    QVERIFY(w && w->isVisible());
    QSignalSpy spy(w, &tools::ToolWindow::workFinished);
    w->setFrequencyList(list);
    w->propose();
    QVERIFY(Finished(spy));
    QVERIFY2(boxes.isEmpty(), qPrintable(boxes.join('\n')));
    tools::ProposalView* view = w->proposal();
    QCOMPARE(view->count(), 2);
    QCOMPARE(view->changes()->item(0)->text(), QStringLiteral("aa: 工 式 戈 -> 戈 工 式"));
    QCOMPARE(view->changes()->item(1)->text(), QStringLiteral("bb: 了 子 -> 子 了"));
    // Before and after on the list: 戈 (30) from third place to first.
    QVERIFY2(view->figuresText().contains(QStringLiteral("selections (commits past the first candidate)")),
             qPrintable(view->figuresText()));
    view->setTicked(1, false);
    spy.clear();
    w->apply();
    QVERIFY(Finished(spy));
    QCOMPARE(QString::fromStdString(ReadPaneText(*form->RichEdit1)),
             QString::fromStdString(Gbk(QStringLiteral("aa 戈 工 式\r\nbb 了 子\r\ncc 不\r\n"))));
    QCOMPARE(form->Label1->text(), QStringLiteral("3行"));
    QCOMPARE(view->count(), 0);
}

void ReorderWindowTest::aTableChangedSinceTheProposalIsNotOverwritten() {
    auto* w = form->findChild<tools::ReorderWindow*>();
    if (!w) {
        form->findChild<QAction*>("ToolReorder")->trigger();
        w = form->findChild<tools::ReorderWindow*>();
    }
    w->setFrequencyList(list);
    testing::ExpectChangedTableKept(*form, *w, Gbk(QStringLiteral("aa 工 式 戈\r\nbb 了 子\r\ncc 不\r\ndd 大\r\n")));
}

void ReorderWindowTest::theReviewTicksOneAllOrNone() {
    tools::ProposalView view;
    QSignalSpy changed(&view, &tools::ProposalView::tickedChanged);
    view.setProposal({"a", "b", "c"}, "figures");
    QCOMPARE(view.tickedCount(), 3);
    view.setTicked(1, false);
    QCOMPARE(view.ticked(), (std::vector<bool>{true, false, true}));
    view.findChild<QPushButton*>("ProposalTickNone")->click();
    QCOMPARE(view.tickedCount(), 0);
    view.findChild<QPushButton*>("ProposalTickAll")->click();
    QCOMPARE(view.ticked(), (std::vector<bool>{true, true, true}));
    // Once for the proposal, the tick and each button.
    QCOMPARE(changed.count(), 4);
    QCOMPARE(view.figuresText(), QStringLiteral("figures"));
}

void ReorderWindowTest::theFiguresFollowTheTicks() {
    form->findChild<QAction*>("ToolReorder")->trigger();
    auto* w = form->findChild<tools::ReorderWindow*>();
    QSignalSpy spy(w, &tools::ToolWindow::workFinished);
    w->setFrequencyList(list);
    w->propose();
    QVERIFY(Finished(spy));
    tools::ProposalView* view = w->proposal();
    QCOMPARE(view->count(), 2);  // aa (戈 30 to first), bb (子 5 to first)
    // Selections before: 戈 30 (third) and 子 5 (second); 工 10 second once aa is taken.
    const QString selections = QStringLiteral("selections (commits past the first candidate)");
    struct Case {
        bool aa, bb;
        QString after;
    };
    const std::vector<Case> cases = {
        {true, true, "10"}, {false, true, "30"}, {true, false, "15"}, {false, false, "35"}};
    for (const Case& c : cases) {
        spy.clear();
        view->setTicked(0, c.aa);
        view->setTicked(1, c.bb);
        // Two ticks, one recount once they settle (unless they changed nothing).
        if (view->figuresText().isEmpty() || OldAndNew(view->figuresText(), selections).value(1) != c.after)
            QVERIFY(Finished(spy));
        QCOMPARE(OldAndNew(view->figuresText(), selections), (QStringList{"35", c.after}));
    }
}

void ReorderWindowTest::theOrderIsByTypedUseOrByCount() {
    // 遣 outcounts 遗, but its short code khg types it in 4 keys, as khgp first would.
    const QString counts = dir.filePath("counts.txt");
    QVERIFY(testing::WriteUtf8(counts, QStringLiteral("遣 1787\n遗 1158\n")));
    WritePaneText(*form->RichEdit1, Gbk(QStringLiteral("khg 遣\r\nkhgp 遗 遣\r\n")));
    form->findChild<QAction*>("ToolReorder")->trigger();
    auto* w = form->findChild<tools::ReorderWindow*>();
    w->setFrequencyList(counts);
    const std::vector<std::pair<QString, QStringList>> cases = {{"use", {}},
                                                                {"count", {QStringLiteral("khgp: 遗 遣 -> 遣 遗")}}};
    for (const auto& [by, rows] : cases) {
        QSignalSpy spy(w, &tools::ToolWindow::workFinished);
        w->setBy(by);
        w->propose();
        QVERIFY(Finished(spy));
        QStringList got;
        for (int i = 0; i < w->proposal()->count(); ++i) got << w->proposal()->changes()->item(i)->text();
        QCOMPARE(got, rows);
    }
}

QTEST_MAIN(ReorderWindowTest)
#include "test_reorder_window.moc"
