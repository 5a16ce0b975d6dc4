// Text rules at their edges: line splitting, tokenizers, joining, trimming,
// character-boundary search, case folding, sort order of equal lines.
#include <gtest/gtest.h>

#include "core/collation.h"
#include "core/failure.h"
#include "core/text.h"
#include "tests/test_util.h"

using namespace zelmora;
using testutil::G;
using testutil::GVec;
using testutil::Vec;
using V = std::vector<std::string>;

TEST(SplitLines, LineEnds) {
    EXPECT_EQ(Vec(SplitLines("")), V{});
    EXPECT_EQ(Vec(SplitLines("\r\n")), V{""});
    EXPECT_EQ(Vec(SplitLines("a\r\n")), V{"a"});
    EXPECT_EQ(Vec(SplitLines("a\r\n\r\n")), (V{"a", ""}));
    EXPECT_EQ(Vec(SplitLines("a\n\rb")), (V{"a", "", "b"}));
    EXPECT_EQ(Vec(SplitLines("a\r\rb")), (V{"a", "", "b"}));
    EXPECT_EQ(Vec(SplitLines("a\r\n\nb")), (V{"a", "", "b"}));
    EXPECT_EQ(Vec(SplitLines("abc")), V{"abc"});
    EXPECT_EQ(Vec(SplitLines("a\n\nb\n")), (V{"a", "", "b"}));
}

TEST(SplitLines, NulEndsTheText) { EXPECT_EQ(Vec(SplitLines(std::string("a\r\nb\0c\r\nd", 9))), (V{"a", "b"})); }

TEST(JoinAndTrim, Edges) {
    EXPECT_EQ(JoinLines(LineList{}), "");
    EXPECT_EQ(JoinLines(LineList(V{""})), "\r\n");
    EXPECT_EQ(JoinLines(LineList(V{"a", "b"})), "a\r\nb\r\n");
    for (const auto& l : {V{"a", "", "b"}, V{"x"}, V{"", ""}}) EXPECT_EQ(Vec(SplitLines(JoinLines(LineList(l)))), l);
    EXPECT_EQ(TrimText(" \t\r\n  \r\n"), "");
    EXPECT_EQ(TrimText(std::string("\0 a b \0\r\n", 9)), "a b");
    EXPECT_EQ(TrimRightText("  a \t\r\n"), "  a");
    EXPECT_EQ(TrimRightText(" \t"), "");
}

TEST(TextLines, ReadBackAsTheViewsTakenAndJoinAsThem) {
    const std::string text = "a 工\r\n\r\nbb  \r\nccc";
    std::vector<std::string_view> lines;  // views into the text, the last at its end
    ForEachLine(text, [&](std::string_view line) { lines.push_back(line); });
    ASSERT_EQ(lines.size(), 4u);
    struct Case {
        std::vector<std::size_t> taken;  // indexes into `lines`, in the order taken
    };
    for (const Case& c : {Case{{}}, Case{{0}}, Case{{3, 1, 0}}, Case{{0, 1, 2, 3}}, Case{{2, 2}}}) {
        TextLines list(text);
        std::vector<std::string_view> views{"before"};  // appendTo keeps what is there
        for (std::size_t i : c.taken) {
            list.push_back(lines[i]);
            views.push_back(lines[i]);
        }
        ASSERT_EQ(list.size(), c.taken.size());
        for (std::size_t i = 0; i < list.size(); ++i) {
            EXPECT_EQ(list[i].data(), views[i + 1].data());
            EXPECT_EQ(list[i].size(), views[i + 1].size());
        }
        std::vector<std::string_view> appended{"before"};
        list.appendTo(appended);
        EXPECT_EQ(appended, views);
        EXPECT_EQ(JoinTrimmed(list), JoinTrimmed(std::vector<std::string_view>(views.begin() + 1, views.end())));
    }
}

struct TokenCase {
    const char* line;
    V comma;
    V space;
};

