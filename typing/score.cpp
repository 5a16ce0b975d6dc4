// Scoring a table on texts, word-frequency lists and character sets.
#include "typing/score.h"

#include <algorithm>
#include <charconv>
#include <exception>
#include <filesystem>
#include <thread>
#include <unordered_map>

#include "core/failure.h"
#include "core/text.h"
#include "formats/files.h"
#include "formats/text_stream.h"

namespace zelmora::typing {

namespace {

// Where a text may be cut into parts typed apart: before a keyed character,
// which splits words whatever the table and is typed (so the part before
// knows whether punctuation follows its last word), unless it may be the
// second of a "……" or "——" pair.
bool CutBefore(std::u32string_view text, std::size_t i) {
    const char32_t c = text[i];
    if (c == U'…' || c == U'—') return false;
    return KeyedAt(text, i).keys > 0;
}

// Types parts on `threads` threads while the next parts are read, joining
// the parts in the text's order.
class PartTyper {
public:
    PartTyper(const TypingTable& table, const ScoreOptions& options, const Trace& trace)
        : table_(table), options_(options), trace_(trace), threads_(std::max(options.threads, 1u)) {
        if (trace.entryUse) {
            trace.entryUse->assign(table.size(), 0);
            use_.assign(threads_, std::vector<std::uint64_t>(table.size(), 0));
        }
    }

    // Text as it comes; parts are cut from it as it grows.
    void add(std::u32string_view text) {
        buffer_.append(text);
        while (buffer_.size() >= options_.partCharacters + scanned_) {
            // The last place to cut; a part is never empty.
            std::size_t cut = buffer_.size() - 1;
            while (cut > std::max<std::size_t>(scanned_, 1) && !CutBefore(buffer_, cut)) --cut;
            if (cut == 0 || !CutBefore(buffer_, cut)) {  // nowhere to cut yet: read on
                scanned_ = buffer_.size();
                return;
            }
            pending_.push_back(buffer_.substr(0, cut));
            next_.push_back(buffer_[cut]);
            buffer_.erase(0, cut);
            scanned_ = 0;
            if (pending_.size() == threads_) typeRound();
        }
    }

    Figures finish() {
        if (!buffer_.empty()) {
            pending_.push_back(std::move(buffer_));
            next_.push_back(0);
        }
        if (!pending_.empty()) typeRound();
        wait();
        Typist last(table_, options_.segmentation);
        last.part() = std::move(total_);
        last.finish();
        if (trace_.entryUse)
            for (const auto& use : use_)
                for (std::size_t i = 0; i < use.size(); ++i) (*trace_.entryUse)[i] += use[i];
        return last.figures();
    }

    ~PartTyper() {
        for (std::thread& t : workers_)
            if (t.joinable()) t.join();
    }

private:
    // Starts typing the pending parts; the round before is joined first.
    void typeRound() {
        wait();
        round_ = std::move(pending_);
        roundNext_ = std::move(next_);
        pending_.clear();
        next_.clear();
        parts_.assign(round_.size(), Part{});
        commits_.assign(round_.size(), {});
        errors_.assign(round_.size(), nullptr);
        for (std::size_t k = 0; k < round_.size(); ++k) {
            workers_.emplace_back([this, k] {
                try {
                    Typist typist(table_, options_.segmentation);
                    if (trace_.onCommits) typist.commits = &commits_[k];
                    if (!use_.empty()) typist.entryUse = &use_[k];
                    typist.type(round_[k], roundNext_[k]);
                    parts_[k] = std::move(typist.part());
                } catch (...) {
                    errors_[k] = std::current_exception();
                }
            });
        }
    }

    void wait() {
        for (std::thread& t : workers_) t.join();
        workers_.clear();
        for (std::size_t k = 0; k < parts_.size(); ++k) {
            if (errors_[k]) std::rethrow_exception(errors_[k]);
            Join(total_, parts_[k]);
            if (trace_.onCommits) trace_.onCommits(commits_[k]);
        }
        parts_.clear();
        round_.clear();
    }

