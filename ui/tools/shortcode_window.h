#pragma once
// "简码优化": the source table's 1-, 2- and 3-key short codes handed out by a
// word-frequency list (jieba, essay or a file), proposed change by change
// with the figures before and after taking the ticked ones; the changes
// ticked are applied to RichEdit1.
#include <QString>
#include <memory>
#include <string>
#include <vector>

#include "formats/document.h"
#include "tune/shortcodes.h"
#include "typing/report.h"
#include "typing/score.h"
#include "ui/tools/tool_window.h"

class QCheckBox;
class QComboBox;
class QPushButton;
class QSpinBox;
class QTimer;

namespace zelmora::tools {

class ProposalView;

class ShortCodeWindow : public ToolWindow {
    Q_OBJECT

public:
    explicit ShortCodeWindow(TForm1* form);

    // "jieba", "essay" or a file's path.
    void setFrequencyList(const QString& nameOrPath);
    // Which of the levels 1, 2 and 3 are handed out.
    void setLevels(const std::vector<std::size_t>& levels);
    // Candidates per short code; 0 for the command's default.
    void setPerCode(int perCode);
    void setMethod(tune::ShortCodeMethod method);
    void setWords(bool words);
    // Works out the proposal for the source table as it is now.
    void propose();
    // Applies the ticked changes to RichEdit1.
    void apply();
    // The "after" figures worked out again for the changes ticked now (the
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
        tune::ShortCodeProposal proposal;  // its changes one a row of the view
        typing::FrequencyList list;
        // The figures of the table as it was: single characters, the list typed.
        std::vector<typing::FigureRow> characters, typed;
    };
    void chooseFile();
    void show(std::shared_ptr<Proposal> p, const QStringList& rows, const QString& figures);

    std::shared_ptr<Proposal> proposal_;
    QComboBox *lists_, *method_;
    QCheckBox* levels_[3];
    QCheckBox* words_;
    QSpinBox* perCode_;
    QPushButton *propose_, *apply_;
    QTimer* refigureTimer_;
    bool figuresStale_ = false;  // ticks changed while other work ran
    ProposalView* view_;
};

}  // namespace zelmora::tools
