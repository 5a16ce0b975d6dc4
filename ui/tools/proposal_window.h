#pragma once
// What the tools that propose a change to the source table share ("按词频调序",
// "简码优化"): a word-frequency list (jieba, essay or a file), the proposal
// worked out off the user-interface thread and reviewed in a ProposalView,
// its "after" figures following the ticks, and the ticked rows applied to
// RichEdit1 if the table has not changed since. Each window adds its own
// options and its own calls into tune/.
#include <QString>
#include <QStringList>
#include <functional>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "formats/document.h"
#include "typing/score.h"
#include "ui/tools/tool_window.h"

class QComboBox;
class QLayout;
class QPushButton;
class QTimer;

namespace zelmora::tools {

class ProposalView;

class ProposalWindow : public ToolWindow {
    Q_OBJECT

public:
    // "jieba", "essay" or a file's path.
    void setFrequencyList(const QString& nameOrPath);
    // Works out the proposal for the source table as it is now.
    virtual void propose() = 0;
    // Applies the ticked rows to RichEdit1.
    void apply();
    // The "after" figures worked out again for the rows ticked now (the
    // window does so itself a moment after the ticks change).
    void refigure();
    ProposalView* proposal() const { return view_; }

protected:
    // A proposal for the table as it was when asked for; read by the work
    // threads, so what it does with the ticks must leave it as it is.
    struct Proposal {
        virtual ~Proposal() = default;
        std::string bytes;  // the source table as proposed on
        formats::Encoding encoding = formats::Encoding::Gbk;
        formats::TableDocument doc;
        typing::FrequencyList list;

        // The figures' text with only the ticked rows taken.
        virtual QString figures(const std::vector<bool>& ticked) const = 0;
        // The table with only the ticked rows taken, and the status line
        // that says what was done.
        virtual std::pair<std::string, QString> write(const std::vector<bool>& ticked) const = 0;
        // The status line under a new proposal.
        virtual QString summary() const = 0;

        template <class Row>
        static std::vector<Row> Taken(const std::vector<Row>& rows, const std::vector<bool>& ticked) {
            std::vector<Row> taken;
            for (std::size_t i = 0; i < ticked.size(); ++i)
                if (ticked[i]) taken.push_back(rows[i]);
            return taken;
        }
    };
    // The rows of a new proposal, and the figures with every row taken.
    struct Review {
        QStringList rows;
        QString figures;
    };

    // `name` begins the object names of the list and the buttons; `applying`
    // is the busy text while the ticked rows are written. The window's own
    // options are made between this and lay(), so that Tab reaches them
    // after the list and before the buttons.
    ProposalWindow(TForm1* form, const QString& title, const QString& name, const QString& applying);

    // Makes the buttons and the review and lays the window out: `intro`
    // above the row of the list, `beside` the list before the buttons, then
    // `options` (if any) in a row of its own.
    void lay(const QString& intro, const std::vector<QWidget*>& beside, QLayout* options);

    // Works out `p` for the source table as it is now: the table and the list
    // are read first, then `work` (on the work thread) fills in the rest.
    void start(const std::shared_ptr<Proposal>& p, const QString& busyText, const std::function<Review()>& work);

    void setWorking(bool working) override;

    QComboBox* lists_;

private:
    void showProposal(std::shared_ptr<Proposal> p, const Review& review);

    QString name_, applying_;
    std::shared_ptr<Proposal> proposal_;
    QPushButton *propose_ = nullptr, *apply_ = nullptr;
    QTimer* refigureTimer_ = nullptr;
    bool figuresStale_ = false;  // ticks changed while other work ran
    ProposalView* view_ = nullptr;
};

}  // namespace zelmora::tools
