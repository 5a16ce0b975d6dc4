// Where the window now does what its description says: a clipboard owner
// that doesn't answer fails the paste in bounded time, pages 418 x 337
// whatever the tabs' padding and the window manager, the application title,
// a double click on a link opening it once, and the export saying where its
// files went when no folder window can be shown. Some cases run on a real X
// server too (see CMakeLists.txt): on its own, and under a window manager.
#include <QApplication>
#include <QClipboard>
#include <QDir>
#include <QLabel>
#include <QMenuBar>
#include <QMouseEvent>
#include <QProcess>
#include <QTabBar>
#include <QTemporaryDir>
#include <QTest>
#include <QWindow>

#include <xcb/xcb.h>

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <thread>

#include "ui/about_content.h"
#include "ui/clipboard_owner.h"
#include "ui/desktop.h"
#include "window_support.h"

using namespace zelmora;
using namespace zelmora::testing;
using namespace std::chrono_literals;

namespace {

xcb_atom_t Atom(xcb_connection_t* c, const char* name) {
    auto* r = xcb_intern_atom_reply(c, xcb_intern_atom(c, 0, static_cast<uint16_t>(std::strlen(name)), name), nullptr);
    const xcb_atom_t a = r ? r->atom : xcb_atom_t{XCB_ATOM_NONE};
    std::free(r);
    return a;
}

// An X server of the test's own.
class XServer {
public:
    XServer() {
        for (int n = 71; n < 120 && display_.isEmpty(); ++n) {
            if (QFile::exists(QStringLiteral("/tmp/.X%1-lock").arg(n))) continue;
            process_.start(
                "Xvfb", {QStringLiteral(":%1").arg(n), "-screen", "0", "640x480x24", "-nolisten", "tcp", "-noreset"});
            if (!process_.waitForStarted(5000)) return;
            const QByteArray name = QStringLiteral(":%1").arg(n).toLatin1();
            for (int i = 0; i < 100; ++i) {
                xcb_connection_t* c = xcb_connect(name.constData(), nullptr);
                const bool up = !xcb_connection_has_error(c);
                xcb_disconnect(c);
                if (up) {
                    display_ = name;
                    break;
                }
                if (process_.state() != QProcess::Running) break;
                QThread::msleep(50);
            }
            if (display_.isEmpty()) process_.kill(), process_.waitForFinished();
        }
    }
    ~XServer() {
        process_.terminate();
        process_.waitForFinished(3000);
    }
    const char* display() const { return display_.isEmpty() ? nullptr : display_.constData(); }

private:
    QProcess process_;
    QByteArray display_;
};

// A program that takes the clipboard; it answers requests for it, or not.
class ClipboardOwner {
public:
    ClipboardOwner(const char* display, bool answers) {
        c_ = xcb_connect(display, nullptr);
        const xcb_screen_t* screen = xcb_setup_roots_iterator(xcb_get_setup(c_)).data;
        window_ = xcb_generate_id(c_);
        xcb_create_window(c_, XCB_COPY_FROM_PARENT, window_, screen->root, 0, 0, 1, 1, 0, XCB_WINDOW_CLASS_INPUT_ONLY,
                          XCB_COPY_FROM_PARENT, 0, nullptr);
        const xcb_atom_t clipboard = Atom(c_, "CLIPBOARD");
        xcb_set_selection_owner(c_, window_, clipboard, XCB_CURRENT_TIME);
        // A round trip: the server has made it the owner before anyone asks.
        auto* owner = xcb_get_selection_owner_reply(c_, xcb_get_selection_owner(c_, clipboard), nullptr);
        owns_ = owner && owner->owner == window_;
        std::free(owner);
        if (answers) answering_ = std::thread([this] { answer(); });
    }
    bool owns() const { return owns_; }
    ~ClipboardOwner() {
        stop_ = true;
        if (answering_.joinable()) answering_.join();
        xcb_disconnect(c_);
    }

private:
    void answer() {
        while (!stop_) {
            xcb_generic_event_t* e = xcb_poll_for_event(c_);
            if (!e) {
                std::this_thread::sleep_for(5ms);
                continue;
            }
            if ((e->response_type & 0x7F) == XCB_SELECTION_REQUEST) {
                auto* req = reinterpret_cast<xcb_selection_request_event_t*>(e);
                xcb_selection_notify_event_t n{};
                n.response_type = XCB_SELECTION_NOTIFY;
                n.time = req->time;
                n.requestor = req->requestor;
                n.selection = req->selection;
                n.target = req->target;
                n.property = XCB_ATOM_NONE;  // "no such format": an answer all the same
                xcb_send_event(c_, 0, req->requestor, XCB_EVENT_MASK_NO_EVENT, reinterpret_cast<const char*>(&n));
                xcb_flush(c_);
            }
            std::free(e);
        }
    }
    xcb_connection_t* c_;
    xcb_window_t window_ = 0;
    bool owns_ = false;
    std::thread answering_;
    std::atomic<bool> stop_{false};
};

}  // namespace

