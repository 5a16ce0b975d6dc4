#pragma once
// Candidates ordered by frequency: a pure proposal over a table's entries
// (Reorder), and the table written back with it in its own format and
// encoding (WriteReordered), every line it does not touch byte for byte.
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "core/text_encoding.h"
#include "formats/document.h"
#include "tune/frequency.h"
#include "typing/typing.h"

namespace zelmora::tune {

// Which candidates are ordered; the others keep their places.
enum class Only { Singles, Phrases, All };
// "singles", "phrases" or "all"; fails on others.
Only ParseOnly(std::string_view name);

// What a word's count orders by. Use: the count counts only where typing the
// word there as the first candidate would be strictly cheaper than its
// cheapest entry at any other code of the table as it stands; elsewhere it
// is ordered as a word the list lacks (a word typed as cheaply by its short
// code gains nothing from coming first, and the word it pushes aside pays a
// selection); nor does a traditional character's under a code that holds a
// simplified one, which by use alone would overtake the simplified character
// its short code types (員 before 员). Count: raw counts, everywhere.
enum class By { Use, Count };
// "use" or "count"; fails on others.
By ParseBy(std::string_view name);

// A candidate whose place the maintainer fixes: `code word`, GB18030 bytes.
struct Pin {
    std::string code, word;
    std::size_t line = 0;  // in the pins' file, 1-based
};
// `code word` lines in any encoding a table may be in; blank lines and lines
// starting with '#' skipped. Fails naming the file and line of a line that
// is not a code and one word.
std::vector<Pin> ReadPins(std::string_view bytes, const std::string& name);

struct ReorderOptions {
    Only only = Only::All;
    std::vector<Pin> pins;
    By by = By::Use;
    // The cost model By::Use weighs entries by.
    typing::TypingOptions typing;
    // How the entries' bytes are read (the document's textEncoding()).
    TextEncoding textEncoding = TextEncoding::Gb18030;
};

// A candidate that changed place within its code; places count from 1.
struct CandidateMove {
    std::string code, word;
    std::size_t from = 0, to = 0;
    std::optional<std::uint64_t> count;  // in the frequency list; none: absent
};

struct Reordering {
    // order[p]: the index, in the entries given, of the entry that now takes
    // place p. A code's entries take the places its entries held before.
    std::vector<std::uint32_t> order;
    std::vector<CandidateMove> moves;  // by code as first met, then new place
    std::size_t codesChanged = 0;
    std::vector<Pin> unmatchedPins;     // pins naming a pair the table lacks
    std::vector<std::string> oddCodes;  // codes not all a–z, left as they are
    bool changed() const { return codesChanged != 0; }
    // The entries in their new order.
    std::vector<formats::TableEntry> apply(const std::vector<formats::TableEntry>& entries) const;
};

// Within each code (entries in candidate order, a code's entries need not be
// together), the candidates `only` selects are ordered by their count in
// `counts` (as options.by says it counts), highest first; equal counts keep their order, and words the list
// lacks follow those it has, in their order. The other candidates keep their
// places. A pinned candidate keeps its place too: the ordered candidates fill
// the places left, as if the pinned ones were not there. Codes holding
// anything but a–z are left as they are and listed.
Reordering Reorder(const std::vector<formats::TableEntry>& entries, const WordCounts& counts,
                   const ReorderOptions& options);

// `r` for the given codes only (those the maintainer took): every other
// code keeps its order.
Reordering OnlyCodes(const Reordering& r, const std::vector<formats::TableEntry>& entries,
                     const std::vector<std::string>& codes);

// A weight a line was given so that the engine shows the new order.
struct Reweighting {
    std::string code, word;
    std::string from, to;  // as written; "" for none
};

struct ReorderedTable {
    std::string bytes;  // the file to write, in the table's own encoding
    std::size_t linesChanged = 0;
    std::vector<Reweighting> reweighted;
};

// `doc` written back with `r` (from Reorder over doc.entries). Engines that
// show candidates in file order (plain, libime, fcitx4, yong, Rime with
// "sort: original" or without weights) get their lines in the new order: a
// line of one entry moves whole, a line of several (plain, yong) is written
// afresh. Engines that order by weight, ties in file order (Rime, ibus-table)
// keep their lines in place and get new weights, on as few lines as can give
// the new order: the largest set of entries whose weights already stand in
// it keeps them, the others take weights between their neighbours' (whole
// numbers where there is room; Rime also takes decimals, ibus-table only
// whole numbers, and a Rime weight is above 0, as librime ranks every weight
// up to 0 alike).
ReorderedTable WriteReordered(const formats::TableDocument& doc, const Reordering& r);

}  // namespace zelmora::tune
