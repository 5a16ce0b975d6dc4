#include "ui/tools/tools_menu.h"

#include <QMenu>
#include <QMenuBar>

#include "ui/form.h"
#include "ui/tools/check_window.h"
#include "ui/tools/diff_window.h"
#include "ui/tools/encode_window.h"
#include "ui/tools/reorder_window.h"
#include "ui/tools/shortcode_window.h"
#include "ui/tools/stats_window.h"
#include "ui/tools/typing_window.h"

namespace zelmora::tools {

namespace {

template <class Window>
Window* WindowOf(TForm1* form) {
    if (auto* w = form->findChild<Window*>(QString(), Qt::FindDirectChildrenOnly)) return w;
    return new Window(form);
}

void Present(ToolWindow* w) { w->present(); }

}  // namespace

CheckWindow* CheckWindowOf(TForm1* form) { return WindowOf<CheckWindow>(form); }
EncodeWindow* EncodeWindowOf(TForm1* form) { return WindowOf<EncodeWindow>(form); }
StatsWindow* StatsWindowOf(TForm1* form) { return WindowOf<StatsWindow>(form); }
DiffWindow* DiffWindowOf(TForm1* form) { return WindowOf<DiffWindow>(form); }
TypingWindow* TypingWindowOf(TForm1* form) { return WindowOf<TypingWindow>(form); }
ReorderWindow* ReorderWindowOf(TForm1* form) { return WindowOf<ReorderWindow>(form); }
ShortCodeWindow* ShortCodeWindowOf(TForm1* form) { return WindowOf<ShortCodeWindow>(form); }

QMenu* AddToolsMenu(TForm1* form) {
    QMenu* menu = form->menuBar()->addMenu(QStringLiteral("工具"));
    menu->setObjectName("ToolsMenu");
    menu->menuAction()->setObjectName("ToolsMenu");
    menu->setFont(form->font());
    auto item = [&](const char* name, const QString& caption, auto open) {
        QAction* a = menu->addAction(caption);
        a->setObjectName(name);
        QObject::connect(a, &QAction::triggered, form, [form, open] { open(form); });
    };
    // The check and the statistics run at once on the table as it is; the
    // others wait for words, a file or the texts to type.
    item("ToolCheck", QStringLiteral("检查码表"), [](TForm1* f) {
        CheckWindow* w = CheckWindowOf(f);
        Present(w);
        w->check();
    });
    item("ToolEncode", QStringLiteral("编码新词"), [](TForm1* f) { Present(EncodeWindowOf(f)); });
    item("ToolStats", QStringLiteral("码表统计"), [](TForm1* f) {
        StatsWindow* w = StatsWindowOf(f);
        Present(w);
        w->count();
    });
    item("ToolDiff", QStringLiteral("比较码表"), [](TForm1* f) {
        DiffWindow* w = DiffWindowOf(f);
        Present(w);
        w->chooseFile();
    });
    item("ToolTyping", QStringLiteral("码表评测"), [](TForm1* f) { Present(TypingWindowOf(f)); });
    item("ToolReorder", QStringLiteral("按词频调序"), [](TForm1* f) { Present(ReorderWindowOf(f)); });
    item("ToolShortCodes", QStringLiteral("简码优化"), [](TForm1* f) { Present(ShortCodeWindowOf(f)); });
    return menu;
}

}  // namespace zelmora::tools
