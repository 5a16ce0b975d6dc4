#include "ui/pane.h"

#include <QAbstractTextDocumentLayout>
#include <QApplication>
#include <QFileInfo>
#include <QInputMethodEvent>
#include <QKeyEvent>
#include <QMimeData>
#include <QMouseEvent>
#include <QTextBlock>
#include <QTextDocument>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <vector>

#include "core/collation.h"
#include "core/failure.h"
#include "formats/files.h"
#include "core/gbk.h"
#include "core/text.h"

namespace zelmora {

namespace {

std::u16string_view Utf16(const QString& s) {
    return {reinterpret_cast<const char16_t*>(s.utf16()), static_cast<std::size_t>(s.size())};
}

// Every LF of a text that holds no CR becomes CR LF.
std::string WithCrLf(std::string text) {
    std::size_t breaks = 0;
    for (char c : text)
        if (c == '\n') ++breaks;
    if (breaks == 0) return text;
    std::string out;
    out.resize(text.size() + breaks);
    char* o = out.data();
    for (char c : text) {
        if (c == '\n') *o++ = '\r';
        *o++ = c;
    }
    return out;
}

// Drops a lone high surrogate that cutting left at the end.
QString CutTo(const QString& text, qint64 length) {
    if (length <= 0) return {};
    if (length >= text.size()) return text;
    QString cut = text.left(static_cast<qsizetype>(length));
    if (!cut.isEmpty() && cut.back().isHighSurrogate()) cut.chop(1);
    return cut;
}

// Lines to a document block in a text the program writes.
constexpr int kLinesPerBlock = 64;

// The line separators of one block, held by the block: the pane's total
// follows as blocks are made, changed and removed, by the user as well.
class BlockBreaks : public QTextBlockUserData {
public:
    BlockBreaks(std::shared_ptr<qint64> total, int count) : total_(std::move(total)), count_(count) {
        *total_ += count_;
    }
    ~BlockBreaks() override { *total_ -= count_; }
    BlockBreaks(const BlockBreaks&) = delete;
    BlockBreaks& operator=(const BlockBreaks&) = delete;
    void set(int count) {
        *total_ += count - count_;
        count_ = count;
    }
    int count() const { return count_; }

private:
    std::shared_ptr<qint64> total_;
    int count_;
};

// Without wrapping, also the block's lines for the vertical scroll bar, which
// would otherwise take a block not yet laid out for one line.
void SetBreaks(QTextBlock block, const std::shared_ptr<qint64>& total, int count, bool unwrapped) {
    if (auto* data = static_cast<BlockBreaks*>(block.userData()))
        data->set(count);
    else if (count > 0)
        block.setUserData(new BlockBreaks(total, count));
    if (unwrapped && block.isVisible()) block.setLineCount(count + 1);
}

int BreaksIn(const QTextBlock& block) { return static_cast<int>(block.text().count(QChar::LineSeparator)); }

// True when the text has a CR or an LF that is not part of a CR LF pair.
bool HasLoneBreak(std::string_view text) {
    std::size_t pairs = 0;
    const char* const begin = text.data();
    const char* const end = begin + text.size();
    for (const char* p = begin; (p = static_cast<const char*>(std::memchr(p, '\n', static_cast<std::size_t>(end - p))));
         ++p) {
        if (p == begin || p[-1] != '\r') return true;
        ++pairs;
    }
    return static_cast<std::size_t>(std::count(begin, end, '\r')) != pairs;
}

// A text with CR LF breaks as the document takes it: a paragraph break after
// every kLinesPerBlock lines, a line separator for the other breaks; with the
// separators of each block that makes.
QString Packed(std::u16string_view text, std::vector<int>& breaksPerBlock) {
    QString out(static_cast<qsizetype>(text.size()), Qt::Uninitialized);
    char16_t* const start = reinterpret_cast<char16_t*>(out.data());
    char16_t* o = start;
    int inBlock = 0;
    const std::size_t n = text.size();
    for (std::size_t i = 0; i < n; ++i) {
        const char16_t c = text[i];
        if (c == u'\r' && i + 1 < n && text[i + 1] == u'\n') {
            ++i;
            if (++inBlock == kLinesPerBlock) {
                *o++ = u'\n';
                breaksPerBlock.push_back(inBlock - 1);
                inBlock = 0;
            } else {
                *o++ = QChar::LineSeparator;
            }
        } else {
            *o++ = c;
        }
    }
    breaksPerBlock.push_back(inBlock);
    out.truncate(o - start);
    return out;
}

std::string FullPath(const QString& path) { return QFileInfo(path).absoluteFilePath().toStdString(); }

std::string SystemError(int error) { return std::strerror(error); }

class FileHandle {
public:
    explicit FileHandle(int fd) : fd_(fd) {}
    ~FileHandle() {
        if (fd_ >= 0) ::close(fd_);
    }
    FileHandle(const FileHandle&) = delete;
    FileHandle& operator=(const FileHandle&) = delete;
    int get() const { return fd_; }
    int release() {
        int fd = fd_;
        fd_ = -1;
        return fd;
    }

private:
    int fd_;
};

}  // namespace

long SystemRead(int fd, void* buffer, unsigned long size) { return ::read(fd, buffer, size); }

Pane::Pane(QWidget* parent) : QPlainTextEdit(parent), separators_(std::make_shared<qint64>(0)) {
    setLineWrapMode(QPlainTextEdit::NoWrap);
    setTabChangesFocus(false);
    // Scroll bars that come and go change the text's width, and a new width
    // lays out every line again: for a big table that is a pause and hundreds
    // of megabytes. Kept on, they never change it.
    setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    // Before textChanged: the change handler counts the new lines.
    connect(document(), &QTextDocument::contentsChange, this, &Pane::onContentsChange);
    connect(this, &QPlainTextEdit::textChanged, this, &Pane::onTextChanged);
}

void Pane::setHint(const QString& hint) {
    hint_ = hint;
    setToolTip(hint);
}

qint64 Pane::characterCount() const {
    // The document counts one more: the separator after its last block.
    return document()->characterCount() - 1;
}

bool Pane::isTextEmpty() const { return document()->isEmpty(); }

qint64 Pane::room() const {
    const QTextCursor c = textCursor();
    return inputLimit_ - (characterCount() - (c.selectionEnd() - c.selectionStart()));
}

void Pane::onTextChanged() {
    if (settingText_) return;
    bytesValid_ = false;
    notifyChange();
}

void Pane::onContentsChange(int position, int, int added) {
    if (settingText_) return;
    // Only the blocks in the changed stretch hold other text now.
    const QTextDocument* doc = document();
    QTextBlock last = doc->findBlock(position + added);
    if (!last.isValid()) last = doc->lastBlock();
    const bool unwrapped = lineWrapMode() == NoWrap;
    for (QTextBlock block = doc->findBlock(position); block.isValid(); block = block.next()) {
        SetBreaks(block, separators_, BreaksIn(block), unwrapped);
        if (block == last) break;
    }
}

std::size_t Pane::lineCount() const {
    const QTextDocument* doc = document();
    if (doc->isEmpty()) return 0;
    auto lines = static_cast<std::size_t>(doc->blockCount() + *separators_);
    const QChar last = doc->characterAt(doc->characterCount() - 2);
    if (last == QChar::ParagraphSeparator || last == QChar::LineSeparator) --lines;  // the last line is empty
    return lines;
}

void Pane::notifyChange() {
    if (changeHandler_) changeHandler_();
}

void Pane::replaceText(std::string bytes, TextEncoding encoding) {
    // The bytes as ReadPaneText will give them back: CR LF breaks.
    if (HasLoneBreak(bytes)) bytes = NormalizeLineBreaks(bytes);
    std::vector<int> breaksPerBlock;
    QString text = Packed(DecodePaneText(bytes, encoding), breaksPerBlock);
    {
        // One change notification, after the whole text is in place.
        struct Guard {
            bool& flag;
            explicit Guard(bool& f) : flag(f) { flag = true; }
            ~Guard() { flag = false; }
        } guard(settingText_);
        setUpdatesEnabled(false);
        setPlainText(text);
        setUpdatesEnabled(true);
    }
    text = QString();
    // The old blocks took their counts with them.
    QTextDocument* doc = document();
    const bool asPacked = static_cast<std::size_t>(doc->blockCount()) == breaksPerBlock.size();
    const bool unwrapped = lineWrapMode() == NoWrap;
    std::size_t i = 0;
    for (QTextBlock block = doc->begin(); block.isValid(); block = block.next(), ++i)
        SetBreaks(block, separators_, asPacked ? breaksPerBlock[i] : BreaksIn(block), unwrapped);
    if (QAbstractTextDocumentLayout* layout = doc->documentLayout())
        emit layout->documentSizeChanged(layout->documentSize());
    bytes_ = std::move(bytes);
    encoding_ = bytes_.empty() ? TextEncoding::Gbk : encoding;
    bytesValid_ = true;
    notifyChange();
}

void Pane::keyPressEvent(QKeyEvent* e) {
    linesSelected_ = false;
    if (isReadOnly()) return QPlainTextEdit::keyPressEvent(e);
    const bool lineBreak = e->key() == Qt::Key_Return || e->key() == Qt::Key_Enter;
    if (lineBreak) {
        if (room() <= 0) return e->accept();
        if (e->modifiers() & Qt::ShiftModifier) {
            // A line break is always a new line here: Shift+Enter would put a
            // break inside the line that the line count doesn't see.
            QKeyEvent plain(e->type(), e->key(), e->modifiers() & ~Qt::ShiftModifier, e->text(), e->isAutoRepeat(),
                            static_cast<ushort>(e->count()));
            QPlainTextEdit::keyPressEvent(&plain);
            e->setAccepted(plain.isAccepted());
            return;
        }
        return QPlainTextEdit::keyPressEvent(e);
    }
    const QString text = e->text();
    const bool inserts = !text.isEmpty() && (text.at(0).isPrint() || text.at(0) == u'\t') &&
                         !(e->modifiers() & (Qt::ControlModifier | Qt::MetaModifier)) &&
                         !e->matches(QKeySequence::Paste);
    if (inserts) {
        const qint64 left = room();
        if (left <= 0) return e->accept();
        if (text.size() > left) {
            textCursor().insertText(CutTo(text, left));
            ensureCursorVisible();
            return e->accept();
        }
    }
    QPlainTextEdit::keyPressEvent(e);
}

void Pane::inputMethodEvent(QInputMethodEvent* e) {
    if (isReadOnly() || e->commitString().isEmpty()) return QPlainTextEdit::inputMethodEvent(e);
    const qint64 left = room();
    if (e->commitString().size() <= left) return QPlainTextEdit::inputMethodEvent(e);
    QInputMethodEvent cut(e->preeditString(), e->attributes());
    cut.setCommitString(CutTo(e->commitString(), left), e->replacementStart(), e->replacementLength());
    QPlainTextEdit::inputMethodEvent(&cut);
    e->setAccepted(cut.isAccepted());
}

void Pane::insertFromMimeData(const QMimeData* source) {
    if (isReadOnly() || !source || !source->hasText()) return QPlainTextEdit::insertFromMimeData(source);
    QString text = source->text();
    // A CR LF pair becomes one line break, as the document keeps it. A line
    // separator would break the line on the screen but not in the line count;
    // here it is a line break like the others.
    text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    text.replace(QChar::LineSeparator, u'\n');
    const qint64 left = room();
    if (left <= 0) return;
    QMimeData cut;
    cut.setText(CutTo(text, left));
    QPlainTextEdit::insertFromMimeData(&cut);
}

void Pane::mouseDoubleClickEvent(QMouseEvent* e) {
    QPlainTextEdit::mouseDoubleClickEvent(e);
    if (e->button() != Qt::LeftButton) return;
    doubleClicked_.start();
    doubleClickedAt_ = e->position().toPoint();
}

void Pane::mousePressEvent(QMouseEvent* e) {
    const QPoint at = e->position().toPoint();
    if (e->button() == Qt::LeftButton && (e->modifiers() & Qt::ShiftModifier) && linesSelected_) {
        // Shift+click after a triple click extends the selection by lines.
        selectLines(lineSelectionStart_, cursorForPosition(at));
        selectingLines_ = true;
        return e->accept();
    }
    linesSelected_ = false;
    const bool triple = e->button() == Qt::LeftButton && doubleClicked_.isValid() &&
                        !doubleClicked_.hasExpired(QApplication::doubleClickInterval()) &&
                        (at - doubleClickedAt_).manhattanLength() < QApplication::startDragDistance();
    QPlainTextEdit::mousePressEvent(e);
    if (!triple) return;
    // The editor selected the whole block; a line is what the user sees.
    doubleClicked_.invalidate();
    lineSelectionStart_ = cursorForPosition(at);
    selectLines(lineSelectionStart_, lineSelectionStart_);
    selectingLines_ = linesSelected_ = true;
}

void Pane::mouseMoveEvent(QMouseEvent* e) {
    if (selectingLines_ && (e->buttons() & Qt::LeftButton)) {
        selectLines(lineSelectionStart_, cursorForPosition(e->position().toPoint()));
        return e->accept();
    }
    QPlainTextEdit::mouseMoveEvent(e);
}

void Pane::mouseReleaseEvent(QMouseEvent* e) {
    selectingLines_ = false;
    QPlainTextEdit::mouseReleaseEvent(e);
}

void Pane::selectLines(const QTextCursor& from, const QTextCursor& to) {
    QTextCursor start = from.position() <= to.position() ? from : to;
    QTextCursor end = from.position() <= to.position() ? to : from;
    start.clearSelection();
    start.movePosition(QTextCursor::StartOfLine);
    end.clearSelection();
    end.movePosition(QTextCursor::EndOfLine);
    end.movePosition(QTextCursor::NextCharacter);  // with its line break
    start.setPosition(end.position(), QTextCursor::KeepAnchor);
    setTextCursor(start);
}

// The pane's bytes, read from the document only after an edit.
const std::string& PaneBytes(const Pane& pane) {
    if (!pane.bytesValid_) {
        if (pane.isTextEmpty()) {
            pane.bytes_.clear();
            pane.encoding_ = TextEncoding::Gbk;
        } else {
            PaneText text = EncodePaneText(Utf16(pane.document()->toPlainText()));
            pane.bytes_ = WithCrLf(std::move(text.bytes));
            pane.encoding_ = text.encoding;
        }
        pane.bytesValid_ = true;
    }
    return pane.bytes_;
}

std::string ReadPaneText(const Pane& pane) { return PaneBytes(pane); }

TextEncoding PaneTextEncoding(const Pane& pane) {
    PaneBytes(pane);
    return pane.encoding_;
}

PaneText ReadPaneTextAs(const Pane& pane) { return {PaneBytes(pane), PaneTextEncoding(pane)}; }

void WritePaneText(Pane& pane, std::string_view text) { WritePaneText(pane, text, TextEncoding::Gbk); }

void WritePaneText(Pane& pane, std::string_view text, TextEncoding encoding) {
    // An empty text is the same in either encoding.
    if (PaneBytes(pane) == text && (text.empty() || PaneTextEncoding(pane) == encoding)) return;
    pane.replaceText(std::string(text), encoding);
}

void WritePaneText(Pane& pane, const PaneText& text) { WritePaneText(pane, text.bytes, text.encoding); }

void ClearPane(Pane& pane) { pane.replaceText({}); }

std::size_t CountPaneLines(const Pane& pane) { return pane.lineCount(); }

bool SelectPaneLine(Pane& pane, std::size_t line) {
    if (line == 0) return false;
    // Blocks hold up to 64 lines each; their separator counts find the block
    // without reading the text before it.
    std::size_t first = 1;
    for (QTextBlock block = pane.document()->begin(); block.isValid(); block = block.next()) {
        const auto* data = static_cast<const BlockBreaks*>(block.userData());
        const std::size_t lines = static_cast<std::size_t>(data ? data->count() : 0) + 1;
        if (line >= first + lines) {
            first += lines;
            continue;
        }
        const QString text = block.text();
        int start = 0;
        for (std::size_t k = first; k < line; ++k)
            start = static_cast<int>(text.indexOf(QChar::LineSeparator, start)) + 1;
        int end = static_cast<int>(text.indexOf(QChar::LineSeparator, start));
        if (end < 0) end = static_cast<int>(text.size());
        QTextCursor cursor(block);
        cursor.setPosition(block.position() + start);
        cursor.setPosition(block.position() + end, QTextCursor::KeepAnchor);
        pane.setTextCursor(cursor);
        pane.ensureCursorVisible();
        return true;
    }
    return false;
}

void LoadPaneFromFile(Pane& pane, const QString& path, FileReadFunction read) {
    const QByteArray name = QFile::encodeName(path);
    FileHandle file(::open(name.constData(), O_RDONLY | O_CLOEXEC));
    if (file.get() < 0) throw Failure("Cannot open file \"" + FullPath(path) + "\". " + SystemError(errno));
    struct stat st {};
    if (::fstat(file.get(), &st) == 0 && S_ISDIR(st.st_mode))
        throw Failure("Cannot open file \"" + FullPath(path) + "\". " + SystemError(EISDIR));
    // Others may read the file meanwhile; writers that take locks wait.
    ::flock(file.get(), LOCK_SH | LOCK_NB);

    std::string bytes;
    if (S_ISREG(st.st_mode) && st.st_size > 0) bytes.reserve(static_cast<std::size_t>(st.st_size));
    char block[1 << 16];
    for (;;) {
        long n = read(file.get(), block, sizeof block);
        if (n == 0) break;
        if (n < 0) {
            if (errno == EINTR) continue;
            // Half a table is no table: the pane keeps what it held.
            throw Failure("Cannot read file \"" + FullPath(path) + "\". " + SystemError(errno));
        }
        bytes.append(block, static_cast<std::size_t>(n));
    }
    ::close(file.release());
    pane.replaceText(std::move(bytes));
    pane.setInputLimit(Pane::kLoadedInputLimit);
}

void LoadPaneFromStream(Pane& pane, ResourceStream& stream) { pane.replaceText(stream.readAll()); }

void LoadPaneFromText(Pane& pane, std::string bytes, TextEncoding encoding) {
    pane.replaceText(std::move(bytes), encoding);
    pane.setInputLimit(Pane::kLoadedInputLimit);
}

void SavePaneToFile(const Pane& pane, const QString& path) {
    // Beside the (final) target and renamed into place; the old file's mode
    // and owner stay; a failed write leaves the old file whole.
    SafeWriteOptions options;
    options.sync = true;
    options.writeFailure = "Failed to Save Stream";
    WriteFileSafely(QFile::encodeName(QFileInfo(path).absoluteFilePath()).toStdString(), PaneBytes(pane), options);
}

}  // namespace zelmora
