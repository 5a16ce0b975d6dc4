// Coding new words from a table's character codes, and merging them into a table.
#include <gtest/gtest.h>

#include <algorithm>

#include "core/failure.h"
#include "core/text.h"
#include "resources/resources.h"
#include "tests/test_util.h"
#include "wubi/encode.h"
#include "wubi/merge.h"
#include "transform/expand.h"
#include "transform/group.h"

using namespace zelmora;
using testutil::G;
using testutil::Lines;
using testutil::U;

namespace {

const std::vector<formats::PhraseRule>& Wubi86() { return formats::WubiPhraseRules(); }

const CharacterTable& Builtin() {
    static const CharacterTable table = BuildCharacterTable(OpenBuiltinTable().bytes());
    return table;
}

std::vector<std::string> CodesOf(const CharacterTable& t, const char* utf8Word) {
    WordCodes r = EncodeWord(t, G(utf8Word), Wubi86());
    EXPECT_TRUE(r.coded) << utf8Word << ": no code for " << U(r.missing);
    return r.codes;
}

using Codes = std::vector<std::string>;

}  // namespace

// Codes worked out by hand from the rules and the characters' full codes in the
// built-in table: 中 khk, 国 lgyi, 计 yfh, 算 thaj, 机 smn, 华 wxfj, 人 wwww,
// 民 nav, 共 awu, 经 xcag, 济 iyjh, 学 ipbf, 家 peu, 工 a/aa/aaa/aaaa.
TEST(EncodeBuiltin, RulesByWordLength) {
    const auto& t = Builtin();
    EXPECT_EQ(t.size(), 6763u);
    // One character: its longest code, not its short ones.
    EXPECT_EQ(CodesOf(t, "中"), Codes{"khk"});
    EXPECT_EQ(CodesOf(t, "工"), Codes{"aaaa"});
    EXPECT_EQ(CodesOf(t, "人"), Codes{"wwww"});
    // Two characters: two keys of each.
    EXPECT_EQ(CodesOf(t, "中国"), Codes{"khlg"});
    EXPECT_EQ(CodesOf(t, "学家"), Codes{"ippe"});
    EXPECT_EQ(CodesOf(t, "人工"), Codes{"wwaa"});
    // Three characters: one key, one key, two keys.
    EXPECT_EQ(CodesOf(t, "计算机"), Codes{"ytsm"});
    EXPECT_EQ(CodesOf(t, "中国人"), Codes{"klww"});
    // Four or more: first keys of the first three and of the last.
    EXPECT_EQ(CodesOf(t, "经济学家"), Codes{"xiip"});
    EXPECT_EQ(CodesOf(t, "中华人民共"), Codes{"kwwa"});
    EXPECT_EQ(CodesOf(t, "中华人民共和国"), Codes{"kwwl"});
}

TEST(EncodeBuiltin, UncodableCharacters) {
    const auto& t = Builtin();
    struct Case {
        std::string word, missing;
    };
    const std::string fourByte = testutil::Convert("GB18030", "UTF-8", "𠀀");
    ASSERT_EQ(fourByte.size(), 4u);
    const std::vector<Case> cases = {
        {G("中A国"), "A"},
        {G("中国，"), G("，")},     // a punctuation mark of GB 2312
        {G("中国人民银行x"), "x"},  // the unused middle of a long word still counts
        {G("中") + fourByte + G("国"), fourByte},
        {G("中") + "\x81", "\x81"},  // a lead byte at the end stands alone
    };
    for (const auto& c : cases) {
        WordCodes r = EncodeWord(t, c.word, Wubi86());
        EXPECT_FALSE(r.coded) << U(c.word);
        EXPECT_TRUE(r.codes.empty());
        EXPECT_EQ(r.missing, c.missing) << U(c.word);
    }
}

TEST(EncodeUserTable, LongestCodesAndCombinations) {
    // 甲 has two full codes of four keys, differing in the first two; 乙 two
    // that share their first key; 丙 a short and a long code; phrases and a
    // line of two characters' codes play no part.
    const std::string table =
        Lines({"ab 甲", "abcd 甲", "fgcd 甲", "xy 乙 丙", "xyzw 乙", "xqzw 乙", "mnop 丙", "abxy 甲乙", "mmmm 甲乙丙"});
    CharacterTable t = BuildCharacterTable(table);
    EXPECT_EQ(t.size(), 3u);
    ASSERT_NE(t.fullCodes(G("甲")), nullptr);
    EXPECT_EQ(*t.fullCodes(G("甲")), (Codes{"abcd", "fgcd"}));
    EXPECT_EQ(*t.fullCodes(G("丙")), (Codes{"mnop"}));
    EXPECT_EQ(t.fullCodes(G("丁")), nullptr);

    EXPECT_EQ(CodesOf(t, "甲"), (Codes{"abcd", "fgcd"}));
    EXPECT_EQ(CodesOf(t, "乙"), (Codes{"xyzw", "xqzw"}));
    // Two characters: 2 x 2 combinations, first character varying slowest.
    EXPECT_EQ(CodesOf(t, "甲乙"), (Codes{"abxy", "abxq", "fgxy", "fgxq"}));
    EXPECT_EQ(CodesOf(t, "丙甲"), (Codes{"mnab", "mnfg"}));
    // Three: 乙's two codes share their first key, so only 甲 multiplies.
    EXPECT_EQ(CodesOf(t, "乙丙甲"), (Codes{"xmab", "xmfg"}));
    // Four or more: only the first keys of the first three and the last.
    EXPECT_EQ(CodesOf(t, "甲乙丙乙甲"), (Codes{"axma", "axmf", "fxma", "fxmf"}));
}

