// The derivations on the worked examples and edge cases of the table rules,
// and the two mended faults (blank lines in the grouping, word-less full codes).
#include <gtest/gtest.h>

#include <array>
#include <random>

#include "core/code_table.h"
#include "core/failure.h"
#include "core/text.h"
#include "tests/test_util.h"
#include "transform/classify.h"
#include "transform/duplicates.h"
#include "transform/expand.h"
#include "transform/full_codes.h"
#include "transform/group.h"
#include "transform/relation.h"
#include "transform/shortest.h"

using namespace zelmora;
using testutil::G;
using testutil::Lines;

TEST(Expand, WorkedExample) {
    std::string in = Lines({"aa 式", "a 工 戈", "ab", "", "b 子"});
    // Pinyin order: 戈 (ge) before 工 (gong).
    EXPECT_EQ(ExpandToEntryLines(in, TextEncoding::Gbk), Lines({"a 戈", "a 工", "aa 式", "b 子"}));
}

TEST(Expand, SeparatorsAndEdges) {
    EXPECT_EQ(ExpandToEntryLines("", TextEncoding::Gbk), "");
    EXPECT_EQ(ExpandToEntryLines(Lines({"a", "", "  ", "b"}), TextEncoding::Gbk), "");
    const std::string expected = Lines({"a 戈", "a 工"});
    EXPECT_EQ(ExpandToEntryLines(G("a,工,戈"), TextEncoding::Gbk), expected);
    EXPECT_EQ(ExpandToEntryLines(G("a  工  戈"), TextEncoding::Gbk), expected);
    EXPECT_EQ(ExpandToEntryLines(G("  a 工 戈 \t"), TextEncoding::Gbk), expected);
    EXPECT_EQ(ExpandToEntryLines(G("a\t工\t戈"), TextEncoding::Gbk), expected);
    EXPECT_EQ(ExpandToEntryLines(G("a 工 工"), TextEncoding::Gbk), Lines({"a 工", "a 工"}));
    EXPECT_EQ(CountPaneLines(ExpandToEntryLines(G("bnh 了 卩 阝 凵"), TextEncoding::Gbk)), 4u);
    // A quoted word keeps its space; a leading comma makes an empty code whose
    // blank start is trimmed away.
    EXPECT_EQ(ExpandToEntryLines("x \"a b\"", TextEncoding::Gbk), "x a b");
    EXPECT_EQ(ExpandToEntryLines(",a\r\nb c", TextEncoding::Gbk), "a\r\nb c");
    std::string out = ExpandToEntryLines(Lines({"b 子", "a 工"}), TextEncoding::Gbk);
    EXPECT_NE(out.substr(out.size() - 2), "\r\n");
}

TEST(Group, WorkedExamples) {
    EXPECT_EQ(GroupEqualCodes(Lines({"a 工", "a 戈", "aa 式", "b 子", "b 孑", "b 了"})),
              Lines({"a 工 戈", "aa 式", "b 子 孑 了"}));
    EXPECT_EQ(GroupEqualCodes(Lines({"a 工", "b 子", "a 戈"})), Lines({"a 工", "b 子", "a 戈"}));
}

TEST(Group, Edges) {
    EXPECT_EQ(GroupEqualCodes(Lines({"a 工", "A 戈"})), Lines({"a 工", "A 戈"}));
    EXPECT_EQ(GroupEqualCodes(Lines({"a 工  ", "a 戈"})), G("a 工 戈"));
    EXPECT_EQ(GroupEqualCodes(Lines({"a 工", "a"})), G("a 工"));
    EXPECT_EQ(GroupEqualCodes(Lines({"a 工", "a,戈"})), G("a 工"));
    EXPECT_EQ(GroupEqualCodes(Lines({"a 工", "a  戈"})), G("a 工  戈"));
    EXPECT_EQ(GroupEqualCodes(Lines({"a 工", " a 式"})), G("a 工 a 式"));
    EXPECT_EQ(GroupEqualCodes(G("  a 工  ")), G("a 工"));
    EXPECT_EQ(GroupEqualCodes("   "), "");
    EXPECT_EQ(GroupEqualCodes(""), "");
    EXPECT_EQ(GroupEqualCodes(Lines({"a 工 戈", "a 式"})), G("a 工 戈 式"));
}

