// How often recognition reads a table's words and slices right, in every
// encoding: every word of the built-in table and of Debian's wubi86 table
// alone on a line (single characters and longer words counted apart), and every slice of 2 to 40 lines of both, cut one
// after another. Prints the share read right, refused as a close call, and read wrong (which must be none).
#include <cstdio>
#include <string>
#include <vector>

#include "tests/formats/detection_set.h"

using namespace zelmora::detection;

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: recognition_share BUILTIN_TABLE (the GBK wb86gb.txt)\n");
        return 2;
    }
    const auto builtin = ReadFile(argv[1]);
    const auto rime = ReadFile(kDebianWubi);
    if (!builtin || !rime) {
        std::fprintf(stderr, "recognition_share: need %s and %s (package rime-data-wubi)\n", argv[1], kDebianWubi);
        return 2;
    }
    struct Table {
        const char* name;
        std::vector<std::string> lines;
        bool rime;
    };
    const std::vector<Table> tables = {
        {"built-in", Lines(*Convert("UTF-8", "windows-936", *builtin)), false},
        {"wubi86", Lines(*rime), true},
    };
    bool anyWrong = false;
    for (const Table& t : tables) {
        const std::vector<std::string> words = Words(t.lines, t.rime);
        Tally allWords, shortSlices, longSlices;
        for (const Variant& v : Variants()) {
            Tally w, s2, s3, chars;
            JudgeWords(words, v, w, chars);
            for (std::size_t size = 2; size <= 40; ++size) JudgeSlices(t.lines, size, v, size == 2 ? s2 : s3);
            std::printf(
                "%-9s %-18s characters %7zu: %8.4f%% right, %5zu refused, %zu wrong; "
                "words %7zu: %8.4f%% right, %5zu refused, %zu wrong; "
                "2-line slices %7zu: %8.4f%% right, %zu refused, %zu wrong; "
                "3-40-line slices %8zu: %8.4f%% right, %zu refused, %zu wrong\n",
                t.name, v.name, chars.total(), chars.rightShare(), chars.refused, chars.wrong, w.total(),
                w.rightShare(), w.refused, w.wrong, s2.total(), s2.rightShare(), s2.refused, s2.wrong, s3.total(),
                s3.rightShare(), s3.refused, s3.wrong);
            for (const Tally* x : {&chars, &w, &s2, &s3})
                for (const std::string& sample : x->wrongSamples) std::printf("    wrong: %s\n", sample.c_str());
            for (const Tally* x : {&w, &s2, &s3})
                for (const std::string& sample : x->refusedSamples) std::printf("    refused: %s\n", sample.c_str());
            anyWrong = anyWrong || chars.wrong || w.wrong || s2.wrong || s3.wrong;
            std::fflush(stdout);
        }
    }
    return anyWrong ? 1 : 0;
}
