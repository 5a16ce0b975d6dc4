#pragma once
// "码表统计": the source table's figures as text (copyable), candidates per
// code and code lengths as bar charts, key usage as a heat map on the
// Wubi-86 keyboard (all positions or one).
#include <memory>

#include "analysis/stats.h"
#include "ui/tools/tool_window.h"

class QComboBox;
class QPlainTextEdit;
class QPushButton;

namespace zelmora::tools {

class BarChart;
class KeyboardHeatMap;

class StatsWindow : public ToolWindow {
    Q_OBJECT

public:
    explicit StatsWindow(TForm1* form);

    // Counts the source table as it is now.
    void count();
    const analysis::TableStats* stats() const { return stats_.get(); }
    // The figures as text, in Chinese: what "复制" copies.
    QString figuresText() const;

    BarChart* candidatesChart() const { return candidates_; }
    BarChart* lengthsChart() const { return lengths_; }
    KeyboardHeatMap* heatMap() const { return heat_; }
    QComboBox* positionChoice() const { return position_; }
    QPlainTextEdit* figures() const { return figures_; }

protected:
    void setWorking(bool working) override;

private:
    void showStats(std::shared_ptr<analysis::TableStats> stats);
    void showKeys();

    std::shared_ptr<analysis::TableStats> stats_;
    QPlainTextEdit* figures_;
    BarChart *candidates_, *lengths_;
    KeyboardHeatMap* heat_;
    QComboBox* position_;
    QPushButton *again_, *copy_;
};

}  // namespace zelmora::tools
