#include "ui/form.h"

#include <QAction>
#include <QApplication>
#include <QAbstractItemView>
#include <QCompleter>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QMimeData>
#include <QContextMenuEvent>
#include <QMenu>
#include <QDir>
#include <QFileDialog>
#include <QFontDatabase>
#include <QFrame>
#include <QGroupBox>
#include <QLabel>
#include <QMenuBar>
#include <QMouseEvent>
#include <QHBoxLayout>
#include <QProgressBar>
#include <QProxyStyle>
#include <QPushButton>
#include <QScreen>
#include <QShortcut>
#include <QTabWidget>
#include <QThread>
#include <QTimer>
#include <QWindow>

#include <malloc.h>

#include <algorithm>
#include <exception>
#include <optional>
#include <span>
#include <utility>
#include <vector>

#include "resources/resources.h"
#include "transform/classify.h"
#include "transform/duplicates.h"
#include "transform/entry_table.h"
#include "transform/expand.h"
#include "core/text_encoding.h"
#include "transform/full_codes.h"
#include "transform/group.h"
#include "transform/relation.h"
#include "transform/results.h"
#include "transform/shortest.h"
#include "transform/status.h"
#include "formats/files.h"
#include "ui/about_content.h"
#include "ui/desktop.h"
#include "ui/dock.h"
#include "ui/find_bar.h"
#include "ui/status_line.h"
#include "formats/convert.h"
#include "ui/format_export.h"
#include "ui/user_message.h"
#include "ui/tools/tools_menu.h"

