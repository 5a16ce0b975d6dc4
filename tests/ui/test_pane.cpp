// The pane component: whole-text reading and writing, line counts, loading,
// saving, the clipboard and the input limit.
#include <QApplication>
#include <QClipboard>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QMimeData>
#include <QTemporaryDir>
#include <QTextBlock>
#include <QScrollBar>
#include <QTest>

#include <sys/resource.h>

#include <cerrno>
#include <csignal>
#include <random>
#include <string>

#include "core/collation.h"
#include "core/failure.h"
#include "core/text.h"
#include "ui/pane.h"
#include "resources/resources.h"

using namespace zelmora;

namespace {

// "你好" and "工" in GBK.
const std::string kNiHao = "\xC4\xE3\xBA\xC3";
const std::string kGong = "\xB9\xA4";

std::string ReadFile(const QString& path) {
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly)) return "<missing>";
    const QByteArray b = f.readAll();
    return std::string(b.constData(), static_cast<std::size_t>(b.size()));
}

void WriteFile(const QString& path, const std::string& bytes) {
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    QCOMPARE(f.write(bytes.data(), static_cast<qint64>(bytes.size())), static_cast<qint64>(bytes.size()));
}

std::string FailureOf(const std::function<void()>& f) {
    try {
        f();
    } catch (const Failure& e) {
        return e.what();
    }
    return "<no failure>";
}

// A pane with a change handler that records what it saw.
struct Watched {
    Pane pane;
    int calls = 0;
    std::string seenText;
    std::size_t seenLines = 0;
    Watched() {
        pane.setChangeHandler([this] {
            ++calls;
            seenText = ReadPaneText(pane);
            seenLines = CountPaneLines(pane);
        });
    }
};

}  // namespace

class PaneTest : public QObject {
    Q_OBJECT

private slots:
    void lineCounts_data();
    void lineCounts();
    void writingComparesFirst();
    void clearingCallsTheHandler();
    void gbkTextShowsAsChinese();
    void lineCountFollowsEveryEdit();
    void tripleClickSelectsALine();
    void everyGbkCharacterReadsBackAfterAnEdit();
    void loadingMakesCrLfAndKeepsEverythingElse_data();
    void loadingMakesCrLfAndKeepsEverythingElse();
    void loadingAnEmptyFileEmptiesThePane();
    void builtinTableLoadsUnchanged();
    void failedOpenLeavesThePaneAsItWas();
    void readFailingPartWayKeepsThePreviousText();
    void savingAndLoadingGiveTheSameText();
    void savingReplacesALongerFile();
    void savingThroughASymbolicLinkReplacesItsTarget();
    void saveFailuresLeaveTheOldFile();
    void clipboard();
    void typingAndKeyboardPastingStopAtTheLimit();
    void aFileLoadRaisesTheLimit();
};

void PaneTest::lineCounts_data() {
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<int>("lines");
    QTest::addColumn<QByteArray>("readBack");
    QTest::newRow("empty") << QByteArray("") << 0 << QByteArray("");
    QTest::newRow("a") << QByteArray("a") << 1 << QByteArray("a");
    QTest::newRow("a CRLF") << QByteArray("a\r\n") << 1 << QByteArray("a\r\n");
    QTest::newRow("CRLF") << QByteArray("\r\n") << 1 << QByteArray("\r\n");
    QTest::newRow("a CRLF CRLF") << QByteArray("a\r\n\r\n") << 2 << QByteArray("a\r\n\r\n");
    QTest::newRow("a CRLF CRLF b") << QByteArray("a\r\n\r\nb") << 3 << QByteArray("a\r\n\r\nb");
    // Lone breaks count as the derivations split them, and read back as CR LF.
    QTest::newRow("lone LF") << QByteArray("a\nb\n") << 2 << QByteArray("a\r\nb\r\n");
    QTest::newRow("lone CR") << QByteArray("a\rb") << 2 << QByteArray("a\r\nb");
}

