#include "ui/tools/typing_window.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QScrollArea>
#include <QSpinBox>
#include <QTabWidget>
#include <QTableWidget>
#include <QVBoxLayout>
#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <map>
#include <optional>
#include <thread>
#include <unordered_map>

#include "core/failure.h"
#include "formats/document.h"
#include "formats/files.h"
#include "ui/tools/charts.h"

namespace zelmora::tools {

namespace {

// Bars up to this code length or candidate position, then one for the rest.
constexpr std::size_t kDistributionBars = 10;

// The keys besides a-y, in the order their bars are drawn: the space, the
// selection and punctuation keys, the digits, and z (which the heat map shows
// too, among the letters).
constexpr std::string_view kOtherKeys = " ;',./[]\\-=`1234567890z";
// Bars for the other keys besides the space: the most pressed, the last for the rest.
constexpr std::size_t kOtherKeyBars = 8;

QString FromUtf32(char32_t c) { return QString::fromUcs4(&c, 1); }

QString KeyLabel(char key) {
    if (key == ' ') return QStringLiteral("空格");
    return QString(QChar(key));
}

// A distribution's bars from index 1 to its last value (of either table),
// those past kDistributionBars summed into one.
struct Bars {
    QStringList labels;
    std::vector<std::size_t> first, second;
};
template <class Label>
Bars DistributionBars(const std::vector<std::uint64_t>& a, const std::vector<std::uint64_t>* b, Label label) {
    std::size_t last = 0;
    for (const auto* v : {&a, b})
        if (v)
            for (std::size_t i = 1; i < v->size(); ++i)
                if ((*v)[i]) last = std::max(last, i);
    Bars bars;
    auto at = [](const std::vector<std::uint64_t>* v, std::size_t from, std::size_t to) {
        std::size_t n = 0;
        if (v)
            for (std::size_t i = from; i <= to && i < v->size(); ++i) n += (*v)[i];
        return n;
    };
    for (std::size_t i = 1; i <= last; ++i) {
        const bool rest = i == kDistributionBars && last > kDistributionBars;
        bars.labels << (rest ? QStringLiteral("更多") : label(i));
        const std::size_t to = rest ? last : i;
        bars.first.push_back(at(&a, i, to));
        if (b) bars.second.push_back(at(b, i, to));
        if (rest) break;
    }
    return bars;
}

// Characters by count, highest first (ties by code point).
std::vector<std::pair<char32_t, std::uint64_t>> ByCount(const std::map<char32_t, std::uint64_t>& counts) {
    std::vector<std::pair<char32_t, std::uint64_t>> v(counts.begin(), counts.end());
    std::stable_sort(v.begin(), v.end(), [](const auto& x, const auto& y) { return x.second > y.second; });
    return v;
}

QString CharactersText(const QString& title, const std::map<char32_t, std::uint64_t>& counts) {
    std::uint64_t total = 0;
    for (const auto& [c, n] : counts) total += n;
    QString t = QStringLiteral("%1：%2 个，共出现 %3 次\n").arg(title).arg(counts.size()).arg(total);
    for (const auto& [c, n] : ByCount(counts)) t += FromUtf32(c) + QStringLiteral("  ") + QString::number(n) + u'\n';
    return t;
}

std::string FileName(const QString& path) { return QFile::encodeName(path).toStdString(); }

// The window speaks Chinese: each figure's name by its key, a numbered one
// ("code_length.4") by its stem; a figure it doesn't know keeps the report's label.
QString LabelOf(const typing::FigureRow& row) {
    static const std::map<std::string, const char*> kNames = {
        {"characters.table", "经码表输入的字"},
        {"characters.han", "  其中汉字"},
        {"characters.missing", "码表缺的汉字（缺字）"},
        {"characters.unkeyed", "无从输入的其他字符（无键字）"},
        {"characters.keyed_punctuation", "按键直接输入的标点"},
        {"characters.keyed_other", "按键直接输入的字母和数字"},
        {"commits", "上屏次数"},
        {"keys.all", "按键总数（全部输入）"},
        {"keys.table", "经码表输入的按键"},
        {"keys.letters", "  编码字母"},
        {"keys.spaces", "  空格"},
        {"keys.selection", "  选择键"},
        {"keys.page_down", "  翻页键"},
        {"keys.keyed", "直接输入字符的按键（含 Shift）"},
        {"spaces_saved", "标点省下的空格"},
        {"keys_per_character", "字均码长"},
        {"keys_per_typed_character", "字均按键（全部输入）"},
        {"selections", "选重次数（非首选上屏）"},
        {"selections.share_of_commits", "  占上屏次数"},
        {"selection_rate", "选重率（按字）"},
        {"words", "打词次数（两字以上）"},
        {"word_rate", "打词率（词中汉字占比）"},
        {"words.first_candidate", "  其中首选词"},
        {"word_rate.first_candidate", "  首选词中汉字占比"},
        {"hand_alternation", "左右手交替（相邻两键）"},
        {"same_finger", "同指连击（相邻两键）"},
        {"same_key", "同键连击（相邻两键）"},
        {"key.space", "空格键"},
        {"key.left_shift", "左 Shift"},
        {"key.right_shift", "右 Shift"},
        {"finger.left_pinky", "左手小指"},
        {"finger.left_ring", "左手无名指"},
        {"finger.left_middle", "左手中指"},
        {"finger.left_index", "左手食指"},
        {"finger.right_index", "右手食指"},
        {"finger.right_middle", "右手中指"},
        {"finger.right_ring", "右手无名指"},
        {"finger.right_pinky", "右手小指"},
        {"finger.thumb", "拇指"},
        {"hand.left", "左手"},
        {"hand.right", "右手"},
        {"hand.thumbs", "拇指（空格）"},
    };
    if (auto it = kNames.find(row.key); it != kNames.end()) return QString::fromUtf8(it->second);
    const std::size_t dot = row.key.find('.');
    const QString stem = QString::fromStdString(row.key.substr(0, dot));
    const QString rest = dot == std::string::npos ? QString() : QString::fromStdString(row.key.substr(dot + 1));
    if (stem == QStringLiteral("code_length")) return QStringLiteral("%1 码上屏").arg(rest);
    if (stem == QStringLiteral("word_length")) return QStringLiteral("%1 字上屏").arg(rest);
    if (stem == QStringLiteral("position")) return QStringLiteral("第 %1 候选上屏").arg(rest);
    if (stem == QStringLiteral("key") && rest.size() == 1) return QStringLiteral("%1 键").arg(rest.toUpper());
    return QString::fromStdString(row.label);
}

}  // namespace

std::vector<MatchedRow> MatchRows(const std::vector<typing::FigureRow>& first,
                                  const std::vector<typing::FigureRow>& second) {
    // FigureRows gives every figure in a fixed order, leaving out the counts
    // of a distribution or a key that are zero: the rows of figures with all
    // of those counts give the order that both tables' rows keep.
    typing::Figures all;
    std::size_t lengths[3] = {0, 0, 0};
    for (const auto* rows : {&first, &second})
        for (const typing::FigureRow& r : *rows) {
            const std::size_t dot = r.key.find('.');
            const std::string stem = r.key.substr(0, dot);
            const int d = stem == "code_length" ? 0 : stem == "word_length" ? 1 : stem == "position" ? 2 : -1;
            if (d >= 0)
                lengths[d] = std::max(lengths[d], static_cast<std::size_t>(std::atoll(r.key.c_str() + dot + 1)) + 1);
        }
    all.byCodeLength.assign(lengths[0], 1);
    all.byWordLength.assign(lengths[1], 1);
    all.byPosition.assign(lengths[2], 1);
    all.keyUse.fill(1);
    all.leftShifts = all.rightShifts = 1;
    std::unordered_map<std::string, std::size_t> rank;
    for (const typing::FigureRow& r : typing::FigureRows(all)) rank.emplace(r.key, rank.size());

    std::vector<MatchedRow> rows;
    std::unordered_map<std::string, std::size_t> at;
    for (const auto* rowsOf : {&first, &second})
        for (const typing::FigureRow& r : *rowsOf) {
            auto [it, fresh] = at.try_emplace(r.key, rows.size());
            if (fresh) rows.push_back({r.key, LabelOf(r), nullptr, nullptr});
            (rowsOf == &first ? rows[it->second].first : rows[it->second].second) = &r;
        }
    // A figure the order doesn't know (none should be) goes last.
    auto rankOf = [&](const MatchedRow& m) {
        const auto it = rank.find(m.key);
        return it == rank.end() ? rank.size() : it->second;
    };
    std::stable_sort(rows.begin(), rows.end(),
                     [&](const MatchedRow& x, const MatchedRow& y) { return rankOf(x) < rankOf(y); });
    return rows;
}

namespace {

// A value rounded as shown: percentages and means to their decimals, counts whole.
int Decimals(const typing::FigureRow& row) { return row.ratio ? 2 : row.average ? 3 : 0; }
double Shown(const typing::FigureRow& row, double value) { return row.ratio ? 100 * value : value; }

}  // namespace

QString FigureText(const typing::FigureRow& row) {
    const QString n = QString::number(Shown(row, row.value), 'f', Decimals(row));
    return row.ratio ? n + u'%' : n;
}

QString DifferenceText(const typing::FigureRow& first, const typing::FigureRow& second) {
    const int decimals = Decimals(first);
    const double scale = std::pow(10.0, decimals);
    const double d = std::round((Shown(first, second.value) - Shown(first, first.value)) * scale) / scale;
    QString n = QString::number(std::fabs(d), 'f', decimals);
    if (d > 0) n.prepend(u'+');
    if (d < 0) n.prepend(u'-');
    return first.ratio ? n + QStringLiteral(" pp") : n;  // percentage points
}

TypingWindow::TypingWindow(TForm1* form) : ToolWindow(form, QStringLiteral("码表评测")) {
    setObjectName("TypingWindow");

    // The input: text files or a frequency list.
    fromTexts_ = new QRadioButton(QStringLiteral("文本文件（任意编码）"), this);
    fromList_ = new QRadioButton(QStringLiteral("词频表"), this);
    fromTexts_->setChecked(true);
    auto* mode = new QButtonGroup(this);
    mode->addButton(fromTexts_);
    mode->addButton(fromList_);
    files_ = new QListWidget(this);
    files_->setObjectName("TypingTextFiles");
    files_->setSelectionMode(QAbstractItemView::ExtendedSelection);
    files_->setMinimumHeight(50);
    files_->setMaximumHeight(72);
    addFiles_ = new QPushButton(QStringLiteral("添加..."), this);
    removeFiles_ = new QPushButton(QStringLiteral("移除"), this);
    lists_ = MakeFrequencyListChoice(this, "TypingFrequencyList");
    auto* fileButtons = new QHBoxLayout;
    fileButtons->addWidget(addFiles_);
    fileButtons->addWidget(removeFiles_);
    fileButtons->addStretch();
    auto* input = new QGroupBox(QStringLiteral("输入"), this);
    auto* inputLayout = new QVBoxLayout(input);
    inputLayout->addWidget(fromTexts_);
    inputLayout->addWidget(files_, 1);
    inputLayout->addLayout(fileButtons);
    inputLayout->addWidget(fromList_);
    inputLayout->addWidget(lists_);

    // How the typist types.
    optimal_ = new QCheckBox(QStringLiteral("最优切分（否则从左到右取最长的词）"), this);
    autoCommit_ = new QSpinBox(this);
    autoCommit_->setRange(0, 16);
    autoCommit_->setValue(4);
    autoCommit_->setSpecialValueText(QStringLiteral("关"));
    autoCommit_->setSuffix(QStringLiteral(" 码"));
    pageSize_ = new QSpinBox(this);
    pageSize_->setRange(1, 10);
    pageSize_->setValue(5);
    selectKeys_ = new QLineEdit(QStringLiteral(";'4567890"), this);
    selectKeys_->setMaxLength(20);
    auto* options = new QGroupBox(QStringLiteral("选项"), this);
    auto* optionsLayout = new QGridLayout(options);
    optionsLayout->addWidget(optimal_, 0, 0, 1, 4);
    optionsLayout->addWidget(new QLabel(QStringLiteral("首选自动上屏码长："), this), 1, 0);
    optionsLayout->addWidget(autoCommit_, 1, 1);
    optionsLayout->addWidget(new QLabel(QStringLiteral("每页候选："), this), 1, 2);
    optionsLayout->addWidget(pageSize_, 1, 3);
    optionsLayout->addWidget(new QLabel(QStringLiteral("第二位起的选择键："), this), 2, 0);
    optionsLayout->addWidget(selectKeys_, 2, 1, 1, 3);
    optionsLayout->setColumnStretch(1, 1);
    optionsLayout->setColumnStretch(3, 1);

    // The second table.
    second_ = new QLabel(QStringLiteral("（无）"), this);
    second_->setObjectName("TypingSecondTable");
    second_->setWordWrap(true);
    second_->setTextInteractionFlags(Qt::TextSelectableByMouse);
    chooseSecond_ = new QPushButton(QStringLiteral("打开任意格式码表..."), this);
    clearSecond_ = new QPushButton(QStringLiteral("不对比"), this);
    clearSecond_->setEnabled(false);
    auto* secondButtons = new QHBoxLayout;
    secondButtons->addWidget(chooseSecond_);
    secondButtons->addWidget(clearSecond_);
    secondButtons->addStretch();
    auto* second = new QGroupBox(QStringLiteral("对比码表（可选，在同样的输入上评测）"), this);
    auto* secondLayout = new QVBoxLayout(second);
    secondLayout->addWidget(second_);
    secondLayout->addLayout(secondButtons);

    evaluate_ = new QPushButton(QStringLiteral("评测"), this);
    evaluate_->setDefault(true);
    copy_ = new QPushButton(QStringLiteral("复制报告"), this);
    copy_->setEnabled(false);
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(evaluate_);
    buttons->addWidget(copy_);
    buttons->addStretch();

    // The figures, the characters the tables lack, the words whose typing changed.
    table_ = new QTableWidget(0, 2, this);
    table_->setObjectName("TypingFigures");
    table_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    table_->verticalHeader()->hide();
    table_->setWordWrap(false);
    table_->verticalHeader()->setDefaultSectionSize(table_->fontMetrics().height() + 6);
    table_->horizontalHeader()->setStretchLastSection(false);
    missing_ = new QPlainTextEdit(this);
    missing_->setObjectName("TypingMissing");
    missing_->setReadOnly(true);
    changes_ = new QPlainTextEdit(this);
    changes_->setObjectName("TypingChanges");
    changes_->setReadOnly(true);
    changes_->setLineWrapMode(QPlainTextEdit::NoWrap);
    tabs_ = new QTabWidget(this);
    tabs_->addTab(table_, QStringLiteral("数字"));
    tabs_->addTab(missing_, QStringLiteral("缺字与无键字"));
    tabs_->addTab(changes_, QStringLiteral("词的变化"));
    tabs_->setTabEnabled(2, false);

    auto* left = new QVBoxLayout;
    left->addWidget(input);
    left->addWidget(options);
    left->addWidget(second);
    left->addLayout(buttons);
    left->addWidget(tabs_, 1);
    auto* leftPanel = new QWidget(this);
    leftPanel->setLayout(left);
    left->setContentsMargins(0, 0, 0, 0);
    leftPanel->setFixedWidth(470);

    // The pictures.
    lengths_ = new BarChart(QStringLiteral("按码长的上屏次数"), QStringLiteral("次"), this);
    lengths_->setObjectName("TypingLengthsChart");
    positions_ = new BarChart(QStringLiteral("按候选位置的上屏次数"), QStringLiteral("次"), this);
    positions_->setObjectName("TypingPositionsChart");
    heat_ = new KeyboardHeatMap(this);
    heat_->setObjectName("TypingHeatMap");
    heatChoice_ = new QComboBox(this);
    heatChoice_->setObjectName("TypingHeatChoice");
    heatChoice_->addItem(QStringLiteral("原码表"));
    heatChoice_->setEnabled(false);
    otherKeys_ = new BarChart(QStringLiteral("其他键的按键次数"), QStringLiteral("次"), this);
    otherKeys_->setObjectName("TypingOtherKeysChart");
    fingers_ = new BarChart(QStringLiteral("各手指的负担"), QStringLiteral("按键占比"), this);
    fingers_->setObjectName("TypingFingersChart");
    fingers_->setShares(true);
    hands_ = new BarChart(QStringLiteral("左右手的负担"), QStringLiteral("按键占比"), this);
    hands_->setObjectName("TypingHandsChart");
    hands_->setShares(true);

    auto* heatBox = new QWidget(this);
    auto* heatColumn = new QVBoxLayout(heatBox);
    heatColumn->setContentsMargins(0, 0, 0, 0);
    auto* heatHead = new QHBoxLayout;
    heatHead->addWidget(new QLabel(QStringLiteral("键位热图（A–Z）："), this));
    heatHead->addWidget(heatChoice_);
    heatHead->addStretch();
    heatColumn->addLayout(heatHead);
    heatColumn->addWidget(heat_, 1);
    heatBox_ = heatBox;
    for (BarChart* chart : {lengths_, positions_, otherKeys_, fingers_, hands_}) chart->setMinimumWidth(240);
    auto* pictures = new QWidget(this);
    grid_ = new QGridLayout(pictures);
    grid_->setContentsMargins(0, 0, 0, 0);
    for (int c = 0; c < 6; ++c) grid_->setColumnStretch(c, 1);
    placePictures(true);
    // What doesn't fit scrolls, rather than squeeze the pictures.
    scroll_ = new QScrollArea(this);
    scroll_->setWidget(pictures);
    scroll_->setWidgetResizable(true);
    scroll_->setFrameShape(QFrame::NoFrame);

    auto* body = new QHBoxLayout;
    body->addWidget(leftPanel, 0);
    body->addWidget(scroll_, 1);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(status_);
    layout->addWidget(progress_);
    layout->addLayout(body, 1);
    QSize size(1400, 1000);
    if (const QScreen* s = screen()) size = size.boundedTo(s->availableSize() - QSize(40, 60));
    resize(size);

    connect(addFiles_, &QPushButton::clicked, this, &TypingWindow::chooseTextFiles);
    connect(removeFiles_, &QPushButton::clicked, this, [this] { qDeleteAll(files_->selectedItems()); });
    connect(lists_, &QComboBox::activated, this, [this](int index) {
        fromList_->setChecked(true);
        if (index == lists_->count() - 1) ChooseFrequencyFile(this, lists_);
    });
    connect(chooseSecond_, &QPushButton::clicked, this, &TypingWindow::chooseSecondTable);
    connect(clearSecond_, &QPushButton::clicked, this, [this] { setSecondTable(QString()); });
    connect(evaluate_, &QPushButton::clicked, this, &TypingWindow::evaluate);
    connect(copy_, &QPushButton::clicked, this, [this] { CopyText(reportText()); });
    connect(heatChoice_, &QComboBox::currentIndexChanged, this, [this] { showKeys(); });
}

void TypingWindow::placePictures(bool wide) {
    for (QWidget* w : std::initializer_list<QWidget*>{lengths_, positions_, heatBox_, otherKeys_, fingers_, hands_})
        grid_->removeWidget(w);
    // Six columns: halves and thirds of the width.
    grid_->addWidget(lengths_, 0, 0, 1, 3);
    grid_->addWidget(positions_, 0, 3, 1, 3);
    if (wide) {
        grid_->addWidget(heatBox_, 1, 0, 1, 4);
        grid_->addWidget(otherKeys_, 1, 4, 1, 2);
        grid_->addWidget(fingers_, 2, 0, 1, 4);
        grid_->addWidget(hands_, 2, 4, 1, 2);
    } else {
        // The keyboard on a row of its own, then the rest below.
        grid_->addWidget(heatBox_, 1, 0, 1, 6);
        grid_->addWidget(otherKeys_, 2, 0, 1, 3);
        grid_->addWidget(hands_, 2, 3, 1, 3);
        grid_->addWidget(fingers_, 3, 0, 1, 6);
    }
    for (int r = 0; r < 4; ++r) grid_->setRowStretch(r, r < (wide ? 3 : 4) ? 1 : 0);
    wide_ = wide;
}

void TypingWindow::resizeEvent(QResizeEvent* event) {
    ToolWindow::resizeEvent(event);
    // The keyboard and a chart beside it need about 810 pixels.
    const bool wide = width() - 470 - 40 >= 810;
    if (wide != wide_) placePictures(wide);
}

void TypingWindow::setWorking(bool working) {
    for (QWidget* w : std::initializer_list<QWidget*>{evaluate_, addFiles_, removeFiles_, lists_, chooseSecond_})
        w->setEnabled(!working);
    clearSecond_->setEnabled(!working && !secondPath_.isEmpty());
    copy_->setEnabled(!working && result_);
}

void TypingWindow::addTextFiles(const QStringList& paths) {
    for (const QString& path : paths) {
        auto* item = new QListWidgetItem(QFileInfo(path).fileName(), files_);
        item->setData(Qt::UserRole, path);
        item->setToolTip(path);
    }
    fromTexts_->setChecked(true);
}

void TypingWindow::setFrequencyList(const QString& nameOrPath) {
    SelectFrequencyList(lists_, nameOrPath);
    fromList_->setChecked(true);
}

void TypingWindow::setSecondTable(const QString& path) {
    secondPath_ = path;
    second_->setText(path.isEmpty() ? QStringLiteral("（无）") : path);
    clearSecond_->setEnabled(!path.isEmpty());
}

void TypingWindow::chooseTextFiles() {
    const QStringList paths = QFileDialog::getOpenFileNames(this, QStringLiteral("选择要打的文本"), QString(),
                                                            QStringLiteral("文本 (*.txt);;所有文件 (*)"));
    if (!paths.isEmpty()) addTextFiles(paths);
}

void TypingWindow::chooseSecondTable() {
    const QString path = QFileDialog::getOpenFileName(this, QStringLiteral("选择对比码表"), QString(),
                                                      QStringLiteral("码表 (*.txt *.yaml *.dict.yaml);;所有文件 (*)"));
    if (!path.isEmpty()) setSecondTable(path);
}

void TypingWindow::evaluate() {
    typing::TypingOptions options;
    options.autoCommit = static_cast<std::size_t>(autoCommit_->value());
    options.pageSize = static_cast<std::size_t>(pageSize_->value());
    options.selectKeys = selectKeys_->text().toStdString();
    const typing::Segmentation segmentation =
        optimal_->isChecked() ? typing::Segmentation::Optimal : typing::Segmentation::Greedy;
    QStringList texts;
    QString list;
    if (fromTexts_->isChecked()) {
        for (int i = 0; i < files_->count(); ++i) texts << files_->item(i)->data(Qt::UserRole).toString();
        if (texts.isEmpty()) {
            setStatus(QStringLiteral("请先添加要打的文本文件，或选择词频表。"));
            return;
        }
    } else {
        list = lists_->currentData().toString();
        if (list.isEmpty()) {
            setStatus(QStringLiteral("请选择词频表。"));
            return;
        }
    }
    std::string bytes = sourceBytes();
    const formats::Encoding encoding = sourceEncoding();
    const QString secondPath = secondPath_;

    runWork(QStringLiteral("正在评测……"),
            [this, bytes = std::move(bytes), encoding, options, segmentation, texts, list,
             secondPath]() -> std::function<void()> {
                typing::CheckOptions(options);
                auto result = std::make_shared<TypingResult>();
                // The source pane holds group lines in candidate order.
                std::unique_ptr<typing::TypingTable> source;
                {
                    const formats::TableDocument doc = formats::ReadTable(bytes, encoding, formats::Format::Plain);
                    if (doc.entries.empty()) throw Failure("原码表是空的：请先打开或粘贴码表。");
                    source = std::make_unique<typing::TypingTable>(doc.entries, doc.textEncoding(), options);
                }
                // The second table read as "打开任意格式码表..." reads it: format and
                // encoding recognised, entries in its engine's candidate order.
                std::unique_ptr<typing::TypingTable> other;
                if (!secondPath.isEmpty()) {
                    const std::string name = secondPath.toStdString();
                    std::string file;
                    try {
                        file = ReadInput(FileName(secondPath));  // its failure names the file
                    } catch (const Failure& f) {
                        throw Failure(std::string("对比码表：") + f.what());
                    }
                    formats::TableDocument doc;
                    try {
                        doc = formats::ReadTable(file);
                    } catch (const Failure& f) {
                        throw Failure("对比码表“" + name + "”：" + f.what());
                    }
                    if (doc.entries.empty()) throw Failure("对比码表“" + name + "”没有条目。");
                    other = std::make_unique<typing::TypingTable>(doc.entries, doc.textEncoding(), options);
                    result->hasSecond = true;
                    result->secondName = QFileInfo(secondPath).fileName();
                }

                typing::ScoreOptions scoring;
                scoring.segmentation = segmentation;
                scoring.threads = std::max(1u, std::thread::hardware_concurrency());
                std::optional<typing::FrequencyList> words;
                if (!list.isEmpty()) {
                    words = typing::LoadFrequencyList(FileName(list));
                    result->input = QStringLiteral("词频表 %1（%2 个词）").arg(list).arg(words->words.size());
                } else {
                    QStringList names;
                    for (const QString& t : texts) names << QFileInfo(t).fileName();
                    result->input = QStringLiteral("文本 ") + names.join(QStringLiteral("、"));
                }
                // Each table's entry use, summed over the input: only a comparison needs it.
                std::vector<std::uint64_t> use[2];
                auto score = [&](const typing::TypingTable& table, std::vector<std::uint64_t>& totalUse) {
                    typing::Figures sum;
                    std::vector<std::uint64_t> part;
                    typing::Trace trace;
                    if (other) trace.entryUse = &part;
                    auto once = [&](auto&& scoreOne) {
                        if (other) part.assign(table.size(), 0);
                        sum += scoreOne();
                        totalUse.resize(std::max(totalUse.size(), part.size()));
                        for (std::size_t i = 0; i < part.size(); ++i) totalUse[i] += part[i];
                    };
                    if (words) {
                        once([&] { return typing::ScoreFrequencies(table, *words, segmentation, trace); });
                    } else {
                        for (const QString& t : texts) {
                            InputFile in(FileName(t));
                            once([&] {
                                return typing::ScoreText(table, in, formats::Encoding::Auto, t.toStdString(), scoring,
                                                         trace);
                            });
                        }
                    }
                    return sum;
                };
                result->figures = score(*source, use[0]);
                if (other) result->secondFigures = score(*other, use[1]);
                if (other) result->changes = typing::CompareTyping(*source, use[0], *other, use[1], segmentation);
                return [this, result] { showResult(result); };
            });
}

void TypingWindow::showResult(std::shared_ptr<TypingResult> result) {
    result_ = std::move(result);
    copy_->setEnabled(true);
    showFigures();
    showCharts();
    showMissing();
    const TypingResult& r = *result_;
    changes_->setPlainText(r.hasSecond ? QString::fromStdString(typing::ChangesText(r.changes, 200)) : QString());
    tabs_->setTabEnabled(2, r.hasSecond);
    auto summary = [](const QString& name, const typing::Figures& f) {
        return QStringLiteral("%1：%2 字经码表输入，字均码长 %3，选重率 %4%，打词率 %5%，缺字 %6 个")
            .arg(name)
            .arg(f.tableCharacters)
            .arg(f.keysPerCharacter(), 0, 'f', 3)
            .arg(100 * f.selectionRate(), 0, 'f', 2)
            .arg(100 * f.wordRate(), 0, 'f', 2)
            .arg(f.missingCharacters.size());
    };
    QString status = QStringLiteral("输入：") + r.input + QStringLiteral("。\n") +
                     summary(QStringLiteral("原码表"), r.figures) + QStringLiteral("。");
    if (r.hasSecond) status += u'\n' + summary(r.secondName, r.secondFigures) + QStringLiteral("。");
    setStatus(status);
}

void TypingWindow::showFigures() {
    const TypingResult& r = *result_;
    const std::vector<typing::FigureRow> first = typing::FigureRows(r.figures);
    const std::vector<typing::FigureRow> second =
        r.hasSecond ? typing::FigureRows(r.secondFigures) : std::vector<typing::FigureRow>{};
    const std::vector<MatchedRow> rows = MatchRows(first, second);
    QStringList headers{QStringLiteral("指标"), QStringLiteral("原码表")};
    if (r.hasSecond) headers << QStringLiteral("对比码表") << QStringLiteral("差值");
    table_->clear();
    table_->setColumnCount(static_cast<int>(headers.size()));
    table_->setHorizontalHeaderLabels(headers);
    if (r.hasSecond) table_->horizontalHeaderItem(2)->setToolTip(r.secondName);
    table_->horizontalHeader()->setSectionResizeMode(QHeaderView::ResizeToContents);
    table_->horizontalHeader()->setSectionResizeMode(0, QHeaderView::Stretch);
    table_->setRowCount(static_cast<int>(rows.size()));
    auto number = [](const QString& text) {
        auto* item = new QTableWidgetItem(text);
        item->setTextAlignment(Qt::AlignRight | Qt::AlignVCenter);
        return item;
    };
    for (std::size_t i = 0; i < rows.size(); ++i) {
        const MatchedRow& m = rows[i];
        const int row = static_cast<int>(i);
        auto* label = new QTableWidgetItem(m.label);
        label->setData(Qt::UserRole, QString::fromStdString(m.key));
        table_->setItem(row, 0, label);
        const QString none = QStringLiteral("—");
        table_->setItem(row, 1, number(m.first ? FigureText(*m.first) : none));
        if (!r.hasSecond) continue;
        table_->setItem(row, 2, number(m.second ? FigureText(*m.second) : none));
        // A count missing on one side is none of it; a rate or mean is not known.
        const typing::FigureRow& known = m.first ? *m.first : *m.second;
        typing::FigureRow zero = known;
        zero.value = 0;
        QString difference = none;
        if (m.first && m.second)
            difference = DifferenceText(*m.first, *m.second);
        else if (!known.ratio && !known.average)
            difference = m.first ? DifferenceText(*m.first, zero) : DifferenceText(zero, *m.second);
        table_->setItem(row, 3, number(difference));
    }
}

void TypingWindow::showCharts() {
    const TypingResult& r = *result_;
    const typing::Figures& a = r.figures;
    const typing::Figures* b = r.hasSecond ? &r.secondFigures : nullptr;
    const QStringList legend = r.hasSecond ? QStringList{QStringLiteral("原码表"), r.secondName} : QStringList{};

    Bars bars = DistributionBars(a.byCodeLength, b ? &b->byCodeLength : nullptr,
                                 [](std::size_t n) { return QStringLiteral("%1码").arg(n); });
    lengths_->setBars(bars.labels, bars.first, bars.second, legend);
    bars = DistributionBars(a.byPosition, b ? &b->byPosition : nullptr,
                            [](std::size_t n) { return QStringLiteral("第%1").arg(n); });
    positions_->setBars(bars.labels, bars.first, bars.second, legend);

    // The space, then the other keys most pressed (shift by the hand that
    // holds it), the rest in one bar.
    QStringList labels{KeyLabel(' ')};
    std::vector<std::size_t> first{a.keyUse[' ']}, second;
    if (b) second.push_back(b->keyUse[' ']);
    struct Key {
        QString label;
        std::uint64_t a = 0, b = 0;
    };
    std::vector<Key> keys;
    for (const char key : kOtherKeys.substr(1)) {
        const auto k = static_cast<unsigned char>(key);
        keys.push_back({KeyLabel(key), a.keyUse[k], b ? b->keyUse[k] : 0});
    }
    keys.push_back({QStringLiteral("左⇧"), a.leftShifts, b ? b->leftShifts : 0});
    keys.push_back({QStringLiteral("右⇧"), a.rightShifts, b ? b->rightShifts : 0});
    std::erase_if(keys, [](const Key& k) { return k.a + k.b == 0; });
    std::stable_sort(keys.begin(), keys.end(), [](const Key& x, const Key& y) { return x.a + x.b > y.a + y.b; });
    Key rest{QStringLiteral("其余")};
    for (std::size_t i = 0; i < keys.size(); ++i) {
        if (i + 1 >= kOtherKeyBars && keys.size() > kOtherKeyBars) {
            rest.a += keys[i].a;
            rest.b += keys[i].b;
            continue;
        }
        labels << keys[i].label;
        first.push_back(keys[i].a);
        if (b) second.push_back(keys[i].b);
    }
    if (keys.size() > kOtherKeyBars) {
        labels << rest.label;
        first.push_back(rest.a);
        if (b) second.push_back(rest.b);
    }
    otherKeys_->setBars(labels, first, second, legend);

    static const char* const kFingerLabels[typing::kFingers] = {"左小", "左无名", "左中", "左食", "右食",
                                                                "右中", "右无名", "右小", "拇指"};
    labels.clear();
    first.clear();
    second.clear();
    const auto fingersA = a.fingerUse();
    for (std::size_t f = 0; f < typing::kFingers; ++f) {
        labels << QString::fromUtf8(kFingerLabels[f]);
        first.push_back(fingersA[f]);
        if (b) second.push_back(b->fingerUse()[f]);
    }
    fingers_->setBars(labels, first, second, legend);
    labels = QStringList{QStringLiteral("左手"), QStringLiteral("右手"), QStringLiteral("拇指")};
    first.clear();
    second.clear();
    const auto handsA = a.handUse();
    for (std::size_t h = 0; h < 3; ++h) {
        first.push_back(handsA[h]);
        if (b) second.push_back(b->handUse()[h]);
    }
    hands_->setBars(labels, first, second, legend);

    heatChoice_->blockSignals(true);
    const int chosen = heatChoice_->currentIndex();
    heatChoice_->clear();
    heatChoice_->addItem(QStringLiteral("原码表"));
    if (r.hasSecond) heatChoice_->addItem(r.secondName);
    heatChoice_->setCurrentIndex(r.hasSecond && chosen == 1 ? 1 : 0);
    heatChoice_->setEnabled(r.hasSecond);
    heatChoice_->blockSignals(false);
    showKeys();
}

void TypingWindow::showKeys() {
    if (!result_) return;
    const bool second = result_->hasSecond && heatChoice_->currentIndex() == 1;
    const typing::Figures& f = second ? result_->secondFigures : result_->figures;
    std::array<std::size_t, 26> counts{};
    for (std::size_t k = 0; k < 26; ++k) counts[k] = f.keyUse['a' + k];
    heat_->setCounts(
        QStringLiteral("%1各字母键的按键次数").arg(second ? result_->secondName : QStringLiteral("原码表")), counts);
}

void TypingWindow::showMissing() {
    const TypingResult& r = *result_;
    auto of = [](const QString& name, const typing::Figures& f) {
        return CharactersText(name + QStringLiteral("缺字（码表无此单字，按出现次数）"), f.missingCharacters) + u'\n' +
               CharactersText(name + QStringLiteral("无键字（码表没有，键盘上也没有）"), f.unkeyedCharacters);
    };
    QString text = of(QStringLiteral("原码表"), r.figures);
    if (r.hasSecond) text += u'\n' + of(r.secondName, r.secondFigures);
    missing_->setPlainText(text);
}

QString TypingWindow::reportText() const {
    if (!result_) return {};
    const TypingResult& r = *result_;
    QString t = QStringLiteral("码表评测\n输入：") + r.input + u'\n';
    t += QStringLiteral("选项：%1，首选 %2 上屏，每页 %3 个候选，选择键 %4\n\n")
             .arg(optimal_->isChecked() ? QStringLiteral("最优切分") : QStringLiteral("从左到右取最长的词"))
             .arg(autoCommit_->value() ? QStringLiteral("%1 码自动").arg(autoCommit_->value())
                                       : QStringLiteral("按空格"))
             .arg(pageSize_->value())
             .arg(selectKeys_->text());
    std::vector<std::string> titles{"原码表"};
    std::vector<std::vector<typing::FigureRow>> columns{typing::FigureRows(r.figures)};
    if (r.hasSecond) {
        titles.push_back(r.secondName.toStdString());
        columns.push_back(typing::FigureRows(r.secondFigures));
    }
    t += QString::fromStdString(typing::RowsText(titles, columns)) + u'\n';
    t += QStringLiteral("原码表缺字与无键字：\n") + QString::fromStdString(typing::MissingText(r.figures, 100));
    if (r.hasSecond) {
        t += u'\n' + r.secondName + QStringLiteral("缺字与无键字：\n") +
             QString::fromStdString(typing::MissingText(r.secondFigures, 100));
        t += QStringLiteral("\n词的变化：\n") + QString::fromStdString(typing::ChangesText(r.changes, 50));
    }
    return t;
}

}  // namespace zelmora::tools
