// A table written back in its own format, whole and streamed: every line as
// it was read, except the yong encoding line and the lines that lose words.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "core/failure.h"
#include "formats/document.h"
#include "formats/encoding.h"
#include "formats/table_stream.h"
#include "formats/writing.h"
#include "tests/test_util.h"

using namespace zelmora::formats;

namespace {

class StringSink final : public ByteSink {
public:
    void write(std::string_view bytes) override { bytes_ += bytes; }
    std::string bytes_;
};

std::string Streamed(const std::string& in, const WriteOptions& o) {
    MemorySource source(in);
    StringSink sink;
    StreamSettings s;
    s.blockSize = 5;  // lines cut across blocks
    ConvertTableStream(
        source, sink, Encoding::Auto, Format::Auto, [&](const InputFacts&) { return o; }, s);
    return sink.bytes_;
}

}  // namespace

TEST(OwnFormat, LinesComeBackAsReadButForTheEncodingLineAndLinesThatLoseWords) {
    using testutil::Convert;
    struct Case {
        const char* name;
        std::string in;  // bytes
        Encoding to;
        std::string out;  // UTF-8 of what is written
    };
    const std::string yong = "name=x\n[DATA]\na  工 戈\n#c\n";
    // Valid YAML in forms a header seldom takes: comments, quoted keys, a
    // flow list, block scalars, blanks at line ends and a CR LF.
    const std::string unusual =
        "--- # wubi  \n\"name\": '词库'  # quoted\ncolumns: [text,\r\n  code]\nnote: |\n  kept\n\n   as is\n"
        "folded: >-\n  one\n  two\n'sort': \"original\"\t\n...  \n";
    // 𠀀 (CJK Extension B) is no GBK character: its words are left out.
    const std::vector<Case> cases = {
        {"yong UTF-8 into GB18030: its encode line goes", "encode=UTF-8\n" + yong, Encoding::Gb18030, yong},
        {"yong GB18030 into UTF-8: an encode line comes first", Convert("GB18030", "UTF-8", yong), Encoding::Utf8,
         "encode=UTF-8\n" + yong},
        {"yong GB18030 into GBK: nothing to say", Convert("GB18030", "UTF-8", yong), Encoding::Gbk, yong},
        {"yong UTF-8 into UTF-8", "encode=UTF-8\n" + yong, Encoding::Utf8, "encode=UTF-8\n" + yong},
        {"yong: a line that loses a word is written afresh", "name=x\n[DATA]\na  工 𠀀\nb 𠀀\nc  戈\n", Encoding::Gbk,
         "name=x\n[DATA]\na 工\nc  戈\n"},
        {"plain: a line that loses a word is written afresh, one left without a word goes",
         "a  工 𠀀  戈\r\nb 𠀀\r\nc   一\r\n", Encoding::Gbk, "a 工 戈\r\nc   一\r\n"},
        {"Rime: a line whose word goes", "---\nname: x\nsort: original\n...\n𠀀\ta\n工\ta\t\n", Encoding::Gbk,
         "---\nname: x\nsort: original\n...\n工\ta\t\n"},
        {"ibus", "BEGIN_TABLE\na\t𠀀\t2\na\t工\t1\nEND_TABLE\n", Encoding::Gbk, "BEGIN_TABLE\na\t工\t1\nEND_TABLE\n"},
        {"Rime: an unusual header stays as it was written", "# 词库\r\n" + unusual + "𠀀\ta\n工\ta\n", Encoding::Gbk,
         "# 词库\r\n" + unusual + "工\ta\n"},
    };
    for (const auto& c : cases) {
        const TableDocument doc = ReadTable(c.in);
        WriteOptions o;
        o.format = doc.format;
        o.encoding = c.to;
        o.unencodable = Unencodable::Skip;
        const char* name = c.to == Encoding::Gbk ? "GBK" : c.to == Encoding::Gb18030 ? "GB18030" : "UTF-8";
        const std::string expected = Convert(name, "UTF-8", c.out);
        EXPECT_EQ(WriteTable(doc, o), expected) << c.name;
        EXPECT_EQ(Streamed(c.in, o), expected) << c.name << " (streamed)";
    }
}
