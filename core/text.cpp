#include "core/text.h"

#include <functional>

#include <cstring>

#include "core/failure.h"

namespace zelmora {

std::string_view UpToNul(std::string_view text) {
    const void* nul = std::memchr(text.data(), 0, text.size());
    if (!nul) return text;
    return text.substr(0, static_cast<const char*>(nul) - text.data());
}

void RefuseNulBytes(std::string_view text, const char* what, std::size_t firstLine) {
    const std::size_t nul = text.find('\0');
    if (nul == std::string_view::npos) return;
    std::size_t line = firstLine;
    for (std::size_t i = 0; i < nul; ++i)
        if (text[i] == '\n' || (text[i] == '\r' && (i + 1 >= text.size() || text[i + 1] != '\n'))) ++line;
    throw Failure("Line " + std::to_string(line) + (what ? std::string(" of the ") + what : std::string()) +
                  " holds a NUL byte (U+0000), which would cut the line short; remove it and try again");
}

void LineList::move(long long from, long long to) {
    check(from);
    check(to);
    if (from == to) return;
    std::string line = std::move(lines_[static_cast<std::size_t>(from)]);
    lines_.erase(lines_.begin() + from);
    lines_.insert(lines_.begin() + to, std::move(line));
}

LineList SplitLines(std::string_view text) {
    LineList list;
    ForEachLine(text, [&](std::string_view line) { list.append(std::string(line)); });
    return list;
}

std::string JoinLines(const std::vector<std::string>& lines) {
    std::size_t total = 0;
    for (const auto& l : lines) total += l.size() + 2;
    std::string out;
    out.reserve(total);
    for (const auto& l : lines) {
        out += l;
        out += "\r\n";
    }
    return out;
}

std::string JoinLines(const LineList& list) { return JoinLines(list.lines()); }

std::string_view TrimWhiteSpace(std::string_view s) {
    auto white = [](char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\v' || c == '\f'; };
    while (!s.empty() && white(s.front())) s.remove_prefix(1);
    while (!s.empty() && white(s.back())) s.remove_suffix(1);
    return s;
}

std::string_view TrimControlAndSpace(std::string_view s) {
    std::size_t b = 0, e = s.size();
    while (b < e && IsBlank(static_cast<unsigned char>(s[b]))) ++b;
    while (e > b && IsBlank(static_cast<unsigned char>(s[e - 1]))) --e;
    return s.substr(b, e - b);
}

std::string TrimText(std::string_view text) { return std::string(TrimControlAndSpace(text)); }

namespace {
template <typename Lines, typename Pick>
std::string JoinTrimmedOf(const Lines& lines, std::size_t count, Pick&& pick) {
    std::size_t total = 0;
    for (std::size_t i = 0; i < count; ++i) total += pick(i).size() + 2;
    std::string out;
    out.reserve(total);
    for (std::size_t i = 0; i < count; ++i) {
        out += pick(i);
        out += "\r\n";
    }
    TrimInPlace(out);
    (void)lines;
    return out;
}
}  // namespace

std::string JoinTrimmed(const std::vector<std::string_view>& lines) {
    return JoinTrimmedOf(lines, lines.size(), [&](std::size_t i) { return lines[i]; });
}
std::string JoinTrimmed(const std::vector<std::string>& lines) {
    return JoinTrimmedOf(lines, lines.size(), [&](std::size_t i) { return std::string_view(lines[i]); });
}
std::string JoinTrimmed(const TextLines& lines) {
    return JoinTrimmedOf(lines, lines.size(), [&](std::size_t i) { return lines[i]; });
}
std::string JoinTrimmed(const std::vector<std::string_view>& lines, const std::vector<std::uint32_t>& order) {
    return JoinTrimmedOf(lines, order.size(), [&](std::size_t i) { return lines[order[i]]; });
}

void TrimInPlace(std::string& text) {
    std::size_t b = 0, e = text.size();
    while (b < e && IsBlank(static_cast<unsigned char>(text[b]))) ++b;
    while (e > b && IsBlank(static_cast<unsigned char>(text[e - 1]))) --e;
    text.resize(e);
    text.erase(0, b);
}

std::string TrimRightText(std::string_view text) {
    std::size_t e = text.size();
    while (e > 0 && IsBlank(static_cast<unsigned char>(text[e - 1]))) --e;
    return std::string(text.substr(0, e));
}

namespace {

// Tokenizer shared by SplitTokens and SplitBySpace. Calls emit(token) per token
// and stops early when emit returns false. A token is a view into the line
// unless it was quoted; either way it lives until emit returns.
template <typename Emit>
void Tokenize(std::string_view line, char delimiter, Emit&& emit) {
    line = UpToNul(line);
    const std::size_t n = line.size();
    auto at = [&](std::size_t i) -> unsigned char { return i < n ? static_cast<unsigned char>(line[i]) : 0; };
    auto width = [&](std::size_t i) { return CharWidth(line, i); };
    std::size_t i = 0;
    auto skipWhite = [&] {
        while (i < n && at(i) >= 0x01 && at(i) <= 0x20) ++i;
    };
    skipWhite();
    std::string quoted;
    while (i < n) {
        std::string_view token;
        if (at(i) == '"') {
            quoted.clear();
            ++i;
            for (;;) {
                if (i >= n) break;  // no closing quote: the rest is the token
                if (at(i) == '"') {
                    if (at(i + 1) == '"') {
                        quoted += '"';
                        i += 2;
                        continue;
                    }
                    ++i;  // closing quote
                    break;
                }
                std::size_t w = width(i);
                quoted.append(line.substr(i, w));
                i += w;
            }
            token = quoted;
        } else {
            std::size_t start = i;
            while (i < n && at(i) > 0x20 && at(i) != static_cast<unsigned char>(delimiter)) i += width(i);
            if (i > n) i = n;
            token = line.substr(start, i - start);
        }
        if (!emit(token)) return;
        skipWhite();
        if (i < n && at(i) == static_cast<unsigned char>(delimiter)) {
            if (i + 1 >= n) {
                if (!emit(line.substr(i + 1, 0))) return;
            }
            ++i;
            skipWhite();
        }
    }
}

}  // namespace

LineList SplitTokens(std::string_view line) {
    LineList list;
    Tokenize(line, ',', [&](std::string_view t) {
        list.append(std::string(t));
        return true;
    });
    return list;
}

LineList SplitBySpace(std::string_view line) {
    LineList list;
    Tokenize(line, ' ', [&](std::string_view t) {
        list.append(std::string(t));
        return true;
    });
    return list;
}

void ForEachToken(std::string_view line, const std::function<void(std::string&&)>& emit) {
    Tokenize(line, ',', [&](std::string_view t) {
        emit(std::string(t));
        return true;
    });
}

bool FirstToken(std::string_view line, std::string& token) {
    bool found = false;
    Tokenize(line, ',', [&](std::string_view t) {
        token.assign(t);
        found = true;
        return false;
    });
    return found;
}

bool NthToken(std::string_view line, std::size_t n, std::string& token) {
    bool found = false;
    std::size_t k = 0;
    Tokenize(line, ',', [&](std::string_view t) {
        if (k++ < n) return true;
        token.assign(t);
        found = true;
        return false;
    });
    return found;
}

std::size_t CountTokens(std::string_view line, std::size_t limit) {
    std::size_t count = 0;
    if (limit == 0) return 0;
    Tokenize(line, ',', [&](std::string_view) { return ++count < limit; });
    return count;
}

std::string AbbreviatedText(std::string_view text, std::size_t maxChars) {
    std::size_t chars = 0, cut = 0;
    for (std::size_t i = 0; i < text.size(); i += CharWidth(text, i)) {
        if (chars == maxChars) cut = i;
        ++chars;
    }
    if (chars <= maxChars) return std::string(text);
    // "…" in GBK and GB18030.
    return std::string(text.substr(0, cut)) + "\xA1\xAD (" + std::to_string(chars) + " characters)";
}

void AppendToken(std::string& out, std::string_view word) {
    // A quote, comma or blank after a lead byte is part of that character: it
    // is neither a reason to quote nor doubled.
    std::size_t i = 0, w = 1;
    bool plain = !word.empty();
    for (; i < word.size() && plain; i += w) {
        w = CharWidth(word, i);
        const auto c = static_cast<unsigned char>(word[i]);
        plain = w > 1 || !(c <= 0x20 || c == ',' || c == '"');
    }
    if (plain) {
        out += word;
    } else {
        out += '"';
        for (i = 0; i < word.size(); i += w) {
            w = CharWidth(word, i);
            if (word[i] == '"') out += '"';
            out.append(word, i, w);
        }
        out += '"';
    }
}

bool EndsInLoneLeadByte(std::string_view text) {
    std::size_t i = 0, w = 0;
    for (; i < text.size(); i += w) w = CharWidth(text, i);
    return w == 1 && IsLeadByte(static_cast<unsigned char>(text.back()));
}

std::string QuotedToken(std::string_view word) {
    std::string t;
    AppendToken(t, word);
    return t;
}

namespace {

template <typename Tokens>
void AppendJoinedBySpace(std::string& out, const Tokens& tokens) {
    if (tokens.size() == 1 && tokens[0].empty()) {
        out += "\"\"";
        return;
    }
    const std::size_t start = out.size();
    for (const auto& token : tokens) {
        // Walk by characters to see whether the token needs quotes.
        bool quote = false;
        std::string_view l = UpToNul(token);
        for (std::size_t i = 0; i < l.size();) {
            unsigned char c = static_cast<unsigned char>(l[i]);
            if ((c >= 0x01 && c <= 0x20) || c == '"') {
                quote = true;
                break;
            }
            i += CharWidth(l, i);
        }
        if (quote) {
            out += '"';
            for (std::size_t i = 0; i < l.size();) {
                const std::size_t w = CharWidth(l, i);
                if (l[i] == '"') out += '"';
                out.append(l.substr(i, w));
                i += w;
            }
            out += '"';
        } else {
            out += token;
        }
        out += ' ';
    }
    if (out.size() > start) out.pop_back();
}

}  // namespace

std::string JoinBySpace(const LineList& list) {
    std::string out;
    AppendJoinedBySpace(out, list.lines());
    return out;
}

void AppendJoinedBySpace(std::string& out, const std::vector<std::string_view>& tokens) {
    AppendJoinedBySpace<std::vector<std::string_view>>(out, tokens);
}

namespace {

bool SplitInto(std::string_view line, char delimiter, std::vector<std::string_view>& tokens) {
    tokens.clear();
    // Without a quote every token is the line's own bytes.
    if (UpToNul(line).find('"') != std::string_view::npos) return false;
    Tokenize(line, delimiter, [&](std::string_view t) {
        tokens.push_back(t);
        return true;
    });
    return true;
}

}  // namespace

bool SplitTokensInto(std::string_view line, std::vector<std::string_view>& tokens) {
    return SplitInto(line, ',', tokens);
}

bool SplitBySpaceInto(std::string_view line, std::vector<std::string_view>& tokens) {
    return SplitInto(line, ' ', tokens);
}

void UpperTextInPlace(std::string& text) {
    const std::size_t n = text.size();
    for (std::size_t i = 0; i < n;) {
        const std::size_t w = CharWidth(text, i);
        unsigned char c = static_cast<unsigned char>(text[i]);
        if (w == 1 && c >= 'a' && c <= 'z') text[i] = static_cast<char>(c - 'a' + 'A');
        i += w;
    }
}

std::string UpperText(std::string_view text) {
    std::string s(text);
    UpperTextInPlace(s);
    return s;
}

std::size_t PositionOf(std::string_view needle, std::string_view text) {
    needle = UpToNul(needle);
    text = UpToNul(text);
    if (needle.empty() || text.empty()) return 0;
    // Walk once by pairs (PairWidth); a candidate start is checked only where a pair begins.
    const std::size_t n = text.size();
    for (std::size_t i = 0; i < n;) {
        if (text.compare(i, needle.size(), needle) == 0 && i + needle.size() <= n) return i + 1;
        i += PairWidth(text, i);
    }
    return 0;
}

bool ContainsIgnoringCase(std::string_view text, std::string_view needle) {
    return PositionOf(UpperText(needle), UpperText(text)) > 0;
}

}  // namespace zelmora

namespace zelmora {

std::string NormalizeLineBreaks(std::string_view text) {
    std::string out;
    out.reserve(text.size() + text.size() / 16);
    const std::size_t n = text.size();
    for (std::size_t i = 0; i < n; ++i) {
        char c = text[i];
        if (c == '\r') {
            out += "\r\n";
            if (i + 1 < n && text[i + 1] == '\n') ++i;
        } else if (c == '\n') {
            out += "\r\n";
        } else {
            out += c;
        }
    }
    return out;
}

std::size_t LineStartAfter(std::string_view text, std::size_t from) {
    const std::size_t lf = text.find('\n', from);
    return lf == std::string_view::npos ? lf : lf + 1;
}

std::size_t CountPaneLines(std::string_view text) {
    if (text.empty()) return 0;
    // A break is a LF, or a CR not followed by a LF: counted without a branch,
    // which the compiler makes a vector loop of. A break that ends the text
    // starts no line, so the last byte is left out.
    const std::size_t n = text.size();
    const auto* p = reinterpret_cast<const unsigned char*>(text.data());
    std::size_t breaks = 0;
    for (std::size_t i = 0; i + 1 < n; ++i)
        breaks +=
            static_cast<std::size_t>(p[i] == '\n') + static_cast<std::size_t>((p[i] == '\r') & (p[i + 1] != '\n'));
    return breaks + 1;
}

}  // namespace zelmora
