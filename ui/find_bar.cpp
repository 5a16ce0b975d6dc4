#include "ui/find_bar.h"

#include <QEvent>
#include <QHBoxLayout>
#include <QInputDialog>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QTextBlock>
#include <QTextDocument>
#include <QToolButton>

#include <algorithm>

#include "ui/pane.h"

namespace zelmora {

namespace {

bool IsCode(const QString& text) {
    if (text.isEmpty()) return false;
    return std::all_of(text.begin(), text.end(),
                       [](QChar c) { return (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z'); });
}

bool LineBreak(QChar c) { return c == u'\n' || c == QChar::LineSeparator || c == QChar::ParagraphSeparator; }

int LinesIn(const QTextBlock& block) { return 1 + static_cast<int>(block.text().count(QChar::LineSeparator)); }

}  // namespace

FindBar::FindBar(QWidget* parent, QWidget* area) : QFrame(parent), area_(area) {
    lineAsker_ = [](QWidget* window, int last, int now) {
        bool ok = false;
        const int line =
            QInputDialog::getInt(window, QStringLiteral("转到行"), QStringLiteral("行号（1–%1）：").arg(last), now, 1,
                                 std::max(1, last), 1, &ok);
        return ok ? std::optional<int>(line) : std::nullopt;
    };
    setObjectName("FindBar1");
    setFrameStyle(QFrame::Panel | QFrame::Raised);
    setAutoFillBackground(true);
    auto* row = new QHBoxLayout(this);
    row->setContentsMargins(4, 2, 4, 2);
    row->setSpacing(4);
    auto* label = new QLabel(QStringLiteral("查找："), this);
    field_ = new QLineEdit(this);
    field_->setObjectName("FindField");
    field_->setToolTip(QStringLiteral("只有字母时找以它开头的行（编码）；否则在行中任意位置查找"));
    count_ = new QLabel(this);
    count_->setObjectName("FindCount");
    count_->setMinimumWidth(64);
    auto button = [this](const char* name, const QString& text, const QString& tip) {
        auto* b = new QToolButton(this);
        b->setObjectName(name);
        b->setText(text);
        b->setToolTip(tip);
        b->setAutoRaise(true);
        return b;
    };
    previous_ = button("FindPrevious", QStringLiteral("上一个"), QStringLiteral("上一个 (Shift+F3)"));
    next_ = button("FindNext", QStringLiteral("下一个"), QStringLiteral("下一个 (F3)"));
    close_ = button("FindClose", QStringLiteral("×"), QStringLiteral("关闭 (Esc)"));
    row->addWidget(label);
    row->addWidget(field_, 1);
    row->addWidget(count_);
    row->addWidget(previous_);
    row->addWidget(next_);
    row->addWidget(close_);
    connect(field_, &QLineEdit::textChanged, this, &FindBar::search);
    connect(previous_, &QToolButton::clicked, this, &FindBar::findPrevious);
    connect(next_, &QToolButton::clicked, this, &FindBar::findNext);
    connect(close_, &QToolButton::clicked, this, &FindBar::dismiss);
    field_->installEventFilter(this);
    area_->installEventFilter(this);
    hide();
}

void FindBar::watch(Pane* pane) { pane->installEventFilter(this); }

void FindBar::place() {
    const int h = sizeHint().height();
    const QRect r = area_->geometry();
    setGeometry(r.x(), r.bottom() + 1 - h, r.width(), h);
    raise();
}

void FindBar::openFor(Pane* pane) {
    const bool other = pane != pane_;
    pane_ = pane;
    place();
    show();
    field_->setFocus(Qt::ShortcutFocusReason);
    field_->selectAll();
    if (other) search();
}

void FindBar::dismiss() {
    hide();
    if (pane_) pane_->setFocus(Qt::OtherFocusReason);
}

void FindBar::search() {
    matches_.clear();
    current_ = -1;
    const QString query = field_->text();
    if (pane_ && !query.isEmpty()) {
        const QString text = pane_->document()->toPlainText();
        const int n = static_cast<int>(query.size());
        if (IsCode(query)) {
            // A code: the lines that start with it.
            for (int at = 0; (at = static_cast<int>(text.indexOf(query, at, Qt::CaseInsensitive))) >= 0; at += n)
                if (at == 0 || LineBreak(text.at(at - 1))) matches_.push_back({at, n});
        } else {
            for (int at = 0; (at = static_cast<int>(text.indexOf(query, at, Qt::CaseInsensitive))) >= 0; at += n)
                matches_.push_back({at, n});
        }
        // The first match at or after the cursor.
        if (!matches_.empty()) {
            const int from = pane_->textCursor().selectionStart();
            auto it = std::lower_bound(matches_.begin(), matches_.end(), from,
                                       [](const Match& m, int p) { return m.position < p; });
            select(it == matches_.end() ? 0 : static_cast<int>(it - matches_.begin()));
            return;
        }
    }
    showCount();
}

void FindBar::select(int index) {
    current_ = index;
    if (pane_ && index >= 0 && index < static_cast<int>(matches_.size())) {
        QTextCursor c(pane_->document());
        c.setPosition(matches_[static_cast<std::size_t>(index)].position);
        c.setPosition(
            matches_[static_cast<std::size_t>(index)].position + matches_[static_cast<std::size_t>(index)].length,
            QTextCursor::KeepAnchor);
        pane_->setTextCursor(c);
        // Mid-pane: the bar covers the pane's last lines.
        pane_->centerCursor();
    }
    showCount();
}

void FindBar::showCount() {
    if (field_->text().isEmpty())
        count_->clear();
    else if (matches_.empty())
        count_->setText(QStringLiteral("无匹配"));
    else
        count_->setText(QStringLiteral("%1/%2").arg(current_ + 1).arg(matches_.size()));
}

void FindBar::findNext() {
    if (matches_.empty()) return;
    select(current_ + 1 >= static_cast<int>(matches_.size()) ? 0 : current_ + 1);
}

void FindBar::findPrevious() {
    if (matches_.empty()) return;
    select(current_ <= 0 ? static_cast<int>(matches_.size()) - 1 : current_ - 1);
}

void FindBar::goToLine(Pane* pane) {
    const auto last = static_cast<int>(std::max<std::size_t>(1, CountPaneLines(*pane)));
    const std::optional<int> line = lineAsker_(window(), last, static_cast<int>(PaneCursorLine(*pane)));
    if (line) GoToPaneLine(*pane, static_cast<std::size_t>(std::max(1, *line)));
    pane->setFocus(Qt::OtherFocusReason);
}

bool FindBar::eventFilter(QObject* watched, QEvent* event) {
    if (watched == area_) {
        if (isVisible() && (event->type() == QEvent::Resize || event->type() == QEvent::Move)) place();
        return false;
    }
    if (event->type() != QEvent::KeyPress && event->type() != QEvent::ShortcutOverride) return false;
    auto* key = static_cast<QKeyEvent*>(event);
    const Qt::KeyboardModifiers mods = key->modifiers() & (Qt::ShiftModifier | Qt::ControlModifier | Qt::AltModifier);
    const bool find = key->key() == Qt::Key_F && mods == Qt::ControlModifier;
    const bool line = key->key() == Qt::Key_G && mods == Qt::ControlModifier;
    const bool next = key->key() == Qt::Key_F3 && mods == Qt::NoModifier;
    const bool previous = key->key() == Qt::Key_F3 && mods == Qt::ShiftModifier;
    const bool inField = watched == field_;
    const bool enter = inField && (key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter);
    const bool escape = inField && key->key() == Qt::Key_Escape;
    if (!(find || line || next || previous || enter || escape)) return false;
    // Claimed before any shortcut of the window sees them.
    if (event->type() == QEvent::ShortcutOverride) {
        event->accept();
        return true;
    }
    auto* pane = inField ? pane_.data() : qobject_cast<Pane*>(watched);
    if (find && pane) openFor(pane);
    if (line && pane) goToLine(pane);
    if (enter) (mods & Qt::ShiftModifier) ? findPrevious() : findNext();
    if (escape) dismiss();
    if (next || previous) {
        if (!isVisible() || field_->text().isEmpty()) {
            if (pane) openFor(pane);
        } else {
            if (!inField && pane != pane_) {
                pane_ = pane;
                search();
            }
            next ? findNext() : findPrevious();
        }
    }
    return true;
}

void GoToPaneLine(Pane& pane, std::size_t line) {
    QTextDocument* doc = pane.document();
    std::size_t before = 0;  // lines in the blocks before `block`
    QTextBlock block = doc->begin();
    for (; block.isValid(); block = block.next()) {
        const auto n = static_cast<std::size_t>(LinesIn(block));
        if (before + n >= line || !block.next().isValid()) break;
        before += n;
    }
    if (!block.isValid()) return;
    const QString text = block.text();
    int offset = 0;
    for (std::size_t k = before + 1; k < line; ++k) {
        const int at = static_cast<int>(text.indexOf(QChar::LineSeparator, offset));
        if (at < 0) break;
        offset = at + 1;
    }
    QTextCursor c(block);
    c.setPosition(block.position() + offset);
    pane.setTextCursor(c);
    pane.centerCursor();
}

std::size_t PaneCursorLine(const Pane& pane) {
    const QTextCursor c = pane.textCursor();
    const QTextBlock here = c.block();
    std::size_t line = 1;
    for (QTextBlock b = pane.document()->begin(); b.isValid() && b != here; b = b.next())
        line += static_cast<std::size_t>(LinesIn(b));
    const QString text = here.text().left(c.positionInBlock());
    return line + static_cast<std::size_t>(text.count(QChar::LineSeparator));
}

}  // namespace zelmora
