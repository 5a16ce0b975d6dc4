#include "ui/tools/reorder_window.h"

#include <QComboBox>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QTimer>
#include <QVBoxLayout>

#include "analysis/diff.h"
#include "core/failure.h"
#include "tune/frequency.h"
#include "typing/report.h"
#include "typing/score.h"
#include "ui/form.h"
#include "ui/pane.h"
#include "ui/tools/proposal_view.h"

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

ReorderWindow::ReorderWindow(TForm1* form) : ToolWindow(form, QStringLiteral("按词频调序")) {
    setObjectName("ReorderWindow");
    lists_ = new QComboBox(this);
    lists_->setObjectName("ReorderFrequencyList");
    lists_->addItem(QStringLiteral("jieba 词频（python3-jieba）"), QStringLiteral("jieba"));
    lists_->addItem(QStringLiteral("essay 词频（rime-essay）"), QStringLiteral("essay"));
    lists_->addItem(QStringLiteral("选择文件..."));
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
    refigureTimer_ = new QTimer(this);
    refigureTimer_->setSingleShot(true);
    refigureTimer_->setInterval(300);
    propose_ = new QPushButton(QStringLiteral("生成建议"), this);
    propose_->setObjectName("ReorderPropose");
    apply_ = new QPushButton(QStringLiteral("采纳所选"), this);
    apply_->setObjectName("ReorderApply");
    apply_->setEnabled(false);
    view_ = new ProposalView(this);

    auto* controls = new QHBoxLayout;
    controls->addWidget(new QLabel(QStringLiteral("词频表："), this));
    controls->addWidget(lists_, 1);
    controls->addWidget(only_);
    controls->addWidget(by_);
    controls->addWidget(propose_);
    controls->addWidget(apply_);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(
        new QLabel(QStringLiteral("每个编码的候选按词频从高到低排列；词频相同或词频表里没有的，保持原来的先后。"
                                  "按击键：一个词排到首选若不比它在别处最省的编码省键（如有简码），它的词频不算。"),
                   this));
    layout->addLayout(controls);
    layout->addWidget(progress_);
    layout->addWidget(status_);
    layout->addWidget(view_, 1);
    resize(1040, 600);

    connect(lists_, &QComboBox::activated, this, [this](int index) {
        if (index == lists_->count() - 1) chooseFile();
    });
    connect(propose_, &QPushButton::clicked, this, &ReorderWindow::propose);
    connect(apply_, &QPushButton::clicked, this, &ReorderWindow::apply);
    connect(view_, &ProposalView::tickedChanged, this, [this] {
        apply_->setEnabled(!busy() && proposal_ && view_->tickedCount() > 0);
        // Ticks come in runs (a click each, 全选): the figures follow once they settle.
        if (proposal_) refigureTimer_->start();
    });
    connect(refigureTimer_, &QTimer::timeout, this, &ReorderWindow::refigure);
    connect(this, &ToolWindow::workFinished, this, [this] {
        if (figuresStale_ && proposal_) refigureTimer_->start();
    });
}

void ReorderWindow::setWorking(bool working) {
    propose_->setEnabled(!working);
    lists_->setEnabled(!working);
    only_->setEnabled(!working);
    by_->setEnabled(!working);
    apply_->setEnabled(!working && proposal_ && view_->tickedCount() > 0);
}

void ReorderWindow::setFrequencyList(const QString& nameOrPath) {
    int index = lists_->findData(nameOrPath);
    if (index < 0) {
        // A file of its own goes before "选择文件...".
        index = lists_->count() - 1;
        lists_->insertItem(index, QFileInfo(nameOrPath).fileName(), nameOrPath);
        lists_->setItemData(index, nameOrPath, Qt::ToolTipRole);
    }
    lists_->setCurrentIndex(index);
}

void ReorderWindow::setOnly(const QString& only) { only_->setCurrentIndex(std::max(0, only_->findData(only))); }

void ReorderWindow::setBy(const QString& by) { by_->setCurrentIndex(std::max(0, by_->findData(by))); }

void ReorderWindow::chooseFile() {
    const QString path = QFileDialog::getOpenFileName(this, QStringLiteral("选择词频表（每行：词 次数）"), QString(),
                                                      QStringLiteral("词频表 (*.txt);;所有文件 (*)"));
    if (path.isEmpty()) {
        lists_->setCurrentIndex(0);
        return;
    }
    setFrequencyList(path);
}

