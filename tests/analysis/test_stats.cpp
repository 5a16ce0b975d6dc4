// A table's figures, held against counts made another way.
#include <gtest/gtest.h>

#include <map>
#include <set>
#include <sstream>

#include "analysis/stats.h"
#include "resources/resources.h"
#include "tests/test_util.h"

using namespace zelmora;
using testutil::G;
using testutil::Lines;

namespace {

analysis::TableStats StatsOf(const std::string& text) {
    return analysis::ComputeStats(formats::ReadTable(text, formats::Encoding::Gbk, formats::Format::Plain).entries);
}

}  // namespace

// The built-in table recounted from its raw bytes with streams and ordered
// maps: no table reader, no hashing.
TEST(Stats, BuiltinTableAgreesWithARecountOfItsBytes) {
    const std::string bytes(OpenBuiltinTable().bytes());
    std::map<std::string, std::vector<std::string>> byCode;
    std::size_t entries = 0;
    std::set<std::string> characters;
    std::istringstream in(bytes);
    std::string line;
    while (std::getline(in, line)) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        std::istringstream fields(line);
        std::string code, word;
        if (!(fields >> code)) continue;
        while (fields >> word) {
            byCode[code].push_back(word);
            ++entries;
            characters.insert(word);
        }
    }
    std::map<std::size_t, std::size_t> perCode, codesByLength;
    std::map<char, std::size_t> keys;
    std::map<std::pair<std::size_t, char>, std::size_t> keysAt;
    std::size_t duplicates = 0, onDuplicates = 0, keyTotal = 0;
    for (const auto& [code, words] : byCode) {
        ++perCode[words.size()];
        ++codesByLength[code.size()];
        if (words.size() > 1) ++duplicates, onDuplicates += words.size();
        for (std::size_t p = 0; p < code.size(); ++p) ++keys[code[p]], ++keysAt[{p, code[p]}], ++keyTotal;
    }
    std::size_t level1 = 0, level2 = 0;
    for (const std::string& c : characters) {
        ASSERT_EQ(c.size(), 2u);
        const unsigned lead = static_cast<unsigned char>(c[0]);
        level1 += lead >= 0xB0 && lead <= 0xD7;
        level2 += lead >= 0xD8 && lead <= 0xF7;
    }

    const analysis::TableStats s =
        analysis::ComputeStats(formats::ReadTable(bytes, formats::Encoding::Gbk, formats::Format::Plain).entries);
    EXPECT_EQ(s.entries, entries);
    EXPECT_EQ(s.codes, byCode.size());
    EXPECT_EQ(s.singleCharacters, entries);
    EXPECT_EQ(s.phrases, 0u);
    EXPECT_EQ(s.duplicateCodes, duplicates);
    EXPECT_EQ(s.entriesOnDuplicateCodes, onDuplicates);
    EXPECT_EQ(s.behindFirst, entries - byCode.size());
    for (const auto& [n, codes] : perCode) EXPECT_EQ(s.candidatesPerCode.at(n), codes) << n << " candidates";
    for (const auto& [len, codes] : codesByLength) EXPECT_EQ(s.codesByLength.at(len), codes) << "length " << len;
    EXPECT_EQ(s.keysTotal, keyTotal);
    for (char k = 'a'; k <= 'z'; ++k) {
        EXPECT_EQ(s.keys[k - 'a'], keys[k]) << k;
        for (std::size_t p = 0; p < 4; ++p) EXPECT_EQ(s.keysAt.at(p)[k - 'a'], (keysAt[{p, k}])) << k << p;
    }
    EXPECT_EQ(s.otherKeys, 0u);
    // The standard table codes all of GB 2312: 3,755 and 3,008 characters.
    EXPECT_EQ(s.level1.present, level1);
    EXPECT_EQ(s.level2.present, level2);
    EXPECT_EQ(s.level1.total, 3755u);
    EXPECT_EQ(s.level2.total, 3008u);
    EXPECT_TRUE(s.level1.missing.empty());
}

