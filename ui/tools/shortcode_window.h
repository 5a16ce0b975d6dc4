#pragma once
// "简码优化": the source table's 1-, 2- and 3-key short codes handed out by a
// word-frequency list (jieba, essay or a file), proposed change by change
// with the figures before and after taking the ticked ones; the changes
// ticked are applied to RichEdit1.
#include <cstddef>
#include <vector>

#include "tune/shortcodes.h"
#include "ui/tools/proposal_window.h"

class QCheckBox;
class QComboBox;
class QSpinBox;

namespace zelmora::tools {

class ShortCodeWindow : public ProposalWindow {
    Q_OBJECT

public:
    explicit ShortCodeWindow(TForm1* form);

    // Which of the levels 1, 2 and 3 are handed out.
    void setLevels(const std::vector<std::size_t>& levels);
    // Candidates per short code; 0 for the command's default.
    void setPerCode(int perCode);
    void setMethod(tune::ShortCodeMethod method);
    void setWords(bool words);
    void propose() override;

protected:
    void setWorking(bool working) override;

private:
    struct ShortCodes;
    QComboBox* method_;
    QCheckBox* levels_[3];
    QCheckBox* words_;
    QSpinBox* perCode_;
};

}  // namespace zelmora::tools
