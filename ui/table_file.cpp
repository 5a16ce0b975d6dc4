#include "ui/table_file.h"

#include <QDir>
#include <QFileInfo>

#include "core/failure.h"
#include "formats/files.h"
#include "ui/user_message.h"

namespace zelmora {

namespace {

using formats::Encoding;
using formats::Format;

[[noreturn]] void NotATable(const QString& path, const QString& why) {
    throw UserMessage(QStringLiteral("“%1”不是码表文件：%2。码表保持不变。")
                          .arg(QDir::toNativeSeparators(QFileInfo(path).absoluteFilePath()), why)
                          .toStdString());
}

bool IsUnicode(Encoding e) { return e == Encoding::Utf8 || e == Encoding::Utf16le || e == Encoding::Utf16be; }

}  // namespace

QString DescribeTable(Format format, Encoding encoding, bool hadBom) {
    QString kind;
    switch (format) {
        case Format::Rime:
            kind = QStringLiteral("Rime 词典");
            break;
        case Format::Libime:
            kind = QStringLiteral("libime 码表");
            break;
        case Format::Fcitx4:
            kind = QStringLiteral("fcitx4 码表");
            break;
        case Format::Ibus:
            kind = QStringLiteral("ibus-table 码表");
            break;
        case Format::Yong:
            kind = QStringLiteral("yong 码表");
            break;
        case Format::Duoduo:
            kind = QStringLiteral("多多码表");
            break;
        case Format::Bingling:
            kind = QStringLiteral("冰凌码表");
            break;
        case Format::SogouPhrase:
            kind = QStringLiteral("搜狗自定义短语");
            break;
        case Format::BaiduPhrase:
            kind = QStringLiteral("百度自定义短语");
            break;
        case Format::MsPhrase:
            // Binary: no text encoding to name.
            return QStringLiteral("微软拼音、五笔自定义短语（二进制）");
        default:
            kind = QStringLiteral("纯文本码表");
            break;
    }
    QString text = kind + QStringLiteral("，") + QString::fromUtf8(formats::EncodingName(encoding));
    if (hadBom) text += QStringLiteral("（带 BOM）");
    return text;
}

OpenedTable ReadTableFile(const QString& path) {
    const QFileInfo info(path);
    if (info.isDir()) NotATable(path, QStringLiteral("这是一个文件夹"));
    const std::string bytes = ReadInput(QFile::encodeName(path).toStdString());

    formats::TableDocument doc;
    try {
        doc = formats::ReadTable(bytes, Encoding::Auto, Format::Auto);
    } catch (const Failure& failure) {
        NotATable(path, QString::fromUtf8(failure.what()));
    }
    if (doc.text.find('\0') != std::string::npos) NotATable(path, QStringLiteral("含有 NUL 字符，是二进制文件"));

    OpenedTable table;
    table.format = doc.format;
    table.hadBom = doc.hadBom;
    if (IsUnicode(doc.encoding)) {
        table.encoding = doc.encoding;
        table.text = {formats::ToGroupLines(doc), TextEncoding::Gb18030};
    } else {
        // Bytes kept as the file holds them: GBK when they are GBK throughout,
        // as "打开..." takes them, otherwise GB18030.
        TextEncoding held;
        if (IsValidText(doc.text, TextEncoding::Gbk))
            held = TextEncoding::Gbk;
        else if (IsValidText(doc.text, TextEncoding::Gb18030))
            held = TextEncoding::Gb18030;
        else
            NotATable(path, QStringLiteral("无法按 UTF-8、UTF-16、GB18030 或 GBK 解码"));
        table.encoding = held == TextEncoding::Gbk ? Encoding::Gbk : Encoding::Gb18030;
        table.text = {formats::ToGroupLines(doc), held};
    }
    // Only entries with a weight or stem matter when results are written back.
    auto extras = std::make_shared<TableExtras>();
    for (formats::TableEntry& e : doc.entries)
        if (e.weight || e.stem) extras->entries.push_back(std::move(e));
    extras->byPair.reserve(extras->entries.size());
    for (const formats::TableEntry& e : extras->entries)
        extras->byPair.try_emplace(TableExtras::key(e.code, e.word), &e);
    table.extras = std::move(extras);
    return table;
}

}  // namespace zelmora
