#include "ui/status_line.h"

#include <QFontMetrics>
#include <QHelpEvent>
#include <QPainter>
#include <QToolTip>

#include <algorithm>

namespace zelmora {

namespace {

// Space kept between the text and the component beside it.
constexpr int kGap = 4;

}  // namespace

StatusLine::StatusLine(QWidget* parent) : QLabel(parent) {
    // A narrower or wider window gives it another room.
    if (parent) parent->installEventFilter(this);
}

bool StatusLine::eventFilter(QObject* watched, QEvent* e) {
    if (watched == parentWidget() && e->type() == QEvent::Resize) adjustSize();
    return QLabel::eventFilter(watched, e);
}

void StatusLine::setRoomUntil(QWidget* next) {
    next_ = next;
    updateGeometry();
    update();
}

int StatusLine::room() const {
    const QWidget* parent = parentWidget();
    int end = parent ? parent->contentsRect().right() + 1 : x() + QLabel::sizeHint().width();
    if (next_ && next_->parentWidget() == parent) end = std::min(end, next_->x() - kGap);
    return std::max(0, end - x());
}

StatusLine::Look StatusLine::look() const {
    const QString whole = text();
    const int space = room();
    QFont f = font();
    if (QFontMetrics(f).horizontalAdvance(whole) <= space) return {f, whole, true};
    // Smaller, a pixel at a time, while the text doesn't fit.
    const int from = f.pixelSize() > 0 ? f.pixelSize() : QFontInfo(f).pixelSize();
    for (int pixels = from - 1; pixels >= kSmallestPixels; --pixels) {
        f.setPixelSize(pixels);
        if (QFontMetrics(f).horizontalAdvance(whole) <= space) return {f, whole, true};
    }
    return {f, QFontMetrics(f).elidedText(whole, Qt::ElideRight, space), false};
}

QSize StatusLine::sizeHint() const {
    const QSize natural = QLabel::sizeHint();
    return {std::min(natural.width(), room()), natural.height()};
}

QSize StatusLine::minimumSizeHint() const { return sizeHint(); }

bool StatusLine::event(QEvent* e) {
    if (e->type() == QEvent::ToolTip) {
        // The whole text where it is cut short; the label's own tooltip else.
        const Look l = look();
        if (!l.whole) {
            QToolTip::showText(static_cast<QHelpEvent*>(e)->globalPos(), text(), this);
            return true;
        }
    }
    return QLabel::event(e);
}

void StatusLine::paintEvent(QPaintEvent* e) {
    const Look l = look();
    if (l.whole && l.font == font()) {
        QLabel::paintEvent(e);
        return;
    }
    QPainter painter(this);
    painter.setFont(l.font);
    painter.setPen(palette().color(foregroundRole()));
    painter.drawText(contentsRect(), Qt::AlignLeft | Qt::AlignVCenter, l.text);
}

}  // namespace zelmora