class WindowMendsTest : public QObject {
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void silentClipboardOwnerFailsThePaste();
    void x11OwnerCheck();
    void pagesAreExactly418By337();
    void applicationTitle();
    void doubleClickOpensALinkOnce();
    void exportSaysWhereTheFilesWent();

private:
    std::unique_ptr<TForm1> form;
    std::vector<Box> boxes;
    std::vector<QUrl> opened;
    bool desktopShows = true;
};

void WindowMendsTest::init() {
    boxes.clear();
    opened.clear();
    desktopShows = true;
    form = std::make_unique<TForm1>();
    form->setMessageBoxRunner([this](QMessageBox& box) {
        boxes.push_back({box.icon(), box.windowTitle(), box.text()});
    });
    form->setDesktopOpener([this](const QUrl& url) {
        opened.push_back(url);
        return desktopShows;
    });
    form->show();
    QVERIFY(QTest::qWaitForWindowExposed(form.get()));
}

void WindowMendsTest::cleanup() { form.reset(); }

void WindowMendsTest::silentClipboardOwnerFailsThePaste() {
    std::vector<std::chrono::milliseconds> waits;
    form->setClipboardOwnerCheck([&](std::chrono::milliseconds timeout) {
        waits.push_back(timeout);
        return false;
    });
    // Another program's text on the clipboard, its owner silent.
    QGuiApplication::clipboard()->setText("aa new");
    WritePaneText(*form->RichEdit1, "aa kept");
    WritePaneText(*form->RichEdit2, "bb kept");
    form->N3->trigger();
    form->N9->trigger();
    QCOMPARE(boxes.size(), std::size_t{2});
    for (const Box& b : boxes) {
        QCOMPARE(b.text, QStringLiteral("Cannot open clipboard."));
        QCOMPARE(b.title, QStringLiteral("Zelmora  v0.9.10.26"));
        QCOMPARE(b.icon, QMessageBox::Critical);
    }
    QCOMPARE(ReadPaneText(*form->RichEdit1), std::string("aa kept"));
    QCOMPARE(ReadPaneText(*form->RichEdit2), std::string("bb kept"));
    QCOMPARE(form->Label1->text(), QStringLiteral("1行"));
    // The wait is bounded, and short.
    QCOMPARE(waits.size(), std::size_t{2});
    for (auto w : waits) QVERIFY(w > 0ms && w <= 5000ms);
}

void WindowMendsTest::x11OwnerCheck() {
    XServer x;
    if (!x.display()) QFAIL("cannot start an X server: install the package xvfb (scripts/install-deps)");
    // Nobody owns the clipboard: nothing to wait for.
    QVERIFY(X11ClipboardOwnerAnswers(x.display(), 2000ms));
    {
        ClipboardOwner owner(x.display(), true);
        QVERIFY(owner.owns());
        QVERIFY(X11ClipboardOwnerAnswers(x.display(), 5000ms));
    }
    {
        ClipboardOwner owner(x.display(), false);
        QVERIFY(owner.owns());
        QVERIFY(!X11ClipboardOwnerAnswers(x.display(), 300ms));
    }
    // A display that isn't there fails at once.
    QVERIFY(!X11ClipboardOwnerAnswers(":119.7", 300ms));
}

void WindowMendsTest::pagesAreExactly418By337() {
    // The window manager frames the window a moment after it is shown.
    QTest::qWait(600);
    QTRY_COMPARE(form->PageControl1->height(), 364);
    QCOMPARE(form->PageControl1->width(), 426);
    QCOMPARE(form->centralWidget()->height(), 364 + 97);
    const std::vector<std::pair<QWidget*, std::vector<Pane*>>> tabs = {
        {form->TabSheet1, {form->RichEdit1, form->RichEdit2, form->RichEdit19}},
        {form->TabSheet3, {form->RichEdit4, form->RichEdit7}},
        {form->TabSheet6, {form->RichEdit11, form->RichEdit14}},
        {form->TabSheet5, {form->RichEdit9, form->RichEdit21}},
        {form->TabSheet2, {form->RichEdit3, form->RichEdit22}},
        {form->TabSheet7, {form->RichEdit17, form->RichEdit24}},
        {form->TabSheet4, {}}};
    const std::map<QWidget*, int> paneHeight = {{form->TabSheet1, 303}, {form->TabSheet3, 292}, {form->TabSheet6, 292},
                                                {form->TabSheet5, 292}, {form->TabSheet2, 296}, {form->TabSheet7, 296}};
    for (const auto& [tab, panes] : tabs) {
        form->PageControl1->setCurrentWidget(tab);
        QCOMPARE(tab->size(), QSize(418, 337));
        for (Pane* p : panes) QCOMPARE(p->height(), paneHeight.at(tab));
    }
    QCOMPARE(form->Image1->size(), QSize(418, 160));
    // The outer size where the platform tells the frame.
    if (!form->windowHandle()->frameMargins().isNull())
        QCOMPARE(form->frameGeometry().height(),
                 std::max(507, form->windowHandle()->frameMargins().top() + 17 + 461 +
                                   std::max(4, form->windowHandle()->frameMargins().bottom())));
}

