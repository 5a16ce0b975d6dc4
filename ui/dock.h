#pragma once
// A container that places its children by docking, as the window is laid out:
// strips along the top or bottom keep their height, panes along the left keep
// their width, and one child takes what is left. Children's minimum sizes
// don't hold the window back, so a narrow window cuts the right-most panes off.
#include <QWidget>
#include <vector>

namespace zelmora {

class DockHost : public QWidget {
public:
    enum class Side { Top, Bottom, Left, Client };

    explicit DockHost(QWidget* parent = nullptr) : QWidget(parent) {}

    // `extent`: height for Top and Bottom, width for Left; unused for Client.
    void dock(QWidget* child, Side side, int extent = 0);

protected:
    void resizeEvent(QResizeEvent* e) override;

private:
    void arrange();
    struct Docked {
        QWidget* widget;
        Side side;
        int extent;
    };
    std::vector<Docked> docked_;
};

}  // namespace zelmora
