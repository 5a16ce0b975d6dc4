#pragma once
// The pane: a named plain-text area holding one table. Its text, as commands
// see it, is GBK bytes with CR LF line breaks, or GB18030 bytes when it holds
// a character that GBK lacks (ui/pane_text.h); the widget holds the same text
// as Unicode. A text written by the program is held as blocks of up to 64
// lines joined by line separators (U+2028): a million-line table is built and
// kept in a fraction of the time and memory that a block per line takes.
// Shown without wrapping, a line separator is a line break like any other.
#include <QElapsedTimer>
#include <QPlainTextEdit>
#include <QPoint>
#include <QString>
#include <QTextCursor>
#include <functional>
#include <memory>
#include <string>
#include <string_view>

#include "resources/resources.h"
#include "ui/clipboard_owner.h"
#include "ui/pane_text.h"

class QMimeData;

namespace zelmora {

class Pane : public QPlainTextEdit {
    Q_OBJECT

public:
    // What the user's typing and keyboard pasting may bring the text to, in
    // characters; a file load raises it for good.
    static constexpr qint64 kDefaultInputLimit = 65536;
    static constexpr qint64 kLoadedInputLimit = 0x7FFFFFF0;

    explicit Pane(QWidget* parent = nullptr);

    // Shown as the tooltip; the stem of the export file's name.
    QString hint() const { return hint_; }
    void setHint(const QString& hint);

    qint64 inputLimit() const { return inputLimit_; }
    void setInputLimit(qint64 limit) { inputLimit_ = limit; }

    // Runs after every change of the text, by the user or by the operations below.
    void setChangeHandler(std::function<void()> handler) { changeHandler_ = std::move(handler); }

    // Characters in the text, a line break counting one.
    qint64 characterCount() const;
    // Answered from the document, without reading the text.
    bool isTextEmpty() const;

    // The whole content replaced by `bytes` in `encoding`; then the change handler.
    void replaceText(std::string bytes, TextEncoding encoding = TextEncoding::Gbk);

    // Lines of the text, not counting a final empty line; from the blocks and
    // their counts of line separators, without reading the text.
    std::size_t lineCount() const;

protected:
    void keyPressEvent(QKeyEvent* e) override;
    void inputMethodEvent(QInputMethodEvent* e) override;
    void insertFromMimeData(const QMimeData* source) override;
    void mouseDoubleClickEvent(QMouseEvent* e) override;
    void mousePressEvent(QMouseEvent* e) override;
    void mouseMoveEvent(QMouseEvent* e) override;
    void mouseReleaseEvent(QMouseEvent* e) override;

private:
    friend const std::string& PaneBytes(const Pane& pane);
    friend TextEncoding PaneTextEncoding(const Pane& pane);

    void onTextChanged();
    void onContentsChange(int position, int removed, int added);
    void notifyChange();
    // How many characters the user may still bring in, replacing the selection.
    qint64 room() const;
    // Selects whole text lines, from the line of `from` to that of `to`.
    void selectLines(const QTextCursor& from, const QTextCursor& to);

    QString hint_;
    qint64 inputLimit_ = kDefaultInputLimit;
    std::function<void()> changeHandler_;
    bool settingText_ = false;
    // The bytes of the text as last read or written; dropped by any edit.
    mutable std::string bytes_;
    mutable bool bytesValid_ = true;
    mutable TextEncoding encoding_ = TextEncoding::Gbk;
    // Line separators in the document, kept by its blocks' user data.
    std::shared_ptr<qint64> separators_;
    // A triple click selects a text line, as it does a block of one line.
    QElapsedTimer doubleClicked_;
    QPoint doubleClickedAt_;
    QTextCursor lineSelectionStart_;
    bool selectingLines_ = false;  // the button is down after a triple click
    bool linesSelected_ = false;   // the selection is a triple click's
};

// The whole text as bytes, lines separated by CR LF; "" for an empty pane.
// GBK unless the text holds a character that GBK lacks: then GB18030.
std::string ReadPaneText(const Pane& pane);
// The same without a copy; valid until the pane next changes.
const std::string& PaneBytes(const Pane& pane);
// The encoding of those bytes.
TextEncoding PaneTextEncoding(const Pane& pane);
// The bytes with their encoding.
PaneText ReadPaneTextAs(const Pane& pane);
// Replaces the whole text (GBK bytes) unless it is byte for byte the same;
// then the change handler.
void WritePaneText(Pane& pane, std::string_view text);
// The same for bytes in the given encoding.
void WritePaneText(Pane& pane, std::string_view text, TextEncoding encoding);
void WritePaneText(Pane& pane, const PaneText& text);
// Empties the pane, then the change handler.
void ClearPane(Pane& pane);
// Lines of the text, not counting a final empty line.
std::size_t CountPaneLines(const Pane& pane);
// Selects text line `line` (from 1) and scrolls it into view; false when the
// pane has no such line.
bool SelectPaneLine(Pane& pane, std::size_t line);

// The read call behind LoadPaneFromFile: ::read, or another that fails
// part-way through a file (for tests).
using FileReadFunction = long (*)(int fd, void* buffer, unsigned long size);
long SystemRead(int fd, void* buffer, unsigned long size);

// Replace the whole text with the file's or stream's bytes, line breaks made
// CR LF, nothing else converted. A file load raises the input limit.
// Failures: "Cannot open file "%s". %s", "Cannot read file "%s". %s".
void LoadPaneFromFile(Pane& pane, const QString& path, FileReadFunction read = &SystemRead);
void LoadPaneFromStream(Pane& pane, ResourceStream& stream);
// A table read from a file by other means, taken as a file load takes it:
// line breaks made CR LF, the input limit raised.
void LoadPaneFromText(Pane& pane, std::string bytes, TextEncoding encoding);

// Writes ReadPaneText into the file: into a temporary file beside it that
// then takes its place, so a failed write leaves the old file as it was.
// Failures: "Cannot create file "%s". %s", "Failed to Save Stream".
void SavePaneToFile(const Pane& pane, const QString& path);

// The clipboard's text up to its first NUL, with CR LF line breaks; "" when
// it holds no text. GBK unless it holds a character that GBK lacks: then
// GB18030 (ReadClipboard says which). Fails with "Cannot open clipboard",
// also when another program owns the clipboard and `ownerAnswers` says it
// doesn't answer in time.
std::string ReadClipboardText();
PaneText ReadClipboard(const ClipboardOwnerCheck& ownerAnswers);

}  // namespace zelmora
