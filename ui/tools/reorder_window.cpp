#include "ui/tools/reorder_window.h"

#include <QComboBox>
#include <algorithm>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "analysis/diff.h"
#include "tune/frequency.h"
#include "tune/reorder.h"
#include "typing/report.h"
#include "typing/score.h"

namespace zelmora::tools {

namespace {

std::string Words(const std::vector<std::string>& words) {
    std::string s;
    for (const auto& w : words) s += (s.empty() ? "" : " ") + w;
    return s;
}

// A table's figures on the list.
std::vector<typing::FigureRow> FiguresOf(const std::vector<formats::TableEntry>& entries, TextEncoding encoding,
                                         const typing::FrequencyList& list) {
    const typing::TypingTable t(entries, encoding, typing::TypingOptions{});
    return typing::FigureRows(typing::ScoreFrequencies(t, list, typing::Segmentation::Greedy));
}

}  // namespace

// The reordering proposed, a code a row of the review.
struct ReorderWindow::Reordering : Proposal {
    tune::Reordering reordering;
    std::vector<std::string> codes;
    std::vector<typing::FigureRow> before;  // the figures of the table as it was

    QString figures(const std::vector<bool>& ticked) const override {
        const tune::Reordering r = tune::OnlyCodes(reordering, doc.entries, Taken(codes, ticked));
        return QString::fromStdString(
            typing::RowsText({"old", "new"}, {before, FiguresOf(r.apply(doc.entries), doc.textEncoding(), list)}));
    }
    std::pair<std::string, QString> write(const std::vector<bool>& ticked) const override {
        const tune::Reordering r = tune::OnlyCodes(reordering, doc.entries, Taken(codes, ticked));
        tune::ReorderedTable written = tune::WriteReordered(doc, r);
        return {std::move(written.bytes),
                QStringLiteral("已调序 %1 个编码（改动 %2 行）。").arg(r.codesChanged).arg(written.linesChanged)};
    }
    QString summary() const override {
        QString status = QStringLiteral("建议调序 %1 个编码，移动 %2 个候选。")
                             .arg(reordering.codesChanged)
                             .arg(reordering.moves.size());
        if (!reordering.oddCodes.empty())
            status += QStringLiteral("含 a–z 以外字符的编码 %1 个，未动。").arg(reordering.oddCodes.size());
        return status;
    }
};

ReorderWindow::ReorderWindow(TForm1* form)
    : ProposalWindow(form, QStringLiteral("按词频调序"), QStringLiteral("Reorder"), QStringLiteral("正在调序……")) {
    only_ = new QComboBox(this);
    only_->setObjectName("ReorderOnly");
    only_->addItem(QStringLiteral("全部候选"), QStringLiteral("all"));
    only_->addItem(QStringLiteral("只排单字"), QStringLiteral("singles"));
    only_->addItem(QStringLiteral("只排词组"), QStringLiteral("phrases"));
    by_ = new QComboBox(this);
    by_->setObjectName("ReorderBy");
    by_->addItem(QStringLiteral("按击键（排前省键才算词频）"), QStringLiteral("use"));
    by_->addItem(QStringLiteral("按词频"), QStringLiteral("count"));
    by_->setItemData(0, QStringLiteral("一个词排到首选比它在别处最省的编码更省键时，才按词频排；否则当作词频表里没有"),
                     Qt::ToolTipRole);
    by_->setItemData(1, QStringLiteral("只看词频表的次数"), Qt::ToolTipRole);
    lay(QStringLiteral("每个编码的候选按词频从高到低排列；词频相同或词频表里没有的，保持原来的先后。"
                       "按击键：一个词排到首选若不比它在别处最省的编码省键（如有简码），它的词频不算。"),
        {only_, by_}, nullptr);
}

void ReorderWindow::setWorking(bool working) {
    ProposalWindow::setWorking(working);
    only_->setEnabled(!working);
    by_->setEnabled(!working);
}

void ReorderWindow::setOnly(const QString& only) { only_->setCurrentIndex(std::max(0, only_->findData(only))); }

void ReorderWindow::setBy(const QString& by) { by_->setCurrentIndex(std::max(0, by_->findData(by))); }

void ReorderWindow::propose() {
    auto p = std::make_shared<Reordering>();
    const std::string only = only_->currentData().toString().toStdString();
    const std::string by = by_->currentData().toString().toStdString();
    start(p, QStringLiteral("正在按词频调序……"), [p, only, by] {
        tune::ReorderOptions options;
        options.only = tune::ParseOnly(only);
        options.by = tune::ParseBy(by);
        options.textEncoding = p->doc.textEncoding();
        p->reordering = tune::Reorder(p->doc.entries, tune::WordCounts(p->list), options);
        const std::vector<formats::TableEntry> after = p->reordering.apply(p->doc.entries);
        const analysis::TableDiff d = analysis::CompareTables(p->doc.entries, after);
        Review review;
        for (const auto& r : d.reordered) {
            p->codes.push_back(r.code);
            review.rows << FromGb(r.code + ": " + Words(r.oldWords) + " -> " + Words(r.newWords));
        }
        p->before = FiguresOf(p->doc.entries, p->doc.textEncoding(), p->list);
        review.figures = QString::fromStdString(
            typing::RowsText({"old", "new"}, {p->before, FiguresOf(after, p->doc.textEncoding(), p->list)}));
        return review;
    });
}

}  // namespace zelmora::tools