TEST(EncodeUserTable, CombinationsAreCapped) {
    // Five full codes for one character, three for another: 15 codes for a
    // two-character word, 5 x 3 x 5 x 3 for a four-character one.
    const std::string table =
        Lines({"aaaa 甲", "bbbb 甲", "cccc 甲", "dddd 甲", "eeee 甲", "vvvv 乙", "wwww 乙", "xxxx 乙"});
    CharacterTable t = BuildCharacterTable(table);
    WordCodes r = EncodeWord(t, G("甲乙甲乙"), Wubi86());
    ASSERT_TRUE(r.coded);
    EXPECT_EQ(r.combinations, 225u);
    ASSERT_EQ(r.codes.size(), kMaxCodesPerWord);
    EXPECT_EQ(r.codes[0], "avav");
    EXPECT_EQ(r.codes[2], "avax");
    EXPECT_EQ(r.codes[3], "avbv");
    EXPECT_EQ(r.codes[14], "avex");
    EXPECT_EQ(r.codes[15], "awav");

    EncodeResult list = EncodeWordList(t, G("甲乙\n甲乙甲乙\n"), Wubi86());
    EXPECT_EQ(list.entries.size(), 15u + kMaxCodesPerWord);
    ASSERT_EQ(list.capped.size(), 1u);
    EXPECT_EQ(list.capped[0].line, 2u);
    EXPECT_EQ(list.capped[0].combinations, 225u);
}

TEST(EncodeUserTable, FourByteCharacter) {
    const std::string four = testutil::Convert("GB18030", "UTF-8", "𠀀");
    const std::string table = "abcd " + four + "\r\nab " + four + "\r\nxyzw " + G("甲");
    CharacterTable t = BuildCharacterTable(table);
    WordCodes r = EncodeWord(t, four + G("甲"), Wubi86());
    ASSERT_TRUE(r.coded);
    EXPECT_EQ(r.codes, Codes{"abxy"});
    EXPECT_EQ(EncodeWord(t, four, Wubi86()).codes, Codes{"abcd"});
}

TEST(EncodeUserTable, KeysAreWholeCharactersOfTheCode) {
    // A code of a letter and a Chinese character: its first two keys are both
    // characters, never the letter and half of the character.
    const std::string table = G("a中 节\r\n");
    CharacterTable t = BuildCharacterTable(table);
    EXPECT_EQ(EncodeWord(t, G("节节"), Wubi86()).codes, Codes{G("a中a中")});
    EXPECT_EQ(EncodeWord(t, G("节节节"), Wubi86()).codes, Codes{G("aaa中")});
    // So the merged line reads back as written: merging again adds nothing.
    EncodeResult r = EncodeWordList(t, G("节节"), Wubi86());
    std::size_t added = 0, again = 0;
    const std::string merged = MergeIntoGroupLines(table, r.entries, &added);
    EXPECT_EQ(added, 1u);
    EXPECT_EQ(MergeIntoGroupLines(merged, r.entries, &again), merged);
    EXPECT_EQ(again, 0u);
}

namespace {

// A rule as the table readers give it: keys {character, key}, both 1-based,
// a negative character counted from the last.
formats::PhraseRule Rule(bool atLeast, int length, std::vector<formats::PhraseRule::Key> keys) {
    return formats::PhraseRule{atLeast, length, std::move(keys)};
}

// 甲 abcd, 乙 efgh, 丙 ijkl, 丁 mnop, and 戊 with a full code of two keys.
CharacterTable RuleTable() { return BuildCharacterTable(Lines({"abcd 甲", "efgh 乙", "ijkl 丙", "mnop 丁", "xy 戊"})); }

}  // namespace

