// Reading a table line by line: each line goes to its format's reader
// (plain.cpp, rime.cpp, libime.cpp, ibus.cpp, yong.cpp, duoduo.cpp,
// bingling.cpp, phrase.cpp).
#include <string>
#include <utility>
#include <vector>

#include "core/text.h"
#include "core/failure.h"
#include "formats/document.h"
#include "formats/reading.h"

namespace zelmora::formats {

namespace {

using Kind = TableLine::Kind;

const char* MalformedMessage(Format format) {
    switch (format) {
        case Format::Plain:
            return "a code without words";
        case Format::Rime:
            return "no text or no code in the columns the header gives";
        case Format::Libime:
        case Format::Fcitx4:
            return "a key without a word";
        case Format::Ibus:
            return "not code<TAB>phrase<TAB>frequency";
        case Format::Yong:
            return "a code without words";
        case Format::Duoduo:
            return "not word<TAB>code";
        case Format::Bingling:
            return "not code<TAB>word";
        case Format::SogouPhrase:
            return "not code,position=word";
        case Format::BaiduPhrase:
            return "not code=position,word";
        default:
            break;
    }
    return "malformed";
}

}  // namespace

LineReader::LineReader(Format format, std::string shownNote) : format_(format), shownNote_(std::move(shownNote)) {
    // fcitx4's prompt and phrase keys have defaults; libime's have none.
    if (format == Format::Fcitx4) layout_.specialPrefixes = "&^";
    // Rime sorts by weight unless told "sort: original"; ibus-table shows
    // the higher frequency first.
    layout_.byWeight = format == Format::Rime || format == Format::Ibus;
    layout_.byPosition = HasPositions(format);
}

TableLine::Kind LineReader::read(std::string_view text, std::vector<TableEntry>& entries, std::string& problem) {
    problem.clear();
    RefuseNulBytes(text, nullptr, index_ + 1);
    Kind kind = Kind::Header;
    switch (format_) {
        case Format::Plain:
            kind = readPlain(text, entries, problem);
            break;
        case Format::Rime:
            kind = readRime(text, entries, problem);
            break;
        case Format::Libime:
        case Format::Fcitx4:
            kind = readLibime(text, entries, problem);
            break;
        case Format::Ibus:
            kind = readIbus(text, entries, problem);
            break;
        case Format::Yong:
            kind = readYong(text, entries, problem);
            break;
        case Format::Duoduo:
            kind = readDuoduo(text, entries, problem);
            break;
        case Format::Bingling:
            kind = readBingling(text, entries, problem);
            break;
        case Format::SogouPhrase:
        case Format::BaiduPhrase:
            kind = readPhrase(text, entries, problem);
            break;
        default:
            break;
    }
    ++index_;
    return kind;
}

TableLine::Kind LineReader::data(std::string_view text, std::vector<TableEntry>& entries, std::string& problem) {
    if (ParseEntryLine(format_, layout_, text, entries)) return Kind::Entry;
    problem = MalformedMessage(format_);
    return Kind::Malformed;
}

void LineReader::finish() {
    try {
        switch (format_) {
            case Format::Rime:
                finishRime();
                break;
            case Format::Libime:
            case Format::Fcitx4:
                finishLibime();
                break;
            case Format::Ibus:
                finishIbus();
                break;
            case Format::Yong:
                finishYong();
                break;
            case Format::Bingling:
                finishBingling();
                break;
            default:
                break;
        }
    } catch (const Failure& f) {
        if (shownNote_.empty()) throw;
        throw Failure(f.what() + shownNote_);
    }
}

bool ParseEntryLine(Format format, const TableLayout& layout, std::string_view line, std::vector<TableEntry>& out) {
    out.clear();
    switch (format) {
        case Format::Plain:
            return ParsePlainLine(line, out);
        case Format::Rime:
            return ParseRimeLine(layout, line, out);
        case Format::Libime:
        case Format::Fcitx4:
            return ParseLibimeLine(format, line, out);
        case Format::Ibus:
            return ParseIbusLine(line, out);
        case Format::Yong:
            return ParseYongLine(line, out);
        case Format::Duoduo:
            return ParseDuoduoLine(line, out);
        case Format::Bingling:
            return ParseBinglingLine(line, out);
        case Format::SogouPhrase:
        case Format::BaiduPhrase:
            return ParsePhraseLine(format, line, out);
        default:
            break;
    }
    return false;
}

// Splits at every tab.
void SplitTabs(std::string_view line, std::vector<std::string_view>& fields) {
    fields.clear();
    std::size_t start = 0;
    for (;;) {
        std::size_t tab = line.find('\t', start);
        if (tab == std::string_view::npos) {
            fields.push_back(line.substr(start));
            return;
        }
        fields.push_back(line.substr(start, tab - start));
        start = tab + 1;
    }
}

bool EqualsIgnoringCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        char x = a[i], y = b[i];
        if (x >= 'A' && x <= 'Z') x = static_cast<char>(x - 'A' + 'a');
        if (y >= 'A' && y <= 'Z') y = static_cast<char>(y - 'A' + 'a');
        if (x != y) return false;
    }
    return true;
}

}  // namespace zelmora::formats
