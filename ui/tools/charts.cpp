#include "ui/tools/charts.h"

#include <QPainter>
#include <QPaintEvent>
#include <algorithm>

namespace zelmora::tools {

namespace {

QString Share(std::size_t part, std::size_t whole) {
    return whole ? QString::number(100.0 * static_cast<double>(part) / static_cast<double>(whole), 'f', 1) + u'%'
                 : QStringLiteral("0%");
}

// A count too wide for `room` pixels is written in 万 or 亿.
QString CountText(std::size_t value, const QFontMetrics& fm, int room) {
    QString full = QString::number(value);
    if (fm.horizontalAdvance(full) <= room || value < 10000) return full;
    const bool yi = value >= 100000000;
    const double scaled = static_cast<double>(value) / (yi ? 1e8 : 1e4);
    return QString::number(scaled, 'f', scaled < 10 ? 1 : 0) + (yi ? QStringLiteral("亿") : QStringLiteral("万"));
}

}  // namespace

BarChart::BarChart(const QString& title, const QString& unit, QWidget* parent)
    : QWidget(parent), title_(title), unit_(unit) {
    setMinimumSize(300, 200);
}

void BarChart::setBars(const QStringList& labels, const std::vector<std::size_t>& values,
                       const std::vector<std::size_t>& second, const QStringList& legend) {
    labels_ = labels;
    values_ = values;
    second_ = second;
    legend_ = legend;
    update();
}

void BarChart::setShares(bool shares) {
    shares_ = shares;
    update();
}

QString BarChart::valueText(std::size_t value, std::size_t total, int room) const {
    return shares_ ? Share(value, total) : CountText(value, QFontMetrics(font()), room);
}

void BarChart::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    p.fillRect(rect(), palette().base());
    const QFontMetrics fm(font());
    const int line = fm.height();
    p.setPen(palette().text().color());
    QFont bold = font();
    bold.setBold(true);
    p.setFont(bold);
    p.drawText(QRect(0, 4, width(), line + 2), Qt::AlignHCenter, title_);
    p.setFont(font());
    // The unit on the title's row, at the left; a free line above the
    // tallest bar for its value.
    // Two tables: two more lines, below the legend, for a value lifted over its neighbour's.
    const bool two = !second_.empty();
    const int top0 = line + 8 + line + 2 + (two ? 2 * line : 0);
    const QRect plot(40, top0, width() - 50, height() - top0 - 2 * line - 8);
    p.drawText(QRect(6, 4, 200, line + 2), Qt::AlignLeft, unit_);
    const QColor colours[2] = {QColor(70, 110, 190), QColor(220, 130, 50)};
    if (two && legend_.size() == 2) {
        // The legend on the unit's line, at the right: a swatch and a name per table.
        int x = width() - 6;
        for (int s = 1; s >= 0; --s) {
            const int w = fm.horizontalAdvance(legend_[s]);
            x -= w;
            p.setPen(palette().text().color());
            p.drawText(QRect(x, line + 6, w, line), Qt::AlignLeft, legend_[s]);
            x -= line * 3 / 4 + 4;
            p.fillRect(QRect(x, line + 6 + line / 4, line * 3 / 4, line / 2), colours[s]);
            x -= 12;
        }
    }
    if (values_.empty() || plot.width() <= 0 || plot.height() <= 0) return;
    std::size_t top = std::max<std::size_t>(1, *std::max_element(values_.begin(), values_.end()));
    if (two) top = std::max(top, *std::max_element(second_.begin(), second_.end()));
    std::size_t totals[2] = {0, 0};
    for (std::size_t v : values_) totals[0] += v;
    for (std::size_t v : second_) totals[1] += v;
    p.setPen(palette().text().color());
    p.drawLine(plot.bottomLeft(), plot.bottomRight());
    p.drawLine(plot.bottomLeft(), plot.topLeft());
    const int n = static_cast<int>(std::max(values_.size(), second_.size()));
    const double slot = static_cast<double>(plot.width()) / n;
    const int series = two ? 2 : 1;
    const int bar = std::max(4, static_cast<int>(slot * 0.6 / series));
    QFont small = font();
    if (two) small.setPointSizeF(font().pointSizeF() * 0.85);
    const int room = static_cast<int>(slot) / series + 8;
    // Two tables' values stack over their pair of bars; when one is wider
    // than the pair, the bars go unlabelled rather than overprinted.
    bool labelled = true;
    if (two)
        for (int s = 0; s < series && labelled; ++s)
            for (std::size_t v : s == 0 ? values_ : second_)
                if (QFontMetrics(small).horizontalAdvance(valueText(v, totals[s], room)) > slot - 4) {
                    labelled = false;
                    break;
                }
    // The bars first, then their values: a value wider than its bar may
    // reach over the neighbouring bar.
    auto barOf = [&](int i, int s) {
        const std::vector<std::size_t>& v = s == 0 ? values_ : second_;
        const std::size_t value = static_cast<std::size_t>(i) < v.size() ? v[static_cast<std::size_t>(i)] : 0;
        const int h = static_cast<int>(static_cast<double>(plot.height()) * static_cast<double>(value) /
                                       static_cast<double>(top));
        const int x = plot.left() + static_cast<int>(slot * i + (slot - bar * series) / 2) + s * bar;
        return std::pair{QRect(x, plot.bottom() - h, bar, h), value};
    };
    for (int i = 0; i < n; ++i)
        for (int s = 0; s < series; ++s) p.fillRect(barOf(i, s).first, colours[s]);
    p.setPen(palette().text().color());
    for (int i = 0; i < n; ++i) {
        p.setFont(small);
        QRect before;  // the first table's value, which the second's must not cover
        for (int s = 0; s < series && labelled; ++s) {
            const auto [r, value] = barOf(i, s);
            const QString text = valueText(value, totals[s], room);
            const int w = QFontMetrics(small).horizontalAdvance(text) + 2;
            QRect at(r.center().x() - w / 2, r.top() - line - 1, w, line);
            if (s == 1 && at.intersects(before)) at.moveBottom(before.top() - 1);
            p.drawText(at, Qt::AlignHCenter | Qt::AlignBottom, text);
            before = at;
        }
        p.setFont(font());
        p.drawText(QRect(plot.left() + static_cast<int>(slot * i), plot.bottom() + 3, static_cast<int>(slot), line),
                   Qt::AlignHCenter, i < labels_.size() ? labels_[i] : QString());
    }
}

