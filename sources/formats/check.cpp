// What is suspicious in a table, line by line.
#include <algorithm>
#include <cstdio>
#include <unordered_map>

#include "core/failure.h"
#include "sources/formats/formats_internal.h"
#include "sources/formats/table_io.h"

namespace zelmora::formats {

namespace {

// Offset of the first bytes that are no character of the encoding, or npos.
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

bool LettersOnly(std::string_view code) {
    return std::all_of(code.begin(), code.end(), [](char c) { return c >= 'a' && c <= 'z'; });
}

}  // namespace

std::vector<TableProblem> CheckTable(const TableDocument& doc) {
    std::vector<TableProblem> found = doc.problems;
    auto report = [&](std::size_t i, std::string message) { found.push_back({i + 1, std::move(message)}); };
    const bool keptBytes = doc.encoding == Encoding::Gbk || doc.encoding == Encoding::Gb18030;
    const bool gb18030 = doc.encoding == Encoding::Gb18030;
    std::unordered_map<std::string, std::size_t> seen;
    seen.reserve(doc.entries.size());
    std::string key;
    for (std::size_t i = 0; i < doc.lines.size(); ++i) {
        const TableLine& l = doc.lines[i];
        std::string_view text = doc.lineText(i);
        if (keptBytes) {
            std::size_t width = 0;
            std::size_t bad = FirstBadCharacter(text, gb18030, width);
            if (bad != std::string_view::npos)
                report(i, "bytes " + Hex(text.substr(bad, width)) + " are no " + EncodingName(doc.encoding) +
                              " character");
        }
        // Rime dictionaries separate their parts with blank lines by custom.
        if (l.kind == TableLine::Kind::Blank && doc.format != Format::Rime) report(i, "blank line");
        if (l.kind != TableLine::Kind::Entry) continue;
        const TableEntry* entries = doc.entries.data() + l.firstEntry;
        std::string_view lastCode;
        for (std::size_t k = 0; k < l.entryCount; ++k) {
            const TableEntry& e = entries[k];
            if (k == 0 || e.code != lastCode) {
                if (!LettersOnly(e.code)) report(i, "code \"" + Utf8Of(e.code) + "\" has characters outside a-z");
                if (e.code.size() > 4) report(i, "code \"" + Utf8Of(e.code) + "\" is longer than four letters");
                lastCode = e.code;
            }
            key.assign(e.code).append(1, '\x01').append(e.word);
            auto [it, added] = seen.try_emplace(key, i + 1);
            if (!added)
                report(i, "word \"" + Utf8Of(e.word) + "\" under code \"" + Utf8Of(e.code) + "\" again (first on line " +
                              std::to_string(it->second) + ")");
        }
        try {
            std::string again = CanonicalLine(doc.format, doc.layout, entries, l.entryCount);
            if (again != text) report(i, "does not round-trip: would be written back as \"" + Utf8Of(again) + "\"");
        } catch (const Failure& f) {
            report(i, std::string("does not round-trip: ") + f.what());
        }
    }
    std::stable_sort(found.begin(), found.end(),
                     [](const TableProblem& a, const TableProblem& b) { return a.line < b.line; });
    return found;
}

}  // namespace zelmora::formats
