#pragma once
// "编码新词": words typed or pasted, coded by the Wubi-86 rules from the
// source table's characters (the built-in table's for those it lacks); the
// chosen ones merged into RichEdit1 as `encode --merge` merges them.
#include <vector>

#include "ui/tools/tool_window.h"
#include "wubi/encode.h"

class QPlainTextEdit;
class QPushButton;
class QTableWidget;

namespace zelmora::tools {

class EncodeWindow : public ToolWindow {
    Q_OBJECT

public:
    explicit EncodeWindow(TForm1* form);

    QPlainTextEdit* words() const { return words_; }
    QTableWidget* results() const { return results_; }
    // Codes the words typed.
    void encode();
    // Adds the checked rows to the source table.
    void addToTable();
    const std::vector<EncodedEntry>& entries() const { return entries_; }

protected:
    void setWorking(bool working) override;

private:
    QPlainTextEdit* words_;
    QTableWidget* results_;
    QPushButton *encode_, *add_;
    std::vector<EncodedEntry> entries_;
};

}  // namespace zelmora::tools
