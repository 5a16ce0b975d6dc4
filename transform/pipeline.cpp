#include "transform/pipeline.h"

#include <algorithm>

#include "core/text.h"
#include "transform/classify.h"
#include "transform/duplicates.h"
#include "transform/expand.h"
#include "transform/full_codes.h"
#include "transform/group.h"
#include "transform/relation.h"
#include "transform/shortest.h"
#include "transform/status.h"

namespace zelmora {

PipelineResult RunDerivations(std::string_view sourceIn, const std::optional<std::string>& entriesIn,
                              const std::vector<Derivation>& which, const std::function<void(const char*)>& step) {
    auto wants = [&](Derivation d) { return std::find(which.begin(), which.end(), d) != which.end(); };
    auto tell = [&](const char* name) {
        if (step) step(name);
    };
    PipelineResult r;
    const std::string source = NormalizeLineBreaks(sourceIn);
    r.statusLines.emplace_back("原码表", LineCountStatus(CountPaneLines(source)));

    std::string entries;
    if (entriesIn) {
        entries = NormalizeLineBreaks(*entriesIn);
    } else {
        tell("一字一行");
        entries = ExpandToEntryLines(source);
    }
    r.outputs.emplace_back("一字一行", entries);
    r.statusLines.emplace_back("一字一行", LineCountStatus(CountPaneLines(entries)));

    if (wants(Derivation::Group)) {
        tell("重码一行");
        std::string grouped = GroupEqualCodes(entries);
        r.statusLines.emplace_back("重码一行", LineCountStatus(CountPaneLines(grouped)));
        r.outputs.emplace_back("重码一行", std::move(grouped));
    }
    if (wants(Derivation::Classify)) {
        tell("码长分类");
        ClassifyResult c = ClassifyByCodeLength(entries);
        r.statusLines.emplace_back("码长分类", ClassifyStatus(c));
        const char* hints[4] = {"一码", "二码", "三码", "四码"};
        for (int n = 0; n < 4; ++n) r.outputs.emplace_back(hints[n], std::move(c.texts[n]));
    }
    if (wants(Derivation::FullCodes)) {
        tell("全码");
        FullCodesResult f = ExtractFullCodes(entries);
        r.statusLines.emplace_back("全码", FullCodesStatus(f));
        r.outputs.emplace_back("全码三码", std::move(f.threeText));
        r.outputs.emplace_back("全码四码", std::move(f.fourText));
        r.outputs.emplace_back("全码全部", std::move(f.allText));
        r.outputs.emplace_back("三简", std::move(f.shortText));
    }
    if (wants(Derivation::Shortest)) {
        tell("出简不出全");
        ShortestCodesResult s = ExtractShortestCodes(entries);
        r.statusLines.emplace_back("出简不出全", ShortestCodesStatus(s));
        const char* hints[4] = {"最简一码", "最简二码", "最简三码", "最简四码"};
        for (int n = 0; n < 4; ++n) r.outputs.emplace_back(hints[n], std::move(s.texts[n]));
        r.outputs.emplace_back("最简全部", std::move(s.allText));
    }
    if (wants(Derivation::Duplicates)) {
        tell("重码");
        DuplicateCodesResult d = ExtractDuplicateCodes(source);
        r.statusLines.emplace_back("重码", DuplicateCodesStatus(CountPaneLines(d.duplicateText), d));
        r.outputs.emplace_back("重码", std::move(d.duplicateText));
        r.outputs.emplace_back("不重码", std::move(d.uniqueText));
    }
    if (wants(Derivation::Relation)) {
        tell("简码全码");
        RelationResult rel = RelateShortAndFullCodes(entries, source);
        r.statusLines.emplace_back("简码全码", RelationStatus(rel));
        r.outputs.emplace_back("全部简码", std::move(rel.shortCodesText));
        r.outputs.emplace_back("简码全码", std::move(rel.fullCodesText));
        r.outputs.emplace_back("有简码的字", std::move(rel.wordsText));
        r.outputs.emplace_back("简码字的全码重码时置后", std::move(rel.reorderedText));
    }
    return r;
}

PipelineResult RunPipeline(std::string_view source, const std::optional<std::string>& entries,
                           const std::function<void(const char*)>& step) {
    return RunDerivations(source, entries,
                          {Derivation::Expand, Derivation::Group, Derivation::Classify, Derivation::FullCodes,
                           Derivation::Shortest, Derivation::Duplicates, Derivation::Relation},
                          step);
}

}  // namespace zelmora
