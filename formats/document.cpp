// Reading a table file of any format into a document, and writing documents
// and entries back.
#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <exception>
#include <functional>
#include <thread>
#include <unordered_map>
#include <unordered_set>
#include <utility>

#include "core/failure.h"
#include "core/limits.h"
#include "core/text.h"
#include "formats/document.h"
#include "formats/encoding.h"
#include "formats/encoding_internal.h"
#include "formats/lines.h"
#include "formats/ms_phrase.h"
#include "formats/reading.h"
#include "formats/writing.h"
#include "formats/writing_internal.h"

namespace zelmora::formats {

namespace {

using Kind = TableLine::Kind;

// The line that begins at `i`, with its break; `i` moves past it. CR LF, CR
// and LF each end a line.
TableLine NextLine(std::string_view text, std::size_t& i) {
    TableLine l;
    l.offset = i;
    const std::size_t n = text.size();
    while (i < n && text[i] != '\r' && text[i] != '\n') ++i;
    l.length = i - l.offset;
    if (i < n && text[i] == '\r') ++i, ++l.breakLength;
    if (i < n && text[i] == '\n') ++i, ++l.breakLength;
    return l;
}

std::vector<TableLine> CutLines(std::string_view text) {
    std::vector<TableLine> lines;
    lines.reserve(text.size() / 16 + 1);
    for (std::size_t i = 0; i < text.size();) lines.push_back(NextLine(text, i));
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

// The format a text's first lines show (Plain when none does), as Detect
// finds it in a document of that text, and the text of the line that shows it.
std::pair<Detection, std::string_view> DetectInText(std::string_view text) {
    std::size_t i = 0;
    for (std::size_t line = 0; line < kDetectionLines && i < text.size(); ++line) {
        const TableLine l = NextLine(text, i);
        const std::string_view t = text.substr(l.offset, l.length);
        if (std::optional<Format> f = FormatShownBy(t)) return {{*f, line}, t};
    }
    return {};
}

// The format a decoded text is read as: the given one, with a note for its
// reader's failure when the first lines show another, or the one they show.
Format ReadingFormatOf(std::string_view text, Format format, std::string& shownNote) {
    format = ReadingFormat(format);
    const auto [found, line] = DetectInText(text);
    if (format == Format::Auto) return found.format;
    if (found.format != Format::Plain) shownNote = ShownFormatNote(format, found.format, found.line + 1, line);
    return format;
}

// A decoded text cut into lines, read as `format`.
TableDocument DocumentOf(DecodedText d, Format format) {
    TableDocument doc;
    doc.text = std::move(d.text);
    doc.encoding = d.encoding;
    doc.hadBom = d.hadBom;
    doc.encodingCloseCall = d.closeCall;
    doc.lines = CutLines(doc.text);
    doc.format = format;
    return doc;
}

// Decoded, cut into lines, format recognised (or the given one taken, with
// a note for its reader's failure when the first lines show another): what
// reading a table and reading a merge target share.
TableDocument OpenDocument(std::string_view bytes, Encoding encoding, Format format, std::string& shownNote) {
    DecodedText d = DecodeText(bytes, encoding);
    format = ReadingFormatOf(d.text, format, shownNote);
    return DocumentOf(std::move(d), format);
}

// Data past which a Rime dictionary's lines are read by two threads.
constexpr std::size_t kTwoReadersFrom = std::size_t(1) << 20;

// FNV-1a: codes are a few letters.
std::size_t CodeHash(std::string_view code) {
    std::uint64_t h = 0xcbf29ce484222325u;
    for (char c : code) h = (h ^ static_cast<unsigned char>(c)) * 0x100000001b3u;
    return static_cast<std::size_t>(h ^ (h >> 32));
}

// A Rime weight as the document's grouping reads it: strtod of the column,
// 0 when there is none. Whole numbers of up to 15 digits, the common case,
// are exact as doubles and read directly. `buffer` holds the column ended.
double WeightValue(std::string_view column, std::string& buffer) {
    if (column.empty()) return 0.0;
    if (column.size() <= 15 && std::all_of(column.begin(), column.end(), [](char c) { return c >= '0' && c <= '9'; })) {
        std::uint64_t v = 0;
        for (char c : column) v = v * 10 + static_cast<std::uint64_t>(c - '0');
        return static_cast<double>(v);
    }
    return std::strtod(buffer.assign(column).c_str(), nullptr);
}

// Where the data lines of [from, end) may be cut in two for two readers:
// after a line feed near the middle, unless a line before it turns '#'
// comments off (the second reader starts with them on); `end` for none.
std::size_t RimeDataCut(std::string_view text, std::size_t from, std::size_t end) {
    const std::size_t lf = text.find('\n', from + (end - from) / 2);
    if (lf == std::string_view::npos || lf + 1 >= end) return end;
    const std::size_t cut = lf + 1;
    const std::string_view off = "# no comment";
    for (std::size_t at = text.find(off, from); at < cut; at = text.find(off, at + 1))
        if (at == from || text[at - 1] == '\n' || text[at - 1] == '\r') return end;
    return cut;
}

// ToGroupLines of the document a Rime dictionary's text reads into, straight
// from its lines: each entry's code and word are views into the text and its
// weight a number, without an entry, a line list or the text kept twice.
// A big table's data lines are read by two threads, each half of them.
// Fails as the document's reader does.
std::string RimeGroupLines(std::string_view text, std::string shownNote) {
    LineReader reader(Format::Rime, std::move(shownNote));
    struct Item {
        std::string_view code, word;
    };
    struct Part {
        std::vector<Item> items;
        std::vector<double> weights;
    };
    // Reads [from, to), lines as the reader goes on from where it is.
    auto readData = [&text](LineReader& r, std::size_t from, std::size_t to, Part& part) {
        part.items.reserve((to - from) / 16 + 1);
        std::string weight;  // a column's bytes ended, for strtod
        RimeColumns columns;
        // The layout is final past the header: weights are kept for every entry or none.
        const bool byWeight = r.layout().byWeight;
        for (std::size_t i = from; i < to;) {
            const TableLine l = NextLine(text, i);
            if (r.readRimeColumns(text.substr(l.offset, l.length), columns) != Kind::Entry) continue;
            CheckLimit(part.items.size() + 1, "entries", kMaxUint32);
            part.items.push_back({columns.code, columns.text});
            if (byWeight) part.weights.push_back(WeightValue(columns.weight, weight));
        }
    };
    std::size_t i = 0;
    {
        std::vector<TableEntry> unused;
        std::string problem;
        while (i < text.size() && !reader.rimeData()) {
            const TableLine l = NextLine(text, i);
            reader.read(text.substr(l.offset, l.length), unused, problem);
        }
    }
    Part first, second;
    const std::size_t cut = text.size() - i >= kTwoReadersFrom ? RimeDataCut(text, i, text.size()) : text.size();
    if (cut < text.size()) {
        // The second reader numbers lines from the cut wrongly: when it
        // fails, its half is read again after the first, for the message.
        LineReader secondReader = reader;
        std::exception_ptr secondFailed;
        std::thread t([&] {
            try {
                readData(secondReader, cut, text.size(), second);
            } catch (...) {
                secondFailed = std::current_exception();
            }
        });
        try {
            readData(reader, i, cut, first);
        } catch (...) {
            t.join();
            throw;
        }
        t.join();
        if (secondFailed) {
            second = Part();
            readData(reader, cut, text.size(), first);
        }
    } else {
        readData(reader, i, text.size(), first);
    }
    CheckLimit(first.items.size() + second.items.size(), "entries", kMaxUint32);
    reader.finish();
    // The halves stand one after the other, as read.
    const std::size_t firstCount = first.items.size(), n = firstCount + second.items.size();
    if (n == 0) return {};
    auto item = [&](std::size_t k) -> const Item& {
        return k < firstCount ? first.items[k] : second.items[k - firstCount];
    };
    auto weight = [&](std::size_t k) { return k < firstCount ? first.weights[k] : second.weights[k - firstCount]; };
    // Grouped by code in the order codes first appear, as the document's
    // entries are; within a code by weight, highest first, ties in file order.
    // Codes are found in a table of open addressing over their first items'
    // views (no node to allocate per code); a code like the one before needs
    // no look-up.
    std::size_t capacity = 16;
    while (capacity < 2 * n) capacity <<= 1;
    std::vector<std::uint32_t> slots(capacity, 0);  // a code's group + 1; 0: free
    std::vector<std::uint32_t> group(n), start;
    std::vector<std::string_view> codes;  // each group's
    for (std::size_t k = 0; k < n; ++k) {
        const std::string_view code = item(k).code;
        if (k && code == codes[group[k - 1]]) {
            group[k] = group[k - 1];
        } else {
            std::size_t at = CodeHash(code) & (capacity - 1);
            while (slots[at] && codes[slots[at] - 1] != code) at = (at + 1) & (capacity - 1);
            if (!slots[at]) {
                codes.push_back(code);
                start.push_back(0);
                slots[at] = static_cast<std::uint32_t>(start.size());
            }
            group[k] = slots[at] - 1;
        }
        ++start[group[k]];
    }
    std::vector<std::uint32_t>().swap(slots);
    std::uint32_t sum = 0;
    for (auto& st : start) {
        const std::uint32_t size = st;
        st = sum;
        sum += size;
    }
    std::vector<std::uint32_t> order(n), cursor = start;
    for (std::size_t k = 0; k < n; ++k) order[cursor[group[k]]++] = static_cast<std::uint32_t>(k);
    if (!first.weights.empty() || !second.weights.empty()) {
        // A stable sort gives one order whatever the way: a few candidates
        // are put in place one by one, without a buffer to allocate. (Not
        // with a weight that is no number, which no order ranks: there the
        // document's sort, for its order.)
        auto higher = [&](std::uint32_t x, std::uint32_t y) { return weight(x) > weight(y); };
        for (std::size_t g = 0; g < start.size(); ++g) {
            const auto b = order.begin() + start[g], e = order.begin() + cursor[g];
            if (e - b > 32 || std::any_of(b, e, [&](std::uint32_t k) { return std::isnan(weight(k)); })) {
                std::stable_sort(b, e, higher);
                continue;
            }
            for (auto it = b + (b != e); it < e; ++it)
                for (auto j = it; j != b && higher(*j, *(j - 1)); --j) std::iter_swap(j, j - 1);
        }
    }
    // A token of no byte that could need quoting is itself (a byte of 0x80
    // or more only begins or continues a character of more bytes), without
    // walking its characters.
    auto append = [&](std::string& to, std::string_view token) {
        const bool plain = !token.empty() && std::all_of(token.begin(), token.end(), [](char ch) {
            const auto c = static_cast<unsigned char>(ch);
            return c >= 0x80 || (c > 0x20 && c != ',' && c != '"');
        });
        if (plain)
            to.append(token);
        else
            AppendToken(to, token);
    };
    std::string out;
    out.reserve(text.size() + text.size() / 8);
    for (std::size_t g = 0; g < start.size(); ++g) {
        if (g) out += "\r\n";
        append(out, codes[g]);
        for (std::size_t k = start[g]; k < cursor[g]; ++k) {
            out += ' ';
            append(out, item(order[k]).word);
        }
    }
    return out;
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

GroupLineTable ReadGroupLines(std::string_view bytes, Encoding encoding, Format format,
                              const std::function<bool(Encoding, bool)>& keepDocument) {
    GroupLineTable t;
    auto whole = [&](TableDocument doc) {
        t.encoding = doc.encoding;
        t.hadBom = doc.hadBom;
        t.encodingCloseCall = doc.encodingCloseCall;
        t.format = doc.format;
        t.groupLines = ToGroupLines(doc);
        t.document = std::move(doc);
        return std::move(t);
    };
    if (ReadsAsMsPhrase(bytes, format)) return whole(ReadMsPhraseDocument(bytes, encoding));
    // A big file that may be UTF-8: the table it is decoded from, and the
    // one its header is read back to UTF-8 with for YAML, are built while its
    // encoding is being recognised.
    std::thread prepare;
    if (bytes.size() >= kTwoReadersFrom && (encoding == Encoding::Auto || encoding == Encoding::Utf8))
        prepare = std::thread([] {
            try {
                PrepareUtf8Reading();
                PrepareUtf8Writing(TextEncoding::Gb18030);
            } catch (...) {
                // Met again, and reported, where the tables are used.
            }
        });
    DecodedText d;
    try {
        d = DecodeText(bytes, encoding);
    } catch (...) {
        if (prepare.joinable()) prepare.join();
        throw;
    }
    if (prepare.joinable()) prepare.join();
    std::string note;
    format = ReadingFormatOf(d.text, format, note);
    if (format != Format::Rime || (keepDocument && keepDocument(d.encoding, d.hadBom))) {
        TableDocument doc = DocumentOf(std::move(d), format);
        Reader(doc, std::move(note)).read();
        return whole(std::move(doc));
    }
    t.groupLines = RimeGroupLines(d.text, std::move(note));
    t.encoding = d.encoding;
    t.hadBom = d.hadBom;
    t.encodingCloseCall = d.closeCall;
    t.format = format;
    return t;
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