void PaneTest::lineCounts() {
    QFETCH(QByteArray, text);
    QFETCH(int, lines);
    QFETCH(QByteArray, readBack);
    Pane pane;
    WritePaneText(pane, text.toStdString());
    QCOMPARE(CountPaneLines(pane), static_cast<std::size_t>(lines));
    QCOMPARE(QByteArray::fromStdString(ReadPaneText(pane)), readBack);
    // The same count as the text rules give for the text read back.
    QCOMPARE(CountPaneLines(pane), CountPaneLines(std::string_view(ReadPaneText(pane))));
    QCOMPARE(pane.isTextEmpty(), text.isEmpty());
}

void PaneTest::writingComparesFirst() {
    Watched w;
    WritePaneText(w.pane, "");
    QCOMPARE(w.calls, 0);  // "" into an empty pane is no change

    const std::string table = "aa " + kGong + "\r\nb " + kNiHao;
    WritePaneText(w.pane, table);
    QCOMPARE(w.calls, 1);
    // The handler already sees the new text and its line count.
    QCOMPARE(w.seenText, table);
    QCOMPARE(w.seenLines, std::size_t{2});

    WritePaneText(w.pane, table);
    QCOMPARE(w.calls, 1);

    // The new text replaces the whole content, wherever the caret was.
    w.pane.moveCursor(QTextCursor::End);
    WritePaneText(w.pane, "x");
    QCOMPARE(ReadPaneText(w.pane), std::string("x"));
    QCOMPARE(w.calls, 2);

    // Texts of any length: the input limit is for the user only.
    const std::string big(Pane::kDefaultInputLimit + 1000, 'a');
    WritePaneText(w.pane, big);
    QCOMPARE(ReadPaneText(w.pane).size(), big.size());
}

void PaneTest::clearingCallsTheHandler() {
    Watched w;
    WritePaneText(w.pane, "a\r\nb");
    ClearPane(w.pane);
    QCOMPARE(w.calls, 2);
    QCOMPARE(w.seenText, std::string());
    QCOMPARE(w.seenLines, std::size_t{0});
    ClearPane(w.pane);
    QCOMPARE(w.calls, 3);
}

void PaneTest::gbkTextShowsAsChinese() {
    Pane pane;
    WritePaneText(pane, "wqvb " + kNiHao);
    QCOMPARE(pane.toPlainText(), QStringLiteral("wqvb 你好"));
    // Text the user types is read back as GBK.
    pane.clear();
    pane.insertPlainText(QStringLiteral("aa 式\n工"));
    QCOMPARE(ReadPaneText(pane), std::string("aa \xCA\xBD\r\n") + kGong);
}

