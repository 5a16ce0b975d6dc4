// Which format a table is: recognised from the first lines that show one,
// or checked against the one given.
#include <algorithm>
#include <optional>
#include <string>

#include "core/text.h"
#include "core/failure.h"
#include "formats/document.h"
#include "formats/encoding_internal.h"
#include "formats/lines.h"
#include "formats/ms_phrase.h"
#include "formats/reading.h"

namespace zelmora::formats {

namespace {

// "key=" with a lowercase ASCII key, as yong's header lines are.
bool IsYongSetting(std::string_view t) {
    std::size_t i = 0;
    while (i < t.size() && ((t[i] >= 'a' && t[i] <= 'z') || (t[i] >= '0' && t[i] <= '9') || t[i] == '_')) ++i;
    return i > 0 && i < t.size() && t[i] == '=' && t[0] >= 'a' && t[0] <= 'z';
}

// "key:" at the start of a line, as Rime's YAML header lines are.
bool IsYamlKey(std::string_view t) {
    std::size_t i = 0;
    while (i < t.size() && ((t[i] >= 'a' && t[i] <= 'z') || t[i] == '_')) ++i;
    return i > 0 && i < t.size() && t[i] == ':' && (i + 1 == t.size() || t[i + 1] == ' ');
}

std::string OptionName(Format format) {
    switch (format) {
        case Format::Rime:
            return "rime";
        case Format::Ibus:
            return "ibus";
        default:
            return FormatName(format);
    }
}

// "a Rime table", "an ibus-table table".
std::string WithArticle(const char* name) {
    const char c = name[0];
    const bool vowel = c == 'a' || c == 'e' || c == 'i' || c == 'o' || c == 'u';
    return std::string(vowel ? "an " : "a ") + name;
}

}  // namespace

std::optional<Format> FormatShownBy(std::string_view raw) {
    std::string_view t = TrimWhiteSpace(raw);
    if (t.empty() || t[0] == '#') return std::nullopt;
    // fcitx4's own dump begins ";fcitx Version 0x03 Table file"; other ';'
    // lines are its comments and decide nothing.
    if (t[0] == ';') return StartsWith(t, ";fcitx") ? std::optional<Format>(Format::Fcitx4) : std::nullopt;
    if (t == "SCIM_Generic_Table_Phrase_Library_TEXT" || t == "VERSION_1_0") return Format::Ibus;
    // A YAML document's start (it may carry a comment or the document
    // itself), a directive before it, or a top-level key.
    if (IsYamlDocumentStart(t) || StartsWith(t, "%YAML ") || (raw.size() == t.size() && IsYamlKey(t)))
        return Format::Rime;
    if (t == "BEGIN_DEFINITION" || t == "BEGIN_TABLE" || StartsWith(t, "SCM_VERSION")) return Format::Ibus;
    if (std::optional<Format> f = LibimeHeaderShown(t)) return f;
    // Before yong's settings: "aa=1,工" is no setting.
    if (ShowsPhrase(Format::BaiduPhrase, t)) return Format::BaiduPhrase;
    if (IsYongSetting(t) || EqualsIgnoringCase(t, "[DATA]")) return Format::Yong;
    if (ShowsPhrase(Format::SogouPhrase, t)) return Format::SogouPhrase;
    if (IsBinglingTableLine(t)) return Format::Bingling;
    if (NeutralBinglingKey(t)) return std::nullopt;
    if (ShowsDuoduo(t)) return Format::Duoduo;
    return Format::Plain;
}

bool IsYamlDocumentStart(std::string_view line) {
    return StartsWith(line, "---") && (line.size() == 3 || IsSpaceOrTab(line[3]));
}

Detection Detect(const TableDocument& doc) {
    const std::size_t limit = std::min<std::size_t>(doc.lines.size(), kDetectionLines);
    for (std::size_t i = 0; i < limit; ++i)
        if (std::optional<Format> f = FormatShownBy(doc.lineText(i))) return {*f, i};
    return {};
}

std::string ShownFormatNote(Format given, Format shown, std::size_t line, std::string_view text) {
    if (shown == Format::Plain || shown == given) return {};
    // libime and fcitx4 read each other's keywords, as their engines do.
    const bool libimeLike =
        (shown == Format::Libime || shown == Format::Fcitx4) && (given == Format::Libime || given == Format::Fcitx4);
    if (libimeLike) return {};
    return " (line " + std::to_string(line) + ", \"" + Utf8Shown(TrimWhiteSpace(text)) +
           "\", looks like the header of " + WithArticle(FormatName(shown)) + " table: --format " + OptionName(shown) +
           " or --format auto reads it so)";
}

Format FormatShownByBytes(std::string_view bytes) {
    // A binary file, told by its first bytes before any text is looked for.
    if (IsMsPhrase(bytes)) return Format::MsPhrase;
    std::size_t i = 0;
    for (std::size_t line = 0; line < kDetectionLines && i < bytes.size(); ++line) {
        std::size_t end = bytes.find_first_of("\r\n", i);
        if (end == std::string_view::npos) end = bytes.size();
        if (std::optional<Format> f = FormatShownBy(bytes.substr(i, end - i))) return *f;
        i = end + 1;
        if (end + 1 < bytes.size() && bytes[end] == '\r' && bytes[end + 1] == '\n') ++i;
    }
    return Format::Plain;
}

bool ReadsAsPlainGbk(std::string_view bytes) {
    if (FormatShownByBytes(bytes) != Format::Plain) return false;
    // ASCII reads the same either way.
    const bool ascii =
        std::all_of(bytes.begin(), bytes.end(), [](char c) { return static_cast<unsigned char>(c) < 0x80; });
    if (ascii && !Utf16ByZeros(bytes)) return true;
    // The one recognition every reader takes.
    const Recognition r = RecognizeEncoding(bytes);
    return r.encoding == Encoding::Gb18030 && !r.hadBom;
}

Format ParseFormat(std::string_view name) {
    if (name == "auto") return Format::Auto;
    if (name == "plain") return Format::Plain;
    if (name == "rime") return Format::Rime;
    if (name == "libime" || name == "fcitx5") return Format::Libime;
    if (name == "fcitx4") return Format::Fcitx4;
    if (name == "ibus") return Format::Ibus;
    if (name == "yong") return Format::Yong;
    if (name == "duoduo") return Format::Duoduo;
    if (name == "bingling") return Format::Bingling;
    if (name == "jidian") return Format::Jidian;
    if (name == "sogou-phrase") return Format::SogouPhrase;
    if (name == "baidu-phrase") return Format::BaiduPhrase;
    if (name == "jisu") return Format::Jisu;
    if (name == "ms-phrase") return Format::MsPhrase;
    throw Failure("Unknown format \"" + std::string(name) +
                  "\" (known: auto, plain, rime, libime, fcitx4, ibus, yong, duoduo, bingling, jidian, sogou-phrase, "
                  "baidu-phrase, jisu, ms-phrase)");
}

Format ReadingFormat(Format format) {
    if (format == Format::Jidian) return Format::Plain;
    if (format == Format::Jisu)
        throw Failure("jisu tables are written only: a typing simulator's table is no code table to read");
    return format;
}

bool HasPositions(Format format) {
    return format == Format::SogouPhrase || format == Format::BaiduPhrase || format == Format::Jisu;
}

const char* FormatName(Format format) {
    switch (format) {
        case Format::Auto:
            return "auto";
        case Format::Plain:
            return "plain";
        case Format::Rime:
            return "Rime";
        case Format::Libime:
            return "libime";
        case Format::Fcitx4:
            return "fcitx4";
        case Format::Ibus:
            return "ibus-table";
        case Format::Yong:
            return "yong";
        case Format::Duoduo:
            return "duoduo";
        case Format::Bingling:
            return "bingling";
        case Format::Jidian:
            return "jidian";
        case Format::SogouPhrase:
            return "sogou-phrase";
        case Format::BaiduPhrase:
            return "baidu-phrase";
        case Format::Jisu:
            return "jisu";
        case Format::MsPhrase:
            return "ms-phrase";
    }
    return "?";
}

}  // namespace zelmora::formats
