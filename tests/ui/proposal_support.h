#pragma once
// What the tests of the windows that propose a change to the source table
// share: the main window with its message boxes caught, a frequency file,
// the table in RichEdit1, and the check that a table changed since the
// proposal is left alone.
#include <QFile>
#include <QMessageBox>
#include <QObject>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include <memory>
#include <string>

#include "core/gbk.h"
#include "ui/form.h"
#include "ui/pane.h"
#include "ui/tools/proposal_window.h"

namespace zelmora::testing {

inline std::string Gbk(const QString& s) {
    return EncodeGbk(
        std::u16string_view(reinterpret_cast<const char16_t*>(s.utf16()), static_cast<std::size_t>(s.size())));
}

inline bool Finished(QSignalSpy& spy) { return spy.count() > 0 || spy.wait(30000); }

// `text` written to `path` as UTF-8; false if the file cannot be written.
inline bool WriteUtf8(const QString& path, const QString& text) {
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly)) return false;
    return f.write(text.toUtf8()) >= 0;
}

// Proposes on the table as it is, puts `changed` in RichEdit1 and applies:
// the pane keeps `changed` and the status asks for a new proposal.
inline void ExpectChangedTableKept(TForm1& form, tools::ProposalWindow& w, const std::string& changed) {
    QSignalSpy spy(&w, &tools::ToolWindow::workFinished);
    w.propose();
    QVERIFY(Finished(spy));
    WritePaneText(*form.RichEdit1, changed);
    w.apply();
    QCOMPARE(ReadPaneText(*form.RichEdit1), changed);
    QVERIFY(w.statusText().contains(QStringLiteral("重新生成建议")));
}

// The fixture: a main window shown afresh for each test.
class ProposalWindowTest : public QObject {
protected:
    // The main window shown with `table` in RichEdit1, and `counts` in the
    // frequency file `list`.
    void open(const QString& counts, const QString& table) {
        boxes.clear();
        form = std::make_unique<TForm1>();
        form->setMessageBoxRunner([this](QMessageBox& box) { boxes << box.text(); });
        form->show();
        QVERIFY(QTest::qWaitForWindowExposed(form.get()));
        list = dir.filePath("list.txt");
        QVERIFY(WriteUtf8(list, counts));
        WritePaneText(*form->RichEdit1, Gbk(table));
    }

    std::unique_ptr<TForm1> form;
    QStringList boxes;
    QTemporaryDir dir;
    QString list;
};

}  // namespace zelmora::testing
