// Candidates ordered by frequency, on tables whose order and counts are worked
// by hand; written back in each engine's format.
#include <gtest/gtest.h>

#include <random>
#include <set>
#include <string>
#include <vector>

#include "core/failure.h"
#include "formats/document.h"
#include "tests/test_util.h"
#include "tune/frequency.h"
#include "tune/reorder.h"
#include "typing/score.h"

using namespace zelmora::tune;
using zelmora::formats::Encoding;
using zelmora::formats::Format;
using zelmora::formats::ReadTable;
using zelmora::formats::TableDocument;

namespace {

std::string Gb(std::string_view utf8) { return testutil::Convert("gb18030", "UTF-8", utf8); }
std::string Utf8(std::string_view gb) { return testutil::Convert("UTF-8", "gb18030", gb); }

WordCounts Counts(const std::string& list) { return WordCounts(zelmora::typing::ReadFrequencyList(list, "list")); }

// Each code's words in order, codes as first met: "aa:x y|bb:z".
std::string Groups(const std::vector<zelmora::formats::TableEntry>& entries) {
    std::vector<std::string> codes;
    std::vector<std::string> words;
    for (const auto& e : entries) {
        std::size_t i = 0;
        while (i < codes.size() && codes[i] != e.code) ++i;
        if (i == codes.size()) codes.push_back(e.code), words.emplace_back();
        words[i] += (words[i].empty() ? "" : " ") + Utf8(e.word);
    }
    std::string out;
    for (std::size_t i = 0; i < codes.size(); ++i) out += (i ? "|" : "") + codes[i] + ":" + words[i];
    return out;
}

std::vector<Pin> Pins(const std::string& utf8) { return ReadPins(utf8, "pins"); }

}  // namespace

TEST(Reorder, CandidatesFollowTheirCountsAroundTiesAbsentWordsAndPins) {
    struct Case {
        const char* what;
        std::string table, list;
        Only only;
        std::string pins, expected;
    };
    const std::vector<Case> cases = {
        {"ties keep their order, absent words follow", "aa 甲 乙 丙 丁\n", "乙 5\n丁 5\n甲 1\n", Only::All, "",
         "aa:乙 丁 甲 丙"},
        {"absent words keep their order among themselves", "bb 一 二 三\n", "三 1\n", Only::All, "", "bb:三 一 二"},
        {"a count of 0 is still a count", "bb 一 二\n", "二 0\n", Only::All, "", "bb:二 一"},
        {"a pinned word keeps its place, the others fill the rest", "cc 子 丑 寅 卯\n", "卯 9\n寅 8\n丑 7\n子 6\n",
         Only::All, "cc 丑\n", "cc:卯 丑 寅 子"},
        {"a pin of another code pins nothing here", "cc 子 丑\n", "丑 9\n", Only::All, "dd 子\n", "cc:丑 子"},
        {"singles only: phrases keep their places", "dd 工 工人 式 式样\n", "式 9\n工 1\n工人 5\n式样 8\n",
         Only::Singles, "", "dd:式 工人 工 式样"},
        {"phrases only: singles keep their places", "dd 工 工人 式 式样\n", "式 9\n工 1\n工人 5\n式样 8\n",
         Only::Phrases, "", "dd:工 式样 式 工人"},
        {"a code that is not all a-z stays", "d1 甲 乙\n", "乙 9\n", Only::All, "", "d1:甲 乙"},
        {"a code's lines apart take their places back in turn", "ee 甲\nff 乙\nee 丙\n", "丙 9\n", Only::All, "",
         "ee:丙 甲|ff:乙"},
        {"a list in another encoding reads alike", "gg 甲 乙\n", "\xef\xbb\xbf乙 3\n", Only::All, "", "gg:乙 甲"},
    };
    for (const Case& c : cases) {
        const TableDocument doc = ReadTable(c.table, Encoding::Utf8, Format::Plain);
        ReorderOptions o;
        o.only = c.only;
        o.pins = Pins(c.pins);
        o.textEncoding = doc.textEncoding();
        const Reordering r = Reorder(doc.entries, Counts(c.list), o);
        EXPECT_EQ(Groups(r.apply(doc.entries)), c.expected) << c.what;
    }
}

