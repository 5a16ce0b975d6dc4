// libime (fcitx5) tables and fcitx4's: settings, [Rule], [Data] with a
// code and a word a line, then [Phrase]. fcitx4 writes the keywords in
// Chinese; each engine reads the other's.
#include <algorithm>
#include <optional>
#include <string>
#include <vector>

#include "core/text.h"
#include "core/failure.h"
#include "formats/document.h"
#include "formats/lines.h"
#include "formats/phrase_rules.h"
#include "formats/reading.h"
#include "formats/writing_internal.h"

namespace zelmora::formats {

namespace {

using Kind = TableLine::Kind;

// The keywords of libime tables in English and in Chinese (the fcitx4 ones),
// GB18030 bytes.
struct Keywords {
    std::string keyCode, length, invalidChar, pinyin, pinyinLength, prompt, constructPhrase, rule, data, phrase;
    std::vector<const std::string*> config() const {
        return {&keyCode, &length, &invalidChar, &pinyin, &pinyinLength, &prompt, &constructPhrase, &rule, &data};
    }
};
const Keywords& English() {
    static const Keywords k{"KeyCode=", "Length=",          "InvalidChar=", "Pinyin=", "PinyinLength=",
                            "Prompt=",  "ConstructPhrase=", "[Rule]",       "[Data]",  "[Phrase]"};
    return k;
}
const Keywords& Chinese() {
    static const Keywords k{Gb("键码="), Gb("码长="), Gb("规避字符="),  Gb("拼音="),  Gb("拼音长度="),
                            Gb("提示="), Gb("构词="), Gb("[组词规则]"), Gb("[数据]"), Gb("[词组]")};
    return k;
}
bool StartsWithAny(std::string_view t, const Keywords& k) {
    for (const std::string* s : k.config())
        if (StartsWith(t, *s)) return true;
    return false;
}

std::string Unescape(std::string_view quoted) {
    std::string out;
    for (std::size_t i = 1; i + 1 < quoted.size(); ++i) {
        char c = quoted[i];
        if (c == '\\' && i + 2 < quoted.size()) {
            char d = quoted[++i];
            out += d == 'n' ? '\n' : d;
        } else {
            out += c;
        }
    }
    return out;
}

std::string Escape(std::string_view word) {
    std::string out = "\"";
    for (char c : word) {
        if (c == '\\' || c == '"') {
            out += '\\';
            out += c;
        } else if (c == '\n') {
            out += "\\n";
        } else {
            out += c;
        }
    }
    return out + "\"";
}

}  // namespace

std::optional<Format> LibimeHeaderShown(std::string_view t) {
    if (StartsWithAny(t, English())) return Format::Libime;
    if (StartsWithAny(t, Chinese())) return Format::Fcitx4;
    return std::nullopt;
}

// libime and fcitx4: settings, rules, [Data], then [Phrase].
TableLine::Kind LineReader::readLibime(std::string_view text, std::vector<TableEntry>& entries, std::string& problem) {
    using Phase = LibimeState::Phase;
    std::string_view t = TrimWhiteSpace(text);
    std::string& prefixes = layout_.specialPrefixes;
    if (libime_.phase == Phase::Config || libime_.phase == Phase::Rule) {
        if (t.empty() || t[0] == '#' || t[0] == ';') return Kind::Header;
        readEngineSetting(t);
        const Keywords* sets[2] = {&English(), &Chinese()};
        for (const Keywords* k : sets) {
            auto prefixChar = [&](const std::string& key, int slot) {
                if (!StartsWith(t, key) || t.size() == key.size()) return;
                char c = t[key.size()];
                // The defaults of prompt (slot 1) and phrase (slot 2) give way to the settings.
                if (format_ == Format::Fcitx4 && slot > 0)
                    prefixes.erase(std::remove(prefixes.begin(), prefixes.end(), slot == 1 ? '&' : '^'),
                                   prefixes.end());
                prefixes += c;
            };
            if (!StartsWith(t, k->pinyinLength)) prefixChar(k->pinyin, 0);
            prefixChar(k->prompt, 1);
            prefixChar(k->constructPhrase, 2);
            if (t == k->rule) libime_.phase = Phase::Rule;
            if (t == k->data) libime_.phase = Phase::Data;
        }
        return Kind::Header;
    }
    if (libime_.phase == Phase::Data) {
        if (t.empty()) return Kind::Blank;
        // txt2mb skips ';' lines anywhere.
        if (format_ == Format::Fcitx4 && t[0] == ';') return Kind::Comment;
        if (t == English().phrase || t == Chinese().phrase) {
            libime_.phase = Phase::Phrase;
            return Kind::Header;
        }
        if (prefixes.find(t[0]) != std::string::npos) return Kind::Extra;
        return data(text, entries, problem);
    }
    return t.empty() ? Kind::Blank : Kind::Extra;  // phrases without codes
}

// libime and fcitx4 header lines that other engines can use: phrase rules
// and the keys of pinyin, prompt and phrase lines.
void LineReader::readEngineSetting(std::string_view t) {
    EngineSettings& e = layout_.engine;
    if (libime_.phase == LibimeState::Phase::Rule && ParseRules(RuleSyntax::Libime, t, e.rules)) return;
    for (const Keywords* k : {&English(), &Chinese()}) {
        auto key = [&](const std::string& name, std::string& to) {
            if (StartsWith(t, name) && t.size() > name.size()) to = std::string(TrimWhiteSpace(t.substr(name.size())));
        };
        if (!StartsWith(t, k->pinyinLength)) key(k->pinyin, e.pinyinKey);
        key(k->prompt, e.promptKey);
        key(k->constructPhrase, e.phraseKey);
    }
}

void LineReader::finishLibime() const {
    if (libime_.phase == LibimeState::Phase::Config || libime_.phase == LibimeState::Phase::Rule)
        throw Failure(std::string("No [Data] line: is the file truncated, or not a ") + FormatName(format_) +
                      " table?");
}

bool ParseLibimeLine(Format format, std::string_view line, std::vector<TableEntry>& out) {
    std::string_view t = TrimWhiteSpace(line);
    std::size_t sep = t.find_first_of(" \t\v\f");
    if (sep == std::string_view::npos) return false;
    std::string_view key = t.substr(0, sep);
    std::string_view value = TrimWhiteSpace(t.substr(sep));
    if (key.empty() || value.empty()) return false;
    std::string word = (format == Format::Libime && value.size() >= 2 && value.front() == '"' && value.back() == '"')
                           ? Unescape(value)
                           : std::string(value);
    out.push_back({std::string(key), std::move(word), {}, {}});
    return true;
}

std::string LibimeLine(Format format, const TableLayout& layout, const TableEntry& e) {
    if (e.code.empty() || HasAny(e.code, " \t\r\n\v\f"))
        CannotWrite("The code", e.code, "is empty or holds white space", format);
    if (!e.code.empty() && layout.specialPrefixes.find(e.code[0]) != std::string::npos)
        CannotWrite("The code", e.code, "begins with a pinyin, prompt or phrase key", format);
    // fcitx4's txt2mb skips a line that begins with ';' wherever it stands.
    if (format == Format::Fcitx4 && e.code[0] == ';') CannotWrite("The code", e.code, "begins with ;", format);
    std::string out = e.code + " ";
    std::string_view w = e.word;
    bool edgeBlank = w.empty() || TrimWhiteSpace(w).size() != w.size();
    if (format == Format::Libime) {
        // libime's escapes give a line feed, not a carriage return; written
        // as it is, a carriage return would end the line.
        if (HasAny(w, "\r")) CannotWrite("The word", w, "holds a carriage return", format);
        if (edgeBlank || HasAny(w, " \t\n\v\f") || w.front() == '"')
            out += Escape(w);
        else
            out += w;
    } else {
        if (edgeBlank || HasAny(w, "\r\n"))
            CannotWrite("The word", w, "is empty, holds a line break or begins or ends with white space", format);
        out += w;
    }
    return out;
}

std::string LibimeFreshHeader(const HeaderFacts& facts, const WriteOptions& o, TableLayout& layout) {
    const std::size_t maxLength = facts.maxLength;
    const std::string head = "KeyCode=" + facts.keys() + "\nLength=" + std::to_string(maxLength) + "\n";
    // Keys of pinyin, prompt and phrase lines, as the source set them.
    std::string keys;
    if (!o.engine.pinyinKey.empty()) keys += "Pinyin=" + o.engine.pinyinKey + "\n";
    if (!o.engine.promptKey.empty()) keys += "Prompt=" + o.engine.promptKey + "\n";
    if (!o.engine.phraseKey.empty()) keys += "ConstructPhrase=" + o.engine.phraseKey + "\n";
    const std::vector<PhraseRule>& rules = FreshRules(o);
    if (o.format == Format::Libime) {
        // libime refuses the whole table over one rule that reaches past
        // Length (its phrase length, its count of keys, a character or key
        // number): a table of short codes keeps only the rules that fit, and
        // no [Rule] section when none does.
        std::vector<PhraseRule> fitting;
        const auto fits = [&](int n) { return static_cast<std::size_t>(n < 0 ? -n : n) <= maxLength; };
        for (const PhraseRule& rule : rules)
            if (fits(rule.length) && rule.keys.size() <= maxLength &&
                std::all_of(rule.keys.begin(), rule.keys.end(),
                            [&](const PhraseRule::Key& k) { return fits(k.character) && fits(k.key); }))
                fitting.push_back(rule);
        if (fitting.empty()) return head + keys + "[Data]\n";
        return head + keys + "[Rule]\n" + WriteRules(RuleSyntax::Libime, fitting) + "[Data]\n";
    }
    // fcitx4: a fresh header sets no prompt or phrase key: fcitx4's defaults
    // hold, and a code beginning with one of them can't be written.
    layout.specialPrefixes = "&^";
    // txt2mb wants at least Length - 1 rules: longer codes repeat the
    // rule of the longest phrases.
    std::vector<PhraseRule> all = rules;
    while (!all.empty() && static_cast<std::size_t>(all.size()) + 1 < maxLength) {
        PhraseRule last = all.back();
        all.back().atLeast = false;
        last.length = all.back().length + 1;
        all.push_back(last);
    }
    return ";fcitx Version 0x03 Table file\n" + head + keys + "[Rule]\n" + WriteRules(RuleSyntax::Libime, all) +
           "[Data]\n";
}

}  // namespace zelmora::formats
