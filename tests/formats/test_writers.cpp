// What the writers refuse and what they write, whole and streamed: no line
// break inside a word, no plain line that recognition takes for another
// format's header, and refusals that name the input line.
#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "core/failure.h"
#include "formats/checking.h"
#include "formats/document.h"
#include "formats/encoding.h"
#include "formats/table_stream.h"
#include "formats/writing.h"
#include "tests/test_util.h"

using namespace zelmora::formats;
using zelmora::Failure;

namespace {

const Format kWriters[] = {Format::Plain, Format::Rime, Format::Libime, Format::Fcitx4, Format::Ibus, Format::Yong};

std::string Gb(const std::string& utf8) { return testutil::Convert("gb18030", "UTF-8", utf8); }

using Pairs = std::vector<std::pair<std::string, std::string>>;

Pairs PairsOf(const std::vector<TableEntry>& entries) {
    Pairs pairs;
    for (const TableEntry& e : entries) pairs.emplace_back(e.code, e.word);
    return pairs;
}

WriteOptions Into(Format format) {
    WriteOptions w;
    w.format = format;
    w.encoding = Encoding::Utf8;
    w.inputName = "t.txt";
    return w;
}

// A conversion's bytes, or its failure.
struct Outcome {
    std::string bytes, failure;
    bool streamed = true;
};

Outcome Whole(const std::string& in, Format given, Format to) {
    Outcome o;
    try {
        o.bytes = WriteTable(ReadTable(in, Encoding::Utf8, given), Into(to));
    } catch (const Failure& f) {
        o.failure = f.what();
    }
    return o;
}

class StringSink final : public ByteSink {
public:
    void write(std::string_view bytes) override { bytes_ += bytes; }
    std::string bytes_;
};

// Small blocks, plain lines read a word at a time and long runs written in pieces.
Outcome Streamed(const std::string& in, Format given, Format to) {
    Outcome o;
    MemorySource source(in);
    StringSink sink;
    StreamSettings s;
    s.blockSize = 3;
    s.partedLine = 3;
    s.partEntries = 1;
    try {
        o.streamed = ConvertTableStream(
                         source, sink, Encoding::Utf8, given, [&](const InputFacts&) { return Into(to); }, s)
                         .streamed;
        o.bytes = sink.bytes_;
    } catch (const Failure& f) {
        o.failure = f.what();
    }
    return o;
}

std::string Show(const Outcome& o) { return o.failure.empty() ? "bytes: " + o.bytes : "failure: " + o.failure; }

}  // namespace

TEST(Writers, NoWriterPutsALineBreakInsideACodeOrWord) {
    // Only libime holds a line feed in a word (escaped as \n); every other
    // line break is refused, naming the entry's input line.
    const struct {
        const char* name;
        TableEntry entry;
    } cases[] = {
        {"LF in a word", {"abcd", Gb("中\n国"), {}, {}}},
        {"CR in a word", {"abcd", Gb("中\r国"), {}, {}}},
        {"CR LF in a word", {"abcd", Gb("中\r\n国"), {}, {}}},
        {"LF at the end of a word", {"abcd", Gb("中\n"), {}, {}}},
        {"LF in a code", {"ab\ncd", Gb("中"), {}, {}}},
        {"CR in a code", {"ab\rcd", Gb("中"), {}, {}}},
    };
    std::size_t written = 0;
    for (Format f : kWriters)
        for (const auto& c : cases) {
            const std::string what = std::string(FormatName(f)) + ", " + c.name;
            const std::vector<TableEntry> entries = {{"a", Gb("工"), {}, {}}, c.entry, {"abcd", Gb("戈"), {}, {}}};
            std::string bytes;
            try {
                const std::size_t lines[] = {3, 7, 9};
                bytes = WriteEntries(entries, Into(f), [&](const TableEntry&, std::size_t k) { return lines[k]; });
            } catch (const Failure& x) {
                const std::string m = x.what();
                EXPECT_EQ(m.rfind("\"t.txt\", line 7: The ", 0), 0u) << what << ": " << m;
                EXPECT_EQ(m.find_first_of("\r\n"), std::string::npos) << what << ": " << m;
                continue;
            }
            ++written;
            EXPECT_EQ(PairsOf(ReadTable(bytes).entries), PairsOf(entries)) << what << ": " << bytes;
        }
    EXPECT_EQ(written, 2u);  // libime's two words with a line feed and no carriage return
}

TEST(Writers, ALibimeWordWithALineBreakIsReportedAndNotConvertedIntoPlain) {
    const std::string table = "KeyCode=abcd\nLength=4\n[Data]\naaaa 工\nabcd \"x\\ny\"\nabcd \"x y\"\n";
    // The check reports the word (once) and nothing else on its line.
    std::vector<std::string> found;
    for (const TableProblem& p : CheckTable(ReadTable(table)))
        if (p.line == 5) found.push_back(p.message);
    EXPECT_EQ(found, std::vector<std::string>{"word \"x\\ny\" holds a line break, which no plain, Rime, fcitx4, "
                                              "ibus-table or yong table can hold"});
    const Outcome whole = Whole(table, Format::Auto, Format::Plain);
    EXPECT_EQ(whole.failure,
              "\"t.txt\", line 5: The word \"x\\ny\" holds a line break, which a plain table can't hold");
    EXPECT_EQ(Show(Streamed(table, Format::Auto, Format::Plain)), Show(whole));
}

