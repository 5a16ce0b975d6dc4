// Two tables compared: what was added, removed, moved and reordered.
#include <gtest/gtest.h>

#include "analysis/diff.h"
#include "formats/writing.h"
#include "tests/test_util.h"

using namespace zelmora;
using testutil::G;
using testutil::Lines;

namespace {

std::vector<formats::TableEntry> Entries(const std::string& gbk) {
    return formats::ReadTable(gbk, formats::Encoding::Gbk, formats::Format::Plain).entries;
}

analysis::TableDiff Compare(std::initializer_list<std::string_view> a, std::initializer_list<std::string_view> b) {
    return analysis::CompareTables(Entries(Lines(a)), Entries(Lines(b)));
}

}  // namespace

TEST(Diff, OneOfEachKindGivesExactlyThose) {
    // 式 moves from aa to aaa; 节 comes; 芭 goes; a's candidates 工 戈 swap.
    analysis::TableDiff d =
        Compare({"a 工 戈", "aa 式", "ab 节 芭", "g 一"}, {"a 戈 工", "aa", "aaa 式", "ab 节 苗", "g 一"});
    ASSERT_EQ(d.added.size(), 1u);
    EXPECT_EQ(d.added[0].code, "ab");
    EXPECT_EQ(d.added[0].word, G("苗"));
    ASSERT_EQ(d.removed.size(), 1u);
    EXPECT_EQ(d.removed[0].word, G("芭"));
    ASSERT_EQ(d.moved.size(), 1u);
    EXPECT_EQ(d.moved[0].word, G("式"));
    EXPECT_EQ(d.moved[0].oldCode, "aa");
    EXPECT_EQ(d.moved[0].newCode, "aaa");
    ASSERT_EQ(d.reordered.size(), 1u);
    EXPECT_EQ(d.reordered[0].code, "a");
    EXPECT_EQ(d.reordered[0].oldWords, testutil::GVec({"工", "戈"}));
    EXPECT_EQ(d.reordered[0].newWords, testutil::GVec({"戈", "工"}));
    EXPECT_FALSE(d.identical);
    EXPECT_EQ(analysis::DiffSummary(d), "old 6 entries, new 6: 1 added, 1 removed, 1 moved, 1 reordered");

    const std::string text = analysis::FormatDiffText(d);
    for (const char* l : {"+ ab 苗\n", "- ab 芭\n", "> 式 aa -> aaa\n", "~ a: 工 戈 -> 戈 工\n"})
        EXPECT_NE(text.find(l), std::string::npos) << l << "\n" << text;
    EXPECT_EQ(analysis::FormatDiffTsv(d),
              "added\tab\t苗\nremoved\tab\t芭\nmoved\t式\taa\taaa\nreordered\ta\t工 戈\t戈 工\n");
}

TEST(Diff, EachDifferenceNamesItsEntries) {
    // Indexes into the entries compared: the window finds the lines by them.
    analysis::TableDiff d =
        Compare({"b 了", "a 工 戈", "aa 式", "ab 节 芭"}, {"a 戈 工", "aaa 式", "ab 苗 节", "b 了"});
    ASSERT_EQ(d.added.size(), 1u);
    EXPECT_EQ(d.added[0].entry, 3u);  // in the new table
    ASSERT_EQ(d.removed.size(), 1u);
    EXPECT_EQ(d.removed[0].entry, 5u);
    ASSERT_EQ(d.moved.size(), 1u);
    EXPECT_EQ(d.moved[0].oldEntry, 3u);
    EXPECT_EQ(d.moved[0].newEntry, 2u);
    ASSERT_EQ(d.reordered.size(), 1u);
    EXPECT_EQ(d.reordered[0].oldEntry, 1u);  // the code's first entry
}

