#include "transform/pipeline.h"

#include <algorithm>
#include <atomic>
#include <exception>
#include <future>
#include <memory>
#include <mutex>
#include <optional>
#include <span>
#include <thread>

#include "core/text.h"
#include "transform/classify.h"
#include "transform/duplicates.h"
#include "transform/entry_table.h"
#include "transform/expand.h"
#include "transform/full_codes.h"
#include "transform/group.h"
#include "transform/relation.h"
#include "transform/results.h"
#include "transform/shortest.h"
#include "transform/status.h"

namespace zelmora {

namespace {

// Expansion and grouping give one text each.
std::vector<std::string*> ResultTexts(std::string& text) { return {&text}; }

// Whether every line break is CR LF already, as a pane load makes them.
bool HasPaneLineBreaks(std::string_view text) {
    // A plain loop: find_first_of calls memchr over its set for every byte.
    const std::size_t n = text.size();
    for (std::size_t i = 0; i < n; ++i) {
        const char c = text[i];
        if (c == '\n') return false;
        if (c != '\r') continue;
        if (i + 1 >= n || text[i + 1] != '\n') return false;
        ++i;
    }
    return true;
}

std::string GroupStatus(const std::string& grouped) { return LineCountStatus(CountPaneLines(grouped)); }

// The duplicates' count as the pane would show it.
std::string DuplicatesStatus(const DuplicateCodesResult& d) {
    return DuplicateCodesStatus(CountPaneLines(d.duplicateText), d);
}

}  // namespace

PipelineResult RunDerivations(std::string_view sourceIn, const std::optional<std::string>& entriesIn,
                              const std::vector<Derivation>& which, TextEncoding encoding,
                              const std::function<void(const char*)>& step, const OutputCallback& onOutput) {
    auto wants = [&](Derivation d) { return std::find(which.begin(), which.end(), d) != which.end(); };
    std::mutex stepMutex;
    auto tell = [&](const char* name) {
        std::lock_guard<std::mutex> lock(stepMutex);
        if (step) step(name);
    };
    std::mutex outputMutex;
    auto handOver = [&](std::pair<std::string, std::string>& output, bool mayTake) {
        std::lock_guard<std::mutex> lock(outputMutex);
        if (onOutput) onOutput(output.first, output.second, mayTake);
    };
    PipelineResult r;
    // A copy only where a line break changes.
    const bool asLoaded = HasPaneLineBreaks(sourceIn);
    std::string normalized;
    if (!asLoaded) normalized = NormalizeLineBreaks(sourceIn);
    const std::string_view source = asLoaded ? sourceIn : std::string_view(normalized);
    r.statusLines.emplace_back(kSourceCaption, LineCountStatus(CountPaneLines(source)));

    const char* const expandCaption = CaptionOf(Derivation::Expand);
    std::string entries;
    Expansion expansion;
    if (entriesIn) {
        entries = NormalizeLineBreaks(*entriesIn);
    } else {
        tell(expandCaption);
        expansion = ExpandWithRanks(source, encoding);
        entries = std::move(expansion.text);
    }
    // The expansion's text goes into its output when the others are done
    // reading it.
    r.outputs.emplace_back(ResultsOf(Derivation::Expand)[0].hint, std::string());
    // What the derivations of the entries share is worked out once, by
    // whichever asks first.
    EntryTable table(entries, encoding);
    if (expansion.ranked) table.setRanks(std::move(expansion.ranks), std::move(expansion.lineStarts));
    r.statusLines.emplace_back(expandCaption, LineCountStatus(CountPaneLines(entries)));

    // The derivations only read the two texts, so they run side by side (two
    // at a time: the machines we aim at have two cores); results are put back
    // in their fixed order.
    using TaskResult = std::pair<std::vector<std::pair<std::string, std::string>>,   // outputs
                                 std::vector<std::pair<std::string, std::string>>>;  // status lines
    std::vector<std::function<TaskResult()>> tasks;
    std::vector<int> cost;  // rough relative run time, for scheduling only
    // A derivation's task: its status line (taken before its texts are moved
    // out), then its texts under their hints.
    auto add = [&](Derivation d, int relativeCost, auto status, auto derive) {
        cost.push_back(relativeCost);
        tasks.push_back([&tell, &handOver, d, derive, status] {
            const char* const caption = CaptionOf(d);
            tell(caption);
            auto result = derive();
            TaskResult p;
            p.second.emplace_back(caption, status(result));
            const std::span<const ResultInfo> infos = ResultsOf(d);
            const std::vector<std::string*> texts = ResultTexts(result);
            for (std::size_t i = 0; i < infos.size(); ++i) {
                p.first.emplace_back(infos[i].hint, std::move(*texts[i]));
                handOver(p.first.back(), true);
            }
            return p;
        });
    };
    // A derivation asked alone has the second core to itself.
    const bool alone = std::count_if(std::begin(kDerivations), std::end(kDerivations), [&](const DerivationInfo& info) {
                           return info.derivation != Derivation::Expand && wants(info.derivation);
                       }) == 1;
    for (const DerivationInfo& info : kDerivations) {
        if (!wants(info.derivation)) continue;
        const Derivation d = info.derivation;
        switch (d) {
            case Derivation::Expand:  // done above: the others read its text
                break;
            case Derivation::Group:
                add(d, 2, GroupStatus, [&] { return GroupEqualCodes(entries); });
                break;
            case Derivation::Classify:
                add(d, 1, ClassifyStatus, [&] { return ClassifyByCodeLength(table.classes()); });
                break;
            case Derivation::FullCodes:
                add(d, 4, FullCodesStatus, [&] { return ExtractFullCodes(table); });
                break;
            case Derivation::Shortest:
                add(d, 5, ShortestCodesStatus, [&] { return ExtractShortestCodes(table); });
                break;
            case Derivation::Duplicates:
                add(d, 1, DuplicatesStatus, [&] { return ExtractDuplicateCodes(source, encoding); });
                break;
            case Derivation::Relation: {
                // Two tasks: the codes with the word set, the longest task of
                // all, and the reorder by that set, taken by whichever thread
                // is free when little else is left (it waits for the set if
                // it must), so that neither thread idles at the end.
                struct Parts {
                    RelationResult r;
                    std::optional<WordSet> words;
                    std::promise<void> ready;
                    std::shared_future<void> done = ready.get_future().share();
                };
                auto parts = std::make_shared<Parts>();
                const std::span<const ResultInfo> infos = ResultsOf(d);
                cost.push_back(6);
                tasks.push_back([&tell, &handOver, &table, alone, parts, infos] {
                    tell(CaptionOf(Derivation::Relation));
                    try {
                        parts->words.emplace(RelateCodes(table, parts->r, alone));
                    } catch (...) {
                        parts->ready.set_exception(std::current_exception());
                        throw;
                    }
                    parts->ready.set_value();
                    TaskResult p;
                    std::string* texts[] = {&parts->r.shortCodesText, &parts->r.fullCodesText, &parts->r.wordsText};
                    for (std::size_t i = 0; i < 3; ++i) {
                        p.first.emplace_back(infos[i].hint, std::move(*texts[i]));
                        handOver(p.first.back(), true);
                    }
                    return p;
                });
                cost.push_back(1);
                tasks.push_back([&handOver, source, parts, infos] {
                    parts->done.get();  // the codes' failure, if they failed
                    ReorderRelation(source, *parts->words, parts->r);
                    parts->words.reset();
                    TaskResult p;
                    p.second.emplace_back(CaptionOf(Derivation::Relation), RelationStatus(parts->r));
                    p.first.emplace_back(infos[3].hint, std::move(parts->r.reorderedText));
                    handOver(p.first.back(), true);
                    return p;
                });
                break;
            }
        }
    }

    // The expansion handed over by whichever thread is free last (a task of
    // no cost goes last), while the longest derivation may still read it.
    if (onOutput) {
        cost.push_back(0);
        tasks.push_back([&] {
            std::lock_guard<std::mutex> lock(outputMutex);
            onOutput(r.outputs[0].first, entries, false);
            return TaskResult();
        });
    }

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
    r.outputs[0].second = std::move(entries);
    for (std::size_t i = 0; i < results.size(); ++i) {
        if (failures[i]) std::rethrow_exception(failures[i]);
        for (auto& o : results[i].first) r.outputs.push_back(std::move(o));
        for (auto& st : results[i].second) r.statusLines.push_back(std::move(st));
    }
    return r;
}

PipelineResult RunPipeline(std::string_view source, const std::optional<std::string>& entries, TextEncoding encoding,
                           const std::function<void(const char*)>& step) {
    std::vector<Derivation> every;
    for (const DerivationInfo& info : kDerivations) every.push_back(info.derivation);
    return RunDerivations(source, entries, every, encoding, step);
}

}  // namespace zelmora
