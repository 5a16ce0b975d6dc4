// The Windows input methods' phrase file (mschxudp): samples of both headers
// written here by hand from the published layout, what we write parsed field
// by field by an independent reader (ms_phrase_reader.py), tables converted
// to it and back, entries it can't hold, and cut or crafted files.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

#include "core/failure.h"
#include "formats/document.h"
#include "formats/encoding.h"
#include "formats/lines.h"
#include "formats/ms_phrase.h"
#include "formats/writing.h"
#include "tests/test_util.h"

using namespace zelmora::formats;
using zelmora::Failure;

namespace {

// Bytes from hex pairs; blanks between them are for the eye.
std::string Bytes(std::initializer_list<const char*> rows) {
    std::string out;
    for (const char* row : rows)
        for (const char* p = row; *p;) {
            if (*p == ' ') {
                ++p;
                continue;
            }
            out += static_cast<char>(std::stoi(std::string(p, 2), nullptr, 16));
            p += 2;
        }
    return out;
}

// Four phrases, in file order: aa at position 2 "式", b 1 "了", aa 1 "工",
// aa 3 "𠀀" (a surrogate pair).
const std::string k1607 = Bytes({
    "6d 73 63 68 78 75 64 70",                             // mschxudp
    "01 00 00 00  40 00 00 00  50 00 00 00  98 00 00 00",  // version, table, start, end
    "04 00 00 00  00 00 00 00  29 b8 cc 58",               // count, 0, time
    "00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00",
    "00 00 00 00  12 00 00 00  22 00 00 00  34 00 00 00",  // offsets from start
    "08 00 08 00  0e 00  02  06  61 00 61 00 00 00  0f 5f 00 00",
    "08 00 08 00  0c 00  01  06  62 00 00 00  86 4e 00 00",
    "08 00 08 00  0e 00  01  06  61 00 61 00 00 00  e5 5d 00 00",
    "08 00 08 00  0e 00  03  06  61 00 61 00 00 00  40 d8 00 dc 00 00",
});
const std::string k1703 = Bytes({
    "6d 73 63 68 78 75 64 70",                             // mschxudp
    "02 00 60 00  01 00 00 00  40 00 00 00  50 00 00 00",  // ?, version, table, start
    "b8 00 00 00  04 00 00 00  49 4e 06 59",               // end, count, time
    "00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00",
    "00 00 00 00  1a 00 00 00  32 00 00 00  4c 00 00 00",
    "10 00 10 00  16 00  02  06  00 00 00 00  96 0a 99 20  61 00 61 00 00 00  0f 5f 00 00",
    "10 00 10 00  14 00  01  06  00 00 00 00  96 0a 99 20  62 00 00 00  86 4e 00 00",
    "10 00 10 00  16 00  01  06  00 00 00 00  96 0a 99 20  61 00 61 00 00 00  e5 5d 00 00",
    "10 00 10 00  16 00  03  06  00 00 00 00  96 0a 99 20  61 00 61 00 00 00  40 d8 00 dc 00 00",
});

std::string Patched(std::string bytes, std::size_t at, const char* hex) {
    const std::string with = Bytes({hex});
    return bytes.replace(at, with.size(), with);
}

TableEntry Entry(const std::string& code, const std::string& utf8Word) { return {Gb(code), Gb(utf8Word), {}, {}}; }

// Entries as UTF-8 lines "code<TAB>word", however their bytes are held.
std::string Listing(const std::vector<TableEntry>& entries, zelmora::TextEncoding textEncoding) {
    std::string text;
    for (const TableEntry& e : entries) text += e.code + "\t" + e.word + "\n";
    return EncodeText(text, Encoding::Utf8, false, textEncoding);
}

std::string FirstDifference(const std::string& a, const std::string& b) {
    std::size_t i = std::mismatch(a.begin(), a.end(), b.begin(), b.end()).first - a.begin();
    std::size_t from = a.rfind('\n', i) == std::string::npos ? 0 : a.rfind('\n', i) + 1;
    return "first difference on \"" + a.substr(from, a.find('\n', from) - from) + "\" / \"" +
           b.substr(from, b.find('\n', from) - from) + "\"";
}

WriteOptions Options(Unencodable unencodable, std::vector<SkippedWord>* skipped = nullptr) {
    WriteOptions o;
    o.inputName = "t.txt";
    o.unencodable = unencodable;
    o.skipped = skipped;
    return o;
}
const InputLineOf kLineIsIndex = [](const TableEntry&, std::size_t i) { return i + 1; };

constexpr zelmora::TextEncoding kGb18030 = zelmora::TextEncoding::Gb18030;

std::string ReadBack(const std::string& bytes) { return Listing(ReadMsPhrase(bytes).entries, kGb18030); }

// The independent reader's account of the bytes, or its complaint.
std::string IndependentReading(const std::string& bytes, int& status) {
    const std::string path = testing::TempDir() + "ms_phrase_sample.dat";
    std::ofstream(path, std::ios::binary) << bytes;
    FILE* p = popen(("python3 " ZELMORA_MS_PHRASE_READER " " + path + " 2>&1").c_str(), "r");
    std::string out;
    char buf[4096];
    for (std::size_t n; (n = std::fread(buf, 1, sizeof buf, p)) > 0;) out.append(buf, n);
    status = pclose(p);
    std::remove(path.c_str());
    return out;
}

}  // namespace

