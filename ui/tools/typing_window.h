#pragma once
// "码表评测": how the source table types real text or a word-frequency list —
// its figures, commits by code length and by candidate position, key use on
// the keyboard, finger and hand load, the characters it lacks — and,
// optionally, a second table typed on the same input beside it with the
// differences.
#include <QStringList>
#include <memory>
#include <vector>

#include "typing/report.h"
#include "typing/score.h"
#include "typing/typing.h"
#include "ui/tools/tool_window.h"

class QCheckBox;
class QComboBox;
class QGridLayout;
class QLabel;
class QLineEdit;
class QListWidget;
class QPlainTextEdit;
class QPushButton;
class QRadioButton;
class QScrollArea;
class QSpinBox;
class QTabWidget;
class QTableWidget;

namespace zelmora::tools {

class BarChart;
class KeyboardHeatMap;

// What one evaluation found: the source table's figures and, when a second
// table was given, its figures on the same input and the words whose typing
// changed.
struct TypingResult {
    QString input;  // what was typed, for the report's head
    typing::Figures figures;
    bool hasSecond = false;
    QString secondName;
    typing::Figures secondFigures;
    std::vector<typing::WordChange> changes;
};

// The rows of two tables' figures matched by key, in the order FigureRows
// gives them (a distribution's rows by their number, whichever table has them).
struct MatchedRow {
    std::string key;
    QString label;
    const typing::FigureRow* first = nullptr;
    const typing::FigureRow* second = nullptr;
};
std::vector<MatchedRow> MatchRows(const std::vector<typing::FigureRow>& first,
                                  const std::vector<typing::FigureRow>& second);
// A figure as the window shows it: a count, a mean (three decimals) or a share
// (a percentage); a difference with its sign (of shares, in percentage points).
QString FigureText(const typing::FigureRow& row);
QString DifferenceText(const typing::FigureRow& first, const typing::FigureRow& second);

class TypingWindow : public ToolWindow {
    Q_OBJECT

public:
    explicit TypingWindow(TForm1* form);

    // The input: text files, or a frequency list ("jieba", "essay" or a path).
    void addTextFiles(const QStringList& paths);
    void setFrequencyList(const QString& nameOrPath);
    // The table typed beside the source table; empty: none.
    void setSecondTable(const QString& path);
    // Scores the source table as it is now (and the second table) on the input.
    void evaluate();

    const TypingResult* result() const { return result_.get(); }
    // Everything as text: what "复制报告" copies.
    QString reportText() const;

    QListWidget* textFiles() const { return files_; }
    QComboBox* frequencyChoice() const { return lists_; }
    QCheckBox* optimal() const { return optimal_; }
    QSpinBox* autoCommit() const { return autoCommit_; }
    QSpinBox* pageSize() const { return pageSize_; }
    QLineEdit* selectKeys() const { return selectKeys_; }
    QTableWidget* figuresTable() const { return table_; }
    QPlainTextEdit* missingText() const { return missing_; }
    BarChart* lengthsChart() const { return lengths_; }
    BarChart* positionsChart() const { return positions_; }
    BarChart* otherKeysChart() const { return otherKeys_; }
    BarChart* fingersChart() const { return fingers_; }
    BarChart* handsChart() const { return hands_; }
    KeyboardHeatMap* heatMap() const { return heat_; }
    QComboBox* heatChoice() const { return heatChoice_; }

protected:
    void setWorking(bool working) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    // The pictures in three rows when the window is wide, else in four.
    void placePictures(bool wide);
    void chooseTextFiles();
    void chooseSecondTable();
    void showResult(std::shared_ptr<TypingResult> result);
    void showFigures();
    void showCharts();
    void showKeys();
    void showMissing();

    std::shared_ptr<TypingResult> result_;
    QString secondPath_;

    QRadioButton *fromTexts_, *fromList_;
    QListWidget* files_;
    QPushButton *addFiles_, *removeFiles_;
    QComboBox* lists_;
    QCheckBox* optimal_;
    QSpinBox *autoCommit_, *pageSize_;
    QLineEdit* selectKeys_;
    QLabel* second_;
    QPushButton *chooseSecond_, *clearSecond_;
    QPushButton *evaluate_, *copy_;
    QTabWidget* tabs_;
    QTableWidget* table_;
    QPlainTextEdit *missing_, *changes_;
    BarChart *lengths_, *positions_, *otherKeys_, *fingers_, *hands_;
    KeyboardHeatMap* heat_;
    QComboBox* heatChoice_;
    QWidget* heatBox_;
    QGridLayout* grid_;
    QScrollArea* scroll_;
    bool wide_ = true;
};

}  // namespace zelmora::tools
