// What is suspicious in a table, line by line.
#include <algorithm>
#include <cstdio>
#include <utility>
#include <unordered_map>

#include <unicode/unorm2.h>

#include "core/text.h"
#include "core/failure.h"
#include "formats/checking.h"
#include "formats/checking_internal.h"
#include "formats/document.h"
#include "formats/encoding.h"
#include "formats/encoding_internal.h"
#include "formats/lines.h"
#include "formats/reading.h"
#include "formats/writing.h"
#include "formats/writing_internal.h"

namespace zelmora::formats {

namespace {

bool LettersOnly(std::string_view code) {
    return std::all_of(code.begin(), code.end(), [](char c) { return c >= 'a' && c <= 'z'; });
}

std::string CodePointName(char32_t c) {
    char buf[16];
    std::snprintf(buf, sizeof buf, "U+%04X", static_cast<unsigned>(c));
    return buf;
}

std::string Utf8Char(char32_t c) {
    std::string out;
    if (c < 0x80) {
        out += static_cast<char>(c);
    } else if (c < 0x800) {
        out += static_cast<char>(0xC0 | (c >> 6));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
        out += static_cast<char>(0xE0 | (c >> 12));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (c >> 18));
        out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    }
    return out;
}

bool PrivateUse(char32_t c) { return (c >= 0xE000 && c <= 0xF8FF) || (c >= 0xF0000 && c <= 0x10FFFD); }
bool CompatibilityIdeograph(char32_t c) { return (c >= 0xF900 && c <= 0xFAFF) || (c >= 0x2F800 && c <= 0x2FA1F); }

// The unified ideograph a compatibility ideograph stands for (its canonical
// decomposition), or 0.
char32_t UnifiedOf(char32_t c) {
    UErrorCode status = U_ZERO_ERROR;
    const UNormalizer2* nfc = unorm2_getNFCInstance(&status);
    if (U_FAILURE(status)) return 0;
    UChar buf[4];
    int32_t n = unorm2_getRawDecomposition(nfc, static_cast<UChar32>(c), buf, 4, &status);
    if (U_FAILURE(status) || n <= 0) return 0;
    char32_t d = buf[0];
    if (n == 2 && d >= 0xD800 && d <= 0xDBFF) d = 0x10000 + ((d - 0xD800) << 10) + (buf[1] - 0xDC00);
    return d;
}

// Marks of damaged tables: replacement characters left by a faulty
// conversion, private-use characters (the old stand-ins of GB18030 and
// GBK), compatibility ideographs beside their unified twins. One finding
// per kind and line, naming the characters.
void CheckCharacters(std::string_view text, Encoding encoding, std::size_t line,
                     const std::function<void(std::size_t, std::string)>& report) {
    if (std::all_of(text.begin(), text.end(), [](char c) { return static_cast<unsigned char>(c) < 0x80; })) return;
    thread_local std::vector<char32_t> cps;
    DecodeCodePoints(text, TextEncodingOf(encoding), cps);
    std::size_t replacements = 0;
    std::string privateUse, compatibility;
    for (char32_t c : cps) {
        if (c == 0xFFFD) ++replacements;
        if (PrivateUse(c) && privateUse.size() < 200) privateUse += (privateUse.empty() ? "" : ", ") + CodePointName(c);
        // Twelve characters of the block are unified ideographs themselves:
        // they decompose to nothing.
        if (CompatibilityIdeograph(c) && compatibility.size() < 200) {
            if (char32_t u = UnifiedOf(c))
                compatibility += (compatibility.empty() ? "" : ", ") + ("\"" + Utf8Char(c) + "\" " + CodePointName(c)) +
                                 " (unified: \"" + Utf8Char(u) + "\" " + CodePointName(u) + ")";
        }
    }
    if (replacements)
        report(line, "replacement character U+FFFD" +
                         std::string(replacements > 1 ? " (" + std::to_string(replacements) + " times)" : "") +
                         ": text damaged by a conversion");
    if (!privateUse.empty()) report(line, "private-use character " + privateUse + ": no standard character");
    if (!compatibility.empty()) report(line, "CJK compatibility ideograph " + compatibility);
}

}  // namespace

