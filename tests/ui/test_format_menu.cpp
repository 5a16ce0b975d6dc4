// The "格式" menu: tables of any encoding and format opened as the command
// line reads them (through the menu, a dropped file or the program's
// argument), what the window says it recognised, files that are no table,
// and saving one pane.
#include <QApplication>
#include <QDir>
#include <QFileDialog>
#include <QMenuBar>
#include <QMimeData>
#include <QElapsedTimer>
#include <QProcess>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <memory>

#include "formats/document.h"
#include "formats/encoding.h"
#include "formats/writing.h"
#include "core/failure.h"
#include "ui/desktop.h"
#include "ui/format_export.h"
#include "window_support.h"

using namespace zelmora;
using namespace zelmora::testing;

namespace {

const char* const kDebianRime = "/usr/share/rime-data/wubi86.dict.yaml";

// A small Rime dictionary sorted by weight: 工 (weight 9) comes before 式
// (weight 5) under "aaa" though the file lists it last.
const char* const kRime =
    "# Rime dictionary\n"
    "---\n"
    "name: small\n"
    "version: \"1\"\n"
    "sort: by_weight\n"
    "columns:\n"
    "  - text\n"
    "  - code\n"
    "  - weight\n"
    "...\n"
    "式\taaa\t5\n"
    "工\taaa\t9\n"
    "𠀀\tbbbb\t3\n"
    "戈\tag\t1\n";

std::string Utf16le(const QString& text, bool bom) {
    std::string out = bom ? std::string("\xFF\xFE") : std::string();
    for (QChar c : text) {
        out += static_cast<char>(c.unicode() & 0xFF);
        out += static_cast<char>(c.unicode() >> 8);
    }
    return out;
}

}  // namespace

class FormatMenuTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();

    void menuAndItems();
    void openDialogOffersEveryKind();
    void rimeTableInCandidateOrder();
    void utf16Tables();
    void windowsProgramsTables_data();
    void windowsProgramsTables();
    void plainGbkAsTheOldItemLoadsIt();
    void filesThatAreNoTable();
    void aResultTheFormatCannotHoldNamesItsPaneLine();
    void droppedFileOpens();
    void sameAsTheCommandLine_data();
    void sameAsTheCommandLine();
    void exportInTheRimeFormatAsTheCommandLine();
    void exportInTheSourceEncoding();
    void windowsPhraseFileOpensAndExportsAsOne();
    void otherItemsForgetTheFormat();
    void savingOnePaneInTheSourceEncoding();
    void exportRunsBesideTheWindow();

private:
    QString file(const QString& name, const std::string& bytes) {
        const QString path = dir.filePath(name);
        WriteFile(path, bytes);
        return path;
    }
    void chooseInDialog(const QString& path) {
        form->setFileDialogRunner([path](QFileDialog& dialog) {
            dialog.selectFile(path);
            return int(QDialog::Accepted);
        });
    }

    std::unique_ptr<TForm1> form;
    std::vector<Box> boxes;
    std::vector<QUrl> opened;
    QTemporaryDir dir;
    QString startDir;
};

void FormatMenuTest::initTestCase() {
    QVERIFY(dir.isValid());
    startDir = QDir::currentPath();
}

void FormatMenuTest::init() {
    boxes.clear();
    opened.clear();
    form = std::make_unique<TForm1>();
    form->setMessageBoxRunner([this](QMessageBox& box) {
        boxes.push_back({box.icon(), box.windowTitle(), box.text()});
    });
    form->setDesktopOpener([this](const QUrl& url) {
        opened.push_back(url);
        return true;
    });
    form->show();
    QVERIFY(QTest::qWaitForWindowExposed(form.get()));
}

void FormatMenuTest::cleanup() {
    form.reset();
    QDir::setCurrent(startDir);
}