TEST(Tokenizers, TableOfCases) {
    const std::vector<TokenCase> cases = {
        {"aadn 慝 葚", {"aadn", "慝", "葚"}, {"aadn", "慝", "葚"}},
        {"a,b", {"a", "b"}, {"a,b"}},
        {"a,,b", {"a", "", "b"}, {"a,,b"}},
        {"a,", {"a", ""}, {"a,"}},
        {"a, ", {"a"}, {"a,"}},
        {",a", {"", "a"}, {",a"}},
        {",", {"", ""}, {","}},
        {"a , b", {"a", "b"}, {"a", ",", "b"}},
        {"a, ,b", {"a", "", "b"}, {"a,", ",b"}},
        {"  a  b  ", {"a", "b"}, {"a", "b"}},
        {"", {}, {}},
        {"  ", {}, {}},
        {"\"x y\",z", {"x y", "z"}, {"x y", ",z"}},
        {"\"a\"\"b\"", {"a\"b"}, {"a\"b"}},
        {"\"ab\"cd", {"ab", "cd"}, {"ab", "cd"}},
        {"a\"b", {"a\"b"}, {"a\"b"}},
        {"\"ab", {"ab"}, {"ab"}},
        {"\"\"", {""}, {""}},
        {"a\tb", {"a", "b"}, {"a", "b"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.line);
        V comma, space;
        for (const auto& t : c.comma) comma.push_back(G(t));
        for (const auto& t : c.space) space.push_back(G(t));
        EXPECT_EQ(Vec(SplitTokens(G(c.line))), comma);
        EXPECT_EQ(Vec(SplitBySpace(G(c.line))), space);
        std::string first;
        EXPECT_EQ(FirstToken(G(c.line), first), !comma.empty());
        if (!comma.empty()) {
            EXPECT_EQ(first, comma[0]);
        }
        EXPECT_EQ(CountTokens(G(c.line), 100), comma.size());
        // The same tokens as views into the line, where no quote makes them differ from its bytes.
        const std::string line = G(c.line);
        const bool unquoted = line.find('"') == std::string::npos;
        for (const bool bySpace : {false, true}) {
            std::vector<std::string_view> views{"stale"};
            EXPECT_EQ(bySpace ? SplitBySpaceInto(line, views) : SplitTokensInto(line, views), unquoted);
            EXPECT_EQ(V(views.begin(), views.end()), unquoted ? (bySpace ? space : comma) : V{});
            for (std::string_view v : views)
                EXPECT_TRUE(v.data() >= line.data() && v.end() <= line.data() + line.size());
        }
    }
}

TEST(Tokenizers, SeparatorAfterLeadByteBelongsToTheCharacter) {
    // 0x81 followed by a space or comma forms one (malformed) character.
    EXPECT_EQ(Vec(SplitTokens("a\x81 b")), V{"a\x81 b"});
    EXPECT_EQ(Vec(SplitTokens("a\x81,b c")), (V{"a\x81,b", "c"}));
    // A lead byte at the very end is a one-byte character.
    EXPECT_EQ(Vec(SplitTokens("a \x81")), (V{"a", "\x81"}));
    // Quotes are searched by characters: the quote after a lead byte is hidden.
    EXPECT_EQ(Vec(SplitTokens("\"a\x81\"b\" c")), (V{"a\x81\"b", "c"}));
}

TEST(QuotedToken, ReadsBackAsOneTokenWhateverTheBytesAfterALeadByte) {
    // A quote, comma or blank after a lead byte is part of that character:
    // the token must not double that quote, and a word with only such
    // bytes needs no quotes at all. A lead byte and a digit begin a
    // four-byte character only when a lead byte and a digit follow: else the
    // blank, comma or quote after them is a character of its own.
    const std::string extB = "\x95\x32\x82\x36";  // U+20000 in GB18030
    for (std::string word :
         {std::string("\x97\"hx"), std::string("a\x81\""), std::string("\"\x81\"\""), std::string("x\x81,y"),
          std::string("\x81 z"), std::string("a,b"), std::string("q\"r"), std::string(""), G("中") + "\x81\x31 x",
          std::string("\x81\x31,x"), std::string("\x81\x31\"x\""), std::string("\x81\x30\x81 x"), extB + " " + extB,
          extB + "\"", std::string("a\tb")}) {
        const std::string line = "code " + QuotedToken(word) + " next";
        EXPECT_EQ(Vec(SplitTokens(line)), (V{"code", word, "next"})) << line;
    }
    EXPECT_EQ(QuotedToken("x\x81,y"), "x\x81,y");
    EXPECT_EQ(QuotedToken("\x81\x31 x"), "\"\x81\x31 x\"");
}

TEST(QuotedToken, AWordEndingInALoneLeadByteReadsBackOnlyLastAndUnquoted) {
    // Its lead byte takes the byte after the token (a blank, a closing quote)
    // into its character.
    const struct {
        std::string word;
        bool open;
    } cases[] = {{"", false},
                 {"a", false},
                 {G("中"), false},
                 {"\x95\x32\x82\x36", false},
                 {"a\x81", true},
                 {"\x81", true},
                 {G("中") + "\x81", true},
                 {"a b\x81", true},
                 {"\x81\x81", false},
                 {"\x81\x30\x81", true},
                 {"\x81\x30\x81\x30\x81", true}};
    for (const auto& c : cases) {
        EXPECT_EQ(EndsInLoneLeadByte(c.word), c.open) << testutil::U(c.word);
        std::string line = "code ";
        AppendToken(line, c.word);
        EXPECT_EQ(line, "code " + QuotedToken(c.word));
        const bool back = Vec(SplitTokens(line + " next")) == V{"code", c.word, "next"};
        EXPECT_EQ(back, !c.open) << testutil::U(c.word);
    }
}

TEST(CharWidth, EveryByteOfAFourByteCharacterIsChecked) {
    const struct {
        std::string text;
        std::size_t at, width, pairs;
    } cases[] = {
        {"a", 0, 1, 1},
        {G("中"), 0, 2, 2},
        {"\x95\x32\x82\x36", 0, 4, 2},  // U+20000
        {"\x81\x30\x81\x30", 0, 4, 2},
        {"a\x81", 1, 1, 1},  // a lead byte that ends the text
        {"\x81\x30x", 0, 2, 2},
        {"\x81\x31 x", 0, 2, 2},        // the third byte is no lead byte
        {"\x81\x31\x81\x40", 0, 2, 2},  // the fourth is no digit
        {"\x81\x31\x31\x31", 0, 2, 2},
        {"\x81\x31\xFF\x31", 0, 2, 2},
        {"\x81 x", 0, 2, 2},
        {"\xFF\x30\x81\x30", 0, 1, 1},
        {"\x80\x40", 0, 1, 1},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(CharWidth(c.text, c.at), c.width) << testutil::U(c.text);
        EXPECT_EQ(PairWidth(c.text, c.at), c.pairs) << testutil::U(c.text);
    }
}

TEST(PositionOf, TriesTheSecondPairOfAFourByteCharacterAsTheDerivationsDo) {
    // U+20000 is 95 32 82 36: a search for "82 36" finds it at byte 3.
    EXPECT_EQ(PositionOf("\x82\x36", "\x95\x32\x82\x36"), 3u);
    EXPECT_TRUE(ContainsIgnoringCase(" \x95\x32\x82\x36", "\x82\x36"));
}

TEST(Trim, WhiteSpaceOfTheEnginesAndBlanksOfTheTextRules) {
    const struct {
        std::string text, white, blanks;
    } cases[] = {
        {" \t\r\n\v\fa b\f\v\n\r\t ", "a b", "a b"},
        {"\x01"
         "a\x1f",
         "\x01"
         "a\x1f",
         "a"},
        {std::string("\0 a\0", 4), std::string("\0 a\0", 4), "a"},
        {"\x1b x \x7f", "\x1b x \x7f", "x \x7f"},
        {" \t ", "", ""},
        {"", "", ""},
        {G("中 "), G("中"), G("中")},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(TrimWhiteSpace(c.text), c.white) << c.text;
        EXPECT_EQ(TrimControlAndSpace(c.text), c.blanks) << c.text;
        EXPECT_EQ(TrimText(c.text), c.blanks) << c.text;
    }
}

TEST(RefuseNulBytes, NamesTheLineAndTheText) {
    const std::string nul(1, '\0');
    const struct {
        std::string text;
        const char* what;
        std::size_t firstLine;
        std::string message;
    } cases[] = {
        {"a\r\nb\rc\nd" + nul, "table", 1, "Line 4 of the table holds a NUL byte"},
        {"a\r\n\r\n" + nul, "word list", 1, "Line 3 of the word list holds a NUL byte"},
        {"x" + nul + "\ny", nullptr, 7, "Line 7 holds a NUL byte"},
        {"a\nb" + nul, nullptr, 7, "Line 8 holds a NUL byte"},
        {"a\r\nb", "table", 1, ""},
    };
    for (const auto& c : cases) {
        std::string message;
        try {
            RefuseNulBytes(c.text, c.what, c.firstLine);
        } catch (const Failure& f) {
            message = f.what();
        }
        if (c.message.empty()) {
            EXPECT_EQ(message, "");
        } else {
            EXPECT_EQ(message, c.message + " (U+0000), which would cut the line short; remove it and try again");
        }
    }
}

TEST(JoinBySpace, Quoting) {
    EXPECT_EQ(JoinBySpace(LineList{}), "");
    EXPECT_EQ(JoinBySpace(LineList(V{""})), "\"\"");
    EXPECT_EQ(JoinBySpace(LineList(V{"a", "b"})), "a b");
    EXPECT_EQ(JoinBySpace(LineList(V{"a b"})), "\"a b\"");
    EXPECT_EQ(JoinBySpace(LineList(V{"a", "", "b"})), "a  b");
    EXPECT_EQ(JoinBySpace(LineList(V{"a\"b", "c"})), "\"a\"\"b\" c");
    EXPECT_EQ(JoinBySpace(LineList(V{"a\tb"})), "\"a\tb\"");
    // A quote hidden in a two-byte character needs no quoting.
    EXPECT_EQ(JoinBySpace(LineList(V{"\x81\"x"})), "\x81\"x");
    // Round trip through the space tokenizer.
    V tokens = {"x y", "q\"q", "plain", ""};
    EXPECT_EQ(Vec(SplitBySpace(JoinBySpace(LineList(tokens)))), (V{"x y", "q\"q", "plain"}));
    // Views appended to a text: that text, then what JoinBySpace gives.
    for (const V& list : {V{}, V{""}, V{"a", "b"}, V{"a b"}, V{"a", "", "b"}, V{"a\"b", "c"}, V{"\x81\"x"}, tokens}) {
        const std::vector<std::string_view> views(list.begin(), list.end());
        std::string out = "x";
        AppendJoinedBySpace(out, views);
        EXPECT_EQ(out, "x" + JoinBySpace(LineList(list)));
    }
}

TEST(PositionOf, CharacterBoundaries) {
    EXPECT_EQ(PositionOf(" ", G("工 a")), 3u);
    EXPECT_EQ(PositionOf("", "abc"), 0u);
    EXPECT_EQ(PositionOf("a", ""), 0u);
    // 工 is B9 A4, 式 is CA BD: "A4 CA" lies across two characters, "A4" is a trail byte.
    std::string text = G("工式");
    EXPECT_EQ(PositionOf("\xA4\xCA", text), 0u);
    EXPECT_EQ(PositionOf("\xCA\xBD", text), 3u);
    // A needle found first inside a character is searched again further on.
    std::string t2 = G("工") + "\xA4";
    EXPECT_EQ(PositionOf("\xA4", t2), 3u);
    EXPECT_EQ(PositionOf("abc", "ab"), 0u);
}

TEST(UpperAndContains, AsciiOnlyAndTrailBytesKept) {
    EXPECT_EQ(UpperText("abz{AZ"), "ABZ{AZ");
    // Trail bytes in the a..z range stay as they are.
    std::string t =
        "\x81"
        "a"
        "b";
    EXPECT_EQ(UpperText(t),
              "\x81"
              "a"
              "B");
    EXPECT_TRUE(ContainsIgnoringCase(" ABCD", " abc"));
    EXPECT_TRUE(ContainsIgnoringCase(G(" 工人 式"), G(" 工")));
    EXPECT_FALSE(ContainsIgnoringCase(G(" 工 人"), G(" 工人")));
    EXPECT_FALSE(ContainsIgnoringCase("abc", ""));
    EXPECT_FALSE(ContainsIgnoringCase("", "a"));
}

TEST(SortLines, EqualLinesComeOutInThePartitionOrder) {
    auto sorted = [](V v) {
        SortLines(v, TextEncoding::Gbk);
        return v;
    };
    EXPECT_EQ(sorted({"A", "a"}), (V{"a", "A"}));
    EXPECT_EQ(sorted({"B", "a", "A", "b"}), (V{"A", "a", "b", "B"}));
    EXPECT_EQ(sorted({"a", "A", "a", "A", "a"}), (V{"A", "a", "a", "a", "A"}));
    EXPECT_EQ(sorted({}), V{});
    EXPECT_EQ(sorted({"z"}), V{"z"});
    // A space sorts before letters; pinyin order for Chinese.
    EXPECT_EQ(sorted(GVec({"aad 式", "aa 式", "a 工"})), GVec({"a 工", "aa 式", "aad 式"}));
    EXPECT_EQ(sorted(GVec({"中", "安", "波"})), GVec({"安", "波", "中"}));
}

TEST(CompareLines, CaseAndWidthIgnoredIdenticalEqual) {
    EXPECT_EQ(CompareLines("abc", "ABC", TextEncoding::Gbk), 0);
    EXPECT_EQ(CompareLines(G("ａ"), "a", TextEncoding::Gbk), 0);  // full-width letter
    EXPECT_LT(CompareLines("a b", "ab", TextEncoding::Gbk), 0);
    EXPECT_EQ(CompareLines("\x81", "\x81", TextEncoding::Gbk), 0);
    EXPECT_EQ(SortKey("Abc", TextEncoding::Gbk), SortKey("aBC", TextEncoding::Gbk));
    EXPECT_LT(SortKey(G("a 工"), TextEncoding::Gbk), SortKey(G("aa 式"), TextEncoding::Gbk));
}

TEST(FindLine, IgnoresCaseFirstMatch) {
    LineList l(V{"x", "Word", "word"});
    EXPECT_EQ(FindLine(l, "WORD", TextEncoding::Gbk), 1);
    EXPECT_EQ(FindLine(l, "y", TextEncoding::Gbk), -1);
    EXPECT_EQ(FindLine(LineList{}, "x", TextEncoding::Gbk), -1);
}

TEST(LineList, IndexErrorsNameTheIndex) {
    LineList l(V{"a", "b", "c"});
    try {
        l.at(3);
        FAIL() << "no error";
    } catch (const ListIndexError& e) {
        EXPECT_STREQ(e.what(), "List index out of bounds (3)");
    }
    EXPECT_THROW(l.removeAt(-1), ListIndexError);
    l.move(0, 2);
    EXPECT_EQ(Vec(l), (V{"b", "c", "a"}));
    EXPECT_THROW(LineList{}.at(0), ListIndexError);
}

TEST(PaneText, LineCountsAndBreaks) {
    EXPECT_EQ(CountPaneLines(""), 0u);
    EXPECT_EQ(CountPaneLines("a"), 1u);
    EXPECT_EQ(CountPaneLines("a\r\n"), 1u);
    EXPECT_EQ(CountPaneLines("\r\n"), 1u);
    EXPECT_EQ(CountPaneLines("a\r\n\r\n"), 2u);
    EXPECT_EQ(CountPaneLines("a\r\n\r\nb"), 3u);
    // Lone CRs and LFs, and a LF before a CR, each break once.
    EXPECT_EQ(CountPaneLines("a\rb\nc"), 3u);
    EXPECT_EQ(CountPaneLines("a\n\rb"), 3u);
    EXPECT_EQ(CountPaneLines("\r\r\n"), 2u);
    EXPECT_EQ(CountPaneLines("\r"), 1u);
    EXPECT_EQ(CountPaneLines("\n\n"), 2u);
    EXPECT_EQ(NormalizeLineBreaks("a\nb\rc\r\nd\n\re"), "a\r\nb\r\nc\r\nd\r\n\r\ne");
    EXPECT_EQ(NormalizeLineBreaks("\xEF\xBB\xBFx\n"), "\xEF\xBB\xBFx\r\n");
}
TEST(TextMessages, LongTextsAreCutByCharacters) {
    EXPECT_EQ(AbbreviatedText(G("中国"), 100), G("中国"));
    const std::string hundred(100, 'a');
    EXPECT_EQ(AbbreviatedText(hundred, 100), hundred);
    // Four-byte characters are never cut in two.
    std::string word;
    const std::string extB = "\x95\x32\x82\x36";  // U+20000 in GB18030
    for (int i = 0; i < 150; ++i) word += (i % 2 ? extB : G("中"));
    const std::string cut = AbbreviatedText(word, 100);
    EXPECT_EQ(cut, word.substr(0, 50 * 2 + 50 * 4) + "\xA1\xAD (150 characters)");
    EXPECT_EQ(AbbreviatedText(word, 3), G("中") + extB + G("中") + "\xA1\xAD (150 characters)");
}
