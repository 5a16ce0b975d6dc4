// Failing commands: one message box, the cleared panes stay empty, the cursor
// comes back, and the window goes on. The built-in table, the full-code
// derivation and the grouping are made to fail here through the linker
// (--wrap), since none of them fails on its own.
#include <QAction>
#include <QApplication>
#include <QLabel>
#include <QPushButton>
#include <QTabWidget>
#include <QTest>

#include <memory>

#include "core/failure.h"
#include "ui/pane.h"
#include "resources/resources.h"
#include "transform/entry_table.h"
#include "transform/full_codes.h"
#include "transform/group.h"
#include "ui/form.h"

using namespace zelmora;

namespace {
bool builtinMissing = false;
bool derivationFails = false;
bool groupingFails = false;
}  // namespace

// NOLINTBEGIN: linker-wrapped symbols.
extern "C" {
ResourceStream __real__ZN7zelmora16OpenBuiltinTableEv();
ResourceStream __wrap__ZN7zelmora16OpenBuiltinTableEv() {
    // A program built without its table: the lookup itself fails.
    if (builtinMissing) return OpenResource("wb86gb", "no such type");
    return __real__ZN7zelmora16OpenBuiltinTableEv();
}
FullCodesResult __real__ZN7zelmora16ExtractFullCodesERNS_10EntryTableE(EntryTable&);
FullCodesResult __wrap__ZN7zelmora16ExtractFullCodesERNS_10EntryTableE(EntryTable& table) {
    if (derivationFails) throw ListIndexError(1);
    return __real__ZN7zelmora16ExtractFullCodesERNS_10EntryTableE(table);
}
std::string __real__ZN7zelmora15GroupEqualCodesB5cxx11ESt17basic_string_viewIcSt11char_traitsIcEE(std::string_view);
std::string __wrap__ZN7zelmora15GroupEqualCodesB5cxx11ESt17basic_string_viewIcSt11char_traitsIcEE(
    std::string_view text) {
    if (groupingFails) throw ListIndexError(0);
    return __real__ZN7zelmora15GroupEqualCodesB5cxx11ESt17basic_string_viewIcSt11char_traitsIcEE(text);
}
}
// NOLINTEND

class FailureTest : public QObject {
    Q_OBJECT

private slots:
    void init() {
        boxes.clear();
        builtinMissing = derivationFails = groupingFails = false;
        form = std::make_unique<TForm1>();
        form->setMessageBoxRunner([this](QMessageBox& box) {
            boxes << box.text();
            titles << box.windowTitle();
            QCOMPARE(box.icon(), QMessageBox::Critical);
        });
        form->show();
        QVERIFY(QTest::qWaitForWindowExposed(form.get()));
    }
    void cleanup() { form.reset(); }

    void missingBuiltinTableLeavesTheClearedPaneEmpty() {
        WritePaneText(*form->RichEdit1, "aa x\r\nbb y");
        QVERIFY(form->N8->isEnabled());
        builtinMissing = true;
        form->N86GB67631->trigger();
        QCOMPARE(boxes, QStringList{"Resource wb86gb not found."});
        QCOMPARE(titles.last(), QStringLiteral("Zelmora  v0.9.10.26"));
        QVERIFY(form->RichEdit1->isTextEmpty());
        QCOMPARE(form->Label1->text(), QStringLiteral("0行"));
        QVERIFY(!form->N4->isEnabled());
        QVERIFY(!form->N8->isEnabled());

        // The program goes on: the next command works.
        builtinMissing = false;
        form->N86GB67631->trigger();
        QCOMPARE(form->Label1->text(), QStringLiteral("10690行"));
        QCOMPARE(boxes.size(), 1);
    }

    void failingLongCommand() {
        form->N86GB67631->trigger();
        form->N21->trigger();
        form->PageControl1->setCurrentWidget(form->TabSheet6);
        QTest::mouseClick(form->Button7, Qt::LeftButton);
        QVERIFY(!form->RichEdit11->isTextEmpty());

        derivationFails = true;
        QTest::mouseClick(form->Button7, Qt::LeftButton);
        // One box; the message gets no full stop after ")".
        QCOMPARE(boxes, QStringList{"List index out of bounds (1)"});
        for (Pane* p : {form->RichEdit11, form->RichEdit12, form->RichEdit13, form->RichEdit14})
            QVERIFY(p->isTextEmpty());
        QCOMPARE(form->Label7->text(), QStringLiteral("请稍等..."));  // nothing rolled back
        QVERIFY(!form->Button7->testAttribute(Qt::WA_SetCursor));     // the hourglass is gone
        QCOMPARE(form->Button7->cursor().shape(), Qt::ArrowCursor);

        derivationFails = false;
        QTest::mouseClick(form->Button7, Qt::LeftButton);
        QCOMPARE(form->Label7->text(), QStringLiteral("行数:三码832 四码5931 全部6763 三简3564"));
        QCOMPARE(boxes.size(), 1);
    }

    void failingGrouping() {
        WritePaneText(*form->RichEdit2, "a \xB9\xA4\r\nb \xCA\xBD");
        WritePaneText(*form->RichEdit19, "old");
        groupingFails = true;
        form->N5->trigger();
        QCOMPARE(boxes, QStringList{"List index out of bounds (0)"});
        QCOMPARE(titles.last(), QStringLiteral("Zelmora  v0.9.10.26"));
        QVERIFY(form->RichEdit19->isTextEmpty());
        QCOMPARE(form->Label9->text(), QStringLiteral("请稍等..."));
        QCOMPARE(form->RichEdit1->viewport()->cursor().shape(), Qt::IBeamCursor);

        // Through 上面2项 the same failure ends the command after the expansion.
        WritePaneText(*form->RichEdit1, "c \xB9\xA4");
        form->N21->trigger();
        QCOMPARE(boxes.size(), 2);
        QCOMPARE(ReadPaneText(*form->RichEdit2), std::string("c \xB9\xA4"));
        QCOMPARE(form->Label2->text(), QStringLiteral("1行"));
        QCOMPARE(form->Label9->text(), QStringLiteral("请稍等..."));
        QCOMPARE(form->RichEdit1->viewport()->cursor().shape(), Qt::IBeamCursor);

        groupingFails = false;
        form->N5->trigger();
        QCOMPARE(form->Label9->text(), QStringLiteral("1行"));
        QCOMPARE(boxes.size(), 2);
    }

    void fullStopRule() {
        QCOMPARE(FailureText("Failed to Save Stream"), QStringLiteral("Failed to Save Stream."));
        QCOMPARE(FailureText("ends."), QStringLiteral("ends."));
        QCOMPARE(FailureText("ends )"), QStringLiteral("ends )"));
        QCOMPARE(FailureText("ends "), QStringLiteral("ends "));
        QCOMPARE(FailureText("ends-"), QStringLiteral("ends-"));
        QCOMPARE(FailureText("ends/"), QStringLiteral("ends/."));
        QCOMPARE(FailureText("中文"), QStringLiteral("中文."));
        QCOMPARE(FailureText(""), QString());
    }

private:
    std::unique_ptr<TForm1> form;
    QStringList boxes, titles;
};

QTEST_MAIN(FailureTest)
#include "test_window_failure.moc"