void ReorderWindow::propose() {
    auto p = std::make_shared<Proposal>();
    p->bytes = sourceBytes();
    p->encoding = sourceEncoding();
    const QString list = lists_->currentData().toString();
    const std::string listName =
        list == "jieba" || list == "essay" ? list.toStdString() : QFile::encodeName(list).toStdString();
    const std::string only = only_->currentData().toString().toStdString();
    const std::string by = by_->currentData().toString().toStdString();
    refigureTimer_->stop();
    figuresStale_ = false;
    runWork(QStringLiteral("正在按词频调序……"), [this, p, listName, only, by]() -> std::function<void()> {
        p->doc = formats::ReadTable(p->bytes, p->encoding, formats::Format::Plain);
        if (p->doc.entries.empty()) throw Failure("原码表没有词条。");
        p->list = typing::LoadFrequencyList(listName);
        tune::ReorderOptions options;
        options.only = tune::ParseOnly(only);
        options.by = tune::ParseBy(by);
        options.textEncoding = p->doc.textEncoding();
        p->reordering = tune::Reorder(p->doc.entries, tune::WordCounts(p->list), options);
        const std::vector<formats::TableEntry> after = p->reordering.apply(p->doc.entries);
        const analysis::TableDiff d = analysis::CompareTables(p->doc.entries, after);
        QStringList rows;
        for (const auto& r : d.reordered) {
            p->codes.push_back(r.code);
            rows << FromGb(r.code + ": " + Words(r.oldWords) + " -> " + Words(r.newWords));
        }
        p->before = FiguresOf(p->doc.entries, p->doc.textEncoding(), p->list);
        const QString figures = QString::fromStdString(
            typing::RowsText({"old", "new"}, {p->before, FiguresOf(after, p->doc.textEncoding(), p->list)}));
        return [this, p, rows, figures] { show(p, rows, figures); };
    });
}

void ReorderWindow::refigure() {
    if (!proposal_) return;
    if (busy()) {
        figuresStale_ = true;
        return;
    }
    figuresStale_ = false;
    std::vector<std::string> taken;
    const std::vector<bool> ticked = view_->ticked();
    for (std::size_t i = 0; i < ticked.size(); ++i)
        if (ticked[i]) taken.push_back(proposal_->codes[i]);
    auto p = proposal_;
    runWork(QStringLiteral("正在重新评测所勾选的改动……"), [this, p, taken]() -> std::function<void()> {
        const tune::Reordering r = tune::OnlyCodes(p->reordering, p->doc.entries, taken);
        const QString figures = QString::fromStdString(typing::RowsText(
            {"old", "new"}, {p->before, FiguresOf(r.apply(p->doc.entries), p->doc.textEncoding(), p->list)}));
        return [this, p, figures] {
            // A proposal made or applied meanwhile has figures of its own.
            if (proposal_ == p) view_->setFigures(figures);
        };
    });
}

void ReorderWindow::show(std::shared_ptr<Proposal> p, const QStringList& rows, const QString& figures) {
    proposal_ = std::move(p);
    view_->setProposal(rows, figures);
    // The figures given are those of every change, all ticked now.
    refigureTimer_->stop();
    figuresStale_ = false;
    QString status = QStringLiteral("建议调序 %1 个编码，移动 %2 个候选。")
                         .arg(proposal_->reordering.codesChanged)
                         .arg(proposal_->reordering.moves.size());
    if (!proposal_->reordering.oddCodes.empty())
        status += QStringLiteral("含 a–z 以外字符的编码 %1 个，未动。").arg(proposal_->reordering.oddCodes.size());
    setStatus(status);
    apply_->setEnabled(view_->tickedCount() > 0);
}

void ReorderWindow::apply() {
    if (!proposal_) return;
    if (sourceBytes() != proposal_->bytes) {
        setStatus(QStringLiteral("原码表在生成建议后改过了，请重新生成建议。"));
        return;
    }
    refigureTimer_->stop();
    figuresStale_ = false;
    std::vector<std::string> taken;
    const std::vector<bool> ticked = view_->ticked();
    for (std::size_t i = 0; i < ticked.size(); ++i)
        if (ticked[i]) taken.push_back(proposal_->codes[i]);
    auto p = proposal_;
    const TextEncoding encoding = PaneTextEncoding(*form_->RichEdit1);
    runWork(QStringLiteral("正在调序……"), [this, p, taken, encoding]() -> std::function<void()> {
        const tune::Reordering r = tune::OnlyCodes(p->reordering, p->doc.entries, taken);
        auto written = std::make_shared<tune::ReorderedTable>(tune::WriteReordered(p->doc, r));
        const std::size_t codes = r.codesChanged;
        return [this, written, codes, encoding] {
            // The pane's change handler updates its line count.
            WritePaneText(*form_->RichEdit1, written->bytes, encoding);
            proposal_.reset();
            view_->clear();
            setStatus(QStringLiteral("已调序 %1 个编码（改动 %2 行）。").arg(codes).arg(written->linesChanged));
        };
    });
}

}  // namespace zelmora::tools