void PaneTest::lineCountFollowsEveryEdit() {
    // A table of several hundred lines, then edits of every kind anywhere in
    // it; after each the count agrees with the text read back.
    Pane pane;
    pane.resize(300, 200);
    pane.show();
    QVERIFY(QTest::qWaitForWindowExposed(&pane));
    std::string table;
    for (int i = 0; i < 300; ++i) table.append("a").append(std::to_string(i)).append(" ").append(kGong).append("\r\n");
    table += "end";
    WritePaneText(pane, table);
    QCOMPARE(CountPaneLines(pane), std::size_t{301});
    // The vertical scroll bar spans every line from the start.
    QCOMPARE(pane.verticalScrollBar()->maximum() + pane.verticalScrollBar()->pageStep(), 301);

    std::mt19937 random(6763);
    auto at = [&](int room) { return static_cast<int>(random() % static_cast<unsigned>(room)); };
    for (int step = 0; step < 600; ++step) {
        const int size = static_cast<int>(pane.characterCount());
        QTextCursor c = pane.textCursor();
        c.setPosition(at(size + 1));
        const int op = at(9);
        if (op == 0 || op == 1) {  // a selection removed, often across lines
            c.setPosition(std::min(size, c.position() + at(300)), QTextCursor::KeepAnchor);
            pane.setTextCursor(c);
            QTest::keyClick(&pane, Qt::Key_Backspace);
        } else if (op == 2) {  // a line break removed from either side
            c.movePosition(at(2) ? QTextCursor::StartOfLine : QTextCursor::EndOfLine);
            pane.setTextCursor(c);
            QTest::keyClick(&pane, at(2) ? Qt::Key_Backspace : Qt::Key_Delete);
        } else if (op == 3) {
            pane.setTextCursor(c);
            QTest::keyClick(&pane, Qt::Key_Return);
        } else if (op == 4) {
            pane.setTextCursor(c);
            QTest::keyClicks(&pane, "xy");
        } else if (op == 5) {
            pane.setTextCursor(c);
            pane.insertPlainText(QStringLiteral("p q\nr s\n"));
        } else if (op == 6) {
            pane.undo();
        } else if (op == 7) {
            pane.redo();
        } else if (step % 50 == 8) {
            WritePaneText(pane, table.substr(0, static_cast<std::size_t>(at(static_cast<int>(table.size())))));
        }
        const std::string text = ReadPaneText(pane);
        QCOMPARE(CountPaneLines(pane), CountPaneLines(std::string_view(text)));
        QCOMPARE(pane.isTextEmpty(), text.empty());
    }
    // Everything deleted.
    pane.selectAll();
    QTest::keyClick(&pane, Qt::Key_Delete);
    QCOMPARE(CountPaneLines(pane), std::size_t{0});
    pane.undo();
    QCOMPARE(CountPaneLines(pane), CountPaneLines(std::string_view(ReadPaneText(pane))));
}

void PaneTest::tripleClickSelectsALine() {
    Pane pane;
    pane.resize(300, 200);
    pane.show();
    QVERIFY(QTest::qWaitForWindowExposed(&pane));
    WritePaneText(pane, "aa x\r\nbb y\r\ncc z");
    const QRect second = pane.cursorRect(QTextCursor(pane.document()->findBlock(0)));
    const QPoint at(second.x() + 2, second.center().y() + second.height());  // on "bb y"
    QTest::mouseDClick(pane.viewport(), Qt::LeftButton, {}, at);
    QTest::mousePress(pane.viewport(), Qt::LeftButton, {}, at);
    QTest::mouseRelease(pane.viewport(), Qt::LeftButton, {}, at);
    QCOMPARE(pane.textCursor().selectedText(), QStringLiteral("bb y") + QChar(QChar::LineSeparator));
    pane.copy();
    QCOMPARE(QGuiApplication::clipboard()->text(), QStringLiteral("bb y\n"));

    // Dragging, or Shift+click, then takes whole lines.
    const QPoint third(at.x() + 10, at.y() + second.height());
    QTest::mouseDClick(pane.viewport(), Qt::LeftButton, {}, at);
    QTest::mousePress(pane.viewport(), Qt::LeftButton, {}, at);
    QTest::mouseMove(pane.viewport(), third);
    QTest::mouseRelease(pane.viewport(), Qt::LeftButton, {}, third);
    QCOMPARE(pane.textCursor().selectedText(), QStringLiteral("bb y") + QChar(QChar::LineSeparator) + "cc z");
    QTest::mouseDClick(pane.viewport(), Qt::LeftButton, {}, third);
    QTest::mousePress(pane.viewport(), Qt::LeftButton, {}, third);
    QTest::mouseRelease(pane.viewport(), Qt::LeftButton, {}, third);
    QTest::mouseClick(pane.viewport(), Qt::LeftButton, Qt::ShiftModifier, at);
    QCOMPARE(pane.textCursor().selectedText(), QStringLiteral("bb y") + QChar(QChar::LineSeparator) + "cc z");
}