TEST(Group, BlankLinesAreSkippedInsteadOfFailing) {
    EXPECT_EQ(GroupEqualCodes(Lines({"a 工", ""})), G("a 工"));
    EXPECT_EQ(GroupEqualCodes(Lines({"", "a 工"})), G("a 工"));
    // Compared with the previous non-blank line: the run continues across the blank.
    EXPECT_EQ(GroupEqualCodes(Lines({"a 工", "  ", "a 戈", "", "b 子"})), Lines({"a 工 戈", "b 子"}));
    EXPECT_EQ(GroupEqualCodes("\r\n\r\n \t\r\n"), "");
    EXPECT_EQ(GroupEqualCodes(Lines({"a 工", "a 戈"}) + "\r\n\r\n"), G("a 工 戈"));
}

TEST(Classify, WorkedExample) {
    std::string in = Lines(
        {"a 工", "aa 式", "aaa 工", "aaaa 工", "aad 式", "aadk 匿", "aadn 慝", "aadn 葚", "abcde 错", "工", " 工"});
    ClassifyResult r = ClassifyByCodeLength(in);
    EXPECT_EQ(r.texts[0], G("a 工"));
    EXPECT_EQ(r.texts[1], G("aa 式"));
    EXPECT_EQ(r.texts[2], Lines({"aaa 工", "aad 式"}));
    EXPECT_EQ(r.texts[3], Lines({"aaaa 工", "aadk 匿", "aadn 慝", "aadn 葚"}));
    EXPECT_EQ(ClassifyStatus(r), "行数:一码1 二码1 三码2 四码4");
    EXPECT_EQ(SplitByCodeLength(in).pools[3], G(" 工 匿 慝 葚"));
}

TEST(Classify, Edges) {
    EXPECT_EQ(ClassifyStatus(ClassifyByCodeLength("")), "行数:一码0 二码0 三码0 四码0");
    ClassifyResult r = ClassifyByCodeLength(Lines({"工 a", "AB 式", "ab 式", "ab 式", "aadn 慝 葚", "aaa 工  "}));
    EXPECT_EQ(r.texts[1], Lines({"工 a", "AB 式", "ab 式", "ab 式"}));
    EXPECT_EQ(r.counts[1], 4u);
    EXPECT_EQ(r.texts[2], G("aaa 工"));  // the trailing spaces of the last line are trimmed
    EXPECT_EQ(SplitByCodeLength(Lines({"aaa 工  ", "aab 式"})).pools[2], G(" 工   式"));
    EXPECT_EQ(SplitByCodeLength(G("aadn 慝 葚")).pools[3], G(" 慝 葚"));
    // A space right after a lead byte is part of its character, but the tail
    // starts at the first space byte.
    EXPECT_EQ(SplitByCodeLength("\x81 a b\r\n").pools[2], " a b");
}

// A big text is split in two parts at once: each line still goes to the class
// of its code length, with its word tail, in the text's order.
TEST(Classify, BigTextAsLineByLine) {
    std::string text;
    const std::vector<std::string> codes = {"a", "ab", "abc", "abcd", "abcde", "", G("工"), G("工a"), "\x81 a", "x"};
    const std::vector<std::string> tails = {G(" 工"), G(" 式 戈"), "", " ", G("  人")};
    for (std::size_t i = 0; text.size() < (3u << 20) / 2; ++i)
        text += codes[i * 7 % codes.size()] + tails[i * 3 % tails.size()] + (i % 11 ? "\r\n" : "\n");
    std::array<std::vector<std::string_view>, 4> lines;
    std::array<std::string, 4> pools;
    ForEachLine(text, [&](std::string_view line) {
        const int n = CodeLength(line);
        if (n < 1 || n > 4) return;
        lines[n - 1].push_back(line);
        pools[n - 1] += WordTail(line);
    });
    const LengthClasses c = SplitByCodeLength(text);
    for (int n = 0; n < 4; ++n) {
        ASSERT_EQ(c.lines[n].size(), lines[n].size()) << n;
        for (std::size_t i = 0; i < lines[n].size(); ++i) ASSERT_EQ(c.lines[n][i], lines[n][i]) << n << " " << i;
        EXPECT_EQ(c.pools[n], pools[n]) << n;
    }
}

