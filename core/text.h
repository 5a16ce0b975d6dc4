#pragma once
// Text operations on GBK byte strings. Lengths and positions count bytes.
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "core/line_list.h"
#include "core/text_lines.h"

namespace zelmora {

// True for a GBK lead byte (0x81..0xFE).
inline bool IsLeadByte(unsigned char c) { return c >= 0x81 && c <= 0xFE; }
// White space for trimming and tokenizing (the tokenizer excludes 0x00: it ends the text).
inline bool IsBlank(unsigned char c) { return c <= 0x20; }

// Bytes of the character at `i` of GBK or GB18030 text: 4 for a GB18030
// four-byte character (lead byte, 0x30-0x39, lead byte, 0x30-0x39: every byte
// checked), 2 for a lead byte and the byte after it, whatever that is, and 1
// for anything else (a byte below 0x81, 0xFF, a lead byte that ends the text).
// GBK text is walked so too: it has no four-byte characters, and such bytes
// in it are no character either way.
inline std::size_t CharWidth(std::string_view text, std::size_t i) {
    const auto at = [&](std::size_t k) { return static_cast<unsigned char>(text[k]); };
    if (!IsLeadByte(at(i)) || i + 1 >= text.size()) return 1;
    if (at(i + 1) >= 0x30 && at(i + 1) <= 0x39 && i + 3 < text.size() && IsLeadByte(at(i + 2)) && at(i + 3) >= 0x30 &&
        at(i + 3) <= 0x39)
        return 4;
    return 2;
}

// The window's own walk, code page 936's: a lead byte and the byte after it,
// four-byte characters taken as two such pairs. Searching for a text
// (PositionOf, and so pool membership) tries every pair as a start, inside a
// four-byte character too, as the derivations always have; their results
// rest on it. Anything that splits or quotes tokens may take either walk:
// the second pair of a four-byte character starts with a lead byte, never
// with a blank, comma or quote.
inline std::size_t PairWidth(std::string_view text, std::size_t i) {
    return IsLeadByte(static_cast<unsigned char>(text[i])) && i + 1 < text.size() ? 2 : 1;
}

// The six characters of C's isspace (space, tab, CR, LF, VT, FF) trimmed from
// both ends: the white space of the engines' table lines.
std::string_view TrimWhiteSpace(std::string_view s);
// Every byte up to 0x20 (IsBlank) trimmed from both ends, as TrimText trims
// a pane's text: the blanks of word lists, which the window's rules read.
std::string_view TrimControlAndSpace(std::string_view s);

// The part of a text before its first NUL byte: scanning operations stop there.
std::string_view UpToNul(std::string_view text);
// Fails, naming the line, when `text` holds a NUL byte: the text rules end a
// line there, and what follows would be lost without a word. Lines (ended by
// CR LF, CR or LF) are numbered from `firstLine`; `what` ("table", "word
// list"), when given, names the text in the message.
void RefuseNulBytes(std::string_view text, const char* what = nullptr, std::size_t firstLine = 1);

LineList SplitLines(std::string_view text);
// Calls fn(line) for each line SplitLines would give, without copying.
template <typename Fn>
void ForEachLine(std::string_view text, Fn&& fn) {
    text = UpToNul(text);
    const char* p = text.data();
    const char* end = p + text.size();
    while (p < end) {
        const char* start = p;
        while (p < end && *p != '\r' && *p != '\n') ++p;
        fn(std::string_view(start, static_cast<std::size_t>(p - start)));
        if (p < end && *p == '\r') ++p;
        if (p < end && *p == '\n') ++p;
    }
}
// Where a text can be cut in two parts that each hold whole lines, as
// ForEachLine reads them: just after the first line feed at or beyond `from`;
// npos when there is none.
std::size_t LineStartAfter(std::string_view text, std::size_t from);
std::string JoinLines(const LineList& list);
std::string JoinLines(const std::vector<std::string>& lines);
std::string TrimText(std::string_view text);
// TrimText without a copy.
void TrimInPlace(std::string& text);
// TrimText(JoinLines(lines)) built in one buffer; with `order`, the lines are
// taken in that order.
std::string JoinTrimmed(const std::vector<std::string_view>& lines);
std::string JoinTrimmed(const std::vector<std::string>& lines);
std::string JoinTrimmed(const TextLines& lines);
std::string JoinTrimmed(const std::vector<std::string_view>& lines, const std::vector<std::uint32_t>& order);
std::string TrimRightText(std::string_view text);

// Comma tokenizer: commas and white space separate, double quotes honoured.
LineList SplitTokens(std::string_view line);
// Space tokenizer: runs of white space separate, double quotes honoured.
LineList SplitBySpace(std::string_view line);
// The tokens of SplitTokens one by one, without a list of them all.
void ForEachToken(std::string_view line, const std::function<void(std::string&&)>& emit);
// Token 0 of SplitTokens without building the rest; false when the line has no token.
bool FirstToken(std::string_view line, std::string& token);
// Token n of SplitTokens (0 for the first) without building the rest; false
// when the line has no such token.
bool NthToken(std::string_view line, std::size_t n, std::string& token);
// Number of tokens SplitTokens gives, counting no further than `limit`.
std::size_t CountTokens(std::string_view line, std::size_t limit);

std::string JoinBySpace(const LineList& list);
// JoinBySpace of views, appended to `out`.
void AppendJoinedBySpace(std::string& out, const std::vector<std::string_view>& tokens);
// SplitBySpace's and SplitTokens' tokens as views into `line`, without a
// copy; false, with `tokens` empty, when the line holds a quote (its tokens
// may then differ from its bytes: use SplitBySpace or SplitTokens).
bool SplitBySpaceInto(std::string_view line, std::vector<std::string_view>& tokens);
bool SplitTokensInto(std::string_view line, std::vector<std::string_view>& tokens);

// A text for a message (GBK or GB18030): whole up to `maxChars` characters;
// longer, its first `maxChars` characters, "…" and its length in characters,
// so that a huge line is never echoed whole.
std::string AbbreviatedText(std::string_view text, std::size_t maxChars = 100);

// A word as one token of a group line, as SplitTokens reads it back: quoted
// (a quote inside doubled) when empty or when it holds white space, a comma
// or a quote; as it is otherwise. Walked by characters as the tokenizer walks:
// a byte after a lead byte is part of that character. A word that ends in a
// lone lead byte takes whatever follows its token (the blank before the next
// one, its own closing quote) into that character: it reads back only as the
// last token of a line, unquoted.
std::string QuotedToken(std::string_view word);
// QuotedToken appended to `out`.
void AppendToken(std::string& out, std::string_view word);
// Whether the text's last character, walked by CharWidth, is a lone lead byte.
bool EndsInLoneLeadByte(std::string_view text);

// Upper-cases a-z walking by characters; trail bytes are never changed.
std::string UpperText(std::string_view text);
void UpperTextInPlace(std::string& text);

// 1-based byte position of the first occurrence of needle in text that starts on
// a character boundary, or 0.
std::size_t PositionOf(std::string_view needle, std::string_view text);
bool ContainsIgnoringCase(std::string_view text, std::string_view needle);

}  // namespace zelmora

namespace zelmora {

// Line breaks made CR LF the way a pane load makes them: CR LF stays, a lone CR
// or a lone LF becomes CR LF. Nothing else changes.
std::string NormalizeLineBreaks(std::string_view text);

// Lines of a pane's text: line breaks plus one, not counting a final empty line.
std::size_t CountPaneLines(std::string_view text);

}  // namespace zelmora
