// The list of results that the pipeline, the window and the exports share:
// each derivation found once, its results where ResultsOf looks for them, and
// no two results sharing a pane or a file.
#include <gtest/gtest.h>

#include <set>
#include <string>
#include <vector>

#include "transform/classify.h"
#include "transform/duplicates.h"
#include "transform/full_codes.h"
#include "transform/relation.h"
#include "transform/results.h"
#include "transform/shortest.h"

using namespace zelmora;

TEST(Results, EachDerivationOnceWithItsResultsTogetherInTabOrder) {
    std::set<Derivation> seen;
    std::vector<const ResultInfo*> walked;
    for (const DerivationInfo& info : kDerivations) {
        EXPECT_TRUE(seen.insert(info.derivation).second) << info.caption;
        EXPECT_FALSE(ResultsOf(info.derivation).empty()) << info.caption;
        for (const ResultInfo& r : ResultsOf(info.derivation)) walked.push_back(&r);
    }
    EXPECT_EQ(seen.size(), 7u);
    // Walking the derivations in order meets every result once, in the list's
    // order: a result placed among another derivation's would be lost.
    std::vector<const ResultInfo*> listed;
    for (const ResultInfo& r : kResults) listed.push_back(&r);
    EXPECT_EQ(walked, listed);
}

TEST(Results, NoTwoShareAPaneOrAFileName) {
    std::set<int> panes = {kSourcePane};
    std::set<std::string> hints = {kSourceCaption};
    for (const ResultInfo& r : kResults) {
        EXPECT_TRUE(panes.insert(r.pane).second) << r.hint << " on pane " << r.pane;
        EXPECT_TRUE(hints.insert(r.hint).second) << r.hint;
        EXPECT_GE(r.pane, 1) << r.hint;
        EXPECT_LE(r.pane, 24) << r.hint;
    }
}

TEST(Results, EveryTextOfADerivationHasItsEntry) {
    ClassifyResult classify;
    FullCodesResult fullCodes;
    ShortestCodesResult shortest;
    DuplicateCodesResult duplicates;
    RelationResult relation;
    const std::vector<std::pair<Derivation, std::vector<std::string*>>> texts = {
        {Derivation::Classify, ResultTexts(classify)}, {Derivation::FullCodes, ResultTexts(fullCodes)},
        {Derivation::Shortest, ResultTexts(shortest)}, {Derivation::Duplicates, ResultTexts(duplicates)},
        {Derivation::Relation, ResultTexts(relation)},
    };
    for (const auto& [d, list] : texts) {
        EXPECT_EQ(list.size(), ResultsOf(d).size()) << CaptionOf(d);
        EXPECT_EQ(std::set<std::string*>(list.begin(), list.end()).size(), list.size()) << CaptionOf(d);
    }
    // Expansion and grouping have one text each.
    EXPECT_EQ(ResultsOf(Derivation::Expand).size(), 1u);
    EXPECT_EQ(ResultsOf(Derivation::Group).size(), 1u);
}
