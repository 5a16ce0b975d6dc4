#include "transform/relation.h"

#include <array>
#include <cstring>
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

WordSet::WordSet(const std::vector<std::string>& words, TextEncoding encoding) : encoding_(encoding) {
    insert(words.size(), [&](std::size_t i) { return std::string_view(words[i]); });
}

WordSet::WordSet(const TextArena& words, TextEncoding encoding) : encoding_(encoding) {
    insert(words.size(), [&](std::size_t i) { return words[i]; });
}

WordSet::Slot WordSet::SlotOf(std::string_view key, std::size_t hash, std::uint32_t longIndex) {
    Slot slot;
    if (key.size() < sizeof slot.bytes + 1 && !key.empty()) {
        std::memcpy(slot.bytes, key.data(), key.size());
        slot.size = static_cast<std::uint8_t>(key.size());
    } else {
        // The hash's high half spares reading a long key that can't be equal.
        const auto tag = static_cast<std::uint32_t>(static_cast<std::uint64_t>(hash) >> 32);
        std::memcpy(slot.bytes, &longIndex, sizeof longIndex);
        std::memcpy(slot.bytes + sizeof longIndex, &tag, sizeof tag);
        slot.size = kLong;
    }
    return slot;
}

bool WordSet::holds(const Slot& slot, std::string_view key, std::size_t hash) const {
    if (slot.size != kLong) {
        // Inline keys are zero-padded: the slot's 16 bytes against the
        // key's, padded the same way.
        if (slot.size != key.size()) return false;
        return std::memcmp(slot.bytes, key.data(), key.size()) == 0;
    }
    if (key.size() < sizeof slot.bytes + 1) return false;
    std::uint32_t index = 0, tag = 0;
    std::memcpy(&index, slot.bytes, sizeof index);
    std::memcpy(&tag, slot.bytes + sizeof index, sizeof tag);
    return tag == static_cast<std::uint32_t>(static_cast<std::uint64_t>(hash) >> 32) && long_[index] == key;
}

std::size_t WordSet::find(std::string_view key, std::size_t hash) const {
    std::size_t s = hash & mask_;
    while (slots_[s].size != 0 && !holds(slots_[s], key, hash)) s = (s + 1) & mask_;
    return s;
}

template <typename WordAt>
void WordSet::insert(std::size_t count, const WordAt& wordAt) {
    CheckLimit(count, "short-coded words", kMaxUint32 - 1);
    // At most two thirds full: a miss still ends within a few slots, in less
    // room than at half full.
    std::size_t size = 16;
    while (size < count + count / 2) size <<= 1;
    slots_.assign(size, Slot{});
    mask_ = size - 1;
    // Each word's key and hash made a few words ahead, when its slot is
    // fetched, in a ring of reused buffers: no list of all the keys.
    constexpr std::size_t kAhead = 16;
    struct Pending {
        std::string key;
        std::size_t hash = 0;
    };
    std::array<Pending, kAhead> ring;
    auto prepare = [&](std::size_t i) {
        Pending& p = ring[i % kAhead];
        p.key.clear();
        AppendEqualityKey(wordAt(i), encoding_, p.key);
        p.hash = std::hash<std::string_view>{}(p.key);
        __builtin_prefetch(&slots_[p.hash & mask_], 1);
    };
    for (std::size_t i = 0; i < count && i < kAhead; ++i) prepare(i);
    Pending p;
    for (std::size_t i = 0; i < count; ++i) {
        std::swap(p, ring[i % kAhead]);
        if (i + kAhead < count) prepare(i + kAhead);
        const std::size_t s = find(p.key, p.hash);
        if (slots_[s].size != 0) continue;  // a word equal to one already in
        slots_[s] = SlotOf(p.key, p.hash, static_cast<std::uint32_t>(long_.size()));
        if (slots_[s].size == kLong) {
            long_.bytes += p.key;
            long_.endText();
        }
    }
}

bool WordSet::contains(std::string_view word) const {
    thread_local std::string key;
    key.clear();
    AppendEqualityKey(word, encoding_, key);
    return slots_[find(key, std::hash<std::string_view>{}(key))].size != 0;
}

void WordSet::containsEach(const std::vector<std::string_view>& words, std::vector<char>& found) const {
    const std::size_t n = words.size();
    found.assign(n, 0);
    thread_local std::string keys;
    thread_local std::vector<std::size_t> ends, hashes;
    keys.clear();
    ends.clear();
    hashes.clear();
    for (std::string_view word : words) {
        const std::size_t at = keys.size();
        AppendEqualityKey(word, encoding_, keys);
        ends.push_back(keys.size());
        hashes.push_back(std::hash<std::string_view>{}(std::string_view(keys).substr(at)));
    }
    constexpr std::size_t kAhead = 16;
    for (std::size_t i = 0; i < n && i < kAhead; ++i) __builtin_prefetch(&slots_[hashes[i] & mask_]);
    for (std::size_t i = 0, at = 0; i < n; at = ends[i++]) {
        if (i + kAhead < n) __builtin_prefetch(&slots_[hashes[i + kAhead] & mask_]);
        const std::string_view key = std::string_view(keys).substr(at, ends[i] - at);
        found[i] = slots_[find(key, hashes[i])].size != 0;
    }
}

