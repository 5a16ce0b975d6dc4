// Typing texts through a table, with figures worked out by hand.
#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "formats/document.h"
#include "tests/test_util.h"
#include "typing/typing.h"

using namespace zelmora::typing;
using zelmora::TextEncoding;

namespace {

Figures Type(const std::string& table, const std::string& text, Segmentation s = Segmentation::Greedy,
             const TypingOptions& o = {}) {
    const auto doc =
        zelmora::formats::ReadTable(table, zelmora::formats::Encoding::Utf8, zelmora::formats::Format::Plain);
    TypingTable t(doc.entries, doc.textEncoding(), o);
    Typist typist(t, s);
    typist.type(Utf32Of(testutil::Convert("gb18030", "UTF-8", text), TextEncoding::Gb18030));
    typist.finish();
    return typist.figures();
}

}  // namespace

TEST(Typing, AnEntryCostsItsLettersAndWhatCommitsIt) {
    struct Case {
        std::size_t length, position, autoCommit;
        std::uint32_t letters, spaces, selections, pageDowns;
    };
    const std::vector<Case> cases = {
        {2, 1, 4, 2, 1, 0, 0},  // a first candidate: the space
        {4, 1, 4, 4, 0, 0, 0},  // four letters commit themselves
        {4, 1, 0, 4, 1, 0, 0},  // unless auto-commit is off
        {3, 2, 4, 3, 0, 1, 0},  // second: its selection key
        {3, 6, 4, 3, 1, 0, 1},  // sixth, page size 5: a page down, then first on its page
        {3, 7, 4, 3, 0, 1, 1},  // seventh: a page down and the second place's key
    };
    for (const Case& c : cases) {
        TypingOptions o;
        o.autoCommit = c.autoCommit;
        const Stroke s = StrokeOf(c.length, c.position, o);
        EXPECT_EQ(s.letters, c.letters) << c.length << "@" << c.position;
        EXPECT_EQ(s.spaces, c.spaces) << c.length << "@" << c.position;
        EXPECT_EQ(s.selections, c.selections) << c.length << "@" << c.position;
        EXPECT_EQ(s.pageDowns, c.pageDowns) << c.length << "@" << c.position;
    }
}

TEST(Typing, AWordIsTypedByItsCheapestEntry) {
    // 工: "aa" second (3 keys) beats "aaaa" first (4); 丙: "xy" second and "zz"
    // first both take 3 keys: the first candidate wins.
    const std::string table = "aa 戈\naa 工\naaaa 工\nxy 丁\nxy 丙\nzz 丙\n";
    const Figures f = Type(table, "工丙");
    EXPECT_EQ(f.commits, 2u);
    EXPECT_EQ(f.letters, 4u);
    EXPECT_EQ(f.selections, 1u);
    EXPECT_EQ(f.spaces, 1u);  // 丙's, owed at the end of the text
    EXPECT_EQ(f.selectionCommits, 1u);
    EXPECT_EQ(f.byPosition.at(1), 1u);
    EXPECT_EQ(f.byPosition.at(2), 1u);
}

TEST(Typing, TextSplitsAtBlanksKeyedAndMissingCharacters) {
    const std::string table = "aa 工\nbb 戈\naabb 工戈\n";
    struct Case {
        const char* text;
        std::uint64_t commits, words, keys, keyed, missing, unkeyed, saved;
    };
    const std::vector<Case> cases = {
        {"工戈", 1, 1, 4, 0, 0, 0, 0},      // one word, committed by its fourth letter
        {"工 戈", 2, 0, 6, 0, 0, 0, 0},     // a blank splits it
        {"工\n戈", 2, 0, 6, 0, 0, 0, 0},    // so does a line break
        {"工，戈。", 2, 0, 4, 2, 0, 0, 2},  // punctuation saves both spaces, costs its own key
        {"工a戈", 2, 0, 6, 1, 0, 0, 0},     // a letter doesn't save the space
        {"工丑戈", 2, 0, 6, 0, 1, 0, 0},    // 丑 is missing: it splits, and the space is still owed
        {"工α戈", 2, 0, 6, 0, 0, 1, 0},     // α is neither keyed nor in the table
        {"工：", 1, 0, 2, 1, 0, 0, 1},      // a shifted punctuation key costs 2 (keyed keys)
    };
    for (const Case& c : cases) {
        const Figures f = Type(table, c.text);
        EXPECT_EQ(f.commits, c.commits) << c.text;
        EXPECT_EQ(f.wordCommits, c.words) << c.text;
        EXPECT_EQ(f.tableKeys(), c.keys) << c.text;
        EXPECT_EQ(f.keyedPunctuation + f.keyedOther, c.keyed) << c.text;
        EXPECT_EQ(f.missing, c.missing) << c.text;
        EXPECT_EQ(f.unkeyed, c.unkeyed) << c.text;
        EXPECT_EQ(f.spacesSaved, c.saved) << c.text;
    }
    EXPECT_EQ(Type(table, "工：").keyedKeys, 2u);
}

TEST(Typing, OptimalSegmentationNeverNeedsMoreKeysThanGreedy) {
    // Greedy takes 甲乙 (4 keys) then 丙 (2): 6; the fewest is 甲 (2) and 乙丙 (3).
    const std::string table = "j 甲\nk 乙\nl 丙\nabcd 甲乙\nab 乙丙\n";
    EXPECT_EQ(Type(table, "甲乙丙").tableKeys(), 6u);
    EXPECT_EQ(Type(table, "甲乙丙", Segmentation::Optimal).tableKeys(), 5u);
    std::mt19937 rng(21);
    const std::vector<std::string> pieces = {"甲", "乙", "丙", "，", " "};
    for (int round = 0; round < 300; ++round) {
        std::string text;
        for (int k = 0; k < 12; ++k) text += pieces[rng() % pieces.size()];
        const Figures g = Type(table, text), o = Type(table, text, Segmentation::Optimal);
        EXPECT_LE(o.tableKeys(), g.tableKeys()) << text;
        EXPECT_EQ(o.tableCharacters, g.tableCharacters) << text;
    }
}
