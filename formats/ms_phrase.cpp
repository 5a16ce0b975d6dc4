// The Windows input methods' user-defined-phrase file (ms_phrase.h): every
// offset and length of a file read is checked against the file before it is
// followed, so a cut or crafted file fails with a message, never a read
// beyond it.
#include "formats/ms_phrase.h"

#include <algorithm>
#include <cstdio>
#include <numeric>
#include <string>
#include <unordered_map>
#include <vector>

#include "core/failure.h"
#include "core/limits.h"
#include "core/text.h"
#include "formats/encoding.h"
#include "formats/encoding_internal.h"
#include "formats/lines.h"
#include "formats/writing_internal.h"

namespace zelmora::formats {

namespace {

// Where the header's fields end (both versions) and where the table of
// phrase offsets starts in files the programs write.
constexpr std::uint64_t kFieldsEnd = 0x24;
constexpr std::uint32_t kTableAt = 0x40;
constexpr std::uint32_t kMagic1607 = 0x00080008, kMagic1703 = 0x00100010;
constexpr std::uint32_t kUnknown1703 = 0x00600002;
constexpr std::uint8_t kPhraseKind = 6;  // the byte after the position in every file seen
// The times written: fixed, so that the same entries give the same bytes
// (2020-01-01 00:00 UTC, in Unix seconds and in seconds since 2000).
constexpr std::uint32_t kExportTime = 1577836800, kPhraseTime = 631152000;

std::size_t PhraseHeaderSize(MsPhraseVersion v) { return v == MsPhraseVersion::Win10v1607 ? 8 : 16; }
std::uint32_t PhraseMagic(MsPhraseVersion v) { return v == MsPhraseVersion::Win10v1607 ? kMagic1607 : kMagic1703; }

std::uint32_t U32(std::string_view b, std::uint64_t at) {
    auto byte = [&](std::uint64_t k) { return static_cast<std::uint32_t>(static_cast<unsigned char>(b[at + k])); };
    return byte(0) | byte(1) << 8 | byte(2) << 16 | byte(3) << 24;
}
std::uint16_t U16(std::string_view b, std::uint64_t at) {
    return static_cast<std::uint16_t>(static_cast<unsigned char>(b[at]) | static_cast<unsigned char>(b[at + 1]) << 8);
}

void Put32(std::string& out, std::uint32_t v) {
    for (int k = 0; k < 4; ++k) out += static_cast<char>((v >> (8 * k)) & 0xFF);
}
void Put16(std::string& out, std::uint16_t v) {
    out += static_cast<char>(v & 0xFF);
    out += static_cast<char>(v >> 8);
}

std::string Hex32(std::uint64_t v) {
    char s[24];
    std::snprintf(s, sizeof s, "0x%llX", static_cast<unsigned long long>(v));
    return s;
}

[[noreturn]] void Bad(std::string_view name, std::uint64_t offset, const std::string& what) {
    std::string where = name.empty() ? std::string("Offset ") : "\"" + std::string(name) + "\", offset ";
    throw Failure(where + Hex32(offset) + ": " + what + " (a Windows phrase file, mschxudp)");
}

// Checks one NUL-ended UTF-16LE field [from, to) of the phrase at `phrase`:
// even, ended by its NUL and by no NUL before, not empty, no lone surrogate.
void CheckField(std::string_view b, std::uint64_t from, std::uint64_t to, const char* what, std::string_view name) {
    const std::string field(what);
    if ((to - from) % 2) Bad(name, from, "the " + field + " has an odd number of bytes");
    if (to - from < 2 || U16(b, to - 2) != 0) Bad(name, from, "the " + field + " has no NUL at its end");
    if (to - from == 2) Bad(name, from, "the " + field + " is empty");
    for (std::uint64_t i = from; i + 2 < to; i += 2) {
        const std::uint16_t u = U16(b, i);
        if (u == 0) Bad(name, i, "the " + field + " holds a NUL before its end");
        const bool high = u >= 0xD800 && u <= 0xDBFF, low = u >= 0xDC00 && u <= 0xDFFF;
        if (low) Bad(name, i, "the " + field + " holds a lone UTF-16 surrogate");
        if (high) {
            const std::uint16_t next = U16(b, i + 2);
            if (next < 0xDC00 || next > 0xDFFF) Bad(name, i, "the " + field + " holds a lone UTF-16 surrogate");
            i += 2;
        }
    }
}

}  // namespace

bool IsMsPhrase(std::string_view bytes) {
    if (bytes.substr(0, kMsPhraseMagic.size()) != kMsPhraseMagic) return false;
    // The version's first byte, a control character; a text table whose
    // first code is "mschxudp" has a blank or more letters there.
    if (bytes.size() == kMsPhraseMagic.size()) return true;
    const auto next = static_cast<unsigned char>(bytes[kMsPhraseMagic.size()]);
    return next < 0x20 && next != '\t' && next != '\r' && next != '\n';
}

MsPhraseTable ReadMsPhrase(std::string_view b, std::string_view name) {
    if (b.substr(0, kMsPhraseMagic.size()) != kMsPhraseMagic) Bad(name, 0, "the file does not begin with \"mschxudp\"");
    const std::uint64_t size = b.size();
    if (size < kFieldsEnd) Bad(name, size, "the header is cut short");
    MsPhraseTable t;
    std::uint64_t fields;  // where the table, start, end and count fields are
    if (U32(b, 0x0C) == 1) {
        t.version = MsPhraseVersion::Win10v1703;
        fields = 0x10;
    } else if (U32(b, 0x08) == 1) {
        t.version = MsPhraseVersion::Win10v1607;
        fields = 0x0C;
    } else {
        Bad(name, 0x08, "an unknown version: neither field at 0x08 nor at 0x0C is 1");
    }
    const std::uint64_t table = U32(b, fields), start = U32(b, fields + 4), end = U32(b, fields + 8),
                        count = U32(b, fields + 12);
    if (end > size)
        Bad(name, fields + 8,
            "the phrases end at " + Hex32(end) + ", past the end of the file (" + Hex32(size) +
                "): the file is cut short");
    if (start > end) Bad(name, fields + 4, "the phrases start at " + Hex32(start) + ", after their end " + Hex32(end));
    if (table < kFieldsEnd)
        Bad(name, fields, "the table of phrase offsets at " + Hex32(table) + " overlaps the header");
    if (table + 4 * count != start)
        Bad(name, fields + 12,
            std::to_string(count) + " phrases' offsets from " + Hex32(table) + " do not end where the phrases start (" +
                Hex32(start) + ")");
    const MsPhraseVersion v = t.version;
    const std::uint64_t header = PhraseHeaderSize(v);

    // The fields' UTF-16 bytes, each with its NUL, after a NUL of their own
    // (so no field's first unit reads as a byte-order mark): decoded at once.
    std::string units = std::string(2, '\0');
    t.offsets.reserve(count);
    t.positions.reserve(count);
    // Each phrase's first byte, checked before any is followed.
    std::vector<std::uint64_t> at(count + 1, end);
    for (std::uint64_t i = 0; i < count; ++i) {
        at[i] = start + U32(b, table + 4 * i);
        if (at[i] >= end) Bad(name, table + 4 * i, "phrase " + std::to_string(i + 1) + " starts past the phrases' end");
        if (i && at[i] <= at[i - 1])
            Bad(name, table + 4 * i,
                "phrase " + std::to_string(i + 1) + " does not start after phrase " + std::to_string(i));
    }
    for (std::uint64_t i = 0; i < count; ++i) {
        const std::uint64_t next = at[i + 1];
        const std::uint64_t phrase = at[i];
        if (next - phrase < header + 4) Bad(name, phrase, "the phrase is shorter than its header, a code and a word");
        if (U32(b, phrase) != PhraseMagic(v))
            Bad(name, phrase,
                "the phrase begins with " + Hex32(U32(b, phrase)) + ", not " + Hex32(PhraseMagic(v)) +
                    " as the header's version has it");
        const std::uint64_t word = phrase + U16(b, phrase + 4);
        if (word < phrase + header + 2 || word + 2 > next)
            Bad(name, phrase + 4, "the word's offset " + Hex32(word - phrase) + " is outside the phrase");
        CheckField(b, phrase + header, word, "code", name);
        CheckField(b, word, next, "word", name);
        units.append(b.substr(phrase + header, next - phrase - header));
        t.offsets.push_back(static_cast<std::uint32_t>(phrase));
        t.positions.push_back(static_cast<std::uint8_t>(b[phrase + 6]));
    }
    const std::string text = DecodeText(units, Encoding::Utf16le).text;

    // Code and word of each phrase, in file order, split at the NULs.
    std::vector<TableEntry> inFile(count);
    std::size_t from = 1;
    for (std::uint64_t i = 0; i < count; ++i) {
        for (std::string* field : {&inFile[i].code, &inFile[i].word}) {
            const std::size_t nul = text.find('\0', from);
            field->assign(text, from, nul - from);
            from = nul + 1;
        }
    }
    // Grouped by code in order of first appearance, by position within a code.
    std::unordered_map<std::string_view, std::size_t> rank;
    std::vector<std::size_t> rankOf(count);
    for (std::size_t i = 0; i < count; ++i) rankOf[i] = rank.try_emplace(inFile[i].code, rank.size()).first->second;
    std::vector<std::size_t> order(count);
    std::iota(order.begin(), order.end(), std::size_t{0});
    std::stable_sort(order.begin(), order.end(), [&](std::size_t x, std::size_t y) {
        if (rankOf[x] != rankOf[y]) return rankOf[x] < rankOf[y];
        return t.positions[x] < t.positions[y];
    });
    t.entries.reserve(count);
    std::vector<std::uint32_t> offsets(count);
    std::vector<std::uint8_t> positions(count);
    for (std::size_t k = 0; k < count; ++k) {
        t.entries.push_back(std::move(inFile[order[k]]));
        offsets[k] = t.offsets[order[k]];
        positions[k] = t.positions[order[k]];
    }
    t.offsets = std::move(offsets);
    t.positions = std::move(positions);
    return t;
}

bool ReadsAsMsPhrase(std::string_view bytes, Format format) {
    return format == Format::MsPhrase || (format == Format::Auto && IsMsPhrase(bytes));
}

TableDocument ReadMsPhraseDocument(std::string_view bytes, Encoding encoding) {
    if (encoding != Encoding::Auto && encoding != Encoding::Utf16le)
        throw Failure(std::string("--encoding ") + EncodingName(encoding) +
                      " does not apply to a Windows phrase file (ms-phrase), binary and UTF-16LE; leave it out");
    MsPhraseTable t = ReadMsPhrase(bytes);
    CheckLimit(t.entries.size(), "entries", kMaxUint32);
    TableDocument doc;
    doc.format = Format::MsPhrase;
    doc.encoding = Encoding::Utf16le;
    std::vector<std::uint32_t> inFile(t.entries.size());
    std::iota(inFile.begin(), inFile.end(), std::uint32_t{0});
    std::sort(inFile.begin(), inFile.end(),
              [&](std::uint32_t x, std::uint32_t y) { return t.offsets[x] < t.offsets[y]; });
    doc.lines.reserve(inFile.size());
    for (std::uint32_t k : inFile) {
        const TableEntry& e = t.entries[k];
        TableLine l;
        l.offset = doc.text.size();
        doc.text.append(e.code).append(1, '\t').append(e.word);
        l.length = doc.text.size() - l.offset;
        doc.text += '\n';
        l.breakLength = 1;
        l.kind = TableLine::Kind::Entry;
        l.firstEntry = k;
        l.entryCount = 1;
        doc.lines.push_back(l);
    }
    doc.entries = std::move(t.entries);
    return doc;
}

std::string MsPhraseLine(const TableEntry& e) {
    const Format f = Format::MsPhrase;
    if (e.code.empty() || e.code.size() > kMsPhraseMaxCode ||
        !std::all_of(e.code.begin(), e.code.end(), [](char c) { return c >= 'a' && c <= 'z'; }))
        CannotWrite("The code", e.code, "is not 1 to 32 letters a-z", f);
    if (e.word.empty() || e.word.find('\0') != std::string::npos)
        CannotWrite("The word", e.word, "is empty or holds a NUL", f);
    thread_local std::vector<char32_t> cps;
    DecodeCodePoints(e.word, TextEncoding::Gb18030, cps);
    std::size_t units = 0;
    for (char32_t c : cps) units += c > 0xFFFF ? 2 : 1;
    if (units > kMsPhraseMaxWord) CannotWrite("The word", e.word, "is longer than 64 UTF-16 units", f);
    return e.code + '\t' + e.word;
}

namespace {

// A code or word in a message: a NUL shown as \0, as it would end the message.
std::string Shown(std::string_view text) {
    std::string shown;
    for (char c : Utf8Shown(text)) {
        if (c)
            shown += c;
        else
            shown += "\\0";
    }
    return shown;
}

// An entry the file can't hold: the failure, or the entry listed as skipped.
class Refusals {
public:
    Refusals(const std::vector<TableEntry>& entries, const WriteOptions& o, const InputLineOf& lineOf)
        : entries_(entries), o_(o), lineOf_(lineOf) {}

