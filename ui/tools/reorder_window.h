#pragma once
// "按词频调序": the source table's candidates ordered by a word-frequency list
// (jieba, essay or a file), proposed code by code with the typing figures
// before and after; the codes ticked are applied to RichEdit1.
#include <QString>
#include <memory>
#include <string>
#include <vector>

#include "formats/document.h"
#include "tune/reorder.h"
#include "typing/report.h"
#include "typing/score.h"
#include "ui/tools/tool_window.h"

class QComboBox;
class QPushButton;
class QTimer;

namespace zelmora::tools {

class ProposalView;

class ReorderWindow : public ToolWindow {
    Q_OBJECT

public:
    explicit ReorderWindow(TForm1* form);

    // "jieba", "essay" or a file's path.
    void setFrequencyList(const QString& nameOrPath);
    // "all", "singles" or "phrases".
    void setOnly(const QString& only);
    // "use" (the default) or "count": what the counts order by.
    void setBy(const QString& by);
    // Works out the proposal for the source table as it is now.
    void propose();
    // Applies the ticked codes to RichEdit1.
    void apply();
    // The "after" figures worked out again for the codes ticked now (the
    // window does so itself a moment after the ticks change).
    void refigure();
    ProposalView* proposal() const { return view_; }

protected:
    void setWorking(bool working) override;

private:
    struct Proposal {
        std::string bytes;  // the source table as proposed on
        formats::Encoding encoding = formats::Encoding::Gbk;
        formats::TableDocument doc;
        tune::Reordering reordering;
        std::vector<std::string> codes;  // one a row of the view
        typing::FrequencyList list;
        std::vector<typing::FigureRow> before;  // the figures of the table as it was
    };
    void chooseFile();
    void show(std::shared_ptr<Proposal> p, const QStringList& rows, const QString& figures);

    std::shared_ptr<Proposal> proposal_;
    QComboBox *lists_, *only_, *by_;
    QPushButton *propose_, *apply_;
    QTimer* refigureTimer_;
    bool figuresStale_ = false;  // ticks changed while other work ran
    ProposalView* view_;
};

}  // namespace zelmora::tools
