#include "ui/dock.h"

#include <algorithm>

namespace zelmora {

void DockHost::dock(QWidget* child, Side side, int extent) {
    child->setParent(this);
    docked_.push_back({child, side, extent});
    arrange();
}

void DockHost::resizeEvent(QResizeEvent* e) {
    QWidget::resizeEvent(e);
    arrange();
}

void DockHost::arrange() {
    // Top, then bottom, then left, then client: each takes its part of what
    // the ones before it left.
    int top = 0, bottom = height(), left = 0;
    const int right = width();
    for (const auto& d : docked_)
        if (d.side == Side::Top) {
            d.widget->setGeometry(0, top, right, d.extent);
            top += d.extent;
        }
    for (const auto& d : docked_)
        if (d.side == Side::Bottom) {
            bottom -= d.extent;
            d.widget->setGeometry(0, bottom, right, d.extent);
        }
    const int space = std::max(0, bottom - top);
    for (const auto& d : docked_)
        if (d.side == Side::Left) {
            d.widget->setGeometry(left, top, d.extent, space);
            left += d.extent;
        }
    for (const auto& d : docked_)
        if (d.side == Side::Client) d.widget->setGeometry(left, top, std::max(0, right - left), space);
}

}  // namespace zelmora
