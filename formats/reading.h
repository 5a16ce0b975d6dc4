#pragma once
// Internal to formats/ (and its tests): reading a table line by line, which
// the whole-file reader and the streamed passes share, so that both
// recognise the format and read every line the same way.
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "formats/document.h"
#include "formats/phrase_rules.h"

namespace zelmora::formats {

// The format the first lines of a file show: the first line that is neither
// blank nor a '#' comment decides (nullopt: this line decides nothing).
// Only the first kDetectionLines lines are looked at; without a deciding
// line the table is plain.
inline constexpr std::size_t kDetectionLines = 400;
std::optional<Format> FormatShownBy(std::string_view line);
// Fails when the given format is not the one the header shows (line: 1-based).
void CheckGivenFormat(Format given, Format shown, std::size_t line, std::string_view text);
// Fails when a line (numbered from 1) holds a NUL byte.
void RefuseNulLine(std::string_view text, std::size_t line);

// The entries a line of a data section gives, as the reader reads them;
// false when the line is no code-word line of that format.
bool ParseEntryLine(Format format, const TableLayout& layout, std::string_view line, std::vector<TableEntry>& out);

// Reads a table's lines one after another, knowing its format: what each
// line is, the entries of data lines, and the layout the header gives.
class LineReader {
public:
    explicit LineReader(Format format);
    // The kind of the next line. Fills `entries` for an Entry line and sets
    // `problem` (UTF-8) to what is wrong with the line, empty when nothing.
    TableLine::Kind read(std::string_view text, std::vector<TableEntry>& entries, std::string& problem);
    // After the last line: fails when the file ended before the header or
    // the data section the format needs.
    void finish();
    // Final once the first data line has been read.
    const TableLayout& layout() const { return layout_; }
    Format format() const { return format_; }
    // A plain Entry line that the caller reads itself, in parts.
    void passOver() { ++index_; }

private:
    TableLine::Kind readRime(std::string_view text, std::vector<TableEntry>& entries, std::string& problem);
    void readRimeHeaderLine(std::string_view text);
    void readEngineSetting(std::string_view text);
    TableLine::Kind readLibime(std::string_view text, std::vector<TableEntry>& entries, std::string& problem);
    TableLine::Kind readIbus(std::string_view text, std::vector<TableEntry>& entries, std::string& problem);
    TableLine::Kind readYong(std::string_view text, std::vector<TableEntry>& entries, std::string& problem);
    TableLine::Kind data(std::string_view text, std::vector<TableEntry>& entries, std::string& problem);

    Format format_;
    TableLayout layout_;
    std::size_t index_ = 0;  // of the line being read, 0-based
    int phase_ = 0;          // where in the file: header, data, ... (per format)
    // Rime: the first "---" line, whether '#' lines are comments, the columns named so far.
    std::size_t rimeStart_ = SIZE_MAX;
    bool comments_ = true, collectingColumns_ = false;
    std::vector<std::string> columns_;
    bool inEncoder_ = false;    // Rime: within the "encoder:" block
    RimeRuleReader rimeRules_;  // Rime: the rules of the encoder block
    bool inRules_ = false;      // ibus: within BEGIN_RULES
    // ibus: whether a table was begun, and where the open one began.
    bool sawTable_ = false;
    std::size_t tableStart_ = 0;
};

}  // namespace zelmora::formats