TEST(EncodeByRules, TheRuleForTheWordsLengthTakesItsKeysInOrder) {
    // Listed out of order: the rule for four or more before the one for
    // exactly five, the one for six or more last.
    const std::vector<formats::PhraseRule> rules = {
        Rule(true, 4, {{1, 1}, {2, 1}, {-1, 1}, {-1, 2}}),
        Rule(false, 2, {{1, 1}, {1, 2}, {2, 1}}),
        Rule(false, 3, {{1, 1}, {1, 2}, {2, 1}, {3, 1}}),
        Rule(false, 5, {{5, 1}, {4, 1}, {3, 1}, {2, 1}}),
        Rule(true, 6, {{6, 1}, {1, 1}}),
    };
    const CharacterTable t = RuleTable();
    struct Case {
        const char* word;
        std::string code;
    };
    const Case cases[] = {
        {"甲", "abcd"},            // one character: its full code, whatever the rules
        {"甲乙", "abe"},           // two keys of the first, one of the second
        {"乙甲", "efa"},           //
        {"甲乙丙", "abei"},        // two keys of the first, one of the others
        {"甲乙丙丁", "aemn"},      // four or more: the last character's first two keys
        {"甲乙丙丁甲", "amie"},    // exactly five comes before four or more
        {"甲乙丙丁甲乙", "ea"},    // six or more is nearer than four or more
        {"丁丙乙甲丁丙乙", "im"},  // and holds for seven
        {"戊戊", "xyx"},           //
    };
    for (const Case& c : cases) {
        WordCodes r = EncodeWord(t, G(c.word), rules);
        ASSERT_TRUE(r.coded) << c.word;
        EXPECT_EQ(r.codes, Codes{c.code}) << c.word;
    }
}

TEST(EncodeByRules, WordsTheRulesCannotCode) {
    using K = formats::PhraseRule::Key;
    const CharacterTable t = RuleTable();
    struct Case {
        const char* name;
        std::vector<formats::PhraseRule> rules;
        const char* word;
        std::string code;  // when coded; otherwise why not, and what the note names
        Uncoded why;
        const char* missing;
        std::size_t characters;
        int asked;
    };
    const std::vector<Case> cases = {
        {"keys 3 and 4 of a two-key code",
         {Rule(false, 2, {K{1, 1}, {1, 2}, {2, 3}, {2, 4}})},
         "甲戊",
         "",
         Uncoded::NoSuchKey,
         "戊",
         2,
         3},
        {"the same rule, the short code first",
         {Rule(false, 2, {K{1, 1}, {1, 2}, {2, 3}, {2, 4}})},
         "戊甲",
         "xycd",
         {},
         "",
         0,
         0},
        {"a key beyond the code beside one within it is left out",
         {Rule(false, 2, {K{1, 1}, {1, 2}, {2, 2}, {2, 3}})},
         "甲戊",
         "aby",
         {},
         "",
         0,
         0},
        {"no rule for three characters", {Rule(false, 2, {K{1, 1}, {3, 1}})}, "甲乙丙", "", Uncoded::NoRule, "", 3, 0},
        {"no rules at all", {}, "甲乙", "", Uncoded::NoRule, "", 2, 0},
        {"a character beyond the word",
         {Rule(false, 2, {K{1, 1}, {3, 1}})},
         "甲乙",
         "",
         Uncoded::NoSuchCharacter,
         "",
         2,
         3},
        {"a character beyond the word, from the last",
         {Rule(true, 3, {K{1, 1}, {-4, 1}})},
         "甲乙丙",
         "",
         Uncoded::NoSuchCharacter,
         "",
         3,
         -4},
        {"the same rule on a longer word", {Rule(true, 3, {K{1, 1}, {-4, 1}})}, "丁丙乙甲", "mm", {}, "", 0, 0},
        {"a character without a code comes first",
         {Rule(false, 2, {K{1, 1}})},
         "甲己丙",
         "",
         Uncoded::NoCharacterCode,
         "己",
         0,
         0},
    };
    for (const Case& c : cases) {
        WordCodes r = EncodeWord(t, G(c.word), c.rules);
        if (!c.code.empty()) {
            EXPECT_TRUE(r.coded) << c.name;
            EXPECT_EQ(r.codes, Codes{c.code}) << c.name;
            continue;
        }
        EXPECT_FALSE(r.coded) << c.name;
        EXPECT_TRUE(r.codes.empty()) << c.name;
        EXPECT_EQ(r.why, c.why) << c.name;
        EXPECT_EQ(r.missing, G(c.missing)) << c.name;
        EXPECT_EQ(r.characters, c.characters) << c.name;
        EXPECT_EQ(r.asked, c.asked) << c.name;
    }

    // A word list notes why each word was left out, by its line.
    EncodeResult list =
        EncodeWordList(t, G("戊甲\n甲戊\n甲乙丙\n"), {Rule(false, 2, {K{1, 1}, {1, 2}, {2, 3}, {2, 4}})});
    ASSERT_EQ(list.entries.size(), 1u);
    EXPECT_EQ(list.entries[0].code, "xycd");
    ASSERT_EQ(list.leftOut.size(), 2u);
    EXPECT_EQ(list.leftOut[0].line, 2u);
    EXPECT_EQ(list.leftOut[0].why, Uncoded::NoSuchKey);
    EXPECT_EQ(list.leftOut[0].character, G("戊"));
    EXPECT_EQ(list.leftOut[0].asked, 3);
    EXPECT_EQ(list.leftOut[1].line, 3u);
    EXPECT_EQ(list.leftOut[1].why, Uncoded::NoRule);
    EXPECT_EQ(list.leftOut[1].characters, 3u);
}

