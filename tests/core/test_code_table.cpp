// Code length, word tail, pool membership (literal and indexed) and the
// double-byte character count.
#include <gtest/gtest.h>

#include <algorithm>
#include <random>

#include "core/code_table.h"
#include "core/collation.h"
#include "core/text.h"
#include "tests/test_util.h"

using namespace zelmora;
using testutil::G;

TEST(CodeLength, ByBytesAtCharacterBoundaries) {
    EXPECT_EQ(CodeLength(G("a 工")), 1);
    EXPECT_EQ(CodeLength(G("aaaa 工")), 4);
    EXPECT_EQ(CodeLength(G("aabbc 工")), 5);
    EXPECT_EQ(CodeLength(G(" 工")), 0);
    EXPECT_EQ(CodeLength(G("工")), -1);
    EXPECT_EQ(CodeLength(G("工a x")), 3);
    EXPECT_EQ(CodeLength(G("a  工")), 1);
    // A space right after a lead byte is part of that character.
    EXPECT_EQ(CodeLength("\x81 a b"), 3);
}

TEST(WordTail, FromFirstSpaceByBytes) {
    EXPECT_EQ(WordTail(G("a 工")), G(" 工"));
    EXPECT_EQ(WordTail(G("aadn 慝 葚")), G(" 慝 葚"));
    EXPECT_EQ(WordTail(G("a  工")), G("  工"));
    EXPECT_EQ(WordTail(G(" 工")), G(" 工"));
    EXPECT_EQ(WordTail("abc"), "");
    // Found by bytes, so it may start inside a malformed character.
    EXPECT_EQ(WordTail("\x81 a b"), " a b");
}

namespace {

// Up to maxAtoms - 1 atoms picked at random, joined.
std::string RandomText(std::mt19937& rng, const std::vector<std::string>& atoms, int maxAtoms) {
    std::string s;
    const int n = static_cast<int>(rng() % static_cast<unsigned>(maxAtoms));
    for (int i = 0; i < n; ++i) s += atoms[rng() % atoms.size()];
    return s;
}

}  // namespace

TEST(PoolMembership, PrefixCaseAndMultiWord) {
    for (bool indexed : {false, true}) {
        SCOPED_TRACE(indexed ? "indexed" : "literal");
        auto in = [&](const std::string& pool, const std::string& tail) {
            return indexed ? PoolIndex(pool).contains(tail) : ContainsIgnoringCase(pool, tail);
        };
        EXPECT_TRUE(in(G(" 工人 式"), G(" 工")));
        EXPECT_FALSE(in(G(" 工 人"), G(" 工人")));
        EXPECT_TRUE(in(" ABCD", " abc"));
        EXPECT_TRUE(in(" abcd", " ABC"));
        EXPECT_FALSE(in("", " a"));
        EXPECT_FALSE(in(" a", ""));
        EXPECT_TRUE(in(G(" 工 式 苷"), G(" 式 苷")));  // runs across two tails
        EXPECT_TRUE(in(G(" 工  式"), G(" 工 ")));      // trailing space
        EXPECT_FALSE(in(G(" 工 式"), G(" 工  ")));
        EXPECT_TRUE(in(G(" 工"), " "));  // a tail of white space only
        // A match starting on a trail byte does not count.
        EXPECT_FALSE(in("\x81 x", " x"));
        EXPECT_TRUE(in("\x81 x x", " x"));
    }
}

TEST(PoolMembership, IndexAgreesWithLiteralOnRandomPools) {
    std::mt19937 rng(7);
    const std::vector<std::string> atoms = {" ", " ", "a", "B", "b", G("工"), G("人"), "\x81", "\xA4", ",", "\""};
    auto randomText = [&](int maxAtoms) { return RandomText(rng, atoms, maxAtoms); };
    for (int round = 0; round < 1000; ++round) {
        std::string pool = randomText(40);
        PoolIndex index(pool);
        for (int q = 0; q < 40; ++q) {
            // Half the tails have the usual shape: a space and one word.
            std::string tail = randomText(5);
            if (q % 2 == 0) {
                tail.erase(std::remove(tail.begin(), tail.end(), ' '), tail.end());
                tail.insert(0, " ");
            }
            ASSERT_EQ(index.contains(tail), ContainsIgnoringCase(pool, tail))
                << "pool=" << testutil::U(pool) << " tail=" << testutil::U(tail);
        }
    }
}

TEST(PoolMembership, RepeatedWordsAgreeWithLiteral) {
    // Few words, repeated and sharing prefixes, in any case: every prefix of
    // a repeat is met again and must be recognised as the one stored.
    std::mt19937 rng(20);
    const std::vector<std::string> stems = {G("工人"),     G("工作"),     "ab",   "AB",   "abab",
                                            G("工") + "a", "a" + G("人"), "\x81", G("式")};
    for (int round = 0; round < 300; ++round) {
        std::vector<std::string> words;
        for (int w = 0; w < 4; ++w) {
            std::string word;
            for (int k = 1 + static_cast<int>(rng() % 4); k > 0; --k) word += stems[rng() % stems.size()];
            words.push_back(word);
        }
        std::string pool;
        for (int k = static_cast<int>(rng() % 12); k > 0; --k) pool += " " + words[rng() % words.size()];
        PoolIndex index(pool);
        for (const std::string& w : words)
            for (std::size_t len = 0; len <= w.size(); ++len) {
                std::string tail = " " + w.substr(0, len);
                ASSERT_EQ(index.contains(tail), ContainsIgnoringCase(pool, tail))
                    << "pool=" << testutil::U(pool) << " tail=" << testutil::U(tail);
            }
    }
}

