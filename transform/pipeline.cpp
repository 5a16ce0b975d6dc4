#include "transform/pipeline.h"

#include <algorithm>
#include <atomic>
#include <exception>
#include <mutex>
#include <thread>

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
                              const std::vector<Derivation>& which, TextEncoding encoding,
                              const std::function<void(const char*)>& step) {
    auto wants = [&](Derivation d) { return std::find(which.begin(), which.end(), d) != which.end(); };
    std::mutex stepMutex;
    auto tell = [&](const char* name) {
        std::lock_guard<std::mutex> lock(stepMutex);
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
        entries = ExpandToEntryLines(source, encoding);
    }
    r.outputs.emplace_back("一字一行", entries);
    r.statusLines.emplace_back("一字一行", LineCountStatus(CountPaneLines(entries)));

    // The derivations only read the two texts, so they run side by side (two
    // at a time: the machines we aim at have two cores); results are put back
    // in their fixed order.
    using TaskResult = std::pair<std::vector<std::pair<std::string, std::string>>,   // outputs
                                 std::vector<std::pair<std::string, std::string>>>;  // status lines
    std::vector<std::function<TaskResult()>> tasks;
    std::vector<int> cost;  // rough relative run time, for scheduling only
    if (wants(Derivation::Group))
        cost.push_back(2), tasks.push_back([&] {
            tell("重码一行");
            std::string grouped = GroupEqualCodes(entries);
            TaskResult p;
            p.second.emplace_back("重码一行", LineCountStatus(CountPaneLines(grouped)));
            p.first.emplace_back("重码一行", std::move(grouped));
            return p;
        });
    if (wants(Derivation::Classify))
        cost.push_back(1), tasks.push_back([&] {
            tell("码长分类");
            ClassifyResult c = ClassifyByCodeLength(entries);
            TaskResult p;
            p.second.emplace_back("码长分类", ClassifyStatus(c));
            const char* hints[4] = {"一码", "二码", "三码", "四码"};
            for (int n = 0; n < 4; ++n) p.first.emplace_back(hints[n], std::move(c.texts[n]));
            return p;
        });
    if (wants(Derivation::FullCodes))
        cost.push_back(4), tasks.push_back([&] {
            tell("全码");
            FullCodesResult f = ExtractFullCodes(entries, encoding);
            TaskResult p;
            p.second.emplace_back("全码", FullCodesStatus(f));
            p.first.emplace_back("全码三码", std::move(f.threeText));
            p.first.emplace_back("全码四码", std::move(f.fourText));
            p.first.emplace_back("全码全部", std::move(f.allText));
            p.first.emplace_back("三简", std::move(f.shortText));
            return p;
        });
    if (wants(Derivation::Shortest))
        cost.push_back(5), tasks.push_back([&] {
            tell("出简不出全");
            ShortestCodesResult s = ExtractShortestCodes(entries, encoding);
            TaskResult p;
            p.second.emplace_back("出简不出全", ShortestCodesStatus(s));
            const char* hints[4] = {"最简一码", "最简二码", "最简三码", "最简四码"};
            for (int n = 0; n < 4; ++n) p.first.emplace_back(hints[n], std::move(s.texts[n]));
            p.first.emplace_back("最简全部", std::move(s.allText));
            return p;
        });
    if (wants(Derivation::Duplicates))
        cost.push_back(1), tasks.push_back([&] {
            tell("重码");
            DuplicateCodesResult d = ExtractDuplicateCodes(source, encoding);
            TaskResult p;
            p.second.emplace_back("重码", DuplicateCodesStatus(CountPaneLines(d.duplicateText), d));
            p.first.emplace_back("重码", std::move(d.duplicateText));
            p.first.emplace_back("不重码", std::move(d.uniqueText));
            return p;
        });
    if (wants(Derivation::Relation))
        cost.push_back(6), tasks.push_back([&] {
            tell("简码全码");
            RelationResult rel = RelateShortAndFullCodes(entries, source, encoding);
            TaskResult p;
            p.second.emplace_back("简码全码", RelationStatus(rel));
            p.first.emplace_back("全部简码", std::move(rel.shortCodesText));
            p.first.emplace_back("简码全码", std::move(rel.fullCodesText));
            p.first.emplace_back("有简码的字", std::move(rel.wordsText));
            p.first.emplace_back("简码字的全码重码时置后", std::move(rel.reorderedText));
            return p;
        });

    // Longest first, so that the two threads finish close together: the
    // relation, the shortest codes and the full codes take most of the time.
    std::vector<std::size_t> runOrder(tasks.size());
    for (std::size_t i = 0; i < tasks.size(); ++i) runOrder[i] = tasks.size() - 1 - i;
    std::stable_sort(runOrder.begin(), runOrder.end(), [&](std::size_t a, std::size_t b) { return cost[a] > cost[b]; });

    std::vector<TaskResult> results(tasks.size());
    std::vector<std::exception_ptr> failures(tasks.size());
    std::atomic<std::size_t> next{0};
    auto worker = [&] {
        for (std::size_t k; (k = next++) < tasks.size();) {
            const std::size_t i = runOrder[k];
            try {
                results[i] = tasks[i]();
            } catch (...) {
                failures[i] = std::current_exception();
            }
        }
    };
    std::thread second(worker);
    worker();
    second.join();
    for (std::size_t i = 0; i < results.size(); ++i) {
        if (failures[i]) std::rethrow_exception(failures[i]);
        for (auto& o : results[i].first) r.outputs.push_back(std::move(o));
        for (auto& st : results[i].second) r.statusLines.push_back(std::move(st));
    }
    return r;
}

PipelineResult RunPipeline(std::string_view source, const std::optional<std::string>& entries, TextEncoding encoding,
                           const std::function<void(const char*)>& step) {
    return RunDerivations(source, entries,
                          {Derivation::Expand, Derivation::Group, Derivation::Classify, Derivation::FullCodes,
                           Derivation::Shortest, Derivation::Duplicates, Derivation::Relation},
                          encoding, step);
}

}  // namespace zelmora