TEST(EncodeByRules, TheKeysOfOneCharacterComeFromOneOfItsFullCodes) {
    // 甲 has two full codes; the rule takes its first key, then 乙's, then
    // its second: "axb" and "fxg", never a mix of the two codes ("axg").
    const CharacterTable t = BuildCharacterTable(Lines({"abcd 甲", "fgcd 甲", "xyzw 乙"}));
    WordCodes r = EncodeWord(t, G("甲乙"), {Rule(false, 2, {{1, 1}, {2, 1}, {1, 2}})});
    ASSERT_TRUE(r.coded);
    EXPECT_EQ(r.codes, (Codes{"axb", "fxg"}));
    EXPECT_EQ(r.combinations, 2u);
    // Codes that differ only in keys the rule doesn't take count once.
    r = EncodeWord(t, G("甲乙"), {Rule(false, 2, {{1, 3}, {2, 1}})});
    EXPECT_EQ(r.codes, (Codes{"cx"}));
    EXPECT_EQ(r.combinations, 1u);

    // So with many full codes (looked up in a hash): 40 codes of 丙, two for
    // each of 20 pairs of keys 1 and 3.
    CharacterTable many = BuildCharacterTable(Lines({"wxyz 乙"}));
    Codes expected;
    for (int i = 0; i < 20; ++i) {
        const char first = static_cast<char>('a' + i % 5), third = static_cast<char>('a' + i / 5);
        for (char second : {'x', 'y'}) many.add(std::string{first, second, third, 'z'}, G("丙"));
        if (expected.size() < kMaxCodesPerWord) expected.push_back(std::string{first, 'w', third});
    }
    r = EncodeWord(many, G("丙乙"), {Rule(false, 2, {{1, 1}, {2, 1}, {1, 3}})});
    EXPECT_EQ(r.combinations, 20u);
    EXPECT_EQ(r.codes, expected);
}

TEST(EncodeWordList, LinesWeightsAndLeftOutWords) {
    // CR LF, LF and CR line ends, blank lines, blanks around words and weights,
    // a repeated word, words with uncoded characters.
    const std::string list = G("中国\t100\r\n\r\n 计算机 \t 7 8 \nABC\r学家\t\n中A\n中国\t5\n中\n");
    EncodeResult r = EncodeWordList(Builtin(), list, Wubi86());
    ASSERT_EQ(r.entries.size(), 4u);
    EXPECT_EQ(r.entries[0].code, "khlg");
    EXPECT_EQ(r.entries[0].word, G("中国"));
    EXPECT_EQ(r.entries[0].weight, std::optional<std::string>("100"));
    EXPECT_EQ(r.entries[0].line, 1u);
    EXPECT_EQ(r.entries[1].code, "ytsm");
    EXPECT_EQ(r.entries[1].word, G("计算机"));
    EXPECT_EQ(r.entries[1].weight, std::optional<std::string>("7 8"));
    EXPECT_EQ(r.entries[1].line, 3u);
    EXPECT_EQ(r.entries[2].code, "ippe");
    EXPECT_EQ(r.entries[2].weight, std::nullopt);  // a tab without a weight
    EXPECT_EQ(r.entries[2].line, 5u);
    // The second 中国 is not repeated; its weight doesn't replace the first.
    EXPECT_EQ(r.entries[3].code, "khk");
    EXPECT_EQ(r.entries[3].line, 8u);

    ASSERT_EQ(r.leftOut.size(), 2u);
    EXPECT_EQ(r.leftOut[0].line, 4u);
    EXPECT_EQ(r.leftOut[0].word, "ABC");
    EXPECT_EQ(r.leftOut[0].character, "A");
    EXPECT_EQ(r.leftOut[1].line, 6u);
    EXPECT_EQ(r.leftOut[1].character, "A");
    EXPECT_TRUE(r.capped.empty());
}