namespace {

// Each pass looks at position k and then steps past k. Positions before k
// never change again, so the tokens from k on form a queue: a found token
// leaves its front for its back, and the token that then stands at k is
// stepped over. One pass is O(1), not a shift of every later token.
// `isWord(i)` says whether token i is a short-coded word.
template <typename Token, typename IsWord>
void Reorder(std::vector<Token>& tokens, const IsWord& isWord, std::size_t* relocations) {
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
        if (isWord(front)) {
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

template <typename Token>
void Reorder(std::vector<Token>& tokens, const WordSet& words, std::size_t* relocations) {
    Reorder(
        tokens, [&](std::uint32_t i) { return words.contains(tokens[i]); }, relocations);
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
    // Lines are taken a block at a time: the words of the whole block are
    // looked up at once (their slots fetched ahead), then each line written
    // as it is done, a line of two tokens as it was, any other rejoined
    // (reordered from three tokens on).
    auto reorderLines = [&words](std::string_view part, std::string& text, std::size_t& lines) {
        constexpr std::size_t kBlockLines = 256;
        struct Line {
            std::string_view text;
            std::size_t first = 0, size = 0;  // its tokens in `tokens`
            bool quoted = false;              // split apart: its tokens may differ from its bytes
        };
        std::vector<Line> block;
        std::vector<std::string_view> tokens, views, asked, line;
        std::vector<char> found;
        auto writeBlock = [&] {
            // The words to look up: tokens 1.. of lines of three tokens or more.
            asked.clear();
            for (const Line& l : block)
                if (l.size >= 3)
                    asked.insert(asked.end(), tokens.begin() + static_cast<std::ptrdiff_t>(l.first + 1),
                                 tokens.begin() + static_cast<std::ptrdiff_t>(l.first + l.size));
            words.containsEach(asked, found);
            std::size_t at = 0;  // line's first word in `found`
            for (const Line& l : block) {
                if (l.quoted) {
                    LineList split = SplitBySpace(l.text);
                    if (split.count() == 2) {
                        text.append(l.text);
                    } else {
                        if (split.count() >= 3) ReorderCandidates(split, words);
                        text += JoinBySpace(split);
                    }
                } else if (l.size == 2) {
                    text.append(l.text);
                } else {
                    line.assign(tokens.begin() + static_cast<std::ptrdiff_t>(l.first),
                                tokens.begin() + static_cast<std::ptrdiff_t>(l.first + l.size));
                    if (l.size >= 3) {
                        const char* isWord = found.data() + at - 1;  // token i's answer at isWord[i]
                        Reorder(
                            line, [isWord](std::uint32_t i) { return isWord[i] != 0; }, nullptr);
                        at += l.size - 1;
                    }
                    AppendJoinedBySpace(text, line);
                }
                text += "\r\n";
            }
            block.clear();
            tokens.clear();
        };
        ForEachLine(part, [&](std::string_view l) {
            ++lines;
            Line entry{l, tokens.size(), 0, false};
            if (SplitBySpaceInto(l, views)) {
                entry.size = views.size();
                tokens.insert(tokens.end(), views.begin(), views.end());
            } else {
                entry.quoted = true;
            }
            block.push_back(entry);
            if (block.size() == kBlockLines) writeBlock();
        });
        writeBlock();
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

    // Marked and counted first: grown by doubling, the list would take up to
    // twice its room, and the room left behind would stay with the process.
    std::vector<char> full3(class3.size()), full4(class4.size());
    std::size_t fullCount = 0;
    for (std::size_t i = 0; i < class3.size(); ++i) {
        full3[i] = !inPool4[i] && inPool12[i] && hasWord(class3[i]);
        fullCount += static_cast<std::size_t>(full3[i]);
    }
    for (std::size_t i = 0; i < class4.size(); ++i) {
        full4[i] = inPool123[i] && hasWord(class4[i]);
        fullCount += static_cast<std::size_t>(full4[i]);
    }
    std::vector<std::string_view> fullCodes;
    fullCodes.reserve(fullCount);
    for (std::size_t i = class3.size(); i-- > 0;)
        if (full3[i]) fullCodes.push_back(class3[i]);
    for (std::size_t i = class4.size(); i-- > 0;)
        if (full4[i]) fullCodes.push_back(class4[i]);
    std::vector<char>().swap(full3);
    std::vector<char>().swap(full4);
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

void ReorderRelation(std::string_view sourceText, const WordSet& words, RelationResult& r) {
    ReorderSourceLines(sourceText, words, kReorderCutBytes, r.reorderedText, r.reorderedCount);
    TrimInPlace(r.reorderedText);
}

RelationResult RelateShortAndFullCodes(std::string_view entryText, std::string_view sourceText, TextEncoding encoding) {
    EntryTable table(entryText, encoding);
    return RelateShortAndFullCodes(table, sourceText, true);
}

RelationResult RelateShortAndFullCodes(EntryTable& table, std::string_view sourceText, bool poolsAtOnce) {
    RelationResult r;
    // The lists of lines and the words' text are dropped before the reorder,
    // the relation's longest step: only the word set is needed there.
    const WordSet wordSet = RelateCodes(table, r, poolsAtOnce);
    ReorderRelation(sourceText, wordSet, r);
    return r;
}

std::string RelationStatus(const RelationResult& r) {
    return FormatStatus("行数:全部简码%d 简码全码%d 简码字%d 置后%d",
                        {r.shortCodesCount, r.fullCodesCount, r.wordsCount, r.reorderedCount});
}

}  // namespace zelmora
