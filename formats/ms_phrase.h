#pragma once
// Internal to formats/ (and its tests): the user-defined-phrase file of the
// Windows built-in Chinese input methods (Microsoft Pinyin and Wubi; magic
// "mschxudp"), which they import and export. A binary file, read and written
// whole:
//
//   0x00  8  "mschxudp"
//   header fields, little-endian 32-bit, in one of two orders:
//     Windows 10 1607:  0x08 version (1), 0x0C table, 0x10 start, 0x14 end,
//                       0x18 count, 0x1C 0, 0x20 export time
//     Windows 10 1703 on (and Windows 11): 0x08 0x00600002, 0x0C version (1),
//                       0x10 table, 0x14 start, 0x18 end, 0x1C count,
//                       0x20 export time (Unix seconds)
//   zeros up to the table (0x40)
//   table: `count` 32-bit offsets of the phrases from `start`, ascending
//   start: the phrases, back to back up to `end` (the file's length):
//     32-bit magic: 0x00080008 (1607) or 0x00100010 (1703 on)
//     16-bit offset of the word from the phrase's first byte
//     8-bit candidate position, 8-bit 6
//     1703 on only: 32-bit 0, 32-bit time (seconds since 2000)
//     the code, then the word: UTF-16LE, each ended by a 16-bit NUL
//
// The programs take codes of 1 to 32 letters a-z and words of 1 to 64
// UTF-16 units; their own dialog offers positions 1 to 9, and the byte holds
// up to 255 (a Wubi table has codes with dozens of words). Their own export
// lists the phrases sorted by code; a table is written in its own order (each
// code's phrases together), so that it reads back as it was.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "core/text_encoding.h"
#include "formats/document.h"
#include "formats/writing.h"

namespace zelmora::formats {

inline constexpr std::string_view kMsPhraseMagic = "mschxudp";
inline constexpr std::size_t kMsPhraseMaxCode = 32;  // letters
inline constexpr std::size_t kMsPhraseMaxWord = 64;  // UTF-16 units
inline constexpr std::size_t kMsPhraseMaxCandidates = 255;

// Which of the two headers (and phrase headers) a file has.
enum class MsPhraseVersion { Win10v1607, Win10v1703 };

// Whether the bytes begin with the file's magic and a control character (a
// text table may begin with the code "mschxudp").
bool IsMsPhrase(std::string_view bytes);

struct MsPhraseTable {
    MsPhraseVersion version = MsPhraseVersion::Win10v1703;
    // GB18030; grouped by code in the order the codes first appear in the
    // file, within a code by candidate position (ties in file order).
    std::vector<TableEntry> entries;
    std::vector<std::uint32_t> offsets;   // of each entry's phrase in the file
    std::vector<std::uint8_t> positions;  // of each entry, as the file gives it
};

// Reads a whole file. Fails (zelmora::Failure), naming `name` and the offset
// of what is wrong, on anything that is not such a file: a truncated one,
// offsets or counts beyond the file, odd lengths, a code or word without its
// NUL, empty or not UTF-16.
MsPhraseTable ReadMsPhrase(std::string_view bytes, std::string_view name = {});

// Whether a table given as `format` (Auto: recognised) is read as such a file.
bool ReadsAsMsPhrase(std::string_view bytes, Format format);

// ReadMsPhrase as a table document: format MsPhrase, encoding UTF-16LE, the
// entries as ReadMsPhrase gives them; for the table check and messages, a
// line "code<TAB>word" (GB18030) per phrase in file order, each the Entry
// line of its entry, so that line N is the file's phrase N. `encoding`:
// Auto or UTF-16LE; another fails (the file is binary).
TableDocument ReadMsPhraseDocument(std::string_view bytes, Encoding encoding);

// The line of ReadMsPhraseDocument for an entry; fails (RefusedEntry) as the
// writer refuses an entry the file can't hold: a code other than 1 to 32
// letters a-z, an empty word, one holding a NUL or of more than 64 UTF-16
// units. (Its place among a code's candidates the writer alone can judge.)
std::string MsPhraseLine(const TableEntry& e);

// Writes entries (their bytes read as `o.textEncoding`) as such a file: each
// code's entries together in candidate order, positions 1, 2, 3 … within
// the code, the codes in the order they first come. A code other than 1 to 32 letters a-z, an empty
// word or one of more than 64 UTF-16 units, a word holding a NUL, a code's
// candidates past the 255th: as `o.unencodable` says, the first fails naming
// its input line (`lineOf`; `o.inputName`), or each is left out and listed in
// `o.skipped` (its character: the first the code can't hold, if that is why).
// Same entries, same bytes: the times written are fixed.
std::string WriteMsPhrase(const std::vector<TableEntry>& entries, const WriteOptions& o, const InputLineOf& lineOf = {},
                          MsPhraseVersion version = MsPhraseVersion::Win10v1703);

}  // namespace zelmora::formats
