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

namespace zelmora::formats {

// The format the first lines of a file show: the first line that is neither
// blank nor a '#' comment decides (nullopt: this line decides nothing).
// Only the first kDetectionLines lines are looked at; without a deciding
// line the table is plain.
inline constexpr std::size_t kDetectionLines = 400;
std::optional<Format> FormatShownBy(std::string_view line);
// The format the first lines of bytes in an ASCII-compatible encoding show
// (a Windows phrase file, binary, by its first bytes).
Format FormatShownByBytes(std::string_view bytes);
// Whether a line starts a YAML document: "---" alone or before a blank.
bool IsYamlDocumentStart(std::string_view line);
// A given format is read as given, whatever the first lines show. When it
// fails, this note tells which line (1-based) showed another format and how
// to read the table as that; empty when the line shows the given format or
// plain.
std::string ShownFormatNote(Format given, Format shown, std::size_t line, std::string_view text);

// The entries a line of a data section gives, as the reader reads them;
// false when the line is no code-word line of that format.
bool ParseEntryLine(Format format, const TableLayout& layout, std::string_view line, std::vector<TableEntry>& out);

// A Rime data line's columns as views into it, empty where the layout gives
// none or the line has none: what ParseRimeLine makes its entry of.
struct RimeColumns {
    std::string_view text, code, weight, stem;
};

// Reads a table's lines one after another, knowing its format: what each
// line is, the entries of data lines, and the layout the header gives.
class LineReader {
public:
    // `shownNote` (ShownFormatNote) goes with a failure of finish().
    explicit LineReader(Format format, std::string shownNote = {});
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
    // The candidate position the last Entry line gave (sogou and baidu).
    std::uint32_t position() const { return position_; }
    // Rime past its header (the layout final): the next line as read() reads
    // it, with its columns in place of its entries, and no problem looked for.
    bool rimeData() const { return format_ == Format::Rime && rime_.phase == RimeState::Phase::Data; }
    TableLine::Kind readRimeColumns(std::string_view text, RimeColumns& columns);

private:
    // Each format's reading, in its own file (plain.cpp, rime.cpp, …).
    TableLine::Kind readPlain(std::string_view text, std::vector<TableEntry>& entries, std::string& problem);
    TableLine::Kind readRime(std::string_view text, std::vector<TableEntry>& entries, std::string& problem);
    // A Rime data line's kind as far as it tells without its columns: Blank,
    // Comment, or Entry for a line to read as data.
    TableLine::Kind rimeLineKind(std::string_view text);
    void finishRime() const;
    TableLine::Kind readLibime(std::string_view text, std::vector<TableEntry>& entries, std::string& problem);
    void readEngineSetting(std::string_view text);
    void finishLibime() const;
    TableLine::Kind readIbus(std::string_view text, std::vector<TableEntry>& entries, std::string& problem);
    void finishIbus() const;
    TableLine::Kind readYong(std::string_view text, std::vector<TableEntry>& entries, std::string& problem);
    void finishYong() const;
    TableLine::Kind readDuoduo(std::string_view text, std::vector<TableEntry>& entries, std::string& problem);
    TableLine::Kind readBingling(std::string_view text, std::vector<TableEntry>& entries, std::string& problem);
    void finishBingling() const;
    TableLine::Kind readPhrase(std::string_view text, std::vector<TableEntry>& entries, std::string& problem);
    // A data line: Entry with its entries, or Malformed with the problem.
    TableLine::Kind data(std::string_view text, std::vector<TableEntry>& entries, std::string& problem);

    // Where each format's reader is in the file, and what its header said so far.
    struct RimeState {
        // A YAML header ended by "...", then data lines.
        enum class Phase : std::uint8_t { Header, Data } phase = Phase::Header;
        std::size_t start = SIZE_MAX;  // the first "---" line
        bool comments = true;          // whether '#' lines are comments
        // The header's lines so far, each ended by "\n", parsed as YAML
        // when its end line comes; dropped once longer than a header can be.
        std::string header;
        bool headerTooLong = false;
    };
    struct LibimeState {
        // Settings, then [Rule], [Data] and [Phrase] (or their Chinese names).
        enum class Phase : std::uint8_t { Config, Rule, Data, Phrase } phase = Phase::Config;
    };
    struct IbusState {
        // Definitions and what else stands outside a table, or a table's lines
        // between BEGIN_TABLE and END_TABLE.
        enum class Phase : std::uint8_t { Outside, Table } phase = Phase::Outside;
        bool inRules = false;        // within BEGIN_RULES
        bool sawTable = false;       // whether a table was begun
        std::size_t tableStart = 0;  // where the open one began
    };
    struct YongState {
        // Settings, then [DATA].
        enum class Phase : std::uint8_t { Settings, Data } phase = Phase::Settings;
    };

    struct BinglingState {
        // Keys, then [CODETABLE].
        enum class Phase : std::uint8_t { Keys, Data } phase = Phase::Keys;
    };

    Format format_;
    std::string shownNote_;
    TableLayout layout_;
    std::size_t index_ = 0;  // of the line being read, 0-based
    RimeState rime_;
    LibimeState libime_;
    IbusState ibus_;
    YongState yong_;
    BinglingState bingling_;
    std::uint32_t position_ = 0;
};

// The format a document's first lines show (Plain when none does) and the
// line that shows it, 0-based.
struct Detection {
    Format format = Format::Plain;
    std::size_t line = 0;
};
Detection Detect(const TableDocument& doc);

// ---- Each format's own, for the above ----

// The entries of a data line, as ParseEntryLine gives them (`out` empty).
bool ParsePlainLine(std::string_view line, std::vector<TableEntry>& out);
bool ParseRimeLine(const TableLayout& layout, std::string_view line, std::vector<TableEntry>& out);
// A Rime data line's columns, as SplitRimeLine gives them. False
// when there is no text or no code.
bool SplitRimeLine(const TableLayout& layout, std::string_view line, RimeColumns& out);
bool ParseLibimeLine(Format format, std::string_view line, std::vector<TableEntry>& out);  // libime or fcitx4
bool ParseIbusLine(std::string_view line, std::vector<TableEntry>& out);
bool ParseYongLine(std::string_view line, std::vector<TableEntry>& out);
bool ParseDuoduoLine(std::string_view line, std::vector<TableEntry>& out);
bool ParseBinglingLine(std::string_view line, std::vector<TableEntry>& out);
// sogou or baidu; `position`, when given, gets the line's candidate position.
bool ParsePhraseLine(Format format, std::string_view line, std::vector<TableEntry>& out,
                     std::uint32_t* position = nullptr);

// Whether a (trimmed) line shows the format: duoduo's "word<TAB>code",
// bingling's "[CODETABLE]", sogou's "code,1=word", baidu's "code=1,word".
// Lines before bingling's [CODETABLE] ("Key=value", "[Section]") decide
// nothing: NeutralBinglingKey.
bool ShowsDuoduo(std::string_view t);
bool ShowsPhrase(Format format, std::string_view t);
bool IsBinglingTableLine(std::string_view t);
bool NeutralBinglingKey(std::string_view t);

// Libime or Fcitx4 for a (trimmed) line that begins with a keyword of their
// headers (English or Chinese); nullopt for other lines.
std::optional<Format> LibimeHeaderShown(std::string_view t);

// Splits at every tab.
void SplitTabs(std::string_view line, std::vector<std::string_view>& fields);
// Equal but for the case of ASCII letters.
bool EqualsIgnoringCase(std::string_view a, std::string_view b);

}  // namespace zelmora::formats
