#include "tune/reorder.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <limits>
#include <unordered_map>
#include <unordered_set>

#include "core/failure.h"
#include "core/limits.h"
#include "core/text.h"
#include "formats/encoding.h"
#include "formats/writing.h"
#include "tune/weights.h"
#include "typing/typing.h"
#include "wubi/variant_check.h"

namespace zelmora::tune {

using formats::Format;
using formats::TableDocument;
using formats::TableEntry;
using formats::TableLine;

Only ParseOnly(std::string_view name) {
    if (name == "singles") return Only::Singles;
    if (name == "phrases") return Only::Phrases;
    if (name == "all") return Only::All;
    throw Failure("Unknown selection \"" + std::string(name) + "\" (singles, phrases or all)");
}

By ParseBy(std::string_view name) {
    if (name == "use") return By::Use;
    if (name == "count") return By::Count;
    throw Failure("Unknown ordering \"" + std::string(name) + "\" (use or count)");
}

std::vector<Pin> ReadPins(std::string_view bytes, const std::string& name) {
    const formats::DecodedText decoded = formats::DecodeText(bytes, formats::Encoding::Auto);
    RefuseNulBytes(decoded.text, name.c_str());
    std::vector<Pin> pins;
    std::size_t number = 0;
    ForEachLine(decoded.text, [&](std::string_view line) {
        ++number;
        const std::string_view t = TrimWhiteSpace(line);
        if (t.empty() || t[0] == '#') return;
        const LineList tokens = SplitTokens(t);
        if (tokens.count() != 2)
            throw Failure(name + ", line " + std::to_string(number) + ": \"" + formats::MessageText(t) +
                          "\" is not a code and one word");
        pins.push_back({tokens.lines()[0], tokens.lines()[1], number});
    });
    return pins;
}

namespace {

std::string PairKey(std::string_view code, std::string_view word) {
    std::string k;
    k.reserve(code.size() + 1 + word.size());
    k.append(code).push_back('\0');
    k.append(word);
    return k;
}

bool AllLetters(std::string_view code) {
    return !code.empty() && std::all_of(code.begin(), code.end(), [](char c) { return c >= 'a' && c <= 'z'; });
}

}  // namespace

std::vector<TableEntry> Reordering::apply(const std::vector<TableEntry>& entries) const {
    std::vector<TableEntry> out;
    out.reserve(order.size());
    for (std::uint32_t k : order) out.push_back(entries[k]);
    return out;
}

Reordering Reorder(const std::vector<TableEntry>& entries, const WordCounts& counts, const ReorderOptions& options) {
    CheckLimit(entries.size(), "entries", kMaxUint32);
    Reordering r;
    const std::size_t n = entries.size();
    r.order.resize(n);
    for (std::size_t k = 0; k < n; ++k) r.order[k] = static_cast<std::uint32_t>(k);

    std::unordered_set<std::string> pinned, met;
    for (const Pin& p : options.pins) pinned.insert(PairKey(p.code, p.word));

    // Each code's places, in candidate order, codes as first met.
    std::unordered_map<std::string_view, std::uint32_t> groupOf;
    std::vector<std::vector<std::uint32_t>> groups;
    for (std::size_t k = 0; k < n; ++k) {
        auto [it, added] = groupOf.try_emplace(entries[k].code, static_cast<std::uint32_t>(groups.size()));
        if (added) groups.emplace_back();
        groups[it->second].push_back(static_cast<std::uint32_t>(k));
    }

    // Every word as code points, converted in one go (one conversion a word
    // would cost more than the ordering).
    std::string joined;
    for (const TableEntry& e : entries) {
        joined += e.word;
        joined += '\n';
    }
    const std::u32string all = typing::Utf32Of(joined, options.textEncoding);
    std::vector<std::u32string_view> words;
    std::vector<std::u32string> one;
    words.reserve(n);
    for (std::size_t from = 0, to; from < all.size() && (to = all.find(U'\n', from)) != std::u32string::npos;
         from = to + 1)
        words.push_back(std::u32string_view(all).substr(from, to - from));
    if (words.size() != n) {
        // A word with a line break in it (no format writes one): each on its own.
        for (const TableEntry& e : entries) one.push_back(typing::Utf32Of(e.word, options.textEncoding));
        words.assign(one.begin(), one.end());
    }

    // By use: each word's two cheapest entries at different codes, as the
    // table stands, so that "its cheapest entry elsewhere" is one look-up.
    struct Cheapest {
        std::uint32_t cost = std::numeric_limits<std::uint32_t>::max(), second = cost;
        std::string_view code;
    };
    std::unordered_map<std::u32string_view, Cheapest> cheapest;
    if (options.by == By::Use) {
        typing::CheckOptions(options.typing);
        cheapest.reserve(n);
        for (const auto& places0 : groups)
            for (std::size_t i = 0; i < places0.size(); ++i) {
                const std::uint32_t k = places0[i];
                const std::uint32_t cost = typing::StrokeOf(entries[k].code.size(), i + 1, options.typing).keys();
                Cheapest& c = cheapest[words[k]];
                if (c.code == entries[k].code) {
                    c.cost = std::min(c.cost, cost);
                } else if (cost < c.cost) {
                    c.second = c.cost;
                    c.cost = cost;
                    c.code = entries[k].code;
                } else {
                    c.second = std::min(c.second, cost);
                }
            }
    }
    bool holdsSimplified = false;  // of the code being ordered: a Han character not traditional
    // The count a candidate is ordered by at `code`, or none.
    auto countAt = [&](std::uint32_t k, std::string_view code) -> std::optional<std::uint64_t> {
        std::optional<std::uint64_t> count = counts.find(words[k]);
        if (!count || options.by == By::Count) return count;
        const Cheapest& c = cheapest.at(words[k]);
        const std::uint32_t elsewhere = c.code == code ? c.second : c.cost;
        const std::uint32_t first = typing::StrokeOf(code.size(), 1, options.typing).keys();
        if (first >= elsewhere) return std::nullopt;
        // A traditional character never overtakes a simplified one by use
        // alone: its simplified form is typed by a short code, not unused.
        if (words[k].size() == 1 && IsTraditional(words[k][0]) && holdsSimplified) return std::nullopt;
        return count;
    };

    struct Candidate {
        std::uint32_t entry;
        std::optional<std::uint64_t> count;
    };
    std::vector<Candidate> sorted;
    std::vector<std::uint32_t> places;
    for (const auto& places0 : groups) {
        const std::string& code = entries[places0.front()].code;
        if (!pinned.empty())
            for (std::uint32_t k : places0)
                if (std::string key = PairKey(code, entries[k].word); pinned.count(key)) met.insert(std::move(key));
        if (places0.size() < 2) continue;
        if (!AllLetters(code)) {
            r.oddCodes.push_back(code);
            continue;
        }
        holdsSimplified = false;
        if (options.by == By::Use)
            for (std::uint32_t k : places0)
                if (words[k].size() == 1 && IsHan(words[k][0]) && !IsTraditional(words[k][0])) holdsSimplified = true;
        // The places this code's ordered candidates hold.
        sorted.clear();
        places.clear();
        for (std::uint32_t k : places0) {
            const TableEntry& e = entries[k];
            if (!pinned.empty() && pinned.count(PairKey(code, e.word))) continue;
            if (options.only != Only::All) {
                const bool single = words[k].size() == 1;
                if (single != (options.only == Only::Singles)) continue;
            }
            places.push_back(k);
            sorted.push_back({k, countAt(k, code)});
        }
        if (sorted.size() < 2) continue;
        std::stable_sort(sorted.begin(), sorted.end(), [](const Candidate& a, const Candidate& b) {
            if (!a.count || !b.count) return a.count.has_value() && !b.count.has_value();
            return *a.count > *b.count;
        });
        bool any = false;
        for (std::size_t i = 0; i < places.size(); ++i) {
            r.order[places[i]] = sorted[i].entry;
            any |= sorted[i].entry != places[i];
        }
        if (!any) continue;
        ++r.codesChanged;
        // Places within the code, for the moves.
        std::unordered_map<std::uint32_t, std::size_t> placeOf;
        for (std::size_t i = 0; i < places0.size(); ++i) placeOf[places0[i]] = i + 1;
        for (std::size_t i = 0; i < places0.size(); ++i) {
            const std::uint32_t now = r.order[places0[i]];
            if (now == places0[i]) continue;
            const TableEntry& e = entries[now];
            r.moves.push_back({code, e.word, placeOf[now], i + 1, counts.find(words[now])});
        }
    }
    for (const Pin& p : options.pins)
        if (!met.count(PairKey(p.code, p.word))) r.unmatchedPins.push_back(p);
    return r;
}

Reordering OnlyCodes(const Reordering& r, const std::vector<TableEntry>& entries,
                     const std::vector<std::string>& codes) {
    const std::unordered_set<std::string_view> taken(codes.begin(), codes.end());
    Reordering out = r;
    std::unordered_set<std::string_view> changed;
    for (std::size_t p = 0; p < out.order.size(); ++p) {
        if (!taken.count(entries[p].code)) {
            out.order[p] = static_cast<std::uint32_t>(p);
        } else if (out.order[p] != p) {
            changed.insert(entries[p].code);
        }
    }
    out.codesChanged = changed.size();
    std::erase_if(out.moves, [&](const CandidateMove& m) { return !taken.count(m.code); });
    return out;
}

namespace {

// `count` weights strictly between `low` and `high` (high may be infinite),
// highest first: whole numbers where there is room, else decimals when
// allowed. Empty when there is no room.
std::vector<std::string> WeightsBetween(double low, double high, std::size_t count, bool decimals) {
    std::vector<std::string> out;
    if (count == 0) return out;
    if (!(high > low)) return out;
    const double m = static_cast<double>(count);
    const double firstWhole = std::floor(low) + 1;  // the least whole number above low
    if (std::isinf(high)) {
        for (std::size_t i = 0; i < count; ++i) out.push_back(WholeNumber(firstWhole + m - 1 - static_cast<double>(i)));
        return out;
    }
    const double lastWhole = std::ceil(high) - 1;  // the greatest below high
    // Whole numbers only while a double holds each one exactly.
    if (lastWhole - firstWhole + 1 >= m && lastWhole < 9e15) {
        // Just under the candidate before them: the numbers stay near the table's own.
        for (std::size_t i = 0; i < count; ++i) out.push_back(WholeNumber(lastWhole - static_cast<double>(i)));
        return out;
    }
    if (!decimals) return out;
    // Evenly between, with the fewest digits that still read back in order.
    for (int digits = 3; digits <= 17; ++digits) {
        std::vector<std::string> tried;
        double previous = high;
        bool fits = true;
        for (std::size_t i = 0; i < count && fits; ++i) {
            const double v = high - (high - low) * static_cast<double>(i + 1) / (m + 1);
            char text[64];
            std::snprintf(text, sizeof text, "%.*g", digits, v);
            const double read = std::strtod(text, nullptr);
            fits = read < previous && read > low && std::string_view(text).find('e') == std::string_view::npos;
            previous = read;
            tried.emplace_back(text);
        }
        if (fits) return tried;
    }
    return out;
}

// One code's entries in their new order, each with its weight; which
// keep their weights and what the others get (see WriteReordered).
struct Weighed {
    double weight;
    std::optional<std::string> text;
};
std::vector<std::optional<std::string>> NewWeights(const std::vector<Weighed>& es, bool decimals) {
    const std::size_t n = es.size();
    // Weights new ones may take: Rime's above 0, ibus-table's not below 0.
    const double floor = decimals ? 0.0 : -1.0;
    // Whether a stands before b whatever the engine does with equal weights
    // (librime and ibus-table each break ties their own way).
    auto ahead = [&](std::size_t a, std::size_t b) { return es[a].weight > es[b].weight; };
    // Whether a and b (n + 1: before the first; n: after the last) can both
    // keep their weights with the entries between them reweighted.
    const std::size_t start = n + 1, end = n;
    auto fits = [&](std::size_t a, std::size_t b) {
        const std::size_t from = a == start ? 0 : a + 1;
        const std::size_t between = b - from;
        if (a != start && b != end && !ahead(a, b)) return false;
        if (between == 0) return true;
        const double high = a == start ? std::numeric_limits<double>::infinity() : es[a].weight;
        const double low = b == end ? floor : std::max(es[b].weight, floor);
        return !WeightsBetween(low, high, between, decimals).empty();
    };
    // The most entries kept, ending at each: a longest chain, quadratic in the
    // code's candidates (a code holds few).
    std::vector<std::size_t> best(n + 1, 0), from(n + 1, start);
    std::vector<bool> reached(n + 1, false);
    for (std::size_t b = 0; b <= n; ++b) {
        const std::size_t itself = b < n ? 1 : 0;
        if (fits(start, b)) reached[b] = true, best[b] = itself, from[b] = start;
        for (std::size_t a = 0; a < b; ++a) {
            if (!reached[a] || !fits(a, b)) continue;
            if (!reached[b] || best[a] + itself > best[b]) reached[b] = true, best[b] = best[a] + itself, from[b] = a;
        }
    }
    std::vector<std::optional<std::string>> out(n);
    std::vector<bool> kept(n, false);
    for (std::size_t b = from[end]; b != start; b = from[b]) kept[b] = true;
    for (std::size_t i = 0; i < n;) {
        if (kept[i]) {
            out[i] = es[i].text;
            ++i;
            continue;
        }
        std::size_t j = i;
        while (j < n && !kept[j]) ++j;
        const double high = i == 0 ? std::numeric_limits<double>::infinity() : es[i - 1].weight;
        const double low = j == n ? floor : std::max(es[j].weight, floor);
        std::vector<std::string> ws = WeightsBetween(low, high, j - i, decimals);
        for (std::size_t k = i; k < j; ++k) out[k] = ws[k - i];
        i = j;
    }
    return out;
}

// A line with its column `column` (tab-separated) set to `value`.
std::string WithColumn(std::string_view line, int column, std::string_view value) {
    std::vector<std::string_view> fields;
    std::size_t pos = 0;
    for (;;) {
        const std::size_t tab = line.find('\t', pos);
        fields.push_back(line.substr(pos, tab == std::string_view::npos ? std::string_view::npos : tab - pos));
        if (tab == std::string_view::npos) break;
        pos = tab + 1;
    }
    while (fields.size() <= static_cast<std::size_t>(column)) fields.emplace_back();
    fields[static_cast<std::size_t>(column)] = value;
    std::string out;
    for (std::size_t i = 0; i < fields.size(); ++i) {
        if (i) out.push_back('\t');
        out.append(fields[i]);
    }
    return out;
}

}  // namespace

ReorderedTable WriteReordered(const TableDocument& doc, const Reordering& r) {
    if (r.order.size() != doc.entries.size()) throw Failure("The reordering is not of this table");
    ReorderedTable out;
    if (doc.format == Format::MsPhrase) {
        // A binary Windows phrase file: written whole afresh, its positions
        // numbered in the new order.
        formats::WriteOptions w;
        w.format = Format::MsPhrase;
        w.textEncoding = doc.textEncoding();
        out.bytes = formats::WriteEntries(r.apply(doc.entries), w);
        for (std::size_t p = 0; p < r.order.size(); ++p) out.linesChanged += r.order[p] != p;
        return out;
    }
    RefuseNulBytes(doc.text, "table");
    std::vector<std::size_t> lineOf(doc.entries.size(), 0);
    for (std::size_t i = 0; i < doc.lines.size(); ++i) {
        const TableLine& l = doc.lines[i];
        if (l.kind == TableLine::Kind::Entry) std::fill_n(lineOf.begin() + l.firstEntry, l.entryCount, i);
    }
    const int weightColumn = doc.format == Format::Ibus ? 2 : doc.layout.weightColumn;
    const bool byWeight =
        doc.layout.byWeight && (doc.format == Format::Ibus || (doc.format == Format::Rime && weightColumn >= 0));

    // What each line becomes: its own text, another line's, or a new one.
    std::vector<std::string> rewritten(doc.lines.size());
    std::vector<bool> touched(doc.lines.size(), false);
    if (byWeight) {
        // Each code's entries in their new order, reweighted as little as can be.
        std::unordered_map<std::string_view, std::vector<std::uint32_t>> placesOf;
        std::vector<std::string_view> codes;
        for (std::size_t p = 0; p < r.order.size(); ++p) {
            auto [it, added] = placesOf.try_emplace(doc.entries[p].code);
            if (added) codes.push_back(it->first);
            it->second.push_back(static_cast<std::uint32_t>(p));
        }
        std::vector<Weighed> es;
        std::vector<std::uint32_t> ks;
        for (std::string_view code : codes) {
            const std::vector<std::uint32_t>& places = placesOf[code];
            ks.clear();
            bool moved = false;
            for (std::uint32_t p : places) {
                ks.push_back(r.order[p]);
                moved |= r.order[p] != p;
            }
            if (!moved) continue;
            es.clear();
            // librime ranks every weight up to 0 alike.
            for (std::uint32_t k : ks)
                es.push_back({doc.format == Format::Rime ? std::max(WeightValue(doc.entries[k].weight), 0.0)
                                                         : WeightValue(doc.entries[k].weight),
                              doc.entries[k].weight});
            const std::vector<std::optional<std::string>> ws = NewWeights(es, doc.format == Format::Rime);
            for (std::size_t i = 0; i < ks.size(); ++i) {
                if (ws[i] == es[i].text) continue;
                const TableEntry& e = doc.entries[ks[i]];
                const std::size_t line = lineOf[ks[i]];
                out.reweighted.push_back({e.code, e.word, e.weight.value_or(""), *ws[i]});
                rewritten[line] = WithColumn(doc.lineText(line), weightColumn, *ws[i]);
                touched[line] = true;
            }
        }
    } else {
        const bool oneALine = doc.format != Format::Plain && doc.format != Format::Yong;
        for (std::size_t i = 0; i < doc.lines.size(); ++i) {
            const TableLine& l = doc.lines[i];
            if (l.kind != TableLine::Kind::Entry || l.entryCount == 0) continue;
            bool moved = false;
            for (std::size_t k = l.firstEntry; k < l.firstEntry + l.entryCount; ++k) moved |= r.order[k] != k;
            if (!moved) continue;
            touched[i] = true;
            if (oneALine && l.entryCount == 1) {
                // The entry that takes this place comes with its whole line.
                rewritten[i] = std::string(doc.lineText(lineOf[r.order[l.firstEntry]]));
                continue;
            }
            std::vector<TableEntry> now;
            for (std::size_t k = l.firstEntry; k < l.firstEntry + l.entryCount; ++k)
                now.push_back(doc.entries[r.order[k]]);
            try {
                rewritten[i] = formats::CanonicalLine(doc.format, doc.layout, now.data(), now.size());
            } catch (const Failure& f) {
                throw Failure("Line " + std::to_string(i + 1) + ": " + f.what());
            }
        }
    }
    std::string text;
    text.reserve(doc.text.size() + 64);
    for (std::size_t i = 0; i < doc.lines.size(); ++i) {
        const TableLine& l = doc.lines[i];
        if (touched[i] && rewritten[i] != doc.lineText(i)) {
            ++out.linesChanged;
            text += rewritten[i];
            text.append(doc.text, l.offset + l.length, l.breakLength);
        } else {
            text.append(doc.text, l.offset, l.length + l.breakLength);
        }
    }
    out.bytes = formats::EncodeText(text, doc.encoding, doc.hadBom, doc.textEncoding());
    return out;
}

}  // namespace zelmora::tune
