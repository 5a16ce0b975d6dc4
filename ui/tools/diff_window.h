#pragma once
// "比较码表": the source table compared with a file chosen in a dialog (any
// format and encoding); the summary and the differences in four lists,
// each copyable.
#include <memory>

#include "analysis/diff.h"
#include "ui/tools/tool_window.h"

class QListView;
class QPushButton;
class QTabWidget;

namespace zelmora::tools {

class DiffWindow : public ToolWindow {
    Q_OBJECT

public:
    explicit DiffWindow(TForm1* form);

    // Asks for the file, then compares.
    void chooseFile();
    // The source table (old) with the table in `path` (new).
    void compareWith(const QString& path);
    const analysis::TableDiff* diff() const { return diff_.get(); }
    QTabWidget* lists() const { return tabs_; }
    // The lines of list `kind` (0 added, 1 removed, 2 moved, 3 reordered), as copied.
    QString listText(int kind) const;

protected:
    void setWorking(bool working) override;

private:
    void showDiff(std::shared_ptr<analysis::TableDiff> diff, const QString& path);

    std::shared_ptr<analysis::TableDiff> diff_;
    QTabWidget* tabs_;
    QListView* views_[4];
    LinesModel* models_[4];
    QPushButton *choose_, *copy_;
};

}  // namespace zelmora::tools
