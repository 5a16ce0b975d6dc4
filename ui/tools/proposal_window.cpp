#include "ui/tools/proposal_window.h"

#include <QComboBox>
#include <QFile>
#include <QHBoxLayout>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QTimer>
#include <QVBoxLayout>

#include "core/failure.h"
#include "ui/form.h"
#include "ui/pane.h"
#include "ui/tools/proposal_view.h"

namespace zelmora::tools {

ProposalWindow::ProposalWindow(TForm1* form, const QString& title, const QString& name, const QString& applying)
    : ToolWindow(form, title), name_(name), applying_(applying) {
    setObjectName(name + "Window");
    lists_ = MakeFrequencyListChoice(this, name + "FrequencyList");
    refigureTimer_ = new QTimer(this);
    refigureTimer_->setSingleShot(true);
    refigureTimer_->setInterval(300);
}

void ProposalWindow::lay(const QString& intro, const std::vector<QWidget*>& beside, QLayout* options) {
    propose_ = new QPushButton(QStringLiteral("生成建议"), this);
    propose_->setObjectName(name_ + "Propose");
    apply_ = new QPushButton(QStringLiteral("采纳所选"), this);
    apply_->setObjectName(name_ + "Apply");
    apply_->setEnabled(false);
    view_ = new ProposalView(this);

    auto* listRow = new QHBoxLayout;
    listRow->addWidget(new QLabel(QStringLiteral("词频表："), this));
    listRow->addWidget(lists_, 1);
    for (QWidget* w : beside) listRow->addWidget(w);
    listRow->addWidget(propose_);
    listRow->addWidget(apply_);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(new QLabel(intro, this));
    layout->addLayout(listRow);
    if (options) layout->addLayout(options);
    layout->addWidget(progress_);
    layout->addWidget(status_);
    layout->addWidget(view_, 1);
    resize(1040, 600);

    connect(lists_, &QComboBox::activated, this, [this](int index) {
        if (index == lists_->count() - 1) ChooseFrequencyFile(this, lists_);
    });
    connect(propose_, &QPushButton::clicked, this, [this] { propose(); });
    connect(apply_, &QPushButton::clicked, this, &ProposalWindow::apply);
    connect(view_, &ProposalView::tickedChanged, this, [this] {
        apply_->setEnabled(!busy() && proposal_ && view_->tickedCount() > 0);
        // Ticks come in runs (a click each, 全选): the figures follow once they settle.
        if (proposal_) refigureTimer_->start();
    });
    connect(refigureTimer_, &QTimer::timeout, this, &ProposalWindow::refigure);
    connect(this, &ToolWindow::workFinished, this, [this] {
        if (figuresStale_ && proposal_) refigureTimer_->start();
    });
}

void ProposalWindow::setWorking(bool working) {
    propose_->setEnabled(!working);
    lists_->setEnabled(!working);
    apply_->setEnabled(!working && proposal_ && view_->tickedCount() > 0);
}

void ProposalWindow::setFrequencyList(const QString& nameOrPath) { SelectFrequencyList(lists_, nameOrPath); }

void ProposalWindow::start(const std::shared_ptr<Proposal>& p, const QString& busyText,
                           const std::function<Review()>& work) {
    p->bytes = sourceBytes();
    p->encoding = sourceEncoding();
    const QString list = lists_->currentData().toString();
    const std::string listName =
        list == "jieba" || list == "essay" ? list.toStdString() : QFile::encodeName(list).toStdString();
    refigureTimer_->stop();
    figuresStale_ = false;
    runWork(busyText, [this, p, listName, work]() -> std::function<void()> {
        p->doc = formats::ReadTable(p->bytes, p->encoding, formats::Format::Plain);
        if (p->doc.entries.empty()) throw Failure("原码表没有词条。");
        p->list = typing::LoadFrequencyList(listName);
        const Review review = work();
        return [this, p, review] { showProposal(p, review); };
    });
}

void ProposalWindow::refigure() {
    if (!proposal_) return;
    if (busy()) {
        figuresStale_ = true;
        return;
    }
    figuresStale_ = false;
    auto p = proposal_;
    const std::vector<bool> ticked = view_->ticked();
    runWork(QStringLiteral("正在重新评测所勾选的改动……"), [this, p, ticked]() -> std::function<void()> {
        const QString figures = p->figures(ticked);
        return [this, p, figures] {
            // A proposal made or applied meanwhile has figures of its own.
            if (proposal_ == p) view_->setFigures(figures);
        };
    });
}

void ProposalWindow::showProposal(std::shared_ptr<Proposal> p, const Review& review) {
    proposal_ = std::move(p);
    view_->setProposal(review.rows, review.figures);
    // The figures given are those of every change, all ticked now.
    refigureTimer_->stop();
    figuresStale_ = false;
    setStatus(proposal_->summary());
    apply_->setEnabled(view_->tickedCount() > 0);
}

void ProposalWindow::apply() {
    if (!proposal_) return;
    if (sourceBytes() != proposal_->bytes) {
        setStatus(QStringLiteral("原码表在生成建议后改过了，请重新生成建议。"));
        return;
    }
    refigureTimer_->stop();
    figuresStale_ = false;
    auto p = proposal_;
    const std::vector<bool> ticked = view_->ticked();
    const TextEncoding encoding = PaneTextEncoding(*form_->RichEdit1);
    runWork(applying_, [this, p, ticked, encoding]() -> std::function<void()> {
        auto written = std::make_shared<std::pair<std::string, QString>>(p->write(ticked));
        return [this, written, encoding] {
            // The pane's change handler updates its line count.
            WritePaneText(*form_->RichEdit1, written->first, encoding);
            proposal_.reset();
            view_->clear();
            setStatus(written->second);
        };
    });
}

}  // namespace zelmora::tools
