// Short codes by frequency: the assignment against brute force, a table
// worked by hand where greedy falls short, the prefix rule on the built-in
// table, and the table written back in each format.
#include <gtest/gtest.h>

#include <sys/wait.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <random>
#include <string>
#include <vector>

#include "core/failure.h"
#include "formats/document.h"
#include "formats/files.h"
#include "formats/writing.h"
#include "tests/test_util.h"
#include "tune/assignment.h"
#include "tune/frequency.h"
#include "tune/reorder.h"
#include "tune/shortcodes.h"
#include "typing/score.h"

using namespace zelmora;
using namespace zelmora::tune;

namespace {

std::string Gb(const std::string& utf8) { return testutil::Convert("gb18030", "UTF-8", utf8); }
std::string Utf8(const std::string& gb) { return testutil::Convert("UTF-8", "gb18030", gb); }

formats::TableDocument Plain(const std::string& utf8) {
    return formats::ReadTable(utf8, formats::Encoding::Utf8, formats::Format::Plain);
}

typing::FrequencyList List(const std::string& utf8) { return typing::ReadFrequencyList(utf8, "list"); }

// Each code's words (UTF-8), in candidate order.
std::map<std::string, std::vector<std::string>> Codes(const std::vector<formats::TableEntry>& entries) {
    std::map<std::string, std::vector<std::string>> codes;
    for (const auto& e : entries) codes[e.code].push_back(Utf8(e.word));
    return codes;
}

// The best total by trying every choice of every row.
std::int64_t BruteForce(const AssignmentProblem& p) {
    std::int64_t best = 0;
    std::vector<std::uint32_t> load(p.capacities.size(), 0);
    std::function<void(std::size_t, std::int64_t)> go = [&](std::size_t r, std::int64_t total) {
        if (r == p.options.size()) {
            best = std::max(best, total);
            return;
        }
        go(r + 1, total);
        for (const auto& o : p.options[r])
            if (load[o.column] < p.capacities[o.column]) {
                ++load[o.column];
                go(r + 1, total + o.gain);
                --load[o.column];
            }
    };
    go(0, 0);
    return best;
}

// The hand-worked table: 甲 (abcd, 10) and 乙 (acde, 9) both want "a"; "ab"
// has one slot and "ac" none (the table has nothing there), so 乙 can only
// take "a". Every base is 4 keys (four letters commit themselves); "a" costs
// 2 (letter and space), "ab" 3. Greedy: 甲 a (20) and 丁 ab (1) = 21.
// Optimal: 乙 a (9 x 2 = 18) and 甲 ab (10 x 1 = 10) = 28. Old: 丙 a (1 x 2)
// and 丁 ab (1 x 1) = 3.
const char* kHandTable = "a 丙\nab 丁\naaaa 丙\nabcd 甲\nabzz 丁\nacde 乙\n";
const char* kHandList = "甲 10\n乙 9\n丙 1\n丁 1\n";

}  // namespace

TEST(Assignment, OptimalMatchesBruteForceAndGreedyNeverBeatsIt) {
    std::mt19937 random(23);
    for (int round = 0; round < 300; ++round) {
        AssignmentProblem p;
        const std::size_t columns = 1 + random() % 4, rows = 1 + random() % 7;
        for (std::size_t c = 0; c < columns; ++c) p.capacities.push_back(random() % 3);
        p.options.resize(rows);
        for (auto& row : p.options)
            for (std::uint32_t c = 0; c < columns; ++c)
                if (random() % 2) row.push_back({c, static_cast<std::int64_t>(1 + random() % 20)});
        const std::int64_t best = BruteForce(p);
        EXPECT_EQ(TotalGain(p, AssignOptimal(p)), best) << "round " << round;
        EXPECT_LE(TotalGain(p, AssignGreedy(p)), best) << "round " << round;
    }
}