std::size_t FirstBadCharacter(std::string_view s, bool gb18030, std::size_t& width) {
    auto at = [&](std::size_t k) { return static_cast<unsigned char>(s[k]); };
    std::size_t i = 0;
    while (i < s.size()) {
        unsigned char c = at(i);
        if (c < 0x80) {
            ++i;
            continue;
        }
        width = 1;
        if (c == 0x80 || c == 0xFF || i + 1 >= s.size()) return i;
        unsigned char d = at(i + 1);
        if (gb18030 && d >= 0x30 && d <= 0x39) {
            width = std::min<std::size_t>(4, s.size() - i);
            if (CharWidth(s, i) != 4) return i;
            i += 4;
            continue;
        }
        width = 2;
        if (d < 0x40 || d == 0x7F || d == 0xFF) return i;
        i += 2;
    }
    return std::string_view::npos;
}

namespace {

void CheckText(Encoding encoding, std::size_t line, std::string_view text,
               const std::function<void(std::size_t, std::string)>& report) {
    if (encoding == Encoding::Gbk || encoding == Encoding::Gb18030) {
        std::size_t width = 0;
        std::size_t bad = FirstBadCharacter(text, encoding == Encoding::Gb18030, width);
        if (bad != std::string_view::npos)
            report(line, "bytes " + Hex(text.substr(bad, width)) + " are no " + EncodingName(encoding) + " character");
    }
}

// The findings on entries of one line, in order; `lastCode` is the code of
// the line's entry before them (empty before the first).
void CheckEntries(std::size_t line, const TableEntry* entries, std::size_t count, bool first, std::string& lastCode,
                  std::unordered_map<std::string, std::size_t>& seen,
                  const std::function<void(std::size_t, std::string)>& report) {
    thread_local std::string key;
    for (std::size_t k = 0; k < count; ++k) {
        const TableEntry& e = entries[k];
        if ((first && k == 0) || e.code != lastCode) {
            if (!LettersOnly(e.code)) report(line, "code \"" + Utf8Shown(e.code) + "\" has characters outside a-z");
            if (e.code.size() > 4) report(line, "code \"" + Utf8Shown(e.code) + "\" is longer than four letters");
            lastCode = e.code;
        }
        // Only libime escapes one; every other format's line would end there.
        if (HasAny(e.word, "\r\n"))
            report(line, "word \"" + Utf8Shown(e.word) +
                             "\" holds a line break, which no plain, Rime, fcitx4, ibus-table or yong table can hold");
        key.assign(e.code).append(1, '\x01').append(e.word);
        auto [it, added] = seen.try_emplace(key, line);
        if (!added)
            report(line, "word \"" + Utf8Shown(e.word) + "\" under code \"" + Utf8Shown(e.code) +
                             "\" again (first on line " + std::to_string(it->second) + ")");
    }
}

}  // namespace

void CheckLine(Format format, const TableLayout& layout, Encoding encoding, std::size_t index, std::string_view text,
               TableLine::Kind kind, const TableEntry* entries, std::size_t count,
               std::unordered_map<std::string, std::size_t>& seen,
               const std::function<void(std::size_t, std::string)>& report) {
    const std::size_t line = index + 1;
    CheckText(encoding, line, text, report);
    if (kind == TableLine::Kind::Entry) CheckCharacters(text, encoding, line, report);
    // Rime dictionaries separate their parts with blank lines by custom.
    if (kind == TableLine::Kind::Blank && format != Format::Rime) report(line, "blank line");
    if (kind != TableLine::Kind::Entry) return;
    thread_local std::string lastCode;
    CheckEntries(line, entries, count, true, lastCode, seen, report);
    std::uint32_t position = 0;
    if (HasPositions(format) && count == 1) {
        thread_local std::vector<TableEntry> parsed;
        ParsePhraseLine(format, text, parsed, &position);
        // Positions only order a code's candidates: one past the highest so
        // far is the next, more leaves a gap (or the lines stand out of
        // order). Kept beside the pairs, under a key no pair has.
        thread_local std::string key;
        key.assign(1, '\x02').append(entries[0].code);
        std::size_t& highest = seen[key];
        if (position > highest + 1)
            report(line, "position " + std::to_string(position) + " of code \"" + Utf8Shown(entries[0].code) +
                             "\" after " + (highest ? "position " + std::to_string(highest) : std::string("none")) +
                             ": a gap, or lines out of order (positions only order candidates)");
        highest = std::max<std::size_t>(highest, position);
    }
    try {
        std::string again =
            position ? PositionedLine(format, entries[0], position) : CanonicalLine(format, layout, entries, count);
        if (again != text) report(line, "does not round-trip: would be written back as \"" + Utf8Shown(again) + "\"");
    } catch (const Failure& f) {
        report(line, std::string("does not round-trip: ") + f.what());
    }
}

