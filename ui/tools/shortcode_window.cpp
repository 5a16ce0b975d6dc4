#include "ui/tools/shortcode_window.h"

#include <QCheckBox>
#include <QComboBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QSpinBox>
#include <algorithm>
#include <initializer_list>
#include <memory>
#include <string>
#include <tuple>
#include <utility>

#include "typing/report.h"
#include "typing/score.h"

namespace zelmora::tools {

namespace {

// One change as a line of the review, as the command lists it.
QString ChangeLine(const tune::ShortCodeChange& c) {
    const bool added = c.kind == tune::ShortCodeChange::Kind::Added;
    return QStringLiteral("%1 %2 %3（第 %4 位，词频 %5，键数 %6 -> %7）")
        .arg(added ? QStringLiteral("+") : QStringLiteral("-"), FromGb(c.code), FromGb(c.word))
        .arg(c.position)
        .arg(c.weight)
        .arg(c.oldKeys)
        .arg(c.newKeys);
}

// A table's figures: GB 2312's single characters weighted by the list (keys
// per character by full codes and with short codes, the selection rate), and
// the list typed word by word.
std::pair<std::vector<typing::FigureRow>, std::vector<typing::FigureRow>> FiguresOf(
    const std::vector<formats::TableEntry>& entries, TextEncoding textEncoding, const typing::FrequencyList& list) {
    const typing::TypingTable table(entries, textEncoding, typing::TypingOptions{});
    return {typing::CharacterRows(typing::ScoreCharacters(table, list, "gb2312")),
            typing::FigureRows(typing::ScoreFrequencies(table, list, typing::Segmentation::Greedy))};
}

// The figures before and after, side by side with the difference.
QString FiguresText(const std::vector<typing::FigureRow>& characters, const std::vector<typing::FigureRow>& typed,
                    const std::pair<std::vector<typing::FigureRow>, std::vector<typing::FigureRow>>& after) {
    return QString::fromStdString("GB 2312 单字（按词频加权）:\n" +
                                  typing::RowsText({"old", "new"}, {characters, after.first}) + "\n词频表逐词输入:\n" +
                                  typing::RowsText({"old", "new"}, {typed, after.second}));
}

}  // namespace

// The short codes proposed, a change a row of the review.
struct ShortCodeWindow::ShortCodes : Proposal {
    tune::ShortCodeProposal proposal;
    // The figures of the table as it was: single characters, the list typed.
    std::vector<typing::FigureRow> characters, typed;