TEST(ShortCodes, HandWorkedTableWhereGreedyIsNotOptimal) {
    const auto doc = Plain(kHandTable);
    struct Case {
        ShortCodeMethod method;
        std::int64_t saving;
        std::vector<std::string> a, ab;
    };
    const std::vector<Case> cases = {
        {ShortCodeMethod::Greedy, 21, {"甲"}, {"丁"}},
        {ShortCodeMethod::Optimal, 28, {"乙"}, {"甲"}},
    };
    for (const Case& c : cases) {
        ShortCodeOptions o;
        o.levels = {1, 2};
        o.method = c.method;
        const ShortCodeProposal p = ProposeShortCodes(doc.entries, doc.textEncoding(), List(kHandList), o);
        EXPECT_EQ(p.oldSaving, 3);
        EXPECT_EQ(p.objective, c.saving);
        EXPECT_EQ(p.saving, c.saving);
        auto codes = Codes(p.entries);
        EXPECT_EQ(codes["a"], c.a);
        EXPECT_EQ(codes["ab"], c.ab);
        EXPECT_EQ(codes.count("ac"), 0u);
        EXPECT_EQ(codes["abcd"], std::vector<std::string>{"甲"});  // full codes stay
    }
}

TEST(ShortCodes, RandomTablesOptimalNeverScoresBelowGreedyAndMeasuresWhatItSolved) {
    std::mt19937 random(86);
    const std::string han = "甲乙丙丁戊己庚辛壬癸子丑寅卯辰巳午未申酉戌亥";
    for (int round = 0; round < 60; ++round) {
        std::string table, list;
        for (std::size_t i = 0; i < han.size() / 3; ++i) {
            const std::string word = han.substr(3 * i, 3);
            std::string full;
            for (int k = 0; k < 4; ++k) full += static_cast<char>('a' + random() % 3);
            table += full + " " + word + "\n";
            if (random() % 3 == 0) table += full.substr(0, 1 + random() % 3) + " " + word + "\n";
            list += word + " " + std::to_string(random() % 50) + "\n";
        }
        const auto doc = Plain(table);
        ShortCodeOptions o;
        if (round % 2) o.perCode = 1 + round % 3;
        std::int64_t saving[2] = {0, 0};
        for (ShortCodeMethod m : {ShortCodeMethod::Greedy, ShortCodeMethod::Optimal}) {
            o.method = m;
            const ShortCodeProposal p = ProposeShortCodes(doc.entries, doc.textEncoding(), List(list), o);
            EXPECT_EQ(p.saving, p.objective) << table;
            EXPECT_EQ(Codes(ApplyShortCodeChanges(doc.entries, p.changes)), Codes(p.entries)) << table;
            saving[m == ShortCodeMethod::Optimal] = p.saving;
        }
        EXPECT_GE(saving[1], saving[0]) << table;
    }
}

TEST(ShortCodes, BuiltInTableKeepsThePrefixRuleFullCodesAndCapacities) {
    const auto doc =
        formats::ReadTable(ReadInput(ZELMORA_SHARED_TABLE), formats::Encoding::Auto, formats::Format::Plain);
    const auto list = typing::LoadFrequencyList("jieba");
    std::map<std::string, std::string> full;  // word -> longest code
    for (const auto& e : doc.entries)
        if (e.code.size() > full[e.word].size()) full[e.word] = e.code;
    const auto before = Codes(doc.entries);
    for (ShortCodeMethod m : {ShortCodeMethod::Greedy, ShortCodeMethod::Optimal}) {
        ShortCodeOptions o;
        o.method = m;
        const ShortCodeProposal p = ProposeShortCodes(doc.entries, doc.textEncoding(), list, o);
        EXPECT_GT(p.saving, p.oldSaving);
        for (const auto& c : p.changes) {
            if (c.kind != ShortCodeChange::Kind::Added) continue;
            const std::string& f = full[c.word];
            EXPECT_LT(c.code.size(), f.size()) << Utf8(c.word);
            EXPECT_EQ(f.compare(0, c.code.size(), c.code), 0) << c.code << " " << Utf8(c.word);
        }
        const auto after = Codes(p.entries);
        for (const auto& [code, words] : before) {
            if (code.size() == 4) {
                EXPECT_EQ(after.at(code), words) << code;
            } else if (after.count(code)) {
                EXPECT_LE(after.at(code).size(), code.size() == 1 ? 1u : words.size()) << code;
            }
        }
    }
}

