// Characters outside GBK in the window: typed, pasted, loaded, through every
// derivation and both exports, without turning into "?"; and texts of GBK
// characters only held exactly as before.
#include <QApplication>
#include <QClipboard>
#include <QDir>
#include <QFileDialog>
#include <QInputMethodEvent>
#include <QLineEdit>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <memory>

#include "core/collation.h"
#include "core/gbk.h"
#include "core/text_encoding.h"
#include "resources/resources.h"
#include "transform/pipeline.h"
#include "ui/desktop.h"
#include "window_support.h"

using namespace zelmora;
using namespace zelmora::testing;

namespace {

// In GB18030: 𠀀 (U+20000, CJK Extension B), 😀 (U+1F600), 工.
const std::string kExtB = "\x95\x32\x82\x36";
const std::string kEmoji = "\x94\x39\xFC\x36";
const std::string kGong = "\xB9\xA4";
const QString kExtBText = QString::fromUtf8("\xF0\xA0\x80\x80");
const QString kEmojiText = QString::fromUtf8("\xF0\x9F\x98\x80");

// The pipeline's results for GB18030 bytes, collated and counted as GB18030.
PipelineResult PipelineInGb18030(const std::string& source) {
    return RunPipeline(source, std::nullopt, TextEncoding::Gb18030);
}

// Typed through the input method, as characters outside ASCII are.
void Commit(QWidget* w, const QString& text) {
    QInputMethodEvent e;
    e.setCommitString(text);
    QApplication::sendEvent(w, &e);
}

}  // namespace

class PaneTextTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();

    void gbkTextStaysGbk();
    void textOutsideGbkIsHeldAsGb18030();
    void typedAndKeyboardPastedCharactersSurvive();
    void menuPasteKeepsEveryCharacter();
    void everyDerivationKeepsThem();
    void bothSourcePanesInDifferentEncodings();
    void theTextExportKeepsThem();
    void savingOnePaneKeepsThem();

private:
    std::unique_ptr<TForm1> form;
    std::vector<Box> boxes;
    QTemporaryDir dir;
    QString startDir;
};

void PaneTextTest::initTestCase() {
    QVERIFY(dir.isValid());
    startDir = QDir::currentPath();
}

void PaneTextTest::init() {
    boxes.clear();
    QDir::setCurrent(dir.path());
    form = std::make_unique<TForm1>();
    form->setMessageBoxRunner([this](QMessageBox& box) {
        boxes.push_back({box.icon(), box.windowTitle(), box.text()});
    });
    form->setDesktopOpener([](const QUrl&) { return true; });
    form->show();
    QVERIFY(QTest::qWaitForWindowExposed(form.get()));
}

void PaneTextTest::cleanup() {
    form.reset();
    QDir::setCurrent(startDir);
}

void PaneTextTest::gbkTextStaysGbk() {
    // The built-in table's text, through Unicode and back: the same bytes,
    // in GBK, as the old conversion gives.
    const std::string table = OpenBuiltinTable().readAll();
    const std::u16string unicode = DecodePaneText(table, TextEncoding::Gbk);
    const PaneText back = EncodePaneText(unicode);
    QCOMPARE(back.encoding, TextEncoding::Gbk);
    QVERIFY(back.bytes == table);
    QVERIFY(back.bytes == EncodeGbk(unicode));
    // The characters whose GBK and GB18030 codes differ stay GBK: the euro
    // sign is 0x80 in GBK, as the window always wrote it.
    const PaneText euro = EncodePaneText(u"a \u20AC");
    QCOMPARE(euro.encoding, TextEncoding::Gbk);
    QCOMPARE(euro.bytes, std::string("a \x80"));
    QCOMPARE(EncodePaneText(u"").encoding, TextEncoding::Gbk);
}

