// Keys written from the weight table against ICU's own: every character of
// both encodings, random lines (Chinese, ASCII of both cases, symbols, runs
// long enough for ICU's compression of lead bytes and common weights), and
// the texts the table must leave to ICU.
#include <gtest/gtest.h>

#include <random>
#include <thread>
#include <string>
#include <vector>

#include "core/collation.h"
#include "core/collation_internal.h"
#include "tests/test_util.h"

using namespace zelmora;
using testutil::G;

namespace {

constexpr TextEncoding kEncodings[] = {TextEncoding::Gbk, TextEncoding::Gb18030};

const char* Name(TextEncoding e) { return e == TextEncoding::Gbk ? "GBK" : "GB18030"; }

std::string Hex(std::string_view bytes) {
    static const char* digits = "0123456789ABCDEF";
    std::string out;
    for (unsigned char c : bytes) out += {digits[c >> 4], digits[c & 15], ' '};
    return out;
}

// Every character the table may take: ASCII but NUL, and every lead byte with
// every trail byte 0x40..0xFE but 0x7F.
std::vector<std::string> EveryCharacter() {
    std::vector<std::string> all;
    for (int c = 1; c < 0x80; ++c) all.push_back(std::string(1, static_cast<char>(c)));
    for (int lead = 0x81; lead <= 0xFE; ++lead)
        for (int trail = 0x40; trail <= 0xFE; ++trail)
            if (trail != 0x7F) all.push_back({static_cast<char>(lead), static_cast<char>(trail)});
    return all;
}

bool IsGb2312Hanzi(std::string_view c) {
    if (c.size() != 2) return false;
    const auto lead = static_cast<unsigned char>(c[0]), trail = static_cast<unsigned char>(c[1]);
    return lead >= 0xB0 && lead <= 0xF7 && trail >= 0xA1 && trail <= 0xFE && !(lead == 0xD7 && trail > 0xF9);
}

}  // namespace

TEST(CollationTable, EveryCharacterKeyedAsIcuKeysIt) {
    const std::vector<std::string> all = EveryCharacter();
    for (TextEncoding e : kEncodings) {
        std::size_t covered = 0;
        for (const std::string& c : all) {
            std::string key;
            if (!TableSortKey(c, e, key)) {
                // The common characters of tables must not be left to ICU.
                EXPECT_FALSE(IsGb2312Hanzi(c) || (c.size() == 1 && c[0] >= 0x20 && c[0] < 0x7F))
                    << Name(e) << " " << Hex(c) << " left to ICU";
                continue;
            }
            ++covered;
            ASSERT_EQ(Hex(key), Hex(IcuSortKey(c, e))) << Name(e) << " character " << Hex(c);
        }
        EXPECT_GT(covered, 21000u) << Name(e);
    }
}

TEST(CollationTable, RandomLinesKeyedAsIcuKeysThem) {
    // Pieces lines are made of, by kind; contraction pieces (藏文, L·) and bytes
    // that are no character too, which the table must leave to ICU.
    const std::vector<std::string> all = EveryCharacter();
    std::vector<std::string> hanzi, symbols, others;
    for (const std::string& c : all) {
        if (IsGb2312Hanzi(c))
            hanzi.push_back(c);
        else if (c.size() == 2 && static_cast<unsigned char>(c[0]) >= 0xA1)
            symbols.push_back(c);
        else if (c.size() == 2)
            others.push_back(c);
    }
    const std::string letters = "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789";
    const std::vector<std::string> odd = {
        G("藏"), G("文"), "L",  "l", G("·"), "\x80",  "\x81",  "\xFF", "\x81\x30\x81\x30",
        " ",     ",",     "\"", "-", "'",    G("ａ"), G("Ａ"), G("工")};
    const struct {
        const char* kind;
        int maxUnits;
        int hanzi, letters, symbols, others, odd;  // weights
    } kinds[] = {
        {"entry lines", 8, 6, 4, 0, 0, 0}, {"Chinese", 12, 8, 0, 1, 1, 0},
        {"ASCII", 12, 0, 10, 0, 0, 1},     {"symbols", 10, 2, 2, 6, 3, 0},
        {"long runs", 90, 5, 5, 1, 1, 0},  {"contractions and bytes", 8, 3, 3, 1, 0, 4},
    };
    for (TextEncoding e : kEncodings) {
        std::mt19937 rng(20240611);
        for (const auto& k : kinds) {
            std::discrete_distribution<int> pick(
                {double(k.hanzi), double(k.letters), double(k.symbols), double(k.others), double(k.odd)});
            std::size_t covered = 0;
            const int lines = 4000;
            for (int n = 0; n < lines; ++n) {
                std::string line;
                const int units = std::uniform_int_distribution<int>(1, k.maxUnits)(rng);
                for (int u = 0; u < units; ++u) {
                    switch (pick(rng)) {
                        case 0:
                            line += hanzi[rng() % hanzi.size()];
                            break;
                        case 1:
                            line += letters[rng() % letters.size()];
                            break;
                        case 2:
                            line += symbols[rng() % symbols.size()];
                            break;
                        case 3:
                            line += others[rng() % others.size()];
                            break;
                        default:
                            line += odd[rng() % odd.size()];
                            break;
                    }
                }
                std::string key;
                const bool fromTable = TableSortKey(line, e, key);
                covered += fromTable ? 1 : 0;
                const std::string icu = IcuSortKey(line, e);
                if (fromTable) {
                    ASSERT_EQ(Hex(key), Hex(icu)) << Name(e) << " " << k.kind << ": " << Hex(line);
                }
                ASSERT_EQ(Hex(SortKey(line, e)), Hex(icu)) << Name(e) << " " << k.kind << ": " << Hex(line);
            }
            // Lines without contraction pieces or stray bytes come from the table.
            if (k.odd == 0) {
                EXPECT_GT(covered, lines * 9u / 10) << Name(e) << " " << k.kind;
            }
        }
    }
}