TEST(EncodeOutput, SameBytesAsTheExpansion) {
    // Codes in a table of mixed case and words that collate apart from their
    // bytes: the output must be what the expansion (and grouping) makes of them.
    const std::string table = Lines({"abcd 甲", "Abce 甲", "xyzw 乙", "XYzz 乙", "mnop 丙", "aaaa 工", "wwww 人"});
    CharacterTable t = BuildCharacterTable(table);
    EncodeResult r = EncodeWordList(t, G("甲乙\t3\n乙甲\n丙\n甲\n工人\n人工\n乙丙甲\n甲乙丙工人\n"), Wubi86());
    ASSERT_TRUE(r.leftOut.empty());
    std::vector<std::string> raw;
    for (const auto& e : r.entries) raw.push_back(e.code + " " + e.word);
    const std::string expanded = ExpandToEntryLines(JoinLines(raw), TextEncoding::Gbk);
    EXPECT_EQ(FormatEncodedEntries(r.entries, false, TextEncoding::Gbk), expanded);
    EXPECT_EQ(FormatEncodedEntries(r.entries, true, TextEncoding::Gbk), GroupEqualCodes(expanded));

    // Weights travel with their entries through the sort.
    std::vector<std::uint32_t> order = ExpansionOrder(r.entries, TextEncoding::Gbk);
    std::vector<std::string> sortedLines = SplitLines(expanded).lines();
    ASSERT_EQ(order.size(), sortedLines.size());
    for (std::size_t k = 0; k < order.size(); ++k) {
        const auto& e = r.entries[order[k]];
        EXPECT_EQ(e.code + " " + e.word, sortedLines[k]);
        EXPECT_EQ(e.weight.has_value(), e.word == G("甲乙"));
    }
}

TEST(EncodeOutput, BuiltinCharactersGroupUnderTheirFullCodes) {
    // Every character of the built-in table coded as a one-character word and
    // grouped: each group line's code is the longest code of its words.
    std::string list;
    std::string table = OpenBuiltinTable().readAll();
    for (const auto& line : SplitLines(table)) {
        LineList tokens = SplitTokens(line);
        for (std::size_t j = 1; j < tokens.count(); ++j) list += tokens.lines()[j] + "\n";
    }
    EncodeResult r = EncodeWordList(Builtin(), list, Wubi86());
    EXPECT_TRUE(r.leftOut.empty());
    EXPECT_EQ(r.entries.size(), 6763u);  // no character has two full codes in the built-in table
    std::string grouped = FormatEncodedEntries(r.entries, true, TextEncoding::Gbk);
    for (const auto& g : SplitLines(grouped)) {
        LineList tokens = SplitTokens(g);
        ASSERT_GE(tokens.count(), 2u);
        for (std::size_t j = 1; j < tokens.count(); ++j) {
            const auto* codes = Builtin().fullCodes(tokens.lines()[j]);
            ASSERT_NE(codes, nullptr);
            EXPECT_EQ(codes->front(), tokens.lines()[0]);
        }
    }
}

TEST(MergeIntoGroupLines, AddsAfterExistingCandidatesWithoutDuplicates) {
    const std::string table = Lines({"a 工", "ipp 另", "khlg 口力 国中", "khlg 旧", "ytsm 计算机", "zz"}) + "\r\n";
    std::vector<EncodedEntry> add = {
        {"khlg", G("中国"), std::nullopt, 1},    // after the last line of its code
        {"ytsm", G("计算机"), std::nullopt, 2},  // already there
        {"ippe", G("学家"), std::nullopt, 3},    // a new code, at its place in byte order
        {"ippe", G("学家"), std::nullopt, 4},    // twice in the list
        {"khlg", G("中国"), std::nullopt, 5},   {"ab", G("式"), std::nullopt, 6},
        {"ippe", G("学"), std::nullopt, 7},  // a second word for the same new code
        {"zzz", G("末"), std::nullopt, 8},   // after every code
        {"a", G("戈"), std::nullopt, 9},
    };
    std::size_t added = 0;
    std::string merged = MergeIntoGroupLines(table, add, &added);
    EXPECT_EQ(U(merged), U(Lines({"a 工 戈", "ab 式", "ipp 另", "ippe 学家 学", "khlg 口力 国中", "khlg 旧 中国",
                                  "ytsm 计算机", "zz", "zzz 末"}) +
                           "\r\n"));
    EXPECT_EQ(added, 6u);
    // Merging the same words again changes nothing.
    EXPECT_EQ(MergeIntoGroupLines(merged, add, &added), merged);
    EXPECT_EQ(added, 0u);
}

TEST(MergeIntoGroupLines, KeepsTheTablesLines) {
    // LF breaks, no final break, blank lines, trailing blanks, a line of a code
    // without words, quoted words and unsorted codes.
    const std::string table = G("x 乙  \n\n\"q\" \"a b\"\nb 丁\na");
    std::vector<EncodedEntry> add = {{"x", G("丙"), std::nullopt, 1},
                                     {"q", "a b", std::nullopt, 2},
                                     {"a", "c,d", std::nullopt, 3},
                                     {"ab", G("甲"), std::nullopt, 4}};
    std::string merged = MergeIntoGroupLines(table, add);
    // Codes out of byte order: a new code goes after the last line with a code,
    // and the table still ends without a line break.
    EXPECT_EQ(U(merged), U(G("x 乙 丙\n\n\"q\" \"a b\"\nb 丁\na \"c,d\"\nab 甲")));
    // The merged table expands to what the table plus the new pairs expand to.
    EXPECT_EQ(ExpandToEntryLines(merged, TextEncoding::Gbk),
              ExpandToEntryLines(table + "\nx " + G("丙") + "\na \"c,d\"\nab " + G("甲"), TextEncoding::Gbk));
    // Into an empty table: new lines in byte order of their codes.
    EXPECT_EQ(U(MergeIntoGroupLines("", add)), U(G("a \"c,d\"\r\nab 甲\r\nq \"a b\"\r\nx 丙\r\n")));
}

