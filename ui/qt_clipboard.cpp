// The clipboard read of the paste commands.
#include <QClipboard>
#include <QGuiApplication>
#include <QMimeData>

#include "core/failure.h"
#include "core/gbk.h"
#include "core/text.h"
#include "ui/pane.h"

namespace zelmora {

std::string ReadClipboardText() {
    QClipboard* clipboard = qobject_cast<QGuiApplication*>(QCoreApplication::instance()) ? QGuiApplication::clipboard()
                                                                                          : nullptr;
    if (!clipboard) throw Failure("Cannot open clipboard");
    const QMimeData* data = clipboard->mimeData(QClipboard::Clipboard);
    if (!data || !data->hasText()) return {};
    const QString text = data->text();
    std::string bytes = EncodeGbk({reinterpret_cast<const char16_t*>(text.utf16()), static_cast<std::size_t>(text.size())});
    bytes.resize(UpToNul(bytes).size());
    // Text on this desktop's clipboard breaks lines with LF; the panes and the
    // tables use CR LF, so a pane's own text pasted back compares equal.
    return NormalizeLineBreaks(bytes);
}

}  // namespace zelmora
