// The Windows phrase file's reader over any bytes: it reads them or fails with
// a Failure, never reading past them (the sanitizers watch). What it reads,
// written in either header's layout and read back, gives the same entries,
// each code's in the same order, less those the writer lists as left out.
//
// Input: the file's bytes.
#include <cstdint>
#include <set>
#include <string>
#include <vector>

#include "core/failure.h"
#include "formats/ms_phrase.h"
#include "formats/writing.h"
#include "fuzz/fuzz_support.h"

using namespace zelmora::formats;
using zelmora::Failure;

namespace {

std::string Pairs(const std::vector<TableEntry>& entries) {
    std::string out;
    for (const TableEntry& e : entries) out += e.code + '\t' + e.word + '\n';
    return out;
}

void RoundTrip(const MsPhraseTable& t, MsPhraseVersion version) {
    WriteOptions o;
    o.unencodable = Unencodable::Skip;
    std::vector<SkippedWord> skipped;
    o.skipped = &skipped;
    const InputLineOf lineOf = [](const TableEntry&, std::size_t i) { return i + 1; };
    std::string written;
    try {
        written = WriteMsPhrase(t.entries, o, lineOf, version);
    } catch (const Failure& f) {
        fuzz::Fail("entries read could not be written", f.what());
    }
    std::set<std::size_t> gone;
    for (const SkippedWord& w : skipped) gone.insert(w.line - 1);
    std::vector<TableEntry> expected;
    for (std::size_t i = 0; i < t.entries.size(); ++i)
        if (!gone.count(i)) expected.push_back(t.entries[i]);
    MsPhraseTable back;
    try {
        back = ReadMsPhrase(written);
    } catch (const Failure& f) {
        fuzz::Disagree("a written file does not read back", f.what(), written);
    }
    if (back.version != version) fuzz::Fail("a written file reads as the other header's");
    if (Pairs(back.entries) != Pairs(expected))
        fuzz::Disagree("entries changed by writing and reading", Pairs(expected), Pairs(back.entries));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    MsPhraseTable t;
    try {
        t = ReadMsPhrase(bytes, "fuzz.dat");
    } catch (const Failure&) {
        return 0;
    }
    if (t.offsets.size() != t.entries.size() || t.positions.size() != t.entries.size())
        fuzz::Fail("offsets or positions that belong to no entry");
    for (std::uint32_t offset : t.offsets)
        if (offset >= size) fuzz::Fail("a phrase's offset past the file");
    RoundTrip(t, MsPhraseVersion::Win10v1607);
    RoundTrip(t, MsPhraseVersion::Win10v1703);
    return 0;
}