TEST(Diff, OrderOnlyAmongCommonCandidatesAndCodeOrderAlone) {
    // A candidate added in front is no reordering of the others.
    analysis::TableDiff d = Compare({"a 工 戈"}, {"a 式 工 戈"});
    EXPECT_EQ(d.added.size(), 1u);
    EXPECT_TRUE(d.reordered.empty());
    // The same codes in another order: no difference in entries, yet not identical.
    d = Compare({"a 工", "b 了"}, {"b 了", "a 工"});
    EXPECT_TRUE(d.sameEntries());
    EXPECT_FALSE(d.identical);
    EXPECT_NE(analysis::DiffSummary(d).find("the same entries in another order"), std::string::npos);
    // A plain table may give a code on two lines: its candidates in file order.
    d = Compare({"a 工", "b 了", "a 戈"}, {"a 工 戈", "b 了"});
    EXPECT_TRUE(d.sameEntries());
    d = Compare({"a 工", "b 了", "a 戈"}, {"a 戈 工", "b 了"});
    EXPECT_EQ(d.reordered.size(), 1u);
    d = Compare({"a 工"}, {"a 工"});
    EXPECT_TRUE(d.identical);
    EXPECT_NE(analysis::DiffSummary(d).find("identical"), std::string::npos);
}

TEST(Diff, RepeatedPairsAndSeveralMovesOfOneWord) {
    // A pair held twice counts twice: one of them removed.
    analysis::TableDiff d = Compare({"a 工 工"}, {"a 工"});
    EXPECT_EQ(d.removed.size(), 1u);
    EXPECT_TRUE(d.added.empty() && d.reordered.empty());
    // 工 leaves a and b and comes to c: one move (a → c), b removed.
    d = Compare({"a 工", "b 工", "x 了"}, {"c 工", "x 了"});
    ASSERT_EQ(d.moved.size(), 1u);
    EXPECT_EQ(d.moved[0].oldCode, "a");
    EXPECT_EQ(d.moved[0].newCode, "c");
    ASSERT_EQ(d.removed.size(), 1u);
    EXPECT_EQ(d.removed[0].code, "b");
    // Empty tables.
    d = analysis::CompareTables({}, {});
    EXPECT_TRUE(d.identical);
    d = Compare({"a 工"}, {});
    EXPECT_EQ(d.removed.size(), 1u);
}

TEST(Diff, EveryFormatOnBothSidesOfTheSameTable) {
    // Each sample written into every format and encoding, compared both ways:
    // the same entries in the same order.
    const char* samples[] = {"plain_wubi_gbk.txt", "rime_wubi.dict.yaml", "libime_wubi.txt",
                             "fcitx4_wubi.txt",    "ibus_wubi.txt",       "yong_wubi.txt"};
    const formats::Format formatsList[] = {formats::Format::Plain,  formats::Format::Rime, formats::Format::Libime,
                                           formats::Format::Fcitx4, formats::Format::Ibus, formats::Format::Yong};
    for (const char* name : samples) {
        formats::TableDocument doc = formats::ReadTable(testutil::FormatsSample(name));
        ASSERT_FALSE(doc.entries.empty()) << name;
        for (formats::Format f : formatsList) {
            for (formats::Encoding e :
                 {formats::Encoding::Utf8, formats::Encoding::Gb18030, formats::Encoding::Utf16le}) {
                // UTF-16 is told by its byte-order mark.
                const bool bom = e == formats::Encoding::Utf16le;
                formats::TableDocument again = formats::ReadTable(formats::WriteEntries(doc.entries, f, e, bom));
                EXPECT_TRUE(analysis::CompareTables(doc.entries, again.entries).identical)
                    << name << " as " << formats::FormatName(f) << " " << formats::EncodingName(e);
                EXPECT_TRUE(analysis::CompareTables(again.entries, doc.entries).identical);
                // One entry less on the other side is found whichever side is which.
                std::vector<formats::TableEntry> fewer = again.entries;
                fewer.pop_back();
                EXPECT_EQ(analysis::CompareTables(doc.entries, fewer).removed.size(), 1u);
                EXPECT_EQ(analysis::CompareTables(fewer, doc.entries).added.size(), 1u);
            }
        }
    }
}

namespace {

// Entries "code word weight" (a weight of "-": none), words in UTF-8.
std::vector<formats::TableEntry> Weighted(std::initializer_list<std::string_view> lines) {
    std::vector<formats::TableEntry> out;
    for (std::string_view l : lines) {
        std::vector<std::string> f;
        for (std::size_t at = 0; at <= l.size();) {
            const std::size_t end = std::min(l.find(' ', at), l.size());
            f.emplace_back(l.substr(at, end - at));
            at = end + 1;
        }
        formats::TableEntry e{f[0], G(f[1]), {}, {}};
        if (f[2] != "-") e.weight = f[2];
        out.push_back(std::move(e));
    }
    return out;
}

}  // namespace

