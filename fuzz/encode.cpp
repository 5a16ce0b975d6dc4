// Coding new words and merging them into a table, on any bytes: the
// character table is taken from the input's table, the word list coded with
// it and merged into that table. A merge keeps every pair the table had and
// adds every new pair it counts; merging the same words again changes nothing.
//
// Input: the table, then optionally a record separator (0x1E) and the word
// list (without one, the table's own words are coded and merged back).
#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "core/failure.h"
#include "core/text.h"
#include "fuzz/fuzz_support.h"
#include "wubi/encode.h"
#include "wubi/merge.h"

using namespace zelmora;

namespace {

// Code-word pairs of a group-line table as a merge reads it (lines cut at CR
// LF, CR or LF; the first token is the code), with how often each stands.
std::map<std::pair<std::string, std::string>, std::size_t> Pairs(std::string_view text) {
    std::map<std::pair<std::string, std::string>, std::size_t> pairs;
    std::size_t pos = 0;
    while (pos < text.size()) {
        std::size_t end = pos;
        while (end < text.size() && text[end] != '\r' && text[end] != '\n') ++end;
        const LineList tokens = SplitTokens(text.substr(pos, end - pos));
        for (std::size_t k = 1; k < tokens.count(); ++k) ++pairs[{tokens.lines()[0], tokens.lines()[k]}];
        pos = end;
        if (pos < text.size() && text[pos] == '\r') ++pos;
        if (pos < text.size() && text[pos] == '\n') ++pos;
    }
    return pairs;
}

std::string Describe(const std::map<std::pair<std::string, std::string>, std::size_t>& pairs) {
    std::string out;
    for (const auto& [p, n] : pairs) out += p.first + " " + p.second + " x" + std::to_string(n) + "\n";
    return out;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const fuzz::TwoTexts in = fuzz::SplitTwo(std::string_view(reinterpret_cast<const char*>(data), size));
    const std::string_view table = in.first;
    const std::string_view words = in.second.value_or(table);

    // A table or word list holding a NUL byte is refused with a message
    // naming the line: nothing to compare then.
    EncodeResult coded;
    std::size_t added = 0, again = 0;
    std::string merged, twice;
    try {
        const CharacterTable characters = BuildCharacterTable(table);
        coded = EncodeWordList(characters, words, formats::WubiPhraseRules());
        for (const EncodedEntry& e : coded.entries)
            if (e.code.empty() || e.word.empty()) fuzz::Fail("a coded entry without code or word", e.word);
        (void)FormatEncodedEntries(coded.entries, false, TextEncoding::Gbk);
        (void)FormatEncodedEntries(coded.entries, true, TextEncoding::Gb18030);
        merged = MergeIntoGroupLines(table, coded.entries, &added);
        twice = MergeIntoGroupLines(merged, coded.entries, &again);
    } catch (const Failure&) {
        if (table.find('\0') == std::string_view::npos && words.find('\0') == std::string_view::npos)
            fuzz::Fail("encode or merge refused a table without NUL bytes", table);
        return 0;
    }
    // Known limit: a word or code that ends in a lone lead byte takes the
    // byte after it into that character, so no token written for it can be
    // followed by another; such invalid text is not compared.
    for (const EncodedEntry& e : coded.entries)
        for (const std::string* t : {&e.code, &e.word}) {
            std::size_t i = 0, last = 0;
            while (i < t->size()) {
                last = i;
                i += CharWidth(*t, i);
            }
            if (t->size() - last == 1 && IsLeadByte(static_cast<unsigned char>((*t)[last]))) return 0;
        }
    if (again != 0 || twice != merged) fuzz::Disagree("merging the same words twice changed the table", merged, twice);

    // Every pair the table had is still there, and each added pair once more.
    auto before = Pairs(table);
    const auto after = Pairs(merged);
    std::size_t grown = 0;
    for (const auto& [pair, n] : after) {
        auto it = before.find(pair);
        const std::size_t had = it == before.end() ? 0 : it->second;
        if (n < had) fuzz::Disagree("a merge lost pairs of the table", Describe(before), Describe(after));
        grown += n - had;
        if (it != before.end()) before.erase(it);
    }
    if (!before.empty()) fuzz::Disagree("a merge lost pairs of the table", Describe(before), Describe(after));
    if (grown != added)
        fuzz::Disagree("a merge added other pairs than it counted", std::to_string(added), std::to_string(grown));
    for (const EncodedEntry& e : coded.entries)
        if (!after.count({e.code, e.word}))
            fuzz::Disagree("a coded pair is missing after the merge", e.code + " " + e.word, merged);
    return 0;
}