void PaneTest::everyGbkCharacterReadsBackAfterAnEdit() {
    // Every character that code page 936 assigns, 64 to a line.
    std::string text;
    int onLine = 0;
    auto add = [&](const std::string& c) {
        const std::u16string u = ToUtf16(c, TextEncoding::Gbk);
        if (u.size() != 1 || u[0] == 0xFFFD || u[0] == 0x1A) return;
        text += c;
        if (++onLine == 64) {
            text += "\r\n";
            onLine = 0;
        }
    };
    for (int b = 0x01; b < 0x100; ++b)
        if (b != '\r' && b != '\n') add(std::string(1, static_cast<char>(b)));
    for (int lead = 0x81; lead <= 0xFE; ++lead)
        for (int trail = 0x40; trail <= 0xFE; ++trail)
            if (trail != 0x7F) add({static_cast<char>(lead), static_cast<char>(trail)});
    QVERIFY(text.size() > 40000);

    Pane pane;
    WritePaneText(pane, text);
    QVERIFY(ReadPaneText(pane) == text);
    // An edit and its undoing: the text is read from what the pane shows.
    pane.moveCursor(QTextCursor::End);
    pane.insertPlainText(QStringLiteral("x"));
    pane.textCursor().deletePreviousChar();
    const std::string back = ReadPaneText(pane);
    QCOMPARE(back.size(), text.size());
    QVERIFY(back == text);
    QCOMPARE(CountPaneLines(pane), CountPaneLines(std::string_view(text)));
}

void PaneTest::loadingMakesCrLfAndKeepsEverythingElse_data() {
    QTest::addColumn<QByteArray>("file");
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<int>("lines");
    QTest::newRow("LF") << QByteArray("a x\nb y\nc z") << QByteArray("a x\r\nb y\r\nc z") << 3;
    QTest::newRow("CR") << QByteArray("a x\rb y\rc z") << QByteArray("a x\r\nb y\r\nc z") << 3;
    QTest::newRow("mixed") << QByteArray("a\r\nb\nc\rd") << QByteArray("a\r\nb\r\nc\r\nd") << 4;
    QTest::newRow("final CRLF kept") << QByteArray("a\r\nb\r\n") << QByteArray("a\r\nb\r\n") << 2;
    QTest::newRow("UTF-8 BOM kept") << QByteArray(
                                           "\xEF\xBB\xBF"
                                           "a x\r\nb")
                                    << QByteArray(
                                           "\xEF\xBB\xBF"
                                           "a x\r\nb")
                                    << 2;
}

void PaneTest::loadingMakesCrLfAndKeepsEverythingElse() {
    QFETCH(QByteArray, file);
    QFETCH(QByteArray, text);
    QFETCH(int, lines);
    QTemporaryDir dir;
    const QString path = dir.filePath("t.txt");
    WriteFile(path, file.toStdString());
    Watched w;
    LoadPaneFromFile(w.pane, path);
    QCOMPARE(QByteArray::fromStdString(ReadPaneText(w.pane)), text);
    QCOMPARE(CountPaneLines(w.pane), static_cast<std::size_t>(lines));
    QCOMPARE(w.calls, 1);
    QCOMPARE(QByteArray::fromStdString(w.seenText), text);

    // A CR LF split between two blocks of a big file is still one break.
    std::string big(65535, 'x');
    big += "\r\n";
    big += "y";
    WriteFile(path, big);
    LoadPaneFromFile(w.pane, path);
    QCOMPARE(CountPaneLines(w.pane), std::size_t{2});
    QCOMPARE(ReadPaneText(w.pane), big);
}

void PaneTest::loadingAnEmptyFileEmptiesThePane() {
    QTemporaryDir dir;
    const QString path = dir.filePath("empty.txt");
    WriteFile(path, "");
    Watched w;
    WritePaneText(w.pane, "a b\r\nc d");
    LoadPaneFromFile(w.pane, path);
    QCOMPARE(ReadPaneText(w.pane), std::string());
    QCOMPARE(CountPaneLines(w.pane), std::size_t{0});
    QCOMPARE(w.calls, 2);
}