void FormatMenuTest::menuAndItems() {
    const QList<QAction*> top = form->menuBar()->actions();
    QVERIFY(top.size() >= 2);
    QCOMPARE(top[0]->text(), QStringLiteral("原码表"));
    QCOMPARE(top[1]->text(), QStringLiteral("格式"));
    QCOMPARE(top[1]->menu(), form->FormatMenu);
    const QList<QAction*> items = form->FormatMenu->actions();
    QCOMPARE(items.size(), 3);
    QCOMPARE(items[0], form->OpenAnyFormatItem);
    QCOMPARE(items[0]->text(), QStringLiteral("打开任意格式码表..."));
    QCOMPARE(items[1], form->ExportInFormatItem);
    QCOMPARE(items[1]->text(), QStringLiteral("按原格式导出所有结果"));
    QCOMPARE(items[2], form->SavePaneItem);
    QCOMPARE(items[2]->text(), QStringLiteral("另存当前窗格..."));
    // "原码表" keeps its items and has no shortcuts, nor do the new ones.
    QCOMPARE(form->N1->actions().size(), 10);
    for (QAction* a : form->N1->actions() + items) QVERIFY(a->shortcut().isEmpty());

    // The export needs a source table; saving needs a pane that had focus.
    emit form->FormatMenu->aboutToShow();
    QVERIFY(!form->ExportInFormatItem->isEnabled());
    QVERIFY(!form->SavePaneItem->isEnabled());
    form->N86GB67631->trigger();
    form->RichEdit2->setFocus();
    QTRY_VERIFY(form->RichEdit2->hasFocus());
    emit form->FormatMenu->aboutToShow();
    QVERIFY(form->ExportInFormatItem->isEnabled());
    QVERIFY(form->SavePaneItem->isEnabled());
    // The help pane is no table: focus there leaves the item on the last pane.
    form->RichEdit20->setFocus();
    emit form->FormatMenu->aboutToShow();
    QVERIFY(form->SavePaneItem->isEnabled());
}

void FormatMenuTest::openDialogOffersEveryKind() {
    QStringList filters;
    bool native = true;
    QFileDialog::FileMode mode = QFileDialog::AnyFile;
    form->setFileDialogRunner([&](QFileDialog& dialog) {
        filters = dialog.nameFilters();
        native = !dialog.testOption(QFileDialog::DontUseNativeDialog);
        mode = dialog.fileMode();
        return int(QDialog::Rejected);
    });
    WritePaneText(*form->RichEdit1, "keep");
    form->OpenAnyFormatItem->trigger();
    QVERIFY(WaitForFormatWork(*form));
    QCOMPARE(ReadPaneText(*form->RichEdit1), std::string("keep"));
    QVERIFY(!native);
    QCOMPARE(mode, QFileDialog::ExistingFile);
    QCOMPARE(filters.last(), QStringLiteral("所有文件 (*)"));
    for (const char* kind :
         {"Rime", "libime", "fcitx4", "ibus", "yong", "文本码表", "多多", "冰凌", "极点", "搜狗", "百度"})
        QVERIFY2(filters.filter(QString::fromUtf8(kind)).size() == 1, kind);
    QVERIFY(filters.filter(QStringLiteral("*.dict.yaml")).size() >= 1);
    // "打开..." keeps its one filter.
    form->N2->trigger();
    QCOMPARE(filters, QStringList{QStringLiteral("文本文件(*.txt)")});
}

void FormatMenuTest::rimeTableInCandidateOrder() {
    chooseInDialog(file("small.dict.yaml", kRime));
    form->OpenAnyFormatItem->trigger();
    QVERIFY(WaitForFormatWork(*form));
    QVERIFY(boxes.empty());
    QCOMPARE(form->RichEdit1->toPlainText(), QString::fromUtf8("aaa 工 式\nbbbb \xF0\xA0\x80\x80\nag 戈"));
    QCOMPARE(PaneTextEncoding(*form->RichEdit1), TextEncoding::Gb18030);
    QCOMPARE(form->Label1->text(), QStringLiteral("3行"));
    QCOMPARE(form->RichEdit1->inputLimit(), Pane::kLoadedInputLimit);
    // Recognised format and encoding under the hint, not in any caption or
    // status line.
    QCOMPARE(form->RichEdit1->toolTip(), QStringLiteral("原码表\nsmall.dict.yaml：Rime 词典，UTF-8"));
    QCOMPARE(form->RichEdit1->hint(), QStringLiteral("原码表"));
    QCOMPARE(form->windowTitle(), QStringLiteral("Zelmora v0.9.10.26"));
    QCOMPARE(form->sourceTable().format, formats::Format::Rime);
    QCOMPARE(form->sourceTable().encoding, formats::Encoding::Utf8);
    // The weights go along for writing back.
    QCOMPARE(form->sourceTable().extras->entries.size(), std::size_t{4});
    QVERIFY(form->sourceTable().extras->find("aaa", "\xB9\xA4"));  // 工, weight 9
}

