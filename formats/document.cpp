// Reading a table file of any format into a document, and writing documents
// and entries back.
#include <algorithm>
#include <cstdlib>
#include <functional>
#include <unordered_map>
#include <unordered_set>
#include <utility>

#include "core/failure.h"
#include "core/limits.h"
#include "core/text.h"
#include "formats/document.h"
#include "formats/encoding.h"
#include "formats/lines.h"
#include "formats/ms_phrase.h"
#include "formats/reading.h"
#include "formats/writing.h"
#include "formats/writing_internal.h"

namespace zelmora::formats {

namespace {

using Kind = TableLine::Kind;

std::vector<TableLine> CutLines(std::string_view text) {
    std::vector<TableLine> lines;
    lines.reserve(text.size() / 16 + 1);
    std::size_t i = 0;
    const std::size_t n = text.size();
    while (i < n) {
        TableLine l;
        l.offset = i;
        while (i < n && text[i] != '\r' && text[i] != '\n') ++i;
        l.length = i - l.offset;
        if (i < n && text[i] == '\r') ++i, ++l.breakLength;
        if (i < n && text[i] == '\n') ++i, ++l.breakLength;
        lines.push_back(l);
    }
    return lines;
}

class Reader {
public:
    Reader(TableDocument& doc, std::string shownNote) : doc_(doc), shownNote_(std::move(shownNote)) {}

    void read() {
        // Most formats hold one entry a line; growing past that is rare.
        doc_.entries.reserve(doc_.lines.size());
        LineReader reader(doc_.format, shownNote_);
        std::string problem;
        for (std::size_t i = 0; i < doc_.lines.size(); ++i) {
            TableLine& l = doc_.lines[i];
            l.kind = reader.read(doc_.lineText(i), parsed_, problem);
            if (l.kind == Kind::Entry) {
                // Lines and the grouping below index entries in 32 bits.
                CheckLimit(doc_.entries.size() + parsed_.size(), "entries", kMaxUint32);
                l.firstEntry = static_cast<std::uint32_t>(doc_.entries.size());
                l.entryCount = static_cast<std::uint32_t>(parsed_.size());
                if (reader.layout().byPosition)
                    positions_.resize(doc_.entries.size() + parsed_.size(), reader.position());
                for (auto& e : parsed_) doc_.entries.push_back(std::move(e));
            }
            if (!problem.empty()) doc_.problems.push_back({i + 1, std::move(problem)});
        }
        reader.finish();
        doc_.layout = reader.layout();
        std::size_t firstData = doc_.lines.size();
        for (std::size_t i = 0; i < doc_.lines.size(); ++i)
            if (doc_.lines[i].kind != Kind::Header) {
                firstData = i;
                break;
            }
        doc_.opaque = firstData < doc_.lines.size() ? doc_.text.substr(0, doc_.lines[firstData].offset) : doc_.text;
        if (doc_.format != Format::Plain) groupByCode();
    }

private:
    // Entries grouped by code in the order codes first appear; within a code
    // in candidate order. Lines keep pointing at their entries.
    void groupByCode() {
        auto& entries = doc_.entries;
        const std::size_t n = entries.size();
        if (n == 0) return;
        std::unordered_map<std::string_view, std::uint32_t> groupOf;
        groupOf.reserve(n);
        std::vector<std::uint32_t> group(n), start;
        for (std::size_t i = 0; i < n; ++i) {
            auto [it, added] = groupOf.try_emplace(entries[i].code, static_cast<std::uint32_t>(start.size()));
            if (added) start.push_back(0);
            group[i] = it->second;
            ++start[it->second];
        }
        std::uint32_t sum = 0;
        for (auto& s : start) {
            std::uint32_t size = s;
            s = sum;
            sum += size;
        }
        std::vector<std::uint32_t> order(n), cursor = start;
        for (std::size_t i = 0; i < n; ++i) order[cursor[group[i]]++] = static_cast<std::uint32_t>(i);
        if (doc_.layout.byWeight) {
            std::vector<double> weight(n, 0.0);
            for (std::size_t i = 0; i < n; ++i)
                if (entries[i].weight) weight[i] = std::strtod(entries[i].weight->c_str(), nullptr);
            for (std::size_t g = 0; g < start.size(); ++g) {
                auto b = order.begin() + start[g], e = order.begin() + cursor[g];
                std::stable_sort(b, e, [&](std::uint32_t x, std::uint32_t y) { return weight[x] > weight[y]; });
            }
        }
        if (doc_.layout.byPosition) {
            for (std::size_t g = 0; g < start.size(); ++g)
                std::stable_sort(order.begin() + start[g], order.begin() + cursor[g],
                                 [&](std::uint32_t x, std::uint32_t y) { return positions_[x] < positions_[y]; });
            std::vector<std::uint32_t>().swap(positions_);
        }
        groupOf.clear();
        // Entries move into their places along the cycles of the permutation,
        // without a second vector of entries.
        std::vector<std::uint32_t> newIndex(n);
        for (std::size_t k = 0; k < n; ++k) newIndex[order[k]] = static_cast<std::uint32_t>(k);
        std::vector<bool> placed(n, false);
        for (std::size_t k = 0; k < n; ++k) {
            if (placed[k]) continue;
            TableEntry held = std::move(entries[k]);
            std::size_t j = k;
            for (;;) {
                placed[j] = true;
                std::size_t from = order[j];
                if (from == k) {
                    entries[j] = std::move(held);
                    break;
                }
                entries[j] = std::move(entries[from]);
                j = from;
            }
        }
        for (auto& l : doc_.lines)
            if (l.kind == Kind::Entry) l.firstEntry = newIndex[l.firstEntry];
    }