TEST(Writers, ARefusalNamesTheInputLineWholeAndStreamed) {
    const struct {
        const char* name;
        std::string table;
        Format into;
        const char* message;
    } cases[] = {
        {"a Rime line that would be a comment", "aaaa 工\nbbbb x\ncccc #x\n", Format::Rime,
         "\"t.txt\", line 3: The value \"#x\" begins with # in the first column, which a Rime table can't hold"},
        {"the second word of a plain line", "a 工\nb 戈 \"x y\" 其\n", Format::Yong,
         "\"t.txt\", line 2: The word \"x y\" is empty or holds white space, which a yong table can't hold"},
        {"the code of a plain line", "a 工\n\"b c\" 戈 其\n", Format::Yong,
         "\"t.txt\", line 2: The code \"b c\" is empty or holds white space, which a yong table can't hold"},
        {"a libime code with a blank", "a 工\n\"b c\" 戈\n", Format::Libime,
         "\"t.txt\", line 2: The code \"b c\" is empty or holds white space, which a libime table can't hold"},
        {"Rime lines brought onto one yong line", "---\nname: t\n...\n工\ta\nx y\ta\n", Format::Yong,
         "\"t.txt\", line 5: The word \"x y\" is empty or holds white space, which a yong table can't hold"},
        {"a word sorted first by its weight", "---\nsort: by_weight\n...\n工\ta\t1\n戈\ta\t5\nx y\ta\t9\n",
         Format::Yong,
         "\"t.txt\", line 6: The word \"x y\" is empty or holds white space, which a yong table can't hold"},
        {"an ibus comment", "a 工\n###x 戈\n", Format::Ibus,
         "\"t.txt\", line 2: The code \"###x\" begins with ###, which a ibus-table table can't hold"},
        {"a fcitx4 comment", "a 工\n;x 戈\n", Format::Fcitx4,
         "\"t.txt\", line 2: The code \";x\" begins with ;, which a fcitx4 table can't hold"},
        {"codes out of order", "b 工\na 戈\nb 其 \"x y\"\n", Format::Yong,
         "\"t.txt\", line 3: The word \"x y\" is empty or holds white space, which a yong table can't hold"},
    };
    std::size_t streamedToo = 0;
    for (const auto& c : cases) {
        const Outcome whole = Whole(c.table, Format::Auto, c.into);
        EXPECT_EQ(whole.failure, c.message) << c.name;
        const Outcome streamed = Streamed(c.table, Format::Auto, c.into);
        if (streamed.streamed) {
            ++streamedToo;
            EXPECT_EQ(Show(streamed), Show(whole)) << c.name;
        }
    }
    EXPECT_EQ(streamedToo, std::size(cases) - 1);  // codes out of order are converted whole
}

TEST(Writers, EntriesThatLookLikeAHeaderLineReadBackAsWritten) {
    // A table whose first entry has an awkward code (alone, or after a code
    // that looks like a comment) and whose next entry has it as its word,
    // given as plain (quoted or not) and written by each writer, whole and
    // streamed: read back with recognition, the same entries, or a refusal
    // naming a line that holds it. Plain writes them all.
    const char* const awkward[] = {
        "ab:",    "name=x",      "KeyCode=x",        "Length=4",  "---",         "...",         "[Data]", "[DATA]",
        "[Rule]", "BEGIN_TABLE", "BEGIN_DEFINITION", "END_TABLE", "SCM_VERSION", "VERSION_1_0", ";fcitx", ";x",
        "#x",     "###",         "encode=UTF-8",     "键码=x",    "[数据]",      "columns:",    "%YAML",  "[Phrase]"};
    std::size_t plainWritten = 0, streamedToo = 0;
    for (const char* text : awkward)
        for (const bool afterComment : {false, true})
            for (const bool quoted : {false, true}) {
                const std::string token = quoted ? "\"" + std::string(text) + "\"" : std::string(text);
                const std::string table = (afterComment ? (quoted ? "\"#c\" 一\n" : "#c 一\n") : "") + token +
                                          " 工 戈\n~y " + token + "\n~z 其\n";
                const std::size_t firstLine = afterComment ? 2 : 1;
                const TableDocument in = ReadTable(table, Encoding::Utf8, Format::Plain);
                ASSERT_EQ(in.entries.size(), firstLine + 3) << table;
                for (Format f : kWriters) {
                    const std::string what = std::string(FormatName(f)) + ", " + table;
                    const Outcome whole = Whole(table, Format::Plain, f);
                    const Outcome streamed = Streamed(table, Format::Plain, f);
                    if (streamed.streamed) {
                        ++streamedToo;
                        EXPECT_EQ(Show(streamed), Show(whole)) << what;
                    }
                    if (!whole.failure.empty()) {
                        const std::string& m = whole.failure;
                        const bool named = m.rfind("\"t.txt\", line " + std::to_string(firstLine) + ": ", 0) == 0 ||
                                           m.rfind("\"t.txt\", line " + std::to_string(firstLine + 1) + ": ", 0) == 0 ||
                                           (afterComment && m.rfind("\"t.txt\", line 1: The code \"#c\"", 0) == 0);
                        EXPECT_TRUE(named) << what << ": " << m;
                        EXPECT_NE(f, Format::Plain) << what << ": " << m;
                        continue;
                    }
                    plainWritten += f == Format::Plain;
                    const TableDocument back = ReadTable(whole.bytes);
                    EXPECT_EQ(back.format, f) << what << ": " << whole.bytes;
                    EXPECT_EQ(PairsOf(back.entries), PairsOf(in.entries)) << what << ": " << whole.bytes;
                }
            }
    EXPECT_EQ(plainWritten, std::size(awkward) * 4);
    EXPECT_GT(streamedToo, plainWritten);  // plain into plain, and the rest whose codes ascend
}
