#include "ui/tools/diff_window.h"

#include <QFileDialog>
#include <QHBoxLayout>
#include <QLabel>
#include <QListView>
#include <QProgressBar>
#include <QPushButton>
#include <QTabWidget>
#include <QVBoxLayout>

#include <optional>

#include "formats/document.h"
#include "formats/encoding.h"
#include "formats/files.h"
#include "ui/form.h"

namespace zelmora::tools {

namespace {

const char* const kListNames[] = {"新增", "删除", "移动", "调序", "权重"};

std::string Words(const std::vector<std::string>& words) {
    std::string s;
    for (const auto& w : words) s += (s.empty() ? "" : " ") + w;
    return s;
}

// Line `row` of list `kind`, GB18030.
std::string Line(const analysis::TableDiff& d, int kind, std::size_t row) {
    switch (kind) {
        case 0:
            return d.added[row].code + " " + d.added[row].word;
        case 1:
            return d.removed[row].code + " " + d.removed[row].word;
        case 2:
            return d.moved[row].word + " " + d.moved[row].oldCode + " -> " + d.moved[row].newCode;
        case 3:
            return d.reordered[row].code + ": " + Words(d.reordered[row].oldWords) + " -> " +
                   Words(d.reordered[row].newWords);
        default:
            return d.reweighted[row].code + " " + d.reweighted[row].word + " " + d.reweighted[row].oldWeight + " -> " +
                   d.reweighted[row].newWeight;
    }
}

std::size_t Count(const analysis::TableDiff& d, int kind) {
    switch (kind) {
        case 0:
            return d.added.size();
        case 1:
            return d.removed.size();
        case 2:
            return d.moved.size();
        case 3:
            return d.reordered.size();
        default:
            return d.reweighted.size();
    }
}

// The old table's entry that row `row` of list `kind` stands for; nothing
// for an added entry, which only the new table holds.
std::optional<std::size_t> OldEntry(const analysis::TableDiff& d, int kind, std::size_t row) {
    switch (kind) {
        case 0:
            return std::nullopt;
        case 1:
            return d.removed[row].entry;
        case 2:
            return d.moved[row].oldEntry;
        case 3:
            return d.reordered[row].oldEntry;
        default:
            return d.reweighted[row].oldEntry;
    }
}

}  // namespace

DiffWindow::DiffWindow(TForm1* form) : ToolWindow(form, QStringLiteral("比较码表")) {
    setObjectName("DiffWindow");
    tabs_ = new QTabWidget(this);
    tabs_->setObjectName("DiffLists");
    for (int k = 0; k < kLists; ++k) {
        views_[k] = new QListView(tabs_);
        views_[k]->setUniformItemSizes(true);
        views_[k]->setEditTriggers(QAbstractItemView::NoEditTriggers);
        views_[k]->setSelectionMode(QAbstractItemView::ExtendedSelection);
        models_[k] = new LinesModel(views_[k]);
        views_[k]->setModel(models_[k]);
        tabs_->addTab(views_[k], QString::fromUtf8(kListNames[k]));
        connect(views_[k], &QListView::doubleClicked, this, [this, k](const QModelIndex& i) { showEntry(k, i.row()); });
    }
    choose_ = new QPushButton(QStringLiteral("选择文件..."), this);
    copy_ = new QPushButton(QStringLiteral("复制此列表"), this);
    copy_->setEnabled(false);
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(choose_);
    buttons->addWidget(copy_);
    buttons->addStretch();
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(new QLabel(
        QStringLiteral("以原码表为旧表，与所选文件（任何格式、编码）比较。双击一条，即在原码表中选中该行。"), this));
    layout->addLayout(buttons);
    layout->addWidget(progress_);
    layout->addWidget(status_);
    layout->addWidget(tabs_, 1);
    resize(600, 460);

    connect(choose_, &QPushButton::clicked, this, &DiffWindow::chooseFile);
    connect(copy_, &QPushButton::clicked, this, [this] { CopyText(listText(tabs_->currentIndex())); });
}

void DiffWindow::setWorking(bool working) {
    choose_->setEnabled(!working);
    copy_->setEnabled(!working && diff_);
}

void DiffWindow::chooseFile() {
    const QString path = QFileDialog::getOpenFileName(this, QStringLiteral("选择要比较的码表"), QString(),
                                                      QStringLiteral("码表 (*.txt *.yaml *.dict.yaml);;所有文件 (*)"));
    if (!path.isEmpty()) compareWith(path);
}

void DiffWindow::compareWith(const QString& path) {
    std::string bytes = sourceBytes();
    const formats::Encoding encoding = sourceEncoding();
    const std::string file = path.toStdString();
    runWork(QStringLiteral("正在比较……"),
            [this, bytes = std::move(bytes), encoding, file, path]() -> std::function<void()> {
                formats::TableDocument source = formats::ReadTable(bytes, encoding, formats::Format::Plain);
                formats::TableDocument other = formats::ReadTable(ReadInput(file));
                auto d = std::make_shared<analysis::TableDiff>(analysis::CompareTables(source.entries, other.entries));
                auto lines = std::make_shared<std::vector<std::uint32_t>>(LinesOfEntries(source));
                return [this, d, lines, path] { showDiff(d, lines, path); };
            });
}

void DiffWindow::showDiff(std::shared_ptr<analysis::TableDiff> d, std::shared_ptr<std::vector<std::uint32_t>> lines,
                          const QString& path) {
    diff_ = std::move(d);
    lineOfOld_ = std::move(lines);
    for (int k = 0; k < kLists; ++k) {
        const std::size_t n = Count(*diff_, k);
        tabs_->setTabText(k, QStringLiteral("%1（%2）").arg(QString::fromUtf8(kListNames[k])).arg(n));
        models_[k]->reset(static_cast<int>(n),
                          [this, k](int row) { return FromGb(Line(*diff_, k, static_cast<std::size_t>(row))); });
    }
    QString summary = QStringLiteral("原码表 %1 条，%2 %3 条：新增 %4，删除 %5，移动 %6，调序 %7，权重 %8。")
                          .arg(diff_->oldEntries)
                          .arg(path)
                          .arg(diff_->newEntries)
                          .arg(diff_->added.size())
                          .arg(diff_->removed.size())
                          .arg(diff_->moved.size())
                          .arg(diff_->reordered.size())
                          .arg(diff_->reweighted.size());
    if (diff_->identical)
        summary += QStringLiteral("两表相同。");
    else if (diff_->sameEntries())
        summary += QStringLiteral("条目相同，编码的先后不同。");
    summary_ = summary;
    setStatus(summary);
    copy_->setEnabled(true);
}

QString DiffWindow::listText(int kind) const {
    if (!diff_ || kind < 0 || kind >= kLists) return {};
    // One conversion for the whole list.
    std::string text;
    for (std::size_t i = 0, n = Count(*diff_, kind); i < n; ++i) text += Line(*diff_, kind, i) + "\n";
    return FromGb(text);
}

void DiffWindow::showEntry(int kind, int row) {
    if (!diff_ || kind < 0 || kind >= kLists || row < 0 || static_cast<std::size_t>(row) >= Count(*diff_, kind)) return;
    const std::optional<std::size_t> entry = OldEntry(*diff_, kind, static_cast<std::size_t>(row));
    if (!entry) {
        setStatus(summary_ + QStringLiteral("\n“%1”只在所选文件中，原码表中没有。")
                                 .arg(FromGb(Line(*diff_, kind, static_cast<std::size_t>(row)))));
        return;
    }
    form_->PageControl1->setCurrentWidget(form_->TabSheet1);
    if (SelectPaneLine(*form_->RichEdit1, (*lineOfOld_)[*entry])) {
        form_->raise();
        form_->activateWindow();
        form_->RichEdit1->setFocus();
    }
}

}  // namespace zelmora::tools