void PaneTest::builtinTableLoadsUnchanged() {
    Watched w;
    ResourceStream stream = OpenBuiltinTable();
    const std::string_view bytes = stream.bytes();
    LoadPaneFromStream(w.pane, stream);
    QCOMPARE(CountPaneLines(w.pane), std::size_t{10690});
    QCOMPARE(ReadPaneText(w.pane).size(), std::size_t{91369});
    QVERIFY(ReadPaneText(w.pane) == bytes);
    QCOMPARE(w.calls, 1);
    // A stream load leaves the limit alone.
    QCOMPARE(w.pane.inputLimit(), Pane::kDefaultInputLimit);
}

void PaneTest::failedOpenLeavesThePaneAsItWas() {
    QTemporaryDir dir;
    Watched w;
    WritePaneText(w.pane, "a b\r\nc d");
    const int calls = w.calls;
    const QString missing = dir.filePath("missing.txt");
    QCOMPARE(FailureOf([&] { LoadPaneFromFile(w.pane, missing); }),
             "Cannot open file \"" + missing.toStdString() + "\". No such file or directory");
    // A folder is no file either.
    QCOMPARE(FailureOf([&] { LoadPaneFromFile(w.pane, dir.path()); }),
             "Cannot open file \"" + dir.path().toStdString() + "\". Is a directory");
    QCOMPARE(ReadPaneText(w.pane), std::string("a b\r\nc d"));
    QCOMPARE(CountPaneLines(w.pane), std::size_t{2});
    QCOMPARE(w.pane.inputLimit(), Pane::kDefaultInputLimit);
    QCOMPARE(w.calls, calls);

    // A relative name is reported with its full path.
    const QString cwd = QDir::currentPath();
    QVERIFY(QDir::setCurrent(dir.path()));
    const std::string message = FailureOf([&] { LoadPaneFromFile(w.pane, "nothing.txt"); });
    QVERIFY(QDir::setCurrent(cwd));
    QCOMPARE(message,
             "Cannot open file \"" + dir.filePath("nothing.txt").toStdString() + "\". No such file or directory");
}

namespace {
int readsLeft = 0;
long FailingRead(int fd, void* buffer, unsigned long size) {
    if (readsLeft-- > 0) return ::read(fd, buffer, size < 16 ? size : 16);
    errno = EIO;
    return -1;
}
}  // namespace

void PaneTest::readFailingPartWayKeepsThePreviousText() {
    QTemporaryDir dir;
    const QString path = dir.filePath("t.txt");
    WriteFile(path, std::string(1000, 'z'));
    Watched w;
    WritePaneText(w.pane, "old text");
    const int calls = w.calls;
    readsLeft = 3;  // 48 bytes come in, then the device fails
    const std::string message = FailureOf([&] { LoadPaneFromFile(w.pane, path, &FailingRead); });
    QCOMPARE(message, "Cannot read file \"" + path.toStdString() + "\". Input/output error");
    QCOMPARE(ReadPaneText(w.pane), std::string("old text"));
    QCOMPARE(w.calls, calls);
    QCOMPARE(w.pane.inputLimit(), Pane::kDefaultInputLimit);
    // The same file reads whole once the device is back.
    LoadPaneFromFile(w.pane, path);
    QCOMPARE(ReadPaneText(w.pane), std::string(1000, 'z'));
}

void PaneTest::savingAndLoadingGiveTheSameText() {
    QTemporaryDir dir;
    const QString path = dir.filePath("out.txt");
    Pane source, copy;
    const std::string table = "a " + kGong + "\r\naadn \xC5\xAB \xDD\xE0\r\n\r\n  ";
    WritePaneText(source, table);
    SavePaneToFile(source, path);
    QCOMPARE(ReadFile(path), table);  // no BOM, nothing added at the end
    LoadPaneFromFile(copy, path);
    QCOMPARE(ReadPaneText(copy), ReadPaneText(source));
    QCOMPARE(QFile::permissions(path) & QFile::ReadOwner, QFile::ReadOwner);
    // No temporary file is left beside it.
    QCOMPARE(QDir(dir.path()).entryList(QDir::Files), QStringList{"out.txt"});

    Pane empty;
    SavePaneToFile(empty, path);
    QCOMPARE(ReadFile(path), std::string());
}