TEST(MergeIntoGroupLines, NewCodesInASortedTableWithTrailingLines) {
    // Sorted codes, a comment-like line without words at the top, blank lines
    // at the end, mixed line breaks: only the new lines are new bytes.
    const std::string table = "#\r\nb " + G("了") + "\r\nd " + G("在") + "\nf " + G("地") + "\r\n\r\n";
    std::vector<EncodedEntry> add = {{"g", G("一"), std::nullopt, 1},
                                     {"a", G("工"), std::nullopt, 2},
                                     {"c", G("以"), std::nullopt, 3},
                                     {"ca", G("又"), std::nullopt, 4}};
    std::size_t added = 0;
    EXPECT_EQ(U(MergeIntoGroupLines(table, add, &added)),
              U("#\r\na " + G("工") + "\r\nb " + G("了") + "\r\nc " + G("以") + "\r\nca " + G("又") + "\r\nd " +
                G("在") + "\nf " + G("地") + "\r\ng " + G("一") + "\r\n\r\n"));
    EXPECT_EQ(added, 4u);
}

TEST(MergeIntoGroupLines, LinesNothingCanFollowKeepTheirBytesAndGetALineAfter) {
    // An unclosed quote runs to the end of its line, and a lead byte at the
    // very end would pair with the blank before an appended word: in both, an
    // appended word would become part of an old one.
    const std::string table = G("abc \"工 戈  \r\nd 在") + "\x81\n" + G("e 了\n\"f\" 地");
    std::vector<EncodedEntry> add = {{"abc", G("式"), std::nullopt, 1},
                                     {"d", G("一"), std::nullopt, 2},
                                     {"d", G("二"), std::nullopt, 3},
                                     {"f", G("三"), std::nullopt, 4}};
    std::size_t added = 0;
    const std::string merged = MergeIntoGroupLines(table, add, &added);
    EXPECT_EQ(U(merged),
              U(G("abc \"工 戈  \r\nabc 式\r\n") + "d " + G("在") + "\x81\nd " + G("一 二\r\ne 了\n\"f\" 地 三")));
    EXPECT_EQ(added, 4u);
    // Read back, the old words are whole and the new ones follow them.
    EXPECT_EQ(ExpandToEntryLines(merged, TextEncoding::Gbk),
              ExpandToEntryLines(table + G("\nabc 式\nd 一 二\nf 三"), TextEncoding::Gbk));
    // And a second merge finds every pair already there.
    EXPECT_EQ(MergeIntoGroupLines(merged, add, &added), merged);
    EXPECT_EQ(added, 0u);
}

TEST(PlanMerge, PlacesByLineAndOrder) {
    std::vector<MergeLine> lines = {{"", {}}, {"aa", {"x"}}, {"ab", {"y"}}, {"aa", {"z"}}, {"", {}}};
    std::vector<EncodedEntry> add = {{"aa", "w", std::nullopt, 1},
                                     {"aa", "x", std::nullopt, 2},
                                     {"b", "v", std::nullopt, 3},
                                     {"a", "u", std::nullopt, 4},
                                     {"b", "t", std::nullopt, 5}};
    MergePlan plan = PlanMerge(lines, add);
    EXPECT_EQ(plan.added, 4u);
    // "aa" is on two lines: the new word follows the last one.
    EXPECT_EQ(plan.after[3], std::vector<std::size_t>{0});
    EXPECT_TRUE(plan.after[1].empty());
    // aa, ab, aa is out of byte order: new codes after the last line with a code.
    ASSERT_EQ(plan.newCodes.size(), 2u);
    EXPECT_EQ(plan.newCodes[0].entries, std::vector<std::size_t>{3});
    EXPECT_EQ(plan.newCodes[0].beforeLine, 4u);
    EXPECT_EQ(plan.newCodes[1].entries, (std::vector<std::size_t>{2, 4}));
    EXPECT_EQ(plan.newCodes[1].beforeLine, 4u);

    // In byte order: each new code before the first greater code.
    lines[3].code = "ac";
    plan = PlanMerge(lines, add);
    EXPECT_EQ(plan.after[1], std::vector<std::size_t>{0});  // "aa" is on one line now
    ASSERT_EQ(plan.newCodes.size(), 2u);
    EXPECT_EQ(plan.newCodes[0].beforeLine, 1u);  // a
    EXPECT_EQ(plan.newCodes[1].beforeLine, 4u);  // b, after ac
}

