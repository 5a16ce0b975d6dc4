#pragma once
// "按词频调序": the source table's candidates ordered by a word-frequency list
// (jieba, essay or a file), proposed code by code with the typing figures
// before and after; the codes ticked are applied to RichEdit1.
#include <QString>

#include "ui/tools/proposal_window.h"

class QComboBox;

namespace zelmora::tools {

class ReorderWindow : public ProposalWindow {
    Q_OBJECT

public:
    explicit ReorderWindow(TForm1* form);

    // "all", "singles" or "phrases".
    void setOnly(const QString& only);
    // "use" (the default) or "count": what the counts order by.
    void setBy(const QString& by);
    void propose() override;

protected:
    void setWorking(bool working) override;

private:
    struct Reordering;
    QComboBox *only_, *by_;
};

}  // namespace zelmora::tools
