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
