#include "ui/tools/shortcode_window.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QSpinBox>
#include <QTimer>
#include <QVBoxLayout>
#include <algorithm>
#include <initializer_list>
#include <tuple>
#include <utility>

#include "core/failure.h"
#include "typing/report.h"
#include "typing/score.h"
#include "ui/form.h"
#include "ui/pane.h"
#include "ui/tools/proposal_view.h"

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

ShortCodeWindow::ShortCodeWindow(TForm1* form) : ToolWindow(form, QStringLiteral("简码优化")) {
    setObjectName("ShortCodeWindow");
    lists_ = new QComboBox(this);
    lists_->setObjectName("ShortCodeFrequencyList");
    lists_->addItem(QStringLiteral("jieba 词频（python3-jieba）"), QStringLiteral("jieba"));
    lists_->addItem(QStringLiteral("essay 词频（rime-essay）"), QStringLiteral("essay"));
    lists_->addItem(QStringLiteral("选择文件..."));
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
    propose_ = new QPushButton(QStringLiteral("生成建议"), this);
    propose_->setObjectName("ShortCodePropose");
    apply_ = new QPushButton(QStringLiteral("采纳所选"), this);
    apply_->setObjectName("ShortCodeApply");
    apply_->setEnabled(false);
    view_ = new ProposalView(this);
    refigureTimer_ = new QTimer(this);
    refigureTimer_->setSingleShot(true);
    refigureTimer_->setInterval(300);

    auto* listRow = new QHBoxLayout;
    listRow->addWidget(new QLabel(QStringLiteral("词频表："), this));
    listRow->addWidget(lists_, 1);
    listRow->addWidget(propose_);
    listRow->addWidget(apply_);
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
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(new QLabel(
        QStringLiteral("简码只给全码以它开头的字（或词组），按词频加权省下的键数最多者得；全码不变。"), this));
    layout->addLayout(listRow);
    layout->addLayout(options);
    layout->addWidget(progress_);
    layout->addWidget(status_);
    layout->addWidget(view_, 1);
    resize(1040, 600);

    connect(lists_, &QComboBox::activated, this, [this](int index) {
        if (index == lists_->count() - 1) chooseFile();
    });
    connect(propose_, &QPushButton::clicked, this, &ShortCodeWindow::propose);
    connect(apply_, &QPushButton::clicked, this, &ShortCodeWindow::apply);
    connect(view_, &ProposalView::tickedChanged, this, [this] {
        apply_->setEnabled(!busy() && proposal_ && view_->tickedCount() > 0);
        // Ticks come in runs (a click each, 全选): the figures follow once they settle.
        if (proposal_) refigureTimer_->start();
    });
    connect(refigureTimer_, &QTimer::timeout, this, &ShortCodeWindow::refigure);
    connect(this, &ToolWindow::workFinished, this, [this] {
        if (figuresStale_ && proposal_) refigureTimer_->start();
    });
}

void ShortCodeWindow::setWorking(bool working) {
    for (QWidget* w : std::initializer_list<QWidget*>{propose_, lists_, method_, words_, perCode_, levels_[0],
                                                      levels_[1], levels_[2]})
        w->setEnabled(!working);
    apply_->setEnabled(!working && proposal_ && view_->tickedCount() > 0);
}