TEST(Duplicates, WorkedExample) {
    DuplicateCodesResult r = ExtractDuplicateCodes(
        Lines({"a 工", "aadn 慝 葚", "aaf 苷", "wqvb 你好 您好", "", "aa 式"}), TextEncoding::Gbk);
    EXPECT_EQ(r.duplicateText, Lines({"aadn 慝 葚", "wqvb 你好 您好"}));
    EXPECT_EQ(r.uniqueText, Lines({"a 工", "aaf 苷", "", "aa 式"}));
    EXPECT_EQ(DuplicateCodesStatus(CountPaneLines(r.duplicateText), r), "重码：2行 6字；不重码4");
}

TEST(Duplicates, Edges) {
    DuplicateCodesResult e = ExtractDuplicateCodes("", TextEncoding::Gbk);
    EXPECT_EQ(DuplicateCodesStatus(CountPaneLines(e.duplicateText), e), "重码：0行 0字；不重码0");
    auto dup = [](const char* line) { return ExtractDuplicateCodes(G(line), TextEncoding::Gbk).duplicateCount == 1; };
    EXPECT_FALSE(dup("wqvb 你好"));
    EXPECT_TRUE(dup("a 工,戈"));
    EXPECT_TRUE(dup("a 工,"));
    EXPECT_FALSE(dup("a 工, "));
    EXPECT_FALSE(dup("a \"工 戈\""));
    // Blank lines at the edges leave the pane but stay in the count.
    DuplicateCodesResult r = ExtractDuplicateCodes(Lines({"", "a 工", "  b 子 孑", " "}), TextEncoding::Gbk);
    EXPECT_EQ(r.uniqueText, G("a 工"));
    EXPECT_EQ(r.uniqueCount, 3u);
    EXPECT_EQ(r.duplicateText, G("b 子 孑"));
    EXPECT_EQ(r.doubleByteChars, 2u);
}

TEST(FullCodes, WorkedExample) {
    FullCodesResult r = ExtractFullCodes(
        Lines({"a 工", "aa 式", "aaa 工", "aaaa 工", "aad 式", "aadk 匿", "aaf 苷", "aafd 甙"}), TextEncoding::Gbk);
    EXPECT_EQ(r.threeText, Lines({"aad 式", "aaf 苷"}));
    EXPECT_EQ(r.fourText, Lines({"aaaa 工", "aadk 匿", "aafd 甙"}));
    EXPECT_EQ(r.allText, Lines({"aaaa 工", "aad 式", "aadk 匿", "aaf 苷", "aafd 甙"}));
    EXPECT_EQ(r.shortText, G("aaa 工"));
    EXPECT_EQ(FullCodesStatus(r), "行数:三码2 四码3 全部5 三简1");
}

TEST(FullCodes, SubstringCaseSpacesAndGroups) {
    EXPECT_EQ(FullCodesStatus(ExtractFullCodes("", TextEncoding::Gbk)), "行数:三码0 四码0 全部0 三简0");
    // 工 is the start of the four-letter word 工作.
    EXPECT_EQ(ExtractFullCodes(Lines({"aaa 工", "aaaa 工作"}), TextEncoding::Gbk).shortText, G("aaa 工"));
    EXPECT_EQ(ExtractFullCodes(Lines({"abc word", "abcd WORD"}), TextEncoding::Gbk).shortCount, 1u);
    EXPECT_EQ(ExtractFullCodes(Lines({"aaa 工  ", "aaaa 工"}), TextEncoding::Gbk).shortCount, 0u);
    EXPECT_EQ(ExtractFullCodes(Lines({"aaa 工  ", "aaaa 工  ", "aaab 式"}), TextEncoding::Gbk).shortCount, 1u);
    EXPECT_EQ(ExtractFullCodes(Lines({"aaa 工 式", "aaaa 工", "aaab 式"}), TextEncoding::Gbk).shortCount, 1u);
    EXPECT_EQ(ExtractFullCodes(Lines({"aaa 工 式", "aaaa 式", "aaab 工"}), TextEncoding::Gbk).shortCount, 0u);
    FullCodesResult r = ExtractFullCodes(Lines({"a 工", "aa 式", "abcde 错"}), TextEncoding::Gbk);
    EXPECT_EQ(r.allCount, 0u);
    EXPECT_EQ(r.allCount, r.threeCount + r.fourCount);
}

