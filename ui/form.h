#pragma once
// The main window: the "原码表" menu and the "格式" menu, seven tabs, 24 panes. Every component is a
// member whose object name is its name, so that the export can find the panes
// by composing "RichEdit" and a number; every handler is a method named after
// its component and event.
#include <QMainWindow>
#include <QFileDialog>
#include <QMessageBox>
#include <QPointer>
#include <QString>
#include <QUrl>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "core/text_encoding.h"
#include "transform/entry_table.h"
#include "transform/results.h"
#include "ui/desktop.h"
#include "ui/pane.h"
#include "ui/table_file.h"

class QAction;
class QFrame;
class QGroupBox;
class QLabel;
class QMenu;
class QProgressBar;
class QPushButton;
class QThread;
class QTabWidget;

namespace zelmora {

class FindBar;

// "Zelmora  v0.9.10.26" (two spaces): the caption of every message box. The
// window's own caption has one space.
extern const char* const kApplicationTitle;
extern const char* const kWindowCaption;

// "宋体" when installed, otherwise an installed font that has Chinese, 12
// pixels high.
QFont WindowFont();

// A failure's message as the message box shows it: a full stop appended
// unless the last character is "." or below.
QString FailureText(const QString& message);

class TForm1 : public QMainWindow {
    Q_OBJECT

public:
    explicit TForm1(QWidget* parent = nullptr);
    ~TForm1() override;

    // Shows the message box of a failure: modally, unless another runner is
    // given (tests count the boxes without blocking).
    using MessageBoxRunner = std::function<void(QMessageBox&)>;
    void setMessageBoxRunner(MessageBoxRunner runner) { messageBoxRunner_ = std::move(runner); }
    // Shows a box through that runner: the tool windows' failures too.
    void runMessageBox(QMessageBox& box) { messageBoxRunner_(box); }
    // Opens the export's folder and the About links: OpenOnDesktop, unless
    // another opener is given (tests see what would be opened). One that
    // doesn't say whether it showed anything is taken as having shown it.
    using DesktopOpener = DesktopOpenAction;
    void setDesktopOpener(DesktopOpener opener) { desktopOpener_ = std::move(opener); }
    // Runs the window's file dialogs: modally, unless another runner is given
    // (tests choose a file at once).
    using FileDialogRunner = std::function<int(QFileDialog&)>;
    void setFileDialogRunner(FileDialogRunner runner) { fileDialogRunner_ = std::move(runner); }
    // Whether another program that owns the clipboard answers: on X11 it is
    // asked, unless another check is given (tests bring about a silent one).
    void setClipboardOwnerCheck(ClipboardOwnerCheck check) { clipboardOwnerCheck_ = std::move(check); }

    // Loads a table file of any encoding and format into RichEdit1, as
    // "打开任意格式码表..." does after its dialog; a failure is shown in a
    // message box. For a file given on the command line or dropped.
    void OpenTableFile(const QString& path);

    // A table pane's context menu: the editor's own items, then find, go to
    // line and save this pane. The caller owns it.
    QMenu* makePaneContextMenu(Pane* pane, const QPoint& at);

    // The folder of the program's executable, set by FormCreate.
    QString applicationDirectory() const { return applicationDirectory_; }

    // The click operation of a menu item as called from code: nothing while
    // the item is disabled; a failure goes on to the caller.
    void Click(QAction* item);

    // Handlers.
    void FormCreate(QObject* sender);
    void RichEdit1Change(QObject* sender);
    void RichEdit2Change(QObject* sender);
    void RichEdit19Change(QObject* sender);
    void N2Click(QObject* sender);
    void N3Click(QObject* sender);
    void N9Click(QObject* sender);
    void N86GB67631Click(QObject* sender);
    void N4Click(QObject* sender);
    void N5Click(QObject* sender);
    void N21Click(QObject* sender);
    void N8Click(QObject* sender);
    void Button4Click(QObject* sender);
    void Button3Click(QObject* sender);
    void Button7Click(QObject* sender);
    void Button5Click(QObject* sender);
    void Button1Click(QObject* sender);
    void LabelClick(QObject* sender);
    void LabelMouseMove(QObject* sender, Qt::KeyboardModifiers shift, QPoint pos);
    void LabelMouseLeave(QObject* sender);
    void OpenAnyFormatItemClick(QObject* sender);
    void ExportInFormatItemClick(QObject* sender);
    void SavePaneItemClick(QObject* sender);

    // Components.
    QMenu* N1 = nullptr;
    QAction *N2 = nullptr, *N3 = nullptr, *N9 = nullptr, *N86GB67631 = nullptr, *N7 = nullptr, *N4 = nullptr,
            *N5 = nullptr, *N21 = nullptr, *N6 = nullptr, *N8 = nullptr;
    QTabWidget* PageControl1 = nullptr;
    QWidget *TabSheet1 = nullptr, *TabSheet2 = nullptr, *TabSheet3 = nullptr, *TabSheet4 = nullptr,
            *TabSheet5 = nullptr, *TabSheet6 = nullptr, *TabSheet7 = nullptr;
    QFrame *Panel1 = nullptr, *Panel2 = nullptr, *Panel3 = nullptr, *Panel4 = nullptr, *Panel5 = nullptr,
           *Panel6 = nullptr;
    QLabel *Label1 = nullptr, *Label2 = nullptr, *Label3 = nullptr, *Label4 = nullptr, *Label5 = nullptr,
           *Label6 = nullptr, *Label7 = nullptr, *Label8 = nullptr, *Label9 = nullptr, *Label10 = nullptr;
    QPushButton *Button1 = nullptr, *Button3 = nullptr, *Button4 = nullptr, *Button5 = nullptr, *Button7 = nullptr;
    Pane *RichEdit1 = nullptr, *RichEdit2 = nullptr, *RichEdit3 = nullptr, *RichEdit4 = nullptr, *RichEdit5 = nullptr,
         *RichEdit6 = nullptr, *RichEdit7 = nullptr, *RichEdit8 = nullptr, *RichEdit9 = nullptr, *RichEdit10 = nullptr,
         *RichEdit11 = nullptr, *RichEdit12 = nullptr, *RichEdit13 = nullptr, *RichEdit14 = nullptr,
         *RichEdit15 = nullptr, *RichEdit16 = nullptr, *RichEdit17 = nullptr, *RichEdit18 = nullptr,
         *RichEdit19 = nullptr, *RichEdit20 = nullptr, *RichEdit21 = nullptr, *RichEdit22 = nullptr,
         *RichEdit23 = nullptr, *RichEdit24 = nullptr;
    QGroupBox* GroupBox1 = nullptr;
    QLabel* Image1 = nullptr;
    // Made on first use: building a file dialog costs start-up time.
    QFileDialog* OpenDialog1 = nullptr;

