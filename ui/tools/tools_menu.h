#pragma once
// The menu "工具" with the tool windows, each made on first use and shown
// again after: "检查码表", "编码新词", "码表统计", "比较码表",
// "码表评测", "按词频调序", "简码优化".
class QMenu;

namespace zelmora {

class TForm1;

namespace tools {

class CheckWindow;
class EncodeWindow;
class StatsWindow;
class DiffWindow;
class TypingWindow;
class ReorderWindow;
class ShortCodeWindow;

// Adds the menu at the end of the form's menu bar. The windows are children
// of the form.
QMenu* AddToolsMenu(TForm1* form);

// The windows, made when first asked for.
CheckWindow* CheckWindowOf(TForm1* form);
EncodeWindow* EncodeWindowOf(TForm1* form);
StatsWindow* StatsWindowOf(TForm1* form);
DiffWindow* DiffWindowOf(TForm1* form);
TypingWindow* TypingWindowOf(TForm1* form);
ReorderWindow* ReorderWindowOf(TForm1* form);
ShortCodeWindow* ShortCodeWindowOf(TForm1* form);

}  // namespace tools
}  // namespace zelmora