KeyboardHeatMap::KeyboardHeatMap(QWidget* parent) : QWidget(parent) { setMinimumSize(minimumSizeHint()); }

void KeyboardHeatMap::setCounts(const QString& title, const std::array<std::size_t, 26>& counts, std::size_t others) {
    title_ = title;
    counts_ = counts;
    others_ = others;
    update();
}

std::size_t KeyboardHeatMap::total() const {
    std::size_t total = others_;
    for (std::size_t n : counts_) total += n;
    return total;
}

QString KeyboardHeatMap::totalText() const {
    QString text = QStringLiteral("每键注键名字、次数与占比（共 %1 次").arg(total());
    if (others_) text += QStringLiteral("，其中其他键 %1 次").arg(others_);
    return text + QStringLiteral("）");
}

QString KeyboardHeatMap::KeyName(char c) {
    // The key-name characters of the 25 keys, a to y.
    static const char16_t names[] = u"工子又大月土王目水日口田山已火之金白木禾立女人纟言";
    if (c < 'a' || c > 'y') return {};
    return QString(QChar(names[c - 'a']));
}

void KeyboardHeatMap::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    p.fillRect(rect(), palette().window());
    const QFontMetrics fm(font());
    const int line = fm.height();
    QFont bold = font();
    bold.setBold(true);
    p.setFont(bold);
    p.setPen(palette().windowText().color());
    p.drawText(QRect(0, 2, width(), line + 2), Qt::AlignHCenter, title_);

    // Colours span the least and the most used of the 26 keys, so that
    // shares that differ by a few points still look different.
    const std::size_t total = this->total();
    std::size_t top = 0, least = static_cast<std::size_t>(-1);
    for (std::size_t n : counts_) {
        top = std::max(top, n);
        least = std::min(least, n);
    }
    const double span = top > least ? static_cast<double>(top - least) : 1.0;
    auto heat = [&](std::size_t n) { return top > least ? static_cast<double>(n - least) / span : (n ? 1.0 : 0.0); };
    auto colour = [](double t) { return QColor::fromHsvF(0.16 * (1.0 - t), 0.12 + 0.78 * t, 1.0 - 0.25 * t); };
    const char* const rows[] = {"qwertyuiop", "asdfghjkl", "zxcvbnm"};
    const int offsets2[] = {0, 1, 2};  // quarter keys: rows step right as on a keyboard
    const int gap = 4;
    const int key = std::max(40, std::min((width() - 20) / 10 - gap, (height() - 3 * line - 30) / 3 - gap));
    const int totalWidth = 10 * (key + gap) + 2 * (key / 2);
    const int left0 = std::max(4, (width() - totalWidth) / 2);
    int y = line + 10;
    QFont small = font();
    small.setPixelSize(std::max(10, key / 5));
    QFont big = font();
    big.setPixelSize(std::max(12, key / 3));
    big.setBold(true);
    for (int r = 0; r < 3; ++r) {
        int x = left0 + offsets2[r] * key / 2;
        for (const char* c = rows[r]; *c; ++c) {
            const QRect box(x, y, key, key);
            const std::size_t n = counts_[static_cast<std::size_t>(*c - 'a')];
            p.setPen(QPen(QColor(90, 90, 90), 1));
            p.setBrush(colour(heat(n)));
            p.drawRoundedRect(box, 5, 5);
            p.setPen(heat(n) > 0.6 ? Qt::white : Qt::black);
            p.setFont(big);
            p.drawText(box.adjusted(4, 2, -4, 0), Qt::AlignLeft | Qt::AlignTop, QString(QChar(*c)).toUpper());
            p.drawText(box.adjusted(4, 2, -4, 0), Qt::AlignRight | Qt::AlignTop, KeyName(*c));
            p.setFont(small);
            p.drawText(box.adjusted(2, 0, -2, -2), Qt::AlignHCenter | Qt::AlignBottom,
                       CountText(n, QFontMetrics(small), key - 4) + u'\n' + Share(n, total));
            x += key + gap;
        }
        y += key + gap;
    }
    // The legend: the colour scale from the least to the most used key.
    p.setFont(font());
    p.setPen(palette().windowText().color());
    const QString few = QStringLiteral("最少 %1").arg(least == static_cast<std::size_t>(-1) ? 0 : least);
    const QString many = QStringLiteral("最多 %1").arg(top);
    const int barWidth = 160;
    int x = (width() - barWidth) / 2;
    p.drawText(QRect(0, y + 2, x - 6, line), Qt::AlignRight | Qt::AlignVCenter, few);
    for (int i = 0; i < barWidth; ++i) {
        p.setPen(colour(static_cast<double>(i) / (barWidth - 1)));
        p.drawLine(x + i, y + 4, x + i, y + line - 1);
    }
    p.setPen(palette().windowText().color());
    p.drawText(QRect(x + barWidth + 6, y + 2, width(), line), Qt::AlignLeft | Qt::AlignVCenter, many);
    p.drawText(QRect(0, y + line + 6, width(), line + 2), Qt::AlignHCenter, totalText());
}

}  // namespace zelmora::tools