void PaneTest::savingReplacesALongerFile() {
    QTemporaryDir dir;
    const QString path = dir.filePath("out.txt");
    WriteFile(path, std::string(5000, 'o'));
    QFile::setPermissions(path, QFile::ReadOwner | QFile::WriteOwner | QFile::ReadGroup);
    Pane pane;
    WritePaneText(pane, "short");
    SavePaneToFile(pane, path);
    QCOMPARE(ReadFile(path), std::string("short"));
    // The replaced file keeps its permissions.
    QCOMPARE(QFile::permissions(path) & (QFile::ReadGroup | QFile::ReadOther), QFile::ReadGroup);
}

void PaneTest::savingThroughASymbolicLinkReplacesItsTarget() {
    QTemporaryDir dir;
    QVERIFY(QDir(dir.path()).mkdir("real"));
    const QString target = dir.filePath("real/table.txt");
    WriteFile(target, "old");
    QFile::setPermissions(target, QFile::ReadOwner | QFile::WriteOwner);
    const QString link = dir.filePath("link.txt");
    QVERIFY(QFile::link("real/table.txt", link));
    Pane pane;
    WritePaneText(pane, "new");
    SavePaneToFile(pane, link);
    QVERIFY(QFileInfo(link).isSymLink());
    QCOMPARE(ReadFile(target), std::string("new"));
    QCOMPARE(QFile::permissions(target) & (QFile::ReadGroup | QFile::ReadOther | QFile::ReadOwner),
             QFile::Permissions(QFile::ReadOwner));
    // Nothing left beside the link or the target.
    QCOMPARE(QDir(dir.path() + "/real").entryList(QDir::Files | QDir::Hidden), QStringList{"table.txt"});
}

void PaneTest::saveFailuresLeaveTheOldFile() {
    QTemporaryDir dir;
    Pane pane;
    WritePaneText(pane, std::string(20000, 'n'));

    const QString nowhere = dir.filePath("no/such/folder/x.txt");
    QCOMPARE(FailureOf([&] { SavePaneToFile(pane, nowhere); }),
             "Cannot create file \"" + nowhere.toStdString() + "\". No such file or directory");

    // A folder of that name can't be replaced by the file.
    QVERIFY(QDir(dir.path()).mkdir("taken.txt"));
    const QString taken = dir.filePath("taken.txt");
    QVERIFY(FailureOf([&] {
                SavePaneToFile(pane, taken);
            }).rfind("Cannot create file \"" + taken.toStdString() + "\". ", 0) == 0);
    QVERIFY(QFileInfo(taken).isDir());

    // The disk fills up in the middle of the write: the old file stays whole.
    const QString path = dir.filePath("old.txt");
    WriteFile(path, "old content");
    struct rlimit saved {};
    QVERIFY(getrlimit(RLIMIT_FSIZE, &saved) == 0);
    struct rlimit small = saved;
    small.rlim_cur = 4096;
    auto previous = std::signal(SIGXFSZ, SIG_IGN);
    QVERIFY(setrlimit(RLIMIT_FSIZE, &small) == 0);
    const std::string message = FailureOf([&] { SavePaneToFile(pane, path); });
    setrlimit(RLIMIT_FSIZE, &saved);
    std::signal(SIGXFSZ, previous);
    QCOMPARE(message, std::string("Failed to Save Stream"));
    QCOMPARE(ReadFile(path), std::string("old content"));
    QCOMPARE(QDir(dir.path()).entryList(QDir::Files), QStringList{"old.txt"});
}

