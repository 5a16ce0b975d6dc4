#pragma once
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "core/collation.h"
#include "core/line_list.h"
#include "core/text_encoding.h"

namespace zelmora {

class EntryTable;

struct RelationResult {
    std::string shortCodesText;  // all short codes, sorted
    std::string fullCodesText;   // full codes of short-coded words, sorted
    std::string wordsText;       // short-coded words, one per line
    std::string reorderedText;   // the source table, short-coded candidates last
    std::size_t shortCodesCount = 0, fullCodesCount = 0, wordsCount = 0, reorderedCount = 0;
};

// Whole-word, case-insensitive lookup of the short-coded words (FindLine >= 0),
// answered by a hash of collation equality keys, open-addressed; a key of up
// to 15 bytes (a word of up to four characters) is held in its slot, so a
// lookup reads one slot.
class WordSet {
public:
    WordSet(const std::vector<std::string>& words, TextEncoding encoding);
    WordSet(const TextArena& words, TextEncoding encoding);
    bool contains(std::string_view word) const;
    // found[i] for words[i], each slot fetched while the keys before it are
    // compared: lookups of many words overlap their waits for memory.
    void containsEach(const std::vector<std::string_view>& words, std::vector<char>& found) const;

private:
    template <typename WordAt>
    void insert(std::size_t count, const WordAt& wordAt);
    static constexpr std::uint8_t kLong = 0xFF;
    struct Slot {
        char bytes[15] = {};    // the key; for a longer one, its index and tag
        std::uint8_t size = 0;  // 0: empty; kLong: the key is in long_
    };
    static Slot SlotOf(std::string_view key, std::size_t hash, std::uint32_t longIndex);
    bool holds(const Slot& slot, std::string_view key, std::size_t hash) const;
    std::size_t find(std::string_view key, std::size_t hash) const;  // the slot that holds it or is empty
    std::vector<Slot> slots_;
    std::size_t mask_ = 0;
    TextArena long_;  // keys over 15 bytes
    TextEncoding encoding_;
};

// Moves, in c-2 passes over positions 1..c-2, each token found among the
// short-coded words to the end of the line's tokens. `relocations`, when
// given, counts every token (or its place) written elsewhere: O(c) in all.
void ReorderCandidates(LineList& tokens, const WordSet& words, std::size_t* relocations = nullptr);
// The same on tokens that are views.
void ReorderCandidates(std::vector<std::string_view>& tokens, const WordSet& words, std::size_t* relocations = nullptr);

// The source's lines as the relation writes them, each followed by CR LF,
// appended to `out`, and counted into `count`. A source of at least
// `cutBytes` bytes is done in two halves on two threads.
void ReorderSourceLines(std::string_view source, const WordSet& words, std::size_t cutBytes, std::string& out,
                        std::size_t& count);

RelationResult RelateShortAndFullCodes(std::string_view entryText, std::string_view sourceText, TextEncoding encoding);
// The same on an entry table shared with other derivations.
// `poolsAtOnce`: the pool indexes are worked out on two threads (for a
// relation run alone; in the pipeline the other thread has work of its own,
// and both indexes at once would raise the peak of memory).
RelationResult RelateShortAndFullCodes(EntryTable& entries, std::string_view sourceText, bool poolsAtOnce = false);

// The same in its two steps, for a pipeline that runs them as tasks of their
// own: the short codes, the full codes and the words into `r`, and the set
// of those words; then the source reordered by that set into `r`.
WordSet RelateCodes(EntryTable& entries, RelationResult& r, bool poolsAtOnce);
void ReorderRelation(std::string_view sourceText, const WordSet& words, RelationResult& r);

// "行数:全部简码%d 简码全码%d 简码字%d 置后%d" (UTF-8)
std::string RelationStatus(const RelationResult& r);

}  // namespace zelmora
