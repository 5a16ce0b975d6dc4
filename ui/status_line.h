#pragma once
// A status line that is never hidden by what stands beside it. Its text is
// always the whole status (text() gives it as set); it is drawn in the
// window's font where that fits the room up to the next component, else in a
// smaller font, down to kSmallestPixels, else cut short with "…" and the whole
// text shown as its tooltip. The label keeps its place; its width never
// reaches past its room.
#include <QLabel>
#include <QPointer>

namespace zelmora {

class StatusLine : public QLabel {
    Q_OBJECT

public:
    // The smallest font size a status line is drawn in: Chinese characters
    // are still legible at it.
    static constexpr int kSmallestPixels = 9;

    explicit StatusLine(QWidget* parent = nullptr);

    // The component whose left edge ends the room (the Extract button, the
    // next status line); none: the parent's right edge.
    void setRoomUntil(QWidget* next);
    // Pixels from the label's left edge to the end of its room.
    int room() const;

    // How the text is drawn now: its font, and the text itself (the whole
    // text, or cut short where even the smallest font is too wide).
    struct Look {
        QFont font;
        QString text;
        bool whole = true;
    };
    Look look() const;

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

protected:
    bool event(QEvent* e) override;
    bool eventFilter(QObject* watched, QEvent* e) override;
    void paintEvent(QPaintEvent* e) override;

private:
    QPointer<QWidget> next_;
};

}  // namespace zelmora
