#pragma once
// Short codes (简码) handed out by frequency. A word (a character, or with
// `words` a phrase too) may take a code of a chosen level L only if it is the
// first L keys of its full code (its longest code in the table, a-z), and
// only when that full code is longer than L. Each code of a chosen level
// holds at most N candidates; the table's entries there that stand for no
// such word (the full code of a character of 2 or 3 keys, a phrase without
// `words`, a symbol, a code that is no prefix of its word's full code) stay
// at their own positions (or sooner, when fewer stand before them); the
// slots are the positions they leave, as many as the capacity has beside
// them, and go to the words that save the most.
//
// What is maximised: the words' frequency-weighted keys saved, by the typing
// evaluation's cost of an entry (typing::StrokeOf: letters, the space or a
// selection key, page-down keys). A word's base is its cheapest entry once
// the movable entries of the chosen levels are taken out; at slot (code,
// position) it saves weight x (base - cost) when that is positive. Of several
// short codes only the cheapest counts, so a proposal giving a word two saves
// no more than one giving it only its cheapest: the objective is that of an
// assignment in which each word takes at most one slot, and greedy and
// optimal both maximise that. Slots of a code whose cost is the same (on one
// page, the first's space costs what a selection key does) form one column.
// Slots nobody saves anything by keep their old occupants, in their old order.
// Since positions of equal cost are all one to the model, within each run
// of them the new list keeps the old table's order, a new word standing
// where an old one left.
#include <cstddef>
#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "core/text_encoding.h"
#include "formats/document.h"
#include "typing/score.h"
#include "typing/typing.h"

namespace zelmora::tune {

enum class ShortCodeMethod { Greedy, Optimal };

struct ShortCodeOptions {
    std::vector<std::size_t> levels{1, 2, 3};  // each 1 to 3
    // Candidates per code of a chosen level; none: 1 for level 1, and for
    // levels 2 and 3 as many as the table has at that code now.
    std::optional<std::size_t> perCode;
    ShortCodeMethod method = ShortCodeMethod::Greedy;
    bool words = false;  // phrases may take short codes too
    // Only these characters may take a new short code (empty: any).
    std::vector<char32_t> characters;
    typing::TypingOptions typing;
};
// Fails (Failure) on a level outside 1-3 or a level given twice.
void CheckShortCodeOptions(const ShortCodeOptions& options);

// One entry of a short code added or removed. Words and codes are the
// table's bytes (GB18030, or GBK for a GBK table).
struct ShortCodeChange {
    enum class Kind { Added, Removed };
    Kind kind = Kind::Added;
    std::string code, word;
    std::size_t position = 0;  // 1-based: in the new code's candidates (added), in the old (removed)
    std::uint64_t weight = 0;  // the word's count in the frequency list
    // The word's keys by its cheapest entry in the old and in the new table.
    std::uint32_t oldKeys = 0, newKeys = 0;
};

// A word left out, and why.
struct ShortCodeSkip {
    std::string code, word;  // the table's bytes
    std::string reason;      // English, for the command line
};

struct ShortCodeProposal {
    std::vector<formats::TableEntry> entries;  // the new table, in candidate order
    std::vector<ShortCodeChange> changes;      // by code in table order; removals of a code first
    // The objective: weighted keys saved by short codes over the words' bases,
    // in the old table (its short codes as they stand) and in the proposal.
    std::int64_t oldSaving = 0, saving = 0;
    std::int64_t objective = 0;  // the assignment's own total, which `saving` measures on the new table
    std::size_t columns = 0, slotCount = 0, candidates = 0;  // of the problem solved (not "slots": a Qt keyword)
    std::vector<ShortCodeSkip> skipped;
};

// The proposal for a table's entries (in candidate order, `textEncoding`
// telling how their bytes read) and a frequency list.
ShortCodeProposal ProposeShortCodes(const std::vector<formats::TableEntry>& entries, TextEncoding textEncoding,
                                    const typing::FrequencyList& list, const ShortCodeOptions& options);

// The entries with some of a proposal's changes made (all, or those a
// maintainer kept): removed pairs go, added ones go in at their positions
// (after the code's other candidates when it has fewer), codes the table
// lacks at the end. Changes of a kind not matching an entry are passed over.
std::vector<formats::TableEntry> ApplyShortCodeChanges(const std::vector<formats::TableEntry>& entries,
                                                       const std::vector<ShortCodeChange>& changes);

// The table written back with its codes' candidates as `entries` has them,
// in its own format and encoding: every line that holds no changed code stays
// byte for byte; a line of several candidates (plain group lines, yong) is
// rewritten whole; in formats of a pair a line, removed pairs' lines go and
// new ones go in beside their neighbours, with the weight that shows them in
// their place where the engine orders by weight (Rime "sort: by_weight",
// ibus-table): whole numbers strictly between their neighbours' weights, as
// engines break ties their own way (tied with the one before, which the
// reader takes in file order, only where there are not enough). Codes the
// table lacks go before
// the first greater code when the table's codes stand in byte order, else
// after the last entry. Fails (Failure) when the table read back would not
// give `entries`' candidates.
std::string WriteWithCandidates(const formats::TableDocument& doc, const std::vector<formats::TableEntry>& entries);

}  // namespace zelmora::tune