void FormatMenuTest::utf16Tables() {
    const QString text = QString::fromUtf8("aaaa 工 式\r\nbbbb \xF0\x9F\x98\x80\r\n");
    for (bool bom : {true, false}) {
        chooseInDialog(file(bom ? "bom16.txt" : "plain16.txt", Utf16le(text, bom)));
        form->OpenAnyFormatItem->trigger();
        QVERIFY(WaitForFormatWork(*form));
        QVERIFY2(boxes.empty(), boxes.empty() ? "" : qPrintable(boxes[0].text));
        QCOMPARE(form->RichEdit1->toPlainText(), QString::fromUtf8("aaaa 工 式\nbbbb \xF0\x9F\x98\x80\n"));
        QCOMPARE(form->Label1->text(), QStringLiteral("2行"));
        QCOMPARE(form->sourceTable().encoding, formats::Encoding::Utf16le);
        QCOMPARE(form->sourceTable().hadBom, bom);
        QVERIFY(form->RichEdit1->toolTip().endsWith(bom ? QStringLiteral("纯文本码表，UTF-16LE（带 BOM）")
                                                        : QStringLiteral("纯文本码表，UTF-16LE")));
    }
}

void FormatMenuTest::windowsProgramsTables_data() {
    QTest::addColumn<QString>("table");  // written as those programs write it: UTF-16LE with a mark, CR LF
    QTest::addColumn<int>("format");
    QTest::addColumn<QString>("kind");
    // Each holds 工 before 式 under "a" and 戈 under "ag"; the phrase files
    // list them out of order, their positions put them right.
    QTest::newRow("duoduo") << QStringLiteral("---config@码表分类=主码-1\r\n工\ta\r\n式\ta\r\n戈\tag\r\n")
                            << int(formats::Format::Duoduo) << QStringLiteral("多多码表");
    QTest::newRow("bingling") << QStringLiteral("Name=五笔\r\n[CODETABLE]\r\na\t工\r\na\t式\r\nag\t戈\r\n")
                              << int(formats::Format::Bingling) << QStringLiteral("冰凌码表");
    QTest::newRow("jidian") << QStringLiteral("a 工 式\r\nag 戈\r\n") << int(formats::Format::Plain)
                            << QStringLiteral("纯文本码表");
    QTest::newRow("sogou") << QStringLiteral(";自定义短语\r\na,2=式\r\na,1=工\r\nag,1=戈\r\n")
                           << int(formats::Format::SogouPhrase) << QStringLiteral("搜狗自定义短语");
    QTest::newRow("baidu") << QStringLiteral("a=2,式\r\na=1,工\r\nag=1,戈\r\n") << int(formats::Format::BaiduPhrase)
                           << QStringLiteral("百度自定义短语");
}

void FormatMenuTest::windowsProgramsTables() {
    QFETCH(QString, table);
    QFETCH(int, format);
    QFETCH(QString, kind);
    chooseInDialog(file(QStringLiteral("%1.txt").arg(QTest::currentDataTag()), Utf16le(table, true)));
    form->OpenAnyFormatItem->trigger();
    QVERIFY(WaitForFormatWork(*form));
    QVERIFY2(boxes.empty(), boxes.empty() ? "" : qPrintable(boxes[0].text));
    // A plain table (jidian) is its own text, final line break and all.
    QCOMPARE(form->RichEdit1->toPlainText().trimmed(), QString::fromUtf8("a 工 式\nag 戈"));
    QCOMPARE(int(form->sourceTable().format), format);
    QCOMPARE(form->sourceTable().encoding, formats::Encoding::Utf16le);
    QVERIFY2(form->RichEdit1->toolTip().endsWith(kind + QStringLiteral("，UTF-16LE（带 BOM）")),
             qPrintable(form->RichEdit1->toolTip()));
    // Exported in the table's own format and encoding: read back, the pane's entries.
    QTemporaryDir out;
    QDir::setCurrent(out.path());
    form->N21->trigger();
    form->ExportInFormatItem->trigger();
    QVERIFY(WaitForFormatWork(*form));
    QVERIFY2(boxes.empty(), boxes.empty() ? "" : qPrintable(boxes[0].text));
    const formats::TableDocument exported =
        formats::ReadTable(ReadFile(QDir(out.path()).filePath(QStringLiteral("重码一行.txt"))));
    QCOMPARE(int(exported.format), format);
    QCOMPARE(exported.encoding, formats::Encoding::Utf16le);
    const Pane& grouped = *ResultPanes(*form).at("重码一行");
    QCOMPARE(formats::ToGroupLines(exported),
             ConvertPaneText(ReadPaneText(grouped), PaneTextEncoding(grouped), TextEncoding::Gb18030));
}

