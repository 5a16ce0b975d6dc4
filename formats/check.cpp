// What is suspicious in a table, line by line.
#include <algorithm>
#include <cstdio>
#include <unordered_map>

#include "core/failure.h"
#include "formats/formats_internal.h"
#include "formats/table_io.h"

namespace zelmora::formats {

namespace {

bool LettersOnly(std::string_view code) {
    return std::all_of(code.begin(), code.end(), [](char c) { return c >= 'a' && c <= 'z'; });
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
            if (i + 3 >= s.size() || at(i + 2) < 0x81 || at(i + 2) > 0xFE || at(i + 3) < 0x30 || at(i + 3) > 0x39)
                return i;
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
            if (!LettersOnly(e.code)) report(line, "code \"" + Utf8Of(e.code) + "\" has characters outside a-z");
            if (e.code.size() > 4) report(line, "code \"" + Utf8Of(e.code) + "\" is longer than four letters");
            lastCode = e.code;
        }
        key.assign(e.code).append(1, '\x01').append(e.word);
        auto [it, added] = seen.try_emplace(key, line);
        if (!added)
            report(line, "word \"" + Utf8Of(e.word) + "\" under code \"" + Utf8Of(e.code) + "\" again (first on line " +
                             std::to_string(it->second) + ")");
    }
}

}  // namespace

void CheckLine(Format format, const TableLayout& layout, Encoding encoding, std::size_t index, std::string_view text,
               TableLine::Kind kind, const TableEntry* entries, std::size_t count,
               std::unordered_map<std::string, std::size_t>& seen,
               const std::function<void(std::size_t, std::string)>& report) {
    const std::size_t line = index + 1;
    CheckText(encoding, line, text, report);
    // Rime dictionaries separate their parts with blank lines by custom.
    if (kind == TableLine::Kind::Blank && format != Format::Rime) report(line, "blank line");
    if (kind != TableLine::Kind::Entry) return;
    thread_local std::string lastCode;
    CheckEntries(line, entries, count, true, lastCode, seen, report);
    try {
        std::string again = CanonicalLine(format, layout, entries, count);
        if (again != text) report(line, "does not round-trip: would be written back as \"" + Utf8Of(again) + "\"");
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
        again_.clear();
        if (count > 0) AppendToken(again_, entries[0].code);
    }
    CheckEntries(line, entries, count, first, lastCode_, seen, report);
    // The plain line written back, piece by piece: as CanonicalLine writes it.
    for (std::size_t k = 0; k < count; ++k) {
        again_ += ' ';
        AppendToken(again_, entries[k].word);
    }
    if (last) {
        if (again_ != text) report(line, "does not round-trip: would be written back as \"" + Utf8Of(again_) + "\"");
        std::string().swap(again_);
    }
}

std::vector<TableProblem> CheckTable(const TableDocument& doc) {
    std::vector<TableProblem> found = doc.problems;
    std::function<void(std::size_t, std::string)> report = [&](std::size_t line, std::string message) {
        found.push_back({line, std::move(message)});
    };
    std::unordered_map<std::string, std::size_t> seen;
    seen.reserve(doc.entries.size());
    for (std::size_t i = 0; i < doc.lines.size(); ++i) {
        const TableLine& l = doc.lines[i];
        CheckLine(doc.format, doc.layout, doc.encoding, i, doc.lineText(i), l.kind, doc.entries.data() + l.firstEntry,
                  l.entryCount, seen, report);
    }
    // The reader's findings on a line come before the check's.
    std::stable_sort(found.begin(), found.end(),
                     [](const TableProblem& a, const TableProblem& b) { return a.line < b.line; });
    return found;
}

}  // namespace zelmora::formats
