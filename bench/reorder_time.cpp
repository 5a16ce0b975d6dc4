// The reorder of a table by a frequency list, timed step by step as
// zelmora-cli reorder takes them (without the typing figures of its report,
// which cost what `score --freq` costs): wall and processor time per step.
// Usage: reorder_time TABLE LIST (LIST: jieba, essay or a file)
#include <chrono>
#include <cstdio>
#include <ctime>
#include <string>

#include "core/failure.h"
#include "formats/document.h"
#include "formats/files.h"
#include "tune/frequency.h"
#include "tune/reorder.h"
#include "typing/score.h"

namespace {

struct Clock {
    std::chrono::steady_clock::time_point wall = std::chrono::steady_clock::now();
    std::clock_t cpu = std::clock();
    double totalWall = 0, totalCpu = 0;
    void step(const char* what) {
        const auto now = std::chrono::steady_clock::now();
        const std::clock_t c = std::clock();
        const double w = std::chrono::duration<double>(now - wall).count();
        const double p = static_cast<double>(c - cpu) / CLOCKS_PER_SEC;
        totalWall += w;
        totalCpu += p;
        std::printf("%-32s %7.3f s wall %7.3f s processor\n", what, w, p);
        wall = now;
        cpu = c;
    }
};

}  // namespace

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: reorder_time TABLE LIST\n");
        return 2;
    }
    try {
        using namespace zelmora;
        Clock clock;
        const std::string bytes = ReadInput(argv[1]);
        const formats::TableDocument doc = formats::ReadTable(bytes);
        clock.step("read the table");
        const tune::WordCounts counts(typing::LoadFrequencyList(argv[2]));
        clock.step("read the list");
        tune::ReorderOptions options;
        options.textEncoding = doc.textEncoding();
        const tune::Reordering r = tune::Reorder(doc.entries, counts, options);
        clock.step("order");
        const tune::ReorderedTable out = tune::WriteReordered(doc, r);
        clock.step("write");
        const formats::TableDocument back = formats::ReadTable(out.bytes, doc.encoding, doc.format);
        clock.step("read back");
        std::printf("%-32s %7.3f s wall %7.3f s processor\n", "reorder in all", clock.totalWall, clock.totalCpu);
        std::printf("%zu entries, %zu codes reordered, %zu candidates moved, %zu lines changed\n", back.entries.size(),
                    r.codesChanged, r.moves.size(), out.linesChanged);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "reorder_time: %s\n", e.what());
        return 1;
    }
    return 0;
}
