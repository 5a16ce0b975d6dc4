// Streamed conversion and check against the whole-file functions: for any
// bytes, ConvertTableStream gives WriteTable(ReadTable(...)) byte for byte
// (or the same failure message), and CheckTableStream gives CheckTable's
// findings in the same order (or the same failure), whatever the block and
// piece sizes. A conversion that says it needs the whole table must have
// written nothing.
//
// Input: four bytes of choices (read encoding and format; output format,
// encoding and byte-order mark; block size; piece size), then the file.
#include <cstdint>
#include <optional>
#include <string>

#include "core/failure.h"
#include "formats/checking.h"
#include "formats/document.h"
#include "formats/encoding.h"
#include "formats/table_stream.h"
#include "formats/writing.h"
#include "fuzz/fuzz_support.h"

using namespace zelmora::formats;
using fuzz::kEncodings;
using fuzz::kFormats;
using zelmora::Failure;

namespace {

// Small sizes cut blocks and pieces inside characters, line breaks and marks.
const std::size_t kBlocks[] = {1, 2, 3, 4, 5, 7, 13, 64, 4096, std::size_t(1) << 20};
const std::size_t kPieces[] = {1, 2, 3, 6, 17, 256, std::size_t(1) << 18};

// The output options as given on the command line: a format (or the
// input's), an encoding (Auto: none asked for) and a byte-order mark.
struct Target {
    std::optional<Format> format;
    Encoding encoding = Encoding::Auto;
    bool bom = false;
};

// The target resolved as the command line resolves it; a refusal (an engine
// format in another encoding than UTF-8) fails both sides alike.
WriteOptions Resolve(const Target& t, const InputFacts& in) {
    WriteOptions w;
    w.format = t.format.value_or(in.format);
    ChooseOutputEncoding(w, t.encoding, t.bom, in.encoding, in.hadBom);
    return w;
}

class StringSink final : public ByteSink {
public:
    void write(std::string_view bytes) override { text += bytes; }
    std::string text;
};

class Findings final : public ProblemSink {
public:
    void report(const TableProblem& p) override { text += std::to_string(p.line) + ": " + p.message + "\n"; }
    void restart() override { text.clear(); }
    std::string text;
};

void Convert(std::string_view bytes, Encoding e, Format f, const Target& t, std::size_t block, std::size_t piece) {
    std::string whole;
    try {
        TableDocument doc = ReadTable(bytes, e, f);
        std::size_t dropped = 0;
        whole = WriteTable(doc, Resolve(t, {doc.encoding, doc.hadBom, doc.format}), &dropped);
        whole += "\n(dropped " + std::to_string(dropped) + ")";
    } catch (const Failure& x) {
        whole = std::string("failure: ") + x.what();
    }

    MemorySource in(bytes);
    StringSink out;
    StreamSettings settings;
    settings.blockSize = block;
    settings.pieceSize = piece;
    std::string streamed;
    try {
        StreamConversion r = ConvertTableStream(
            in, out, e, f, [&](const InputFacts& facts) { return Resolve(t, facts); }, settings);
        if (!r.streamed) {
            if (!out.text.empty()) fuzz::Fail("a conversion that needs the whole table wrote bytes", out.text);
            return;
        }
        streamed = out.text + "\n(dropped " + std::to_string(r.droppedLines) + ")";
    } catch (const Failure& x) {
        streamed = std::string("failure: ") + x.what();
    }
    if (streamed != whole) fuzz::Disagree("streamed conversion differs from the whole-file one", whole, streamed);
}

void Check(std::string_view bytes, Encoding e, Format f, std::size_t block) {
    std::string whole;
    try {
        TableDocument doc = ReadTable(bytes, e, f);
        whole = std::string(FormatName(doc.format)) + ", " + EncodingName(doc.encoding) + ", " +
                std::to_string(doc.entries.size()) + " entries\n";
        for (const auto& p : CheckTable(doc)) whole += std::to_string(p.line) + ": " + p.message + "\n";
    } catch (const Failure& x) {
        whole = std::string("failure: ") + x.what();
    }

    MemorySource in(bytes);
    Findings sink;
    StreamSettings settings;
    settings.blockSize = block;
    std::string streamed;
    try {
        StreamCheck r = CheckTableStream(in, sink, e, f, settings);
        streamed = std::string(FormatName(r.input.format)) + ", " + EncodingName(r.input.encoding) + ", " +
                   std::to_string(r.entries) + " entries\n" + sink.text;
    } catch (const Failure& x) {
        streamed = std::string("failure: ") + x.what();
    }
    if (streamed != whole) fuzz::Disagree("streamed check differs from the whole-file one", whole, streamed);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    fuzz::Input in(data, size);
    const unsigned read = in.take();
    const unsigned write = in.take();
    const unsigned block = in.take();
    const unsigned piece = in.take();
    const std::string_view bytes = in.rest();

    const Encoding e = kEncodings[read % 6];
    const Format f = kFormats[(read / 6) % 7];
    Target t;
    if (const unsigned k = write % 7; k > 0) t.format = kFormats[k];
    t.encoding = kEncodings[(write / 7) % 6];
    t.bom = (write / 42) % 2;
    Convert(bytes, e, f, t, kBlocks[block % 10], kPieces[piece % 7]);
    Check(bytes, e, f, kBlocks[(block / 10) % 10]);
    return 0;
}