TEST(CollationTable, LeavesToIcuWhatItCannotVouchFor) {
    const struct {
        const char* what;
        std::string text;
    } cases[] = {
        {"a contraction of the pinyin order", G("藏文")},
        {"a contraction after other characters", G("ab 西藏文字")},
        {"L with a middle dot", G("L·")},
        {"a NUL byte", std::string("a\0b", 3)},
        {"a lone lead byte at the end", "ab\x81"},
        {"a lead byte before a space", "\x81 a"},
        {"0x80", "a\x80"},
        {"0xFF", "\xFF"},
    };
    for (TextEncoding e : kEncodings)
        for (const auto& c : cases) {
            std::string key;
            EXPECT_FALSE(TableSortKey(c.text, e, key)) << Name(e) << ": " << c.what;
            EXPECT_TRUE(key.empty()) << Name(e) << ": " << c.what;
            EXPECT_EQ(Hex(SortKey(c.text, e)), Hex(IcuSortKey(c.text, e))) << Name(e) << ": " << c.what;
        }
    // In GBK four bytes of that shape are no character.
    std::string gbkKey;
    EXPECT_FALSE(TableSortKey("a\x81\x30\x81\x30", TextEncoding::Gbk, gbkKey));
    EXPECT_EQ(Hex(SortKey("a\x81\x30\x81\x30", TextEncoding::Gbk)),
              Hex(IcuSortKey("a\x81\x30\x81\x30", TextEncoding::Gbk)));
    // Their pieces alone are the table's.
    for (TextEncoding e : kEncodings)
        for (const std::string& piece : {G("藏"), G("文"), std::string("L"), G("·"), G("西藏 文")}) {
            std::string key;
            EXPECT_TRUE(TableSortKey(piece, e, key)) << Name(e) << ": " << Hex(piece);
        }
}

// Equality keys are the same bytes exactly when sort keys are: every pair of
// texts that are equal only under the collation (case, width, ignorables,
// canonical equivalents, expansions, contractions, four-byte characters,
// stray bytes) and of random short texts over their pieces.
TEST(CollationTable, EqualityKeysEqualExactlyWhenSortKeysDo) {
    std::vector<std::string> pieces = {
        "a",
        "A",
        "b",
        "B",
        "1",
        "-",
        "'",
        " ",
        "\x01",
        "\x7F",
        G("ａ"),
        G("Ａ"),
        G("工"),
        G("人"),
        G("藏"),
        G("文"),
        G("西"),
        G("·"),
        "L",
        G("é"),
        "e\x81\x30\x83\x30",  // é, and e with a combining acute (U+0301)
        G("ⅰ"),
        G("ⅱ"),
        "ii",  // roman numerals: expansions
        "\x81\x30\x81\x30",
        "\x95\x32\x82\x36",  // four-byte: U+0080, U+20000
        "\x81",
        "\x80",
        "\xFF",
    };
    std::mt19937 rng(20261208);
    std::vector<std::string> texts = pieces;
    // A contraction, and its characters kept apart by an ignorable.
    for (const std::string& t : {G("藏文"), G("藏") + "\x01" + G("文"), G("藏文") + "\x01", "\x01" + G("藏文")})
        texts.push_back(t);
    for (int n = 0; n < 1500; ++n) {
        std::string t;
        const int units = std::uniform_int_distribution<int>(1, 4)(rng);
        for (int u = 0; u < units; ++u) t += pieces[rng() % pieces.size()];
        texts.push_back(t);
    }
    for (TextEncoding e : kEncodings) {
        std::vector<std::string> sortKeys, equalityKeys;
        for (const std::string& t : texts) {
            sortKeys.push_back(SortKey(t, e));
            std::string k;
            AppendEqualityKey(t, e, k);
            equalityKeys.push_back(k);
        }
        std::size_t equalPairs = 0;
        for (std::size_t i = 0; i < texts.size(); ++i)
            for (std::size_t j = i + 1; j < texts.size(); ++j) {
                const bool equal = sortKeys[i] == sortKeys[j];
                equalPairs += equal && texts[i] != texts[j];
                ASSERT_EQ(equalityKeys[i] == equalityKeys[j], equal)
                    << Name(e) << ": " << Hex(texts[i]) << " against " << Hex(texts[j]);
            }
        // The set really holds texts that differ but collate equal.
        EXPECT_GT(equalPairs, 100u) << Name(e);
    }
}

