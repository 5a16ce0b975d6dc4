// The readers with detection: formats::ReadTable over any bytes, with the
// encoding and format detected and forced. A read either fails with a
// Failure or gives a document whose lines cover its text; that document can
// be checked and turned into group lines, and writing it and reading the
// result back gives the same code-word pairs in the same order.
//
// Input: one byte choosing the forced encoding and format (both "auto" also
// run every time), one byte choosing the format and encoding to write into,
// then the file's bytes.
#include <algorithm>
#include <cstdint>
#include <map>
#include <set>
#include <string>

#include "core/failure.h"
#include "formats/checking.h"
#include "formats/document.h"
#include "formats/encoding.h"
#include "formats/writing.h"
#include "fuzz/fuzz_support.h"

using namespace zelmora::formats;
using fuzz::kEncodings;
using fuzz::kFormats;
using zelmora::Failure;

namespace {

bool GbFamily(Encoding e) { return e == Encoding::Gbk || e == Encoding::Gb18030; }

// The pairs as text, one per line, grouped by code (codes in the order they
// first appear, each code's entries in their order), as writing into another
// format groups a plain table's entries. Between GBK and GB18030 files bytes
// pass as they are; through Unicode the same character can differ in bytes
// (GBK text is held as GBK, Unicode text as GB18030), so then the pairs are
// compared as UTF-8.
std::string Pairs(const TableDocument& doc, bool asUnicode) {
    std::vector<std::string> codes;
    std::map<std::string, std::string> byCode;
    for (const auto& e : doc.entries) {
        auto [it, added] = byCode.try_emplace(e.code);
        if (added) codes.push_back(e.code);
        it->second += e.code + " " + e.word + "\n";
    }
    std::string out;
    for (const auto& c : codes) out += byCode[c];
    if (!asUnicode) return out;
    try {
        return EncodeText(out, Encoding::Utf8, false, doc.textEncoding());
    } catch (const Failure&) {
        return out;
    }
}

void CheckStructure(const TableDocument& doc) {
    std::size_t at = 0, entries = 0;
    for (const TableLine& l : doc.lines) {
        if (l.offset != at) fuzz::Fail("a line does not start where the last one ended", doc.text);
        at = l.offset + l.length + l.breakLength;
        if (at > doc.text.size()) fuzz::Fail("a line runs past the text", doc.text);
        if (std::uint64_t(l.firstEntry) + l.entryCount > doc.entries.size())
            fuzz::Fail("a line's entries run past the list");
        if (l.kind == TableLine::Kind::Entry) entries += l.entryCount;
    }
    if (at != doc.text.size()) fuzz::Fail("the lines do not cover the text", doc.text);
    if (entries != doc.entries.size()) fuzz::Fail("entries that belong to no line", doc.text);
}

// Whether each code's entries stand in one run.
bool CodesStandTogether(const TableDocument& doc) {
    std::set<std::string_view> done;
    for (std::size_t i = 0; i < doc.entries.size(); ++i)
        if ((i == 0 || doc.entries[i].code != doc.entries[i - 1].code) && !done.insert(doc.entries[i].code).second)
            return false;
    return true;
}

std::string Sorted(const std::string& lines) {
    std::vector<std::string> v;
    std::size_t pos = 0;
    while (pos < lines.size()) {
        std::size_t end = lines.find('\n', pos);
        if (end == std::string::npos) end = lines.size();
        v.emplace_back(lines.substr(pos, end - pos));
        pos = end + 1;
    }
    std::sort(v.begin(), v.end());
    std::string out;
    for (const auto& l : v) out += l + "\n";
    return out;
}

// Written out and read back (in the target's format and encoding, forced):
// the same pairs in the same order, or a failure to write.
void RoundTrip(const TableDocument& doc, Format format, Encoding encoding) {
    WriteOptions options;
    options.format = format;
    options.encoding = encoding;
    std::string written;
    try {
        written = WriteTable(doc, options);
    } catch (const Failure&) {
        return;  // a word the format or encoding can't hold, named in the message
    }
    TableDocument back;
    try {
        back = ReadTable(written, encoding, format);
    } catch (const Failure& f) {
        fuzz::Disagree("a written table does not read back", f.what(), written);
    }
    const bool asUnicode = !(GbFamily(doc.encoding) && GbFamily(encoding));
    std::string expected = Pairs(doc, asUnicode), actual = Pairs(back, asUnicode);
    if (format != doc.format && (format == Format::Ibus || format == Format::Rime) && !CodesStandTogether(doc)) {
        // Known: a code whose entries stand apart in a plain table is written
        // as separate runs, each with its own falling frequencies or weights,
        // and the engine's order by frequency then mixes the runs. Only the
        // pairs themselves are compared here.
        expected = Sorted(expected);
        actual = Sorted(actual);
    }
    if (actual != expected) fuzz::Disagree("pairs changed by writing and reading", expected, actual);
}

// Whether every byte of the text belongs to a character. Bytes that are no
// character pass through GBK and GB18030 files as they are and may join
// the bytes after them (a lone lead byte before a separator): such a table
// reads back differently, as the check reports.
bool AllCharacters(const TableDocument& doc) {
    try {
        EncodeText(doc.text, Encoding::Utf8, false, doc.textEncoding());
        return true;
    } catch (const Failure&) {
        return false;
    }
}

void Read(std::string_view bytes, Encoding encoding, Format format, unsigned target) {
    TableDocument doc;
    try {
        doc = ReadTable(bytes, encoding, format);
    } catch (const Failure&) {
        return;
    }
    CheckStructure(doc);
    (void)ToGroupLines(doc);
    for (const TableProblem& p : CheckTable(doc))
        if (p.line == 0 || p.line > doc.lines.size() + 1)
            fuzz::Fail("a finding names a line the file lacks", p.message);
    if (!AllCharacters(doc)) return;
    RoundTrip(doc, doc.format, doc.encoding);
    RoundTrip(doc, kFormats[1 + target % 6], kEncodings[1 + (target / 6) % 5]);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    fuzz::Input in(data, size);
    const unsigned forced = in.take();
    const unsigned target = in.take();
    const std::string_view bytes = in.rest();
    Read(bytes, Encoding::Auto, Format::Auto, target);
    const Encoding encoding = kEncodings[forced % 6];
    const Format format = kFormats[(forced / 6) % 7];
    if (encoding != Encoding::Auto || format != Format::Auto) Read(bytes, encoding, format, target);
    return 0;
}