void FormatMenuTest::plainGbkAsTheOldItemLoadsIt() {
    // GBK bytes, LF and a lone CR, a final break: what "打开..." makes of them.
    const std::string bytes = "aaaa \xB9\xA4\nbbbb \xCA\xBD\rcc \x80\n";
    const QString path = file("gbk.txt", bytes);
    Pane old;
    LoadPaneFromFile(old, path);
    chooseInDialog(path);
    form->OpenAnyFormatItem->trigger();
    QVERIFY(WaitForFormatWork(*form));
    QVERIFY(boxes.empty());
    QCOMPARE(ReadPaneText(*form->RichEdit1), ReadPaneText(old));
    QCOMPARE(PaneTextEncoding(*form->RichEdit1), TextEncoding::Gbk);
    QCOMPARE(form->RichEdit1->toPlainText(), old.toPlainText());
    QCOMPARE(form->sourceTable().encoding, formats::Encoding::Gbk);
    QVERIFY(form->RichEdit1->toolTip().endsWith(QStringLiteral("纯文本码表，GBK")));
}

void FormatMenuTest::aResultTheFormatCannotHoldNamesItsPaneLine() {
    // A Rime line that begins with "#" is a comment: the word can't be written.
    OpenedTable source;
    source.format = formats::Format::Rime;
    source.encoding = formats::Encoding::Utf8;
    const PaneText text{"aaaa \xB9\xA4\r\nbbbb \xC1\xCB\r\ncccc #x", TextEncoding::Gbk};  // 工, 了
    QString message;
    try {
        EncodeResult(text, "全码", source);
    } catch (const Failure& f) {
        message = QString::fromUtf8(f.what());
    }
    QVERIFY2(message.startsWith(QStringLiteral("全码.dict.yaml: Line 3")), qPrintable(message));
    QVERIFY2(message.endsWith(QStringLiteral("nothing was written")), qPrintable(message));
}

void FormatMenuTest::filesThatAreNoTable() {
    WritePaneText(*form->RichEdit1, "aa x");
    form->Label1->setText("unchanged");
    struct Case {
        QString path;
        const char* says;
    };
    const std::vector<Case> cases = {
        {file("picture.png", std::string("\x89PNG\r\n\x1A\n\0\0\0\rIHDR", 16)), "NUL"},
        {file("noise.bin", "\x81\x20\xFF\xFE\xFD\x81\x7F\x20"), "解码"},
        {dir.path(), "文件夹"},
    };
    for (const Case& c : cases) {
        boxes.clear();
        form->OpenTableFile(c.path);
        QVERIFY(WaitForFormatWork(*form));
        QCOMPARE(boxes.size(), std::size_t{1});
        QVERIFY2(boxes[0].text.contains(QString::fromUtf8(c.says)), qPrintable(boxes[0].text));
        QVERIFY(boxes[0].text.contains(QDir::toNativeSeparators(QFileInfo(c.path).absoluteFilePath())));
        QCOMPARE(boxes[0].title, QStringLiteral("Zelmora  v0.9.10.26"));
        QCOMPARE(ReadPaneText(*form->RichEdit1), std::string("aa x"));
        QCOMPARE(form->Label1->text(), QStringLiteral("unchanged"));
        QCOMPARE(form->RichEdit1->toolTip(), QStringLiteral("原码表"));
    }
    // A file that isn't there: the failure of "打开...".
    boxes.clear();
    form->OpenTableFile(dir.filePath("missing.txt"));
    QVERIFY(WaitForFormatWork(*form));
    QCOMPARE(boxes.size(), std::size_t{1});
    QVERIFY(boxes[0].text.startsWith(QStringLiteral("Cannot open file")));
    QCOMPARE(ReadPaneText(*form->RichEdit1), std::string("aa x"));
}

