// Times the short-code proposal alone (no report, no writing), greedy and
// optimal, over GB 2312's characters and over every character of the table.
// Usage: shortcodes_time TABLE FREQ (FREQ: jieba, essay or a file)
#include <sys/resource.h>

#include <chrono>
#include <cstdio>
#include <string>

#include "core/failure.h"
#include "formats/document.h"
#include "formats/files.h"
#include "tune/shortcodes.h"
#include "typing/score.h"

int main(int argc, char** argv) {
    using namespace zelmora;
    if (argc != 3) {
        std::fprintf(stderr, "usage: shortcodes_time TABLE FREQ\n");
        return 2;
    }
    try {
        const formats::TableDocument doc = formats::ReadTable(ReadInput(argv[1]));
        const typing::FrequencyList list = typing::LoadFrequencyList(argv[2]);
        for (const char* set : {"gb2312", "all"}) {
            for (const auto method : {tune::ShortCodeMethod::Greedy, tune::ShortCodeMethod::Optimal}) {
                tune::ShortCodeOptions options;
                options.method = method;
                if (std::string(set) != "all") options.characters = typing::CharacterSet(set, list);
                const auto start = std::chrono::steady_clock::now();
                const tune::ShortCodeProposal p =
                    tune::ProposeShortCodes(doc.entries, doc.textEncoding(), list, options);
                const std::chrono::duration<double> took = std::chrono::steady_clock::now() - start;
                std::printf("%-7s %-8s %7.3f s  %zu slots, %zu candidates, %zu changes, saving %lld -> %lld\n", set,
                            method == tune::ShortCodeMethod::Greedy ? "greedy" : "optimal", took.count(), p.slotCount,
                            p.candidates, p.changes.size(), static_cast<long long>(p.oldSaving),
                            static_cast<long long>(p.saving));
            }
        }
    } catch (const Failure& f) {
        std::fprintf(stderr, "shortcodes_time: %s\n", f.what());
        return 1;
    }
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    std::printf("peak memory %ld MB\n", usage.ru_maxrss / 1024);
    return 0;
}