TEST(PlanMerge, ReadsOnlyTheLinesItsEntriesCanMeet) {
    // A large table: every line's code is looked at once (twice when new codes
    // are placed by order), but words are read only from lines of the entries'
    // codes, and nothing is kept per line.
    class Counted final : public MergeSource {
    public:
        std::size_t lineCount() const override { return 200000; }
        std::string_view code(std::size_t line) override {
            ++codesRead;
            code_ = "c" + std::string(6 - std::to_string(line).size(), '0') + std::to_string(line);
            return code_;
        }
        void words(std::size_t line, std::vector<std::string>& out) override {
            ++wordsRead;
            out = {"w" + std::to_string(line), "v"};
        }
        std::size_t codesRead = 0, wordsRead = 0;

    private:
        std::string code_;
    };
    Counted table;
    std::vector<EncodedEntry> add = {{"c000010", "new", std::nullopt, 1},
                                     {"c000010", "w10", std::nullopt, 2},  // already there
                                     {"c150000", "v", std::nullopt, 3},    // already there
                                     {"c000010a", "x", std::nullopt, 4}};  // a new code
    MergePlan plan = PlanMerge(table, add);
    EXPECT_EQ(table.wordsRead, 2u);
    EXPECT_LE(table.codesRead, 2 * 200000u);
    EXPECT_EQ(plan.added, 2u);
    ASSERT_EQ(plan.after.size(), 1u);
    EXPECT_EQ(plan.joining(10), std::vector<std::size_t>{0});
    EXPECT_TRUE(plan.joining(11).empty());
    ASSERT_EQ(plan.newCodes.size(), 1u);
    EXPECT_EQ(plan.newCodes[0].beforeLine, 11u);
}

TEST(EncodeOutput, WordsThatWouldSplitAreQuotedAndReadBackWhole) {
    // The comma, blank and quote have codes here, so words holding them are coded.
    const std::string table = Lines({"aaaa 工", "khk 中", "xxxx \",\"", "yyyy \" \"", "qqqq \"\"\"\""});
    CharacterTable t = BuildCharacterTable(table);
    EncodeResult r = EncodeWordList(t, G("工,中\n工 中\n工\"中\n工中\n"), Wubi86());
    ASSERT_TRUE(r.leftOut.empty());
    ASSERT_EQ(r.entries.size(), 4u);
    for (bool group : {false, true}) {
        const std::string out = FormatEncodedEntries(r.entries, group, TextEncoding::Gbk);
        std::vector<std::string> words;
        const LineList lines = SplitLines(out);
        for (const auto& line : lines.lines()) {
            LineList tokens = SplitTokens(line);
            for (std::size_t k = 1; k < tokens.count(); ++k) words.push_back(tokens.at(k));
        }
        std::sort(words.begin(), words.end());
        std::vector<std::string> expected = {G("工,中"), G("工 中"), G("工\"中"), G("工中")};
        std::sort(expected.begin(), expected.end());
        EXPECT_EQ(words, expected) << U(out);
    }
    EXPECT_NE(FormatEncodedEntries(r.entries, false, TextEncoding::Gbk).find(G("\"工,中\"")), std::string::npos);
    EXPECT_NE(FormatEncodedEntries(r.entries, false, TextEncoding::Gbk).find(G("\"工\"\"中\"")), std::string::npos);
    // The merge quotes the same way.
    const std::string merged = MergeIntoGroupLines("", r.entries);
    EXPECT_NE(merged.find(G("\"工,中\"")), std::string::npos) << U(merged);
}

TEST(EncodeWordList, ANulByteIsRefusedNamingItsLine) {
    // CR LF, CR and LF each end a line.
    for (auto [list, line] : {std::pair<std::string, int>{G("中\r\n国\r工\n中") + std::string("\0国\n", 3), 4},
                              {std::string("\0", 1), 1},
                              {G("中\r\n\r\n") + std::string("\0", 1), 3}}) {
        try {
            EncodeWordList(Builtin(), list, Wubi86());
            ADD_FAILURE() << "no failure for line " << line;
        } catch (const Failure& f) {
            EXPECT_EQ(std::string(f.what()).rfind("Line " + std::to_string(line) + " of the word list holds a NUL", 0),
                      0u)
                << f.what();
        }
    }
    // A table with one: nothing merged, nothing cut.
    const std::string table = G("aaaa 工\r\nbbbb 子") + std::string("\0", 1) + G("了\r\ncccc 又\r\n");
    EncodeResult r = EncodeWordList(Builtin(), G("中\n"), Wubi86());
    try {
        MergeIntoGroupLines(table, r.entries);
        ADD_FAILURE() << "merged into a table with a NUL byte";
    } catch (const Failure& f) {
        EXPECT_EQ(std::string(f.what()).rfind("Line 2 of the table holds a NUL", 0), 0u) << f.what();
    }
    EXPECT_THROW(BuildCharacterTable(table), Failure);
}

