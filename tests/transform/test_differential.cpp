// The fast derivations against the literal reference implementations on
// generated tables full of awkward input: identical bytes and counts.
#include <gtest/gtest.h>

#include <random>

#include "core/collation.h"
#include "core/text.h"
#include "tests/naive/naive.h"
#include "tests/test_util.h"
#include "transform/classify.h"
#include "transform/duplicates.h"
#include "transform/expand.h"
#include "transform/full_codes.h"
#include "transform/group.h"
#include "transform/pipeline.h"
#include "transform/relation.h"
#include "transform/shortest.h"

using namespace zelmora;
using testutil::G;

namespace {

class TableGenerator {
public:
    explicit TableGenerator(unsigned seed) : rng_(seed) {
        for (const char* w : {"工", "工作", "工人", "人", "人工", "式", "戈", "子", "了", "节", "茸", "萁", "芽",
                              "你好", "您好", "，", "。"})
            words_.push_back(G(w));
        for (const char* w : {"word", "WORD", "Word", "wo", "x,y", "\"q\"", "a\"b", "\"x y\""}) words_.push_back(w);
        words_.push_back("\x81");      // lead byte before whatever follows
        words_.push_back("\xA4\xCA");  // bytes that straddle two characters in other text
    }

    std::string code() {
        static const char letters[] = "aabbcdxyAB";
        int len = pick(7);  // 0..6 letters
        std::string c;
        for (int i = 0; i < len; ++i) c += letters[pick(sizeof(letters) - 1)];
        return c;
    }

    std::string separator() {
        switch (pick(12)) {
            case 0:
                return "  ";
            case 1:
                return "\t";
            case 2:
                return ",";
            case 3:
                return " , ";
            default:
                return " ";
        }
    }

    std::string line() {
        switch (pick(20)) {
            case 0:
                return "";
            case 1:
                return "   ";
            case 2:
                return code();
            case 3:
                return " " + code() + " " + word();
            case 4:
                return code() + " ";
            case 5:
                return ",";
            default:
                break;
        }
        std::string l = code();
        int words = 1 + pick(4);
        for (int i = 0; i < words; ++i) l += separator() + word();
        if (pick(6) == 0) l += pick(2) ? "  " : ",";
        return l;
    }

    std::string table() {
        std::string t;
        int lines = pick(60);
        for (int i = 0; i < lines; ++i) {
            t += line();
            switch (pick(10)) {
                case 0:
                    t += "\n";
                    break;
                case 1:
                    t += "\r";
                    break;
                case 2:
                    t += "\n\r";
                    break;
                default:
                    t += "\r\n";
                    break;
            }
        }
        if (pick(3) == 0) t += line();
        if (pick(10) == 0) t += "\x81";  // lead byte at the very end
        return t;
    }

    std::string word() { return words_[static_cast<std::size_t>(pick(static_cast<int>(words_.size())))]; }

private:
    int pick(int n) { return static_cast<int>(rng_() % static_cast<unsigned>(n)); }
    std::mt19937 rng_;
    std::vector<std::string> words_;
};

void CompareAll(const std::string& source, const std::string& entries) {
    SCOPED_TRACE("source=" + testutil::U(source) + "\nentries=" + testutil::U(entries));
    EXPECT_EQ(GroupEqualCodes(entries), naive::Group(entries));

    ClassifyResult c = ClassifyByCodeLength(entries);
    naive::Classified nc = naive::Classify(entries);
    for (int n = 0; n < 4; ++n) {
        EXPECT_EQ(c.texts[n], nc.texts[n]);
        EXPECT_EQ(c.counts[n], nc.counts[n]);
    }

    DuplicateCodesResult d = ExtractDuplicateCodes(source, TextEncoding::Gbk);
    naive::Duplicates nd = naive::ExtractDuplicates(source);
    EXPECT_EQ(d.duplicateText, nd.dup);
    EXPECT_EQ(d.uniqueText, nd.uniq);
    EXPECT_EQ(d.duplicateCount, nd.dupCount);
    EXPECT_EQ(d.doubleByteChars, nd.chars);
    EXPECT_EQ(d.uniqueCount, nd.uniqCount);

    FullCodesResult f = ExtractFullCodes(entries, TextEncoding::Gbk);
    naive::FullCodes nf = naive::ExtractFullCodes(entries);
    EXPECT_EQ((std::array<std::string, 4>{f.threeText, f.fourText, f.allText, f.shortText}), nf.texts);
    EXPECT_EQ((std::array<std::size_t, 4>{f.threeCount, f.fourCount, f.allCount, f.shortCount}), nf.counts);

    ShortestCodesResult s = ExtractShortestCodes(entries, TextEncoding::Gbk);
    naive::Shortest ns = naive::ExtractShortest(entries);
    for (int n = 0; n < 4; ++n) {
        EXPECT_EQ(s.texts[n], ns.texts[n]);
        EXPECT_EQ(s.counts[n], ns.counts[n]);
    }
    EXPECT_EQ(s.allText, ns.texts[4]);
    EXPECT_EQ(s.allCount, ns.counts[4]);

    RelationResult r = RelateShortAndFullCodes(entries, source, TextEncoding::Gbk);
    naive::Relation nr = naive::Relate(entries, source);
    EXPECT_EQ((std::array<std::string, 4>{r.shortCodesText, r.fullCodesText, r.wordsText, r.reorderedText}), nr.texts);
    EXPECT_EQ((std::array<std::size_t, 4>{r.shortCodesCount, r.fullCodesCount, r.wordsCount, r.reorderedCount}),
              nr.counts);
}

}  // namespace

