// Writing lines: each format's line writer and fresh header (plain.cpp,
// rime.cpp, libime.cpp, ibus.cpp, yong.cpp, duoduo.cpp, bingling.cpp,
// phrase.cpp) reached by the format, and what
// whole-file and streamed writing share.
#include <algorithm>
#include <cstdlib>
#include <optional>
#include <string>
#include <vector>

#include "core/text.h"
#include "core/failure.h"
#include "formats/document.h"
#include "formats/encoding_internal.h"
#include "formats/lines.h"
#include "formats/ms_phrase.h"
#include "formats/phrase_rules.h"
#include "formats/reading.h"
#include "formats/writing.h"
#include "formats/writing_internal.h"

namespace zelmora::formats {

bool HasAny(std::string_view s, std::string_view bytes) { return s.find_first_of(bytes) != std::string_view::npos; }

[[noreturn]] void CannotWrite(std::string_view what, std::string_view text, const char* why, Format format,
                              std::size_t entry) {
    throw RefusedEntry(std::string(what) + " \"" + Utf8Shown(text) + "\" " + why + ", which a " + FormatName(format) +
                           " table can't hold",
                       entry);
}

std::string InputLineWhere(const WriteOptions& o, std::size_t line) {
    if (line == 0) return {};
    return (o.inputName.empty() ? std::string("Line ") : "\"" + o.inputName + "\", line ") + std::to_string(line) +
           ": ";
}

const std::vector<PhraseRule>& FreshRules(const WriteOptions& o) {
    return o.engine.rules.empty() ? WubiPhraseRules() : o.engine.rules;
}

void HeaderFacts::add(const TableEntry& e) {
    weights = weights || e.weight.has_value();
    const double w = e.weight ? std::strtod(e.weight->c_str(), nullptr) : 0.0;
    if (e.code == lastCode_ && w > lastWeight_) weightsDescend = false;
    if (e.code != lastCode_) lastCode_ = e.code;
    lastWeight_ = w;
    stems = stems || e.stem.has_value();
    std::size_t chars = 0;
    for (std::size_t i = 0; i < e.code.size(); ++chars) {
        std::size_t width = CharWidth(e.code, i);
        auto c = static_cast<unsigned char>(e.code[i]);
        if (width == 1 && c < 128)
            ascii[c] = true;
        else
            others.insert(e.code.substr(i, width));
        i += width;
    }
    maxLength = std::max(maxLength, chars);
}

std::string HeaderFacts::keys() const {
    std::string keys;
    for (int c = 33; c < 127; ++c)
        if (ascii[c]) keys += static_cast<char>(c);
    for (const auto& s : others) keys += s;
    return keys;
}

std::string FreshHeader(const HeaderFacts& facts, const WriteOptions& o, TableLayout& layout) {
    switch (o.format) {
        case Format::Rime:
            return RimeFreshHeader(facts, o, layout);
        case Format::Libime:
        case Format::Fcitx4:
            return LibimeFreshHeader(facts, o, layout);
        case Format::Ibus:
            return IbusFreshHeader(facts, o);
        case Format::Yong:
            return YongFreshHeader(facts, o);
        case Format::Bingling:
            return BinglingFreshHeader();
        default:
            return {};
    }
}

void AppendFreshRun(std::string& out, const TableEntry* run, std::size_t count, const WriteOptions& o,
                    const TableLayout& layout, const std::function<std::size_t(std::size_t)>& lineAt, std::size_t at,
                    std::size_t unweightedLeft, std::size_t positionsBefore) {
    const bool grouped = o.format == Format::Plain || o.format == Format::Yong;
    const std::string_view nl = FreshLineBreak(o.format);
    thread_local std::vector<std::string> frequencies;
    if (o.format == Format::Ibus) IbusFrequencies(run, count, unweightedLeft, frequencies);
    for (std::size_t i = 0; i < count;) {
        std::size_t j = grouped ? count : i + 1;
        try {
            if (HasPositions(o.format)) {
                out += PositionedLine(o.format, run[i], positionsBefore + i + 1);
            } else if (o.format == Format::Ibus && run[i].weight != frequencies[i]) {
                TableEntry one = run[i];
                one.weight = frequencies[i];
                out += CanonicalLine(o.format, layout, &one, 1);
            } else {
                out += CanonicalLine(o.format, layout, run + i, j - i);
            }
        } catch (const RefusedEntry& f) {
            throw Failure(InputLineWhere(o, lineAt ? lineAt(at + i + f.entry()) : 0) + f.what());
        }
        out += nl;
        i = j;
    }
}

// The Windows programs' files end their lines so.
std::string_view FreshLineBreak(Format format) {
    return format == Format::Plain || IsWindowsFormat(format) ? "\r\n" : "\n";
}

std::string_view FreshFooter(Format format) { return format == Format::Ibus ? "END_TABLE\n" : ""; }

std::string CanonicalLine(Format format, const TableLayout& layout, const TableEntry* entries, std::size_t count) {
    if (count == 0) return {};
    switch (format) {
        case Format::Plain:
            return PlainLine(entries, count);
        case Format::Yong:
            return YongLine(entries, count);
        case Format::Rime:
            return RimeLine(layout, entries[0]);
        case Format::Libime:
        case Format::Fcitx4:
            return LibimeLine(format, layout, entries[0]);
        case Format::Ibus:
            return IbusLine(entries[0]);
        case Format::Duoduo:
            return DuoduoLine(entries[0]);
        case Format::Bingling:
            return BinglingLine(entries[0]);
        case Format::SogouPhrase:
        case Format::BaiduPhrase:
        case Format::Jisu:
            // A line by itself: its code's first candidate.
            return PositionedLine(format, entries[0], 1);
        case Format::Jidian:
            return PlainLine(entries, count);
        case Format::MsPhrase:
            return MsPhraseLine(entries[0]);
        case Format::Auto:
            break;
    }
    return {};
}

std::string PositionedLine(Format format, const TableEntry& e, std::size_t position) {
    return format == Format::Jisu ? JisuLine(e, position) : PhraseLine(format, e, position);
}

std::string CanonicalLineTail(Format format, const TableLayout& layout, const TableEntry* entries, std::size_t count) {
    if (count == 0) return {};
    std::string line = CanonicalLine(format, layout, entries, count);
    std::size_t codeLength = entries[0].code.size();  // yong writes the code as it is
    if (format == Format::Plain) {
        std::string token;
        AppendPlainCode(token, entries[0].code);
        codeLength = token.size();
    }
    return line.substr(codeLength);
}

OwnFormatRewrite::OwnFormatRewrite(Format format, Encoding from, Encoding to)
    : format_(format),
      yongRecoded_(format == Format::Yong && (to == Encoding::Utf8) != (from == Encoding::Utf8)),
      intoUtf8_(to == Encoding::Utf8) {}

std::string_view OwnFormatRewrite::opening() const { return yongRecoded_ && intoUtf8_ ? "encode=UTF-8\n" : ""; }

bool OwnFormatRewrite::drops(TableLine::Kind kind, std::string_view text) const {
    return yongRecoded_ && kind == TableLine::Kind::Header && StartsWith(TrimWhiteSpace(text), "encode=");
}

bool OwnFormatRewrite::rewrites(TableLine::Kind kind, std::string_view text) const {
    if (format_ != Format::Plain || kind != TableLine::Kind::Entry) return false;
    const std::optional<Format> shown = FormatShownBy(text);
    return shown && *shown != Format::Plain;
}

void OwnFormatRewrite::appendRewritten(std::string& out, const TableLayout& layout, const TableEntry* entries,
                                       std::size_t count, std::string_view lineBreak, std::string_view text) const {
    if (count == 0) return;
    std::uint32_t position = 0;
    thread_local std::vector<TableEntry> parsed;
    if (HasPositions(format_) && ParsePhraseLine(format_, text, parsed, &position))
        out += PositionedLine(format_, entries[0], position);
    else
        out += CanonicalLine(format_, layout, entries, count);
    out += lineBreak;
}

void CarryEngineSettings(WriteOptions& o, const TableLayout& source) {
    if (o.engine == EngineSettings()) o.engine = source.engine;
}

bool IsEngineFormat(Format format) {
    return format == Format::Rime || format == Format::Libime || format == Format::Fcitx4 || format == Format::Ibus;
}

bool IsWindowsFormat(Format format) {
    return format == Format::Duoduo || format == Format::Bingling || format == Format::Jidian ||
           format == Format::SogouPhrase || format == Format::BaiduPhrase || format == Format::Jisu;
}

void ChooseOutputEncoding(WriteOptions& w, Encoding asked, bool bomAsked, Encoding inputEncoding, bool inputHadBom,
                          Format inputFormat) {
    if (w.format == Format::MsPhrase) {
        // A binary file: its text is UTF-16LE, with no byte-order mark.
        if (asked != Encoding::Auto)
            throw Failure(std::string("--output-encoding ") + EncodingName(asked) +
                          " does not apply to ms-phrase, a binary file whose text is UTF-16LE; leave it out");
        if (bomAsked) throw Failure("--bom does not apply to ms-phrase, a binary file; leave it out");
        w.encoding = Encoding::Utf16le;
        w.bom = false;
        return;
    }
    const bool ownFormat = w.format == inputFormat && w.format != Format::Jidian;
    if (IsWindowsFormat(w.format) && asked == Encoding::Auto && !ownFormat) {
        asked = Encoding::Utf16le;
        bomAsked = true;
    }
    // jidian is plain group lines: it took its encoding, the rest is plain's.
    if (w.format == Format::Jidian) w.format = Format::Plain;
    const bool engine = IsEngineFormat(w.format);
    const bool noBom = w.format == Format::Libime || w.format == Format::Fcitx4;
    if (engine && asked != Encoding::Auto && asked != Encoding::Utf8)
        throw Failure(std::string("The ") + FormatName(w.format) + " engine reads UTF-8 only; " + EncodingName(asked) +
                      " output would not be read (leave out --output-encoding or give utf-8)");
    if (noBom && bomAsked)
        throw Failure(std::string("The ") + FormatName(w.format) +
                      " compiler refuses a byte-order mark; leave out --bom");
    w.encoding = asked != Encoding::Auto ? asked : engine ? Encoding::Utf8 : inputEncoding;
    const bool unicode =
        w.encoding == Encoding::Utf8 || w.encoding == Encoding::Utf16le || w.encoding == Encoding::Utf16be;
    w.bom = bomAsked || (inputHadBom && (unicode || w.encoding == inputEncoding));
    if (w.encoding == Encoding::Gbk || noBom) w.bom = false;
}

}  // namespace zelmora::formats
