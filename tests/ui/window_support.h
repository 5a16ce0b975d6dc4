#pragma once
// Helpers shared by the window tests: running every derivation as a user
// does, and reading what the window shows next to what the pipeline gives.
#include <QAction>
#include <QFile>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QTest>

#include <map>
#include <string>
#include <vector>

#include "ui/form.h"
#include "ui/pane.h"

namespace zelmora::testing {

struct Box {
    QMessageBox::Icon icon;
    QString title, text;
};

inline std::string ReadFile(const QString& path) {
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly)) return "<missing>";
    const QByteArray b = f.readAll();
    return std::string(b.constData(), static_cast<std::size_t>(b.size()));
}

inline void WriteFile(const QString& path, const std::string& bytes) {
    QFile f(path);
    if (f.open(QIODevice::WriteOnly | QIODevice::Truncate)) f.write(bytes.data(), static_cast<qint64>(bytes.size()));
}

inline Pane* PaneOf(const TForm1& form, int n) { return form.findChild<Pane*>(QStringLiteral("RichEdit%1").arg(n)); }

// Until the "格式" menu's work (run on a thread of its own) has ended and
// its outcome is shown; false if it takes longer than `ms`.
inline bool WaitForFormatWork(const TForm1& form, int ms = 120000) {
    return QTest::qWaitFor([&] { return !form.formatBusy(); }, ms);
}

// Every derivation, in the order of the tabs, from the menu and the buttons.
inline void RunEveryDerivation(TForm1& form) {
    form.N21->trigger();
    for (QPushButton* b : {form.Button4, form.Button7, form.Button5, form.Button3, form.Button1}) b->click();
}

// Result pane of each hint, as the pipeline names its outputs.
inline std::map<std::string, Pane*> ResultPanes(const TForm1& form) {
    std::map<std::string, Pane*> panes;
    for (int n = 1; n <= 24; ++n) {
        Pane* p = PaneOf(form, n);
        if (p && !p->hint().isEmpty()) panes[p->hint().toStdString()] = p;
    }
    return panes;
}

// Status line of each tab caption, as the pipeline names its status lines.
inline std::map<std::string, QString> StatusLines(const TForm1& form) {
    return {{"原码表", form.Label1->text()},   {"一字一行", form.Label2->text()}, {"重码一行", form.Label9->text()},
            {"码长分类", form.Label4->text()}, {"全码", form.Label7->text()},     {"出简不出全", form.Label5->text()},
            {"重码", form.Label3->text()},     {"简码全码", form.Label10->text()}};
}

}  // namespace zelmora::testing