void PaneTest::clipboard() {
    QClipboard* cb = QGuiApplication::clipboard();
    cb->setText(QStringLiteral("aa 式\nb 你好"));
    QCOMPARE(ReadClipboardText(), std::string("aa \xCA\xBD\r\nb ") + kNiHao);

    cb->setText(QStringLiteral("before") + QChar(0) + QStringLiteral("after"));
    QCOMPARE(ReadClipboardText(), std::string("before"));

    QImage picture(4, 4, QImage::Format_RGB32);
    picture.fill(Qt::red);
    cb->setImage(picture);
    QCOMPARE(ReadClipboardText(), std::string());

    cb->clear();
    QCOMPARE(ReadClipboardText(), std::string());
}

void PaneTest::typingAndKeyboardPastingStopAtTheLimit() {
    Pane pane;
    pane.resize(200, 100);
    pane.show();
    QVERIFY(QTest::qWaitForWindowExposed(&pane));

    const qint64 limit = Pane::kDefaultInputLimit;
    WritePaneText(pane, std::string(static_cast<std::size_t>(limit - 5), 'a'));
    pane.moveCursor(QTextCursor::End);
    QGuiApplication::clipboard()->setText(QStringLiteral("0123456789"));
    QTest::keyClick(&pane, Qt::Key_V, Qt::ControlModifier);
    QCOMPARE(pane.characterCount(), limit);
    QVERIFY(ReadPaneText(pane).substr(static_cast<std::size_t>(limit - 5)) == "01234");

    // At the limit, typing and pasting add nothing; deleting still works.
    QTest::keyClicks(&pane, "xyz");
    QTest::keyClick(&pane, Qt::Key_Return);
    QTest::keyClick(&pane, Qt::Key_V, Qt::ControlModifier);
    QCOMPARE(pane.characterCount(), limit);
    QTest::keyClick(&pane, Qt::Key_Backspace);
    QTest::keyClicks(&pane, "xyz");
    QCOMPARE(pane.characterCount(), limit);
    QVERIFY(ReadPaneText(pane).substr(static_cast<std::size_t>(limit - 5)) == "0123x");

    // Typing over a selection may use the room the selection leaves.
    pane.selectAll();
    QTest::keyClicks(&pane, "new");
    QCOMPARE(ReadPaneText(pane), std::string("new"));

    // A pasted line separator is a line break that the line count sees.
    pane.selectAll();
    QGuiApplication::clipboard()->setText(QStringLiteral("a") + QChar(QChar::LineSeparator) + QStringLiteral("b"));
    QTest::keyClick(&pane, Qt::Key_V, Qt::ControlModifier);
    QCOMPARE(ReadPaneText(pane), std::string("a\r\nb"));
    QCOMPARE(CountPaneLines(pane), std::size_t{2});

    // Beyond the limit through the program's own writes, the user adds nothing.
    WritePaneText(pane, std::string(static_cast<std::size_t>(limit + 10), 'b'));
    pane.moveCursor(QTextCursor::End);
    QTest::keyClicks(&pane, "c");
    QCOMPARE(pane.characterCount(), limit + 10);
}

void PaneTest::aFileLoadRaisesTheLimit() {
    QTemporaryDir dir;
    const QString path = dir.filePath("t.txt");
    WriteFile(path, std::string(static_cast<std::size_t>(Pane::kDefaultInputLimit), 'a'));
    Pane pane;
    pane.resize(200, 100);
    pane.show();
    QVERIFY(QTest::qWaitForWindowExposed(&pane));
    LoadPaneFromFile(pane, path);
    QCOMPARE(pane.inputLimit(), qint64{0x7FFFFFF0});
    pane.moveCursor(QTextCursor::End);
    QGuiApplication::clipboard()->setText(QStringLiteral("0123456789"));
    QTest::keyClick(&pane, Qt::Key_V, Qt::ControlModifier);
    QCOMPARE(pane.characterCount(), Pane::kDefaultInputLimit + 10);
    // Nothing lowers it again.
    ClearPane(pane);
    QCOMPARE(pane.inputLimit(), qint64{0x7FFFFFF0});
}

QTEST_MAIN(PaneTest)
#include "test_pane.moc"
