#pragma once
// Finding in a pane: Ctrl+F opens a bar over the current page with a text
// field, the count of matches and the way to the next (F3, Enter) and the
// previous (Shift+F3, Shift+Enter) one; Escape closes it. A code typed alone
// (letters only) finds the lines that start with it; any other text is found
// anywhere, ignoring case. Ctrl+G goes to a line number. These are keys of
// the panes, not of a menu.
#include <QFrame>
#include <QPointer>
#include <functional>
#include <optional>
#include <vector>

class QLabel;
class QLineEdit;
class QToolButton;

namespace zelmora {

class Pane;

class FindBar : public QFrame {
    Q_OBJECT

public:
    // `area`: the widget whose bottom the bar covers when it is shown (the
    // page control); the bar is its sibling, above it.
    FindBar(QWidget* parent, QWidget* area);

    // The pane's keys open the bar and go to a line.
    void watch(Pane* pane);

    // Shows the bar for the pane, the field's text selected.
    void openFor(Pane* pane);
    void dismiss();
    Pane* pane() const { return pane_; }

    QLineEdit* field() const { return field_; }
    QLabel* countLabel() const { return count_; }

    struct Match {
        int position;  // in the pane's document
        int length;
    };
    const std::vector<Match>& matches() const { return matches_; }
    // Index of the match selected in the pane, or -1.
    int current() const { return current_; }

    void findNext();
    void findPrevious();

    // Asks for a line number between 1 and `last` (`now` proposed): a modal
    // input dialog unless another asker is given (tests answer at once).
    using LineAsker = std::function<std::optional<int>(QWidget* parent, int last, int now)>;
    void setLineAsker(LineAsker asker) { lineAsker_ = std::move(asker); }
    // Ctrl+G on the pane: asks, then goes there.
    void goToLine(Pane* pane);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void search();
    void select(int index);
    void place();
    void showCount();

    QWidget* area_;
    QLineEdit* field_;
    QLabel* count_;
    QToolButton *previous_, *next_, *close_;
    QPointer<Pane> pane_;
    std::vector<Match> matches_;
    int current_ = -1;
    LineAsker lineAsker_;
};

// Puts the pane's cursor at the start of text line `line` (from 1; lines past
// the end go to the last) and shows it.
void GoToPaneLine(Pane& pane, std::size_t line);
// The text line (from 1) the pane's cursor is on.
std::size_t PaneCursorLine(const Pane& pane);

}  // namespace zelmora
