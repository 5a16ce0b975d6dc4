#include "ui/tools/reorder_window.h"

#include <QComboBox>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
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

// Both tables' figures on the list, side by side with the difference.
std::string Figures(const formats::TableDocument& before, const std::vector<formats::TableEntry>& after,
                    const typing::FrequencyList& list) {
    const typing::TypingOptions options;
    const typing::TypingTable a(before.entries, before.textEncoding(), options),
        b(after, before.textEncoding(), options);
    const typing::Figures fa = typing::ScoreFrequencies(a, list, typing::Segmentation::Greedy),
                          fb = typing::ScoreFrequencies(b, list, typing::Segmentation::Greedy);
    return typing::RowsText({"old", "new"}, {typing::FigureRows(fa), typing::FigureRows(fb)});
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
    controls->addWidget(propose_);
    controls->addWidget(apply_);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(new QLabel(
        QStringLiteral("每个编码的候选按词频从高到低排列；词频相同或词频表里没有的，保持原来的先后。"), this));
    layout->addLayout(controls);
    layout->addWidget(progress_);
    layout->addWidget(status_);
    layout->addWidget(view_, 1);
    resize(820, 520);

    connect(lists_, &QComboBox::activated, this, [this](int index) {
        if (index == lists_->count() - 1) chooseFile();
    });
    connect(propose_, &QPushButton::clicked, this, &ReorderWindow::propose);
    connect(apply_, &QPushButton::clicked, this, &ReorderWindow::apply);
    connect(view_, &ProposalView::tickedChanged, this,
            [this] { apply_->setEnabled(!busy() && proposal_ && view_->tickedCount() > 0); });
}

void ReorderWindow::setWorking(bool working) {
    propose_->setEnabled(!working);
    lists_->setEnabled(!working);
    only_->setEnabled(!working);
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
    runWork(QStringLiteral("正在按词频调序……"), [this, p, listName, only]() -> std::function<void()> {
        p->doc = formats::ReadTable(p->bytes, p->encoding, formats::Format::Plain);
        if (p->doc.entries.empty()) throw Failure("原码表没有词条。");
        const typing::FrequencyList words = typing::LoadFrequencyList(listName);
        tune::ReorderOptions options;
        options.only = tune::ParseOnly(only);
        options.textEncoding = p->doc.textEncoding();
        p->reordering = tune::Reorder(p->doc.entries, tune::WordCounts(words), options);
        const std::vector<formats::TableEntry> after = p->reordering.apply(p->doc.entries);
        const analysis::TableDiff d = analysis::CompareTables(p->doc.entries, after);
        QStringList rows;
        for (const auto& r : d.reordered) {
            p->codes.push_back(r.code);
            rows << FromGb(r.code + ": " + Words(r.oldWords) + " -> " + Words(r.newWords));
        }
        const QString figures = QString::fromStdString(Figures(p->doc, after, words));
        return [this, p, rows, figures] { show(p, rows, figures); };
    });
}

void ReorderWindow::show(std::shared_ptr<Proposal> p, const QStringList& rows, const QString& figures) {
    proposal_ = std::move(p);
    view_->setProposal(rows, figures);
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
