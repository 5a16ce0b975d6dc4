#include "transform/relation.h"

#include <exception>
#include <thread>

#include "core/code_table.h"
#include "core/collation.h"
#include "core/limits.h"
#include "core/side_by_side.h"
#include "core/text.h"
#include "transform/classify.h"
#include "transform/entry_table.h"
#include "transform/status.h"

namespace zelmora {

namespace {

// Below these the second thread would cost about what it saves.
constexpr std::size_t kReorderCutBytes = 1 << 20;
constexpr std::size_t kAloneLines = 1 << 16;

}  // namespace

WordSet::WordSet(const std::vector<std::string>& words, TextEncoding encoding)
    : WordSet(MakeSortKeys(words, encoding), words.size(), encoding) {}

WordSet::WordSet(const TextArena& words, TextEncoding encoding)
    : WordSet(MakeSortKeys(words, encoding), words.size(), encoding) {}

WordSet::WordSet(SortKeys keys, std::size_t count, TextEncoding encoding)
    : keys_(std::move(keys)), encoding_(encoding) {
    CheckLimit(count, "short-coded words", kMaxUint32 - 1);
    // At most two thirds full: a miss still ends within a few slots, in less
    // room than at half full.
    std::size_t size = 16;
    while (size < count + count / 2) size <<= 1;
    slots_.assign(size, Slot{});
    mask_ = size - 1;
    for (std::size_t i = 0; i < count; ++i) {
        const std::string_view key = keys_.at(i);
        const std::size_t h = std::hash<std::string_view>{}(key);
        const auto tag = static_cast<std::uint32_t>(static_cast<std::uint64_t>(h) >> 32);
        for (std::size_t s = h & mask_;; s = (s + 1) & mask_) {
            if (slots_[s].word == 0) {
                slots_[s] = {static_cast<std::uint32_t>(i + 1), tag};
                break;
            }
            if (slots_[s].tag == tag && keys_.at(slots_[s].word - 1) == key) break;  // a word equal to one already in
        }
    }
}

bool WordSet::contains(std::string_view word) const {
    if (keys_.offsets.size() < 2) return false;
    thread_local std::string key;
    key.clear();
    AppendSortKey(word, encoding_, key);
    const std::size_t h = std::hash<std::string_view>{}(key);
    const auto tag = static_cast<std::uint32_t>(static_cast<std::uint64_t>(h) >> 32);
    for (std::size_t s = h & mask_;; s = (s + 1) & mask_) {
        const Slot slot = slots_[s];
        if (slot.word == 0) return false;
        // The tag spares reading the key of a word that can't be equal.
        if (slot.tag == tag && keys_.at(slot.word - 1) == key) return true;
    }
}

namespace {

// Each pass looks at position k and then steps past k. Positions before k
// never change again, so the tokens from k on form a queue: a found token
// leaves its front for its back, and the token that then stands at k is
// stepped over. One pass is O(1), not a shift of every later token.
template <typename Token>
void Reorder(std::vector<Token>& tokens, const WordSet& words, std::size_t* relocations) {
    const std::size_t c = tokens.size();
    if (c < 3) return;
    // Kept from line to line: a table has a million of them.
    thread_local std::vector<std::uint32_t> queue, order;
    queue.clear();  // positions, front at `head`
    queue.reserve(2 * c);
    for (std::size_t i = 1; i < c; ++i) queue.push_back(static_cast<std::uint32_t>(i));
    std::size_t head = 0;
    order.assign(1, 0);
    order.reserve(c);
    for (std::size_t pass = 0; pass + 2 < c; ++pass) {
        const std::uint32_t front = queue[head];
        if (words.contains(tokens[front])) {
            ++head;
            queue.push_back(front);
            if (relocations) ++*relocations;
        }
        order.push_back(queue[head++]);
    }
    order.insert(order.end(), queue.begin() + static_cast<std::ptrdiff_t>(head), queue.end());
    std::vector<Token> reordered;
    reordered.reserve(c);
    for (std::uint32_t i : order) reordered.push_back(std::move(tokens[i]));
    tokens.swap(reordered);
    if (relocations) *relocations += c;
}

}  // namespace

void ReorderCandidates(LineList& tokens, const WordSet& words, std::size_t* relocations) {
    Reorder(tokens.lines(), words, relocations);
}

void ReorderCandidates(std::vector<std::string_view>& tokens, const WordSet& words, std::size_t* relocations) {
    Reorder(tokens, words, relocations);
}

void ReorderSourceLines(std::string_view sourceText, const WordSet& words, std::size_t cutBytes, std::string& out,
                        std::size_t& count) {
    // Each line written as it is done: a line of two tokens as it was, any
    // other rejoined (reordered from three tokens on).
    auto reorderLines = [&words](std::string_view part, std::string& text, std::size_t& lines) {
        std::vector<std::string_view> views;
        ForEachLine(part, [&](std::string_view line) {
            ++lines;
            if (SplitBySpaceInto(line, views)) {
                if (views.size() == 2) {
                    text.append(line);
                } else {
                    ReorderCandidates(views, words);
                    AppendJoinedBySpace(text, views);
                }
                text += "\r\n";
                return;
            }
            LineList tokens = SplitBySpace(line);
            if (tokens.count() == 2) {
                text.append(line);
            } else {
                if (tokens.count() >= 3) ReorderCandidates(tokens, words);
                text += JoinBySpace(tokens);
            }
            text += "\r\n";
        });
    };
    // Lines are done one by one, so a big table is done in two halves at once,
    // cut after a line feed (where a line always begins): this is the last
    // work of the pipeline's longest derivation, which would otherwise leave
    // the other core idle.
    const std::string_view source = UpToNul(sourceText);
    const std::size_t cut = source.size() < cutBytes ? std::string_view::npos : source.find('\n', source.size() / 2);
    // The whole output's room at once: the second half's text is appended
    // into it, not into a copy grown to hold both.
    out.reserve(out.size() + source.size() + source.size() / 8);
    if (cut == std::string_view::npos) {
        reorderLines(source, out, count);
    } else {
        std::string secondOut;
        secondOut.reserve((source.size() - cut) + (source.size() - cut) / 8);
        std::size_t secondCount = 0;
        std::exception_ptr failure;
        std::thread second([&] {
            try {
                reorderLines(source.substr(cut + 1), secondOut, secondCount);
            } catch (...) {
                failure = std::current_exception();
            }
        });
        try {
            reorderLines(source.substr(0, cut + 1), out, count);
        } catch (...) {
            second.join();
            throw;
        }
        second.join();
        if (failure) std::rethrow_exception(failure);
        out += secondOut;
        count += secondCount;
    }
}

namespace {

// The short codes, the full codes of short-coded words and those words, into
// `r`; the words as the set the reorder looks them up in.
WordSet RelateCodes(EntryTable& table, RelationResult& r, bool poolsAtOnce) {
    const TextEncoding encoding = table.encoding();
    const LengthClasses& c = table.classes();
    const auto& class3 = c.lines[2];
    const auto& class4 = c.lines[3];
    using Pools = EntryTable::Pools;
    // The two big indexes at once when asked: pool 4, and pools 1+2+3.
    const std::vector<char>*inPool4p = nullptr, *inPool12p = nullptr, *inPool123p = nullptr;
    auto pool4 = [&] { inPool4p = &table.inPool(3, Pools::P4); };
    auto pools123 = [&] {
        inPool123p = &table.inPool(4, Pools::P123);
        inPool12p = &table.inPool(3, Pools::P12);
    };
    if (!poolsAtOnce || class3.size() + class4.size() < kAloneLines) {
        pool4();
        pools123();
    } else {
        SideBySide(pool4, pools123);
    }
    const std::vector<char>& inPool4 = *inPool4p;
    const std::vector<char>& inPool12 = *inPool12p;
    const std::vector<char>& inPool123 = *inPool123p;

    // A line without a word (fewer than two tokens) can't be the full code of
    // a word: its word would be missing below.
    auto hasWord = [](std::string_view line) { return CountTokens(line, 2) >= 2; };

    // Counted first: grown by doubling, the list would take up to twice its
    // room, and the room left behind would stay with the process.
    auto forEachFullCode = [&](auto&& f) {
        for (std::size_t i = class3.size(); i-- > 0;)
            if (!inPool4[i] && inPool12[i] && hasWord(class3[i])) f(class3[i]);
        for (std::size_t i = class4.size(); i-- > 0;)
            if (inPool123[i] && hasWord(class4[i])) f(class4[i]);
    };
    std::size_t fullCount = 0;
    forEachFullCode([&](std::string_view) { ++fullCount; });
    std::vector<std::string_view> fullCodes;
    fullCodes.reserve(fullCount);
    forEachFullCode([&](std::string_view line) { fullCodes.push_back(line); });
    const std::vector<std::uint32_t> fullOrder = table.sortedOrder(fullCodes);

    std::vector<std::string_view> shortCodes;
    shortCodes.reserve(c.lines[0].size() + c.lines[1].size() + class3.size());
    c.lines[0].appendTo(shortCodes);
    c.lines[1].appendTo(shortCodes);
    for (std::size_t i = 0; i < class3.size(); ++i)
        if (inPool4[i]) shortCodes.push_back(class3[i]);

    // The words, token 1 of each full code in order, in one buffer.
    TextArena words;
    std::string word;
    for (std::uint32_t i : fullOrder) {
        NthToken(fullCodes[i], 1, word);
        words.bytes += word;
        words.endText();
    }

    r.shortCodesCount = shortCodes.size();
    r.fullCodesCount = fullCodes.size();
    r.wordsCount = words.size();
    r.shortCodesText = JoinTrimmed(shortCodes, table.sortedOrder(shortCodes));
    r.fullCodesText = JoinTrimmed(fullCodes, fullOrder);
    r.wordsText.reserve(words.bytes.size() + 2 * words.size());
    for (std::size_t i = 0; i < words.size(); ++i) r.wordsText.append(words[i]).append("\r\n");
    TrimInPlace(r.wordsText);
    return WordSet(words, encoding);
}

}  // namespace

RelationResult RelateShortAndFullCodes(std::string_view entryText, std::string_view sourceText, TextEncoding encoding) {
    EntryTable table(entryText, encoding);
    return RelateShortAndFullCodes(table, sourceText, true);
}

RelationResult RelateShortAndFullCodes(EntryTable& table, std::string_view sourceText, bool poolsAtOnce) {
    RelationResult r;
    // The lists of lines and the words' text are dropped before the reorder,
    // the relation's longest step: only the word set is needed there.
    const WordSet wordSet = RelateCodes(table, r, poolsAtOnce);
    ReorderSourceLines(sourceText, wordSet, kReorderCutBytes, r.reorderedText, r.reorderedCount);
    TrimInPlace(r.reorderedText);
    return r;
}

std::string RelationStatus(const RelationResult& r) {
    return FormatStatus("行数:全部简码%d 简码全码%d 简码字%d 置后%d",
                        {r.shortCodesCount, r.fullCodesCount, r.wordsCount, r.reorderedCount});
}

}  // namespace zelmora
