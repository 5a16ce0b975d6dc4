#pragma once
// The derivations' results as the window shows them and the files are named,
// listed once: the pipeline names its outputs and status lines from here, the
// window makes its tabs and result panes from here, and both the window's
// exports and `zelmora-cli run` name their files by these hints. Texts are
// UTF-8.
#include <cstddef>
#include <iterator>
#include <span>
#include <string>
#include <vector>

namespace zelmora {

struct ClassifyResult;
struct DuplicateCodesResult;
struct FullCodesResult;
struct RelationResult;
struct ShortestCodesResult;

enum class Derivation { Expand, Group, Classify, Duplicates, FullCodes, Shortest, Relation };

// The source table: the first tab's caption, its pane's hint (and the file
// the export writes it to) and the first status line's caption.
inline constexpr const char* kSourceCaption = "原码表";
inline constexpr int kSourcePane = 1;

struct DerivationInfo {
    Derivation derivation;
    // Its status line's caption and the name of its progress step; for the
    // derivations with a tab of their own (all but the first two, whose panes
    // are on the source table's tab), the tab's caption.
    const char* caption;
};

// In the window's order, tabs left to right: the order the pipeline lists
// outputs and status lines in.
inline constexpr DerivationInfo kDerivations[] = {
    {Derivation::Expand, "一字一行"},   {Derivation::Group, "重码一行"},      {Derivation::Classify, "码长分类"},
    {Derivation::FullCodes, "全码"},    {Derivation::Shortest, "出简不出全"}, {Derivation::Duplicates, "重码"},
    {Derivation::Relation, "简码全码"},
};

struct ResultInfo {
    Derivation derivation;
    const char* hint;  // the pane's hint; the result file is named by it
    int pane;          // the window's pane: RichEdit<pane>, left to right on its tab
};

// Every result, grouped by derivation in the order of kDerivations; a
// derivation's results in the order ResultTexts gives its texts.
inline constexpr ResultInfo kResults[] = {
    {Derivation::Expand, "一字一行", 2},
    {Derivation::Group, "重码一行", 19},
    {Derivation::Classify, "一码", 4},
    {Derivation::Classify, "二码", 5},
    {Derivation::Classify, "三码", 6},
    {Derivation::Classify, "四码", 7},
    {Derivation::FullCodes, "全码三码", 11},
    {Derivation::FullCodes, "全码四码", 12},
    {Derivation::FullCodes, "全码全部", 13},
    {Derivation::FullCodes, "三简", 14},
    {Derivation::Shortest, "最简一码", 9},
    {Derivation::Shortest, "最简二码", 10},
    {Derivation::Shortest, "最简三码", 15},
    {Derivation::Shortest, "最简四码", 16},
    {Derivation::Shortest, "最简全部", 21},
    {Derivation::Duplicates, "重码", 3},
    {Derivation::Duplicates, "不重码", 22},
    {Derivation::Relation, "全部简码", 17},
    {Derivation::Relation, "简码全码", 18},
    {Derivation::Relation, "有简码的字", 23},
    {Derivation::Relation, "简码字的全码重码时置后", 24},
};

// The results of one derivation, in order.
constexpr std::span<const ResultInfo> ResultsOf(Derivation d) {
    std::size_t first = 0;
    while (first < std::size(kResults) && kResults[first].derivation != d) ++first;
    std::size_t end = first;
    while (end < std::size(kResults) && kResults[end].derivation == d) ++end;
    return std::span<const ResultInfo>(kResults).subspan(first, end - first);
}

constexpr const char* CaptionOf(Derivation d) {
    for (const DerivationInfo& info : kDerivations)
        if (info.derivation == d) return info.caption;
    return "";
}

// A derivation's texts in the order of its ResultsOf entries, to be moved
// from or shown; the counts stay for its status line.
std::vector<std::string*> ResultTexts(ClassifyResult& r);
std::vector<std::string*> ResultTexts(FullCodesResult& r);
std::vector<std::string*> ResultTexts(ShortestCodesResult& r);
std::vector<std::string*> ResultTexts(DuplicateCodesResult& r);
std::vector<std::string*> ResultTexts(RelationResult& r);

}  // namespace zelmora