// By use, a count counts at a code only where coming first there is strictly
// cheaper than the word's cheapest entry at another code (keys: letters, the
// space below the auto-commit length, page-down and selection keys).
TEST(Reorder, ByUseCountsOnlyWhereComingFirstSavesKeys) {
    struct Case {
        const char* what;
        std::string table, list;
        std::size_t autoCommit;
        std::string byUse, byCount;
    };
    const std::vector<Case> cases = {
        {"遣's short code types it in 4 keys, as khgp first would: 遗 stays first", "khg 遣\nkhgp 遗 遣\n",
         "遣 1787\n遗 1158\n", 4, "khg:遣|khgp:遗 遣", "khg:遣|khgp:遣 遗"},
        {"工 costs 2 keys at a, less than aaaa first: 式 stays first", "a 工\naaaa 式 工\n", "工 9\n式 1\n", 4,
         "a:工|aaaa:式 工", "a:工|aaaa:工 式"},
        {"甲's only other entry is on abc's second page (5 keys): first at abcd (4) counts, and at abc (4 against "
         "abcd's second place, 5)",
         "abc 子 丑 寅 卯 辰 甲\nabcd 乙 甲\n", "甲 9\n乙 1\n", 4, "abc:甲 子 丑 寅 卯 辰|abcd:甲 乙",
         "abc:甲 子 丑 寅 卯 辰|abcd:甲 乙"},
        {"no auto-commit: abcd first takes 5 keys, no fewer than abc's second page",
         "abc 子 丑 寅 卯 辰 甲\nabcd 乙 甲\n", "甲 9\n乙 1\n", 0, "abc:甲 子 丑 寅 卯 辰|abcd:乙 甲",
         "abc:甲 子 丑 寅 卯 辰|abcd:甲 乙"},
        {"員 counts where 员 is typed by its short code, but never overtakes it by use", "kmu 员 員\nkm 员\n",
         "员 5000\n員 5\n", 4, "kmu:员 員|km:员", "kmu:员 員|km:员"},
        {"with no simplified character under the code, a traditional one orders by use", "kmu 貝 員\n", "員 9\n貝 5\n",
         4, "kmu:員 貝", "kmu:員 貝"},
        {"words that don't count follow those that do, in their order", "a 工\nb 式\nabcd 工 式 乙\n",
         "工 9\n式 8\n乙 1\n", 4, "a:工|b:式|abcd:乙 工 式", "a:工|b:式|abcd:工 式 乙"},
    };
    for (const Case& c : cases) {
        const TableDocument doc = ReadTable(c.table, Encoding::Utf8, Format::Plain);
        for (const By by : {By::Use, By::Count}) {
            ReorderOptions o;
            o.by = by;
            o.typing.autoCommit = c.autoCommit;
            o.textEncoding = doc.textEncoding();
            const Reordering r = Reorder(doc.entries, Counts(c.list), o);
            EXPECT_EQ(Groups(r.apply(doc.entries)), by == By::Use ? c.byUse : c.byCount) << c.what;
        }
    }
}

TEST(Reorder, ListsEachMoveAndWhatItCouldNotUse) {
    const TableDocument doc = ReadTable("aa 甲 乙 丙\nb1 子 丑\n", Encoding::Utf8, Format::Plain);
    ReorderOptions o;
    o.pins = Pins("# pins\n\nzz 甲\n");
    const Reordering r = Reorder(doc.entries, Counts("丙 3\n乙 2\n"), o);
    EXPECT_EQ(r.codesChanged, 1u);
    ASSERT_EQ(r.moves.size(), 2u);  // 乙 stays second
    EXPECT_EQ(Utf8(r.moves[0].word), "丙");
    EXPECT_EQ(r.moves[0].from, 3u);
    EXPECT_EQ(r.moves[0].to, 1u);
    EXPECT_EQ(r.moves[0].count, std::optional<std::uint64_t>(3));
    EXPECT_EQ(Utf8(r.moves[1].word), "甲");
    EXPECT_EQ(r.moves[1].to, 3u);
    EXPECT_EQ(r.moves[1].count, std::nullopt);
    ASSERT_EQ(r.unmatchedPins.size(), 1u);
    EXPECT_EQ(r.unmatchedPins[0].line, 3u);
    EXPECT_EQ(r.oddCodes, std::vector<std::string>{"b1"});
}