void FormatMenuTest::droppedFileOpens() {
    const QString path = file("drop.dict.yaml", kRime);
    QMimeData data;
    data.setUrls({QUrl::fromLocalFile(path)});
    QWidget* target = form->RichEdit2->viewport();
    QDragEnterEvent enter(QPoint(5, 5), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(target, &enter);
    QVERIFY(enter.isAccepted());
    QDropEvent drop(QPointF(5, 5), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(target, &drop);
    QVERIFY(WaitForFormatWork(*form));
    QVERIFY(boxes.empty());
    // Into the source pane, whichever pane it was dropped on.
    QCOMPARE(form->RichEdit1->toPlainText(), QString::fromUtf8("aaa 工 式\nbbbb \xF0\xA0\x80\x80\nag 戈"));
    QCOMPARE(ReadPaneText(*form->RichEdit2), std::string());
    // Dropped anywhere else on the window: the same.
    WritePaneText(*form->RichEdit1, "x");
    QDragEnterEvent onWindow(QPoint(5, 5), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(form.get(), &onWindow);
    QVERIFY(onWindow.isAccepted());
    QDropEvent dropOnWindow(QPointF(5, 5), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(form.get(), &dropOnWindow);
    QVERIFY(WaitForFormatWork(*form));
    QCOMPARE(form->Label1->text(), QStringLiteral("3行"));
    // Dropped text is still text.
    QMimeData words;
    words.setText("zz");
    QDragEnterEvent textEnter(QPoint(5, 5), Qt::CopyAction, &words, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(target, &textEnter);
    QDragMoveEvent textMove(QPoint(5, 5), Qt::CopyAction, &words, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(target, &textMove);
    QDropEvent textDrop(QPointF(5, 5), Qt::CopyAction, &words, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(target, &textDrop);
    QCOMPARE(ReadPaneText(*form->RichEdit2), std::string("zz"));
}

void FormatMenuTest::sameAsTheCommandLine_data() {
    QTest::addColumn<QString>("path");
    QTest::addColumn<QString>("how");
    if (!QFile::exists(kDebianRime))
        QFAIL("Debian's Rime Wubi table is missing: install the package rime-data-wubi (scripts/install-deps)");
    for (const char* how : {"menu", "argument", "drop"}) {
        QTest::newRow(qPrintable(QStringLiteral("rime by %1").arg(how))) << QString(kDebianRime) << QString(how);
        QTest::newRow(qPrintable(QStringLiteral("utf-16 by %1").arg(how))) << QStringLiteral("utf16") << QString(how);
    }
}

void FormatMenuTest::sameAsTheCommandLine() {
    QFETCH(QString, path);
    QFETCH(QString, how);
    if (path == "utf16") {
        // The built-in table's first thousand lines with two characters
        // outside GBK, in UTF-16 with a byte-order mark.
        const QString table = QString::fromUtf8(
            "a \xF0\xA0\x80\x80 工\r\naaaa \xF0\x9F\x98\x80\r\nbbbb 式 戈\r\n"
            "ccc 又\r\nccc 大\r\nab 工 式\r\n");
        path = file("table16.txt", Utf16le(table, true));
    }
    if (how == "menu") {
        chooseInDialog(path);
        form->OpenAnyFormatItem->trigger();
        QVERIFY(WaitForFormatWork(*form));
    } else if (how == "argument") {
        form->OpenTableFile(path);  // what the program does with its argument
        QVERIFY(WaitForFormatWork(*form));
    } else {
        QMimeData data;
        data.setUrls({QUrl::fromLocalFile(path)});
        QDragEnterEvent enter(QPoint(5, 5), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(form->RichEdit1->viewport(), &enter);
        QDropEvent drop(QPointF(5, 5), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(form->RichEdit1->viewport(), &drop);
        QVERIFY(WaitForFormatWork(*form));
    }
    QVERIFY(boxes.empty());
    RunEveryDerivation(*form);
    QVERIFY(boxes.empty());

    // The source pane holds the table as the library reads it.
    const std::string bytes = ReadFile(path);
    const formats::TableDocument doc = formats::ReadTable(bytes);
    QCOMPARE(
        QString::fromStdU16String(DecodePaneText(ReadPaneText(*form->RichEdit1), PaneTextEncoding(*form->RichEdit1)))
            .left(200),
        QString::fromStdU16String(DecodePaneText(formats::ToGroupLines(doc), TextEncoding::Gb18030)).left(200));
    QVERIFY(ReadPaneText(*form->RichEdit1) == formats::ToGroupLines(doc));

    // The command line on the same file: every result and status line.
    QTemporaryDir out;
    QProcess cli;
    cli.start(ZELMORA_CLI, {"run", "--source", path, "--format", "auto", "--out", out.path()});
    QVERIFY(cli.waitForFinished(120000));
    QCOMPARE(cli.exitCode(), 0);
    std::map<std::string, QString> printed;
    for (const QString& line : QString::fromUtf8(cli.readAllStandardOutput()).split(u'\n', Qt::SkipEmptyParts)) {
        const qsizetype tab = line.indexOf(u'\t');
        printed[line.left(tab).toStdString()] = line.mid(tab + 1);
    }
    const auto status = StatusLines(*form);
    QCOMPARE(printed.size(), status.size());
    for (const auto& [caption, text] : printed) QCOMPARE(status.at(caption), text);
    int files = 0;
    for (const auto& [hint, pane] : ResultPanes(*form)) {
        const QString written = QDir(out.path()).filePath(QString::fromStdString(hint) + ".txt");
        if (hint == "原码表" || !QFile::exists(written)) {
            QVERIFY2(hint == "原码表" || pane->isTextEmpty(), hint.c_str());
            continue;
        }
        const formats::DecodedText d = formats::DecodeText(ReadFile(written), formats::Encoding::Auto);
        QVERIFY2(ConvertPaneText(ReadPaneText(*pane), PaneTextEncoding(*pane), TextEncoding::Gb18030) == d.text,
                 hint.c_str());
        ++files;
    }
    QVERIFY(files >= 15);
}

void FormatMenuTest::exportInTheRimeFormatAsTheCommandLine() {
    if (!QFile::exists(kDebianRime))
        QFAIL("Debian's Rime Wubi table is missing: install the package rime-data-wubi (scripts/install-deps)");
    QTemporaryDir out, ref;
    QDir::setCurrent(out.path());
    form->OpenTableFile(kDebianRime);
    QVERIFY(WaitForFormatWork(*form));
    RunEveryDerivation(*form);
    form->ExportInFormatItem->trigger();
    QVERIFY(WaitForFormatWork(*form));
    QVERIFY2(boxes.empty(), boxes.empty() ? "" : qPrintable(boxes[0].text));
    QCOMPARE(opened.size(), std::size_t{1});

    QProcess cli;
    cli.start(ZELMORA_CLI, {"run", "--source", kDebianRime, "--output-format", "rime", "--out", ref.path()});
    QVERIFY(cli.waitForFinished(120000));
    QCOMPARE(cli.exitCode(), 0);
    const QStringList written = QDir(ref.path()).entryList(QDir::Files);
    QVERIFY(written.size() >= 15);
    QVERIFY(written.contains("一字一行.dict.yaml"));
    for (const QString& name : written) {
        const std::string mine = ReadFile(QDir(out.path()).filePath(name));
        const std::string theirs = ReadFile(QDir(ref.path()).filePath(name));
        QVERIFY2(mine != "<missing>", qPrintable(name));
        if (name.endsWith(".dict.yaml")) {
            // The same entries, weights and stems, in the same order.
            QVERIFY2(formats::ReadTable(mine).entries == formats::ReadTable(theirs).entries, qPrintable(name));
            QVERIFY2(mine.compare(0, 3, "\xEF\xBB\xBF") != 0, qPrintable(name));  // UTF-8 as the source, no mark
        } else {
            QVERIFY2(mine == theirs, qPrintable(name));
        }
    }
    // The source pane too, and the two panes the text export leaves out.
    for (const char* name : {"原码表.dict.yaml", "有简码的字.txt", "简码字的全码重码时置后.dict.yaml"})
        QVERIFY2(QFile::exists(QDir(out.path()).filePath(QString::fromUtf8(name))), name);
    QCOMPARE(formats::ReadTable(ReadFile(QDir(out.path()).filePath("原码表.dict.yaml"))).format, formats::Format::Rime);
}

void FormatMenuTest::exportInTheSourceEncoding() {
    QTemporaryDir out;
    QDir::setCurrent(out.path());
    // UTF-8 plain: UTF-8 text files, every character kept.
    form->OpenTableFile(file("plain8.txt", "aaaa \xF0\x9F\x98\x80 \xE5\xB7\xA5\nbbbb \xE5\xBC\x8F\n"));
    QVERIFY(WaitForFormatWork(*form));
    form->N21->trigger();
    form->ExportInFormatItem->trigger();
    QVERIFY(WaitForFormatWork(*form));
    QVERIFY(boxes.empty());
    const QString entries = QString::fromStdString(ReadFile(QDir(out.path()).filePath("一字一行.txt")));
    QCOMPARE(entries, form->RichEdit2->toPlainText().replace(u'\n', "\r\n"));
    QVERIFY(entries.contains(QString::fromUtf8("aaaa \xF0\x9F\x98\x80")));
    QCOMPARE(entries.count(u'\n'), 2);
    QCOMPARE(ReadFile(QDir(out.path()).filePath("原码表.txt")),
             std::string("aaaa \xF0\x9F\x98\x80 \xE5\xB7\xA5\r\nbbbb \xE5\xBC\x8F\r\n"));
    // GBK: the text export's bytes; a pane with a character outside GBK
    // as GB18030.
    form->N86GB67631->trigger();
    form->N21->trigger();
    form->ExportInFormatItem->trigger();
    QVERIFY(WaitForFormatWork(*form));
    QVERIFY(boxes.empty());
    for (const char* name : {"原码表", "一字一行", "重码一行"}) {
        const QString hint = QString::fromUtf8(name);
        QVERIFY2(ReadFile(QDir(out.path()).filePath(hint + ".txt")) == ReadPaneText(*ResultPanes(*form).at(name)),
                 name);
    }
    WritePaneText(*form->RichEdit24, "aa \x95\x32\x82\x36", TextEncoding::Gb18030);
    form->ExportInFormatItem->trigger();
    QVERIFY(WaitForFormatWork(*form));
    QCOMPARE(ReadFile(QDir(out.path()).filePath("简码字的全码重码时置后.txt")), std::string("aa \x95\x32\x82\x36"));
}

void FormatMenuTest::windowsPhraseFileOpensAndExportsAsOne() {
    // A binary Windows phrase file: its phrases as group lines, each code's
    // in position order, in the order written; the results exported as such
    // files.
    const std::vector<formats::TableEntry> entries = {
        {"ag", "\xB8\xEA", {}, {}}, {"aaa", "\xB9\xA4", {}, {}}, {"aaa", "\xCA\xBD", {}, {}}};  // 戈, 工, 式
    formats::WriteOptions w;
    w.format = formats::Format::MsPhrase;
    form->OpenTableFile(file("user.dat", formats::WriteEntries(entries, w)));
    QVERIFY(WaitForFormatWork(*form));
    QVERIFY2(boxes.empty(), boxes.empty() ? "" : qPrintable(boxes[0].text));
    QCOMPARE(form->RichEdit1->toPlainText(), QString::fromUtf8("ag 戈\naaa 工 式"));
    QCOMPARE(form->sourceTable().format, formats::Format::MsPhrase);
    QVERIFY(form->RichEdit1->toolTip().endsWith(QStringLiteral("user.dat：微软拼音、五笔自定义短语（二进制）")));

    QTemporaryDir out;
    QDir::setCurrent(out.path());
    form->N21->trigger();
    form->ExportInFormatItem->trigger();
    QVERIFY(WaitForFormatWork(*form));
    QVERIFY2(boxes.empty(), boxes.empty() ? "" : qPrintable(boxes[0].text));
    // The source as it was; the expansion in its own (sorted) order.
    const std::pair<const char*, std::vector<formats::TableEntry>> exported[] = {
        {"原码表", entries}, {"一字一行", {entries[1], entries[2], entries[0]}}};
    for (const auto& [name, want] : exported) {
        const formats::TableDocument back =
            formats::ReadTable(ReadFile(QDir(out.path()).filePath(QString::fromUtf8(name) + ".dat")));
        QCOMPARE(back.format, formats::Format::MsPhrase);
        QVERIFY2(back.entries == want, name);
    }
}

void FormatMenuTest::otherItemsForgetTheFormat() {
    form->OpenTableFile(file("again.dict.yaml", kRime));
    QVERIFY(WaitForFormatWork(*form));
    QCOMPARE(form->sourceTable().format, formats::Format::Rime);
    form->N86GB67631->trigger();
    QCOMPARE(form->sourceTable().format, formats::Format::Plain);
    QCOMPARE(form->sourceTable().encoding, formats::Encoding::Gbk);
    QCOMPARE(form->RichEdit1->toolTip(), QStringLiteral("原码表"));
}

void FormatMenuTest::savingOnePaneInTheSourceEncoding() {
    form->OpenTableFile(file("save.dict.yaml", kRime));
    QVERIFY(WaitForFormatWork(*form));
    form->N21->trigger();
    form->RichEdit19->setFocus();
    QTRY_VERIFY(form->RichEdit19->hasFocus());
    const QString target = dir.filePath("groups.txt");
    WriteFile(target, "old content that is longer than the new one, all of it");
    chooseInDialog(target);
    form->SavePaneItem->trigger();
    QVERIFY(WaitForFormatWork(*form));
    QVERIFY(boxes.empty());
    // UTF-8 as the source, whole, nothing of the old file left.
    QCOMPARE(QString::fromStdString(ReadFile(target)), form->RichEdit19->toPlainText().replace(u'\n', "\r\n"));
    QVERIFY(!QDir(dir.path()).entryList(QDir::Hidden | QDir::Files).filter("groups.txt.").size());
}

void FormatMenuTest::exportRunsBesideTheWindow() {
    if (!QFile::exists(kDebianRime))
        QFAIL("Debian's Rime Wubi table is missing: install the package rime-data-wubi (scripts/install-deps)");
    QTemporaryDir out;
    QDir::setCurrent(out.path());
    form->OpenTableFile(kDebianRime);
    QVERIFY(WaitForFormatWork(*form));
    RunEveryDerivation(*form);
    const QString lines = form->Label1->text();
    const QString other = file("other.txt", "zz x\r\n");

    // The window's loop goes on while the export works: a timer's ticks
    // come with no long gap between them (the export alone takes seconds;
    // the bound leaves room for a loaded machine).
    QElapsedTimer sinceTick;
    qint64 longestGap = 0;
    int ticks = 0;
    QTimer ticker;
    ticker.setInterval(10);
    connect(&ticker, &QTimer::timeout, [&] {
        if (ticks++) longestGap = std::max(longestGap, sinceTick.elapsed());
        sinceTick.restart();
    });
    ticker.start();
    form->ExportInFormatItem->trigger();
    QVERIFY(form->formatBusy());
    QVERIFY(form->FormatBusyIndicator->isVisible());
    QCOMPARE(form->FormatBusyLabel->text(), QStringLiteral("正在导出..."));
    QCOMPARE(form->cursor().shape(), Qt::BusyCursor);
    // No second command of the menu meanwhile: its items are off, and a
    // second export, an opened or a dropped table are refused.
    emit form->FormatMenu->aboutToShow();
    for (QAction* item : form->FormatMenu->actions()) QVERIFY2(!item->isEnabled(), qPrintable(item->text()));
    form->ExportInFormatItemClick(form->ExportInFormatItem);
    form->OpenTableFile(other);
    QMimeData data;
    data.setUrls({QUrl::fromLocalFile(other)});
    QDragEnterEvent enter(QPoint(5, 5), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(form->RichEdit1->viewport(), &enter);
    QVERIFY(!enter.isAccepted());
    // The window's own commands keep working beside it.
    form->N4->trigger();
    QCOMPARE(form->Label2->text(), QStringLiteral("136753行"));

    QSignalSpy finished(form.get(), &TForm1::formatWorkFinished);
    QVERIFY(finished.wait(120000));
    ticker.stop();
    QVERIFY2(ticks > 10, qPrintable(QString::number(ticks)));
    QVERIFY2(longestGap < 1000, qPrintable(QStringLiteral("the window stood still %1 ms").arg(longestGap)));
    QVERIFY2(boxes.empty(), boxes.empty() ? "" : qPrintable(boxes[0].text));
    QCOMPARE(opened.size(), std::size_t{1});
    QVERIFY(QFile::exists(QDir(out.path()).filePath("一字一行.dict.yaml")));
    QCOMPARE(form->Label1->text(), lines);  // the table refused stayed out
    QVERIFY(!form->formatBusy());
    QVERIFY(!form->FormatBusyIndicator->isVisible());
    QCOMPARE(form->cursor().shape(), Qt::ArrowCursor);
    emit form->FormatMenu->aboutToShow();
    QVERIFY(form->OpenAnyFormatItem->isEnabled());
    QVERIFY(form->ExportInFormatItem->isEnabled());
}

QTEST_MAIN(FormatMenuTest)
#include "test_format_menu.moc"
