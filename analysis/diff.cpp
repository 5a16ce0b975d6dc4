#include "analysis/diff.h"

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
    for (std::size_t i = 0; d.identical && i < a.size(); ++i)
        d.identical = a[i].code == b[i].code && a[i].word == b[i].word;
    if (d.identical) return d;

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
    std::vector<std::uint32_t> partnerOfOld(a.size(), kNone);
    std::vector<bool> matchedNew(b.size(), false);
    for (std::uint32_t j = 0; j < b.size(); ++j) {
        const std::uint32_t p = pairs.find(b[j].code, b[j].word);
        if (p == kNone || head[p] == kNone) continue;
        partnerOfOld[head[p]] = j;
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
            d.moved.push_back({b[j].word, a[i].code, b[j].code});
        } else {
            d.added.push_back({b[j].code, b[j].word});
        }
    }
    for (std::uint32_t i = 0; i < a.size(); ++i)
        if (partnerOfOld[i] == kNone && !moved[i]) d.removed.push_back({a[i].code, a[i].word});

    // A code is reordered when the candidates both tables hold don't keep
    // their order: walking the old entries of a code, their partners in the
    // new table must come later and later.
    StringIndex codes(a.size() / 2);
    std::vector<std::uint32_t> lastPartner;
    std::vector<bool> reordered;
    std::vector<std::uint32_t> order;  // reordered codes, by first old entry
    for (std::uint32_t i = 0; i < a.size(); ++i) {
        const std::uint32_t c = codes.intern(a[i].code);
        if (c == lastPartner.size()) {
            lastPartner.push_back(kNone);
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
            d.reordered.push_back({std::string(codes.key(c)), {}, {}});
        }
        // Keys of `codes` view into the old entries: look the new codes up by value.
        for (const auto& e : a)
            if (std::uint32_t s = slot[codes.find(e.code)]; s != kNone) d.reordered[s].oldWords.push_back(e.word);
        for (const auto& e : b) {
            const std::uint32_t c = codes.find(e.code);
            if (c != kNone && slot[c] != kNone) d.reordered[slot[c]].newWords.push_back(e.word);
        }
    }
    return d;
}

std::string DiffSummary(const TableDiff& d) {
    std::string s = "old " + std::to_string(d.oldEntries) + " entries, new " + std::to_string(d.newEntries) + ": " +
                    std::to_string(d.added.size()) + " added, " + std::to_string(d.removed.size()) + " removed, " +
                    std::to_string(d.moved.size()) + " moved, " + std::to_string(d.reordered.size()) + " reordered";
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
    return ReportText(t);
}

}  // namespace zelmora::analysis
