// The derivations on any bytes: the whole pipeline the window runs, and on
// small inputs every fast derivation against the literal procedure of
// tests/naive, byte for byte and count for count. A difference is a crash.
//
// Input: the source table, then optionally a record separator (0x1E) and the
// text of the one-word-per-line pane. Without one, the differential runs on
// the expansion of the source, as the window derives it.
#include <cstdint>
#include <string>
#include <vector>

#include "core/collation.h"
#include "core/failure.h"
#include "core/text.h"
#include "fuzz/fuzz_support.h"
#include "tests/naive/naive.h"
#include "transform/classify.h"
#include "transform/duplicates.h"
#include "transform/expand.h"
#include "transform/full_codes.h"
#include "transform/group.h"
#include "transform/pipeline.h"
#include "transform/relation.h"
#include "transform/shortest.h"

using namespace zelmora;

namespace {

// The literal procedures read GBK, as the window does.
constexpr TextEncoding kGbk = TextEncoding::Gbk;

// The literal procedures are quadratic and worse: kept to inputs where a run
// stays in milliseconds.
constexpr std::size_t kNaiveLimit = 1500;

// A derivation's results as one text (texts and counts, each on its own
// line), or the failure it raised: the literal and the fast procedure must
// agree on both.
template <typename Fn>
std::string Outcome(Fn&& fn) {
    try {
        return fn();
    } catch (const Failure& f) {
        return std::string("failure: ") + f.what();
    }
}

std::string Texts(std::initializer_list<std::string> texts, std::initializer_list<std::size_t> counts) {
    std::string out;
    for (const auto& t : texts) out += t + "\n---\n";
    for (std::size_t c : counts) out += std::to_string(c) + " ";
    return out;
}

void Same(const char* what, const std::string& literal, const std::string& fast) {
    if (literal != fast) fuzz::Disagree(what, literal, fast);
}

void Differential(const std::string& source, const std::string& entries) {
    Same("expansion", Outcome([&] { return naive::Expand(source); }),
         Outcome([&] { return ExpandToEntryLines(source, kGbk); }));

    Same("sort", Outcome([&] {
             LineList literal{SplitLines(source).lines()};
             naive::SortLines(literal);
             return JoinLines(literal);
         }),
         Outcome([&] {
             std::vector<std::string> lines = SplitLines(source).lines();
             SortLines(lines, kGbk);
             return JoinLines(lines);
         }));

    Same("grouping", Outcome([&] { return naive::Group(entries); }), Outcome([&] { return GroupEqualCodes(entries); }));

    Same("classes by code length", Outcome([&] {
             naive::Classified c = naive::Classify(entries);
             return Texts({c.texts[0], c.texts[1], c.texts[2], c.texts[3]},
                          {c.counts[0], c.counts[1], c.counts[2], c.counts[3]});
         }),
         Outcome([&] {
             ClassifyResult c = ClassifyByCodeLength(entries);
             return Texts({c.texts[0], c.texts[1], c.texts[2], c.texts[3]},
                          {c.counts[0], c.counts[1], c.counts[2], c.counts[3]});
         }));

    Same("duplicate codes", Outcome([&] {
             naive::Duplicates d = naive::ExtractDuplicates(source);
             return Texts({d.dup, d.uniq}, {d.dupCount, d.chars, d.uniqCount});
         }),
         Outcome([&] {
             DuplicateCodesResult d = ExtractDuplicateCodes(source, kGbk);
             return Texts({d.duplicateText, d.uniqueText}, {d.duplicateCount, d.doubleByteChars, d.uniqueCount});
         }));

    Same("full codes", Outcome([&] {
             naive::FullCodes f = naive::ExtractFullCodes(entries);
             return Texts({f.texts[0], f.texts[1], f.texts[2], f.texts[3]},
                          {f.counts[0], f.counts[1], f.counts[2], f.counts[3]});
         }),
         Outcome([&] {
             FullCodesResult f = ExtractFullCodes(entries, kGbk);
             return Texts({f.threeText, f.fourText, f.allText, f.shortText},
                          {f.threeCount, f.fourCount, f.allCount, f.shortCount});
         }));

    Same("shortest codes", Outcome([&] {
             naive::Shortest s = naive::ExtractShortest(entries);
             return Texts({s.texts[0], s.texts[1], s.texts[2], s.texts[3], s.texts[4]},
                          {s.counts[0], s.counts[1], s.counts[2], s.counts[3], s.counts[4]});
         }),
         Outcome([&] {
             ShortestCodesResult s = ExtractShortestCodes(entries, kGbk);
             return Texts({s.texts[0], s.texts[1], s.texts[2], s.texts[3], s.allText},
                          {s.counts[0], s.counts[1], s.counts[2], s.counts[3], s.allCount});
         }));

    Same("relation", Outcome([&] {
             naive::Relation r = naive::Relate(entries, source);
             return Texts({r.texts[0], r.texts[1], r.texts[2], r.texts[3]},
                          {r.counts[0], r.counts[1], r.counts[2], r.counts[3]});
         }),
         Outcome([&] {
             RelationResult r = RelateShortAndFullCodes(entries, source, kGbk);
             return Texts({r.shortCodesText, r.fullCodesText, r.wordsText, r.reorderedText},
                          {r.shortCodesCount, r.fullCodesCount, r.wordsCount, r.reorderedCount});
         }));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const fuzz::TwoTexts in = fuzz::SplitTwo(std::string_view(reinterpret_cast<const char*>(data), size));
    const std::string source(in.first);
    std::optional<std::string> pasted;
    if (in.second) pasted = std::string(*in.second);

    try {
        // Odd sizes run as GB18030 text (tables read from Unicode files), even ones as GBK.
        PipelineResult r = RunPipeline(source, pasted, size % 2 ? TextEncoding::Gb18030 : kGbk);
        if (r.outputs.empty()) fuzz::Fail("the pipeline gave no results", source);
    } catch (const Failure&) {
        // A message the window shows, such as the list error of some malformed tables.
    }

    if (size <= kNaiveLimit) Differential(source, pasted ? *pasted : ExpandToEntryLines(source, kGbk));
    return 0;
}
