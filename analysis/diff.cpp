#include "analysis/diff.h"

#include <algorithm>

#include "analysis/string_index.h"
#include "core/failure.h"

namespace zelmora::analysis {

namespace {

constexpr std::uint32_t kNone = StringIndex::kNone;

// GB18030 report text as UTF-8: at once, or line by line when some bytes are
// no character (then those are replaced).
std::string ReportText(const std::string& gb18030) {
    try {
        return formats::EncodeText(gb18030, formats::Encoding::Utf8, false, TextEncoding::Gb18030);
    } catch (const Failure&) {
        return formats::MessageText(gb18030);
    }
}

// Weights differ only where both entries hold one: a format without weights
// (plain, libime, yong) changes none.
bool WeightChanged(const formats::TableEntry& a, const formats::TableEntry& b) {
    return a.weight && b.weight && *a.weight != *b.weight;
}

void AppendWords(std::string& out, const std::vector<std::string>& words) {
    for (std::size_t i = 0; i < words.size(); ++i) {
        if (i) out += ' ';
        out += words[i];
    }
}

}  // namespace

TableDiff CompareTables(const std::vector<formats::TableEntry>& a, const std::vector<formats::TableEntry>& b) {
    TableDiff d;
    d.oldEntries = a.size();
    d.newEntries = b.size();
    d.identical = a.size() == b.size();
    bool samePairs = d.identical;
    for (std::size_t i = 0; samePairs && i < a.size(); ++i)
        samePairs = a[i].code == b[i].code && a[i].word == b[i].word;
    if (samePairs) {
        for (std::size_t i = 0; i < a.size(); ++i)
            if (WeightChanged(a[i], b[i]))
                d.reweighted.push_back({a[i].code, a[i].word, *a[i].weight, *b[i].weight, i, i});
        d.identical = d.reweighted.empty();
        return d;
    }
    d.identical = false;

    // The old pairs; a pair met again chains to its earlier entries.
    StringIndex pairs(a.size());
    std::vector<std::uint32_t> head, tail, next(a.size(), kNone);
    for (std::uint32_t i = 0; i < a.size(); ++i) {
        const std::uint32_t p = pairs.intern(a[i].code, a[i].word);
        if (p == head.size()) {
            head.push_back(i);
            tail.push_back(i);
        } else {
            next[tail[p]] = i;
            tail[p] = i;
        }
    }
    // Each new entry takes the earliest old entry of its pair not yet taken.
    std::vector<std::uint32_t> partnerOfOld(a.size(), kNone), partnerOfNew(b.size(), kNone);
    std::vector<bool> matchedNew(b.size(), false);
    for (std::uint32_t j = 0; j < b.size(); ++j) {
        const std::uint32_t p = pairs.find(b[j].code, b[j].word);
        if (p == kNone || head[p] == kNone) continue;
        partnerOfOld[head[p]] = j;
        partnerOfNew[j] = head[p];
        head[p] = next[head[p]];
        matchedNew[j] = true;
    }

    // Words that left a code, queued by word, for the codes they came to.
    StringIndex leftWords;
    std::vector<std::uint32_t> leftHead, leftTail;
    std::vector<std::uint32_t> leftNext(a.size(), kNone);
    std::vector<bool> moved(a.size(), false);
    for (std::uint32_t i = 0; i < a.size(); ++i) {
        if (partnerOfOld[i] != kNone) continue;
        const std::uint32_t w = leftWords.intern(a[i].word);
        if (w == leftHead.size()) {
            leftHead.push_back(i);
            leftTail.push_back(i);
        } else {
            leftNext[leftTail[w]] = i;
            leftTail[w] = i;
        }
    }
    for (std::uint32_t j = 0; j < b.size(); ++j) {
        if (matchedNew[j]) continue;
        const std::uint32_t w = leftWords.find(b[j].word);
        if (w != kNone && leftHead[w] != kNone) {
            const std::uint32_t i = leftHead[w];
            leftHead[w] = leftNext[i];
            moved[i] = true;
            d.moved.push_back({b[j].word, a[i].code, b[j].code, i, j});
        } else {
            d.added.push_back({b[j].code, b[j].word, j});
        }
    }
    for (std::uint32_t i = 0; i < a.size(); ++i)
        if (partnerOfOld[i] == kNone && !moved[i]) d.removed.push_back({a[i].code, a[i].word, i});

    // A code is reordered when the candidates both tables hold don't keep
    // their order: walking the old entries of a code, their partners in the
    // new table must come later and later.
    StringIndex codes(a.size() / 2);
    std::vector<std::uint32_t> lastPartner, firstOld;
    std::vector<bool> reordered;
    std::vector<std::uint32_t> order;  // reordered codes, by first old entry
    for (std::uint32_t i = 0; i < a.size(); ++i) {
        const std::uint32_t c = codes.intern(a[i].code);
        if (c == lastPartner.size()) {
            lastPartner.push_back(kNone);
            firstOld.push_back(i);
            reordered.push_back(false);
        }
        const std::uint32_t j = partnerOfOld[i];
        if (j == kNone) continue;
        if (lastPartner[c] != kNone && lastPartner[c] > j && !reordered[c]) {
            reordered[c] = true;
            order.push_back(c);
        }
        lastPartner[c] = j;
    }
    if (!order.empty()) {
        std::vector<std::uint32_t> slot(codes.size(), kNone);
        for (std::uint32_t c : order) {
            slot[c] = static_cast<std::uint32_t>(d.reordered.size());
            d.reordered.push_back({std::string(codes.key(c)), {}, {}, firstOld[c]});
        }
        // Keys of `codes` view into the old entries: look the new codes up by value.
        for (const auto& e : a)
            if (std::uint32_t s = slot[codes.find(e.code)]; s != kNone) d.reordered[s].oldWords.push_back(e.word);
        for (const auto& e : b) {
            const std::uint32_t c = codes.find(e.code);
            if (c != kNone && slot[c] != kNone) d.reordered[slot[c]].newWords.push_back(e.word);
        }
    }

    // A weight change is an entry's own only where the entry kept its place
    // among its code's common candidates; one that moved is in a reordering.
    // In a code not reordered every common candidate keeps its place.
    std::vector<std::uint32_t> rankOld, rankNew;
    if (!order.empty()) {
        rankOld.assign(a.size(), 0);
        rankNew.assign(b.size(), 0);
        std::vector<std::uint32_t> seen(codes.size(), 0);
        for (std::uint32_t i = 0; i < a.size(); ++i)
            if (const std::uint32_t c = codes.find(a[i].code); reordered[c] && partnerOfOld[i] != kNone)
                rankOld[i] = seen[c]++;
        std::fill(seen.begin(), seen.end(), 0);
        for (std::uint32_t j = 0; j < b.size(); ++j)
            if (partnerOfNew[j] != kNone)
                if (const std::uint32_t c = codes.find(b[j].code); reordered[c]) rankNew[j] = seen[c]++;
    }
    for (std::uint32_t j = 0; j < b.size(); ++j) {
        const std::uint32_t i = partnerOfNew[j];
        if (i == kNone || !WeightChanged(a[i], b[j])) continue;
        if (!order.empty() && rankOld[i] != rankNew[j]) continue;
        d.reweighted.push_back({b[j].code, b[j].word, *a[i].weight, *b[j].weight, i, j});
    }
    return d;
}

std::string DiffSummary(const TableDiff& d) {
    std::string s = "old " + std::to_string(d.oldEntries) + " entries, new " + std::to_string(d.newEntries) + ": " +
                    std::to_string(d.added.size()) + " added, " + std::to_string(d.removed.size()) + " removed, " +
                    std::to_string(d.moved.size()) + " moved, " + std::to_string(d.reordered.size()) + " reordered";
    // Named only when some weight changed: summaries of tables without
    // weight changes read as they always have.
    if (!d.reweighted.empty()) s += ", " + std::to_string(d.reweighted.size()) + " reweighted";
    if (d.identical)
        s += "; identical";
    else if (d.sameEntries())
        s += "; the same entries in another order";
    return s;
}

std::string FormatDiffText(const TableDiff& d) {
    std::string t;  // GB18030 until the end
    if (!d.added.empty()) {
        t += "added (" + std::to_string(d.added.size()) + "):\n";
        for (const auto& p : d.added) t += "+ " + p.code + " " + p.word + "\n";
    }
    if (!d.removed.empty()) {
        t += "removed (" + std::to_string(d.removed.size()) + "):\n";
        for (const auto& p : d.removed) t += "- " + p.code + " " + p.word + "\n";
    }
    if (!d.moved.empty()) {
        t += "moved (" + std::to_string(d.moved.size()) + "):\n";
        for (const auto& m : d.moved) t += "> " + m.word + " " + m.oldCode + " -> " + m.newCode + "\n";
    }
    if (!d.reordered.empty()) {
        t += "reordered (" + std::to_string(d.reordered.size()) + "):\n";
        for (const auto& r : d.reordered) {
            t += "~ " + r.code + ": ";
            AppendWords(t, r.oldWords);
            t += " -> ";
            AppendWords(t, r.newWords);
            t += "\n";
        }
    }
    if (!d.reweighted.empty()) {
        t += "reweighted (" + std::to_string(d.reweighted.size()) + "):\n";
        for (const auto& w : d.reweighted)
            t += "~w " + w.code + " " + w.word + " " + w.oldWeight + " -> " + w.newWeight + "\n";
    }
    t += DiffSummary(d) + "\n";
    return ReportText(t);
}

std::string FormatDiffTsv(const TableDiff& d) {
    std::string t;
    for (const auto& p : d.added) t += "added\t" + p.code + "\t" + p.word + "\n";
    for (const auto& p : d.removed) t += "removed\t" + p.code + "\t" + p.word + "\n";
    for (const auto& m : d.moved) t += "moved\t" + m.word + "\t" + m.oldCode + "\t" + m.newCode + "\n";
    for (const auto& r : d.reordered) {
        t += "reordered\t" + r.code + "\t";
        AppendWords(t, r.oldWords);
        t += "\t";
        AppendWords(t, r.newWords);
        t += "\n";
    }
    for (const auto& w : d.reweighted)
        t += "weight\t" + w.code + "\t" + w.word + "\t" + w.oldWeight + "\t" + w.newWeight + "\n";
    return ReportText(t);
}

}  // namespace zelmora::analysis
