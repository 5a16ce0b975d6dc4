#include "ui/tools/check_window.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QListView>
#include <QProgressBar>
#include <QPushButton>
#include <QTabWidget>
#include <QVBoxLayout>

#include <algorithm>
#include <memory>

#include "formats/checking.h"
#include "ui/form.h"
#include "ui/tools/check_findings.h"
#include "wubi/phrase_check.h"
#include "wubi/variant_check.h"

namespace zelmora::tools {

namespace {

QListView* LinesView(QWidget* parent, const char* name, LinesModel*& model) {
    auto* view = new QListView(parent);
    view->setObjectName(name);
    view->setUniformItemSizes(true);  // a million rows without measuring each
    view->setEditTriggers(QAbstractItemView::NoEditTriggers);
    model = new LinesModel(view);
    view->setModel(model);
    return view;
}

struct Outcome {
    std::vector<CheckWindow::Finding> findings, unchecked;
    QString summary;
};

}  // namespace

CheckWindow::CheckWindow(TForm1* form) : ToolWindow(form, QStringLiteral("检查码表")) {
    setObjectName("CheckWindow");
    tabs_ = new QTabWidget(this);
    tabs_->setObjectName("CheckLists");
    list_ = LinesView(tabs_, "CheckFindings", model_);
    uncheckedList_ = LinesView(tabs_, "CheckUnchecked", uncheckedModel_);
    tabs_->addTab(list_, QStringLiteral("可疑之处"));
    tabs_->addTab(uncheckedList_, QStringLiteral("无法核对的词组"));
    again_ = new QPushButton(QStringLiteral("重新检查"), this);
    copy_ = new QPushButton(QStringLiteral("复制此列表"), this);
    auto* hint = new QLabel(QStringLiteral("双击一行，即在原码表中选中该行。"), this);

    auto* buttons = new QHBoxLayout;
    buttons->addWidget(again_);
    buttons->addWidget(copy_);
    buttons->addStretch();
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(status_);
    layout->addWidget(progress_);
    layout->addWidget(hint);
    layout->addWidget(tabs_, 1);
    layout->addLayout(buttons);
    resize(640, 420);

    connect(again_, &QPushButton::clicked, this, &CheckWindow::check);
    connect(copy_, &QPushButton::clicked, this,
            [this] { CopyText((tabs_->currentIndex() == 0 ? model_ : uncheckedModel_)->allText()); });
    connect(list_, &QListView::doubleClicked, this, [this](const QModelIndex& i) { showFinding(i.row()); });
    connect(uncheckedList_, &QListView::doubleClicked, this, [this](const QModelIndex& i) { showUnchecked(i.row()); });
}

void CheckWindow::setWorking(bool working) {
    again_->setEnabled(!working);
    copy_->setEnabled(!working);
}

void CheckWindow::check() {
    std::string bytes = sourceBytes();
    const formats::Encoding encoding = sourceEncoding();
    runWork(QStringLiteral("正在检查……"), [this, bytes = std::move(bytes), encoding]() -> std::function<void()> {
        // The source pane holds group lines, GBK or GB18030.
        formats::TableDocument doc = formats::ReadTable(bytes, encoding, formats::Format::Plain);
        PhraseFindings phrases(MakePhraseCodeCheck(nullptr), doc.entries.data());
        VariantFindings variants(VariantKinds{}, doc.entries.data());
        formats::EntryChecks more({&phrases, &variants});
        const std::vector<formats::TableProblem> found = formats::CheckTable(doc, &more);
        const std::vector<std::uint32_t> lines = LinesOfEntries(doc);
        auto out = std::make_shared<Outcome>();
        // The table check's findings, the wrong phrase codes and the variant
        // check's, in line order; on one line in that order, as the command
        // line gives them.
        struct Placed {
            std::size_t line;
            int source;
            QString text;
        };
        std::vector<Placed> placed;
        placed.reserve(found.size() + phrases.wrong().size() + variants.found().size());
        for (const auto& f : found) placed.push_back({f.line, 0, ChineseFinding(f.message)});
        for (const auto& w : phrases.wrong())
            placed.push_back(
                {lines[w.entry], 1, WrongPhraseText(doc.entries[w.entry], w.verdict, phrases.wubiRules())});
        for (const auto& v : variants.found()) placed.push_back({lines[v.entry], 2, VariantFindingText(v.finding)});
        std::stable_sort(placed.begin(), placed.end(), [](const Placed& a, const Placed& b) {
            return a.line != b.line ? a.line < b.line : a.source < b.source;
        });
        out->findings.reserve(placed.size());
        for (auto& p : placed) out->findings.push_back({p.line, std::move(p.text)});
        for (const auto& u : phrases.unchecked())
            out->unchecked.push_back({lines[u.entry], UncheckedPhraseText(doc.entries[u.entry], u.verdict)});
        out->summary = QStringLiteral("共 %1 条，可疑之处 %2 处。词组 %3 个，编码不合%4 %5 个，无法核对 %6 个。")
                           .arg(doc.entries.size())
                           .arg(out->findings.size())
                           .arg(phrases.phrases())
                           .arg(phrases.wubiRules() ? QStringLiteral("五笔86规则") : QStringLiteral("码表的构词规则"))
                           .arg(phrases.wrong().size())
                           .arg(phrases.unchecked().size());
        return [this, out] {
            findings_ = std::move(out->findings);
            unchecked_ = std::move(out->unchecked);
            const auto row = [](const std::vector<Finding>& list) {
                return [&list](int i) {
                    const Finding& f = list[static_cast<std::size_t>(i)];
                    return QStringLiteral("第%1行：%2").arg(f.line).arg(f.text);
                };
            };
            model_->reset(static_cast<int>(findings_.size()), row(findings_));
            uncheckedModel_->reset(static_cast<int>(unchecked_.size()), row(unchecked_));
            tabs_->setTabText(0, QStringLiteral("可疑之处（%1）").arg(findings_.size()));
            tabs_->setTabText(1, QStringLiteral("无法核对的词组（%1）").arg(unchecked_.size()));
            setStatus(out->summary);
        };
    });
}

void CheckWindow::showFinding(int row) {
    if (row >= 0 && static_cast<std::size_t>(row) < findings_.size())
        showLine(findings_[static_cast<std::size_t>(row)].line);
}

void CheckWindow::showUnchecked(int row) {
    if (row >= 0 && static_cast<std::size_t>(row) < unchecked_.size())
        showLine(unchecked_[static_cast<std::size_t>(row)].line);
}

void CheckWindow::showLine(std::size_t line) {
    form_->PageControl1->setCurrentWidget(form_->TabSheet1);
    if (SelectPaneLine(*form_->RichEdit1, line)) {
        form_->raise();
        form_->activateWindow();
        form_->RichEdit1->setFocus();
    }
}

}  // namespace zelmora::tools
