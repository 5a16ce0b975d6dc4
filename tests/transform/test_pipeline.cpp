// The whole pipeline as a user runs it in the window, on the built-in table,
// and on two tables of different encodings at once.
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <random>
#include <thread>

#include "core/collation.h"
#include "core/text.h"
#include "resources/resources.h"
#include "tests/test_util.h"
#include "transform/entry_table.h"
#include "transform/expand.h"
#include "transform/pipeline.h"

TEST(Pipeline, StatusLinesOfTheBuiltinTable) {
    std::string table = zelmora::OpenBuiltinTable().readAll();
    auto r = zelmora::RunPipeline(table, std::nullopt, zelmora::TextEncoding::Gbk);
    std::string all;
    for (auto& [c, s] : r.statusLines) all += c + "\t" + s + "\n";
    EXPECT_EQ(
        all,
        "原码表\t10690行\n一字一行\t10951行\n重码一行\t10690行\n码长分类\t行数:一码25 二码599 三码4396 四码5931\n"
        "全码\t行数:三码832 四码5931 全部6763 三简3564\n出简不出全\t行数:一码25 二码588 三码3811 四码2339 全部6763\n"
        "重码\t重码：249行 510字；不重码10441\n简码全码\t行数:全部简码4188 简码全码3911 简码字3911 置后10690\n");
}

TEST(Pipeline, OutputsInFileOrderAndOwnEntriesTakenAsPasted) {
    auto r = zelmora::RunPipeline("a x\r\nb y z", std::string("b y\nb z\n"), zelmora::TextEncoding::Gbk);
    std::vector<std::string> hints;
    for (auto& [hint, text] : r.outputs) hints.push_back(hint);
    EXPECT_EQ(hints,
              (std::vector<std::string>{
                  "一字一行", "重码一行", "一码",   "二码",     "三码",     "四码",       "全码三码",
                  "全码四码", "全码全部", "三简",   "最简一码", "最简二码", "最简三码",   "最简四码",
                  "最简全部", "重码",     "不重码", "全部简码", "简码全码", "有简码的字", "简码字的全码重码时置后"}));
    // The pasted entries keep their own lines, breaks made CR LF.
    EXPECT_EQ(r.outputs[0].second, "b y\r\nb z\r\n");
    EXPECT_EQ(r.outputs[1].second, "b y z");
    EXPECT_EQ(r.statusLines[1].second, "2行");
    EXPECT_EQ(r.statusLines[6].second, "重码：1行 0字；不重码1");
}

namespace {

using zelmora::PipelineResult;
using zelmora::TextEncoding;

bool SameResults(const PipelineResult& a, const PipelineResult& b) {
    return a.outputs == b.outputs && a.statusLines == b.statusLines;
}

// The first `lines` lines of the built-in table (GBK bytes, CR LF).
std::string BuiltinHead(std::size_t lines) {
    const std::string table = zelmora::OpenBuiltinTable().readAll();
    std::size_t end = 0;
    for (std::size_t n = 0; n < lines && end != std::string::npos; ++n) end = table.find("\r\n", end + 2);
    return table.substr(0, end);
}

}  // namespace

// Two tables of different encodings at once: the encoding goes with each run,
// so neither sees the other's. Each table is also run in the other encoding
// first: its results must then differ, or the test could not tell a shared
// encoding from its own.
TEST(Pipeline, GbkAndGb18030TablesRunAtOnceOnTwoThreads) {
    const std::string head = BuiltinHead(3000);
    // GBK: 0x80 is the euro sign in code page 936 and no character of GB18030.
    const std::string gbk =
        head + "\r\n" + testutil::Lines({"aaaa 工 !", "aaab 式"}) + "\r\naaaa \x80 a\r\naaab \x80\x80";
    // GB18030 with CJK Extension B characters (U+20000, U+2A6A5), which GBK lacks.
    const std::string gb18030 =
        head + "\r\n" +
        testutil::Convert("gb18030", "UTF-8", "a 工 𠀀\r\naaaa 𠀀 工\r\nwwww 𪚥\r\nww 𪚥\r\nwwwa 𪚥 𠀀 x");

    const PipelineResult gbkAlone = zelmora::RunPipeline(gbk, std::nullopt, TextEncoding::Gbk);
    const PipelineResult gb18030Alone = zelmora::RunPipeline(gb18030, std::nullopt, TextEncoding::Gb18030);
    ASSERT_FALSE(SameResults(gbkAlone, zelmora::RunPipeline(gbk, std::nullopt, TextEncoding::Gb18030)));
    ASSERT_FALSE(SameResults(gb18030Alone, zelmora::RunPipeline(gb18030, std::nullopt, TextEncoding::Gbk)));

    constexpr int kRounds = 6;
    int gbkSame = 0, gb18030Same = 0;
    std::thread other([&] {
        for (int i = 0; i < kRounds; ++i)
            gb18030Same +=
                SameResults(zelmora::RunPipeline(gb18030, std::nullopt, TextEncoding::Gb18030), gb18030Alone);
    });
    for (int i = 0; i < kRounds; ++i)
        gbkSame += SameResults(zelmora::RunPipeline(gbk, std::nullopt, TextEncoding::Gbk), gbkAlone);
    other.join();
    EXPECT_EQ(gbkSame, kRounds);
    EXPECT_EQ(gb18030Same, kRounds);
}

