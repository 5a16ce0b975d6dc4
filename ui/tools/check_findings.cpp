#include "ui/tools/check_findings.h"

#include <QRegularExpression>

#include "core/text.h"
#include "formats/phrase_rules.h"
#include "ui/tools/tool_window.h"

namespace zelmora::tools {

namespace {

QString Utf8(std::string_view s) { return QString::fromUtf8(s.data(), static_cast<qsizetype>(s.size())); }

// What a code or word in the check's messages is called.
QString Noun(const QString& english) {
    return english == QLatin1String("code") ? QStringLiteral("编码") : QStringLiteral("词");
}

// Why a line would not be written back as it is (a writer's refusal).
QString RefusalText(const QString& why) {
    static const QRegularExpression refused(
        QStringLiteral(R"re(^The (code|word) "(.*)" (holds a line break|needs quotes and ends in a lone lead byte|)re"
                       R"re(ends in a lone lead byte and has a word after it), which a plain table can't hold$)re"));
    const QRegularExpressionMatch m = refused.match(why);
    if (!m.hasMatch()) return why;
    const QString reason = m.captured(3);
    const QString said = reason.startsWith(QLatin1String("holds")) ? QStringLiteral("含换行")
                         : reason.startsWith(QLatin1String("needs")) ? QStringLiteral("须加引号，又以半个字符结尾")
                                                                     : QStringLiteral("以半个字符结尾，后面还有词");
    return QStringLiteral("%1“%2”%3，纯文本码表容不下").arg(Noun(m.captured(1)), m.captured(2), said);
}

struct Wording {
    QRegularExpression english;
    QString (*chinese)(const QRegularExpressionMatch&);
};

const std::vector<Wording>& Wordings() {
    auto re = [](const char* pattern) { return QRegularExpression(QString::fromUtf8(pattern)); };
    static const std::vector<Wording> wordings = {
        {re(R"re(^a code without words$)re"),
         [](const QRegularExpressionMatch&) { return QStringLiteral("只有编码，没有词"); }},
        {re(R"re(^blank line$)re"), [](const QRegularExpressionMatch&) { return QStringLiteral("空行"); }},
        {re(R"re(^bytes (.+) are no (\S+) character$)re"),
         [](const QRegularExpressionMatch& m) {
             return QStringLiteral("字节 %1 不是 %2 字符").arg(m.captured(1), m.captured(2));
         }},
        {re(R"re(^replacement character U\+FFFD(?: \((\d+) times\))?: text damaged by a conversion$)re"),
         [](const QRegularExpressionMatch& m) {
             return QStringLiteral("替换字符 U+FFFD%1：文字在转换中已损坏")
                 .arg(m.captured(1).isEmpty() ? QString() : QStringLiteral("（%1 处）").arg(m.captured(1)));
         }},
        {re(R"re(^private-use character (.+): no standard character$)re"),
         [](const QRegularExpressionMatch& m) {
             return QStringLiteral("私用区字符 %1：不是标准字符").arg(m.captured(1));
         }},
        {re(R"re(^CJK compatibility ideograph (.+)$)re"),
         [](const QRegularExpressionMatch& m) {
             QString list = m.captured(1);
             static const QRegularExpression unified(QStringLiteral(R"re( \(unified: ("[^"]*" U\+[0-9A-F]+)\))re"));
             list.replace(unified, QStringLiteral("（对应统一汉字 \\1）"));
             list.replace(QStringLiteral(", "), QStringLiteral("，"));
             return QStringLiteral("CJK 兼容汉字 %1").arg(list);
         }},
        {re(R"re(^code "(.*)" has characters outside a-z$)re"),
         [](const QRegularExpressionMatch& m) {
             return QStringLiteral("编码“%1”含 a-z 以外的字符").arg(m.captured(1));
         }},
        {re(R"re(^code "(.*)" is longer than four letters$)re"),
         [](const QRegularExpressionMatch& m) { return QStringLiteral("编码“%1”长于四码").arg(m.captured(1)); }},
        {re(R"re(^word "(.*)" holds a line break, which no .* table can hold$)re"),
         [](const QRegularExpressionMatch& m) {
             return QStringLiteral("词“%1”含换行，除 libime 外的码表都容不下").arg(m.captured(1));
         }},
        {re(R"re(^word "(.*)" under code "(.*)" again \(first on line (\d+)\)$)re"),
         [](const QRegularExpressionMatch& m) {
             return QStringLiteral("编码“%1”下的词“%2”重复（首见于第%3行）")
                 .arg(m.captured(2), m.captured(1), m.captured(3));
         }},
        {re(R"re(^does not round-trip: would be written back as "(.*)"$)re"),
         [](const QRegularExpressionMatch& m) {
             return QStringLiteral("不能原样写回：会写成“%1”").arg(m.captured(1));
         }},
        {re(R"re(^does not round-trip: (.*)$)re"),
         [](const QRegularExpressionMatch& m) {
             return QStringLiteral("不能原样写回：%1").arg(RefusalText(m.captured(1)));
         }},
    };
    return wordings;
}

}  // namespace

QString ChineseFinding(std::string_view message) {
    QString english = Utf8(message);
    for (const Wording& w : Wordings())
        if (const QRegularExpressionMatch m = w.english.match(english); m.hasMatch()) return w.chinese(m);
    return english;
}

PhraseFindings::PhraseFindings(PhraseCodeCheck check, const formats::TableEntry* base)
    : check_(std::move(check)), base_(base) {}

void PhraseFindings::begin() {
    check_.begin();
    phrases_ = 0;
    wrong_.clear();
    unchecked_.clear();
}

void PhraseFindings::header(const formats::TableLayout& layout) {
    check_.header(layout);
    const auto& rules = layout.engine.rules;
    wubiRules_ = rules.empty() || rules == formats::WubiPhraseRules();
}

void PhraseFindings::check(const formats::TableEntry* entries, std::size_t count, std::vector<std::string>&) {
    for (std::size_t k = 0; k < count; ++k) {
        PhraseCodeCheck::Verdict v = check_.judge(entries[k].code, entries[k].word);
        if (v.kind == PhraseCodeCheck::Verdict::NotPhrase) continue;
        ++phrases_;
        const std::size_t entry = static_cast<std::size_t>(entries + k - base_);
        if (v.kind == PhraseCodeCheck::Verdict::Wrong)
            wrong_.push_back({entry, std::move(v)});
        else if (v.kind == PhraseCodeCheck::Verdict::Uncodable)
            unchecked_.push_back({entry, std::move(v)});
    }
}

void VariantFindings::begin() {
    check_.begin();
    found_.clear();
}

void VariantFindings::check(const formats::TableEntry* entries, std::size_t count, std::vector<std::string>&) {
    thread_local std::vector<VariantFinding> judged;
    judged.clear();
    check_.judge(entries, count, judged);
    std::size_t k = 0;
    for (VariantFinding& f : judged) {
        // Findings come in entry order: each on the first entry of its code and word from the last one's on.
        while (k + 1 < count && !(entries[k].code == f.code && entries[k].word == f.word)) ++k;
        found_.push_back({static_cast<std::size_t>(entries + k - base_), std::move(f)});
    }
}

namespace {

QString QuotedList(const std::vector<std::string>& items, const QString& separator) {
    QStringList quoted;
    for (const std::string& s : items) quoted << QStringLiteral("“%1”").arg(FromGb(s));
    return quoted.join(separator);
}

QString InAll(const VariantFinding& f) {
    return f.count > f.others.size() ? QStringLiteral("（共 %1 个）").arg(f.count) : QString();
}

}  // namespace

QString VariantFindingText(const VariantFinding& f) {
    using K = VariantFinding::Kind;
    const QString code = FromGb(f.code), word = FromGb(f.word);
    switch (f.kind) {
        case K::TraditionalFirst:
            return QStringLiteral("编码“%1”下繁体字“%2”排在%3“%4”之前")
                .arg(code, word, f.ownForm ? QStringLiteral("其简体") : QStringLiteral("简体字"), FromGb(f.other));
        case K::TraditionalShortCode:
            return QStringLiteral("繁体字“%1”占用简码“%2”，全码以此开头的简体字可用：%3%4")
                .arg(word, code, QuotedList(f.others, QStringLiteral("、")), InAll(f));
        case K::SymbolCode:
            return QStringLiteral("汉字码表中编码“%1”下全是符号：%2%3")
                .arg(code, QuotedList(f.others, QStringLiteral("、")), InAll(f));
        case K::MixedWord:
            return QStringLiteral("编码“%1”下的词“%2”混有汉字与 ASCII 字母或数字").arg(code, word);
        case K::StrayCode:
            return QStringLiteral("单字“%1”的编码“%2”既非其全码%3，也非全码的开头")
                .arg(word, code, QuotedList(f.others, QStringLiteral("或")));
    }
    return {};
}

QString WrongPhraseText(const formats::TableEntry& entry, const PhraseCodeCheck::Verdict& verdict, bool wubiRules) {
    QStringList expected;
    for (const std::string& c : verdict.expected) expected << QStringLiteral("“%1”").arg(FromGb(c));
    return QStringLiteral("词组“%1”编码为“%2”，按%3应为%4")
        .arg(FromGb(entry.word), FromGb(entry.code),
             wubiRules ? QStringLiteral("五笔86规则") : QStringLiteral("码表的构词规则"),
             expected.join(QStringLiteral("或")));
}

QString UncheckedPhraseText(const formats::TableEntry& entry, const PhraseCodeCheck::Verdict& verdict) {
    QString why;
    switch (verdict.why) {
        case Uncoded::NoCharacterCode:
            why = QStringLiteral("“%1”无全码").arg(FromGb(verdict.missing));
            break;
        case Uncoded::NoRule: {
            std::size_t characters = 0;
            for (std::size_t i = 0; i < entry.word.size(); i += CharWidth(entry.word, i)) ++characters;
            why = QStringLiteral("构词规则中没有 %1 字词的规则").arg(characters);
            break;
        }
        case Uncoded::NoSuchCharacter:
            why = QStringLiteral("构词规则所取的字超出词长");
            break;
        case Uncoded::NoSuchKey:
            why = QStringLiteral("“%1”的全码没有构词规则所取的码").arg(FromGb(verdict.missing));
            break;
    }
    return QStringLiteral("词组“%1”（编码 %2）无法核对：%3").arg(FromGb(entry.word), FromGb(entry.code), why);
}

}  // namespace zelmora::tools