void PlainLineCheck::part(std::size_t index, std::string_view text, const TableEntry* entries, std::size_t count,
                          bool first, bool last, std::unordered_map<std::string, std::size_t>& seen,
                          const std::function<void(std::size_t, std::string)>& report) {
    const std::size_t line = index + 1;
    if (first) {
        CheckText(encoding_, line, text, report);
        CheckCharacters(text, encoding_, line, report);
        again_.clear();
        refused_.clear();
    }
    CheckEntries(line, entries, count, first, lastCode_, seen, report);
    // The plain line written back, piece by piece: as CanonicalLine writes it.
    if (refused_.empty()) {
        try {
            if (first && count > 0) AppendPlainCode(again_, entries[0].code);
            for (std::size_t k = 0; k < count; ++k) {
                again_ += ' ';
                AppendPlainToken(again_, entries[k].word, "The word", k + 1 < count || !last);
            }
        } catch (const Failure& f) {
            refused_ = f.what();
        }
    }
    if (last) {
        if (!refused_.empty())
            report(line, "does not round-trip: " + refused_);
        else if (again_ != text)
            report(line, "does not round-trip: would be written back as \"" + Utf8Shown(again_) + "\"");
        std::string().swap(again_);
    }
}

EntryChecks::EntryChecks(std::vector<EntryCheck*> checks) : checks_(std::move(checks)) {
    checks_.erase(std::remove(checks_.begin(), checks_.end(), nullptr), checks_.end());
}

bool EntryChecks::surveys() const {
    return std::any_of(checks_.begin(), checks_.end(), [](const EntryCheck* c) { return c->surveys(); });
}

void EntryChecks::survey(const TableEntry& entry) {
    for (EntryCheck* c : checks_)
        if (c->surveys()) c->survey(entry);
}

void EntryChecks::begin() {
    for (EntryCheck* c : checks_) c->begin();
}

void EntryChecks::header(const TableLayout& layout) {
    for (EntryCheck* c : checks_) c->header(layout);
}

void EntryChecks::check(const TableEntry* entries, std::size_t count, std::vector<std::string>& findings) {
    for (EntryCheck* c : checks_) c->check(entries, count, findings);
}

std::vector<TableProblem> CheckTable(const TableDocument& doc, EntryCheck* more) {
    std::vector<TableProblem> found = doc.problems;
    std::function<void(std::size_t, std::string)> report = [&](std::size_t line, std::string message) {
        found.push_back({line, std::move(message)});
    };
    std::unordered_map<std::string, std::size_t> seen;
    seen.reserve(doc.entries.size());
    if (more && more->surveys())
        for (const TableLine& l : doc.lines)
            for (std::uint32_t k = 0; k < l.entryCount; ++k) more->survey(doc.entries[l.firstEntry + k]);
    if (more) {
        more->begin();
        more->header(doc.layout);
    }
    std::vector<std::string> findings;
    for (std::size_t i = 0; i < doc.lines.size(); ++i) {
        const TableLine& l = doc.lines[i];
        CheckLine(doc.format, doc.layout, doc.encoding, i, doc.lineText(i), l.kind, doc.entries.data() + l.firstEntry,
                  l.entryCount, seen, report);
        if (more && l.kind == TableLine::Kind::Entry) {
            findings.clear();
            more->check(doc.entries.data() + l.firstEntry, l.entryCount, findings);
            for (auto& f : findings) report(i + 1, std::move(f));
        }
    }
    // The reader's findings on a line come before the check's.
    std::stable_sort(found.begin(), found.end(),
                     [](const TableProblem& a, const TableProblem& b) { return a.line < b.line; });
    return found;
}

}  // namespace zelmora::formats
