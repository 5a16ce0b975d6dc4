#include "ui/tools/encode_window.h"

#include <QCheckBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QTableWidget>
#include <QVBoxLayout>

#include "core/failure.h"
#include "formats/encoding.h"
#include "ui/form.h"
#include "wubi/merge.h"
#include "wubi/phrase_check.h"

namespace zelmora::tools {

EncodeWindow::EncodeWindow(TForm1* form) : ToolWindow(form, QStringLiteral("编码新词")) {
    setObjectName("EncodeWindow");
    words_ = new QPlainTextEdit(this);
    words_->setObjectName("NewWords");
    words_->setPlaceholderText(QStringLiteral("每行一个词"));
    results_ = new QTableWidget(0, 3, this);
    results_->setObjectName("NewWordCodes");
    results_->setHorizontalHeaderLabels({QStringLiteral("加入"), QStringLiteral("词"), QStringLiteral("编码")});
    results_->horizontalHeader()->setStretchLastSection(true);
    results_->verticalHeader()->hide();
    results_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    encode_ = new QPushButton(QStringLiteral("编码"), this);
    add_ = new QPushButton(QStringLiteral("加入原码表"), this);
    add_->setEnabled(false);

    auto* left = new QVBoxLayout;
    left->addWidget(new QLabel(QStringLiteral("新词（输入或粘贴，每行一个）："), this));
    left->addWidget(words_, 1);
    left->addWidget(encode_);
    auto* right = new QVBoxLayout;
    right->addWidget(new QLabel(QStringLiteral("按五笔86规则所得编码（勾选者加入原码表）："), this));
    right->addWidget(results_, 1);
    right->addWidget(add_);
    auto* panes = new QHBoxLayout;
    panes->addLayout(left, 1);
    panes->addLayout(right, 1);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(panes, 1);
    layout->addWidget(progress_);
    layout->addWidget(status_);
    resize(620, 420);

    connect(encode_, &QPushButton::clicked, this, &EncodeWindow::encode);
    connect(add_, &QPushButton::clicked, this, &EncodeWindow::addToTable);
}

void EncodeWindow::setWorking(bool working) {
    encode_->setEnabled(!working);
    add_->setEnabled(!working && !entries_.empty());
}

void EncodeWindow::encode() {
    std::string table = sourceBytes();
    const QString typed = words_->toPlainText();
    // GB18030 holds every typed character; for those GBK has, the bytes are
    // GBK's, so the words meet the table's characters either way.
    const QByteArray utf8 = typed.toUtf8();
    std::string list;
    try {
        list = formats::DecodeText(std::string_view(utf8.constData(), static_cast<std::size_t>(utf8.size())),
                                   formats::Encoding::Utf8)
                   .text;
    } catch (const Failure& f) {
        setStatus(QString::fromUtf8(f.what()));
        return;
    }
    runWork(QStringLiteral("正在编码……"),
            [this, table = std::move(table), list = std::move(list)]() -> std::function<void()> {
                CharacterTable chars = BuildCharacterTable(table);
                chars.addMissing(BuiltinCharacters());
                auto result = std::make_shared<EncodeResult>(EncodeWordList(chars, list, formats::WubiPhraseRules()));
                return [this, result] {
                    entries_ = std::move(result->entries);
                    results_->setRowCount(static_cast<int>(entries_.size()));
                    for (int row = 0; row < results_->rowCount(); ++row) {
                        const EncodedEntry& e = entries_[static_cast<std::size_t>(row)];
                        auto* take = new QTableWidgetItem;
                        take->setFlags(Qt::ItemIsUserCheckable | Qt::ItemIsEnabled);
                        take->setCheckState(Qt::Checked);
                        results_->setItem(row, 0, take);
                        results_->setItem(row, 1, new QTableWidgetItem(FromGb(e.word)));
                        results_->setItem(row, 2,
                                          new QTableWidgetItem(QString::fromLatin1(
                                              e.code.data(), static_cast<qsizetype>(e.code.size()))));
                    }
                    QString status = QStringLiteral("编码 %1 个。").arg(entries_.size());
                    if (!result->leftOut.empty()) {
                        status += QStringLiteral("无法编码 %1 个：").arg(result->leftOut.size());
                        for (std::size_t i = 0; i < result->leftOut.size() && i < 20; ++i)
                            status += QStringLiteral("%1（“%2”无全码） ")
                                          .arg(FromGb(result->leftOut[i].word), FromGb(result->leftOut[i].character));
                    }
                    if (!result->capped.empty())
                        status += QStringLiteral("%1 个词的编码组合过多，只列前 %2 个。")
                                      .arg(result->capped.size())
                                      .arg(kMaxCodesPerWord);
                    setStatus(status);
                    add_->setEnabled(!entries_.empty());
                };
            });
}

void EncodeWindow::addToTable() {
    std::vector<EncodedEntry> chosen;
    for (int row = 0; row < results_->rowCount(); ++row)
        if (results_->item(row, 0)->checkState() == Qt::Checked)
            chosen.push_back(entries_[static_cast<std::size_t>(row)]);
    if (chosen.empty()) return;
    std::string table = sourceBytes();
    // Written back in the encoding the table is in.
    const TextEncoding encoding = PaneTextEncoding(*form_->RichEdit1);
    runWork(QStringLiteral("正在加入原码表……"),
            [this, table = std::move(table), chosen = std::move(chosen), encoding]() -> std::function<void()> {
                std::size_t added = 0;
                auto merged = std::make_shared<std::string>(MergeIntoGroupLines(table, chosen, &added));
                return [this, merged, added, encoding] {
                    // The pane's change handler updates its line count.
                    WritePaneText(*form_->RichEdit1, *merged, encoding);
                    setStatus(QStringLiteral("已加入原码表 %1 条（已有的不再加入）。").arg(added));
                };
            });
}

}  // namespace zelmora::tools
