// The clipboard read of the paste commands.
#include <QClipboard>
#include <QGuiApplication>
#include <QMimeData>

#include "core/failure.h"
#include "core/text.h"
#include "ui/clipboard_owner.h"
#include "ui/pane.h"

namespace zelmora {

PaneText ReadClipboard(const ClipboardOwnerCheck& ownerAnswers) {
    QClipboard* clipboard =
        qobject_cast<QGuiApplication*>(QCoreApplication::instance()) ? QGuiApplication::clipboard() : nullptr;
    if (!clipboard) throw Failure("Cannot open clipboard");
    // Another program's clipboard is read from that program: one that doesn't
    // answer would hold the window for tens of seconds and then give nothing.
    if (!clipboard->ownsClipboard() && !ownerAnswers(kClipboardTimeout)) throw Failure("Cannot open clipboard");
    const QMimeData* data = clipboard->mimeData(QClipboard::Clipboard);
    if (!data || !data->hasText()) return {};
    PaneText text = EncodePaneText(data->text());
    text.bytes.resize(UpToNul(text.bytes).size());
    // Text on this desktop's clipboard breaks lines with LF; the panes and the
    // tables use CR LF, so a pane's own text pasted back compares equal.
    text.bytes = NormalizeLineBreaks(text.bytes);
    if (text.bytes.empty()) text.encoding = TextEncoding::Gbk;
    return text;
}

std::string ReadClipboardText() { return ReadClipboard(&DefaultClipboardOwnerCheck).bytes; }

}  // namespace zelmora
