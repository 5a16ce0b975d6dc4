#pragma once
// "检查码表": the table check, the phrase-code check and the variant check of
// the source table, in Chinese: the findings in one list, the phrases that
// could not be checked (with why) in another; a double click selects the line
// in RichEdit1.
#include <QString>
#include <cstddef>
#include <vector>

#include "ui/tools/tool_window.h"

class QListView;
class QPushButton;
class QTabWidget;

namespace zelmora::tools {

class CheckWindow : public ToolWindow {
    Q_OBJECT

public:
    explicit CheckWindow(TForm1* form);

    struct Finding {
        std::size_t line = 0;  // in the source pane, from 1
        QString text;
    };

    // Checks the source table as it is now.
    void check();
    const std::vector<Finding>& findings() const { return findings_; }
    const std::vector<Finding>& unchecked() const { return unchecked_; }
    QTabWidget* lists() const { return tabs_; }
    QListView* list() const { return list_; }
    QListView* uncheckedList() const { return uncheckedList_; }
    // What a double click on row `row` of the findings does.
    void showFinding(int row);
    // What a double click on row `row` of the phrases not checked does.
    void showUnchecked(int row);

protected:
    void setWorking(bool working) override;

private:
    void showLine(std::size_t line);

    QTabWidget* tabs_;
    QListView *list_, *uncheckedList_;
    LinesModel *model_, *uncheckedModel_;
    QPushButton *again_, *copy_;
    std::vector<Finding> findings_, unchecked_;
};

}  // namespace zelmora::tools
