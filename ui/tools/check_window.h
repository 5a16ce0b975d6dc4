#pragma once
// "检查码表": the table check and the phrase-code check of the source table,
// findings in a list; a double click selects the line in RichEdit1.
#include <vector>

#include "formats/document.h"
#include "ui/tools/tool_window.h"

class QListView;
class QPushButton;

namespace zelmora::tools {

class CheckWindow : public ToolWindow {
    Q_OBJECT

public:
    explicit CheckWindow(TForm1* form);

    // Checks the source table as it is now.
    void check();
    const std::vector<formats::TableProblem>& findings() const { return findings_; }
    QListView* list() const { return list_; }
    // What a double click on row `row` does.
    void showFinding(int row);

protected:
    void setWorking(bool working) override;

private:
    QListView* list_;
    LinesModel* model_;
    QPushButton *again_, *copy_;
    std::vector<formats::TableProblem> findings_;
};

}  // namespace zelmora::tools