TEST(Shortest, WorkedExample) {
    ShortestCodesResult r = ExtractShortestCodes(
        Lines({"a 工", "aa 式", "aaa 工", "aaaa 工", "aad 式", "aadk 匿", "aadn 慝", "aaf 苷", "aafd 甙", "aaff 苷"}),
        TextEncoding::Gbk);
    EXPECT_EQ(r.texts[0], G("a 工"));
    EXPECT_EQ(r.texts[1], G("aa 式"));
    EXPECT_EQ(r.texts[2], G("aaf 苷"));
    EXPECT_EQ(r.texts[3], Lines({"aadk 匿", "aadn 慝", "aafd 甙"}));
    EXPECT_EQ(r.allText, Lines({"a 工", "aa 式", "aadk 匿", "aadn 慝", "aaf 苷", "aafd 甙"}));
    EXPECT_EQ(ShortestCodesStatus(r), "行数:一码1 二码1 三码1 四码3 全部6");
}

TEST(Shortest, Edges) {
    EXPECT_EQ(ShortestCodesStatus(ExtractShortestCodes("", TextEncoding::Gbk)), "行数:一码0 二码0 三码0 四码0 全部0");
    // One-letter entries stay even when the word repeats.
    EXPECT_EQ(ExtractShortestCodes(Lines({"a 工", "b 工"}), TextEncoding::Gbk).counts[0], 2u);
    EXPECT_EQ(ExtractShortestCodes(Lines({"aa 工", "ab 工", "abc 工", "abcd 工"}), TextEncoding::Gbk).allText,
              Lines({"aa 工", "ab 工"}));
    EXPECT_EQ(ExtractShortestCodes(G("abcd 工"), TextEncoding::Gbk).counts[3], 1u);
    EXPECT_EQ(ExtractShortestCodes(Lines({"ab 工作", "abcd 工"}), TextEncoding::Gbk).counts[3], 0u);
    EXPECT_EQ(ExtractShortestCodes(Lines({"ab Word", "abc word"}), TextEncoding::Gbk).counts[2], 0u);
    // A line removed from class 2 still counts in pool 2 for classes 3 and 4.
    EXPECT_EQ(ExtractShortestCodes(Lines({"a 工", "ab 工", "abcd 工"}), TextEncoding::Gbk).counts[3], 0u);
    // Tails running across the joint of pool 1 and pool 2.
    EXPECT_EQ(ExtractShortestCodes(Lines({"a 工", "ab 式", "abc 工 式"}), TextEncoding::Gbk).counts[2], 0u);
    ShortestCodesResult r = ExtractShortestCodes(Lines({"a 工", "aa 式", "aab 人", "aabc 大"}), TextEncoding::Gbk);
    EXPECT_EQ(r.allCount, r.counts[0] + r.counts[1] + r.counts[2] + r.counts[3]);
}

TEST(Relation, WorkedExample) {
    std::string entries = Lines({"a 工", "aa 式", "aaa 工", "aaaa 工", "aaaa 芏", "aah 芽", "aaht 芽", "aaht 蒉",
                                 "ab 节", "abj 节", "abj 茸", "abj 萁"});
    std::string source =
        Lines({"a 工", "aa 式", "aaa 工", "aaaa 工 芏", "aah 芽", "aaht 芽 蒉", "ab 节", "abj 节 茸 萁"});
    RelationResult r = RelateShortAndFullCodes(entries, source, TextEncoding::Gbk);
    EXPECT_EQ(r.fullCodesText, Lines({"aaaa 工", "aaht 芽", "abj 节"}));
    EXPECT_EQ(r.wordsText, Lines({"工", "芽", "节"}));
    EXPECT_EQ(r.shortCodesText, Lines({"a 工", "aa 式", "aaa 工", "aah 芽", "ab 节"}));
    EXPECT_EQ(r.reorderedText,
              Lines({"a 工", "aa 式", "aaa 工", "aaaa 芏 工", "aah 芽", "aaht 蒉 芽", "ab 节", "abj 茸 萁 节"}));
    EXPECT_EQ(RelationStatus(r), "行数:全部简码5 简码全码3 简码字3 置后8");

    RelationResult more =
        RelateShortAndFullCodes(entries, Lines({"xxxx 工 节 茸", "xxxx 工 茸 节 萁"}), TextEncoding::Gbk);
    EXPECT_EQ(more.reorderedText, Lines({"xxxx 节 茸 工", "xxxx 茸 萁 节 工"}));
}