TEST(ShortCodes, WrittenBackInEachFormatWithOnlyChangedCodesRewritten) {
    // ab: 丁 (weight 50) and 戊 (40); a: 丙; the wanted lists put a new word
    // first, between, last, replace all, drop a code and add one.
    const std::vector<formats::TableEntry> old = {
        {"a", Gb("丙"), "90", {}},   {"ab", Gb("丁"), "50", {}},  {"ab", Gb("戊"), "40", {}},
        {"aaaa", Gb("丙"), "9", {}}, {"abcd", Gb("甲"), "8", {}}, {"abzz", Gb("丁"), "7", {}},
        {"abyy", Gb("戊"), "6", {}}, {"acde", Gb("乙"), "5", {}},
    };
    struct Want {
        const char* note;
        std::map<std::string, std::vector<std::string>> lists;  // changed codes; empty list: dropped
    };
    const std::vector<Want> wants = {
        {"new first", {{"ab", {"甲", "丁", "戊"}}}},
        {"new between", {{"ab", {"丁", "甲", "戊"}}}},
        {"new last, one gone", {{"ab", {"丁", "甲"}}}},
        {"all replaced", {{"a", {"乙"}}, {"ab", {"甲"}}}},
        {"a code dropped, one added", {{"a", {}}, {"ac", {"乙"}}}},
    };
    for (formats::Format format : {formats::Format::Plain, formats::Format::Rime, formats::Format::Ibus,
                                   formats::Format::Libime, formats::Format::Yong}) {
        const std::string bytes = formats::WriteEntries(old, format, formats::Encoding::Utf8);
        const formats::TableDocument doc = formats::ReadTable(bytes, formats::Encoding::Utf8, format);
        for (const Want& want : wants) {
            const std::string where = std::string(formats::FormatName(format)) + ": " + want.note;
            std::map<std::string, std::vector<std::string>> lists = Codes(doc.entries);
            for (const auto& [code, words] : want.lists) lists[code] = words;
            std::vector<formats::TableEntry> entries;
            for (const auto& [code, words] : lists)
                for (const auto& w : words) entries.push_back({code, Gb(w), {}, {}});
            std::string written;
            ASSERT_NO_THROW(written = WriteWithCandidates(doc, entries)) << where;
            const auto backEntries = formats::ReadTable(written, formats::Encoding::Utf8, format).entries;
            auto back = Codes(backEntries);
            // Engines ordering by weight break ties their own way: a changed code's weights never tie.
            if (format == formats::Format::Rime || format == formats::Format::Ibus)
                for (std::size_t i = 1; i < backEntries.size(); ++i)
                    if (backEntries[i].code == backEntries[i - 1].code && want.lists.count(backEntries[i].code)) {
                        EXPECT_LT(std::stod(*backEntries[i].weight), std::stod(*backEntries[i - 1].weight))
                            << where << ": " << backEntries[i].code;
                    }
            for (auto it = lists.begin(); it != lists.end();) it = it->second.empty() ? lists.erase(it) : ++it;
            EXPECT_EQ(back, lists) << where;
            // Lines of codes left alone come back byte for byte, in order.
            std::size_t from = 0;
            for (std::size_t i = 0; i < doc.lines.size(); ++i) {
                const auto& l = doc.lines[i];
                if (l.kind == formats::TableLine::Kind::Entry && want.lists.count(doc.entries[l.firstEntry].code))
                    continue;
                const std::string line = Utf8(std::string(doc.lineText(i)));
                const std::size_t at = written.find(line, from);
                EXPECT_NE(at, std::string::npos) << where << ": " << line;
                if (at != std::string::npos) from = at + line.size();
            }
        }
    }
}

TEST(ShortCodes, BadOptionsAndEntriesAreRefusedOrSkippedByName) {
    const auto doc = Plain("a 丙\nA1 甲\nb 乙\naaaa 丙\n");
    for (const std::vector<std::size_t>& levels : std::vector<std::vector<std::size_t>>{{}, {0}, {4}, {1, 1}}) {
        ShortCodeOptions o;
        o.levels = levels;
        EXPECT_THROW(ProposeShortCodes(doc.entries, doc.textEncoding(), List("丙 1\n"), o), Failure);
    }
    const ShortCodeProposal p = ProposeShortCodes(doc.entries, doc.textEncoding(), List("丙 1\n乙 5\n"), {});
    std::vector<std::string> skipped;
    for (const auto& s : p.skipped) skipped.push_back(s.code + " " + s.word);
    EXPECT_EQ(skipped, (std::vector<std::string>{"A1 甲", "b 乙"}));
}