// The walk of the pool against the tails' words gives the index's answers,
// for tails of the usual shape and, through the index, any other.
TEST(PoolMembership, WalkAgainstTheTailsAgreesWithTheIndex) {
    std::mt19937 rng(31);
    const std::vector<std::string> atoms = {
        " ", " ", "a", "B", "b", G("工"), G("人"), "\x81", "\xA4", std::string(1, '\0'), "x"};
    auto randomText = [&](int maxAtoms) { return RandomText(rng, atoms, maxAtoms); };
    for (int round = 0; round < 1000; ++round) {
        const std::string pool = randomText(40);
        std::vector<std::string> tails;
        const bool usualShapeOnly = round % 2 == 0;
        for (int q = 0; q < 30; ++q) {
            std::string tail = randomText(5);
            if (usualShapeOnly || q % 2 == 0) {
                tail.erase(std::remove(tail.begin(), tail.end(), ' '), tail.end());
                if (!tail.empty() && tail.back() == '\x81') tail.pop_back();
                tail.insert(0, " ");
            }
            tails.push_back(tail);
        }
        const std::vector<char> in =
            PoolMembership(pool, tails.size(), [&](std::size_t i) { return std::string_view(tails[i]); });
        const PoolIndex index(pool);
        for (std::size_t i = 0; i < tails.size(); ++i)
            ASSERT_EQ(in[i] != 0, index.contains(tails[i]))
                << "pool=" << testutil::U(pool) << " tail=" << testutil::U(tails[i]);
    }
}

TEST(PoolMembership, RepeatsOfALongWordCostNoMoreThanThePool) {
    // Twenty copies of one 20,000-character word: comparing each repeated
    // prefix in full would be ~20·20,000²/2 character comparisons.
    std::string word;
    for (int i = 0; i < 20000; ++i) word += G(i % 3 ? "工" : "人");
    std::string pool;
    for (int k = 0; k < 20; ++k) pool += " " + word;
    PoolIndex index(pool);
    EXPECT_LE(index.bytesCompared(), pool.size());
    EXPECT_TRUE(index.contains(" " + word));
    EXPECT_FALSE(index.contains(" " + word + G("工")));
    EXPECT_TRUE(index.contains(" " + word.substr(0, 20000)));
    // The walk against tails: a word found is not compared again.
    const std::vector<std::string> tails = {" " + word, " " + word + G("工"), " " + word.substr(0, 20000)};
    std::size_t compared = 0;
    const std::vector<char> in = PoolMembership(
        pool, tails.size(), [&](std::size_t i) { return std::string_view(tails[i]); }, &compared);
    EXPECT_EQ(in, (std::vector<char>{1, 0, 1}));
    EXPECT_LE(compared, 2 * word.size());
}

TEST(DoubleByteCharCount, CountsTwoByteCharacters) {
    EXPECT_EQ(DoubleByteCharCount(G("aadn 慝 葚"), TextEncoding::Gbk), 2);
    EXPECT_EQ(DoubleByteCharCount("abc def", TextEncoding::Gbk), 0);
    EXPECT_EQ(DoubleByteCharCount(G("wqvb 你好 您好"), TextEncoding::Gbk), 4);
    EXPECT_EQ(DoubleByteCharCount(G("x ，。"), TextEncoding::Gbk), 2);  // full-width punctuation
}

// GBK's count is the byte length less the decoding's UTF-16 units, counted
// without the decoder where the text is ASCII and whole characters: it must
// agree with the decoder on every double-byte character and on stray bytes.
TEST(DoubleByteCharCount, GbkCountAgreesWithTheDecoder) {
    auto decoded = [](const std::string& t) {
        return static_cast<long long>(t.size()) - static_cast<long long>(ToUtf16(t, TextEncoding::Gbk).size());
    };
    for (int lead = 0x81; lead <= 0xFE; ++lead)
        for (int trail = 0x40; trail <= 0xFE; ++trail) {
            if (trail == 0x7F) continue;
            const std::string t = std::string("a") + static_cast<char>(lead) + static_cast<char>(trail) + "b";
            ASSERT_EQ(DoubleByteCharCount(t, TextEncoding::Gbk), decoded(t)) << lead << " " << trail;
        }
    const std::vector<std::string> stray = {
        "a\x80"
        "b",
        "\xFF",
        G("工") + "\x81",
        "\x81 a",
        "\x81\x7F" + G("工"),
        "\x81\x30\x81\x30",
        G("工") + "\x80" + G("人")};
    for (const std::string& t : stray) EXPECT_EQ(DoubleByteCharCount(t, TextEncoding::Gbk), decoded(t)) << t;
}

TEST(DoubleByteCharCount, Gb18030CountsCharactersAsCharWidthWalksThem) {
    const struct {
        std::string text;
        long long count;
    } cases[] = {
        {"a \x95\x32\x82\x36", 1},  // U+20000, one character
        {"\xD6\xD0\x95\x32\x82\x36", 2},
        // A lead byte and a digit that begin no four-byte character: the
        // character after them counts on its own.
        {"\x81\x31\xD6\xD0", 2},
        {"\x81\x31 x", 1},
        {"x\x81", 0},
    };
    for (const auto& c : cases) EXPECT_EQ(DoubleByteCharCount(c.text, TextEncoding::Gb18030), c.count);
}
