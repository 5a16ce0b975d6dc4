#pragma once
// Pictures of a table's figures: a bar chart (of one table, or two side by
// side), and key usage as a heat map on the Wubi-86 keyboard.
#include <QString>
#include <QStringList>
#include <QWidget>
#include <array>
#include <cstddef>
#include <vector>

namespace zelmora::tools {

class BarChart : public QWidget {
    Q_OBJECT

public:
    BarChart(const QString& title, const QString& unit, QWidget* parent = nullptr);
    // One bar a label; each bar is labelled with its value. With `second`, a
    // second table's bar beside each in another colour, `legend` naming both.
    void setBars(const QStringList& labels, const std::vector<std::size_t>& values,
                 const std::vector<std::size_t>& second = {}, const QStringList& legend = {});
    // Each bar labelled with its share of its table's bars rather than its count.
    void setShares(bool shares);
    const QStringList& labels() const { return labels_; }
    const std::vector<std::size_t>& values() const { return values_; }
    const std::vector<std::size_t>& secondValues() const { return second_; }
    QSize sizeHint() const override { return {360, 220}; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QString valueText(std::size_t value, std::size_t total, int room) const;

    QString title_, unit_;
    QStringList labels_, legend_;
    std::vector<std::size_t> values_, second_;
    bool shares_ = false;
};

// The 26 keys a-z in their rows as on the keyboard, each with its key-name
// character (none for z), and the count and share of its uses, coloured from
// pale to deep by share. z is counted like every other key: a table's z codes
// are keys pressed like any others.
class KeyboardHeatMap : public QWidget {
    Q_OBJECT

public:
    explicit KeyboardHeatMap(QWidget* parent = nullptr);
    // `others`: uses of keys outside a-z, which have no place on the map but
    // count in the total that the shares are of.
    void setCounts(const QString& title, const std::array<std::size_t, 26>& counts, std::size_t others = 0);
    const std::array<std::size_t, 26>& counts() const { return counts_; }
    const QString& title() const { return title_; }
    // All uses, a-z and the others: what the shares are of.
    std::size_t total() const;
    // The line under the map, with the total.
    QString totalText() const;
    QSize sizeHint() const override { return {620, 270}; }
    QSize minimumSizeHint() const override { return {560, 250}; }

    // The key-name character of key `c` (a-y).
    static QString KeyName(char c);

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QString title_;
    std::array<std::size_t, 26> counts_{};
    std::size_t others_ = 0;
};

}  // namespace zelmora::tools