TEST(ShortCodes, CommandWritesNothingOnTroubleAndExitsTwo) {
    const auto dir = std::filesystem::temp_directory_path() / ("zelmora_shortcodes_" + std::to_string(::getpid()));
    std::filesystem::create_directories(dir);
    auto put = [&](const char* name, const std::string& text) {
        std::ofstream(dir / name, std::ios::binary) << text;
        return (dir / name).string();
    };
    const std::string table = put("t.txt", kHandTable), list = put("l.txt", kHandList),
                      bad = put("bad.txt", "甲 ten\n"), out = (dir / "new.txt").string();
    struct Case {
        std::string args;
        int status;
        bool written;
    };
    const std::vector<Case> cases = {
        {table + " --freq " + list + " --levels 1,2 --method optimal --out " + out, 0, true},
        {table + " --freq " + list + " --dry-run", 0, false},
        {table + " --freq " + bad + " --out " + out, 2, false},
        {table + " --freq " + list + " --levels 1,4 --out " + out, 2, false},
        {table + " --freq " + list + " --method best --out " + out, 2, false},
        {table + " --freq " + list, 2, false},
    };
    for (const Case& c : cases) {
        std::filesystem::remove(out);
        const int raw = std::system(
            (std::string(ZELMORA_CLI) + " shortcodes " + c.args + " >" + (dir / "report.txt").string() + " 2>&1")
                .c_str());
        EXPECT_EQ(WEXITSTATUS(raw), c.status) << c.args;
        EXPECT_EQ(std::filesystem::exists(out), c.written) << c.args;
    }
    std::filesystem::remove(out);
    std::system((std::string(ZELMORA_CLI) + " shortcodes " + cases[0].args + " >/dev/null").c_str());
    EXPECT_EQ(ReadInput(out), "a 乙\nab 甲\naaaa 丙\nabcd 甲\nabzz 丁\nacde 乙\n");
    std::filesystem::remove_all(dir);
}

TEST(ShortCodes, NewCodesGoInByteOrderOrAfterTheLastEntry) {
    struct Case {
        const char* table;
        const char* written;
    };
    const std::vector<Case> cases = {
        {"\na 丙\naaaa 丙\nabcd 甲\nacde 乙\n", "\na 丙\naaaa 丙\nab 甲\nabcd 甲\nacde 乙\n"},
        {"a 丙\nacde 乙\nabcd 甲\n\n", "a 丙\nacde 乙\nabcd 甲\nab 甲\n\n"},
        {"a 丙\naaaa 丙\nabcd 甲\n", "a 丙\naaaa 丙\nab 甲\nabcd 甲\n"},
    };
    for (const Case& c : cases) {
        const auto doc = Plain(c.table);
        std::vector<formats::TableEntry> entries = doc.entries;
        entries.push_back({"ab", Gb("甲"), {}, {}});
        EXPECT_EQ(WriteWithCandidates(doc, entries), c.written) << c.table;
    }
}

TEST(ShortCodes, PhrasesTakeShortCodesOnlyWithWords) {
    // 甲乙 (abce) counts 100, 丁 (abzz) 1: with words the phrase takes "ab".
    const auto doc = Plain("ab 丁\nabzz 丁\nabce 甲乙\n");
    for (bool words : {false, true}) {
        ShortCodeOptions o;
        o.levels = {2};
        o.words = words;
        const ShortCodeProposal p = ProposeShortCodes(doc.entries, doc.textEncoding(), List("甲乙 100\n丁 1\n"), o);
        EXPECT_EQ(Codes(p.entries)["ab"], std::vector<std::string>{words ? "甲乙" : "丁"});
        EXPECT_EQ(p.saving, words ? 100 : 1);
    }
}