TEST(Relation, Edges) {
    EXPECT_EQ(RelationStatus(RelateShortAndFullCodes("", "", TextEncoding::Gbk)),
              "行数:全部简码0 简码全码0 简码字0 置后0");
    // No entries: lines other than two tokens are rejoined by single spaces.
    RelationResult r = RelateShortAndFullCodes("", Lines({"a  工\t戈 ", "b   子", "   ", "c"}), TextEncoding::Gbk);
    EXPECT_EQ(r.reorderedText, Lines({"a 工 戈", "b   子", "", "c"}));
    EXPECT_EQ(r.reorderedCount, 4u);
    // Two short-coded words on one line swap.
    std::string entries = Lines({"a 工", "b 式", "aaaa 工", "bbbb 式"});
    EXPECT_EQ(RelateShortAndFullCodes(entries, G("x 工 式"), TextEncoding::Gbk).reorderedText, G("x 式 工"));
    // Two-letter and three-letter entry, no four-letter: the three-letter one is a full code.
    RelationResult two = RelateShortAndFullCodes(Lines({"ab 工", "abc 工"}), "", TextEncoding::Gbk);
    EXPECT_EQ(two.fullCodesText, G("abc 工"));
    EXPECT_EQ(two.shortCodesText, G("ab 工"));
    // Three- and four-letter entries only: the three-letter one is a short code.
    RelationResult three = RelateShortAndFullCodes(Lines({"abc 工", "abcd 工"}), "", TextEncoding::Gbk);
    EXPECT_EQ(three.shortCodesText, G("abc 工"));
    EXPECT_EQ(three.fullCodesText, G("abcd 工"));
    // Two four-letter entries with a shorter one: the word twice.
    EXPECT_EQ(RelateShortAndFullCodes(Lines({"a 工", "abcd 工", "abce 工"}), "", TextEncoding::Gbk).wordsCount, 2u);
    // Substring in the pools, whole words in the reordering; case ignored in both.
    RelationResult sub = RelateShortAndFullCodes(Lines({"ab 工作", "abcd 工", "ab Word", "abcd word"}),
                                                 Lines({"x 工作 人 式", "y WORD 人 式"}), TextEncoding::Gbk);
    EXPECT_EQ(sub.wordsText, Lines({"工", "word"}));
    EXPECT_EQ(sub.reorderedText, Lines({"x 工作 人 式", "y 人 式 WORD"}));
    // A word holding a comma never matches on a source line.
    RelationResult comma = RelateShortAndFullCodes(Lines({"a x,y", "abcd x,y"}), G("q x,y z w"), TextEncoding::Gbk);
    EXPECT_EQ(comma.wordsText, "x");
    EXPECT_EQ(comma.reorderedText, G("q x,y z w"));
}

TEST(Relation, WordlessLinesAreNeverFullCodes) {
    // "abc " has a tail of one space, found in every non-empty pool; it used to
    // end the command reading a second token that isn't there.
    std::string entries = "a x\r\nabc \r\nabcd \r\nabcd y";
    RelationResult r;
    ASSERT_NO_THROW(r = RelateShortAndFullCodes(entries, "q x y", TextEncoding::Gbk));
    EXPECT_EQ(r.fullCodesCount, 0u);
    EXPECT_EQ(r.wordsText, "");
    EXPECT_EQ(r.shortCodesText, "a x\r\nabc");
}

