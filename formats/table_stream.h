#pragma once
// Converting and checking table files block by block, so that memory stays
// flat however large the file: the input is read in blocks, decoded as it
// comes, read line by line, and the output is encoded and handed on in
// pieces. The results are those of the whole-file functions (ReadTable,
// WriteTable, CheckTable) byte for byte, and so are the failures: when
// several things are wrong, the one reported is the one reading the whole
// file meets first.
#include <cstddef>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "formats/checking.h"
#include "formats/document.h"
#include "formats/encoding.h"
#include "formats/writing.h"

namespace zelmora::formats {

// Where a streamed table comes from: read front to back, perhaps several times.
class ByteSource {
public:
    virtual ~ByteSource() = default;
    // Up to `size` bytes into `buffer`; 0 at the end. Fails (Failure) on a read error.
    virtual std::size_t read(char* buffer, std::size_t size) = 0;
    // Back to the first byte.
    virtual void rewind() = 0;
};

// Where streamed output goes. Fails (Failure) on a write error.
class ByteSink {
public:
    virtual ~ByteSink() = default;
    virtual void write(std::string_view bytes) = 0;
};

// Bytes in memory as a source.
class MemorySource final : public ByteSource {
public:
    explicit MemorySource(std::string_view bytes) : bytes_(bytes) {}
    std::size_t read(char* buffer, std::size_t size) override;
    void rewind() override { at_ = 0; }

private:
    std::string_view bytes_;
    std::size_t at_ = 0;
};

// What the input turned out to be, known before the first line is written.
struct InputFacts {
    Encoding encoding = Encoding::Gb18030;
    bool hadBom = false;
    Format format = Format::Plain;
    bool encodingCloseCall = false;  // as DecodedText::closeCall
};

struct StreamSettings {
    std::size_t blockSize = std::size_t(1) << 20;  // bytes read at a time
    std::size_t pieceSize = std::size_t(1) << 18;  // bytes of text encoded at a time
    // A plain line of at least `partedLine` bytes is read `partEntries`
    // entries at a time, so that one enormous line never holds all its
    // entries at once.
    std::size_t partedLine = std::size_t(1) << 20;
    std::size_t partEntries = std::size_t(1) << 16;
    // Told as each pass over the input begins ("checking the encoding",
    // "surveying the table", "converting", "checking").
    std::function<void(const char*)> onPass;
};

struct StreamConversion {
    // False when the conversion needs the whole table in memory (see
    // ConvertTableStream); nothing was written then.
    bool streamed = false;
    std::size_t droppedLines = 0;  // as WriteTable counts them
    WriteOptions write;            // the options `resolve` gave
    // Most entries held at once: a code's entries, or a part of them where a
    // run is written in pieces (one per line and not ordered by weight:
    // Rime, libime, fcitx4, and ibus when the run has no weights).
    std::size_t entriesAtOnce = 0;
};

// Converts the table of `in` into `out`: the bytes of
//   WriteTable(ReadTable(bytes, encoding, format), resolve(facts), &dropped)
// with WriteTable's text encoding taken from the input. `resolve` turns what
// the input is into the output options (it may fail; that failure counts
// where it would when reading the whole file first).
//
// Passes over the input: with Encoding::Auto and no byte-order mark, one to
// tell UTF-8 from GB18030. Into the same format, one pass that writes. Into
// another format, one pass that surveys (the key characters and longest code
// of the fresh header, whether the codes come in order, for ibus the size of
// each code's run) and one that writes.
//
// Tables are written into another format in candidate order, each code's
// entries together. This streams when each code's
// entries stand together in the file, which is certain when the codes come in
// ascending order, by bytes or by length and then bytes: candidates are then
// ordered within each code alone (Rime "sort: by_weight"). Otherwise
// `streamed` is false and nothing was written: read the whole table.
//
// On a failure, `out` may have been given part of the output: write it to a
// temporary file that is dropped on failure.
StreamConversion ConvertTableStream(ByteSource& in, ByteSink& out, Encoding encoding, Format format,
                                    const std::function<WriteOptions(const InputFacts&)>& resolve,
                                    const StreamSettings& settings = {});

// Reads the table of `in` line by line, as ReadTable reads it, handing each
// data line's entries to `onEntries` (with the line's number from 1) in file
// order: candidates are not put in weight order. A line of very many entries
// comes in parts, each with the line's number. Memory stays flat. Fails as
// ReadTable would, after the entries read before the failure were handed on.
InputFacts ReadEntriesStream(ByteSource& in, Encoding encoding, Format format,
                             const std::function<void(std::size_t, const std::vector<TableEntry>&)>& onEntries,
                             const StreamSettings& settings = {});

// Takes the findings of a streamed check as they are made.
class ProblemSink {
public:
    virtual ~ProblemSink() = default;
    virtual void report(const TableProblem& problem) = 0;
    // Forget every finding: the check starts over.
    virtual void restart() = 0;
};

struct StreamCheck {
    InputFacts input;
    std::size_t entries = 0;
    std::size_t problems = 0;
    std::size_t entriesAtOnce = 0;  // the most entries held at one time (a line's or a part's)
};

// CheckTable(ReadTable(bytes, encoding, format)), finding by finding, in the
// same order. Memory stays flat when the codes come in ascending order (by
// bytes, or by length and then bytes): a word met twice under one code is
// then looked for among that code's entries alone. When they don't, the check
// starts over (ProblemSink::restart) and keeps every code-word pair. Fails as
// ReadTable would; findings reported before a failure are void. `more`, when
// given, checks each line after the check's own findings, as CheckTable runs
// it; one that surveys the table first costs a pass of its own ("surveying
// the table").
StreamCheck CheckTableStream(ByteSource& in, ProblemSink& sink, Encoding encoding, Format format,
                             const StreamSettings& settings = {}, EntryCheck* more = nullptr);

}  // namespace zelmora::formats