    QString figures(const std::vector<bool>& ticked) const override {
        return FiguresText(characters, typed,
                           FiguresOf(tune::ApplyShortCodeChanges(doc.entries, Taken(proposal.changes, ticked)),
                                     doc.textEncoding(), list));
    }
    std::pair<std::string, QString> write(const std::vector<bool>& ticked) const override {
        const std::vector<tune::ShortCodeChange> taken = Taken(proposal.changes, ticked);
        return {tune::WriteWithCandidates(doc, tune::ApplyShortCodeChanges(doc.entries, taken)),
                QStringLiteral("已采纳 %1 处改动。").arg(taken.size())};
    }
    QString summary() const override {
        std::size_t added = 0;
        for (const tune::ShortCodeChange& c : proposal.changes) added += c.kind == tune::ShortCodeChange::Kind::Added;
        QString status = QStringLiteral("建议新增 %1 个简码，去掉 %2 个；加权省键：原 %3，新 %4。")
                             .arg(added)
                             .arg(proposal.changes.size() - added)
                             .arg(proposal.oldSaving)
                             .arg(proposal.saving);
        if (!proposal.skipped.empty()) status += QStringLiteral("略过 %1 处。").arg(proposal.skipped.size());
        return status;
    }
};

ShortCodeWindow::ShortCodeWindow(TForm1* form)
    : ProposalWindow(form, QStringLiteral("简码优化"), QStringLiteral("ShortCode"), QStringLiteral("正在写入简码……")) {
    for (int i = 0; i < 3; ++i) {
        levels_[i] = new QCheckBox(QStringLiteral("%1 级").arg(i + 1), this);
        levels_[i]->setObjectName(QStringLiteral("ShortCodeLevel%1").arg(i + 1));
        levels_[i]->setChecked(true);
    }
    perCode_ = new QSpinBox(this);
    perCode_->setObjectName("ShortCodePerCode");
    perCode_->setRange(0, 9);
    // 0 stands for the command's default: 1 at level 1, the table's own count at levels 2 and 3.
    perCode_->setSpecialValueText(QStringLiteral("默认"));
    perCode_->setToolTip(QStringLiteral("每个简码的候选数；默认：一级 1 个，二、三级与码表现有的一样多"));
    method_ = new QComboBox(this);
    method_->setObjectName("ShortCodeMethod");
    method_->addItem(QStringLiteral("贪心"), static_cast<int>(tune::ShortCodeMethod::Greedy));
    method_->addItem(QStringLiteral("最优"), static_cast<int>(tune::ShortCodeMethod::Optimal));
    words_ = new QCheckBox(QStringLiteral("含词组"), this);
    words_->setObjectName("ShortCodeWords");

    auto* options = new QHBoxLayout;
    options->addWidget(new QLabel(QStringLiteral("简码："), this));
    for (QCheckBox* c : levels_) options->addWidget(c);
    options->addSpacing(12);
    options->addWidget(new QLabel(QStringLiteral("每码候选："), this));
    options->addWidget(perCode_);
    options->addSpacing(12);
    options->addWidget(new QLabel(QStringLiteral("方法："), this));
    options->addWidget(method_);
    options->addSpacing(12);
    options->addWidget(words_);
    options->addStretch();
    lay(QStringLiteral("简码只给全码以它开头的字（或词组），按词频加权省下的键数最多者得；全码不变。"), {}, options);
}

void ShortCodeWindow::setWorking(bool working) {
    ProposalWindow::setWorking(working);
    for (QWidget* w : std::initializer_list<QWidget*>{method_, words_, perCode_, levels_[0], levels_[1], levels_[2]})
        w->setEnabled(!working);
}

void ShortCodeWindow::setLevels(const std::vector<std::size_t>& levels) {
    for (std::size_t i = 0; i < 3; ++i)
        levels_[i]->setChecked(std::find(levels.begin(), levels.end(), i + 1) != levels.end());
}

void ShortCodeWindow::setPerCode(int perCode) { perCode_->setValue(perCode); }

void ShortCodeWindow::setMethod(tune::ShortCodeMethod method) {
    method_->setCurrentIndex(std::max(0, method_->findData(static_cast<int>(method))));
}

void ShortCodeWindow::setWords(bool words) { words_->setChecked(words); }

void ShortCodeWindow::propose() {
    tune::ShortCodeOptions options;
    options.levels.clear();
    for (std::size_t i = 0; i < 3; ++i)
        if (levels_[i]->isChecked()) options.levels.push_back(i + 1);
    if (options.levels.empty()) {
        setStatus(QStringLiteral("请至少选一级简码。"));
        return;
    }
    if (perCode_->value() > 0) options.perCode = static_cast<std::size_t>(perCode_->value());
    options.method = static_cast<tune::ShortCodeMethod>(method_->currentData().toInt());
    options.words = words_->isChecked();
    auto p = std::make_shared<ShortCodes>();
    start(p, QStringLiteral("正在分配简码……"), [p, options] {
        p->proposal = tune::ProposeShortCodes(p->doc.entries, p->doc.textEncoding(), p->list, options);
        Review review;
        for (const tune::ShortCodeChange& c : p->proposal.changes) review.rows << ChangeLine(c);
        std::tie(p->characters, p->typed) = FiguresOf(p->doc.entries, p->doc.textEncoding(), p->list);
        review.figures =
            FiguresText(p->characters, p->typed, FiguresOf(p->proposal.entries, p->doc.textEncoding(), p->list));
        return review;
    });
}

}  // namespace zelmora::tools
