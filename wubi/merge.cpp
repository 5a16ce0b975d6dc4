#include "wubi/merge.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <iterator>
#include <unordered_map>
#include <unordered_set>

#include "core/failure.h"
#include "core/text.h"
#include "formats/writing.h"

namespace zelmora {

using formats::Format;
using formats::TableDocument;
using formats::TableEntry;

namespace {

std::string PairKey(std::string_view code, std::string_view word) {
    std::string k;
    k.reserve(code.size() + 1 + word.size());
    k.append(code);
    k.push_back('\0');
    k.append(word);
    return k;
}

}  // namespace

const std::vector<std::size_t>& MergePlan::joining(std::size_t line) const {
    static const std::vector<std::size_t> none;
    auto it = after.find(line);
    return it == after.end() ? none : it->second;
}

MergePlan PlanMerge(MergeSource& table, const std::vector<EncodedEntry>& entries) {
    MergePlan plan;
    const std::size_t lineCount = table.lineCount();

    // Only what the entries can meet is kept: the last line of each of their
    // codes and which of their pairs the table has. A table of millions of
    // lines costs one look at each line's code, and the words of the lines
    // that carry an entry's code.
    std::unordered_map<std::string, std::size_t> lastLine;  // entry code → last line, or lineCount
    std::unordered_set<std::string> wanted, pairs;          // entry pairs; those already present
    for (const EncodedEntry& e : entries) {
        if (e.code.empty() || e.word.empty()) continue;
        lastLine.try_emplace(e.code, lineCount);
        wanted.insert(PairKey(e.code, e.word));
    }
    std::size_t lastCodeLine = lineCount;
    bool inOrder = true;
    std::string previous, words;
    std::vector<std::string> lineWords;
    for (std::size_t i = 0; i < lineCount; ++i) {
        std::string_view code = table.code(i);
        if (code.empty()) continue;
        if (lastCodeLine != lineCount && code < std::string_view(previous)) inOrder = false;
        previous.assign(code);
        lastCodeLine = i;
        auto it = lastLine.find(previous);
        if (it == lastLine.end()) continue;
        it->second = i;
        table.words(i, lineWords);
        for (const auto& w : lineWords) {
            std::string key = PairKey(previous, w);
            if (wanted.count(key)) pairs.insert(std::move(key));
        }
    }
    const std::size_t end = lastCodeLine == lineCount ? lineCount : lastCodeLine + 1;

    std::unordered_map<std::string_view, std::size_t> fresh;  // code → index in newCodes
    for (std::size_t k = 0; k < entries.size(); ++k) {
        const EncodedEntry& e = entries[k];
        if (e.code.empty() || e.word.empty()) continue;
        if (!pairs.insert(PairKey(e.code, e.word)).second) continue;
        ++plan.added;
        if (auto it = lastLine.find(e.code); it->second != lineCount) {
            plan.after[it->second].push_back(k);
            continue;
        }
        auto [it, isNew] = fresh.try_emplace(e.code, plan.newCodes.size());
        if (isNew) plan.newCodes.push_back({end, {}});
        plan.newCodes[it->second].entries.push_back(k);
    }
    std::sort(plan.newCodes.begin(), plan.newCodes.end(),
              [&](const MergePlan::NewCode& a, const MergePlan::NewCode& b) {
                  return entries[a.entries.front()].code < entries[b.entries.front()].code;
              });
    if (inOrder && !plan.newCodes.empty()) {
        // Each new code before the first line whose code is greater.
        std::size_t i = 0;
        std::string_view lineCode = i < end ? table.code(i) : std::string_view();
        for (auto& nc : plan.newCodes) {
            const std::string& code = entries[nc.entries.front()].code;
            while (i < end && (lineCode.empty() || !(code < lineCode))) {
                ++i;
                lineCode = i < end ? table.code(i) : std::string_view();
            }
            nc.beforeLine = i;
        }
    }
    return plan;
}

namespace {

// Lines given whole, as the tests and small callers have them.
class MergeLines final : public MergeSource {
public:
    explicit MergeLines(const std::vector<MergeLine>& lines) : lines_(lines) {}
    std::size_t lineCount() const override { return lines_.size(); }
    std::string_view code(std::size_t line) override { return lines_[line].code; }
    void words(std::size_t line, std::vector<std::string>& out) override { out = lines_[line].words; }

private:
    const std::vector<MergeLine>& lines_;
};

}  // namespace

MergePlan PlanMerge(const std::vector<MergeLine>& lines, const std::vector<EncodedEntry>& entries) {
    MergeLines source(lines);
    return PlanMerge(source, entries);
}

namespace {

// A table's lines with their own line breaks (CR LF, CR, LF or none).
struct RawLine {
    std::string_view text, lineBreak;
};

std::vector<RawLine> CutRawLines(std::string_view text) {
    std::vector<RawLine> lines;
    std::size_t pos = 0;
    while (pos < text.size()) {
        std::size_t end = pos;
        while (end < text.size() && text[end] != '\r' && text[end] != '\n') ++end;
        std::size_t next = end;
        if (next < text.size() && text[next] == '\r') ++next;
        if (next < text.size() && text[next] == '\n') ++next;
        lines.push_back({text.substr(pos, end - pos), text.substr(end, next - end)});
        pos = next;
    }
    return lines;
}

}  // namespace

void TableWriter::line(std::string_view text, std::string_view lineBreak) {
    if (owed_) out_.append(defaultBreak_);
    out_.append(text);
    out_.append(lineBreak);
    owed_ = lineBreak.empty();
}

void TableWriter::insert(std::string_view text) {
    if (owed_) {
        // After a last line without a break: the text still ends without one.
        out_.append(defaultBreak_);
        out_.append(text);
    } else {
        out_.append(text);
        out_.append(defaultBreak_);
    }
}

namespace {

// A table of group lines as a merge reads it: token 0 is the code, the others
// the words, cut from the line when asked.
class GroupLines final : public MergeSource {
public:
    explicit GroupLines(const std::vector<RawLine>& raw) : raw_(raw) {}
    std::size_t lineCount() const override { return raw_.size(); }
    std::string_view code(std::size_t line) override {
        if (!FirstToken(raw_[line].text, code_)) code_.clear();
        return code_;
    }
    void words(std::size_t line, std::vector<std::string>& out) override {
        out.clear();
        LineList tokens = SplitTokens(raw_[line].text);
        auto& t = tokens.lines();
        if (t.size() > 1) out.assign(std::make_move_iterator(t.begin() + 1), std::make_move_iterator(t.end()));
    }

private:
    const std::vector<RawLine>& raw_;
    std::string code_;
};

// Whether `joined` reads as the tokens of `line` followed by the words of
// `added`, one token each.
bool ReadsAsAppended(std::string_view line, std::string_view joined, const std::vector<std::size_t>& added,
                     const std::vector<EncodedEntry>& entries) {
    const LineList before = SplitTokens(line), after = SplitTokens(joined);
    if (after.count() != before.count() + added.size()) return false;
    for (std::size_t t = 0; t < before.count(); ++t)
        if (after.lines()[t] != before.lines()[t]) return false;
    for (std::size_t j = 0; j < added.size(); ++j)
        if (after.lines()[before.count() + j] != entries[added[j]].word) return false;
    return true;
}

}  // namespace

std::string MergeIntoGroupLines(std::string_view tableText, const std::vector<EncodedEntry>& entries,
                                std::size_t* added) {
    RefuseNulBytes(tableText, "table");
    std::vector<RawLine> raw = CutRawLines(tableText);
    GroupLines source(raw);
    MergePlan plan = PlanMerge(source, entries);
    if (added) *added = plan.added;

    std::string_view defaultBreak = "\r\n";
    for (const auto& r : raw)
        if (!r.lineBreak.empty()) {
            defaultBreak = r.lineBreak;
            break;
        }
    TableWriter w(defaultBreak);
    w.reserve(tableText.size() + 64 * plan.added);
    auto groupLine = [&](const std::vector<std::size_t>& ks) {
        std::string l = QuotedToken(entries[ks.front()].code);
        for (std::size_t k : ks) l += ' ' + QuotedToken(entries[k].word);
        return l;
    };
    std::size_t nc = 0;
    for (std::size_t i = 0; i <= raw.size(); ++i) {
        while (nc < plan.newCodes.size() && plan.newCodes[nc].beforeLine == i)
            w.insert(groupLine(plan.newCodes[nc++].entries));
        if (i == raw.size()) break;
        const std::vector<std::size_t>& joining = plan.joining(i);
        if (joining.empty()) {
            w.line(raw[i].text, raw[i].lineBreak);
        } else {
            std::string l = TrimRightText(raw[i].text);
            for (std::size_t k : joining) l += ' ' + QuotedToken(entries[k].word);
            if (ReadsAsAppended(raw[i].text, l, joining, entries)) {
                w.line(l, raw[i].lineBreak);
            } else {
                // Nothing can follow this line's last token without changing
                // it (an unclosed quote, a lead byte at the very end): the line
                // stays as it is and the words follow on a line of their code.
                w.line(raw[i].text, raw[i].lineBreak);
                w.insert(groupLine(joining));
            }
        }
    }
    return w.take();
}

TableEntry AsTableEntry(const EncodedEntry& e) { return TableEntry{e.code, e.word, e.weight, std::nullopt}; }

namespace {

// The table's lines as a merge sees them, for a document read by the formats library.
class DocumentLines final : public MergeSource {
public:
    explicit DocumentLines(const TableDocument& doc) : doc_(doc) {}
    std::size_t lineCount() const override { return doc_.lines.size(); }
    std::string_view code(std::size_t i) override {
        const auto& l = doc_.lines[i];
        if (l.kind != formats::TableLine::Kind::Entry || l.entryCount == 0) return {};
        return doc_.entries[l.firstEntry].code;
    }
    void words(std::size_t i, std::vector<std::string>& out) override {
        out.clear();
        const auto& l = doc_.lines[i];
        if (l.kind != formats::TableLine::Kind::Entry) return;
        for (std::size_t k = 0; k < l.entryCount; ++k) out.push_back(doc_.entries[l.firstEntry + k].word);
    }

private:
    const TableDocument& doc_;
};

// A weight as the reader orders candidates by it (formats' ReadTable): none reads as 0.
double WeightValue(const std::optional<std::string>& weight) {
    return weight ? std::strtod(weight->c_str(), nullptr) : 0.0;
}

// The greatest whole number below `limit` that is not below 0, if any.
std::optional<std::string> WholeNumberBelow(double limit) {
    if (!(limit > 0)) return std::nullopt;
    const double below = std::ceil(limit) - 1;
    if (!(below < limit) || below < 0) return std::nullopt;  // too large to step down by one
    char text[400];
    std::snprintf(text, sizeof text, "%.0f", below);
    return std::string(text);
}

// Whether the table's candidates stand by weights that new lines can carry.
bool OrderedByWeight(const TableDocument& doc) {
    if (!doc.layout.byWeight) return false;
    return doc.format == Format::Ibus || (doc.format == Format::Rime && doc.layout.weightColumn >= 0);
}

// Lowers the weights of new words that would stand ahead of their code's
// existing candidates (see MergeIntoTable); `weights` holds the entries'
// weights and receives the lowered ones.
std::vector<LoweredWeight> KeepNewWordsBehind(const TableDocument& doc, const MergePlan& plan,
                                              const std::vector<EncodedEntry>& entries,
                                              std::vector<std::optional<std::string>>& weights) {
    struct Lowest {
        double value = 0;
        std::string text;  // as written; "0" for no weight
        bool seen = false;
    };
    std::unordered_map<std::string_view, Lowest> lowest;  // the joined codes
    for (const auto& [line, ks] : plan.after) lowest.try_emplace(entries[ks.front()].code);
    for (const TableEntry& e : doc.entries) {
        auto it = lowest.find(e.code);
        if (it == lowest.end()) continue;
        const double v = WeightValue(e.weight);
        if (!it->second.seen || v < it->second.value) it->second = {v, e.weight.value_or("0"), true};
    }
    std::vector<std::pair<std::size_t, LoweredWeight>> lowered;  // by entry
    for (const auto& [line, ks] : plan.after) {
        std::vector<std::size_t> byWeight = ks;
        std::stable_sort(byWeight.begin(), byWeight.end(), [&](std::size_t a, std::size_t b) {
            return WeightValue(entries[a].weight) > WeightValue(entries[b].weight);
        });
        Lowest limit = lowest[entries[ks.front()].code];
        for (std::size_t k : byWeight) {
            const double v = WeightValue(weights[k]);
            if (v < limit.value) {
                limit = {v, weights[k].value_or("0"), true};
                continue;
            }
            std::optional<std::string> below = WholeNumberBelow(limit.value);
            if (!below && v == limit.value) continue;  // a tie already, and none lower to be had
            std::string to = below ? *below : limit.text;
            lowered.push_back({k, {entries[k].code, entries[k].word, weights[k], to}});
            weights[k] = to;
            limit = {WeightValue(weights[k]), std::move(to), true};
        }
    }
    std::sort(lowered.begin(), lowered.end(), [](const auto& a, const auto& b) { return a.first < b.first; });
    std::vector<LoweredWeight> inOrder;
    inOrder.reserve(lowered.size());
    for (auto& [k, l] : lowered) inOrder.push_back(std::move(l));
    return inOrder;
}

// Merging into a table of a format with one pair per line (or, for yong, one
// code per line): unchanged lines stay byte for byte, new pairs are written in
// the table's own layout.
std::string MergeIntoDocument(const TableDocument& doc, const std::vector<EncodedEntry>& entries, MergeOrder order,
                              std::size_t& added, std::vector<LoweredWeight>& lowered) {
    DocumentLines source(doc);
    MergePlan plan = PlanMerge(source, entries);
    added = plan.added;
    std::vector<std::optional<std::string>> weights;
    weights.reserve(entries.size());
    for (const EncodedEntry& e : entries) weights.push_back(e.weight);
    if (order == MergeOrder::AfterExisting && OrderedByWeight(doc))
        lowered = KeepNewWordsBehind(doc, plan, entries, weights);
    auto tableEntry = [&](std::size_t k) { return TableEntry{entries[k].code, entries[k].word, weights[k], {}}; };
    const bool wordsShareALine = doc.format == Format::Yong;
    std::string_view defaultBreak = "\n";
    for (const auto& l : doc.lines)
        if (l.breakLength) {
            defaultBreak = std::string_view(doc.text).substr(l.offset + l.length, l.breakLength);
            break;
        }
    auto canonical = [&](const std::vector<TableEntry>& es) {
        try {
            return formats::CanonicalLine(doc.format, doc.layout, es.data(), es.size());
        } catch (const Failure& f) {
            throw Failure(std::string("Cannot add to the table: ") + f.what());
        }
    };
    TableWriter w(defaultBreak);
    auto insertNew = [&](const std::vector<std::size_t>& ks) {
        if (wordsShareALine) {
            std::vector<TableEntry> es;
            es.reserve(ks.size());
            for (std::size_t k : ks) es.push_back(tableEntry(k));
            w.insert(canonical(es));
        } else {
            for (std::size_t k : ks) w.insert(canonical({tableEntry(k)}));
        }
    };
    std::size_t nc = 0;
    for (std::size_t i = 0; i <= doc.lines.size(); ++i) {
        while (nc < plan.newCodes.size() && plan.newCodes[nc].beforeLine == i) insertNew(plan.newCodes[nc++].entries);
        if (i == doc.lines.size()) break;
        const auto& l = doc.lines[i];
        std::string_view lineBreak = std::string_view(doc.text).substr(l.offset + l.length, l.breakLength);
        const std::vector<std::size_t>& joining = plan.joining(i);
        if (!joining.empty() && wordsShareALine) {
            std::vector<TableEntry> es(doc.entries.begin() + l.firstEntry,
                                       doc.entries.begin() + l.firstEntry + l.entryCount);
            for (std::size_t k : joining) es.push_back(tableEntry(k));
            w.line(canonical(es), lineBreak);
            continue;
        }
        w.line(doc.lineText(i), lineBreak);
        if (!joining.empty()) insertNew(joining);
    }
    return w.take();
}

}  // namespace

MergedTable MergeIntoTable(std::string_view bytes, formats::Encoding encoding, Format format,
                           const std::vector<EncodedEntry>& entries, MergeOrder order) {
    TableDocument doc = formats::ReadTableToMerge(bytes, encoding, format);
    RefuseNulBytes(doc.text, "table");
    MergedTable out;
    std::string text = doc.format == Format::Plain ? MergeIntoGroupLines(doc.text, entries, &out.added)
                                                   : MergeIntoDocument(doc, entries, order, out.added, out.lowered);
    out.format = doc.format;
    out.encoding = doc.encoding;
    out.textEncoding = doc.textEncoding();
    out.encodingCloseCall = doc.encodingCloseCall;
    if (doc.format == Format::MsPhrase) {
        // A binary Windows phrase file: its lines ("code<TAB>word", the new
        // ones after their code's) written whole afresh.
        std::vector<TableEntry> merged;
        for (std::size_t at = 0; at < text.size();) {
            std::size_t end = text.find('\n', at);
            if (end == std::string::npos) end = text.size();
            std::string_view line(text.data() + at, end - at);
            if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
            if (const std::size_t tab = line.find('\t'); tab != std::string_view::npos)
                merged.push_back({std::string(line.substr(0, tab)), std::string(line.substr(tab + 1)), {}, {}});
            at = end + 1;
        }
        formats::WriteOptions w;
        w.format = Format::MsPhrase;
        w.textEncoding = out.textEncoding;
        out.bytes = formats::WriteEntries(merged, w);
        return out;
    }
    out.bytes = formats::EncodeText(text, doc.encoding, doc.hadBom, out.textEncoding);
    return out;
}

}  // namespace zelmora
