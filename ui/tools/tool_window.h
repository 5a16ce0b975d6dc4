#pragma once
// What the tool windows share: a window of its own beside the main one, work
// done off the user-interface thread with a wait cursor and a busy bar, lists
// whose lines are made only when shown, and copying to the clipboard.
#include <QAbstractListModel>
#include <QRect>
#include <QSize>
#include <QString>
#include <QWidget>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "formats/document.h"
#include "formats/encoding.h"

class QComboBox;
class QLabel;
class QProgressBar;
class QThread;

namespace zelmora {

class TForm1;

namespace tools {

// GB18030 (or GBK) bytes as text for the screen.
QString FromGb(std::string_view bytes);

// Where a window whose frame is `size` goes beside the main window's frame
// `main`, within `screen` (its available geometry): to the right when it fits
// there, else to the left when it fits there, else against the screen's edge
// on the side with more room, covering as little of the main window as fits.
// Its top is the main window's, lowered or raised to stay on the screen; a
// window larger than the screen is cut to it.
QRect PlaceBeside(const QRect& main, QSize size, const QRect& screen);

// The choice of a frequency list: jieba's, essay's, then "选择文件...".
QComboBox* MakeFrequencyListChoice(QWidget* parent, const QString& objectName);
// Selects a list by name ("jieba", "essay") or path; a path not yet offered
// goes in before "选择文件...".
void SelectFrequencyList(QComboBox* lists, const QString& nameOrPath);
// The open dialog for a frequency list of one's own: the file chosen is
// selected; without one the first list is again.
void ChooseFrequencyFile(QWidget* parent, QComboBox* lists);

// The line (from 1) of each entry of a document; 0 for none.
std::vector<std::uint32_t> LinesOfEntries(const formats::TableDocument& doc);

class ToolWindow : public QWidget {
    Q_OBJECT

public:
    ToolWindow(TForm1* form, const QString& title);
    ~ToolWindow() override;

    // Shows the window and brings it to the front; the first time, beside
    // the main window (PlaceBeside) on the main window's screen.
    void present();

    bool busy() const { return busy_; }
    // The line under the results: counts, what was left out.
    QString statusText() const;

    // The source table's bytes (RichEdit1), copied for the work thread, and
    // the encoding they are in: GBK, or GB18030 when the table holds
    // characters outside GBK or came from a Unicode file.
    std::string sourceBytes() const;
    formats::Encoding sourceEncoding() const;

signals:
    // Work begun by runWork has ended and its results are shown (or its failure).
    void workFinished();

protected:
    // Runs `work` on a thread of its own; what it returns then runs on the
    // user-interface thread to show the results. Meanwhile the window shows
    // the wait cursor and a busy bar and `busyText`; a failure (zelmora::Failure)
    // is shown in a message box. One piece of work at a time.
    void runWork(const QString& busyText, std::function<std::function<void()>()> work);
    // Called when work begins and ends: controls to disable meanwhile.
    virtual void setWorking(bool working) { (void)working; }

    void setStatus(const QString& text);
    static void CopyText(const QString& text);

    TForm1* form_;
    QLabel* status_ = nullptr;
    QProgressBar* progress_ = nullptr;

private:
    bool placed_ = false;
    bool busy_ = false;
    QThread* thread_ = nullptr;  // the work under way
};

// A list of many lines, each made when the view asks for it.
class LinesModel : public QAbstractListModel {
public:
    using Line = std::function<QString(int)>;
    explicit LinesModel(QObject* parent = nullptr) : QAbstractListModel(parent) {}
    void reset(int count, Line line);
    int rowCount(const QModelIndex& parent = {}) const override { return parent.isValid() ? 0 : count_; }
    QVariant data(const QModelIndex& index, int role) const override;
    // Every line, one a line: for the clipboard.
    QString allText() const;

private:
    int count_ = 0;
    Line line_;
};

}  // namespace tools
}  // namespace zelmora
