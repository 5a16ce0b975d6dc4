// Typing texts through a table, with figures worked out by hand.
#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "formats/document.h"
#include "tests/test_util.h"
#include "typing/score.h"
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

namespace {

TypingTable TableOf(const std::string& table, const TypingOptions& o = {}) {
    const auto doc =
        zelmora::formats::ReadTable(table, zelmora::formats::Encoding::Utf8, zelmora::formats::Format::Plain);
    return TypingTable(doc.entries, doc.textEncoding(), o);
}

std::u32string U32(const std::string& utf8) {
    return Utf32Of(testutil::Convert("gb18030", "UTF-8", utf8), TextEncoding::Gb18030);
}

}  // namespace

TEST(Typing, KeysGoToFingersAndHandsAndMakePairs) {
    // 工 "ed": e and d are both the left middle finger's. 戈 "aa" typed
    // twice. "。" after 工 saves its space; "？" takes the left shift.
    const TypingTable t = TableOf("ed 工\naa 戈\n");
    Typist typist(t, Segmentation::Greedy);
    typist.type(U32("工。戈？"));
    typist.finish();
    const Figures& f = typist.figures();
    // Keys: e d . a a / (shift) -- the space after 工 saved, the one after 戈 too.
    EXPECT_EQ(f.keyUse['e'], 1u);
    EXPECT_EQ(f.keyUse['.'], 1u);
    EXPECT_EQ(f.keyUse['a'], 2u);
    EXPECT_EQ(f.keyUse[' '], 0u);
    EXPECT_EQ(f.leftShifts, 1u);  // "/" is the right hand's: the left holds shift
    // Pairs: e-d (same finger), d-. (hands alternate), .-a (alternate), a-a (same key), a-/ (alternate).
    EXPECT_EQ(f.pairs, 5u);
    EXPECT_EQ(f.sameFingerPairs, 1u);
    EXPECT_EQ(f.sameKeyPairs, 1u);
    EXPECT_EQ(f.alternatingPairs, 3u);
    const auto fingers = f.fingerUse();
    EXPECT_EQ(fingers[static_cast<std::size_t>(Finger::LeftMiddle)], 2u);
    EXPECT_EQ(fingers[static_cast<std::size_t>(Finger::LeftPinky)], 3u);  // a a and the shift
    EXPECT_EQ(fingers[static_cast<std::size_t>(Finger::RightRing)], 1u);
    EXPECT_EQ(fingers[static_cast<std::size_t>(Finger::RightPinky)], 1u);
    // A space between two commits breaks the pair.
    Typist spaced(t, Segmentation::Greedy);
    spaced.type(U32("工戈"));
    spaced.finish();
    EXPECT_EQ(spaced.figures().keyUse[' '], 2u);
    EXPECT_EQ(spaced.figures().pairs, 2u);  // e-d, a-a
}

TEST(Typing, PartsTypedApartOnThreadsAddUpToOneGo) {
    const TypingTable t = TableOf("a 工\nb 戈\nbb 式\nab 工戈\nabcd 工戈式\ncc 丙\ncc 戈式\nd 丁\n");
    std::mt19937 rng(7);
    const std::vector<std::string> pieces = {"工", "戈", "式", "丙", "丁", "，", "。",
                                             " ",  "\n", "x",  "丑", "……", "！"};
    for (int round = 0; round < 200; ++round) {
        std::string text;
        for (int k = 0; k < 40; ++k) text += pieces[rng() % pieces.size()];
        const std::u32string u = U32(text);
        for (Segmentation s : {Segmentation::Greedy, Segmentation::Optimal}) {
            Typist whole(t, s);
            whole.type(u);
            whole.finish();
            ScoreOptions o;
            o.segmentation = s;
            o.partCharacters = 1 + rng() % 6;
            o.threads = 1 + rng() % 3;
            std::vector<Commit> commits, together;
            whole.commits = &together;
            Trace trace;
            trace.onCommits = [&](const std::vector<Commit>& part) {
                commits.insert(commits.end(), part.begin(), part.end());
            };
            const Figures parted = ScoreString(t, u, o, trace);
            EXPECT_TRUE(parted == whole.figures()) << text << " in parts of " << o.partCharacters;
            EXPECT_EQ(parted.allKeys(), whole.figures().allKeys()) << text;
            EXPECT_EQ(parted.pairs, whole.figures().pairs) << text;
        }
    }
}