    // The "格式" menu: tables of any encoding and format in and out.
    QMenu* FormatMenu = nullptr;
    QAction *OpenAnyFormatItem = nullptr, *ExportInFormatItem = nullptr, *SavePaneItem = nullptr;
    QFileDialog *OpenAnyDialog = nullptr, *SavePaneDialog = nullptr;
    // Ctrl+F over the current pane.
    FindBar* FindBar1 = nullptr;

    // The source table's format and encoding as last recognised; plain GBK
    // unless RichEdit1 was loaded through "打开任意格式码表...".
    const OpenedTable& sourceTable() const { return source_; }

    // The "格式" menu's work (a table read, the results encoded and written,
    // a pane saved) runs on a thread of its own, the window answering and
    // repainting meanwhile. Busy from the command until its results are
    // shown; the menu's items (and dropped files) are refused until then.
    bool formatBusy() const { return formatThread_ != nullptr; }
    // What shows it: a line at the right of the menu bar, with a busy bar.
    QWidget* FormatBusyIndicator = nullptr;
    QLabel* FormatBusyLabel = nullptr;
    QProgressBar* FormatBusyBar = nullptr;

signals:
    // The "格式" menu's work has ended and its outcome is shown.
    void formatWorkFinished();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void showEvent(QShowEvent* event) override;

private:
    using Handler = void (TForm1::*)(QObject*);

    void createMenu();
    void createFormatMenu();
    QAction* addItem(QMenu* menu, const char* name, const QString& caption, Handler handler);
    void createTabs();
    void createAboutTab();
    QAction* addItem(const char* name, const QString& caption, Handler handler);
    // A pane named RichEdit<number>, kept in the member of that name.
    Pane* addPane(int number, const QString& hint);
    Pane*& paneNumbered(int number);
    // A derivation's result panes emptied before it runs, and its texts shown
    // in them.
    void clearResults(Derivation derivation);
    void showResults(Derivation derivation, const std::vector<std::string*>& texts, TextEncoding encoding);
    QFrame* addStrip(QWidget* tab, const char* name, int height);
    QLabel* addStatusLine(QFrame* strip, const char* name, int left, int top);
    QPushButton* addExtractButton(QFrame* strip, const char* name, int left, Handler handler);

    // Every handler runs inside this: a failure ends it and is shown in a
    // message box, and the program goes on.
    void guarded(const std::function<void()>& handler);
    void showFailure(const QString& message);
    void showNotice(QMessageBox::Icon icon, const QString& message);
    // A dialog made once and kept for the run, never the platform's own: the
    // history it keeps lives in memory only.
    QFileDialog* makeFileDialog(const char* name, QFileDialog::AcceptMode mode);
    int runFileDialog(QFileDialog* dialog);
    void loadTable(const QString& path);
    void forgetSourceFormat();
    // Shows the folder the files were written to, or says where it is.
    void showExportFolder(const QString& folder);
    // Runs `work` on the format thread; what it returns then runs here, on
    // the user-interface thread. A failure of either is shown as any
    // handler's. Nothing happens while other such work is under way.
    void runFormatWork(const QString& busyText, std::function<std::function<void()>()> work);
    void setFormatBusy(const QString& busyText);
    Pane* focusedPane() const;
    void fitToFrame();
    void fitMenuBar();
    // F10 and Alt alone: the menu the bar is on, else the first, opened.
    void openMenuBar();

    // The entry table of RichEdit2's text, kept while the pane is unchanged:
    // what one 提取 works out (the pools' indexes, the expansion's ranks)
    // the next finds done. Made on first need; dropped by any change.
    EntryTable& sharedEntries();
    std::unique_ptr<EntryTable> entries_;

    QString applicationDirectory_;
    MessageBoxRunner messageBoxRunner_;
    DesktopOpener desktopOpener_;
    std::map<QAction*, Handler> itemHandlers_;
    QString lastOpened_;
    QString lastOpenedAny_;
    FileDialogRunner fileDialogRunner_ = [](QFileDialog& dialog) { return dialog.exec(); };
    ClipboardOwnerCheck clipboardOwnerCheck_ = &DefaultClipboardOwnerCheck;
    QStringList dialogHistory_;
    OpenedTable source_;
    QPointer<Pane> lastFocusedPane_;
    QObject* releaseAfterDoubleClick_ = nullptr;
    QMargins fittedFrame_;
    QThread* formatThread_ = nullptr;
    bool altAlone_ = false;  // Alt is down, and nothing else came since
    bool shown_ = false;
};

}  // namespace zelmora