TEST(Differential, ExpansionMatchesLiteralSteps) {
    TableGenerator gen(2026);
    EXPECT_EQ(ExpandToEntryLines("", TextEncoding::Gbk), naive::Expand(""));
    for (int i = 0; i < 400; ++i) {
        std::string t = gen.table();
        ASSERT_EQ(ExpandToEntryLines(t, TextEncoding::Gbk), naive::Expand(t)) << testutil::U(t);
    }
}

TEST(Differential, SortMatchesLiteralPartitionSort) {
    TableGenerator gen(11);
    for (int i = 0; i < 200; ++i) {
        std::vector<std::string> lines;
        int n = i % 40;
        for (int k = 0; k < n; ++k) lines.push_back(gen.code() + " " + gen.word());
        LineList literal{lines};
        naive::SortLines(literal);
        SortLines(lines, TextEncoding::Gbk);
        ASSERT_EQ(lines, literal.lines());
    }
}

TEST(Differential, DerivationsOnExpandedTables) {
    TableGenerator gen(86);
    for (int i = 0; i < 300; ++i) {
        std::string source = gen.table();
        CompareAll(source, ExpandToEntryLines(source, TextEncoding::Gbk));
        if (HasFatalFailure() || HasNonfatalFailure()) return;
    }
}

TEST(Differential, DerivationsOnRawTablesAsEntries) {
    // Tables pasted straight into the one-word-per-line pane: unsorted, blank
    // lines, group lines, odd breaks.
    TableGenerator gen(936);
    for (int i = 0; i < 300; ++i) {
        std::string source = gen.table();
        CompareAll(source, gen.table());
        if (HasFatalFailure() || HasNonfatalFailure()) return;
    }
}

TEST(Differential, RelationWithManyWordsOnOneLine) {
    // Long lines whose words are mostly short-coded: most passes move a word,
    // and the words moved to the end come round again.
    TableGenerator gen(1212);
    for (int i = 0; i < 12; ++i) {
        std::string source = gen.table();
        for (int l = 0; l < 3; ++l) {
            std::string line = gen.code();
            int words = 50 + 150 * l + i;
            for (int k = 0; k < words; ++k) line += (k % 17 == 0 ? "  " : " ") + gen.word();
            source += "\r\n" + line;
        }
        std::string entries = ExpandToEntryLines(source, TextEncoding::Gbk);
        RelationResult r = RelateShortAndFullCodes(entries, source, TextEncoding::Gbk);
        naive::Relation nr = naive::Relate(entries, source);
        ASSERT_EQ((std::array<std::string, 4>{r.shortCodesText, r.fullCodesText, r.wordsText, r.reorderedText}),
                  nr.texts);
    }
}

// The pipeline shares what its derivations work out (the classes, each pool's
// answers, the expansion's ranks) across its two threads: its outputs are
// still the literal steps', whether the expansion's lines are its sorted
// entries one for one or trimming took the first or last one apart.
TEST(Differential, PipelineSharingMatchesLiteralSteps) {
    TableGenerator gen(4242);
    std::vector<std::string> sources = {
        "\" a\" x\r\nb y",          // an entry that begins with a blank sorts first and is trimmed
        "b y\r\nc \"z \"",          // one that ends with blanks sorts last
        "\"\" \"\"\r\nab x y",      // an entry of one space, trimmed away
        "aaa x\r\naaaa xy\r\na x",  // short codes found in the pools
    };
    for (int i = 0; i < 150; ++i) sources.push_back(gen.table());
    for (const std::string& source : sources) {
        const PipelineResult r = RunPipeline(source, std::nullopt, TextEncoding::Gbk);
        const std::string normalized = NormalizeLineBreaks(source);
        const std::string entries = naive::Expand(normalized);
        std::vector<std::string> expected = {entries, naive::Group(entries)};
        for (const std::string& t : naive::Classify(entries).texts) expected.push_back(t);
        for (const std::string& t : naive::ExtractFullCodes(entries).texts) expected.push_back(t);
        for (const std::string& t : naive::ExtractShortest(entries).texts) expected.push_back(t);
        const naive::Duplicates d = naive::ExtractDuplicates(normalized);
        expected.push_back(d.dup);
        expected.push_back(d.uniq);
        for (const std::string& t : naive::Relate(entries, normalized).texts) expected.push_back(t);
        std::vector<std::string> got;
        for (const auto& output : r.outputs) got.push_back(output.second);
        ASSERT_EQ(got, expected) << testutil::U(source);
    }
}