// The expansion is ranked exactly when its text's lines are the sorted
// entries, and then says where each line starts.
TEST(Expansion, RankedOnlyWhenTheLinesAreTheEntries) {
    using namespace zelmora;
    struct Case {
        const char* name;
        std::string source;
        bool ranked;
    };
    const std::vector<Case> cases = {
        {"plain", "aa x y\r\nb z\r\n", true},
        {"empty", "", true},
        {"no words", "aa\r\nbb\r\n", true},
        {"a blank ending the last entry", "zz \"w\x01\"\r\nm n\r\n", false},
        {"a blank starting the first entry", "\"\x01a\" w\r\nm n\r\n", false},
        {"a blank inside", "m \"n\x01\"\r\nzz w\r\n", true},
        {"quoted words", "a \"x y\" z\r\n", true},
    };
    for (const Case& c : cases) {
        Expansion e = ExpandWithRanks(c.source, TextEncoding::Gbk);
        EXPECT_EQ(e.ranked, c.ranked) << c.name;
        if (!e.ranked) continue;
        std::vector<std::uint32_t> starts;
        ForEachLine(e.text, [&](std::string_view line) {
            starts.push_back(static_cast<std::uint32_t>(line.data() - e.text.data()));
        });
        EXPECT_EQ(e.lineStarts, starts) << c.name;
        EXPECT_EQ(e.ranks.size(), starts.size()) << c.name;
    }
}

// Lines of a ranked entry table, picked in any order (near and far apart,
// forwards, backwards, at random, the first and last lines), sorted by the
// expansion's ranks into the lines SortedOrder gives by their keys.
TEST(EntryTable, AnyLinesSortedByRanksAsByKeys) {
    using namespace zelmora;
    std::string source;
    for (int i = 0; i < 3000; ++i)
        source += "c" + std::to_string(i % 97) + " w" + std::to_string(i * 7919 % 3001) + (i % 5 ? "" : " W1") + "\r\n";
    Expansion e = ExpandWithRanks(source, TextEncoding::Gbk);
    ASSERT_TRUE(e.ranked);
    const std::string text = e.text;
    EntryTable table(text, TextEncoding::Gbk);
    table.setRanks(std::move(e.ranks));
    std::vector<std::string_view> lines;
    ForEachLine(text, [&](std::string_view line) { lines.push_back(line); });
    std::mt19937 rng(11);
    struct Pick {
        const char* name;
        std::function<std::vector<std::string_view>()> lines;
    };
    auto every = [&](std::size_t step, bool backwards) {
        std::vector<std::string_view> picked;
        for (std::size_t i = 0; i < lines.size(); i += step) picked.push_back(lines[i]);
        if (backwards) std::reverse(picked.begin(), picked.end());
        return picked;
    };
    const std::vector<Pick> picks = {
        {"all, forwards", [&] { return every(1, false); }},
        {"all, backwards", [&] { return every(1, true); }},
        {"far apart, forwards", [&] { return every(613, false); }},
        {"far apart, backwards", [&] { return every(613, true); }},
        {"the last and the first",
         [&] {
             return std::vector<std::string_view>{lines.back(), lines.front()};
         }},
        {"at random",
         [&] {
             std::vector<std::string_view> picked = every(3, false);
             std::shuffle(picked.begin(), picked.end(), rng);
             return picked;
         }},
    };
    for (const Pick& pick : picks) {
        SCOPED_TRACE(pick.name);
        const std::vector<std::string_view> picked = pick.lines();
        // Lines that are the same bytes (the table has some twice) may trade places.
        const std::vector<std::uint32_t> got = table.sortedOrder(picked);
        const std::vector<std::uint32_t> expected = SortedOrder(picked, TextEncoding::Gbk);
        ASSERT_EQ(got.size(), expected.size());
        for (std::size_t k = 0; k < got.size(); ++k) ASSERT_EQ(picked[got[k]], picked[expected[k]]) << k;
    }
}
