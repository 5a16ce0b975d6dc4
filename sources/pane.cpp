#include "sources/pane.h"

#include <QFileInfo>
#include <QInputMethodEvent>
#include <QKeyEvent>
#include <QMimeData>
#include <QTextBlock>
#include <QTextDocument>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "core/collation.h"
#include "core/failure.h"
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

long SystemRead(int fd, void* buffer, unsigned long size) { return ::read(fd, buffer, size); }

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

FileReadFunction& FileReader() {
    static FileReadFunction reader = &SystemRead;
    return reader;
}

Pane::Pane(QWidget* parent) : QPlainTextEdit(parent) {
    setLineWrapMode(QPlainTextEdit::NoWrap);
    setTabChangesFocus(false);
    // Scroll bars that come and go change the text's width, and a new width
    // lays out every line again: for a big table that is a pause and hundreds
    // of megabytes. Kept on, they never change it.
    setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
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

void Pane::notifyChange() {
    if (changeHandler_) changeHandler_();
}

void Pane::replaceText(std::string bytes) {
    // The bytes as ReadPaneText will give them back: CR LF breaks.
    if (bytes.find_first_of("\r\n") != std::string::npos) bytes = NormalizeLineBreaks(bytes);
    const std::u16string unicode = DecodeGbk(bytes);
    const QString text = QString::fromUtf16(unicode.data(), static_cast<qsizetype>(unicode.size()));
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
    bytes_ = std::move(bytes);
    bytesValid_ = true;
    notifyChange();
}

void Pane::keyPressEvent(QKeyEvent* e) {
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

// The pane's bytes, read from the document only after an edit.
const std::string& PaneBytes(const Pane& pane) {
    if (!pane.bytesValid_) {
        if (pane.isTextEmpty()) {
            pane.bytes_.clear();
        } else {
            const QString text = pane.document()->toPlainText();
            pane.bytes_ = WithCrLf(EncodeGbk(Utf16(text)));
        }
        pane.bytesValid_ = true;
    }
    return pane.bytes_;
}

std::string ReadPaneText(const Pane& pane) { return PaneBytes(pane); }

void WritePaneText(Pane& pane, std::string_view text) {
    if (PaneBytes(pane) == text) return;
    pane.replaceText(std::string(text));
}

void ClearPane(Pane& pane) { pane.replaceText({}); }

std::size_t CountPaneLines(const Pane& pane) {
    const QTextDocument* doc = pane.document();
    std::size_t lines = static_cast<std::size_t>(doc->blockCount());
    if (doc->lastBlock().length() <= 1) --lines;  // the last line is empty
    return lines;
}

void LoadPaneFromFile(Pane& pane, const QString& path) {
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
        long n = FileReader()(file.get(), block, sizeof block);
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

void SavePaneToFile(const Pane& pane, const QString& path) {
    const std::string& text = PaneBytes(pane);
    const std::string full = FullPath(path);
    const QByteArray target = QFile::encodeName(QFileInfo(path).absoluteFilePath());

    struct stat old {};
    const bool exists = ::stat(target.constData(), &old) == 0;
    if (exists && ::access(target.constData(), W_OK) != 0)
        throw Failure("Cannot create file \"" + full + "\". " + SystemError(errno));

    QByteArray temporary = target + ".XXXXXX";
    FileHandle file(::mkostemp(temporary.data(), O_CLOEXEC));
    if (file.get() < 0) throw Failure("Cannot create file \"" + full + "\". " + SystemError(errno));
    mode_t mode;
    if (exists && S_ISREG(old.st_mode)) {
        mode = old.st_mode & 07777;
    } else {
        const mode_t mask = ::umask(0);
        ::umask(mask);
        mode = 0666 & ~mask;
    }
    ::fchmod(file.get(), mode);

    auto fail = [&](const std::string& message) {
        ::close(file.release());
        ::unlink(temporary.constData());
        throw Failure(message);
    };
    const char* p = text.data();
    std::size_t left = text.size();
    while (left > 0) {
        ssize_t n = ::write(file.get(), p, left);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) fail("Failed to Save Stream");
        p += n;
        left -= static_cast<std::size_t>(n);
    }
    if (::fsync(file.get()) != 0 && errno != EINVAL) fail("Failed to Save Stream");
    if (::close(file.release()) != 0) {
        ::unlink(temporary.constData());
        throw Failure("Failed to Save Stream");
    }
    if (::rename(temporary.constData(), target.constData()) != 0) {
        const int error = errno;
        ::unlink(temporary.constData());
        throw Failure("Cannot create file \"" + full + "\". " + SystemError(error));
    }
}

}  // namespace zelmora
