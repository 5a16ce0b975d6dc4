// Writes the seeds of fuzz_ms_phrase: Windows phrase files written by our own
// writer, in both headers' layouts, into the folder given. Run from a fuzz
// build after changing the writer:
//   build-fuzz/fuzz/make_ms_phrase_seeds resources/data/wb86gb.txt fuzz/corpus/ms_phrase
#include <cstdio>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "core/failure.h"
#include "formats/document.h"
#include "formats/lines.h"
#include "formats/ms_phrase.h"

using namespace zelmora::formats;

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: make_ms_phrase_seeds BUILTIN_TABLE FOLDER\n");
        return 2;
    }
    try {
        std::ifstream in(argv[1], std::ios::binary);
        const TableDocument builtin = ReadTable(std::string(std::istreambuf_iterator<char>(in), {}));
        std::vector<TableEntry> head(builtin.entries.begin(), builtin.entries.begin() + 300);
        // Several codes out of order, positions, a surrogate pair, the
        // longest code and word the programs take.
        std::string longWord;
        for (int i = 0; i < 62; ++i) longWord += "工";
        longWord += "𠀀";
        std::vector<TableEntry> mixed;
        const std::vector<std::pair<std::string, std::string>> pairs = {
            {"b", "了"},     {"aa", "式"}, {"b", "子"}, {"aa", "工"}, {std::string(32, 'z'), "长"},
            {"a", longWord}, {"aa", "𠀀"}};
        for (const auto& [code, word] : pairs) mixed.push_back({Gb(code), Gb(word), {}, {}});
        // One code with many candidates.
        std::vector<TableEntry> many;
        for (std::size_t i = 0; i < 40; ++i) many.push_back({"a", builtin.entries[i].word, {}, {}});

        struct Seed {
            const char* name;
            const std::vector<TableEntry>* entries;
            zelmora::TextEncoding textEncoding;
        };
        for (const Seed& s : {Seed{"builtin_head", &head, builtin.textEncoding()},
                              Seed{"mixed", &mixed, zelmora::TextEncoding::Gb18030},
                              Seed{"many_candidates", &many, builtin.textEncoding()}})
            for (const auto& [version, suffix] :
                 {std::pair{MsPhraseVersion::Win10v1607, "_1607"}, std::pair{MsPhraseVersion::Win10v1703, "_1703"}}) {
                WriteOptions o;
                o.textEncoding = s.textEncoding;
                std::ofstream(std::string(argv[2]) + "/" + s.name + suffix, std::ios::binary)
                    << WriteMsPhrase(*s.entries, o, {}, version);
            }
    } catch (const zelmora::Failure& f) {
        std::fprintf(stderr, "make_ms_phrase_seeds: %s\n", f.what());
        return 1;
    }
    return 0;
}
