#include "ui/tools/proposal_view.h"

#include <QFontDatabase>
#include <QHBoxLayout>
#include <QLabel>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSplitter>
#include <QVBoxLayout>

namespace zelmora::tools {

ProposalView::ProposalView(QWidget* parent) : QWidget(parent) {
    setObjectName("ProposalView");
    list_ = new QListWidget(this);
    list_->setObjectName("ProposalChanges");
    list_->setUniformItemSizes(true);
    figures_ = new QPlainTextEdit(this);
    figures_->setObjectName("ProposalFigures");
    figures_->setReadOnly(true);
    figures_->setLineWrapMode(QPlainTextEdit::NoWrap);
    // The figures are columns of text: a fixed-width font keeps them aligned.
    figures_->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    all_ = new QPushButton(QStringLiteral("全选"), this);
    all_->setObjectName("ProposalTickAll");
    none_ = new QPushButton(QStringLiteral("全不选"), this);
    none_->setObjectName("ProposalTickNone");

    auto* left = new QWidget(this);
    auto* leftLayout = new QVBoxLayout(left);
    leftLayout->setContentsMargins(0, 0, 0, 0);
    leftLayout->addWidget(new QLabel(QStringLiteral("建议的改动（勾选要采纳的）："), left));
    leftLayout->addWidget(list_, 1);
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(all_);
    buttons->addWidget(none_);
    buttons->addStretch();
    leftLayout->addLayout(buttons);
    auto* right = new QWidget(this);
    auto* rightLayout = new QVBoxLayout(right);
    rightLayout->setContentsMargins(0, 0, 0, 0);
    rightLayout->addWidget(new QLabel(QStringLiteral("评测（改动前、采纳所勾选的改动后）："), right));
    rightLayout->addWidget(figures_, 1);
    auto* split = new QSplitter(this);
    split->addWidget(left);
    split->addWidget(right);
    // The figures' rows are long labels and three columns: they take the wider share.
    split->setStretchFactor(0, 2);
    split->setStretchFactor(1, 3);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(split);

    connect(list_, &QListWidget::itemChanged, this, [this] { emit tickedChanged(); });
    connect(all_, &QPushButton::clicked, this, [this] { setAllTicked(true); });
    connect(none_, &QPushButton::clicked, this, [this] { setAllTicked(false); });
}

void ProposalView::setProposal(const QStringList& changes, const QString& figures) {
    const QSignalBlocker block(list_);
    list_->clear();
    for (const QString& c : changes) {
        auto* item = new QListWidgetItem(c, list_);
        item->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsUserCheckable);
        item->setCheckState(Qt::Checked);
    }
    figures_->setPlainText(figures);
    emit tickedChanged();
}

int ProposalView::count() const { return list_->count(); }

std::vector<bool> ProposalView::ticked() const {
    std::vector<bool> out;
    out.reserve(static_cast<std::size_t>(list_->count()));
    for (int i = 0; i < list_->count(); ++i) out.push_back(list_->item(i)->checkState() == Qt::Checked);
    return out;
}

int ProposalView::tickedCount() const {
    int n = 0;
    for (int i = 0; i < list_->count(); ++i) n += list_->item(i)->checkState() == Qt::Checked;
    return n;
}

void ProposalView::setTicked(int row, bool on) { list_->item(row)->setCheckState(on ? Qt::Checked : Qt::Unchecked); }

void ProposalView::setAllTicked(bool on) {
    {
        const QSignalBlocker block(list_);
        for (int i = 0; i < list_->count(); ++i) list_->item(i)->setCheckState(on ? Qt::Checked : Qt::Unchecked);
    }
    emit tickedChanged();
}

QString ProposalView::figuresText() const { return figures_->toPlainText(); }

void ProposalView::setFigures(const QString& figures) { figures_->setPlainText(figures); }

}  // namespace zelmora::tools
