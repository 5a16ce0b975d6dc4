#include "tests/naive/naive.h"

#include "core/code_table.h"
#include "core/collation.h"
#include "core/text.h"

using namespace zelmora;

namespace naive {

namespace {
// The window's panes hold GBK.
constexpr TextEncoding kWindow = TextEncoding::Gbk;

std::string Out(const LineList& l) { return TrimText(JoinLines(l)); }

}  // namespace

void SortLines(LineList& list) {
    PartitionSort(
        static_cast<long long>(list.count()),
        [&](long long i, long long j) { return CompareLines(list.at(i), list.at(j), kWindow); },
        [&](long long i, long long j) {
            std::string t = list.at(i);
            list.replaceAt(i, list.at(j));
            list.replaceAt(j, t);
        });
}

std::string Expand(std::string_view text) {
    LineList lines = SplitLines(text), work;
    for (std::size_t i = 0; i < lines.count(); ++i) {
        LineList t = SplitTokens(lines.at(i));
        if (t.count() < 2) continue;
        for (std::size_t j = 1; j < t.count(); ++j) work.append(t.at(0) + " " + t.at(j));
    }
    naive::SortLines(work);
    return Out(work);
}

std::string Group(std::string_view text) {
    LineList lines = SplitLines(text);
    LineList out;
    long long prev = -1;  // previous non-blank input line
    for (std::size_t i = 0; i < lines.count(); ++i) {
        LineList cur = SplitTokens(lines.at(i));
        if (cur.count() == 0) continue;
        if (prev < 0) {
            out.append(lines.at(i));
            prev = static_cast<long long>(i);
            continue;
        }
        LineList before = SplitTokens(lines.at(prev));
        if (cur.at(0) != before.at(0)) {
            out.append(lines.at(i));
        } else {
            std::string rebuilt = TrimRightText(JoinLines(out)) + std::string(WordTail(lines.at(i)));
            out = SplitLines(rebuilt);
        }
        prev = static_cast<long long>(i);
    }
    return Out(out);
}

Classes Split(std::string_view text) {
    Classes c;
    LineList lines = SplitLines(text);
    for (std::size_t i = 0; i < lines.count(); ++i) {
        std::size_t p = PositionOf(" ", lines.at(i));
        if (p >= 2 && p <= 5) {
            c.lines[p - 2].append(lines.at(i));
            c.pools[p - 2] += std::string(WordTail(lines.at(i)));
        }
    }
    return c;
}

Classified Classify(std::string_view text) {
    Classes c = Split(text);
    Classified r;
    for (int n = 0; n < 4; ++n) {
        r.texts[n] = Out(c.lines[n]);
        r.counts[n] = c.lines[n].count();
    }
    return r;
}

Duplicates ExtractDuplicates(std::string_view text) {
    LineList lines = SplitLines(text), dup, uniq;
    long long chars = 0;
    for (std::size_t i = 0; i < lines.count(); ++i) {
        if (SplitTokens(lines.at(i)).count() <= 2) {
            uniq.append(lines.at(i));
        } else {
            dup.append(lines.at(i));
            chars += DoubleByteCharCount(lines.at(i), kWindow);
        }
    }
    Duplicates r;
    r.dup = Out(dup);
    r.uniq = Out(uniq);
    r.dupCount = dup.count();
    r.chars = static_cast<std::size_t>(chars);
    r.uniqCount = uniq.count();
    return r;
}

FullCodes ExtractFullCodes(std::string_view text) {
    Classes c = Split(text);
    LineList& c3 = c.lines[2];
    LineList shorts;
    for (long long i = static_cast<long long>(c3.count()) - 1; i >= 0; --i) {
        if (ContainsIgnoringCase(c.pools[3], WordTail(c3.at(i)))) {
            shorts.append(c3.at(i));
            c3.removeAt(i);
        }
    }
    LineList all = SplitLines(JoinLines(c3) + JoinLines(c.lines[3]));
    naive::SortLines(all);
    naive::SortLines(shorts);
    FullCodes r;
    r.texts = {Out(c3), Out(c.lines[3]), Out(all), Out(shorts)};
    r.counts = {c3.count(), c.lines[3].count(), all.count(), shorts.count()};
    return r;
}

Shortest ExtractShortest(std::string_view text) {
    Classes c = Split(text);
    std::string searched = c.pools[0];
    for (int n = 1; n < 4; ++n) {
        if (n > 1) searched += c.pools[n - 1];
        LineList& cls = c.lines[n];
        for (long long i = static_cast<long long>(cls.count()) - 1; i >= 0; --i)
            if (ContainsIgnoringCase(searched, WordTail(cls.at(i)))) cls.removeAt(i);
    }
    LineList all =
        SplitLines(JoinLines(c.lines[0]) + JoinLines(c.lines[1]) + JoinLines(c.lines[2]) + JoinLines(c.lines[3]));
    naive::SortLines(all);
    Shortest r;
    for (int n = 0; n < 4; ++n) {
        r.texts[n] = Out(c.lines[n]);
        r.counts[n] = c.lines[n].count();
    }
    r.texts[4] = Out(all);
    r.counts[4] = all.count();
    return r;
}

Relation Relate(std::string_view entries, std::string_view source) {
    Classes c = Split(entries);
    const std::string p12 = c.pools[0] + c.pools[1];
    const std::string p123 = p12 + c.pools[2];
    LineList full;
    LineList& c3 = c.lines[2];
    for (long long i = static_cast<long long>(c3.count()) - 1; i >= 0; --i) {
        std::string_view tail = WordTail(c3.at(i));
        // A line without a word is never chosen (it would have no word to read).
        if (ContainsIgnoringCase(p12, tail) && !ContainsIgnoringCase(c.pools[3], tail) &&
            SplitTokens(c3.at(i)).count() >= 2)
            full.append(c3.at(i));
    }
    LineList& c4 = c.lines[3];
    for (long long i = static_cast<long long>(c4.count()) - 1; i >= 0; --i)
        if (ContainsIgnoringCase(p123, WordTail(c4.at(i))) && SplitTokens(c4.at(i)).count() >= 2) full.append(c4.at(i));
    naive::SortLines(full);
    for (long long i = static_cast<long long>(c3.count()) - 1; i >= 0; --i)
        if (!ContainsIgnoringCase(c.pools[3], WordTail(c3.at(i)))) c3.removeAt(i);
    LineList shorts = SplitLines(JoinLines(c.lines[0]) + JoinLines(c.lines[1]) + JoinLines(c3));
    naive::SortLines(shorts);
    LineList words;
    for (std::size_t i = 0; i < full.count(); ++i) words.append(SplitTokens(full.at(i)).at(1));
    LineList src = SplitLines(source);
    for (std::size_t i = 0; i < src.count(); ++i) {
        LineList t = SplitBySpace(src.at(i));
        long long cnt = static_cast<long long>(t.count());
        if (cnt == 2) continue;
        if (cnt >= 3) {
            long long k = 1;
            for (long long pass = 0; pass < cnt - 2; ++pass) {
                if (FindLine(words, t.at(k), kWindow) >= 0) t.move(k, cnt - 1);
                ++k;
            }
        }
        src.replaceAt(static_cast<long long>(i), JoinBySpace(t));
    }
    Relation r;
    r.texts = {Out(shorts), Out(full), Out(words), Out(src)};
    r.counts = {shorts.count(), full.count(), words.count(), src.count()};
    return r;
}

}  // namespace naive