TEST(ShortCodes, ANewWordTakesTheLeavingWordsPlaceAmongEqualCosts) {
    // 戊's full code is "ab" itself (it stays); 丁 (abzz, 1) gives "ab" up to
    // 甲 (abcd, 10). Both places cost 3 keys, so 甲 stands where 丁 stood.
    struct Case {
        const char* table;
        std::vector<std::string> ab;
        std::size_t position;
    };
    const std::vector<Case> cases = {
        {"ab 丁\nab 戊\nabzz 丁\nabcd 甲\n", {"甲", "戊"}, 1},
        {"ab 戊\nab 丁\nabzz 丁\nabcd 甲\n", {"戊", "甲"}, 2},
    };
    for (const Case& c : cases) {
        const auto doc = Plain(c.table);
        ShortCodeOptions o;
        o.levels = {2};
        const ShortCodeProposal p = ProposeShortCodes(doc.entries, doc.textEncoding(), List("甲 10\n丁 1\n"), o);
        EXPECT_EQ(Codes(p.entries)["ab"], c.ab) << c.table;
        ASSERT_EQ(p.changes.size(), 2u) << c.table;
        EXPECT_EQ(Utf8(p.changes[0].word) + std::to_string(p.changes[0].position), "丁" + std::to_string(c.position));
        EXPECT_EQ(Utf8(p.changes[1].word) + std::to_string(p.changes[1].position), "甲" + std::to_string(c.position));
    }
}

TEST(ShortCodes, FixedEntriesKeepTheirPositionsAndSlotsAreThePlacesLeft) {
    // Pages of two. 戊 and 己 have "ab" as their full code and stay where
    // they stand; the one slot is the first place, whose 3 keys save 甲
    // (abcd, 10) one. Counted behind them it would be on page 2 at 4 keys,
    // saving nothing, and the word there would be pushed behind them.
    struct Case {
        const char* table;
        std::vector<std::string> ab;
        std::vector<std::string> changes;  // kind, word, position
    };
    const std::vector<Case> cases = {
        {"ab 甲\nab 戊\nab 己\nabcd 甲\n", {"甲", "戊", "己"}, {}},
        {"ab 丁\nab 戊\nab 己\nabzz 丁\nabcd 甲\n", {"甲", "戊", "己"}, {"-丁1", "+甲1"}},
    };
    for (const Case& c : cases) {
        const auto doc = Plain(c.table);
        ShortCodeOptions o;
        o.levels = {2};
        o.typing.pageSize = 2;
        const ShortCodeProposal p = ProposeShortCodes(doc.entries, doc.textEncoding(), List("甲 10\n丁 1\n"), o);
        EXPECT_EQ(Codes(p.entries)["ab"], c.ab) << c.table;
        std::vector<std::string> changes;
        for (const ShortCodeChange& ch : p.changes)
            changes.push_back((ch.kind == ShortCodeChange::Kind::Added ? "+" : "-") + Utf8(ch.word) +
                              std::to_string(ch.position));
        EXPECT_EQ(changes, c.changes) << c.table;
        EXPECT_EQ(p.saving, 10) << c.table;
    }
}

TEST(ShortCodes, AWordListedTwiceCountsBothLinesAsReorderCountsIt) {
    // 甲 3 + 4 = 7 outweighs 乙 5; by its first line alone (3) it would not.
    const auto doc = Plain("a 乙\na 甲\naaaa 乙\nabcd 甲\n");
    const typing::FrequencyList list = List("甲 3\n乙 5\n甲 4\n");
    ShortCodeOptions o;
    o.levels = {1};
    const ShortCodeProposal p = ProposeShortCodes(doc.entries, doc.textEncoding(), list, o);
    EXPECT_EQ(Codes(p.entries)["a"], std::vector<std::string>{"甲"});
    EXPECT_EQ(p.saving, 7 * 2);
    ReorderOptions r;
    r.textEncoding = doc.textEncoding();
    EXPECT_EQ(Codes(Reorder(doc.entries, WordCounts(list), r).apply(doc.entries))["a"],
              (std::vector<std::string>{"甲", "乙"}));
}
