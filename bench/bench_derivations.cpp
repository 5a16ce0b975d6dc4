// Timings of the expansion and every derivation on generated tables of
// 100,000 and 1,000,000 entry lines (bench/gen_table.py makes the same shape).
#include <benchmark/benchmark.h>

#include <random>
#include <string>

#include "core/collation.h"
#include "core/text.h"
#include "transform/classify.h"
#include "transform/duplicates.h"
#include "transform/expand.h"
#include "transform/full_codes.h"
#include "transform/group.h"
#include "transform/relation.h"
#include "transform/shortest.h"

using namespace zelmora;

namespace {

// Group lines with about `entries` code-word pairs; words share prefixes.
std::string MakeTable(std::size_t entries, unsigned seed = 1) {
    std::mt19937 rng(seed);
    auto ch = [&] {
        std::string c(2, '\0');
        c[0] = static_cast<char>(0xB0 + rng() % 0x48);
        c[1] = static_cast<char>(0xA1 + rng() % 0x5E);
        return c;
    };
    std::vector<std::string> heads(4000);
    for (auto& h : heads) h = ch();
    std::string out;
    out.reserve(entries * 10);
    std::size_t emitted = 0;
    while (emitted < entries) {
        static const int lens[] = {1, 2, 2, 3, 3, 3, 4, 4, 4, 4, 4, 4};
        int clen = lens[rng() % 12];
        for (int i = 0; i < clen; ++i) out += static_cast<char>('a' + rng() % 25);
        int k = 1 + (rng() % 10 == 0 ? 1 + rng() % 3 : 0);
        for (int w = 0; w < k; ++w) {
            out += ' ';
            out += heads[rng() % heads.size()];
            int more = static_cast<int>(rng() % 4);
            for (int i = 0; i < more; ++i) out += ch();
        }
        out += "\r\n";
        emitted += static_cast<std::size_t>(k);
    }
    return out;
}

const std::string& Table(std::size_t n) {
    static std::string t100k = MakeTable(100000), t1m = MakeTable(1000000);
    return n == 100000 ? t100k : t1m;
}
const std::string& Entries(std::size_t n) {
    static std::string e100k = ExpandToEntryLines(Table(100000), TextEncoding::Gbk),
                       e1m = ExpandToEntryLines(Table(1000000), TextEncoding::Gbk);
    return n == 100000 ? e100k : e1m;
}

void BM_Expand(benchmark::State& s) {
    const std::string& t = Table(static_cast<std::size_t>(s.range(0)));
    for (auto _ : s) benchmark::DoNotOptimize(ExpandToEntryLines(t, TextEncoding::Gbk));
    s.SetBytesProcessed(static_cast<int64_t>(s.iterations() * t.size()));
}
void BM_SortKeys(benchmark::State& s) {
    LineList lines = SplitLines(Entries(static_cast<std::size_t>(s.range(0))));
    for (auto _ : s) benchmark::DoNotOptimize(MakeSortKeys(lines.lines(), TextEncoding::Gbk));
}
void BM_Group(benchmark::State& s) {
    for (auto _ : s) benchmark::DoNotOptimize(GroupEqualCodes(Entries(static_cast<std::size_t>(s.range(0)))));
}
void BM_Classify(benchmark::State& s) {
    for (auto _ : s) benchmark::DoNotOptimize(ClassifyByCodeLength(Entries(static_cast<std::size_t>(s.range(0)))));
}
void BM_Duplicates(benchmark::State& s) {
    for (auto _ : s)
        benchmark::DoNotOptimize(ExtractDuplicateCodes(Table(static_cast<std::size_t>(s.range(0))), TextEncoding::Gbk));
}
void BM_FullCodes(benchmark::State& s) {
    for (auto _ : s)
        benchmark::DoNotOptimize(ExtractFullCodes(Entries(static_cast<std::size_t>(s.range(0))), TextEncoding::Gbk));
}
void BM_Shortest(benchmark::State& s) {
    for (auto _ : s)
        benchmark::DoNotOptimize(
            ExtractShortestCodes(Entries(static_cast<std::size_t>(s.range(0))), TextEncoding::Gbk));
}
void BM_Relation(benchmark::State& s) {
    const std::size_t n = static_cast<std::size_t>(s.range(0));
    for (auto _ : s) benchmark::DoNotOptimize(RelateShortAndFullCodes(Entries(n), Table(n), TextEncoding::Gbk));
}

}  // namespace

#define SIZES ->Arg(100000)->Arg(1000000)->Unit(benchmark::kMillisecond)->Iterations(1)->Repetitions(1)
BENCHMARK(BM_Expand) SIZES;
BENCHMARK(BM_SortKeys) SIZES;
BENCHMARK(BM_Group) SIZES;
BENCHMARK(BM_Classify) SIZES;
BENCHMARK(BM_Duplicates) SIZES;
BENCHMARK(BM_FullCodes) SIZES;
BENCHMARK(BM_Shortest) SIZES;
BENCHMARK(BM_Relation) SIZES;
BENCHMARK_MAIN();
