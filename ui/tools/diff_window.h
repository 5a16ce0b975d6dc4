#pragma once
// "比较码表": the source table compared with a file chosen in a dialog (any
// format and encoding); the summary and the differences in five lists,
// each copyable; a double click on an entry selects its line in RichEdit1.
#include <cstdint>
#include <memory>
#include <vector>

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
    // The lists: 0 added, 1 removed, 2 moved, 3 reordered, 4 reweighted.
    static constexpr int kLists = 5;
    // The lines of list `kind`, as copied.
    QString listText(int kind) const;
    // What a double click on row `row` of list `kind` does: selects the
    // entry's line in RichEdit1, or says in the status that only the other
    // table holds it.
    void showEntry(int kind, int row);

protected:
    void setWorking(bool working) override;

private:
    void showDiff(std::shared_ptr<analysis::TableDiff> diff, std::shared_ptr<std::vector<std::uint32_t>> lines,
                  const QString& path);

    std::shared_ptr<analysis::TableDiff> diff_;
    // The source pane's line of each old entry (from 1), as it was compared.
    std::shared_ptr<std::vector<std::uint32_t>> lineOfOld_;
    QString summary_;
    QTabWidget* tabs_;
    QListView* views_[kLists];
    LinesModel* models_[kLists];
    QPushButton *choose_, *copy_;
};

}  // namespace zelmora::tools