void ShortCodeWindow::setFrequencyList(const QString& nameOrPath) {
    int index = lists_->findData(nameOrPath);
    if (index < 0) {
        // A file of its own goes before "选择文件...".
        index = lists_->count() - 1;
        lists_->insertItem(index, QFileInfo(nameOrPath).fileName(), nameOrPath);
        lists_->setItemData(index, nameOrPath, Qt::ToolTipRole);
    }
    lists_->setCurrentIndex(index);
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

void ShortCodeWindow::chooseFile() {
    const QString path = QFileDialog::getOpenFileName(this, QStringLiteral("选择词频表（每行：词 次数）"), QString(),
                                                      QStringLiteral("词频表 (*.txt);;所有文件 (*)"));
    if (path.isEmpty()) {
        lists_->setCurrentIndex(0);
        return;
    }
    setFrequencyList(path);
}

void ShortCodeWindow::propose() {
    auto p = std::make_shared<Proposal>();
    p->bytes = sourceBytes();
    p->encoding = sourceEncoding();
    const QString list = lists_->currentData().toString();
    const std::string listName =
        list == "jieba" || list == "essay" ? list.toStdString() : QFile::encodeName(list).toStdString();
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
    refigureTimer_->stop();
    figuresStale_ = false;
    runWork(QStringLiteral("正在分配简码……"), [this, p, listName, options]() -> std::function<void()> {
        p->doc = formats::ReadTable(p->bytes, p->encoding, formats::Format::Plain);
        if (p->doc.entries.empty()) throw Failure("原码表没有词条。");
        p->list = typing::LoadFrequencyList(listName);
        p->proposal = tune::ProposeShortCodes(p->doc.entries, p->doc.textEncoding(), p->list, options);
        QStringList rows;
        for (const tune::ShortCodeChange& c : p->proposal.changes) rows << ChangeLine(c);
        std::tie(p->characters, p->typed) = FiguresOf(p->doc.entries, p->doc.textEncoding(), p->list);
        const QString figures =
            FiguresText(p->characters, p->typed, FiguresOf(p->proposal.entries, p->doc.textEncoding(), p->list));
        return [this, p, rows, figures] { show(p, rows, figures); };
    });
}

void ShortCodeWindow::refigure() {
    if (!proposal_) return;
    if (busy()) {
        figuresStale_ = true;
        return;
    }
    figuresStale_ = false;
    std::vector<tune::ShortCodeChange> taken;
    const std::vector<bool> ticked = view_->ticked();
    for (std::size_t i = 0; i < ticked.size(); ++i)
        if (ticked[i]) taken.push_back(proposal_->proposal.changes[i]);
    auto p = proposal_;
    runWork(QStringLiteral("正在重新评测所勾选的改动……"), [this, p, taken]() -> std::function<void()> {
        const QString figures =
            FiguresText(p->characters, p->typed,
                        FiguresOf(tune::ApplyShortCodeChanges(p->doc.entries, taken), p->doc.textEncoding(), p->list));
        return [this, p, figures] {
            // A proposal made or applied meanwhile has figures of its own.
            if (proposal_ == p) view_->setFigures(figures);
        };
    });
}

void ShortCodeWindow::show(std::shared_ptr<Proposal> p, const QStringList& rows, const QString& figures) {
    proposal_ = std::move(p);
    view_->setProposal(rows, figures);
    // The figures given are those of every change, all ticked now.
    refigureTimer_->stop();
    figuresStale_ = false;
    std::size_t added = 0;
    for (const tune::ShortCodeChange& c : proposal_->proposal.changes)
        added += c.kind == tune::ShortCodeChange::Kind::Added;
    QString status = QStringLiteral("建议新增 %1 个简码，去掉 %2 个；加权省键：原 %3，新 %4。")
                         .arg(added)
                         .arg(proposal_->proposal.changes.size() - added)
                         .arg(proposal_->proposal.oldSaving)
                         .arg(proposal_->proposal.saving);
    if (!proposal_->proposal.skipped.empty())
        status += QStringLiteral("略过 %1 处。").arg(proposal_->proposal.skipped.size());
    setStatus(status);
    apply_->setEnabled(view_->tickedCount() > 0);
}

void ShortCodeWindow::apply() {
    if (!proposal_) return;
    if (sourceBytes() != proposal_->bytes) {
        setStatus(QStringLiteral("原码表在生成建议后改过了，请重新生成建议。"));
        return;
    }
    refigureTimer_->stop();
    figuresStale_ = false;
    std::vector<tune::ShortCodeChange> taken;
    const std::vector<bool> ticked = view_->ticked();
    for (std::size_t i = 0; i < ticked.size(); ++i)
        if (ticked[i]) taken.push_back(proposal_->proposal.changes[i]);
    auto p = proposal_;
    const TextEncoding encoding = PaneTextEncoding(*form_->RichEdit1);
    runWork(QStringLiteral("正在写入简码……"), [this, p, taken, encoding]() -> std::function<void()> {
        auto written = std::make_shared<std::string>(
            tune::WriteWithCandidates(p->doc, tune::ApplyShortCodeChanges(p->doc.entries, taken)));
        const std::size_t count = taken.size();
        return [this, written, count, encoding] {
            // The pane's change handler updates its line count.
            WritePaneText(*form_->RichEdit1, *written, encoding);
            proposal_.reset();
            view_->clear();
            setStatus(QStringLiteral("已采纳 %1 处改动。").arg(count));
        };
    });
}

}  // namespace zelmora::tools
