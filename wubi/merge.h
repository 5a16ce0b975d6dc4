#pragma once
// New words merged into a table: where each goes (PlanMerge), into group lines
// as the window's source pane holds them (MergeIntoGroupLines), and into a
// table file of any format, written back in its own format and encoding: the
// command line's `encode --merge` and anything else that adds words to a
// table file take this one path.
#include <cstddef>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "core/text_encoding.h"
#include "formats/document.h"
#include "formats/encoding.h"
#include "wubi/encode.h"

namespace zelmora {

// One line of a table as a merge sees it: its code (empty for a line without
// one: blank, comment, header) and its words.
struct MergeLine {
    std::string code;
    std::vector<std::string> words;
};

// Where the new pairs of a merge go. A new word goes after the existing
// candidates of its code, on the last line with that code. Codes the table
// lacks get lines of their own, in byte order of code; when the table's codes
// stand in byte order, each goes before the first line whose code is greater
// (its place in the order), otherwise after the last line with a code. A
// code-word pair the table (or an earlier entry) already has is not added.
struct MergePlan {
    // Lines of the table that entries (indices) join.
    std::map<std::size_t, std::vector<std::size_t>> after;
    const std::vector<std::size_t>& joining(std::size_t line) const;  // empty when none
    struct NewCode {
        std::size_t beforeLine;            // the line count for after the last line
        std::vector<std::size_t> entries;  // in the entries' order
    };
    std::vector<NewCode> newCodes;  // in byte order of code, by beforeLine
    std::size_t added = 0;
};
MergePlan PlanMerge(const std::vector<MergeLine>& lines, const std::vector<EncodedEntry>& entries);

// A table as a merge reads it, in line order: each line's code (empty for a
// line without one), and the words of only those lines whose code some entry
// has, so that nothing is kept per line of a large table.
class MergeSource {
public:
    virtual ~MergeSource() = default;
    virtual std::size_t lineCount() const = 0;
    // Valid until the next call.
    virtual std::string_view code(std::size_t line) = 0;
    virtual void words(std::size_t line, std::vector<std::string>& out) = 0;
};
MergePlan PlanMerge(MergeSource& table, const std::vector<EncodedEntry>& entries);

// Builds a table's text line by line: the table's own lines keep their own
// line breaks; inserted lines take the table's usual break, and a table that
// ended without a break still does.
class TableWriter {
public:
    explicit TableWriter(std::string_view defaultBreak) : defaultBreak_(defaultBreak) {}
    void line(std::string_view text, std::string_view lineBreak);  // a line of the table
    void insert(std::string_view text);                            // a new line
    std::string take() { return std::move(out_); }
    void reserve(std::size_t bytes) { out_.reserve(bytes); }

private:
    std::string defaultBreak_;
    std::string out_;
    bool owed_ = false;  // the last line written had no break
};

// Adds entries to a table of group lines (cut as the expansion cuts them) as
// PlanMerge places them: new words are appended to their code's line (or,
// when that line's last token would take them in, go on a line of their own
// right after it), and new codes get group lines. Every other byte of the table stays. Line breaks of
// new lines follow the table's first line break (CR LF when it has none).
// `added` receives the number of pairs added.
std::string MergeIntoGroupLines(std::string_view tableText, const std::vector<EncodedEntry>& entries,
                                std::size_t* added = nullptr);

formats::TableEntry AsTableEntry(const EncodedEntry& e);

// Where new words stand among a code's existing candidates when the table's
// engine orders them by weight (Rime "sort: by_weight", ibus-table's
// frequencies); every other format shows them in file order, after.
enum class MergeOrder {
    // After the existing candidates, as in the other formats: a weight that
    // would lift a new word ahead of them is lowered.
    AfterExisting,
    // Where the given weights put them.
    ByWeight,
};

// A new word's weight lowered to keep it after its code's candidates.
struct LoweredWeight {
    std::string code, word;
    std::optional<std::string> from;  // as given; none: no weight, which reads as 0
    std::string to;
};

struct MergedTable {
    std::string bytes;  // the file to write
    formats::Format format = formats::Format::Plain;
    formats::Encoding encoding = formats::Encoding::Gb18030;
    TextEncoding textEncoding = TextEncoding::Gb18030;
    std::size_t added = 0;               // code-word pairs the table did not have
    bool encodingCloseCall = false;      // the table's encoding was detected on thin evidence
    std::vector<LoweredWeight> lowered;  // in the order of the entries
};

// Reads `bytes` as a table (encoding and format given or detected), adds the
// entries as PlanMerge places them and writes it back: a plain table through
// MergeIntoGroupLines; in the other formats unchanged lines stay byte for
// byte and new pairs are written in the table's own layout (for yong, a
// code's line is rewritten with its new words). Fails on a NUL byte, naming
// its line.
//
// In a table ordered by weight, with MergeOrder::AfterExisting, the new
// words of a code that the table has keep the order their weights give them
// among themselves, all after the existing candidates: each gets at most the
// weight of the one before it, and below the lowest weight of the existing
// candidates; strictly below (a whole number) where one not below 0 is, so
// that engines breaking ties otherwise still show it after, else the same
// weight (ties stand in file order, and new words come last in the file).
MergedTable MergeIntoTable(std::string_view bytes, formats::Encoding encoding, formats::Format format,
                           const std::vector<EncodedEntry>& entries, MergeOrder order = MergeOrder::AfterExisting);

}  // namespace zelmora