TEST(MsPhrase, BothHeadersReadGroupedByCodeInPositionOrder) {
    const std::string expected = "aa\t工\naa\t式\naa\t𠀀\nb\t了\n";
    struct Case {
        const char* name;
        std::string bytes;
        MsPhraseVersion version;
        std::string entries;
        std::vector<std::uint32_t> offsets;
    };
    const Case cases[] = {
        {"1607", k1607, MsPhraseVersion::Win10v1607, expected, {0x72, 0x50, 0x84, 0x62}},
        {"1703", k1703, MsPhraseVersion::Win10v1703, expected, {0x82, 0x50, 0x9c, 0x6a}},
        // 𠀀 moved to position 1 beside 工: the tie keeps file order.
        {"tie",
         Patched(k1703, 0x9c + 6, "01"),
         MsPhraseVersion::Win10v1703,
         "aa\t工\naa\t𠀀\naa\t式\nb\t了\n",
         {0x82, 0x9c, 0x50, 0x6a}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const MsPhraseTable t = ReadMsPhrase(c.bytes, "x.dat");
        EXPECT_EQ(t.version, c.version);
        EXPECT_EQ(Listing(t.entries, kGb18030), c.entries);
        EXPECT_EQ(t.offsets, c.offsets);
    }
}

TEST(MsPhrase, WrittenFilesHoldToThePublishedLayout) {
    const std::string longCode(32, 'z');
    std::string longWord;
    for (int i = 0; i < 62; ++i) longWord += "工";
    longWord += "𠀀";  // 64 UTF-16 units
    const std::vector<TableEntry> entries = {Entry("b", "了"),  Entry("aa", "式"),     Entry("b", "子"),
                                             Entry("aa", "工"), Entry(longCode, "长"), Entry("a", longWord),
                                             Entry("aa", "𠀀")};
    const std::string phrases =
        "b\t1\t了\nb\t2\t子\naa\t1\t式\naa\t2\t工\naa\t3\t𠀀\n" + longCode + "\t1\t长\na\t1\t" + longWord + "\n";
    for (auto [version, name] :
         {std::pair{MsPhraseVersion::Win10v1607, "1607"}, {MsPhraseVersion::Win10v1703, "1703"}}) {
        SCOPED_TRACE(name);
        int status = 0;
        const std::string reading =
            IndependentReading(WriteMsPhrase(entries, Options(Unencodable::Error), {}, version), status);
        EXPECT_EQ(status, 0) << reading;
        EXPECT_EQ(reading, name + std::string("\n") + phrases);
    }
}

TEST(MsPhrase, TablesConvertToItAndBackWithTheSameEntriesInOrder) {
    struct Source {
        const char* name;
        const char* path;
    };
    for (const Source& s :
         {Source{"built-in", ZELMORA_SHARED_TABLE}, Source{"Debian wubi86", "/usr/share/rime-data/wubi86.dict.yaml"}}) {
        SCOPED_TRACE(s.name);
        std::ifstream f(s.path, std::ios::binary);
        ASSERT_TRUE(f) << s.path << " is missing (Debian wubi86: install rime-data-wubi)";
        const TableDocument doc = ReadTable(std::string(std::istreambuf_iterator<char>(f), {}));
        ASSERT_GT(doc.entries.size(), 10000u);
        WriteOptions o = Options(Unencodable::Error);
        o.textEncoding = doc.textEncoding();
        const std::string want = Listing(doc.entries, doc.textEncoding());
        const std::string got = ReadBack(WriteMsPhrase(doc.entries, o));
        EXPECT_TRUE(got == want) << FirstDifference(want, got);
    }
}

TEST(MsPhrase, EntriesItCannotHoldAreRefusedNamingTheLineOrSkipped) {
    std::string word65, pairs33;
    for (int i = 0; i < 65; ++i) word65 += "工";
    for (int i = 0; i < 32; ++i) pairs33 += "𠀀";  // 64 units, then one more
    pairs33 += "工";
    struct Case {
        std::string code, word, why, character;
    };
    const Case cases[] = {
        {"Ab", "工", "The code \"Ab\" holds \"A\", not only letters a-z", "A"},
        {"a1", "工", "The code \"a1\" holds \"1\", not only letters a-z", "1"},
        {"a b", "工", "The code \"a b\" holds \" \", not only letters a-z", " "},
        {"a工", "工", "The code \"a工\" holds \"工\", not only letters a-z", "工"},
        {"", "工", "The code \"\" is empty", ""},
        {std::string(33, 'a'), "工", "The code \"" + std::string(33, 'a') + "\" is longer than 32 letters", ""},
        {"a", "", "The word \"\" is empty", ""},
        {"a", std::string("工\0工", 7), "The word \"工\\0工\" holds a NUL", ""},
        {"a", word65, "The word \"" + word65 + "\" is longer than 64 UTF-16 units", ""},
        {"a", pairs33, "The word \"" + pairs33 + "\" is longer than 64 UTF-16 units", ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.why);
        const std::vector<TableEntry> entries = {Entry("b", "了"), Entry(c.code, c.word), Entry("a", "工")};
        try {
            WriteMsPhrase(entries, Options(Unencodable::Error), kLineIsIndex);
            ADD_FAILURE() << "written";
        } catch (const Failure& f) {
            EXPECT_EQ(std::string(f.what()), "\"t.txt\", line 2: " + c.why +
                                                 ", which a Windows phrase file can't hold (--unencodable skip "
                                                 "leaves such entries out)");
        }
        std::vector<SkippedWord> skipped;
        const std::string bytes = WriteMsPhrase(entries, Options(Unencodable::Skip, &skipped), kLineIsIndex);
        EXPECT_EQ(ReadBack(bytes), "b\t了\na\t工\n");
        ASSERT_EQ(skipped.size(), 1u);
        EXPECT_EQ(skipped[0].line, 2u);
        EXPECT_EQ(skipped[0].code + "|" + skipped[0].word + "|" + skipped[0].character,
                  c.code + "|" + c.word + "|" + c.character);
    }
}

TEST(MsPhrase, ACodeHoldsAtMost255Candidates) {
    std::vector<TableEntry> entries(256, Entry("a", "工"));
    entries.insert(entries.begin(), Entry("b", "了"));
    try {
        WriteMsPhrase(entries, Options(Unencodable::Error), kLineIsIndex);
        ADD_FAILURE() << "written";
    } catch (const Failure& f) {
        EXPECT_NE(std::string(f.what()).find("line 257: The word \"工\" is candidate 256 of its code, past the 255"),
                  std::string::npos)
            << f.what();
    }
    std::vector<SkippedWord> skipped;
    const MsPhraseTable back = ReadMsPhrase(WriteMsPhrase(entries, Options(Unencodable::Skip, &skipped), kLineIsIndex));
    ASSERT_EQ(back.entries.size(), 256u);
    EXPECT_EQ(back.positions[0], 1);      // b
    EXPECT_EQ(back.positions[255], 255);  // a's last
    ASSERT_EQ(skipped.size(), 1u);
    EXPECT_EQ(skipped[0].line, 257u);
}

TEST(MsPhrase, CutOrCraftedFilesFailWithTheOffsetNeverReadPast) {
    for (const std::string* whole : {&k1607, &k1703})
        for (std::size_t n = 0; n < whole->size(); ++n) {
            try {
                ReadMsPhrase(whole->substr(0, n), "x.dat");
                ADD_FAILURE() << "a file cut to " << n << " bytes read";
            } catch (const Failure& f) {
                EXPECT_EQ(std::string(f.what()).rfind("\"x.dat\", offset 0x", 0), 0u) << f.what();
            }
        }
    struct Case {
        const char* name;
        std::string bytes;
        const char* message;
    };
    const Case cases[] = {
        {"magic", Patched(k1703, 7, "71"), "Offset 0x0: the file does not begin with \"mschxudp\""},
        {"version", Patched(k1703, 0x0c, "02"), "Offset 0x8: an unknown version"},
        {"end past the file", Patched(k1703, 0x18, "b9"),
         "Offset 0x18: the phrases end at 0xB9, past the end of the file (0xB8)"},
        {"odd end", Patched(k1703, 0x18, "b7"), "Offset 0xB2: the word has an odd number of bytes"},
        {"start after end", Patched(k1703, 0x14, "c0"), "Offset 0x14: the phrases start at 0xC0, after their end 0xB8"},
        {"table in the header", Patched(k1703, 0x10, "10"),
         "Offset 0x10: the table of phrase offsets at 0x10 overlaps the header"},
        {"count too big", Patched(k1703, 0x1c, "ff ff ff 3f"),
         "Offset 0x1C: 1073741823 phrases' offsets from 0x40 do not end"},
        {"offset past the end", Patched(k1703, 0x44, "ff 00"), "Offset 0x44: phrase 2 starts past the phrases' end"},
        {"offsets descending", Patched(k1703, 0x48, "10"), "Offset 0x48: phrase 3 does not start after phrase 2"},
        {"phrase too short", Patched(k1703, 0x44, "04"),
         "Offset 0x50: the phrase is shorter than its header, a code and a word"},
        {"phrase magic", Patched(k1703, 0x50, "11"), "Offset 0x50: the phrase begins with 0x100011, not 0x100010"},
        {"1607 phrase in a 1703 file", Patched(k1703, 0x50, "08 00 08 00"),
         "Offset 0x50: the phrase begins with 0x80008, not 0x100010"},
        {"word offset outside", Patched(k1703, 0x54, "ff 00"),
         "Offset 0x54: the word's offset 0xFF is outside the phrase"},
        {"word offset odd", Patched(k1703, 0x54, "17"), "Offset 0x60: the code has an odd number of bytes"},
        {"code without NUL", Patched(k1703, 0x64, "78 00"), "Offset 0x60: the code has no NUL at its end"},
        {"NUL inside the code", Patched(k1703, 0x60, "00 00"), "Offset 0x60: the code holds a NUL before its end"},
        {"empty code", Patched(Patched(k1703, 0x54, "12"), 0x60, "00 00"), "Offset 0x60: the code is empty"},
        {"word without NUL", Patched(k1703, 0xb6, "78 00"), "Offset 0xB2: the word has no NUL at its end"},
        {"lone surrogate", Patched(k1703, 0xb4, "41 00"), "Offset 0xB2: the word holds a lone UTF-16 surrogate"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        try {
            ReadMsPhrase(c.bytes);
            ADD_FAILURE() << "read";
        } catch (const Failure& f) {
            EXPECT_EQ(std::string(f.what()).rfind(c.message, 0), 0u) << f.what();
        }
    }
}

TEST(MsPhrase, RecognisedByItsMagicNotByATextTableOfThatCode) {
    const std::pair<std::string, bool> cases[] = {
        {k1607, true},           {k1703, true},
        {"mschxudp", true},      {std::string("mschxudp\0", 9), true},
        {"mschxudp a", false},   {"mschxudp\ta", false},
        {"mschxudp\r\n", false}, {"mschxudpa b", false},
        {"mschxud", false},      {"xmschxudp\x01", false},
    };
    for (const auto& [bytes, binary] : cases)
        EXPECT_EQ(IsMsPhrase(bytes), binary) << testutil::Convert("UTF-8", "ISO-8859-1", bytes);
}