TEST(Typing, OptimalCountsTheSpacePunctuationSaves) {
    // Before "，": 甲乙 by "abcd" takes 4 keys; 甲 "j", the space, 乙 "k"
    // whose space the comma saves take 3 -- the same 4 keys counted without
    // the saving, where fewer commits would win.
    const TypingTable t = TableOf("j 甲\nk 乙\nabcd 甲乙\n");
    struct Case {
        Segmentation segmentation;
        std::uint64_t keys, saved;
    };
    for (const Case& c : {Case{Segmentation::Greedy, 4, 0}, Case{Segmentation::Optimal, 3, 1}}) {
        Typist typist(t, c.segmentation);
        typist.type(U32("甲乙，"));
        typist.finish();
        EXPECT_EQ(typist.figures().tableKeys(), c.keys);
        EXPECT_EQ(typist.figures().spacesSaved, c.saved);
    }
}

TEST(Typing, AWordListIsTypedOncePerCount) {
    // 工 ×10 ("a", first: 2 keys), 工戈 ×3 ("abcd": 4 keys, a word), 式 ×5
    // ("a" second: 2 keys, a selection), 丑 ×2 (missing).
    const TypingTable t = TableOf("a 工\na 式\nabcd 工戈\nb 戈\n");
    FrequencyList list;
    list.words = {{U32("工"), 10}, {U32("工戈"), 3}, {U32("式"), 5}, {U32("丑"), 2}};
    const Figures f = ScoreFrequencies(t, list, Segmentation::Greedy);
    EXPECT_EQ(f.tableCharacters, 10u + 6u + 5u);
    EXPECT_EQ(f.tableKeys(), 10u * 2 + 3u * 4 + 5u * 2);
    EXPECT_EQ(f.commits, 18u);
    EXPECT_EQ(f.selectionCommits, 5u);
    EXPECT_EQ(f.wordCommits, 3u);
    EXPECT_EQ(f.hanInWords, 6u);
    EXPECT_EQ(f.missing, 2u);
    EXPECT_DOUBLE_EQ(f.keysPerCharacter(), 42.0 / 21.0);
    EXPECT_DOUBLE_EQ(f.selectionRate(), 5.0 / 21.0);
    EXPECT_DOUBLE_EQ(f.wordRate(), 6.0 / 21.0);
    EXPECT_EQ(f.keyUse[' '], 10u);    // 工's; 式 is chosen by ";"
    EXPECT_EQ(f.pairs, 3u * 3 + 5u);  // a-b-c-d and a-;, none from one word into the next

    // Read from a file's lines: jieba's tags ignored, a bad line named.
    const FrequencyList read = ReadFrequencyList("工 10 n\n# note\n\n工戈\t3\n", "w.txt");
    ASSERT_EQ(read.words.size(), 2u);
    EXPECT_EQ(read.words[1].second, 3u);
    using namespace std::string_literals;
    const std::vector<std::pair<std::string, std::string>> bad = {
        {"工 10\n戈\n", "w.txt: line 2: expected a word and its count"},
        {"工 10\n戈 x\n", "w.txt: line 2: expected a word and its count"},
        {"工 10\n戈 -3\n", "w.txt: line 2: expected a word and its count"},
        {"工 10\n戈 3\0\n"s, "w.txt: Line 2 of the word list holds a NUL byte"},
    };
    for (const auto& [text, message] : bad) {
        try {
            ReadFrequencyList(text, "w.txt");
            ADD_FAILURE() << text;
        } catch (const zelmora::Failure& e) {
            EXPECT_NE(std::string(e.what()).find(message), std::string::npos) << e.what();
        }
    }
}

TEST(Typing, SingleCharactersByFullAndShortCodes) {
    // 工: full "aaaa" (auto-commit, 4 keys), short "a" (2); 戈: only "agnt"
    // second there (4 + selection); 丑 in the set but not the table.
    const TypingTable t = TableOf("a 工\naaaa 工\nagnt 七\nagnt 戈\n");
    FrequencyList list;
    list.words = {{U32("工"), 6}, {U32("戈"), 2}, {U32("丑"), 1}, {U32("工戈"), 50}};
    const CharacterFigures f = ScoreCharacters(t, list, "top:3");
    EXPECT_EQ(f.characters, 3u);
    EXPECT_EQ(f.present, 2u);
    EXPECT_EQ(f.missingWeight, 1u);
    EXPECT_EQ(f.fullKeys, 6u * 4 + 2u * 5);
    EXPECT_EQ(f.shortKeys, 6u * 2 + 2u * 5);
    EXPECT_DOUBLE_EQ(f.selectionRate(), 2.0 / 8.0);
    EXPECT_EQ(CharacterSet("gb2312", list).size(), 6763u);
    EXPECT_EQ(CharacterSet("gb2312-1", list).size(), 3755u);
    EXPECT_THROW(CharacterSet("big5", list), zelmora::Failure);
}