    TableDocument& doc_;
    std::string shownNote_;
    std::vector<TableEntry> parsed_;
    std::vector<std::uint32_t> positions_;  // each entry's, in file order, for byPosition
};

// The order that brings each code's entries together, codes in the order
// they first appear and each code's entries in their order; empty when they
// already stand so. An engine ranks a code's candidates as one list (ibus by
// the frequencies written per run), so a code's lines that stand apart must
// become one run.
std::vector<std::uint32_t> OrderGroupedByCode(const std::vector<TableEntry>& entries) {
    // Runs whose codes ascend (by bytes, or by length and then bytes) stand
    // together without a look-up per run.
    bool byBytes = true, byLength = true;
    for (std::size_t i = 1; i < entries.size() && (byBytes || byLength); ++i) {
        const std::string &a = entries[i - 1].code, &b = entries[i].code;
        if (a == b) continue;
        byBytes = byBytes && a < b;
        byLength = byLength && (a.size() < b.size() || (a.size() == b.size() && a < b));
    }
    if (byBytes || byLength) return {};
    std::unordered_set<std::string_view> ended;
    bool together = true;
    for (std::size_t i = 0; i < entries.size() && together; ++i)
        if (i + 1 == entries.size() || entries[i + 1].code != entries[i].code)
            together = ended.insert(entries[i].code).second;
    if (together) return {};
    std::unordered_map<std::string_view, std::size_t> groupOf;
    std::vector<std::vector<std::uint32_t>> groups;
    for (std::size_t i = 0; i < entries.size(); ++i) {
        auto [it, added] = groupOf.try_emplace(entries[i].code, groups.size());
        if (added) groups.emplace_back();
        groups[it->second].push_back(static_cast<std::uint32_t>(i));
    }
    std::vector<std::uint32_t> order;
    order.reserve(entries.size());
    for (const auto& g : groups) order.insert(order.end(), g.begin(), g.end());
    return order;
}

// The whole file, GB18030, before the encoding.
std::string FreshText(const std::vector<TableEntry>& given, const WriteOptions& o, const InputLineOf& inputLineOf) {
    std::vector<std::uint32_t> order;
    std::vector<TableEntry> grouped;
    if (o.format != Format::Plain) {
        order = OrderGroupedByCode(given);
        grouped.reserve(order.size());
        for (std::uint32_t i : order) grouped.push_back(given[i]);
    }
    const std::vector<TableEntry>& entries = grouped.empty() ? given : grouped;
    std::function<std::size_t(std::size_t)> lineAt;
    if (inputLineOf)
        lineAt = [&](std::size_t at) {
            const std::size_t k = order.empty() ? at : order[at];
            return inputLineOf(given[k], k);
        };
    HeaderFacts facts;
    if (o.format != Format::Plain)
        for (const auto& e : entries) facts.add(e);
    TableLayout layout;
    std::string out = FreshHeader(facts, o, layout);
    out.reserve(entries.size() * 24 + out.size());
    for (std::size_t i = 0; i < entries.size();) {
        std::size_t j = i + 1;
        while (j < entries.size() && entries[j].code == entries[i].code) ++j;
        AppendFreshRun(out, &entries[i], j - i, o, layout, lineAt, i);
        i = j;
    }
    out += FreshFooter(o.format);
    return out;
}

// Decoded, cut into lines, format recognised (or the given one taken, with
// a note for its reader's failure when the first lines show another): what
// reading a table and reading a merge target share.
TableDocument OpenDocument(std::string_view bytes, Encoding encoding, Format format, std::string& shownNote) {
    TableDocument doc;
    DecodedText d = DecodeText(bytes, encoding);
    doc.text = std::move(d.text);
    doc.encoding = d.encoding;
    doc.hadBom = d.hadBom;
    doc.encodingCloseCall = d.closeCall;
    doc.lines = CutLines(doc.text);
    format = ReadingFormat(format);
    Detection found = Detect(doc);
    if (format == Format::Auto)
        format = found.format;
    else if (found.format != Format::Plain)
        shownNote = ShownFormatNote(format, found.format, found.line + 1, doc.lineText(found.line));
    doc.format = format;
    return doc;
}

}  // namespace

TableDocument ReadTable(std::string_view bytes, Encoding encoding, Format format) {
    if (ReadsAsMsPhrase(bytes, format)) return ReadMsPhraseDocument(bytes, encoding);
    std::string note;
    TableDocument doc = OpenDocument(bytes, encoding, format, note);
    Reader(doc, std::move(note)).read();
    return doc;
}

TableDocument ReadTableToMerge(std::string_view bytes, Encoding encoding, Format format) {
    if (ReadsAsMsPhrase(bytes, format)) return ReadMsPhraseDocument(bytes, encoding);
    std::string note;
    TableDocument doc = OpenDocument(bytes, encoding, format, note);
    if (doc.format == Format::Plain) {
        std::vector<TableLine>().swap(doc.lines);
        return doc;
    }
    Reader(doc, std::move(note)).read();
    return doc;
}

std::string ToGroupLines(const TableDocument& doc) {
    if (doc.format == Format::Plain) return NormalizeLineBreaks(doc.text);
    std::string out;
    out.reserve(doc.text.size() + doc.text.size() / 8);
    const auto& entries = doc.entries;
    for (std::size_t i = 0; i < entries.size();) {
        if (i) out += "\r\n";
        AppendToken(out, entries[i].code);
        std::size_t j = i;
        for (; j < entries.size() && entries[j].code == entries[i].code; ++j) {
            out += ' ';
            AppendToken(out, entries[j].word);
        }
        i = j;
    }
    return out;
}

std::string WriteEntries(const std::vector<TableEntry>& entries, const WriteOptions& options,
                         const InputLineOf& inputLineOf) {
    if (options.format == Format::Auto) throw Failure("No output format given");
    if (options.format == Format::MsPhrase) return WriteMsPhrase(entries, options, inputLineOf);
    if (options.format == Format::Jidian) {
        WriteOptions plain = options;
        plain.format = Format::Plain;
        return WriteEntries(entries, plain, inputLineOf);
    }
    return EncodeText(FreshText(entries, options, inputLineOf), options.encoding, options.bom, options.textEncoding);
}

std::string WriteEntries(const std::vector<TableEntry>& entries, Format format, Encoding encoding, bool bom) {
    WriteOptions o;
    o.format = format;
    o.encoding = encoding;
    o.bom = bom;
    return WriteEntries(entries, o);
}

std::string WriteTable(const TableDocument& doc, const WriteOptions& options, std::size_t* droppedLines) {
    if (droppedLines) *droppedLines = 0;
    WriteOptions o = options;
    o.textEncoding = doc.textEncoding();
    // Words the encoding can't hold, in line order: the first fails, or all are left out.
    std::vector<bool> removed;
    if (CanLack(o.encoding, o.textEncoding)) {
        SkippedWord w;
        for (std::size_t i = 0; i < doc.lines.size(); ++i) {
            const TableLine& l = doc.lines[i];
            if (l.kind != Kind::Entry) continue;
            for (std::size_t k = l.firstEntry; k < l.firstEntry + l.entryCount; ++k)
                if (CheckEncodable(doc.entries[k], i + 1, o, w)) {
                    if (removed.empty()) removed.assign(doc.entries.size(), false);
                    removed[k] = true;
                }
        }
    }
    if (o.format == Format::Jidian) o.format = Format::Plain;
    // Positions number a code's candidates: a line that may go (a word the
    // encoding lacks, as the streamed path can't know ahead) would leave a
    // gap, so such a table is written afresh, numbered again.
    const bool renumbered = HasPositions(doc.format) && o.format == doc.format && CanLack(o.encoding, o.textEncoding);
    // A Windows phrase file is written whole, afresh, in its own format too.
    if (o.format != doc.format || renumbered || o.format == Format::MsPhrase) {
        CarryEngineSettings(o, doc.layout);
        if (droppedLines)
            for (const auto& l : doc.lines) *droppedLines += l.kind == Kind::Extra;
        // Each entry's line, for a refusal's message: found when one is refused.
        std::vector<std::size_t> lines;
        std::vector<std::uint32_t> keptIndex;  // of each entry kept, in doc.entries
        const InputLineOf lineOf = [&](const TableEntry&, std::size_t k) {
            if (lines.empty()) {
                lines.assign(doc.entries.size(), 0);
                for (std::size_t i = 0; i < doc.lines.size(); ++i) {
                    const TableLine& l = doc.lines[i];
                    if (l.kind == Kind::Entry) std::fill_n(lines.begin() + l.firstEntry, l.entryCount, i + 1);
                }
            }
            return lines[keptIndex.empty() ? k : keptIndex[k]];
        };
        if (removed.empty()) return WriteEntries(doc.entries, o, lineOf);
        std::vector<TableEntry> kept;
        kept.reserve(doc.entries.size());
        for (std::size_t k = 0; k < doc.entries.size(); ++k)
            if (!removed[k]) kept.push_back(doc.entries[k]), keptIndex.push_back(static_cast<std::uint32_t>(k));
        return WriteEntries(kept, o, lineOf);
    }
    std::string out;
    out.reserve(doc.text.size() + 64);
    const OwnFormatRewrite rewrite(doc.format, doc.encoding, o.encoding);
    out += rewrite.opening();
    std::vector<TableEntry> parsed;
    for (std::size_t i = 0; i < doc.lines.size(); ++i) {
        const TableLine& l = doc.lines[i];
        std::string_view text = doc.lineText(i);
        std::string_view lineBreak = std::string_view(doc.text).substr(l.offset + l.length, l.breakLength);
        if (rewrite.drops(l.kind, text)) continue;
        if (l.kind == Kind::Entry && !removed.empty() &&
            std::any_of(removed.begin() + l.firstEntry, removed.begin() + l.firstEntry + l.entryCount,
                        [](bool r) { return r; })) {
            std::vector<TableEntry> kept;
            for (std::size_t k = l.firstEntry; k < l.firstEntry + l.entryCount; ++k)
                if (!removed[k]) kept.push_back(doc.entries[k]);
            try {
                rewrite.appendRewritten(out, doc.layout, kept.data(), kept.size(), lineBreak, text);
            } catch (const RefusedEntry& f) {
                throw Failure(InputLineWhere(o, i + 1) + f.what());
            }
            continue;
        }
        if (l.kind == Kind::Entry) {
            ParseEntryLine(doc.format, doc.layout, text, parsed);
            const TableEntry* now = doc.entries.data() + l.firstEntry;
            if (!std::equal(parsed.begin(), parsed.end(), now, now + l.entryCount) || rewrite.rewrites(l.kind, text)) {
                try {
                    rewrite.appendRewritten(out, doc.layout, now, l.entryCount, lineBreak, text);
                } catch (const RefusedEntry& f) {
                    throw Failure(InputLineWhere(o, i + 1) + f.what());
                }
                continue;
            }
        }
        out.append(doc.text, l.offset, l.length + l.breakLength);
    }
    return EncodeText(out, o.encoding, o.bom, o.textEncoding);
}

std::string DropUnencodableWords(std::string_view text, const WriteOptions& o,
                                 const std::function<std::size_t(std::string_view, std::string_view)>& lineOf) {
    if (!CanLack(o.encoding, o.textEncoding)) return std::string(text);
    std::string out;
    out.reserve(text.size());
    TableLayout layout;
    std::vector<TableEntry> parsed, kept;
    SkippedWord w;
    for (const TableLine& l : CutLines(text)) {
        std::string_view line = text.substr(l.offset, l.length);
        std::string_view lineBreak = text.substr(l.offset + l.length, l.breakLength);
        parsed.clear();
        const bool pairs =
            line.find(' ') != std::string_view::npos && ParseEntryLine(Format::Plain, layout, line, parsed);
        if (!pairs) {
            TableEntry word{{}, std::string(TrimWhiteSpace(line)), {}, {}};
            if (!word.word.empty() && CheckEncodable(word, lineOf({}, word.word), o, w)) continue;
            out.append(line).append(lineBreak);
            continue;
        }
        kept.clear();
        for (auto& e : parsed)
            if (!FindUnencodable(e, w) || !CheckEncodable(e, lineOf(e.code, e.word), o, w))
                kept.push_back(std::move(e));
        if (kept.size() == parsed.size()) {
            out.append(line).append(lineBreak);
        } else if (!kept.empty()) {
            out += CanonicalLine(Format::Plain, layout, kept.data(), kept.size());
            out.append(lineBreak);
        }
    }
    return out;
}

std::vector<TableEntry> EntriesFromGroupLines(std::string_view text, std::size_t* skipped,
                                              std::vector<std::size_t>* lineOf) {
    std::vector<TableEntry> entries;
    if (skipped) *skipped = 0;
    if (lineOf) lineOf->clear();
    TableLayout layout;
    std::vector<TableEntry> parsed;
    std::size_t number = 0;
    for (const TableLine& l : CutLines(text)) {
        ++number;
        std::string_view line = text.substr(l.offset, l.length);
        if (ParseEntryLine(Format::Plain, layout, line, parsed)) {
            for (auto& e : parsed) entries.push_back(std::move(e));
            if (lineOf) lineOf->resize(entries.size(), number);
        } else if (skipped && !TrimText(line).empty()) {
            ++*skipped;
        }
    }
    return entries;
}

}  // namespace zelmora::formats