TEST(Relation, ReorderingALongLineIsLinear) {
    // 20,000 words on one line, every one short-coded: each pass moves one, and
    // shifting the rest of the line each time would relocate ~c²/4 tokens.
    const std::size_t c = 20000;
    std::vector<std::string> words;
    LineList tokens;
    tokens.append("aaaa");
    for (std::size_t i = 0; i < c - 1; ++i) {
        words.push_back("w" + std::to_string(i));
        tokens.append(words.back());
    }
    const WordSet set(words, TextEncoding::Gbk);
    std::size_t relocations = 0;
    ReorderCandidates(tokens, set, &relocations);
    EXPECT_LE(relocations, 2 * c);
    // Every other word is stepped over after a move: odd positions first, then
    // the moved ones, the last of which was itself moved once more.
    ASSERT_EQ(tokens.count(), c);
    EXPECT_EQ(tokens.at(0), "aaaa");
    EXPECT_EQ(tokens.at(1), "w1");
    EXPECT_EQ(tokens.at(2), "w3");
}

// The word set answers as a search of the list under the collation does, one
// word at a time or many at once, for words held in their slot and longer
// ones (five characters and more), words equal but for case, and words that
// only begin like one in the set.
TEST(Relation, WordSetFindsWhatTheListHolds) {
    const std::vector<std::string> pieces = {"a", "B", G("工"), G("人"), G("ａ"), "\x01", "\x81\x30\x81\x30"};
    std::mt19937 rng(1208);
    auto randomWord = [&] {
        std::string w;
        const int n = std::uniform_int_distribution<int>(1, 8)(rng);
        for (int i = 0; i < n; ++i) w += pieces[rng() % pieces.size()];
        return w;
    };
    std::vector<std::string> held;
    for (int i = 0; i < 300; ++i) held.push_back(randomWord());
    std::vector<std::string> asked = held;
    for (int i = 0; i < 600; ++i) asked.push_back(randomWord());
    for (const std::string& w : held) asked.push_back(w + "a");
    for (TextEncoding e : {TextEncoding::Gbk, TextEncoding::Gb18030}) {
        LineList list;
        for (const std::string& w : held) list.append(w);
        const WordSet set(held, e);
        std::vector<std::string_view> views(asked.begin(), asked.end());
        std::vector<char> found;
        set.containsEach(views, found);
        ASSERT_EQ(found.size(), asked.size());
        std::size_t longOnes = 0;
        for (std::size_t i = 0; i < asked.size(); ++i) {
            const bool listed = FindLine(list, asked[i], e) >= 0;
            longOnes += listed && asked[i].size() > 10;
            EXPECT_EQ(set.contains(asked[i]), listed) << "word " << i;
            EXPECT_EQ(found[i] != 0, listed) << "word " << i;
        }
        EXPECT_GT(longOnes, 50u);
    }
}

// The source cut in two halves (after the line feed past its middle) is
// written and counted as it is done in one go, whatever its line breaks.
TEST(Relation, SourceDoneInTwoHalvesAsInOne) {
    const WordSet words(std::vector<std::string>{"x", "y"}, TextEncoding::Gbk);
    struct Case {
        const char* name;
        std::string source;
    };
    const std::vector<Case> cases = {
        {"CR LF", "a x y z\r\nb y x\r\nc x y\r\nd z x y\r\n"},
        {"no break at the end", "a x y z\r\nb y x\r\nc x y\r\nd z x y"},
        {"LF alone", "a x y z\nb y x\nc x y\nd z x y\n"},
        {"CR alone: no line feed to cut after", "a x y z\rb y x\rc x y\rd z x y\r"},
        {"LF then CR: an empty line after the cut", "a x y z\n\rb y x\n\rc x y\n\rd z x y"},
        {"the only line feed in the first half", "a x\nb x y z y x y x y x y x y x y x y x"},
        {"a NUL ends the text", std::string("a x y z\r\nb y x\r\n\0c x y\r\nd z x y\r\n", 33)},
        {"quoted tokens", "a \"x y\" x y\r\nb \"\" y x\r\n\"c d\" x \"y\" z\r\nd x y\r\n"},
        {"blank lines", "\r\n\r\na x y z\r\n\r\n\r\nb y x\r\n\r\n"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::string whole = "kept", halves = "kept";
        std::size_t wholeCount = 1, halvesCount = 1;
        ReorderSourceLines(c.source, words, std::string::npos, whole, wholeCount);
        ReorderSourceLines(c.source, words, 0, halves, halvesCount);
        EXPECT_EQ(halves, whole);
        EXPECT_EQ(halvesCount, wholeCount);
        EXPECT_GT(wholeCount, 1u);
    }
}
