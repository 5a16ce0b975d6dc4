// "简码优化" driven offscreen: the short codes proposed for the source table in
// RichEdit1 by a frequency file, their review (ticks, figures) and the ticked
// changes applied to the pane.
#include <QAction>
#include <QLabel>
#include <QListWidget>
#include <QSignalSpy>
#include <QTest>

#include "tests/ui/proposal_support.h"
#include "ui/form.h"
#include "ui/pane.h"
#include "ui/tools/proposal_view.h"
#include "ui/tools/shortcode_window.h"

using namespace zelmora;
using testing::Finished;
using testing::Gbk;

class ShortCodeWindowTest : public testing::ProposalWindowTest {
    Q_OBJECT

private slots:
    void init();
    void cleanup() { form.reset(); }

    void proposesByTheListAndAppliesOnlyTheTickedChanges();
    void aTableChangedSinceTheProposalIsNotOverwritten();
    void theAfterFiguresFollowTheTicks();

private:
    tools::ShortCodeWindow* openWindow();
};

void ShortCodeWindowTest::init() {
    // Level 1 only: 工 (100) outweighs 式 (1) at a; 子 (50) takes the empty b,
    // which 了 (10) would take were 子 not there.
    open(QStringLiteral("工 100\n子 50\n了 10\n式 1\n"),
         QStringLiteral("a 式\r\naaaa 工\r\naadk 式\r\nbbbb 子\r\nbnhg 了\r\n"));
}

tools::ShortCodeWindow* ShortCodeWindowTest::openWindow() {
    form->findChild<QAction*>("ToolShortCodes")->trigger();
    auto* w = form->findChild<tools::ShortCodeWindow*>();
    if (w) {
        w->setFrequencyList(list);
        w->setLevels({1});
    }
    return w;
}

void ShortCodeWindowTest::proposesByTheListAndAppliesOnlyTheTickedChanges() {
    tools::ShortCodeWindow* w = openWindow();
    QVERIFY(w && w->isVisible());
    QSignalSpy spy(w, &tools::ToolWindow::workFinished);
    w->propose();
    QVERIFY(Finished(spy));
    QVERIFY2(boxes.isEmpty(), qPrintable(boxes.join('\n')));
    tools::ProposalView* view = w->proposal();
    QStringList rows;
    for (int i = 0; i < view->count(); ++i) rows << view->changes()->item(i)->text();
    QCOMPARE(rows.size(), 3);
    QVERIFY2(rows[0].startsWith(QStringLiteral("- a 式")), qPrintable(rows.join('\n')));
    QVERIFY2(rows[1].startsWith(QStringLiteral("+ a 工")), qPrintable(rows.join('\n')));
    QVERIFY2(rows[2].startsWith(QStringLiteral("+ b 子")), qPrintable(rows.join('\n')));
    QVERIFY2(view->figuresText().contains(QStringLiteral("selection")), qPrintable(view->figuresText()));
    view->setTicked(2, false);
    spy.clear();
    w->apply();
    QVERIFY(Finished(spy));
    QVERIFY2(boxes.isEmpty(), qPrintable(boxes.join('\n')));
    QCOMPARE(QString::fromStdString(ReadPaneText(*form->RichEdit1)),
             QString::fromStdString(Gbk(QStringLiteral("a 工\r\naaaa 工\r\naadk 式\r\nbbbb 子\r\nbnhg 了\r\n"))));
    QCOMPARE(form->Label1->text(), QStringLiteral("5行"));
    QCOMPARE(view->count(), 0);
}

void ShortCodeWindowTest::aTableChangedSinceTheProposalIsNotOverwritten() {
    tools::ShortCodeWindow* w = openWindow();
    QVERIFY(w);
    testing::ExpectChangedTableKept(*form, *w, Gbk(QStringLiteral("a 式\r\naaaa 工\r\naadk 式\r\nbbbb 子\r\n")));
}

void ShortCodeWindowTest::theAfterFiguresFollowTheTicks() {
    tools::ShortCodeWindow* w = openWindow();
    QVERIFY(w);
    QSignalSpy spy(w, &tools::ToolWindow::workFinished);
    w->propose();
    QVERIFY(Finished(spy));
    tools::ProposalView* view = w->proposal();
    const QString all = view->figuresText();
    // None ticked: the "after" column is the table as it is, whatever the proposal.
    view->setAllTicked(false);
    spy.clear();
    w->refigure();
    QVERIFY(Finished(spy));
    const QString none = view->figuresText();
    QVERIFY2(none != all, qPrintable(none));
    view->setAllTicked(true);
    spy.clear();
    w->refigure();
    QVERIFY(Finished(spy));
    QCOMPARE(view->figuresText(), all);
}

QTEST_MAIN(ShortCodeWindowTest)
#include "test_shortcode_window.moc"