    // `what`: "The code" or "The word"; `text` is shown after it, then `why`.
    // `character`: the character that can't be held, when that is why.
    void refuse(std::size_t i, const char* what, std::string_view text, const std::string& why,
                std::string_view character = {}) const {
        const TableEntry& e = entries_[i];
        const std::size_t line = lineOf_ ? lineOf_(e, i) : 0;
        if (o_.unencodable == Unencodable::Error)
            throw Failure(InputLineWhere(o_, line) + what + " \"" + Shown(text) + "\" " + why +
                          ", which a Windows phrase file can't hold (--unencodable skip leaves such entries out)");
        if (!o_.skipped) return;
        SkippedWord w;
        w.line = line;
        w.code = Utf8Of(e.code);
        w.word = Utf8Of(e.word);
        if (!character.empty()) {
            w.character = Utf8Of(character);
            std::size_t at = 0;
            WalkUtf8(w.character, at, true, [&](char32_t c) {
                if (!w.codePoint) w.codePoint = c;
            });
        }
        o_.skipped->push_back(std::move(w));
    }

private:
    const std::vector<TableEntry>& entries_;
    const WriteOptions& o_;
    const InputLineOf& lineOf_;
};

// Whether the code is one the programs take; refused (false) when not.
bool CodeHeld(const Refusals& r, std::size_t i, const std::string& code) {
    if (code.empty()) {
        r.refuse(i, "The code", code, "is empty");
        return false;
    }
    for (std::size_t k = 0; k < code.size();) {
        const std::size_t w = CharWidth(code, k);
        if (w != 1 || code[k] < 'a' || code[k] > 'z') {
            const std::string c = code.substr(k, w);
            r.refuse(i, "The code", code, "holds \"" + Utf8Shown(c) + "\", not only letters a-z", c);
            return false;
        }
        k += w;
    }
    if (code.size() > kMsPhraseMaxCode) {
        r.refuse(i, "The code", code, "is longer than " + std::to_string(kMsPhraseMaxCode) + " letters");
        return false;
    }
    return true;
}

}  // namespace

std::string WriteMsPhrase(const std::vector<TableEntry>& entries, const WriteOptions& o, const InputLineOf& lineOf,
                          MsPhraseVersion version) {
    const Refusals refusals(entries, o, lineOf);
    std::vector<std::size_t> kept;
    kept.reserve(entries.size());
    for (std::size_t i = 0; i < entries.size(); ++i) {
        const TableEntry& e = entries[i];
        if (!CodeHeld(refusals, i, e.code)) continue;
        if (e.word.empty()) {
            refusals.refuse(i, "The word", e.word, "is empty");
            continue;
        }
        if (e.word.find('\0') != std::string::npos) {
            refusals.refuse(i, "The word", e.word, "holds a NUL");
            continue;
        }
        kept.push_back(i);
    }

    // The words in UTF-16LE, converted at once: each after a NUL, which
    // GB18030 and UTF-16 both write for U+0000 alone.
    std::string words;
    for (std::size_t i : kept) (words += '\0') += entries[i].word;
    std::string units;
    try {
        units = EncodeText(words, Encoding::Utf16le, false, o.textEncoding);
    } catch (const Failure&) {
        // Bytes that are no character: a broken table, not a limit of the
        // file. Fails naming the entry, whatever `o.unencodable` says.
        for (std::size_t i : kept) {
            try {
                EncodeText(entries[i].word, Encoding::Utf16le, false, o.textEncoding);
            } catch (const Failure& f) {
                throw Failure(InputLineWhere(o, lineOf ? lineOf(entries[i], i) : 0) + "The word \"" +
                              Utf8Shown(entries[i].word) + "\" holds bytes that are no character: " + f.what());
            }
        }
        throw;
    }
    // Each word's units [wordAt[k], wordAt[k] + wordLength[k]) in `units`.
    std::vector<std::size_t> wordAt(kept.size()), wordLength(kept.size());
    {
        std::size_t k = 0, at = 2;
        for (std::size_t p = 2; p <= units.size(); p += 2) {
            if (p == units.size() || (units[p] == 0 && units[p + 1] == 0)) {
                wordAt[k] = at;
                wordLength[k++] = (p - at) / 2;
                at = p + 2;
            }
        }
    }
    std::vector<std::size_t> order;  // indexes into kept
    order.reserve(kept.size());
    for (std::size_t k = 0; k < kept.size(); ++k) {
        if (wordLength[k] > kMsPhraseMaxWord)
            refusals.refuse(kept[k], "The word", entries[kept[k]].word,
                            "is longer than " + std::to_string(kMsPhraseMaxWord) + " UTF-16 units");
        else
            order.push_back(k);
    }
    // Each code's entries together, the codes in the order they first come:
    // a table read back stands as it was given.
    {
        std::unordered_map<std::string_view, std::size_t> groupOf;
        std::vector<std::size_t> group(kept.size());
        for (std::size_t k : order) group[k] = groupOf.try_emplace(entries[kept[k]].code, groupOf.size()).first->second;
        std::stable_sort(order.begin(), order.end(), [&](std::size_t x, std::size_t y) { return group[x] < group[y]; });
    }
    // Positions within each code; past the last a byte holds, refused.
    std::vector<std::uint8_t> position(kept.size());
    {
        std::vector<std::size_t> held;
        held.reserve(order.size());
        std::size_t n = 0;
        for (std::size_t j = 0; j < order.size(); ++j) {
            const std::size_t k = order[j];
            n = j && entries[kept[order[j - 1]]].code == entries[kept[k]].code ? n + 1 : 1;
            if (n > kMsPhraseMaxCandidates) {
                refusals.refuse(kept[k], "The word", entries[kept[k]].word,
                                "is candidate " + std::to_string(n) + " of its code, past the " +
                                    std::to_string(kMsPhraseMaxCandidates) + " a code can have");
                continue;
            }
            position[k] = static_cast<std::uint8_t>(n);
            held.push_back(k);
        }
        order = std::move(held);
    }

    const std::size_t header = PhraseHeaderSize(version);
    std::uint64_t size = kTableAt + 4 * std::uint64_t(order.size());
    for (std::size_t k : order) size += header + 2 * (entries[kept[k]].code.size() + 1) + 2 * (wordLength[k] + 1);
    CheckLimit(size, "bytes in a Windows phrase file", kMaxUint32);
    const auto start = static_cast<std::uint32_t>(kTableAt + 4 * order.size());

    std::string out;
    out.reserve(size);
    out += kMsPhraseMagic;
    if (version == MsPhraseVersion::Win10v1703) {
        Put32(out, kUnknown1703);
        Put32(out, 1);
        Put32(out, kTableAt);
        Put32(out, start);
        Put32(out, static_cast<std::uint32_t>(size));
        Put32(out, static_cast<std::uint32_t>(order.size()));
    } else {
        Put32(out, 1);
        Put32(out, kTableAt);
        Put32(out, start);
        Put32(out, static_cast<std::uint32_t>(size));
        Put32(out, static_cast<std::uint32_t>(order.size()));
        Put32(out, 0);
    }
    Put32(out, kExportTime);
    out.resize(kTableAt, '\0');
    std::uint32_t offset = 0;
    for (std::size_t k : order) {
        Put32(out, offset);
        offset += static_cast<std::uint32_t>(header + 2 * (entries[kept[k]].code.size() + 1) + 2 * (wordLength[k] + 1));
    }
    for (std::size_t k : order) {
        const std::string& code = entries[kept[k]].code;
        Put32(out, PhraseMagic(version));
        Put16(out, static_cast<std::uint16_t>(header + 2 * (code.size() + 1)));
        out += static_cast<char>(position[k]);
        out += static_cast<char>(kPhraseKind);
        if (version == MsPhraseVersion::Win10v1703) {
            Put32(out, 0);
            Put32(out, kPhraseTime);
        }
        for (char c : code) Put16(out, static_cast<std::uint16_t>(c));
        Put16(out, 0);
        out.append(units, wordAt[k], 2 * wordLength[k]);
        Put16(out, 0);
    }
    return out;
}

}  // namespace zelmora::formats