void PaneTextTest::textOutsideGbkIsHeldAsGb18030() {
    const PaneText t = EncodePaneText(QStringLiteral("aaaa ") + kExtBText + QStringLiteral("\nbbbb ") + kEmojiText +
                                      QStringLiteral(" 工"));
    QCOMPARE(t.encoding, TextEncoding::Gb18030);
    QCOMPARE(t.bytes, "aaaa " + kExtB + "\nbbbb " + kEmoji + " " + kGong);
    QCOMPARE(QString::fromStdU16String(DecodePaneText(t.bytes, t.encoding)),
             QStringLiteral("aaaa ") + kExtBText + QStringLiteral("\nbbbb ") + kEmojiText + QStringLiteral(" 工"));
    // GBK bytes converted keep their characters; the euro sign moves to its
    // GB18030 code.
    QCOMPARE(ConvertPaneText("x \x80 " + kGong, TextEncoding::Gbk, TextEncoding::Gb18030),
             std::string("x \xA2\xE3 ") + kGong);
    QVERIFY(IsValidText(kExtB, TextEncoding::Gb18030));
    QVERIFY(!IsValidText(kExtB, TextEncoding::Gbk));
    QVERIFY(!IsValidText("\x81\x20", TextEncoding::Gb18030));

    // Written into a pane and read back whole.
    Pane pane;
    int changes = 0;
    pane.setChangeHandler([&] { ++changes; });
    WritePaneText(pane, t.bytes, t.encoding);
    QCOMPARE(changes, 1);
    QCOMPARE(pane.toPlainText(),
             QStringLiteral("aaaa ") + kExtBText + QStringLiteral("\nbbbb ") + kEmojiText + QStringLiteral(" 工"));
    QCOMPARE(ReadPaneText(pane), "aaaa " + kExtB + "\r\nbbbb " + kEmoji + " " + kGong);
    QCOMPARE(PaneTextEncoding(pane), TextEncoding::Gb18030);
    QCOMPARE(CountPaneLines(pane), std::size_t{2});
    // The same bytes in the same encoding are no change; the same bytes read
    // as GBK are another text.
    WritePaneText(pane, ReadPaneText(pane), TextEncoding::Gb18030);
    QCOMPARE(changes, 1);
    WritePaneText(pane, "abc");
    QCOMPARE(PaneTextEncoding(pane), TextEncoding::Gbk);
    ClearPane(pane);
    QCOMPARE(PaneTextEncoding(pane), TextEncoding::Gbk);

    // A file's text, as a file load takes it.
    LoadPaneFromText(pane, "a " + kEmoji + "\nb " + kGong + "\r", TextEncoding::Gb18030);
    QCOMPARE(ReadPaneText(pane), "a " + kEmoji + "\r\nb " + kGong + "\r\n");
    QCOMPARE(pane.inputLimit(), Pane::kLoadedInputLimit);
}

void PaneTextTest::typedAndKeyboardPastedCharactersSurvive() {
    Pane* pane = form->RichEdit1;
    pane->setFocus();
    QTest::keyClicks(pane, QStringLiteral("aaaa "));
    Commit(pane, kExtBText);
    QCOMPARE(ReadPaneText(*pane), "aaaa " + kExtB);
    QCOMPARE(PaneTextEncoding(*pane), TextEncoding::Gb18030);
    QCOMPARE(form->Label1->text(), QStringLiteral("1行"));
    QGuiApplication::clipboard()->setText(QStringLiteral("\nbbbb ") + kEmojiText);
    QTest::keyClick(pane, Qt::Key_V, Qt::ControlModifier);
    QCOMPARE(ReadPaneText(*pane), "aaaa " + kExtB + "\r\nbbbb " + kEmoji);
    QCOMPARE(form->Label1->text(), QStringLiteral("2行"));
    // Deleting the characters outside GBK brings the text back to GBK.
    WritePaneText(*pane, "x");
    QTest::keyClick(pane, Qt::Key_End, Qt::ControlModifier);
    Commit(pane, QStringLiteral(" 工"));
    QCOMPARE(PaneTextEncoding(*pane), TextEncoding::Gbk);
    QCOMPARE(ReadPaneText(*pane), "x " + kGong);
}

void PaneTextTest::menuPasteKeepsEveryCharacter() {
    QGuiApplication::clipboard()->setText(QStringLiteral("aaaa ") + kExtBText + QStringLiteral("\nbbbb ") + kEmojiText);
    form->N3->trigger();
    QCOMPARE(ReadPaneText(*form->RichEdit1), "aaaa " + kExtB + "\r\nbbbb " + kEmoji);
    QCOMPARE(form->RichEdit1->toPlainText(),
             QStringLiteral("aaaa ") + kExtBText + QStringLiteral("\nbbbb ") + kEmojiText);
    const PaneText read = ReadClipboard(&DefaultClipboardOwnerCheck);
    QCOMPARE(read.encoding, TextEncoding::Gb18030);
    QCOMPARE(ReadClipboardText(), read.bytes);
    // Into the one-word-per-line pane as well.
    QGuiApplication::clipboard()->setText(QStringLiteral("cccc ") + kEmojiText);
    form->N9->trigger();
    QCOMPARE(ReadPaneText(*form->RichEdit2), "cccc " + kEmoji);
    // A GBK text on the clipboard is read as before.
    QGuiApplication::clipboard()->setText(QStringLiteral("aa 工"));
    QCOMPARE(ReadClipboard(&DefaultClipboardOwnerCheck), (PaneText{"aa " + kGong, TextEncoding::Gbk}));
    QVERIFY(boxes.empty());
}

