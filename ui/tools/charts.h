#pragma once
// Pictures of a table's figures: a bar chart, and key usage as a heat map on
// the Wubi-86 keyboard.
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
    // One bar a label; each bar is labelled with its value.
    void setBars(const QStringList& labels, const std::vector<std::size_t>& values);
    const QStringList& labels() const { return labels_; }
    QSize sizeHint() const override { return {360, 220}; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QString title_, unit_;
    QStringList labels_;
    std::vector<std::size_t> values_;
};

// The 25 keys a-y in their rows as on the keyboard (and z, the wildcard, in
// grey), each with its zone and position, its key-name character, and the
// count and share of its uses, coloured from pale to deep by share.
class KeyboardHeatMap : public QWidget {
    Q_OBJECT

public:
    explicit KeyboardHeatMap(QWidget* parent = nullptr);
    void setCounts(const QString& title, const std::array<std::size_t, 26>& counts);
    QSize sizeHint() const override { return {620, 270}; }
    QSize minimumSizeHint() const override { return {560, 250}; }

    // The key-name character of key `c` (a-y).
    static QString KeyName(char c);

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QString title_;
    std::array<std::size_t, 26> counts_{};
};

}  // namespace zelmora::tools