TEST(Reorder, RefusesPinsAndSelectionsItCannotRead) {
    struct Case {
        std::function<void()> run;
        std::string message;
    };
    const std::vector<Case> cases = {
        {[] { Pins("aa 甲\naa\n"); }, "pins, line 2"},
        {[] { Pins("aa 甲 乙\n"); }, "is not a code and one word"},
        {[] { ParseOnly("most"); }, "Unknown selection \"most\""},
        {[] { ParseBy("weight"); }, "Unknown ordering \"weight\""},
    };
    for (const Case& c : cases) {
        std::string message;
        try {
            c.run();
        } catch (const zelmora::Failure& f) {
            message = f.what();
        }
        EXPECT_NE(message.find(c.message), std::string::npos) << message;
    }
}

TEST(Reorder, WritesEachFormatWithTheFewestLinesChanged) {
    struct Case {
        const char* what;
        std::string table, list, expected;
        std::size_t linesChanged;
    };
    const std::string rime = "# a comment\n---\nname: t\nsort: by_weight\n...\n";
    const std::string original = "---\nname: t\nsort: original\n...\n";
    const std::string libime = "KeyCode=abcdefghijklmnopqrstuvwxyz\nLength=4\n[Data]\n";
    const std::vector<Case> cases = {
        {"plain: a line of several words is written afresh, the code's other line too",
         Gb("aa  甲 乙 丙\r\nbb 子  丑\r\naa 丁\r\n"), "丁 9\n乙 5\n", Gb("aa 丁 乙 甲\r\nbb 子  丑\r\naa 丙\r\n"), 2},
        {"Rime by weight: one weight above the first keeps the three that already fall",
         rime + "甲\taa\t30\n乙\taa\t20\n丙\taa\t10\t\n丁\taa\t5\n", "丙 9\n甲 8\n",
         rime + "甲\taa\t30\n乙\taa\t20\n丙\taa\t31\t\n丁\taa\t5\n", 1},
        {"Rime by weight: no whole number between 1 and 0, a decimal", rime + "甲\tbb\t2\n乙\tbb\t1\n", "乙 5\n",
         rime + "甲\tbb\t0.5\n乙\tbb\t1\n", 1},
        {"Rime by weight: a line without a weight gets the whole number just under the one before",
         rime + "甲\tcc\t100\n乙\tcc\t50\n丙\tcc\n丁\tcc\t60\n", "甲 9\n丙 8\n丁 7\n",
         rime + "甲\tcc\t100\n乙\tcc\t50\n丙\tcc\t99\n丁\tcc\t60\n", 1},
        {"Rime by weight: equal weights are not relied on; the first keeps its weight, the others go under it",
         rime + "甲\tdd\t7\n乙\tdd\t7\n丙\tdd\t7\n", "丙 3\n乙 2\n甲 1\n", rime + "甲\tdd\t5\n乙\tdd\t6\n丙\tdd\t7\n",
         2},
        {"Rime with sort: original: the lines move whole, weights and all",
         original + "甲\taa\t1\tx\n乙\taa\t2\n# between\n丙\tbb\t3\n", "乙 5\n",
         original + "乙\taa\t2\n甲\taa\t1\tx\n# between\n丙\tbb\t3\n", 2},
        {"ibus-table: whole frequencies not below 0",
         "BEGIN_TABLE\naa\t甲\t2\naa\t乙\t1\nbb\t子\t30\nbb\t丑\t20\nbb\t寅\t10\nEND_TABLE\n", "乙 5\n寅 9\n子 8\n",
         "BEGIN_TABLE\naa\t甲\t0\naa\t乙\t1\nbb\t子\t30\nbb\t丑\t20\nbb\t寅\t31\nEND_TABLE\n", 2},
        {"yong: a code's line is written afresh",
         "encode=UTF-8\nkey=abcdefghijklmnopqrstuvwxyz\n[DATA]\naa 甲 乙  丙\nbb 子\n", "丙 5\n",
         "encode=UTF-8\nkey=abcdefghijklmnopqrstuvwxyz\n[DATA]\naa 丙 甲 乙\nbb 子\n", 1},
        {"libime: lines move whole, the others stay", libime + "aa 甲\nbb 子\naa 乙\n", "乙 5\n",
         libime + "aa 乙\nbb 子\naa 甲\n", 2},
        {"nothing to change, nothing changed", rime + "甲\taa\t3\n乙\taa\t2\n", "甲 5\n乙 4\n",
         rime + "甲\taa\t3\n乙\taa\t2\n", 0},
    };
    for (const Case& c : cases) {
        const TableDocument doc = ReadTable(c.table);
        ReorderOptions o;
        o.textEncoding = doc.textEncoding();
        const Reordering r = Reorder(doc.entries, Counts(c.list), o);
        const ReorderedTable out = WriteReordered(doc, r);
        EXPECT_EQ(out.bytes, c.expected) << c.what;
        EXPECT_EQ(out.linesChanged, c.linesChanged) << c.what;
        // Read back, the table shows the order proposed.
        const TableDocument back = ReadTable(out.bytes, doc.encoding, doc.format);
        EXPECT_EQ(Groups(back.entries), Groups(r.apply(doc.entries))) << c.what;
    }
}