namespace zelmora {

// Captions fixed as the window has always shown them, not the version of
// the build (zelmora --version tells that).
const char* const kApplicationTitle = "Zelmora  v0.9.10.26";
const char* const kWindowCaption = "Zelmora v0.9.10.26";

namespace {

// Outer size of the window at start, and its largest width.
constexpr int kOuterWidth = 434;
constexpr int kOuterHeight = 507;
// The frame assumed while the platform doesn't tell its own: 4-pixel borders
// and a 19-pixel caption bar.
const QMargins kAssumedFrame(4, 23, 4, 4);
// The sizing border of that frame. A thinner frame leaves the rest as a margin
// inside the window, so that the client area keeps its designed width (426).
constexpr int kBorder = 4;
constexpr int kHelpHeight = 97;
// The page control's height at the start size, and what its tabs and frame
// take of it: pages are 418 x 337 whatever the style pads its tabs with.
constexpr int kPageControlHeight = 364;
constexpr int kTabBarHeight = 20;
// The client area below the menu bar at the start size.
constexpr int kClientHeight = kPageControlHeight + kHelpHeight;
// The menu bar takes what the outer height leaves once frame and client
// area are placed; never less than this.
constexpr int kSmallestMenuHeight = 17;

// The menu bar's height for a frame: the outer height minus the caption, the
// bottom border (at least 4) and the client area.
int MenuHeightFor(const QMargins& frame) {
    return std::max(kSmallestMenuHeight,
                    kOuterHeight - frame.top() - std::max(kBorder, frame.bottom()) - kClientHeight);
}

const QColor kLinkColour(0, 0, 255);              // 0xFF0000 as 0x00BBGGRR
const QColor kLinkHoverColour(0x80, 0x80, 0x00);  // 0x008080, olive

const char* const kHelpLines[] = {
    "帮助：",
    "首先通过主菜单，打开或粘贴（直接Ctrl+v下面会被截断）一个码表。",
    "中、右2个文本框，是其它页面操作的基础，一定要有结果。",
    "结果可Ctrl+a（全选）Ctrl+c（复制），并提供了导出为文本文件功能。",
    "可先利用内置码表测试下。待处理码表也应当类似于内置码表格式。",
    "举例：",
    "·欲简码的全码在重码时置后，可选“简码全码”标签提取。",
};

// The menu bar's own Alt handling left off: it depends on the style and,
// on X11, on how the platform reports the Alt key's own press, and misses
// there. The window opens the bar on Alt alone itself (eventFilter).
class AltKeyMenuBarStyle : public QProxyStyle {
public:
    int styleHint(StyleHint hint, const QStyleOption* option, const QWidget* widget,
                  QStyleHintReturn* returned) const override {
        if (hint == QStyle::SH_MenuBar_AltKeyNavigation) return 0;
        return QProxyStyle::styleHint(hint, option, widget, returned);
    }
};

QString Utf8(const std::string& s) { return QString::fromUtf8(s.data(), static_cast<qsizetype>(s.size())); }

void SetStatus(QLabel* label, const QString& text) {
    label->setText(text);
    label->adjustSize();  // status lines size themselves to their text
}

QString LineCount(const Pane& pane) { return Utf8(LineCountStatus(CountPaneLines(pane))); }

// The hourglass over a control while a long command works, and the control's
// own cursor again however the command ends.
class Hourglass {
public:
    // `normal`: the control's own cursor; none means it shows its parent's.
    explicit Hourglass(QWidget* control, std::optional<Qt::CursorShape> normal = std::nullopt)
        : control_(control), normal_(normal) {
        control_->setCursor(Qt::WaitCursor);
    }
    ~Hourglass() {
        if (normal_)
            control_->setCursor(*normal_);
        else
            control_->unsetCursor();
    }
    Hourglass(const Hourglass&) = delete;
    Hourglass& operator=(const Hourglass&) = delete;

private:
    QWidget* control_;
    std::optional<Qt::CursorShape> normal_;
};

// Lets the cleared panes and the wait text be painted before the work.
void DispatchPendingMessages() { QCoreApplication::processEvents(QEventLoop::AllEvents); }

// The derivations read their panes' bytes in the panes' encoding. Two panes
// read together are brought to one: GB18030 when either holds a character
// that GBK lacks.
TextEncoding CommonEncoding(const Pane& a, const Pane& b) {
    return PaneTextEncoding(a) == TextEncoding::Gb18030 || PaneTextEncoding(b) == TextEncoding::Gb18030
               ? TextEncoding::Gb18030
               : TextEncoding::Gbk;
}

// A pane's bytes in `encoding`: the pane's own when it is in that encoding.
class PaneInput {
public:
    PaneInput(const Pane& pane, TextEncoding encoding) {
        if (PaneTextEncoding(pane) == encoding) {
            view_ = PaneBytes(pane);
        } else {
            converted_ = ConvertPaneText(PaneBytes(pane), PaneTextEncoding(pane), encoding);
            view_ = converted_;
        }
    }
    std::string_view bytes() const { return view_; }

private:
    std::string converted_;
    std::string_view view_;
};

const char* const kAnyTableFilters[] = {
    "码表文件 (*.txt *.dict.yaml *.yaml *.dict *.ini *.dat *.lex)",
    "文本码表 (*.txt)",
    "Rime 词典 (*.dict.yaml)",
    "libime、fcitx5 码表 (*.txt *.dict)",
    "fcitx4 码表 (*.txt)",
    "ibus-table 码表 (*.txt)",
    "yong 码表 (*.txt *.ini)",
    "多多、冰凌、极点码表 (*.txt)",
    "搜狗、百度自定义短语 (*.txt *.ini)",
    "微软拼音、五笔自定义短语 (*.dat *.lex)",
    "所有文件 (*)",
};

// The panes the exports write, by number: the source table and every result.
std::vector<std::pair<int, const char*>> ExportedPanes() {
    std::vector<std::pair<int, const char*>> panes = {{kSourcePane, kSourceCaption}};
    for (const ResultInfo& r : kResults) panes.emplace_back(r.pane, r.hint);
    std::sort(panes.begin(), panes.end(), [](const auto& a, const auto& b) { return a.first < b.first; });
    return panes;
}

// A pane's text as the bytes of a file in the source table's encoding. A GBK
// source keeps today's bytes; a pane with characters outside GBK is written
// as GB18030, which holds them. A pane of a Windows phrase file (binary) is
// text in its UTF-16LE, with a byte-order mark.
std::string EncodeForSource(const PaneText& text, const OpenedTable& source) {
    if (source.encoding == formats::Encoding::Gbk || source.encoding == formats::Encoding::Gb18030) return text.bytes;
    const bool bom = source.hadBom || source.format == formats::Format::MsPhrase;
    return formats::EncodeText(text.bytes, source.encoding, bom, text.encoding);
}

}  // namespace

QFont WindowFont() {
    static const QString family = [] {
        const QStringList installed = QFontDatabase::families();
        for (const char* name : {"宋体", "SimSun", "NSimSun", "WenQuanYi Zen Hei", "Noto Sans CJK SC",
                                 "Noto Serif CJK SC", "AR PL UMing CN", "Droid Sans Fallback"}) {
            QString candidate = QString::fromUtf8(name);
            if (installed.contains(candidate, Qt::CaseInsensitive)) return candidate;
        }
        const QStringList chinese = QFontDatabase::families(QFontDatabase::SimplifiedChinese);
        return chinese.isEmpty() ? QString() : chinese.first();
    }();
    QFont font;
    if (!family.isEmpty()) font.setFamilies({family});
    font.setPixelSize(12);
    return font;
}

QString FailureText(const QString& message) {
    if (!message.isEmpty() && message.back() > u'.') return message + u'.';
    return message;
}

TForm1::TForm1(QWidget* parent)
    : QMainWindow(parent), messageBoxRunner_([](QMessageBox& box) { box.exec(); }), desktopOpener_(&OpenOnDesktop) {
    setObjectName("Form1");
    setWindowTitle(QString::fromUtf8(kWindowCaption));
    // The application title, where the desktop shows a program's title apart
    // from its window caption: the task bar button and the iconified window.
    setWindowIconText(QString::fromUtf8(kApplicationTitle));
    setWindowIcon(about::WindowIcon());
    setFont(WindowFont());

    createMenu();
    createFormatMenu();
    createTabs();
    // The tools come last in the menu bar, after the table's own menus.
    tools::AddToolsMenu(this);

    FindBar1 = new FindBar(centralWidget(), PageControl1);
    for (Pane* pane : findChildren<Pane*>()) {
        if (pane->isReadOnly()) continue;
        FindBar1->watch(pane);
        // A file dropped on a pane is opened as a table, not pasted as its address.
        pane->viewport()->installEventFilter(this);
        // The Menu key's context menu comes to the pane, not its viewport.
        pane->installEventFilter(this);
    }
    // Elsewhere on the window too: what the children don't take comes here.
    setAcceptDrops(true);
    installEventFilter(this);
    connect(qApp, &QApplication::focusChanged, this, [this](QWidget*, QWidget* now) {
        for (QWidget* w = now; w; w = w->parentWidget())
            if (auto* pane = qobject_cast<Pane*>(w); pane && pane->window() == this && !pane->hint().isEmpty()) {
                lastFocusedPane_ = pane;
                return;
            }
    });

    // Start size and placement: the outer size, centred on the desktop.
    setMaximumWidth(kOuterWidth - kAssumedFrame.left() - kAssumedFrame.right());
    resize(kOuterWidth - kAssumedFrame.left() - kAssumedFrame.right(), kClientHeight);
    fitMenuBar();
    // A font or style that changes the menus' height later is met the same way.
    menuBar()->installEventFilter(this);
    if (const QScreen* screen = QGuiApplication::primaryScreen()) {
        const QRect desk = screen->geometry();
        move(desk.x() + (desk.width() - kOuterWidth) / 2, desk.y() + (desk.height() - kOuterHeight) / 2);
    }

    FormCreate(this);
}

TForm1::~TForm1() {
    // The format thread's work can't be called off: the window waits for it,
    // so that no file is left half made and nothing it reads goes first.
    if (formatThread_) {
        formatThread_->disconnect(this);
        formatThread_->wait();
        delete formatThread_;
    }
}

QAction* TForm1::addItem(const char* name, const QString& caption, Handler handler) {
    return addItem(N1, name, caption, handler);
}

QAction* TForm1::addItem(QMenu* menu, const char* name, const QString& caption, Handler handler) {
    QAction* item = menu->addAction(caption);
    item->setObjectName(name);
    itemHandlers_[item] = handler;
    connect(item, &QAction::triggered, this, [this, item, handler] { guarded([=, this] { (this->*handler)(item); }); });
    return item;
}

void TForm1::createMenu() {
    menuBar()->setFont(font());
    auto* style = new AltKeyMenuBarStyle;
    style->setParent(menuBar());
    menuBar()->setStyle(style);
    // F10 opens the first menu (or the one the menu bar is on), for the
    // arrow keys. A key of the window, not of any menu item: the items keep
    // no shortcuts.
    auto* menuKey = new QShortcut(QKeySequence(Qt::Key_F10), this);
    menuKey->setObjectName("MenuBarKey");
    connect(menuKey, &QShortcut::activated, this, &TForm1::openMenuBar);
    N1 = menuBar()->addMenu(QStringLiteral("原码表"));
    N1->setObjectName("N1");
    N1->menuAction()->setObjectName("N1");
    N1->setFont(font());
    N2 = addItem("N2", QStringLiteral("打开..."), &TForm1::N2Click);
    N3 = addItem("N3", QStringLiteral("粘贴替换原码表"), &TForm1::N3Click);
    N9 = addItem("N9", QStringLiteral("粘贴替换一字一行码表"), &TForm1::N9Click);
    N86GB67631 = addItem("N86GB67631", QStringLiteral("内置标准五笔86版GB-6763单字码表"), &TForm1::N86GB67631Click);
    N7 = N1->addSeparator();
    N7->setObjectName("N7");
    N4 = addItem("N4", QStringLiteral("一字一行"), &TForm1::N4Click);
    N5 = addItem("N5", QStringLiteral("重码一行"), &TForm1::N5Click);
    N21 = addItem("N21", QStringLiteral("上面2项"), &TForm1::N21Click);
    N6 = N1->addSeparator();
    N6->setObjectName("N6");
    N8 = addItem("N8", QStringLiteral("导出所有结果为单独的文本文件"), &TForm1::N8Click);
}

// Right after "原码表"; later menus follow it.
void TForm1::createFormatMenu() {
    FormatMenu = menuBar()->addMenu(QStringLiteral("格式"));
    FormatMenu->setObjectName("FormatMenu");
    FormatMenu->menuAction()->setObjectName("FormatMenu");
    FormatMenu->setFont(font());
    OpenAnyFormatItem = addItem(FormatMenu, "OpenAnyFormatItem", QStringLiteral("打开任意格式码表..."),
                                &TForm1::OpenAnyFormatItemClick);
    ExportInFormatItem = addItem(FormatMenu, "ExportInFormatItem", QStringLiteral("按原格式导出所有结果"),
                                 &TForm1::ExportInFormatItemClick);
    SavePaneItem = addItem(FormatMenu, "SavePaneItem", QStringLiteral("另存当前窗格..."), &TForm1::SavePaneItemClick);
    // Enabled as the menu opens: no handler of the first tab is involved.
    connect(FormatMenu, &QMenu::aboutToShow, this, [this] {
        OpenAnyFormatItem->setEnabled(!formatBusy());
        ExportInFormatItem->setEnabled(!formatBusy() && !RichEdit1->isTextEmpty());
        SavePaneItem->setEnabled(!formatBusy() && focusedPane() != nullptr);
    });

    // While the menu's work runs: what it does and a busy bar, at the right
    // of the menu bar, where no component of the window stands.
    FormatBusyIndicator = new QWidget(menuBar());
    FormatBusyIndicator->setObjectName("FormatBusyIndicator");
    auto* row = new QHBoxLayout(FormatBusyIndicator);
    row->setContentsMargins(0, 0, 6, 0);
    row->setSpacing(4);
    FormatBusyLabel = new QLabel(FormatBusyIndicator);
    FormatBusyLabel->setObjectName("FormatBusyLabel");
    FormatBusyBar = new QProgressBar(FormatBusyIndicator);
    FormatBusyBar->setObjectName("FormatBusyBar");
    FormatBusyBar->setRange(0, 0);  // the work has no steps to count
    FormatBusyBar->setTextVisible(false);
    FormatBusyBar->setFixedSize(48, 8);
    row->addWidget(FormatBusyLabel);
    row->addWidget(FormatBusyBar);
    menuBar()->setCornerWidget(FormatBusyIndicator, Qt::TopRightCorner);
    FormatBusyIndicator->hide();
}

Pane* TForm1::addPane(int number, const QString& hint) {
    auto* pane = new Pane(this);
    pane->setObjectName(QStringLiteral("RichEdit%1").arg(number));
    pane->setHint(hint);
    paneNumbered(number) = pane;
    return pane;
}

Pane*& TForm1::paneNumbered(int number) {
    Pane** const members[] = {&RichEdit1,  &RichEdit2,  &RichEdit3,  &RichEdit4,  &RichEdit5,  &RichEdit6,
                              &RichEdit7,  &RichEdit8,  &RichEdit9,  &RichEdit10, &RichEdit11, &RichEdit12,
                              &RichEdit13, &RichEdit14, &RichEdit15, &RichEdit16, &RichEdit17, &RichEdit18,
                              &RichEdit19, &RichEdit20, &RichEdit21, &RichEdit22, &RichEdit23, &RichEdit24};
    return *members[number - 1];
}

void TForm1::clearResults(Derivation derivation) {
    for (const ResultInfo& r : ResultsOf(derivation)) ClearPane(*paneNumbered(r.pane));
}

void TForm1::showResults(Derivation derivation, const std::vector<std::string*>& texts, TextEncoding encoding) {
    const std::span<const ResultInfo> results = ResultsOf(derivation);
    for (std::size_t i = 0; i < results.size(); ++i) WritePaneText(*paneNumbered(results[i].pane), *texts[i], encoding);
}

QFrame* TForm1::addStrip(QWidget* tab, const char* name, int height) {
    auto* strip = new QFrame(tab);
    strip->setObjectName(name);
    strip->setFrameStyle(QFrame::Panel | QFrame::Raised);
    strip->setLineWidth(1);
    static_cast<DockHost*>(tab)->dock(strip, DockHost::Side::Top, height);
    return strip;
}

QLabel* TForm1::addStatusLine(QFrame* strip, const char* name, int left, int top) {
    auto* label = new StatusLine(strip);
    label->setObjectName(name);
    label->move(left, top);
    label->adjustSize();
    return label;
}

QPushButton* TForm1::addExtractButton(QFrame* strip, const char* name, int left, Handler handler) {
    auto* button = new QPushButton(QStringLiteral("提取"), strip);
    button->setObjectName(name);
    button->setGeometry(left, 9, 75, 25);
    connect(button, &QPushButton::clicked, this,
            [this, button, handler] { guarded([=, this] { (this->*handler)(button); }); });
    return button;
}

void TForm1::createTabs() {
    auto* client = new DockHost(this);
    client->setObjectName("ClientArea");
    setCentralWidget(client);

    // The help pane along the bottom.
    RichEdit20 = addPane(20, QString());
    RichEdit20->setReadOnly(true);
    RichEdit20->setLineWrapMode(QPlainTextEdit::WidgetWidth);
    RichEdit20->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    RichEdit20->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    {
        QPalette p = RichEdit20->palette();
        p.setColor(QPalette::Base, p.color(QPalette::ToolTipBase));
        RichEdit20->setPalette(p);
        QStringList lines;
        for (const char* line : kHelpLines) lines << QString::fromUtf8(line);
        RichEdit20->setPlainText(lines.join(u'\n'));
    }
    client->dock(RichEdit20, DockHost::Side::Bottom, kHelpHeight);

    PageControl1 = new QTabWidget(client);
    PageControl1->setObjectName("PageControl1");
    // Tabs as narrow as the desktop's own, so that all seven fit the width;
    // pages 4 pixels in from the sides, 418 wide in a 426-wide page control,
    // whatever the style's own frame.
    // Tabs of a fixed height: the style's own padding would take the pages'.
    PageControl1->setStyleSheet(
        QStringLiteral("QTabBar::tab { height: %1px; padding: 0px 5px; margin: 0px; }"
                       "QTabWidget::pane { border: 1px solid palette(mid); padding: 3px; top: -1px; }")
            .arg(kTabBarHeight));
    client->dock(PageControl1, DockHost::Side::Client);

    auto tab = [this](QWidget*& sheet, const char* name, const QString& caption) {
        auto* page = new DockHost;
        page->setObjectName(name);
        PageControl1->addTab(page, caption);
        sheet = page;
        return page;
    };
    // A derivation's panes from left to right, each as wide as the next of
    // `widths` (the last one for the rest).
    auto panes = [this](DockHost* page, Derivation derivation, std::initializer_list<int> widths) {
        auto width = widths.begin();
        for (const ResultInfo& r : ResultsOf(derivation)) {
            page->dock(addPane(r.pane, QString::fromUtf8(r.hint)), DockHost::Side::Left, *width);
            if (width + 1 != widths.end()) ++width;
        }
    };
    auto caption = [](Derivation derivation) { return QString::fromUtf8(CaptionOf(derivation)); };

    // 1 "原码表": the source table, its one-word-per-line form and its groups.
    DockHost* page = tab(TabSheet1, "TabSheet1", QString::fromUtf8(kSourceCaption));
    Panel1 = addStrip(page, "Panel1", 34);
    Label1 = addStatusLine(Panel1, "Label1", 8, 8);
    Label2 = addStatusLine(Panel1, "Label2", 146, 8);
    Label9 = addStatusLine(Panel1, "Label9", 283, 8);
    // Each status line has the room up to what stands right of it.
    auto roomUntil = [](QLabel* label, QWidget* next) { static_cast<StatusLine*>(label)->setRoomUntil(next); };
    roomUntil(Label1, Label2);
    roomUntil(Label2, Label9);
    page->dock(addPane(kSourcePane, QString::fromUtf8(kSourceCaption)), DockHost::Side::Left, 139);
    panes(page, Derivation::Expand, {139});
    panes(page, Derivation::Group, {139});
    RichEdit1->setChangeHandler([this] { RichEdit1Change(RichEdit1); });
    RichEdit2->setChangeHandler([this] { RichEdit2Change(RichEdit2); });
    RichEdit19->setChangeHandler([this] { RichEdit19Change(RichEdit19); });

    // 2 "码长分类"
    page = tab(TabSheet3, "TabSheet3", caption(Derivation::Classify));
    Panel3 = addStrip(page, "Panel3", 45);
    Label4 = addStatusLine(Panel3, "Label4", 8, 16);
    Button4 = addExtractButton(Panel3, "Button4", 320, &TForm1::Button4Click);
    roomUntil(Label4, Button4);
    panes(page, Derivation::Classify, {105});

    // 3 "全码"
    page = tab(TabSheet6, "TabSheet6", caption(Derivation::FullCodes));
    Panel5 = addStrip(page, "Panel5", 45);
    Label7 = addStatusLine(Panel5, "Label7", 8, 16);
    Button7 = addExtractButton(Panel5, "Button7", 320, &TForm1::Button7Click);
    roomUntil(Label7, Button7);
    panes(page, Derivation::FullCodes, {105});

    // 4 "出简不出全"
    page = tab(TabSheet5, "TabSheet5", caption(Derivation::Shortest));
    Panel4 = addStrip(page, "Panel4", 45);
    Label5 = addStatusLine(Panel4, "Label5", 8, 16);
    Button5 = addExtractButton(Panel4, "Button5", 320, &TForm1::Button5Click);
    roomUntil(Label5, Button5);
    panes(page, Derivation::Shortest, {83});

    // 5 "重码"
    page = tab(TabSheet2, "TabSheet2", caption(Derivation::Duplicates));
    Panel2 = addStrip(page, "Panel2", 41);
    Label3 = addStatusLine(Panel2, "Label3", 8, 16);
    Button3 = addExtractButton(Panel2, "Button3", 336, &TForm1::Button3Click);
    roomUntil(Label3, Button3);
    panes(page, Derivation::Duplicates, {209});

    // 6 "简码全码": four panes that don't fill the width.
    page = tab(TabSheet7, "TabSheet7", caption(Derivation::Relation));
    Panel6 = addStrip(page, "Panel6", 41);
    Label10 = addStatusLine(Panel6, "Label10", 8, 16);
    Button1 = addExtractButton(Panel6, "Button1", 336, &TForm1::Button1Click);
    roomUntil(Label10, Button1);
    panes(page, Derivation::Relation, {94, 94, 37, 144});

    // 7 "关于"
    createAboutTab();
    PageControl1->setCurrentIndex(0);
}

void TForm1::createAboutTab() {
    auto* page = new DockHost;
    page->setObjectName("TabSheet4");
    PageControl1->addTab(page, QStringLiteral("关于"));
    TabSheet4 = page;

    RichEdit8 = addPane(8, QString());
    RichEdit8->setReadOnly(true);
    RichEdit8->setLineWrapMode(QPlainTextEdit::WidgetWidth);
    RichEdit8->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    RichEdit8->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    {
        QPalette p = RichEdit8->palette();
        p.setColor(QPalette::Base, Qt::white);
        RichEdit8->setPalette(p);
        RichEdit8->setPlainText(about::CreditLines().join(u'\n'));
    }
    page->dock(RichEdit8, DockHost::Side::Top, 129);

    GroupBox1 = new QGroupBox(QStringLiteral("链接"));
    GroupBox1->setObjectName("GroupBox1");
    page->dock(GroupBox1, DockHost::Side::Top, 48);

    const auto links = about::Links();
    QLabel** labels[] = {&Label6, &Label8};
    const char* names[] = {"Label6", "Label8"};
    const int lefts[] = {8, 112};
    for (int i = 0; i < 2; ++i) {
        auto* label = new QLabel(links[static_cast<std::size_t>(i)].caption, GroupBox1);
        label->setObjectName(names[i]);
        label->setToolTip(links[static_cast<std::size_t>(i)].url);
        QFont f = WindowFont();
        f.setUnderline(true);
        label->setFont(f);
        QPalette p = label->palette();
        p.setColor(QPalette::WindowText, kLinkColour);
        label->setPalette(p);
        label->setCursor(Qt::PointingHandCursor);
        label->setMouseTracking(true);
        label->setGeometry(lefts[i], 23, 84, std::max(12, label->sizeHint().height()));
        label->installEventFilter(this);
        *labels[i] = label;
    }

    // The picture at its natural size from the top-left corner; what doesn't
    // fit is cut off.
    Image1 = new QLabel;
    Image1->setObjectName("Image1");
    Image1->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    Image1->setScaledContents(false);
    const QImage picture = about::Picture();
    if (!picture.isNull()) Image1->setPixmap(QPixmap::fromImage(picture));
    page->dock(Image1, DockHost::Side::Client);
}

namespace {

// The one local file of a drag, if it carries exactly that.
QString DroppedFile(const QMimeData* data) {
    if (!data || !data->hasUrls() || data->urls().size() != 1) return {};
    const QUrl url = data->urls().first();
    return url.isLocalFile() ? url.toLocalFile() : QString();
}

}  // namespace

QMenu* TForm1::makePaneContextMenu(Pane* pane, const QPoint& at) {
    QMenu* menu = pane->createStandardContextMenu(at);
    menu->setObjectName("PaneContextMenu");
    menu->addSeparator();
    QAction* find = menu->addAction(QStringLiteral("查找...\tCtrl+F"), this, [this, pane] { FindBar1->openFor(pane); });
    find->setObjectName("PaneFindItem");
    QAction* line =
        menu->addAction(QStringLiteral("转到行...\tCtrl+G"), this, [this, pane] { FindBar1->goToLine(pane); });
    line->setObjectName("PaneGoToLineItem");
    QAction* save = menu->addAction(QStringLiteral("另存为..."), this, [this, pane] {
        lastFocusedPane_ = pane;
        guarded([this] { SavePaneItemClick(SavePaneItem); });
    });
    save->setObjectName("PaneSaveItem");
    save->setEnabled(!formatBusy());
    return menu;
}

bool TForm1::eventFilter(QObject* watched, QEvent* event) {
    // Alt pressed and released with no other key or click between opens the
    // menu bar, as F10 does. Seen on the panes and on the window, where the
    // other widgets' keys arrive.
    switch (event->type()) {
        case QEvent::KeyPress: {
            auto* key = static_cast<QKeyEvent*>(event);
            if (!key->isAutoRepeat()) altAlone_ = key->key() == Qt::Key_Alt;
            break;
        }
        case QEvent::KeyRelease: {
            auto* key = static_cast<QKeyEvent*>(event);
            if (key->key() == Qt::Key_Alt && altAlone_ && !key->isAutoRepeat()) {
                altAlone_ = false;
                openMenuBar();
                return true;
            }
            break;
        }
        case QEvent::MouseButtonPress:
        case QEvent::FocusOut:
            altAlone_ = false;
            break;
        default:
            break;
    }
    if (watched == menuBar()) {
        if (event->type() == QEvent::FontChange || event->type() == QEvent::StyleChange)
            QTimer::singleShot(0, this, &TForm1::fitMenuBar);  // once the bar has taken the change
        return QMainWindow::eventFilter(watched, event);
    }
    if (event->type() == QEvent::ContextMenu) {
        // A right click reaches the pane's viewport; the Menu key, the pane
        // itself (the widget with focus), at its text cursor.
        auto* pane = qobject_cast<Pane*>(watched);
        if (!pane && watched->parent()) {
            pane = qobject_cast<Pane*>(watched->parent());
            if (pane && pane->viewport() != watched) pane = nullptr;
        }
        if (pane && !pane->hint().isEmpty()) {
            auto* e = static_cast<QContextMenuEvent*>(event);
            const QPoint at = watched == pane ? pane->viewport()->mapFrom(pane, e->pos()) : e->pos();
            std::unique_ptr<QMenu> menu(makePaneContextMenu(pane, at));
            menu->exec(e->globalPos());
            return true;
        }
    }
    switch (event->type()) {
        case QEvent::DragEnter:
        case QEvent::DragMove:
        case QEvent::Drop: {
            auto* drop = static_cast<QDropEvent*>(event);
            const QString file = DroppedFile(drop->mimeData());
            if (file.isEmpty()) break;
            // Refused, not pasted as text, while a table is read or written.
            if (formatBusy()) return true;
            drop->acceptProposedAction();
            if (event->type() == QEvent::Drop) OpenTableFile(file);
            return true;
        }
        default:
            break;
    }
    if (watched == Label6 || watched == Label8) {
        switch (event->type()) {
            case QEvent::MouseMove: {
                auto* me = static_cast<QMouseEvent*>(event);
                guarded([&] { LabelMouseMove(watched, me->modifiers(), me->position().toPoint()); });
                break;
            }
            case QEvent::Leave:
                guarded([&] { LabelMouseLeave(watched); });
                break;
            case QEvent::MouseButtonDblClick:
                // The click that began the double click has opened the address.
                releaseAfterDoubleClick_ = watched;
                break;
            case QEvent::MouseButtonRelease: {
                auto* me = static_cast<QMouseEvent*>(event);
                auto* label = static_cast<QWidget*>(watched);
                if (releaseAfterDoubleClick_ == watched) {
                    releaseAfterDoubleClick_ = nullptr;
                    break;
                }
                if (me->button() == Qt::LeftButton && label->rect().contains(me->position().toPoint()))
                    guarded([&] { LabelClick(watched); });
                break;
            }
            default:
                break;
        }
    }
    return QMainWindow::eventFilter(watched, event);
}

void TForm1::showEvent(QShowEvent* event) {
    QMainWindow::showEvent(event);
    if (shown_) return;
    shown_ = true;
    // The window manager frames the window after it is mapped; fit the outer
    // size to the frame once it is known.
    QTimer::singleShot(0, this, &TForm1::fitToFrame);
    QTimer::singleShot(300, this, &TForm1::fitToFrame);
    // Without a window manager nothing gives the new window the keyboard: no
    // key of the window (F10, Alt, the Menu key, the find bar's) would
    // reach it. It asks for it itself when no window of the program has it.
    QTimer::singleShot(0, this, [this] {
        if (!QApplication::activeWindow()) activateWindow();
    });
}

void TForm1::fitToFrame() {
    const QWindow* window = windowHandle();
    if (!window) return;
    const QMargins frame = window->frameMargins();
    if (frame.isNull() || frame == fittedFrame_) return;
    fittedFrame_ = frame;
    setContentsMargins(std::max(0, kBorder - frame.left()), 0, std::max(0, kBorder - frame.right()),
                       std::max(0, kBorder - frame.bottom()));
    const int width = kOuterWidth - frame.left() - frame.right();
    setMaximumWidth(width);
    resize(width, height());
    fitMenuBar();
    if (const QScreen* screen = this->screen()) {
        const QRect desk = screen->geometry();
        move(desk.x() + (desk.width() - kOuterWidth) / 2, desk.y() + (desk.height() - kOuterHeight) / 2);
    }
}

void TForm1::openMenuBar() {
    QAction* active = menuBar()->activeAction();
    menuBar()->setActiveAction(active ? active : N1->menuAction());
}

void TForm1::fitMenuBar() {
    // What the outer height leaves for the menu bar, unless its menus need
    // more (a font taller than the window's designed one): then the window
    // grows rather than hide them behind the overflow button. The client
    // area below keeps its height either way.
    const QMargins frame = fittedFrame_.isNull() ? kAssumedFrame : fittedFrame_;
    QMenuBar* bar = menuBar();
    const int height = std::max(MenuHeightFor(frame), bar->heightForWidth(bar->width()));
    bar->setFixedHeight(height);
    const QMargins margins = contentsMargins();
    resize(width(), margins.top() + height + kClientHeight + margins.bottom());
}

void TForm1::guarded(const std::function<void()>& handler) {
    try {
        handler();
    } catch (const UserMessage& m) {
        showNotice(QMessageBox::Warning, QString::fromUtf8(m.what()));
    } catch (const std::exception& e) {
        showFailure(QString::fromUtf8(e.what()));
    }
}

void TForm1::showFailure(const QString& message) {
    QMessageBox box(QMessageBox::Critical, QString::fromUtf8(kApplicationTitle), FailureText(message), QMessageBox::Ok,
                    this);
    messageBoxRunner_(box);
}

void TForm1::showNotice(QMessageBox::Icon icon, const QString& message) {
    QMessageBox box(icon, QString::fromUtf8(kApplicationTitle), message, QMessageBox::Ok, this);
    messageBoxRunner_(box);
}

QFileDialog* TForm1::makeFileDialog(const char* name, QFileDialog::AcceptMode mode) {
    auto* dialog = new QFileDialog(this);
    dialog->setObjectName(name);
    dialog->setOption(QFileDialog::DontUseNativeDialog, true);
    dialog->setAcceptMode(mode);
    dialog->setSizeGripEnabled(true);
    // Enter on a typed path closes the dialog from inside its completer's
    // popup. The completer hides the popup only once its line edit has lost
    // focus, which never happens while the popup holds the keyboard: left
    // open over the window, it would take every click and keep tooltips away.
    connect(dialog, &QDialog::finished, dialog, [dialog] {
        for (QCompleter* completer : dialog->findChildren<QCompleter*>())
            if (QAbstractItemView* popup = completer->popup(); popup && popup->isVisible()) popup->hide();
    });
    return dialog;
}

int TForm1::runFileDialog(QFileDialog* dialog) {
    // The folders visited this run, shared by the window's dialogs.
    dialog->setHistory(dialogHistory_);
    const int result = fileDialogRunner_(*dialog);
    const QString folder = dialog->directory().absolutePath();
    dialogHistory_.removeAll(folder);
    dialogHistory_.append(folder);
    return result;
}

Pane* TForm1::focusedPane() const {
    Pane* pane = lastFocusedPane_.data();
    return pane && !pane->hint().isEmpty() ? pane : nullptr;
}

void TForm1::Click(QAction* item) {
    if (!item->isEnabled()) return;
    auto it = itemHandlers_.find(item);
    if (it != itemHandlers_.end()) (this->*(it->second))(item);
}

// ---------------------------------------------------------------- start-up

void TForm1::FormCreate(QObject*) {
    applicationDirectory_ = QCoreApplication::applicationDirPath();
    N4->setEnabled(false);
    N5->setEnabled(false);
    N21->setEnabled(false);
    N8->setEnabled(false);
}

// ------------------------------------------------------ the first tab's panes

void TForm1::RichEdit1Change(QObject*) {
    SetStatus(Label1, LineCount(*RichEdit1));
    // From the document: a keystroke in a big table must not read the text.
    N4->setEnabled(!RichEdit1->isTextEmpty());
    N21->setEnabled(N4->isEnabled());
    N8->setEnabled(N4->isEnabled());
}

void TForm1::RichEdit2Change(QObject*) {
    entries_.reset();  // its lines are views into the text as it was
    SetStatus(Label2, LineCount(*RichEdit2));
    N5->setEnabled(!RichEdit2->isTextEmpty());
}

void TForm1::RichEdit19Change(QObject*) { SetStatus(Label9, LineCount(*RichEdit19)); }

// ------------------------------------------------------ loading and export

void TForm1::N2Click(QObject*) {
    if (!OpenDialog1) {
        OpenDialog1 = makeFileDialog("OpenDialog1", QFileDialog::AcceptOpen);
        // A typed name is taken as it is; opening it tells whether it exists.
        OpenDialog1->setFileMode(QFileDialog::AnyFile);
        OpenDialog1->setDefaultSuffix(QStringLiteral("txt"));
        OpenDialog1->setNameFilter(QStringLiteral("文本文件(*.txt)"));
        lastOpened_ = QStringLiteral("标准GB-6763.txt");
    }
    OpenDialog1->selectFile(lastOpened_);
    if (runFileDialog(OpenDialog1) != QDialog::Accepted) return;
    const QStringList chosen = OpenDialog1->selectedFiles();
    if (chosen.isEmpty()) return;
    lastOpened_ = chosen.first();
    LoadPaneFromFile(*RichEdit1, chosen.first());
    forgetSourceFormat();
}

void TForm1::N3Click(QObject*) {
    WritePaneText(*RichEdit1, ReadClipboard(clipboardOwnerCheck_));
    forgetSourceFormat();
}

void TForm1::N9Click(QObject*) { WritePaneText(*RichEdit2, ReadClipboard(clipboardOwnerCheck_)); }

void TForm1::N86GB67631Click(QObject*) {
    ClearPane(*RichEdit1);
    ResourceStream table = OpenBuiltinTable();
    LoadPaneFromStream(*RichEdit1, table);
    forgetSourceFormat();
}

void TForm1::N8Click(QObject*) {
    for (const auto& [number, hint] : ExportedPanes()) {
        // Panes 23 and 24 came after this command, which never wrote them.
        if (number > 22) continue;
        Pane* pane = paneNumbered(number);
        if (pane->isTextEmpty()) continue;
        SavePaneToFile(*pane, QString::fromUtf8(hint) + QStringLiteral(".txt"));
    }
    showExportFolder(QDir::currentPath());
}

void TForm1::showExportFolder(const QString& folder) {
    // The files went to the current directory: show that folder, or, where no
    // file manager can, say where they are.
    if (desktopOpener_(QUrl::fromLocalFile(folder))) return;
    showNotice(QMessageBox::Information,
               QStringLiteral("结果文件已写入文件夹：\n%1").arg(QDir::toNativeSeparators(folder)));
}

// ------------------------------------------------------- the "格式" menu

void TForm1::forgetSourceFormat() {
    source_ = OpenedTable{};
    RichEdit1->setToolTip(RichEdit1->hint());
}

void TForm1::OpenAnyFormatItemClick(QObject*) {
    if (formatBusy()) return;
    if (!OpenAnyDialog) {
        OpenAnyDialog = makeFileDialog("OpenAnyDialog", QFileDialog::AcceptOpen);
        OpenAnyDialog->setFileMode(QFileDialog::ExistingFile);
        QStringList filters;
        for (const char* f : kAnyTableFilters) filters << QString::fromUtf8(f);
        OpenAnyDialog->setNameFilters(filters);
    }
    if (!lastOpenedAny_.isEmpty()) OpenAnyDialog->selectFile(lastOpenedAny_);
    if (runFileDialog(OpenAnyDialog) != QDialog::Accepted) return;
    const QStringList chosen = OpenAnyDialog->selectedFiles();
    if (chosen.isEmpty()) return;
    lastOpenedAny_ = chosen.first();
    loadTable(chosen.first());
}

void TForm1::OpenTableFile(const QString& path) { loadTable(path); }

void TForm1::loadTable(const QString& path) {
    // Read and recognised on the format thread; only the text's placing in
    // the pane is left to this one.
    runFormatWork(QStringLiteral("正在读取码表..."), [this, path]() -> std::function<void()> {
        auto table = std::make_shared<OpenedTable>(ReadTableFile(path));
        return [this, path, table] {
            LoadPaneFromText(*RichEdit1, std::move(table->text.bytes), table->text.encoding);
            table->text = {};
            source_ = std::move(*table);
            // What was recognised, under the pane's hint in its tooltip.
            RichEdit1->setToolTip(RichEdit1->hint() + QStringLiteral("\n") + QFileInfo(path).fileName() +
                                  QStringLiteral("：") +
                                  DescribeTable(source_.format, source_.encoding, source_.hadBom));
        };
    });
}

void TForm1::runFormatWork(const QString& busyText, std::function<std::function<void()>()> work) {
    if (formatThread_) return;
    // The outcome travels from the thread in here: what to show, or the failure.
    struct Outcome {
        std::function<void()> show;
        std::exception_ptr failure;
    };
    auto outcome = std::make_shared<Outcome>();
    formatThread_ = QThread::create([work = std::move(work), outcome] {
        try {
            outcome->show = work();
        } catch (...) {
            outcome->failure = std::current_exception();
        }
    });
    formatThread_->setObjectName("FormatWork");
    connect(formatThread_, &QThread::finished, this, [this, outcome] {
        formatThread_->deleteLater();
        formatThread_ = nullptr;
        setFormatBusy(QString());
        guarded([&] {
            if (outcome->failure) std::rethrow_exception(outcome->failure);
            if (outcome->show) outcome->show();
        });
        emit formatWorkFinished();
    });
    setFormatBusy(busyText);
    formatThread_->start();
}

void TForm1::setFormatBusy(const QString& busyText) {
    const bool busy = !busyText.isEmpty();
    for (QAction* item : {OpenAnyFormatItem, ExportInFormatItem, SavePaneItem}) item->setEnabled(!busy);
    FormatBusyLabel->setText(busyText);
    FormatBusyIndicator->setVisible(busy);
    // The window answers meanwhile: the pointer says busy, not wait.
    if (busy)
        setCursor(Qt::BusyCursor);
    else
        unsetCursor();
}

void TForm1::SavePaneItemClick(QObject*) {
    Pane* pane = focusedPane();
    if (!pane || formatBusy()) return;
    if (!SavePaneDialog) {
        SavePaneDialog = makeFileDialog("SavePaneDialog", QFileDialog::AcceptSave);
        SavePaneDialog->setNameFilters({QStringLiteral("文本文件 (*.txt)"), QStringLiteral("所有文件 (*)")});
        SavePaneDialog->setDefaultSuffix(QStringLiteral("txt"));
    }
    SavePaneDialog->selectFile(pane->hint() + QStringLiteral(".txt"));
    if (runFileDialog(SavePaneDialog) != QDialog::Accepted) return;
    const QStringList chosen = SavePaneDialog->selectedFiles();
    if (chosen.isEmpty()) return;
    // The pane's text taken now; encoded and written on the format thread.
    runFormatWork(QStringLiteral("正在保存..."),
                  [target = QFile::encodeName(chosen.first()).toStdString(), text = ReadPaneTextAs(*pane),
                   source = source_]() -> std::function<void()> {
                      WriteFileSafely(target, EncodeForSource(text, source));
                      return {};
                  });
}

void TForm1::ExportInFormatItemClick(QObject*) {
    if (formatBusy()) return;
    // The panes' texts taken now; every file made on the format thread
    // before any is written: a result the encoding can't hold stops the
    // export with nothing written.
    std::vector<NamedText> texts;
    for (const auto& [number, hint] : ExportedPanes()) {
        const Pane* pane = paneNumbered(number);
        if (pane->isTextEmpty()) continue;
        texts.push_back({ReadPaneTextAs(*pane), hint});
    }
    const QString folder = QDir::currentPath();
    runFormatWork(QStringLiteral("正在导出..."),
                  [this, texts = std::move(texts), source = source_, folder]() mutable -> std::function<void()> {
                      {
                          std::vector<ResultFile> files = EncodeResults(texts, source);
                          texts.clear();
                          // Replaced all or none, as `zelmora-cli run` replaces its results.
                          std::vector<std::pair<std::string, std::string>> named;
                          named.reserve(files.size());
                          for (ResultFile& f : files) named.emplace_back(std::move(f.name), std::move(f.bytes));
                          files.clear();
                          formats::WriteResultFiles(QFile::encodeName(folder).toStdString(), named);
                      }
                      // Threads' allocations are freed into arenas of their own,
                      // which keep them resident; a million-entry table leaves
                      // tens of megabytes there otherwise.
                      ::malloc_trim(0);
                      return [this, folder] { showExportFolder(folder); };
                  });
}

// ------------------------------------------------------------- derivations

EntryTable& TForm1::sharedEntries() {
    const std::string& bytes = PaneBytes(*RichEdit2);
    const TextEncoding encoding = PaneTextEncoding(*RichEdit2);
    if (!entries_ || entries_->encoding() != encoding || entries_->text().data() != bytes.data() ||
        entries_->text().size() != bytes.size())
        entries_ = std::make_unique<EntryTable>(bytes, encoding);
    return *entries_;
}

void TForm1::N4Click(QObject*) {
    ClearPane(*RichEdit2);
    const TextEncoding encoding = PaneTextEncoding(*RichEdit1);
    Expansion e = ExpandWithRanks(PaneBytes(*RichEdit1), encoding);
    WritePaneText(*RichEdit2, e.text, encoding);
    // The ranks go with the text as the pane holds it: the 提取 buttons
    // then sort any of its lines without a key.
    if (e.ranked && PaneTextEncoding(*RichEdit2) == encoding && PaneBytes(*RichEdit2) == e.text)
        sharedEntries().setRanks(std::move(e.ranks), std::move(e.lineStarts));
}

void TForm1::N5Click(QObject*) {
    ClearPane(*RichEdit19);
    Hourglass busy(RichEdit1->viewport(), Qt::IBeamCursor);
    SetStatus(Label9, QString::fromUtf8(kWaitText));
    DispatchPendingMessages();
    const TextEncoding encoding = PaneTextEncoding(*RichEdit2);
    const std::string groups = GroupEqualCodes(PaneBytes(*RichEdit2));
    WritePaneText(*RichEdit19, groups, encoding);
    // An empty result is no change of the pane: the count replaces the wait
    // text all the same.
    SetStatus(Label9, LineCount(*RichEdit19));
}

void TForm1::N21Click(QObject*) {
    Click(N4);
    Click(N5);
}

void TForm1::Button4Click(QObject*) {
    clearResults(Derivation::Classify);
    const TextEncoding encoding = PaneTextEncoding(*RichEdit2);
    ClassifyResult r = ClassifyByCodeLength(sharedEntries().classes());
    showResults(Derivation::Classify, ResultTexts(r), encoding);
    SetStatus(Label4, Utf8(ClassifyStatus(r)));
}

void TForm1::Button3Click(QObject*) {
    clearResults(Derivation::Duplicates);
    const TextEncoding encoding = PaneTextEncoding(*RichEdit1);
    DuplicateCodesResult r = ExtractDuplicateCodes(PaneBytes(*RichEdit1), encoding);
    showResults(Derivation::Duplicates, ResultTexts(r), encoding);
    SetStatus(Label3, Utf8(DuplicateCodesStatus(CountPaneLines(*RichEdit3), r)));
}

void TForm1::Button7Click(QObject* sender) {
    clearResults(Derivation::FullCodes);
    SetStatus(Label7, QString::fromUtf8(kWaitText));
    auto* clicked = qobject_cast<QWidget*>(sender);
    Hourglass busy(clicked ? clicked : Button7);
    DispatchPendingMessages();
    const TextEncoding encoding = PaneTextEncoding(*RichEdit2);
    FullCodesResult r = ExtractFullCodes(sharedEntries());
    showResults(Derivation::FullCodes, ResultTexts(r), encoding);
    SetStatus(Label7, Utf8(FullCodesStatus(r)));
}

void TForm1::Button5Click(QObject* sender) {
    clearResults(Derivation::Shortest);
    auto* clicked = qobject_cast<QWidget*>(sender);
    Hourglass busy(clicked ? clicked : Button5);
    SetStatus(Label5, QString::fromUtf8(kWaitText));
    DispatchPendingMessages();
    const TextEncoding encoding = PaneTextEncoding(*RichEdit2);
    ShortestCodesResult r = ExtractShortestCodes(sharedEntries());
    showResults(Derivation::Shortest, ResultTexts(r), encoding);
    SetStatus(Label5, Utf8(ShortestCodesStatus(r)));
}

void TForm1::Button1Click(QObject* sender) {
    clearResults(Derivation::Relation);
    auto* clicked = qobject_cast<QWidget*>(sender);
    Hourglass busy(clicked ? clicked : Button1);
    SetStatus(Label10, QString::fromUtf8(kWaitText));
    DispatchPendingMessages();
    const TextEncoding encoding = CommonEncoding(*RichEdit2, *RichEdit1);
    const PaneInput source(*RichEdit1, encoding);
    // The shared table when the entries need no conversion to the common encoding.
    RelationResult r = PaneTextEncoding(*RichEdit2) == encoding
                           ? RelateShortAndFullCodes(sharedEntries(), source.bytes(), true)
                           : RelateShortAndFullCodes(PaneInput(*RichEdit2, encoding).bytes(), source.bytes(), encoding);
    showResults(Derivation::Relation, ResultTexts(r), encoding);
    SetStatus(Label10, Utf8(RelationStatus(r)));
}

// ------------------------------------------------------------ About links

void TForm1::LabelClick(QObject* sender) {
    if (auto* label = qobject_cast<QLabel*>(sender)) desktopOpener_(QUrl(label->toolTip()));
}

void TForm1::LabelMouseMove(QObject* sender, Qt::KeyboardModifiers, QPoint) {
    if (auto* label = qobject_cast<QLabel*>(sender)) {
        QPalette p = label->palette();
        p.setColor(QPalette::WindowText, kLinkHoverColour);
        label->setPalette(p);
    }
}

void TForm1::LabelMouseLeave(QObject* sender) {
    if (auto* label = qobject_cast<QLabel*>(sender)) {
        QPalette p = label->palette();
        p.setColor(QPalette::WindowText, kLinkColour);
        label->setPalette(p);
    }
}

}  // namespace zelmora
