#pragma once
// The review of a proposed change to the source table, for the tools that
// propose one ("按词频调序", and others to come): the changes as the
// comparison window lists them, one a line, each ticked or not, beside the
// typing figures before and after taking the ticked ones.
#include <QStringList>
#include <QWidget>
#include <vector>

class QListWidget;
class QPlainTextEdit;
class QPushButton;

namespace zelmora::tools {

class ProposalView : public QWidget {
    Q_OBJECT

public:
    explicit ProposalView(QWidget* parent = nullptr);

    // The changes (all ticked) and the figures' text.
    void setProposal(const QStringList& changes, const QString& figures);
    void clear() { setProposal({}, {}); }
    int count() const;
    // Whether each change is ticked, in the order given.
    std::vector<bool> ticked() const;
    int tickedCount() const;
    void setTicked(int row, bool on);
    void setAllTicked(bool on);
    QString figuresText() const;
    // New figures for the same changes (those of the changes now ticked).
    void setFigures(const QString& figures);
    QListWidget* changes() const { return list_; }

signals:
    void tickedChanged();

private:
    QListWidget* list_;
    QPlainTextEdit* figures_;
    QPushButton *all_, *none_;
};

}  // namespace zelmora::tools