TEST(Reorder, RandomWeightedTablesReadBackInTheOrderProposed) {
    // Weights drawn from a few values (ties, 0, neighbours with no whole
    // number between): whatever the weights, the engine's order is the
    // proposal's, and no line changes but where a candidate moved.
    const char* words[] = {"甲", "乙", "丙", "丁", "戊", "己", "庚", "辛"};
    const char* weights[] = {"0", "1", "2", "2", "3", "10", "0.5", ""};
    std::mt19937 rng(23);
    for (const bool ibus : {false, true}) {
        for (int round = 0; round < 200; ++round) {
            std::string table = ibus ? "BEGIN_TABLE\n" : "---\nsort: by_weight\n...\n", list;
            std::vector<std::string> codes = {"aa", "bb", "cc"};
            for (const auto& code : codes) {
                const int n = 1 + static_cast<int>(rng() % 7);
                for (int i = 0; i < n; ++i) {
                    std::string w = weights[rng() % (ibus ? 6 : 8)];
                    table +=
                        ibus ? code + "\t" + words[i] + "\t" + w + "\n" : words[i] + ("\t" + code + "\t") + w + "\n";
                }
            }
            for (const char* w : words)
                if (rng() % 4) list += std::string(w) + " " + std::to_string(rng() % 5) + "\n";
            if (ibus) table += "END_TABLE\n";
            const TableDocument doc = ReadTable(table);
            ReorderOptions o;
            const Reordering r = Reorder(doc.entries, Counts(list), o);
            const ReorderedTable out = WriteReordered(doc, r);
            const TableDocument back = ReadTable(out.bytes, doc.encoding, doc.format);
            EXPECT_EQ(Groups(back.entries), Groups(r.apply(doc.entries))) << table << list;
            // In the codes that changed, strictly falling weights: the order
            // stands whichever way an engine breaks ties. No other code changes.
            std::set<std::string> moved;
            for (const auto& m : r.moves) moved.insert(m.code);
            for (std::size_t i = 1; i < back.entries.size(); ++i) {
                const auto &a = back.entries[i - 1], &b = back.entries[i];
                if (a.code != b.code || !moved.count(a.code)) continue;
                EXPECT_GT(std::strtod(a.weight.value_or("0").c_str(), nullptr),
                          std::strtod(b.weight.value_or("0").c_str(), nullptr))
                    << table << list;
            }
            for (const auto& w : out.reweighted) EXPECT_TRUE(moved.count(w.code)) << table << list;
        }
    }
}

TEST(Reorder, OnlyTheCodesTakenChange) {
    const TableDocument doc = ReadTable("aa 甲 乙\nbb 子 丑\naa 丙\n", Encoding::Utf8, Format::Plain);
    const Reordering all = Reorder(doc.entries, Counts("丙 3\n乙 2\n丑 1\n"), ReorderOptions());
    ASSERT_EQ(Groups(all.apply(doc.entries)), "aa:丙 乙 甲|bb:丑 子");
    struct Case {
        std::vector<std::string> codes;
        std::string expected;
        std::size_t codesChanged, moves;
    };
    const std::vector<Case> cases = {
        {{"aa"}, "aa:丙 乙 甲|bb:子 丑", 1, 2},
        {{"bb"}, "aa:甲 乙 丙|bb:丑 子", 1, 2},
        {{}, "aa:甲 乙 丙|bb:子 丑", 0, 0},
        {{"aa", "bb"}, "aa:丙 乙 甲|bb:丑 子", 2, 4},
    };
    for (const Case& c : cases) {
        const Reordering r = OnlyCodes(all, doc.entries, c.codes);
        EXPECT_EQ(Groups(r.apply(doc.entries)), c.expected) << c.expected;
        EXPECT_EQ(r.codesChanged, c.codesChanged) << c.expected;
        EXPECT_EQ(r.moves.size(), c.moves) << c.expected;
    }
}
