// Coding new words: 1,000,000 words of 1 to 6 characters of the built-in table
// must be coded in under 2 seconds.
#include <benchmark/benchmark.h>

#include <random>
#include <string>
#include <vector>

#include "core/text.h"
#include "resources/resources.h"
#include "wubi/encode.h"

namespace {

using namespace zelmora;

const std::string& BuiltinText() {
    static const std::string text = OpenBuiltinTable().readAll();
    return text;
}

// A word list of `count` lines, every tenth with a weight.
std::string MakeWordList(std::size_t count, unsigned seed) {
    std::vector<std::string> chars;
    for (const auto& line : SplitLines(BuiltinText())) {
        LineList tokens = SplitTokens(line);
        for (std::size_t j = 1; j < tokens.count(); ++j) chars.push_back(tokens.lines()[j]);
    }
    std::mt19937 rng(seed);
    std::uniform_int_distribution<std::size_t> pickChar(0, chars.size() - 1);
    std::uniform_int_distribution<int> pickLength(1, 6);
    std::string list;
    list.reserve(count * 10);
    for (std::size_t i = 0; i < count; ++i) {
        const int n = pickLength(rng);
        for (int k = 0; k < n; ++k) list += chars[pickChar(rng)];
        if (i % 10 == 0) list += "\t" + std::to_string(i);
        list += "\r\n";
    }
    return list;
}

void BM_BuildCharacterTable(benchmark::State& state) {
    for (auto _ : state) {
        CharacterTable t = BuildCharacterTable(BuiltinText());
        benchmark::DoNotOptimize(t.size());
    }
}
BENCHMARK(BM_BuildCharacterTable)->Unit(benchmark::kMillisecond);

// The goal: the whole word list coded (reading lines, weights, left-out checks,
// repeated pairs dropped).
void BM_EncodeWordList(benchmark::State& state) {
    const std::size_t count = static_cast<std::size_t>(state.range(0));
    const std::string list = MakeWordList(count, 8);
    const CharacterTable table = BuildCharacterTable(BuiltinText());
    std::size_t entries = 0;
    for (auto _ : state) {
        EncodeResult r = EncodeWordList(table, list, formats::WubiPhraseRules());
        entries = r.entries.size();
        benchmark::DoNotOptimize(r.entries.data());
    }
    state.counters["entries"] = static_cast<double>(entries);
    state.SetItemsProcessed(static_cast<int64_t>(state.iterations() * count));
}
BENCHMARK(BM_EncodeWordList)->Arg(1000000)->Unit(benchmark::kMillisecond)->Iterations(3);

// The lookups and the rules alone.
void BM_EncodeWord(benchmark::State& state) {
    const std::string list = MakeWordList(100000, 9);
    std::vector<std::string> words;
    for (const auto& line : SplitLines(list)) words.push_back(line.substr(0, line.find('\t')));
    const CharacterTable table = BuildCharacterTable(BuiltinText());
    for (auto _ : state) {
        for (const auto& w : words) {
            WordCodes r = EncodeWord(table, w, formats::WubiPhraseRules());
            benchmark::DoNotOptimize(r.codes.data());
        }
    }
    state.SetItemsProcessed(static_cast<int64_t>(state.iterations() * words.size()));
}
BENCHMARK(BM_EncodeWord)->Unit(benchmark::kMillisecond);

// Writing the result as the expansion sorts it (collation sort keys and the
// partition sort): what the command adds on top of the coding.
void BM_FormatEncodedEntries(benchmark::State& state) {
    const std::size_t count = static_cast<std::size_t>(state.range(0));
    const CharacterTable table = BuildCharacterTable(BuiltinText());
    const EncodeResult r = EncodeWordList(table, MakeWordList(count, 10), formats::WubiPhraseRules());
    for (auto _ : state) {
        std::string text = FormatEncodedEntries(r.entries, false, TextEncoding::Gbk);
        benchmark::DoNotOptimize(text.data());
    }
    state.SetItemsProcessed(static_cast<int64_t>(state.iterations() * r.entries.size()));
}
BENCHMARK(BM_FormatEncodedEntries)->Arg(1000000)->Unit(benchmark::kMillisecond)->Iterations(1);

}  // namespace

BENCHMARK_MAIN();
