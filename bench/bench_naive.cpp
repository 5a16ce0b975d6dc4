// The literal step-by-step derivations (tests/naive) against the real ones on
// a generated table of 20,000 entry lines: how much the fast lookups save.
#include <benchmark/benchmark.h>

#include <random>
#include <string>

#include "tests/naive/naive.h"
#include "transform/expand.h"
#include "transform/pipeline.h"

namespace {

std::string MakeTable(std::size_t entries) {
    std::mt19937 rng(5);
    auto ch = [&] {
        std::string c(2, '\0');
        c[0] = static_cast<char>(0xB0 + rng() % 0x48);
        c[1] = static_cast<char>(0xA1 + rng() % 0x5E);
        return c;
    };
    std::vector<std::string> heads(800);
    for (auto& h : heads) h = ch();
    std::string out;
    for (std::size_t i = 0; i < entries; ++i) {
        static const int lens[] = {1, 2, 2, 3, 3, 3, 4, 4, 4, 4, 4, 4};
        int clen = lens[rng() % 12];
        for (int k = 0; k < clen; ++k) out += static_cast<char>('a' + rng() % 25);
        out += ' ' + heads[rng() % heads.size()];
        for (int m = static_cast<int>(rng() % 3); m > 0; --m) out += ch();
        out += "\r\n";
    }
    return out;
}

const std::string& Table() {
    static std::string t = MakeTable(20000);
    return t;
}

void BM_LiteralSteps20k(benchmark::State& s) {
    for (auto _ : s) {
        std::string entries = naive::Expand(Table());
        benchmark::DoNotOptimize(naive::Group(entries));
        benchmark::DoNotOptimize(naive::Classify(entries));
        benchmark::DoNotOptimize(naive::ExtractFullCodes(entries));
        benchmark::DoNotOptimize(naive::ExtractShortest(entries));
        benchmark::DoNotOptimize(naive::ExtractDuplicates(Table()));
        benchmark::DoNotOptimize(naive::Relate(entries, Table()));
    }
}
void BM_Fast20k(benchmark::State& s) {
    for (auto _ : s) benchmark::DoNotOptimize(zelmora::RunPipeline(Table(), std::nullopt, zelmora::TextEncoding::Gbk));
}

}  // namespace

BENCHMARK(BM_LiteralSteps20k)->Unit(benchmark::kMillisecond)->Iterations(1);
BENCHMARK(BM_Fast20k)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK_MAIN();