TEST(Stats, SmallTableWithPhrasesRepeatedCodesAndOddKeys) {
    // "a" on two lines counts as one code of three candidates; "A1" has keys outside a-z.
    analysis::TableStats s = StatsOf(Lines({"a 工 式", "aawt 工作", "a 戈", "A1 啊", "aaaa 工"}));
    EXPECT_EQ(s.entries, 6u);
    EXPECT_EQ(s.codes, 4u);
    EXPECT_EQ(s.singleCharacters, 5u);
    EXPECT_EQ(s.phrases, 1u);
    EXPECT_EQ(s.duplicateCodes, 1u);
    EXPECT_EQ(s.entriesOnDuplicateCodes, 3u);
    EXPECT_EQ(s.behindFirst, 2u);
    EXPECT_EQ(s.candidatesPerCode, (std::vector<std::size_t>{0, 3, 0, 1}));
    EXPECT_EQ(s.entriesByLength, (std::vector<std::size_t>{0, 3, 1, 0, 2}));
    EXPECT_EQ(s.codesByLength, (std::vector<std::size_t>{0, 1, 1, 0, 2}));
    EXPECT_EQ(s.keys['a' - 'a'], 1u + 4u + 2u);  // a, aaaa, aawt
    EXPECT_EQ(s.otherKeys, 2u);                  // A and 1
    EXPECT_EQ(s.otherKeysAt, (std::vector<std::size_t>{1, 1, 0, 0}));
    EXPECT_EQ(s.keysAt[3]['t' - 'a'], 1u);
    // 啊 (B0A1) is the first level-1 character; 工 式 戈 are level 1 too.
    EXPECT_EQ(s.level1.present, 4u);
    EXPECT_EQ(s.level2.present, 0u);
    EXPECT_EQ(s.level1.missing.size(), 2u * (3755u - 4u));
    EXPECT_EQ(s.level1.missing.substr(0, 2), G("阿"));  // B0A2, after 啊
    EXPECT_EQ(analysis::Percent(1, 3), "33.33%");
    EXPECT_EQ(analysis::Percent(0, 0), "0.00%");
}

TEST(Stats, EmptyTableAndOutputs) {
    analysis::TableStats empty = StatsOf("");
    EXPECT_EQ(empty.entries, 0u);
    EXPECT_EQ(empty.level1.missing.size(), 2u * 3755u);
    EXPECT_NE(analysis::FormatStatsText(empty).find("duplicate codes (two or more candidates): 0  (0.00% of codes)"),
              std::string::npos);

    analysis::TableStats s = StatsOf(Lines({"a 工 式", "ab 啊"}));
    const std::string json = analysis::FormatStatsJson(s);
    for (const char* field :
         {"\"entries\": 3,", "\"codes\": 2,", "\"duplicate_codes\": 1,", "\"duplicate_codes_share\": \"50.00%\"",
          "\"candidates_per_code\": {\"1\": 1, \"2\": 1}", "\"a\": 2,", "\"b\": 1,"})
        EXPECT_NE(json.find(field), std::string::npos) << field << "\n" << json;
    // The missing characters are UTF-8 in the JSON, starting after 啊.
    EXPECT_NE(json.find("\"missing_characters\": \"阿埃"), std::string::npos);
    const std::string text = analysis::FormatStatsText(s);
    EXPECT_NE(text.find("GB 2312 level 1: 3 of 3755 present, 3752 missing"), std::string::npos) << text;
}

// Codes of (length - 1) keys a and a last key z: lengths and key positions
// from 16 on are counted in one last row, however long the codes.
TEST(Stats, LongCodesAreSummedIntoOneLastRow) {
    struct Case {
        std::vector<std::size_t> lengths;
        std::size_t positionRows;
        std::size_t summedA, summedZ;  // keys a and z in the last position row
        std::size_t summedCodes;       // codes in the last length row
        std::size_t jsonLengthRows;    // elements of entries_by_code_length
    };
    const std::vector<Case> cases = {
        {{15}, 15, 0, 1, 0, 16},  // no summed row: the last is position 15, z alone
        {{16}, 16, 0, 1, 1, 17},
        {{17}, 16, 1, 1, 1, 17},
        {{2000000}, 16, 1999984, 1, 1, 17},
        {{4, 2000000, 20}, 16, 1999984 + 4, 2, 2, 17},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.lengths.back());
        std::vector<formats::TableEntry> entries;
        for (std::size_t n : c.lengths) entries.push_back({std::string(n - 1, 'a') + "z", G("工"), {}, {}});
        const analysis::TableStats s = analysis::ComputeStats(entries);
        ASSERT_EQ(s.keysAt.size(), c.positionRows);
        EXPECT_EQ(s.otherKeysAt.size(), c.positionRows);
        EXPECT_EQ(s.keysAt.back()['a' - 'a'], c.summedA);
        EXPECT_EQ(s.keysAt.back()['z' - 'a'], c.summedZ);
        ASSERT_EQ(s.entriesByLength.size(), c.jsonLengthRows);
        EXPECT_EQ(s.codesByLength.size(), c.jsonLengthRows);
        const bool summed = c.summedCodes > 0;
        EXPECT_EQ(summed ? s.codesByLength.back() : 0u, c.summedCodes);
        // Every key is still counted once.
        std::size_t keys = 0;
        for (std::size_t n : c.lengths) keys += n;
        EXPECT_EQ(s.keysTotal, keys);

        const std::string json = analysis::FormatStatsJson(s), text = analysis::FormatStatsText(s);
        std::size_t rows = 0;
        for (std::size_t at = json.find("{\"a\": ", json.find("\"keys_by_position\"")); at != std::string::npos;
             at = json.find("{\"a\": ", at + 1))
            ++rows;
        EXPECT_EQ(rows, c.positionRows) << json;
        EXPECT_EQ(json.find("\"summed_from\": 16,") != std::string::npos, summed) << json;
        EXPECT_EQ(text.find("  16+: ") != std::string::npos, summed) << text;
    }
}