// A table ordered by weight: 甲 and 乙 under "aa" with the weights given, then
// 丙 and 丁 merged with theirs. What each new word is written with, and the
// code's candidates as the table reads back.
TEST(MergeIntoTable, NewWordsStayAfterTheCandidatesOfATableOrderedByWeight) {
    using W = std::optional<std::string>;
    struct Case {
        const char* what;
        formats::Format format;
        std::vector<std::string> existing;  // weights of 甲, 乙
        std::vector<W> added;               // weights of 丙, 丁 (as many as given)
        MergeOrder order;
        std::vector<W> written;
        const char* candidates;
    };
    const auto Rime = formats::Format::Rime, Ibus = formats::Format::Ibus;
    const auto After = MergeOrder::AfterExisting, ByWeight = MergeOrder::ByWeight;
    const std::vector<Case> cases = {
        {"a high weight", Rime, {"50", "7"}, {"999999999"}, After, {"6"}, "甲 乙 丙"},
        {"no weight", Rime, {"50", "7"}, {std::nullopt}, After, {std::nullopt}, "甲 乙 丙"},
        {"already lower", Rime, {"50", "7"}, {"3"}, After, {"3"}, "甲 乙 丙"},
        {"below a fraction", Rime, {"0.5", "9"}, {"9"}, After, {"0"}, "乙 甲 丙"},
        {"a tie at 0", Rime, {"0", "5"}, {"9"}, After, {"0"}, "乙 甲 丙"},
        {"a tie below 0", Rime, {"-2", "-1"}, {std::nullopt}, After, {"-2"}, "乙 甲 丙"},
        {"two, by their weights", Rime, {"5", "8"}, {"10", "20"}, After, {"3", "4"}, "乙 甲 丁 丙"},
        {"kept when asked", Rime, {"50", "7"}, {"999999999"}, ByWeight, {"999999999"}, "丙 甲 乙"},
        {"a high frequency", Ibus, {"8", "3"}, {"999999999"}, After, {"2"}, "甲 乙 丙"},
        {"no frequency", Ibus, {"8", "3"}, {std::nullopt}, After, {"0"}, "甲 乙 丙"},
        {"a tie at frequency 0", Ibus, {"0", "0"}, {"5"}, After, {"0"}, "甲 乙 丙"},
    };
    const char* words[] = {"丙", "丁"};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        std::string table;
        if (c.format == Rime) {
            table =
                "---\nname: t\nversion: \"1\"\nsort: by_weight\ncolumns:\n  - text\n  - code\n  - weight\n...\n"
                "甲\taa\t" +
                c.existing[0] + "\n乙\taa\t" + c.existing[1] + "\n";
        } else {
            table =
                "SCIM_Generic_Table_Phrase_Library_TEXT\nVERSION_1_0\nBEGIN_DEFINITION\nNAME = t\n"
                "MAX_KEY_LENGTH = 4\nEND_DEFINITION\nBEGIN_TABLE\naa\t甲\t" +
                c.existing[0] + "\naa\t乙\t" + c.existing[1] + "\nEND_TABLE\n";
        }
        std::vector<EncodedEntry> add;
        for (std::size_t i = 0; i < c.added.size(); ++i) add.push_back({"aa", G(words[i]), c.added[i], i + 1});
        const MergedTable merged = MergeIntoTable(table, formats::Encoding::Utf8, formats::Format::Auto, add, c.order);
        const formats::TableDocument back = formats::ReadTable(merged.bytes, formats::Encoding::Utf8);
        std::string candidates;
        std::vector<W> written(c.added.size());
        for (const auto& e : back.entries) {
            candidates += (candidates.empty() ? "" : " ") + U(e.word);
            for (std::size_t i = 0; i < c.added.size(); ++i)
                if (e.word == G(words[i])) written[i] = e.weight;
        }
        EXPECT_EQ(candidates, c.candidates);
        EXPECT_EQ(written, c.written);
        // Every word whose weight changed is named, with both weights.
        std::size_t changed = 0;
        for (std::size_t i = 0; i < c.added.size(); ++i) {
            if (c.written[i] == c.added[i] || (c.format == Ibus && !c.added[i])) continue;
            ASSERT_LT(changed, merged.lowered.size());
            EXPECT_EQ(merged.lowered[changed].word, G(words[i]));
            EXPECT_EQ(merged.lowered[changed].from, c.added[i]);
            EXPECT_EQ(W(merged.lowered[changed].to), c.written[i]);
            ++changed;
        }
        EXPECT_EQ(merged.lowered.size(), changed);
    }
}
