#include "ui/tools/stats_window.h"

#include <QComboBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QScrollArea>
#include <QVBoxLayout>

#include "formats/table_stream.h"
#include "ui/tools/charts.h"

namespace zelmora::tools {

namespace {

// Codes of kSummedFrom keys or more share the last row: "16+".
QString LengthLabel(const analysis::TableStats& s, std::size_t n) {
    return QString::number(n) + (s.summedRows() && n == analysis::kSummedFrom ? QStringLiteral("+") : QString());
}
QString PositionLabel(const analysis::TableStats& s, std::size_t p) {
    return QStringLiteral("第%1码").arg(p + 1) +
           (s.summedRows() && p + 1 == analysis::kSummedFrom ? QStringLiteral("起") : QString());
}

// Bars up to this many candidates, then one for all codes with more.
constexpr std::size_t kCandidateBars = 8;

QString Pct(std::size_t part, std::size_t whole) { return QString::fromStdString(analysis::Percent(part, whole)); }

}  // namespace

StatsWindow::StatsWindow(TForm1* form) : ToolWindow(form, QStringLiteral("码表统计")) {
    setObjectName("StatsWindow");
    figures_ = new QPlainTextEdit(this);
    figures_->setObjectName("StatsFigures");
    figures_->setReadOnly(true);
    figures_->setLineWrapMode(QPlainTextEdit::NoWrap);
    figures_->setMinimumWidth(420);
    candidates_ = new BarChart(QStringLiteral("每码候选数"), QStringLiteral("编码数"), this);
    candidates_->setObjectName("CandidatesChart");
    lengths_ = new BarChart(QStringLiteral("码长分布"), QStringLiteral("条数"), this);
    lengths_->setObjectName("LengthsChart");
    heat_ = new KeyboardHeatMap(this);
    heat_->setObjectName("KeyHeatMap");
    position_ = new QComboBox(this);
    position_->setObjectName("KeyPosition");
    position_->addItem(QStringLiteral("所有码位"));
    again_ = new QPushButton(QStringLiteral("重新统计"), this);
    copy_ = new QPushButton(QStringLiteral("复制数字"), this);

    auto* charts = new QHBoxLayout;
    charts->addWidget(candidates_, 1);
    charts->addWidget(lengths_, 1);
    auto* keys = new QHBoxLayout;
    keys->addWidget(new QLabel(QStringLiteral("键位使用："), this));
    keys->addWidget(position_);
    keys->addStretch();
    auto* pictures = new QVBoxLayout;
    pictures->addLayout(charts, 1);
    pictures->addLayout(keys);
    pictures->addWidget(heat_, 1);
    auto* left = new QVBoxLayout;
    left->addWidget(figures_, 1);
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(again_);
    buttons->addWidget(copy_);
    left->addLayout(buttons);
    auto* body = new QHBoxLayout;
    body->addLayout(left, 0);
    body->addLayout(pictures, 1);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(status_);
    layout->addWidget(progress_);
    layout->addLayout(body, 1);
    resize(1100, 660);

    connect(again_, &QPushButton::clicked, this, &StatsWindow::count);
    connect(copy_, &QPushButton::clicked, this, [this] { CopyText(figuresText()); });
    connect(position_, &QComboBox::currentIndexChanged, this, [this] { showKeys(); });
}

void StatsWindow::setWorking(bool working) {
    again_->setEnabled(!working);
    copy_->setEnabled(!working && stats_);
}

void StatsWindow::count() {
    std::string bytes = sourceBytes();
    const formats::Encoding encoding = sourceEncoding();
    runWork(QStringLiteral("正在统计……"), [this, bytes = std::move(bytes), encoding]() -> std::function<void()> {
        // Counted as read: the entries are never all kept.
        formats::MemorySource source(bytes);
        analysis::StatsCounter counter;
        formats::ReadEntriesStream(source, encoding, formats::Format::Plain,
                                   [&](std::size_t, const std::vector<formats::TableEntry>& entries) {
                                       for (const auto& e : entries) counter.add(e);
                                   });
        auto stats = std::make_shared<analysis::TableStats>(counter.finish());
        return [this, stats] { showStats(stats); };
    });
}

void StatsWindow::showStats(std::shared_ptr<analysis::TableStats> stats) {
    stats_ = std::move(stats);
    copy_->setEnabled(true);
    const analysis::TableStats& s = *stats_;
    figures_->setPlainText(figuresText());

    QStringList labels;
    std::vector<std::size_t> values;
    for (std::size_t n = 1; n <= kCandidateBars; ++n) {
        labels << QStringLiteral("%1个").arg(n);
        values.push_back(n < s.candidatesPerCode.size() ? s.candidatesPerCode[n] : 0);
    }
    std::size_t more = 0;
    for (std::size_t n = kCandidateBars + 1; n < s.candidatesPerCode.size(); ++n) more += s.candidatesPerCode[n];
    if (more) {
        labels << QStringLiteral("更多");
        values.push_back(more);
    }
    while (values.size() > 1 && values.back() == 0) values.pop_back(), labels.removeLast();
    candidates_->setBars(labels, values);

    labels.clear();
    values.clear();
    for (std::size_t n = 1; n < s.entriesByLength.size(); ++n) {
        labels << LengthLabel(s, n) + QStringLiteral("码");
        values.push_back(s.entriesByLength[n]);
    }
    lengths_->setBars(labels, values);

    const int chosen = position_->currentIndex();
    position_->blockSignals(true);
    position_->clear();
    position_->addItem(QStringLiteral("所有码位"));
    for (std::size_t p = 0; p < s.keysAt.size(); ++p) position_->addItem(PositionLabel(s, p));
    position_->setCurrentIndex(chosen >= 0 && chosen < position_->count() ? chosen : 0);
    position_->blockSignals(false);
    showKeys();
    setStatus(QStringLiteral("共 %1 条，%2 个编码。").arg(s.entries).arg(s.codes));
}

void StatsWindow::showKeys() {
    if (!stats_) return;
    const int p = position_->currentIndex();
    if (p <= 0 || static_cast<std::size_t>(p) > stats_->keysAt.size())
        heat_->setCounts(QStringLiteral("各键在编码中出现的次数（所有码位）"), stats_->keys, stats_->otherKeys);
    else
        heat_->setCounts(
            QStringLiteral("各键在编码%1的次数").arg(PositionLabel(*stats_, static_cast<std::size_t>(p - 1))),
            stats_->keysAt[static_cast<std::size_t>(p - 1)], stats_->otherKeysAt[static_cast<std::size_t>(p - 1)]);
}

QString StatsWindow::figuresText() const {
    if (!stats_) return {};
    const analysis::TableStats& s = *stats_;
    QString t;
    auto line = [&](const QString& name, std::size_t n, const QString& share = {}) {
        t += name + QStringLiteral("：") + QString::number(n) +
             (share.isEmpty() ? QString() : QStringLiteral("（") + share + QStringLiteral("）")) + u'\n';
    };
    line(QStringLiteral("条目"), s.entries);
    line(QStringLiteral("编码"), s.codes);
    line(QStringLiteral("单字"), s.singleCharacters, Pct(s.singleCharacters, s.entries));
    line(QStringLiteral("词组"), s.phrases, Pct(s.phrases, s.entries));
    line(QStringLiteral("重码（两个以上候选的编码）"), s.duplicateCodes,
         QStringLiteral("占编码 ") + Pct(s.duplicateCodes, s.codes));
    line(QStringLiteral("重码上的条目"), s.entriesOnDuplicateCodes,
         QStringLiteral("占条目 ") + Pct(s.entriesOnDuplicateCodes, s.entries));
    line(QStringLiteral("非首选条目"), s.behindFirst, QStringLiteral("占条目 ") + Pct(s.behindFirst, s.entries));
    t += QStringLiteral("每码候选数：\n");
    for (std::size_t n = 1; n < s.candidatesPerCode.size(); ++n)
        if (s.candidatesPerCode[n])
            t += QStringLiteral("  %1个：%2（%3）\n")
                     .arg(n)
                     .arg(s.candidatesPerCode[n])
                     .arg(Pct(s.candidatesPerCode[n], s.codes));
    t += QStringLiteral("码长：\n");
    for (std::size_t n = 0; n < s.entriesByLength.size(); ++n)
        if (s.entriesByLength[n])
            t += QStringLiteral("  %1码：%2条，%3个编码\n")
                     .arg(LengthLabel(s, n))
                     .arg(s.entriesByLength[n])
                     .arg(s.codesByLength[n]);
    t += QStringLiteral("键位（共%1次）：\n").arg(s.keysTotal);
    for (int k = 0; k < 26; ++k)
        t += QStringLiteral("  %1：%2（%3）")
                 .arg(QChar('a' + k))
                 .arg(s.keys[static_cast<std::size_t>(k)])
                 .arg(Pct(s.keys[static_cast<std::size_t>(k)], s.keysTotal)) +
             [&] {
                 QString at;
                 for (std::size_t p = 0; p < s.keysAt.size(); ++p)
                     at += u' ' + PositionLabel(s, p) + QString::number(s.keysAt[p][static_cast<std::size_t>(k)]);
                 return at;
             }() +
             u'\n';
    if (s.otherKeys) t += QStringLiteral("  其他：%1（%2）\n").arg(s.otherKeys).arg(Pct(s.otherKeys, s.keysTotal));
    auto level = [&](const QString& name, const analysis::Gb2312Level& l) {
        t += QStringLiteral("%1：有%2，缺%3（共%4）\n").arg(name).arg(l.present).arg(l.total - l.present).arg(l.total);
        if (!l.missing.empty() && l.missing.size() <= std::size_t{2} * 200)
            t += QStringLiteral("  缺：") + FromGb(l.missing) + u'\n';
    };
    level(QStringLiteral("GB 2312 一级字"), s.level1);
    level(QStringLiteral("GB 2312 二级字"), s.level2);
    return t;
}

}  // namespace zelmora::tools