void WindowMendsTest::applicationTitle() {
    // The caption keeps one space; the application title, two, is what the
    // desktop shows for the program where it names it apart from the
    // caption (the task bar and the iconified window).
    QCOMPARE(form->windowTitle(), QStringLiteral("Zelmora v0.9.10.26"));
    QCOMPARE(form->windowIconText(), QStringLiteral("Zelmora  v0.9.10.26"));
    QCOMPARE(QString::fromUtf8(kApplicationTitle), QStringLiteral("Zelmora  v0.9.10.26"));
    // Not the display name: some platforms append it to every caption.
    QVERIFY(QGuiApplication::applicationDisplayName() != QStringLiteral("Zelmora  v0.9.10.26"));
    if (QGuiApplication::platformName() != QLatin1String("xcb")) return;
    // On X11, as the window manager and the task bar read them.
    xcb_connection_t* c = xcb_connect(nullptr, nullptr);
    auto property = [&](const char* name) {
        auto* r = xcb_get_property_reply(c,
                                         xcb_get_property(c, 0, static_cast<xcb_window_t>(form->winId()), Atom(c, name),
                                                          XCB_GET_PROPERTY_TYPE_ANY, 0, 256),
                                         nullptr);
        QString value =
            r ? QString::fromUtf8(static_cast<const char*>(xcb_get_property_value(r)), xcb_get_property_value_length(r))
              : QString();
        std::free(r);
        return value;
    };
    QTRY_COMPARE(property("_NET_WM_NAME"), QStringLiteral("Zelmora v0.9.10.26"));
    QCOMPARE(property("_NET_WM_ICON_NAME"), QStringLiteral("Zelmora  v0.9.10.26"));
    xcb_disconnect(c);
}

void WindowMendsTest::doubleClickOpensALinkOnce() {
    form->PageControl1->setCurrentWidget(form->TabSheet4);
    QLabel* link = form->Label6;
    const QPointF at(4, 4);
    auto send = [&](QEvent::Type type) {
        QMouseEvent e(type, at, link->mapToGlobal(at), Qt::LeftButton,
                      type == QEvent::MouseButtonRelease ? Qt::NoButton : Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(link, &e);
    };
    // What the platform delivers for a double click.
    send(QEvent::MouseButtonPress);
    send(QEvent::MouseButtonRelease);
    send(QEvent::MouseButtonDblClick);
    send(QEvent::MouseButtonRelease);
    QCOMPARE(opened.size(), std::size_t{1});
    QCOMPARE(opened[0], QUrl(link->toolTip()));
    // A click after that opens it again.
    send(QEvent::MouseButtonPress);
    send(QEvent::MouseButtonRelease);
    QCOMPARE(opened.size(), std::size_t{2});
}

void WindowMendsTest::exportSaysWhereTheFilesWent() {
    QTemporaryDir dir;
    const QString start = QDir::currentPath();
    QDir::setCurrent(dir.path());
    form->N86GB67631->trigger();
    // A folder window shown: nothing to say.
    form->N8->trigger();
    QCOMPARE(opened.size(), std::size_t{1});
    QVERIFY(boxes.empty());
    // None could be shown: the user is told where the files are.
    desktopShows = false;
    form->N8->trigger();
    QDir::setCurrent(start);
    QCOMPARE(opened.size(), std::size_t{2});
    QCOMPARE(boxes.size(), std::size_t{1});
    QCOMPARE(boxes[0].icon, QMessageBox::Information);
    QCOMPARE(boxes[0].title, QStringLiteral("Zelmora  v0.9.10.26"));
    QVERIFY2(boxes[0].text.contains(QDir::toNativeSeparators(dir.path())), qPrintable(boxes[0].text));
    QVERIFY(QFile::exists(dir.filePath("原码表.txt")));
}

QTEST_MAIN(WindowMendsTest)
#include "test_window_mends.moc"