TEST(Diff, WeightChangesAreAKindOfTheirOwn) {
    struct Case {
        const char* what;
        std::vector<formats::TableEntry> oldTable, newTable;
        std::vector<std::string> reweighted;  // "code word old new oldEntry newEntry", words in UTF-8
        std::size_t added, reordered;
        bool identical;
    };
    const Case cases[] = {
        {"the same pairs, one weight changed",
         Weighted({"a 工 10", "a 戈 5", "b 了 3"}),
         Weighted({"a 工 10", "a 戈 7", "b 了 3"}),
         {"a 戈 5 7 1 1"},
         0,
         0,
         false},
        {"a weight missing on one side is no change",
         Weighted({"a 工 10", "a 戈 5"}),
         Weighted({"a 工 -", "a 戈 -"}),
         {},
         0,
         0,
         true},
        {"weights as written: 1 and 1.0 differ",
         Weighted({"a 工 1"}),
         Weighted({"a 工 1.0"}),
         {"a 工 1 1.0 0 0"},
         0,
         0,
         false},
        {"beside an added entry",
         Weighted({"a 工 10", "b 了 3"}),
         Weighted({"a 式 20", "a 工 12", "b 了 3"}),
         {"a 工 10 12 0 1"},
         1,
         0,
         false},
        {"a candidate that changed place is a reordering, not a weight change",
         Weighted({"a 工 10", "a 戈 5", "a 式 1"}),
         Weighted({"a 戈 20", "a 工 10", "a 式 2"}),
         {"a 式 1 2 2 2"},
         0,
         1,
         false},
        {"in the new table's order",
         Weighted({"b 了 3", "a 工 10", "c 人 1"}),
         Weighted({"a 工 11", "b 了 4", "d 大 1"}),
         {"a 工 10 11 1 0", "b 了 3 4 0 1"},
         1,
         0,
         false},
    };
    for (const Case& c : cases) {
        const analysis::TableDiff d = analysis::CompareTables(c.oldTable, c.newTable);
        std::vector<std::string> got;
        for (const auto& w : d.reweighted)
            got.push_back(w.code + " " + w.word + " " + w.oldWeight + " " + w.newWeight + " " +
                          std::to_string(w.oldEntry) + " " + std::to_string(w.newEntry));
        std::vector<std::string> want;
        for (const std::string& w : c.reweighted) want.push_back(G(w));
        EXPECT_EQ(got, want) << c.what;
        EXPECT_EQ(d.added.size(), c.added) << c.what;
        EXPECT_EQ(d.reordered.size(), c.reordered) << c.what;
        EXPECT_EQ(d.identical, c.identical) << c.what;
        EXPECT_EQ(d.sameEntries(), c.identical) << c.what;
    }
}

TEST(Diff, WeightChangesInTheTextTsvAndSummary) {
    const analysis::TableDiff d =
        analysis::CompareTables(Weighted({"a 工 10", "a 戈 5"}), Weighted({"a 工 10", "a 戈 7"}));
    EXPECT_EQ(analysis::DiffSummary(d), "old 2 entries, new 2: 0 added, 0 removed, 0 moved, 0 reordered, 1 reweighted");
    EXPECT_EQ(analysis::FormatDiffText(d),
              "reweighted (1):\n~w a 戈 5 -> 7\n"
              "old 2 entries, new 2: 0 added, 0 removed, 0 moved, 0 reordered, 1 reweighted\n");
    EXPECT_EQ(analysis::FormatDiffTsv(d), "weight\ta\t戈\t5\t7\n");
    // Without weight changes the summary names none.
    EXPECT_EQ(analysis::DiffSummary(analysis::CompareTables(Weighted({"a 工 1"}), Weighted({"a 工 1"}))),
              "old 1 entries, new 1: 0 added, 0 removed, 0 moved, 0 reordered; identical");
}