void PaneTextTest::everyDerivationKeepsThem() {
    // Codes of every length, shared codes and short codes, so that every
    // result pane gets some of the characters.
    const QString table = QStringLiteral("a ") + kExtBText +
                          QStringLiteral(
                              " 工\n"
                              "aa ") +
                          kEmojiText +
                          QStringLiteral(
                              "\n"
                              "aaa ") +
                          kExtBText +
                          QStringLiteral(
                              "\n"
                              "aaaa ") +
                          kExtBText + QStringLiteral(" ") + kEmojiText +
                          QStringLiteral(
                              "\n"
                              "aaab 工\n"
                              "bbbb ") +
                          kEmojiText +
                          QStringLiteral(
                              " 式\n"
                              "ccc 式");
    QGuiApplication::clipboard()->setText(table);
    form->N3->trigger();
    RunEveryDerivation(*form);
    QVERIFY(boxes.empty());

    const PaneText source = ReadPaneTextAs(*form->RichEdit1);
    QCOMPARE(source.encoding, TextEncoding::Gb18030);
    const PipelineResult expected = PipelineInGb18030(source.bytes);
    const auto panes = ResultPanes(*form);
    int withExtB = 0, withEmoji = 0;
    for (const auto& [hint, text] : expected.outputs) {
        Pane* pane = panes.at(hint);
        QVERIFY2(ReadPaneText(*pane) == text, hint.c_str());
        if (!text.empty()) QCOMPARE(PaneTextEncoding(*pane), TextEncoding::Gb18030);
        QVERIFY2(!pane->toPlainText().contains(u'?'), hint.c_str());
        withExtB += pane->toPlainText().contains(kExtBText);
        withEmoji += pane->toPlainText().contains(kEmojiText);
    }
    QVERIFY(withExtB >= 8);
    QVERIFY(withEmoji >= 8);
    const auto status = StatusLines(*form);
    for (const auto& [caption, text] : expected.statusLines) QCOMPARE(status.at(caption), QString::fromStdString(text));
}

void PaneTextTest::bothSourcePanesInDifferentEncodings() {
    // RichEdit1 in GBK, RichEdit2 pasted with an emoji: the relation reads
    // both in GB18030.
    WritePaneText(*form->RichEdit1, "aa " + kGong + "\r\naaaa " + kGong);
    QGuiApplication::clipboard()->setText(QStringLiteral("aa 工\naaaa 工\nbbbb ") + kEmojiText);
    form->N9->trigger();
    QCOMPARE(PaneTextEncoding(*form->RichEdit1), TextEncoding::Gbk);
    form->Button1->click();
    QVERIFY(boxes.empty());
    QCOMPARE(ReadPaneText(*form->RichEdit24), "aa " + kGong + "\r\naaaa " + kGong);
    QCOMPARE(PaneTextEncoding(*form->RichEdit24), TextEncoding::Gb18030);
    QCOMPARE(ReadPaneText(*form->RichEdit23), kGong);
    QCOMPARE(form->RichEdit18->toPlainText(), QStringLiteral("aaaa 工"));
}

void PaneTextTest::theTextExportKeepsThem() {
    QGuiApplication::clipboard()->setText(QStringLiteral("aaaa ") + kExtBText + QStringLiteral("\nbbbb ") + kEmojiText);
    form->N3->trigger();
    form->N21->trigger();
    form->N8->trigger();
    QVERIFY(boxes.empty());
    QCOMPARE(ReadFile(dir.filePath("原码表.txt")), "aaaa " + kExtB + "\r\nbbbb " + kEmoji);
    QCOMPARE(ReadFile(dir.filePath("一字一行.txt")), "aaaa " + kExtB + "\r\nbbbb " + kEmoji);
    QCOMPARE(ReadFile(dir.filePath("重码一行.txt")), ReadPaneText(*form->RichEdit19));
    // The file reads back as the same text.
    Pane back;
    LoadPaneFromFile(back, dir.filePath("原码表.txt"));
    WritePaneText(back, ReadPaneText(back), TextEncoding::Gb18030);
    QCOMPARE(back.toPlainText(), form->RichEdit1->toPlainText());
}

void PaneTextTest::savingOnePaneKeepsThem() {
    QGuiApplication::clipboard()->setText(QStringLiteral("aaaa ") + kExtBText + QStringLiteral(" ") + kEmojiText);
    form->N3->trigger();
    form->RichEdit1->setFocus();
    QTRY_VERIFY(form->RichEdit1->hasFocus());
    const QString target = dir.filePath("one.txt");
    form->setFileDialogRunner([&](QFileDialog& dialog) {
        dialog.selectFile(target);
        return int(QDialog::Accepted);
    });
    form->SavePaneItem->trigger();
    QVERIFY(WaitForFormatWork(*form));
    QVERIFY(boxes.empty());
    // The source is no file of another encoding: the pane's bytes, GB18030.
    QCOMPARE(ReadFile(target), "aaaa " + kExtB + " " + kEmoji);
}

QTEST_MAIN(PaneTextTest)
#include "test_pane_text.moc"
