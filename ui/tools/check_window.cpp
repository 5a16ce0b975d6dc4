#include "ui/tools/check_window.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QListView>
#include <QProgressBar>
#include <QPushButton>
#include <QTabWidget>
#include <QVBoxLayout>

#include "formats/checking.h"
#include "ui/form.h"
#include "wubi/phrase_check.h"

namespace zelmora::tools {

CheckWindow::CheckWindow(TForm1* form) : ToolWindow(form, QStringLiteral("检查码表")) {
    setObjectName("CheckWindow");
    list_ = new QListView(this);
    list_->setObjectName("CheckFindings");
    list_->setUniformItemSizes(true);  // a million rows without measuring each
    list_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    model_ = new LinesModel(list_);
    list_->setModel(model_);
    again_ = new QPushButton(QStringLiteral("重新检查"), this);
    copy_ = new QPushButton(QStringLiteral("复制全部"), this);
    auto* hint = new QLabel(QStringLiteral("双击一行，即在原码表中选中该行。"), this);

    auto* buttons = new QHBoxLayout;
    buttons->addWidget(again_);
    buttons->addWidget(copy_);
    buttons->addStretch();
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(status_);
    layout->addWidget(progress_);
    layout->addWidget(hint);
    layout->addWidget(list_, 1);
    layout->addLayout(buttons);
    resize(640, 420);

    connect(again_, &QPushButton::clicked, this, &CheckWindow::check);
    connect(copy_, &QPushButton::clicked, this, [this] { CopyText(model_->allText()); });
    connect(list_, &QListView::doubleClicked, this, [this](const QModelIndex& i) { showFinding(i.row()); });
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
        PhraseCodeCheck phrases = MakePhraseCodeCheck(nullptr);
        auto found = std::make_shared<std::vector<formats::TableProblem>>(formats::CheckTable(doc, &phrases));
        const QString summary =
            QStringLiteral(
                "共 %1 条，可疑之处 %2 处。词组 %3 个，编码不合五笔86规则 %4 个，含无全码之字而无法核对 %5 个。")
                .arg(doc.entries.size())
                .arg(found->size())
                .arg(phrases.phrases())
                .arg(phrases.wrong())
                .arg(phrases.uncodable());
        return [this, found, summary] {
            findings_ = std::move(*found);
            model_->reset(static_cast<int>(findings_.size()), [this](int row) {
                const auto& p = findings_[static_cast<std::size_t>(row)];
                return QStringLiteral("第%1行：%2").arg(p.line).arg(QString::fromUtf8(p.message.c_str()));
            });
            setStatus(summary);
        };
    });
}

void CheckWindow::showFinding(int row) {
    if (row < 0 || static_cast<std::size_t>(row) >= findings_.size()) return;
    form_->PageControl1->setCurrentWidget(form_->TabSheet1);
    if (SelectPaneLine(*form_->RichEdit1, findings_[static_cast<std::size_t>(row)].line)) {
        form_->raise();
        form_->activateWindow();
        form_->RichEdit1->setFocus();
    }
}

}  // namespace zelmora::tools
