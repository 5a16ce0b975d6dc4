#pragma once
// Two versions of a table compared entry by entry: the code-word pairs added
// and removed, the words that moved to another code, the codes whose
// candidates changed order, the entries whose weight alone changed. Pure
// functions of the entries.
#include <cstddef>
#include <string>
#include <vector>

#include "formats/document.h"

namespace zelmora::analysis {

struct TableDiff {
    // Entries are also named by their index in the entries compared, so that
    // a caller can find their lines.
    struct Pair {
        std::string code, word;
        std::size_t entry = 0;  // in the table that holds it: the new one for added, the old one for removed
    };
    struct Move {
        std::string word, oldCode, newCode;
        std::size_t oldEntry = 0, newEntry = 0;
    };
    struct Reorder {
        std::string code;
        std::vector<std::string> oldWords, newWords;  // the code's candidates in each table
        std::size_t oldEntry = 0;                     // the code's first entry in the old table
    };
    struct Reweight {
        std::string code, word, oldWeight, newWeight;  // weights as written in each file
        std::size_t oldEntry = 0, newEntry = 0;
    };
    // Pairs only the new table has, in its order; pairs only the old one has,
    // in its order. A word that left one code and came to another is a move
    // instead (the k-th code it left paired with the k-th it came to).
    std::vector<Pair> added, removed;
    std::vector<Move> moved;  // in the new table's order
    // Codes whose candidates both tables hold stand in another order, in the
    // old table's order of codes.
    std::vector<Reorder> reordered;
    // Pairs both tables hold at the same place among their code's common
    // candidates, whose weights (Rime's weight column, ibus-table's frequency)
    // differ, in the new table's order. Only where both entries have a weight:
    // a format without weights changes none.
    std::vector<Reweight> reweighted;
    std::size_t oldEntries = 0, newEntries = 0;
    // The same pairs in the same order, entry by entry, with the same weights.
    bool identical = false;

    // Whether the tables hold the same pairs with the same weights (maybe in
    // another order of codes).
    bool sameEntries() const {
        return added.empty() && removed.empty() && moved.empty() && reordered.empty() && reweighted.empty();
    }
};

// A pair held twice by a table counts twice. Entries are in candidate order
// (as ReadTable gives them).
TableDiff CompareTables(const std::vector<formats::TableEntry>& oldEntries,
                        const std::vector<formats::TableEntry>& newEntries);

// The differences as text (UTF-8): a section for each kind that occurs, then
// the summary line.
std::string FormatDiffText(const TableDiff& diff);
// One tab-separated line a difference, for scripts:
//   added CODE WORD / removed CODE WORD / moved WORD OLD NEW /
//   reordered CODE OLD-WORDS NEW-WORDS (words separated by spaces) /
//   weight CODE WORD OLD NEW
std::string FormatDiffTsv(const TableDiff& diff);
// "old 10 entries, new 11: 1 added, 1 removed, 1 moved, 1 reordered, 1
// reweighted"; ends
// with "; the same entries in another order" or "; identical" when so.
std::string DiffSummary(const TableDiff& diff);

}  // namespace zelmora::analysis
