// What the program sets up before its window: Qt's own texts in Chinese, and
// nothing stored between runs: the file dialogs' history stays in memory and
// no settings file appears in the user's home or configuration folder.
#include <QApplication>
#include <QDialogButtonBox>
#include <QDir>
#include <QDirIterator>
#include <QFileDialog>
#include <QLibraryInfo>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <cstdlib>
#include <memory>

#include "ui/desktop.h"
#include "ui/startup.h"
#include "window_support.h"

using namespace zelmora;
using namespace zelmora::testing;

namespace {

// A home and configuration folder of the test's own, made before Qt starts.
QTemporaryDir* Home() {
    static QTemporaryDir home;
    return &home;
}

QStringList FilesUnder(const QString& path) {
    QStringList files;
    QDirIterator it(path, QDir::Files | QDir::Hidden | QDir::System, QDirIterator::Subdirectories);
    while (it.hasNext()) files << it.next();
    return files;
}

}  // namespace

class StartupTest : public QObject {
    Q_OBJECT

private slots:
    void qtTextsInChinese();
    void dialogsKeepTheirHistoryForTheRunOnly();
};

void StartupTest::qtTextsInChinese() {
    if (!QFile::exists(QtTranslationFile()))
        QFAIL(qPrintable("Qt's Chinese translation is missing (" + QtTranslationFile() +
                         "): install the package qt6-translations-l10n (scripts/install-deps)"));
    Startup startup;
    QVERIFY(startup.translated());
    QMessageBox box(QMessageBox::Critical, "t", "m", QMessageBox::Ok | QMessageBox::Cancel);
    QCOMPARE(box.button(QMessageBox::Ok)->text(), QStringLiteral("确定"));
    QCOMPARE(box.button(QMessageBox::Cancel)->text(), QStringLiteral("取消"));
    QFileDialog dialog;
    dialog.setOption(QFileDialog::DontUseNativeDialog, true);
    auto* buttons = dialog.findChild<QDialogButtonBox*>();
    QVERIFY(buttons);
    QCOMPARE(buttons->button(QDialogButtonBox::Cancel)->text(), QStringLiteral("取消"));
}

void StartupTest::dialogsKeepTheirHistoryForTheRunOnly() {
    QTemporaryDir tables;
    WriteFile(tables.filePath("t.txt"), "a x");
    {
        Startup startup;
        auto form = std::make_unique<TForm1>();
        form->setMessageBoxRunner([](QMessageBox&) {});
        form->show();
        QVERIFY(QTest::qWaitForWindowExposed(form.get()));
        // The real dialogs, shown and answered as a user does.
        QStringList history;
        auto answer = [&](QFileDialog& dialog, const QString& file) {
            QTimer::singleShot(0, &dialog, [&dialog, file, &history] {
                history = dialog.history();
                if (file.isEmpty()) return dialog.reject();
                dialog.selectFile(file);
                static_cast<QDialog&>(dialog).accept();
            });
            return dialog.exec();
        };
        form->setFileDialogRunner([&](QFileDialog& d) { return answer(d, tables.filePath("t.txt")); });
        form->N2->trigger();
        QCOMPARE(ReadPaneText(*form->RichEdit1), std::string("a x"));
        form->setFileDialogRunner([&](QFileDialog& d) { return answer(d, QString()); });
        form->OpenAnyFormatItem->trigger();
        // The other dialog knows the folder visited this run.
        QVERIFY2(history.contains(QDir(tables.path()).absolutePath()), qPrintable(history.join(',')));
        form.reset();  // the dialogs go with the window, as at exit
    }
    // Nothing written where the user's settings live.
    QCOMPARE(FilesUnder(Home()->path()), QStringList());
}

int main(int argc, char** argv) {
    QTemporaryDir* home = Home();
    if (!home->isValid()) return 1;
    QDir(home->path()).mkpath(".config");
    ::setenv("HOME", qPrintable(home->path()), 1);
    ::setenv("XDG_CONFIG_HOME", qPrintable(home->path() + "/.config"), 1);
    QApplication app(argc, argv);
    StartupTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "test_startup.moc"
