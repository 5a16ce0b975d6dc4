// Short codes by frequency: the problem, its assignment, the new table.
#include "tune/shortcodes.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string_view>
#include <unordered_map>
#include <unordered_set>

#include "core/failure.h"
#include "formats/encoding.h"
#include "formats/writing.h"
#include "tune/assignment.h"
#include "tune/weights.h"
#include "wubi/merge.h"

namespace zelmora::tune {

namespace {

bool IsLetterCode(std::string_view code) {
    if (code.empty()) return false;
    for (char c : code)
        if (c < 'a' || c > 'z') return false;
    return true;
}

// A code of a chosen level: the entries that stay (fixed) and those a
// proposal may move, in candidate order, and how many it holds now.
struct CodeSlots {
    std::vector<std::uint32_t> fixed, moving;
    std::vector<std::size_t> fixedAt;  // each fixed entry's position (from 1), which it keeps
    std::size_t count = 0;
    std::size_t firstColumn = 0, columnCount = 0;
    bool seen = false;  // has entries in the table
};

// `count` slots of one code that cost `keys` each, the first at position
// `first`; the fixed entries' positions among them are no slots.
struct Column {
    std::string code;
    std::size_t first = 0, count = 0;
    std::uint32_t keys = 0;
};

std::string Shown(const std::string& bytes, TextEncoding encoding) {
    try {
        return typing::Utf8Of(typing::Utf32Of(bytes, encoding));
    } catch (const Failure&) {
        return bytes;
    }
}

}  // namespace

void CheckShortCodeOptions(const ShortCodeOptions& o) {
    if (o.levels.empty()) throw Failure("No short-code level given: give some of 1, 2 and 3");
    std::vector<bool> seen(4, false);
    for (std::size_t level : o.levels) {
        if (level < 1 || level > 3)
            throw Failure("Short-code level " + std::to_string(level) + " is not one of 1, 2 and 3");
        if (seen[level]) throw Failure("Short-code level " + std::to_string(level) + " given twice");
        seen[level] = true;
    }
    typing::CheckOptions(o.typing);
}

ShortCodeProposal ProposeShortCodes(const std::vector<formats::TableEntry>& entries, TextEncoding textEncoding,
                                    const typing::FrequencyList& list, const ShortCodeOptions& options) {
    CheckShortCodeOptions(options);
    ShortCodeProposal proposal;
    const typing::TypingTable old(entries, textEncoding, options.typing);
    std::vector<bool> chosen(4, false);
    for (std::size_t level : options.levels) chosen[level] = true;

    // A word listed twice counts the sum of its lines, as WordCounts reads a
    // list for reorder; only the words that may take a slot are kept.
    std::unordered_map<std::u32string, std::uint64_t> weights;
    for (const auto& [word, count] : list.words)
        if (word.size() == 1 || options.words) weights[word] += count;
    auto weightOf = [&](std::u32string_view word) -> std::optional<std::uint64_t> {
        const auto w = weights.find(std::u32string(word));
        if (w == weights.end()) return std::nullopt;
        return w->second;
    };
    auto eligible = [&](const std::u32string& word) {
        return (word.size() == 1 && typing::IsHan(word[0])) || (options.words && word.size() >= 2);
    };
    std::unordered_set<char32_t> allowed(options.characters.begin(), options.characters.end());

    // Each word's full code: its longest a-z code, the first such entry.
    std::unordered_map<std::u32string_view, std::uint32_t> full;
    std::size_t otherCodes = 0;
    for (std::uint32_t e = 0; e < entries.size(); ++e) {
        const std::u32string& word = old.wordOf(e);
        if (word.empty()) continue;
        if (!IsLetterCode(entries[e].code)) {
            if (otherCodes++ < 20)
                proposal.skipped.push_back(
                    {entries[e].code, entries[e].word, "its code is not all a-z: left as it is"});
            continue;
        }
        auto [it, added] = full.try_emplace(word, e);
        if (!added && entries[e].code.size() > entries[it->second].code.size()) it->second = e;
    }
    if (otherCodes > 20)
        proposal.skipped.push_back(
            {"", "", std::to_string(otherCodes - 20) + " more entries whose code is not all a-z"});
    auto fullCode = [&](const std::u32string& word) -> const std::string* {
        const auto it = full.find(word);
        return it == full.end() ? nullptr : &entries[it->second].code;
    };

    // The codes of the chosen levels, and which of their entries may move.
    std::unordered_map<std::string, CodeSlots> codes;
    std::vector<bool> movable(entries.size(), false);
    for (std::uint32_t e = 0; e < entries.size(); ++e) {
        const std::string& code = entries[e].code;
        if (code.size() > 3 || !chosen[code.size()] || !IsLetterCode(code)) continue;
        CodeSlots& slots = codes[code];
        slots.seen = true;
        ++slots.count;
        const std::u32string& word = old.wordOf(e);
        const std::string* f = eligible(word) ? fullCode(word) : nullptr;
        movable[e] = f && f->size() > code.size() && f->compare(0, code.size(), code) == 0;
        (movable[e] ? slots.moving : slots.fixed).push_back(e);
        if (!movable[e]) slots.fixedAt.push_back(slots.count);
    }
    std::vector<formats::TableEntry> baseEntries;
    baseEntries.reserve(entries.size());
    for (std::uint32_t e = 0; e < entries.size(); ++e)
        if (!movable[e]) baseEntries.push_back(entries[e]);
    const typing::TypingTable base(baseEntries, textEncoding, options.typing);

    // The words that may take a slot, in table order, and their columns.
    std::vector<Column> columns;
    auto columnsOf = [&](const std::string& code) -> CodeSlots& {
        CodeSlots& slots = codes[code];
        if (slots.columnCount || slots.firstColumn) return slots;
        const std::size_t capacity = options.perCode ? *options.perCode : code.size() == 1 ? 1 : slots.count;
        slots.firstColumn = columns.size();
        // The slots: the first positions the fixed entries leave, as many as
        // the capacity has room for beside them.
        const std::size_t room = capacity > slots.fixed.size() ? capacity - slots.fixed.size() : 0;
        std::size_t f = 0;
        for (std::size_t p = 1, n = 0; n < room; ++p) {
            if (f < slots.fixedAt.size() && slots.fixedAt[f] == p) {
                ++f;
                continue;
            }
            ++n;
            const std::uint32_t keys = typing::StrokeOf(code.size(), p, options.typing).keys();
            if (columns.size() > slots.firstColumn && columns.back().keys == keys)
                ++columns.back().count;
            else
                columns.push_back({code, p, 1, keys});
        }
        slots.columnCount = columns.size() - slots.firstColumn;
        if (slots.columnCount == 0) slots.firstColumn = 1;  // looked at: no room
        return slots;
    };
    struct Candidate {
        std::uint32_t entry;  // its full code's entry
        std::uint64_t weight;
        std::uint32_t baseKeys;
    };
    std::vector<Candidate> candidates;
    AssignmentProblem problem;
    std::size_t onlyShort = 0;
    std::vector<std::uint32_t> order;  // full codes' entries in table order
    order.reserve(full.size());
    for (const auto& [word, e] : full) order.push_back(e);
    std::sort(order.begin(), order.end());
    for (std::uint32_t e : order) {
        const std::u32string& word = old.wordOf(e);
        if (!eligible(word)) continue;
        const std::string& code = entries[e].code;
        if (code.size() == 1) {
            if (onlyShort++ < 20)
                proposal.skipped.push_back(
                    {code, entries[e].word, "no full code: its longest code is one key, left as it is"});
            continue;
        }
        if (word.size() == 1 && !allowed.empty() && !allowed.count(word[0])) continue;
        const std::optional<std::uint64_t> w = weightOf(word);
        if (!w || *w == 0) continue;
        const typing::Stroke* b = base.find(word);
        if (!b) continue;
        std::vector<AssignmentOption> row;
        for (std::size_t level : options.levels) {
            if (level >= code.size()) continue;
            CodeSlots& slots = columnsOf(code.substr(0, level));
            for (std::size_t c = 0; c < slots.columnCount; ++c) {
                const Column& column = columns[slots.firstColumn + c];
                if (column.keys >= b->keys()) continue;
                row.push_back({static_cast<std::uint32_t>(slots.firstColumn + c),
                               static_cast<std::int64_t>(*w) * (b->keys() - column.keys)});
            }
        }
        candidates.push_back({e, *w, b->keys()});
        problem.options.push_back(std::move(row));
    }
    if (onlyShort > 20)
        proposal.skipped.push_back(
            {"", "", std::to_string(onlyShort - 20) + " more words whose longest code is one key"});
    for (const Column& c : columns) problem.capacities.push_back(static_cast<std::uint32_t>(c.count));
    proposal.columns = columns.size();
    for (const Column& c : columns) proposal.slotCount += c.count;
    proposal.candidates = candidates.size();

    const Assignment assignment =
        options.method == ShortCodeMethod::Optimal ? AssignOptimal(problem) : AssignGreedy(problem);
    proposal.objective = TotalGain(problem, assignment);

    // Each code's new movable candidates: the assigned by column (the kept
    // first, in their old order, then by weight), then old occupants while
    // there is room.
    std::unordered_map<std::string, std::vector<std::size_t>> assigned;  // candidates by code
    for (std::size_t r = 0; r < assignment.size(); ++r)
        if (assignment[r] >= 0) assigned[columns[static_cast<std::size_t>(assignment[r])].code].push_back(r);
    std::vector<std::string> touched;
    for (const auto& [code, slots] : codes)
        if (!slots.moving.empty() || assigned.count(code)) touched.push_back(code);
    std::sort(touched.begin(), touched.end());
    for (const std::string& code : touched) {
        const CodeSlots& slots = codes[code];
        std::unordered_map<std::u32string_view, std::size_t> oldIndex;  // among the moving
        for (std::size_t i = 0; i < slots.moving.size(); ++i) oldIndex.try_emplace(old.wordOf(slots.moving[i]), i);
        struct Placed {
            std::u32string_view word;
            std::string bytes;
            std::size_t column;
            std::size_t oldAt;  // SIZE_MAX: new here
            std::uint64_t weight;
        };
        std::vector<Placed> placed;
        std::unordered_set<std::u32string_view> in;
        if (const auto a = assigned.find(code); a != assigned.end())
            for (std::size_t r : a->second) {
                const Candidate& c = candidates[r];
                const std::u32string& word = old.wordOf(c.entry);
                const auto at = oldIndex.find(word);
                placed.push_back({word, entries[c.entry].word, static_cast<std::size_t>(assignment[r]),
                                  at == oldIndex.end() ? SIZE_MAX : at->second, c.weight});
                in.insert(word);
            }
        std::sort(placed.begin(), placed.end(), [](const Placed& a, const Placed& b) {
            if (a.column != b.column) return a.column < b.column;
            if (a.oldAt != b.oldAt) return a.oldAt < b.oldAt;
            return a.weight > b.weight;
        });
        const std::size_t capacity = options.perCode ? *options.perCode : code.size() == 1 ? 1 : slots.count;
        for (std::size_t i = 0; i < slots.moving.size(); ++i) {
            const std::u32string& word = old.wordOf(slots.moving[i]);
            if (slots.fixed.size() + placed.size() >= capacity) break;
            if (in.insert(word).second) placed.push_back({word, entries[slots.moving[i]].word, SIZE_MAX, i, 0});
        }
        // The code's entries in the old candidate order, and the new: the
        // fixed at their old positions (or sooner, when fewer stand before
        // them), the placed in the positions between. Positions of equal cost are all one to the
        // typist, so within each run of them the entries stand as the old
        // table had them, a new word where an old one left.
        constexpr std::uint32_t kNew = UINT32_MAX;
        struct Item {
            std::string bytes;
            std::u32string_view word;
            std::uint32_t entry;  // kNew: not at this code before
        };
        std::vector<std::uint32_t> codeEntries(slots.fixed);
        codeEntries.insert(codeEntries.end(), slots.moving.begin(), slots.moving.end());
        std::sort(codeEntries.begin(), codeEntries.end());
        std::vector<Item> next;
        for (std::size_t f = 0, q = 0; f < slots.fixed.size() || q < placed.size();) {
            if (f < slots.fixed.size() && (slots.fixedAt[f] <= next.size() + 1 || q == placed.size())) {
                const std::uint32_t e = slots.fixed[f++];
                next.push_back({entries[e].word, old.wordOf(e), e});
            } else {
                const Placed& p = placed[q++];
                next.push_back({p.bytes, p.word, p.oldAt == SIZE_MAX ? kNew : slots.moving[p.oldAt]});
            }
        }
        std::vector<const Item*> ordered;
        for (std::size_t from = 0; from < next.size();) {
            const std::uint32_t keys = typing::StrokeOf(code.size(), from + 1, options.typing).keys();
            std::size_t to = from + 1;
            while (to < next.size() && typing::StrokeOf(code.size(), to + 1, options.typing).keys() == keys) ++to;
            std::unordered_map<std::uint32_t, const Item*> olds;
            std::vector<const Item*> news;
            for (std::size_t k = from; k < to; ++k) {
                if (next[k].entry == kNew)
                    news.push_back(&next[k]);
                else
                    olds.emplace(next[k].entry, &next[k]);
            }
            std::size_t n = 0;
            for (std::uint32_t e : codeEntries) {
                if (const auto it = olds.find(e); it != olds.end())
                    ordered.push_back(it->second);
                else if (n < news.size())
                    ordered.push_back(news[n++]);
            }
            while (n < news.size()) ordered.push_back(news[n++]);
            from = to;
        }
        // Kept: the old entries standing in their old order (the longest
        // such run found greedily); the others are removed and added.
        std::unordered_map<std::uint32_t, std::size_t> oldAt;
        for (std::size_t i = 0; i < codeEntries.size(); ++i) oldAt.emplace(codeEntries[i], i);
        std::vector<bool> kept(codeEntries.size(), false), fresh(ordered.size(), true);
        std::size_t last = 0;
        bool any = false;
        for (std::size_t i = 0; i < ordered.size(); ++i) {
            if (ordered[i]->entry == kNew) continue;
            const std::size_t at = oldAt.at(ordered[i]->entry);
            if (any && at < last) continue;
            kept[at] = true;
            fresh[i] = false;
            last = at;
            any = true;
        }
        for (std::size_t i = 0; i < codeEntries.size(); ++i) {
            if (kept[i]) continue;
            const std::uint32_t e = codeEntries[i];
            proposal.changes.push_back({ShortCodeChange::Kind::Removed, code, entries[e].word, i + 1,
                                        weightOf(old.wordOf(e)).value_or(0), 0, 0});
        }
        for (std::size_t i = 0; i < ordered.size(); ++i)
            if (fresh[i])
                proposal.changes.push_back({ShortCodeChange::Kind::Added, code, ordered[i]->bytes, i + 1,
                                            weightOf(ordered[i]->word).value_or(0), 0, 0});
    }
    proposal.entries = ApplyShortCodeChanges(entries, proposal.changes);

    // Keys by the old and the new table, and what the short codes save there.
    const typing::TypingTable now(proposal.entries, textEncoding, options.typing);
    for (ShortCodeChange& change : proposal.changes) {
        const std::u32string word = typing::Utf32Of(change.word, textEncoding);
        if (const typing::Stroke* s = old.find(word)) change.oldKeys = s->keys();
        if (const typing::Stroke* s = now.find(word)) change.newKeys = s->keys();
    }
    for (const Candidate& c : candidates) {
        const std::u32string& word = old.wordOf(c.entry);
        auto saved = [&](const typing::TypingTable& table) {
            const typing::Stroke* s = table.find(word);
            return s && s->keys() < c.baseKeys ? static_cast<std::int64_t>(c.weight) * (c.baseKeys - s->keys()) : 0;
        };
        proposal.oldSaving += saved(old);
        proposal.saving += saved(now);
    }
    for (ShortCodeSkip& s : proposal.skipped) {
        s.code = Shown(s.code, textEncoding);
        s.word = Shown(s.word, textEncoding);
    }
    return proposal;
}

std::vector<formats::TableEntry> ApplyShortCodeChanges(const std::vector<formats::TableEntry>& entries,
                                                       const std::vector<ShortCodeChange>& changes) {
    std::vector<std::string> order;
    std::unordered_map<std::string, std::vector<formats::TableEntry>> byCode;
    for (const formats::TableEntry& e : entries) {
        auto [it, added] = byCode.try_emplace(e.code);
        if (added) order.push_back(e.code);
        it->second.push_back(e);
    }
    for (const ShortCodeChange& c : changes) {
        if (c.kind != ShortCodeChange::Kind::Removed) continue;
        const auto it = byCode.find(c.code);
        if (it == byCode.end()) continue;
        auto& list = it->second;
        const auto at =
            std::find_if(list.begin(), list.end(), [&](const formats::TableEntry& e) { return e.word == c.word; });
        if (at != list.end()) list.erase(at);
    }
    std::vector<const ShortCodeChange*> additions;
    for (const ShortCodeChange& c : changes)
        if (c.kind == ShortCodeChange::Kind::Added) additions.push_back(&c);
    std::stable_sort(additions.begin(), additions.end(),
                     [](const ShortCodeChange* a, const ShortCodeChange* b) { return a->position < b->position; });
    for (const ShortCodeChange* c : additions) {
        auto [it, added] = byCode.try_emplace(c->code);
        if (added) order.push_back(c->code);
        auto& list = it->second;
        const std::size_t at = std::min(c->position ? c->position - 1 : 0, list.size());
        list.insert(list.begin() + static_cast<std::ptrdiff_t>(at), formats::TableEntry{c->code, c->word, {}, {}});
    }
    std::vector<formats::TableEntry> out;
    out.reserve(entries.size() + additions.size());
    for (const std::string& code : order)
        for (formats::TableEntry& e : byCode[code]) out.push_back(std::move(e));
    return out;
}

namespace {

using Lists = std::unordered_map<std::string, std::vector<std::string>>;  // code -> words in candidate order

Lists ListsOf(const std::vector<formats::TableEntry>& entries, std::vector<std::string>* order = nullptr) {
    Lists lists;
    for (const formats::TableEntry& e : entries) {
        auto [it, added] = lists.try_emplace(e.code);
        if (added && order) order->push_back(e.code);
        it->second.push_back(e.word);
    }
    return lists;
}

// Weights for new entries standing, in this order, below the candidate
// weighing `above` and above the one weighing `below` (either may be
// missing): whole numbers strictly between, as engines break ties their own
// way (ibus-table by code point); where there are not enough of them, the
// weight above (ties stand in file order as the reader reads them).
void WeighBetween(std::vector<formats::TableEntry>& entries, const std::optional<std::string>& above,
                  const std::optional<std::string>& below) {
    const double k = static_cast<double>(entries.size());
    double hi = above ? std::ceil(WeightValue(above)) - 1 : std::floor(WeightValue(below)) + k;
    const double lo = below ? std::floor(WeightValue(below)) + 1 : 0;
    const bool room = hi - lo + 1 >= k && hi < 9e15;
    const double step = room ? std::floor((hi - lo + 1) / k) : 0;
    for (std::size_t i = 0; i < entries.size(); ++i)
        entries[i].weight = room ? WholeNumber(hi - static_cast<double>(i) * step) : above.value_or("0");
}

bool OrderedByWeight(const formats::TableDocument& doc) {
    if (!doc.layout.byWeight) return false;
    return doc.format == formats::Format::Ibus || (doc.format == formats::Format::Rime && doc.layout.weightColumn >= 0);
}

}  // namespace

std::string WriteWithCandidates(const formats::TableDocument& doc, const std::vector<formats::TableEntry>& entries) {
    if (doc.format == formats::Format::MsPhrase) {
        // A binary Windows phrase file: written whole afresh, by code, each
        // code's candidates numbered in their order.
        formats::WriteOptions w;
        w.format = formats::Format::MsPhrase;
        w.textEncoding = doc.textEncoding();
        return formats::WriteEntries(entries, w);
    }
    using Kind = formats::TableLine::Kind;
    std::vector<std::string> wantOrder;
    const Lists want = ListsOf(entries, &wantOrder);
    const Lists have = ListsOf(doc.entries);
    std::unordered_set<std::string> changed;
    for (const auto& [code, words] : want) {
        const auto it = have.find(code);
        if (it == have.end() || it->second != words) changed.insert(code);
    }
    for (const auto& [code, words] : have)
        if (!want.count(code)) changed.insert(code);
    std::unordered_map<std::string, std::vector<const formats::TableEntry*>> wanted;
    for (const formats::TableEntry& e : entries)
        if (changed.count(e.code)) wanted[e.code].push_back(&e);

    // Each changed code's lines, and whether a line of it holds several pairs.
    std::unordered_map<std::string, std::vector<std::size_t>> linesOf;
    std::unordered_set<std::string> whole;
    bool ascending = true, groupLines = false;
    const std::string* previous = nullptr;
    std::size_t lastEntryLine = doc.lines.size();
    for (std::size_t i = 0; i < doc.lines.size(); ++i) {
        const formats::TableLine& l = doc.lines[i];
        if (l.kind != Kind::Entry || l.entryCount == 0) continue;
        const std::string& code = doc.entries[l.firstEntry].code;
        groupLines = groupLines || l.entryCount > 1;
        if (previous && code < *previous) ascending = false;
        previous = &code;
        lastEntryLine = i;
        if (!changed.count(code)) continue;
        linesOf[code].push_back(i);
        if (l.entryCount > 1 || doc.format == formats::Format::Yong) whole.insert(code);
    }

    const bool byWeight = OrderedByWeight(doc);
    std::vector<std::vector<formats::TableEntry>> before(doc.lines.size() + 1), after(doc.lines.size() + 1);
    std::vector<bool> dropped(doc.lines.size(), false);
    std::vector<std::optional<std::vector<formats::TableEntry>>> rewritten(doc.lines.size());
    std::vector<std::string> newCodes;
    for (const std::string& code : changed) {
        const auto lines = linesOf.find(code);
        const auto w = wanted.find(code);
        std::vector<formats::TableEntry> list;
        if (w != wanted.end())
            for (const formats::TableEntry* e : w->second) list.push_back(*e);
        if (lines == linesOf.end()) {
            if (!list.empty()) newCodes.push_back(code);
            continue;
        }
        const std::vector<std::size_t>& at = lines->second;
        if (whole.count(code)) {
            for (std::size_t i : at) dropped[i] = true;
            if (!list.empty()) {
                dropped[at.front()] = false;
                rewritten[at.front()] = std::move(list);
            }
            continue;
        }
        // A pair a line: the lines of words kept in their order stay, the rest go.
        std::vector<std::pair<std::string_view, std::size_t>> old;  // word, line
        old.reserve(at.size());
        for (std::size_t i : at) old.emplace_back(doc.entries[doc.lines[i].firstEntry].word, i);
        if (byWeight)  // candidate order, as the reader gives it
            std::stable_sort(old.begin(), old.end(), [&](const auto& a, const auto& b) {
                return doc.lines[a.second].firstEntry < doc.lines[b.second].firstEntry;
            });
        std::vector<bool> used(old.size(), false);
        std::size_t next = 0;
        // Runs of new entries, each between the kept entries around it (if any).
        struct Gap {
            std::optional<std::size_t> afterLine, beforeLine;
            std::vector<formats::TableEntry> entries;
        };
        std::vector<Gap> gaps(1);
        for (formats::TableEntry& e : list) {
            std::size_t k = next;
            while (k < old.size() && old[k].first != e.word) ++k;
            if (k == old.size()) {
                gaps.back().entries.push_back(std::move(e));
                continue;
            }
            used[k] = true;
            next = k + 1;
            gaps.back().beforeLine = old[k].second;
            gaps.push_back({old[k].second, std::nullopt, {}});
        }
        for (std::size_t k = 0; k < old.size(); ++k)
            if (!used[k]) dropped[old[k].second] = true;
        auto weightAt = [&](std::optional<std::size_t> line) -> std::optional<std::string> {
            if (!line) return std::nullopt;
            return doc.entries[doc.lines[*line].firstEntry].weight.value_or("0");
        };
        for (Gap& g : gaps) {
            if (g.entries.empty()) continue;
            if (byWeight) {
                // Nothing kept: below where the code's first candidate stood.
                std::optional<std::string> above = weightAt(g.afterLine), below = weightAt(g.beforeLine);
                if (!above && !below) {
                    const auto first = doc.entries[doc.lines[old.front().second].firstEntry].weight;
                    above = WholeNumber(std::max(WeightValue(first), static_cast<double>(g.entries.size())) + 1);
                }
                WeighBetween(g.entries, above, below);
            }
            auto& into = g.afterLine ? after[*g.afterLine] : g.beforeLine ? before[*g.beforeLine] : before[at.front()];
            for (formats::TableEntry& e : g.entries) into.push_back(std::move(e));
        }
    }
    std::sort(newCodes.begin(), newCodes.end());
    std::vector<std::pair<std::string_view, std::size_t>> entryLines;  // code and line, in line order
    if (ascending)
        for (std::size_t i = 0; i < doc.lines.size(); ++i) {
            const formats::TableLine& l = doc.lines[i];
            if (l.kind == Kind::Entry && l.entryCount) entryLines.emplace_back(doc.entries[l.firstEntry].code, i);
        }
    for (const std::string& code : newCodes) {
        std::size_t line = lastEntryLine;
        bool isBefore = false;
        const auto greater = std::upper_bound(entryLines.begin(), entryLines.end(), std::string_view(code),
                                              [](std::string_view c, const auto& e) { return c < e.first; });
        if (greater != entryLines.end()) {
            line = greater->second;
            isBefore = true;
        }
        auto& into = line == doc.lines.size() ? after.back() : isBefore ? before[line] : after[line];
        std::vector<formats::TableEntry> list;
        for (const formats::TableEntry* e : wanted[code]) list.push_back(*e);
        if (byWeight) WeighBetween(list, WholeNumber(static_cast<double>(list.size()) + 1), std::nullopt);
        for (formats::TableEntry& e : list) into.push_back(std::move(e));
    }

    std::string_view defaultBreak = "\n";
    for (const formats::TableLine& l : doc.lines)
        if (l.breakLength) {
            defaultBreak = std::string_view(doc.text).substr(l.offset + l.length, l.breakLength);
            break;
        }
    const bool shareLines = doc.format == formats::Format::Yong || (doc.format == formats::Format::Plain && groupLines);
    auto canonical = [&](const std::vector<formats::TableEntry>& es, std::size_t from, std::size_t count) {
        try {
            return formats::CanonicalLine(doc.format, doc.layout, es.data() + from, count);
        } catch (const Failure& f) {
            throw Failure(std::string("Cannot write the short codes: ") + f.what());
        }
    };
    TableWriter w(defaultBreak);
    w.reserve(doc.text.size() + 64 * entries.size() / 100);
    auto insert = [&](const std::vector<formats::TableEntry>& es) {
        // Runs of one code share a line where the format's lines hold a code each.
        for (std::size_t i = 0; i < es.size();) {
            std::size_t j = i + 1;
            if (shareLines)
                while (j < es.size() && es[j].code == es[i].code) ++j;
            w.insert(canonical(es, i, j - i));
            i = j;
        }
    };
    for (std::size_t i = 0; i < doc.lines.size(); ++i) {
        const formats::TableLine& l = doc.lines[i];
        insert(before[i]);
        if (!dropped[i]) {
            const std::string_view lineBreak = std::string_view(doc.text).substr(l.offset + l.length, l.breakLength);
            if (rewritten[i])
                w.line(canonical(*rewritten[i], 0, rewritten[i]->size()), lineBreak);
            else
                w.line(doc.lineText(i), lineBreak);
        }
        insert(after[i]);
    }
    insert(after.back());
    std::string bytes = formats::EncodeText(w.take(), doc.encoding, doc.hadBom, doc.textEncoding());

    // The table read back must give every code the candidates asked for.
    const formats::TableDocument back = formats::ReadTable(bytes, doc.encoding, doc.format);
    const Lists got = ListsOf(back.entries);
    for (const std::string& code : wantOrder)
        if (const auto g = got.find(code); g == got.end() || g->second != want.at(code))
            throw Failure("Cannot write the short codes: the table read back would not give \"" +
                          Shown(code, doc.textEncoding()) + "\" the candidates proposed");
    if (got.size() != want.size())
        throw Failure("Cannot write the short codes: the table read back would hold other codes than proposed");
    return bytes;
}

}  // namespace zelmora::tune