namespace {

// GB18030's four-byte sequence number `n` (0 is 81 30 81 30).
std::string FourBytes(std::uint32_t n) {
    std::string b(4, '\0');
    b[3] = static_cast<char>(0x30 + n % 10);
    n /= 10;
    b[2] = static_cast<char>(0x81 + n % 126);
    n /= 126;
    b[1] = static_cast<char>(0x30 + n % 10);
    n /= 10;
    b[0] = static_cast<char>(0x81 + n);
    return b;
}

}  // namespace

// GB18030's four-byte characters (the rest of the BMP, CJK extension B, and
// sequences past the last character) are keyed from the table as ICU keys
// them once met a second time, alone and in lines with others; what the
// table leaves is ICU's.
TEST(CollationTable, FourByteCharactersKeyedAsIcuKeysThem) {
    const TextEncoding e = TextEncoding::Gb18030;
    std::vector<std::string> chars;
    for (std::uint32_t n = 0; n < 39420; ++n) chars.push_back(FourBytes(n));                // U+0080..U+FFFF
    for (std::uint32_t n = 254536; n < 254536 + 42720; ++n) chars.push_back(FourBytes(n));  // U+20000..U+2A6DF
    for (std::uint32_t n = 39420; n < 39440; ++n) chars.push_back(FourBytes(n));            // no character
    std::size_t fromTable = 0;
    std::size_t fromTableFirst = 0;
    for (const std::string& c : chars) {
        std::string first;
        fromTableFirst += TableSortKey(c, e, first);
        std::string key;
        if (TableSortKey(c, e, key)) {
            ++fromTable;
            ASSERT_EQ(Hex(key), Hex(IcuSortKey(c, e))) << Hex(c);
        }
        ASSERT_EQ(Hex(SortKey(c, e)), Hex(IcuSortKey(c, e))) << Hex(c);
    }
    EXPECT_LT(fromTableFirst, 10u);  // but for the few that tests before met
    EXPECT_GT(fromTable, chars.size() * 9 / 10);
    std::mt19937 rng(1208);
    for (int n = 0; n < 3000; ++n) {
        std::string line = "ab ";
        for (int k = 0; k < 3; ++k) line += k == 1 ? G("工") : chars[rng() % chars.size()];
        ASSERT_EQ(Hex(SortKey(line, e)), Hex(IcuSortKey(line, e))) << Hex(line);
    }
}

// Two threads meeting the same new characters at once (extensions C and D,
// met by no test before) each get ICU's keys, whichever learns them first.
TEST(CollationTable, KeysMadeOnTwoThreadsAtOnceAreIcus) {
    const TextEncoding e = TextEncoding::Gb18030;
    constexpr std::uint32_t kExtC = 254536 + 0x2A700 - 0x20000;
    std::vector<std::string> lines;
    std::mt19937 rng(8);
    for (int n = 0; n < 3000; ++n) lines.push_back("a " + FourBytes(kExtC + rng() % 4200) + FourBytes(kExtC + n));
    std::vector<std::string> keys[2];
    std::thread other([&] {
        for (const std::string& l : lines) keys[1].push_back(SortKey(l, e));
    });
    for (const std::string& l : lines) keys[0].push_back(SortKey(l, e));
    other.join();
    for (std::size_t i = 0; i < lines.size(); ++i) {
        const std::string icu = IcuSortKey(lines[i], e);
        ASSERT_EQ(Hex(keys[0][i]), Hex(icu)) << Hex(lines[i]);
        ASSERT_EQ(Hex(keys[1][i]), Hex(icu)) << Hex(lines[i]);
    }
}