    const TypingTable& table_;
    const ScoreOptions& options_;
    const Trace& trace_;
    unsigned threads_;
    std::u32string buffer_;
    std::size_t scanned_ = 0;  // the buffer up to here has no place to cut
    std::vector<std::u32string> pending_, round_;
    std::vector<char32_t> next_, roundNext_;  // the character after each part
    std::vector<Part> parts_;
    std::vector<std::vector<Commit>> commits_;
    std::vector<std::exception_ptr> errors_;
    std::vector<std::vector<std::uint64_t>> use_;  // per worker
    std::vector<std::thread> workers_;
    Part total_;
};

bool NothingTyped(const Figures& f) { return f.typedCharacters() + f.missing + f.unkeyed == 0; }

bool IsListBlank(char32_t c) { return c == ' ' || c == '\t' || c == 0x3000; }

}  // namespace

Figures ScoreString(const TypingTable& table, std::u32string_view text, const ScoreOptions& options,
                    const Trace& trace) {
    PartTyper typer(table, options, trace);
    typer.add(text);
    return typer.finish();
}

Figures ScoreText(const TypingTable& table, formats::ByteSource& text, formats::Encoding encoding,
                  const std::string& name, const ScoreOptions& options, const Trace& trace) {
    formats::TextStream stream(text, encoding, name);
    PartTyper typer(table, options, trace);
    std::u32string block;
    while (true) {
        block.clear();
        if (!stream.next(block, std::size_t(1) << 18)) break;
        typer.add(block);
    }
    Figures figures = typer.finish();
    if (NothingTyped(figures))
        throw Failure("\"" + name + "\": no text to type (the file is empty or holds only blanks)");
    return figures;
}

std::string FrequencyListPath(const std::string& nameOrPath) {
    struct Known {
        const char* name;
        const char* package;
        std::vector<const char*> paths;
    };
    static const Known kKnown[] = {
        {"jieba",
         "python3-jieba",
         {"/usr/lib/python3/dist-packages/jieba/dict.txt", "/usr/share/python3-jieba/dict.txt"}},
        {"essay", "rime-essay", {"/usr/share/rime-data/essay.txt"}},
    };
    for (const Known& k : kKnown) {
        if (nameOrPath != k.name) continue;
        for (const char* path : k.paths)
            if (std::filesystem::exists(path)) return path;
        throw Failure(std::string("The word list \"") + k.name + "\" is missing: install the Debian package " +
                      k.package);
    }
    return nameOrPath;
}

FrequencyList ReadFrequencyList(std::string_view bytes, const std::string& name) {
    const formats::DecodedText decoded = formats::DecodeText(bytes, formats::Encoding::Auto);
    try {
        RefuseNulBytes(decoded.text, "word list");
    } catch (const Failure& f) {
        throw Failure(name + ": " + f.what());
    }
    const std::u32string text = Utf32Of(decoded.text, formats::TextEncodingOf(decoded.encoding));
    FrequencyList list;
    list.name = name;
    std::size_t line = 0;
    for (std::size_t at = 0; at < text.size();) {
        std::size_t end = text.find(U'\n', at);
        if (end == std::u32string::npos) end = text.size();
        std::u32string_view l(text.data() + at, end - at);
        at = end + 1;
        ++line;
        if (!l.empty() && l.back() == U'\r') l.remove_suffix(1);
        if (line == 1 && !l.empty() && l.front() == 0xFEFF) l.remove_prefix(1);
        std::size_t i = 0;
        while (i < l.size() && IsListBlank(l[i])) ++i;
        if (i == l.size() || l[i] == U'#') continue;
        std::size_t w = i;
        while (w < l.size() && !IsListBlank(l[w])) ++w;
        const std::u32string_view word = l.substr(i, w - i);
        while (w < l.size() && IsListBlank(l[w])) ++w;
        std::size_t c = w;
        while (c < l.size() && !IsListBlank(l[c])) ++c;
        std::string digits;
        for (char32_t d : l.substr(w, c - w)) digits += d < 0x80 ? static_cast<char>(d) : '?';
        std::uint64_t count = 0;
        const auto [ptr, ec] = std::from_chars(digits.data(), digits.data() + digits.size(), count);
        if (digits.empty() || ec != std::errc() || ptr != digits.data() + digits.size())
            throw Failure(name + ": line " + std::to_string(line) +
                          ": expected a word and its count (a whole number), found \"" + Utf8Of(l) + "\"");
        list.words.emplace_back(word, count);
    }
    if (list.words.empty()) throw Failure(name + ": no words with counts in the list");
    return list;
}

FrequencyList LoadFrequencyList(const std::string& nameOrPath) {
    const std::string path = FrequencyListPath(nameOrPath);
    return ReadFrequencyList(ReadInput(path), path);
}

Figures ScoreFrequencies(const TypingTable& table, const FrequencyList& list, Segmentation segmentation,
                         const Trace& trace) {
    Typist typist(table, segmentation);
    if (trace.entryUse) {
        trace.entryUse->assign(table.size(), 0);
        typist.entryUse = trace.entryUse;
    }
    for (const auto& [word, count] : list.words)
        if (count > 0) typist.typeAlone(word, count);
    return typist.figures();
}

namespace {

double Share(std::uint64_t part, std::uint64_t whole) {
    return whole ? static_cast<double>(part) / static_cast<double>(whole) : 0;
}

}  // namespace

double CharacterFigures::fullKeysPerCharacter() const { return Share(fullKeys, weight - missingWeight); }
double CharacterFigures::shortKeysPerCharacter() const { return Share(shortKeys, weight - missingWeight); }
double CharacterFigures::selectionRate() const { return Share(shortSelections, weight - missingWeight); }

std::vector<char32_t> CharacterSet(const std::string& name, const FrequencyList& list) {
    std::vector<char32_t> set;
    if (name == "gb2312" || name == "gb2312-1") {
        // GB 2312's Han characters: rows 16-87 (lead bytes B0-F7), level 1 the first 40 rows.
        const unsigned lastRow = name == "gb2312" ? 0xF7 : 0xD7;
        std::string bytes;
        for (unsigned lead = 0xB0; lead <= lastRow; ++lead)
            for (unsigned trail = 0xA1; trail <= 0xFE; ++trail) {
                if (lead == 0xD7 && trail > 0xF9) continue;  // the five empty places ending level 1
                bytes += static_cast<char>(lead);
                bytes += static_cast<char>(trail);
            }
        for (char32_t c : Utf32Of(bytes, TextEncoding::Gbk)) set.push_back(c);
        return set;
    }
    if (name.rfind("top:", 0) == 0) {
        std::size_t n = 0;
        const std::string digits = name.substr(4);
        const auto [ptr, ec] = std::from_chars(digits.data(), digits.data() + digits.size(), n);
        if (digits.empty() || ec != std::errc() || ptr != digits.data() + digits.size() || n == 0)
            throw Failure("--chars top:N needs a whole number N of at least 1, not \"" + digits + "\"");
        std::vector<std::pair<std::uint64_t, char32_t>> singles;
        std::unordered_map<char32_t, bool> seen;
        for (const auto& [word, count] : list.words)
            if (word.size() == 1 && IsHan(word[0]) && !seen[word[0]]) {
                seen[word[0]] = true;
                singles.emplace_back(count, word[0]);
            }
        std::stable_sort(singles.begin(), singles.end(),
                         [](const auto& a, const auto& b) { return a.first > b.first; });
        for (std::size_t i = 0; i < singles.size() && i < n; ++i) set.push_back(singles[i].second);
        return set;
    }
    throw Failure("Unknown character set \"" + name + "\": give gb2312, gb2312-1 or top:N");
}

CharacterFigures ScoreCharacters(const TypingTable& table, const FrequencyList& list, const std::string& setName) {
    CharacterFigures f;
    f.set = setName;
    std::unordered_map<char32_t, std::uint64_t> weights;
    for (const auto& [word, count] : list.words)
        if (word.size() == 1) weights.try_emplace(word[0], count);  // its own line: the first
    // Each character's full code: its longest code, the cheapest entry there.
    std::unordered_map<char32_t, const Stroke*> full;
    for (std::uint32_t e = 0; e < table.size(); ++e) {
        const std::u32string& word = table.wordOf(e);
        if (word.size() != 1) continue;
        const Stroke& s = table.strokeOf(e);
        auto [it, added] = full.try_emplace(word[0], &s);
        if (!added &&
            (s.letters > it->second->letters || (s.letters == it->second->letters && s.keys() < it->second->keys())))
            it->second = &s;
    }
    for (char32_t c : CharacterSet(setName, list)) {
        ++f.characters;
        const auto w = weights.find(c);
        const std::uint64_t weight = w == weights.end() ? 0 : w->second;
        f.weight += weight;
        const std::u32string one(1, c);
        const Stroke* cheapest = table.find(one);
        const auto longest = full.find(c);
        if (!cheapest || longest == full.end()) {
            f.missingWeight += weight;
            f.missing.emplace_back(c, weight);
            continue;
        }
        ++f.present;
        f.shortKeys += weight * cheapest->keys();
        f.fullKeys += weight * longest->second->keys();
        if (cheapest->position >= 2) f.shortSelections += weight;
        if (longest->second->position >= 2) f.fullSelections += weight;
    }
    std::stable_sort(f.missing.begin(), f.missing.end(),
                     [](const auto& a, const auto& b) { return a.second > b.second; });
    return f;
}

std::vector<WordChange> CompareTyping(const TypingTable& before, const std::vector<std::uint64_t>& beforeUse,
                                      const TypingTable& after, const std::vector<std::uint64_t>& afterUse,
                                      Segmentation segmentation) {
    std::unordered_map<std::u32string, std::pair<std::uint64_t, std::uint64_t>> times;  // by each table
    for (std::uint32_t e = 0; e < beforeUse.size() && e < before.size(); ++e)
        if (beforeUse[e]) times[before.wordOf(e)].first += beforeUse[e];
    for (std::uint32_t e = 0; e < afterUse.size() && e < after.size(); ++e)
        if (afterUse[e]) times[after.wordOf(e)].second += afterUse[e];
    // A word's keys typed alone, and whether the table could type all of it.
    auto keysIn = [segmentation](const TypingTable& table, const std::u32string& word) {
        Typist typist(table, segmentation);
        typist.typeAlone(word, 1);
        const Figures& f = typist.figures();
        return std::pair{f.allKeys(), f.missing + f.unkeyed == 0};
    };
    std::vector<WordChange> changes;
    for (const auto& [word, counts] : times) {
        const auto [oldKeys, oldWhole] = keysIn(before, word);
        const auto [newKeys, newWhole] = keysIn(after, word);
        if (oldKeys == newKeys || !oldWhole || !newWhole) continue;  // a lost character shows in the missing count
        changes.push_back({word, std::max(counts.first, counts.second), oldKeys, newKeys});
    }
    std::sort(changes.begin(), changes.end(), [](const WordChange& a, const WordChange& b) {
        if (a.impact() != b.impact()) return a.impact() > b.impact();
        return a.word < b.word;
    });
    return changes;
}

}  // namespace zelmora::typing
