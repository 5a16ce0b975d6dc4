// Recognising a file's encoding: real tables' words and slices in every
// encoding are read right or refused as close calls, never read wrong.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "formats/document.h"
#include "formats/encoding_internal.h"
#include "tests/formats/detection_set.h"
#include "tests/test_util.h"

using namespace zelmora::formats;
using zelmora::TextEncoding;
namespace detection = zelmora::detection;

namespace {

struct Source {
    const char* name;
    std::vector<std::string> lines;
    bool rime;
};

std::vector<Source> Sources() {
    const auto builtin = detection::ReadFile(ZELMORA_SHARED_TABLE);
    const auto rime = detection::ReadFile(detection::kDebianWubi);
    if (!builtin) ADD_FAILURE() << "the built-in table is missing: " << ZELMORA_SHARED_TABLE;
    if (!rime)
        ADD_FAILURE() << "Debian's Rime Wubi table is missing: install the package rime-data-wubi "
                         "(scripts/install-deps)";
    if (!builtin || !rime) return {};
    return {{"built-in", detection::Lines(*detection::Convert("UTF-8", "windows-936", *builtin)), false},
            {"wubi86", detection::Lines(*rime), true}};
}

}  // namespace

// A sample of the detection set (bench/recognition_share reads all of it).
TEST(Recognition, RealWordsAndSlicesAreReadRightOrRefusedNeverWrong) {
    const std::vector<Source> sources = Sources();
    ASSERT_EQ(sources.size(), 2u);
    for (const Source& s : sources) {
        const std::vector<std::string> words = detection::Words(s.lines, s.rime);
        for (const detection::Variant& v : detection::Variants()) {
            detection::Tally chars, longer, slices;
            detection::JudgeWords(words, v, longer, chars, 13);
            for (std::size_t size : {3u, 5u, 12u, 40u}) detection::JudgeSlices(s.lines, size, v, slices, 17);
            const std::string what = std::string(s.name) + " in " + v.name;
            for (const detection::Tally* t : {&chars, &longer, &slices}) {
                EXPECT_EQ(t->wrong, 0u) << what << ", e.g. " << (t->wrongSamples.empty() ? "" : t->wrongSamples[0]);
            }
            ASSERT_GT(slices.total(), 0u) << what;
            EXPECT_GE(slices.rightShare(), 99.8) << what;
            if (longer.total() > 0) {
                EXPECT_GE(longer.rightShare(), 99.0) << what;
            }
        }
    }
}

TEST(Recognition, EverySampleInEveryEncodingGivesItsEntriesOrIsRefused) {
    for (const char* name : {"plain_wubi_gbk.txt", "rime_wubi.dict.yaml", "libime_wubi.txt", "fcitx4_wubi.txt",
                             "ibus_wubi.txt", "yong_wubi.txt", "rime_extb.dict.yaml", "plain_suspicious.txt",
                             "duoduo_wubi.txt", "bingling_wubi.txt", "sogou_phrase.txt", "baidu_phrase.txt"}) {
        std::string bytes = testutil::FormatsSample(name);
        ASSERT_FALSE(bytes.empty()) << name;
        const bool gbk = std::string(name) == "plain_wubi_gbk.txt";
        if (gbk) bytes = testutil::Convert("UTF-8", "windows-936", bytes);
        const TableDocument expected = ReadTable(bytes, Encoding::Utf8);
        const std::string text = DecodeText(bytes, Encoding::Utf8).text;
        for (Encoding e : {Encoding::Utf8, Encoding::Gbk, Encoding::Gb18030, Encoding::Utf16le, Encoding::Utf16be}) {
            for (bool bom : {false, true}) {
                std::string file;
                try {
                    file = EncodeText(text, e, bom, TextEncoding::Gb18030);
                } catch (const zelmora::Failure&) {
                    continue;  // GBK lacks a character of it
                }
                try {
                    const TableDocument doc = ReadTable(file, Encoding::Auto);
                    if (doc.encodingCloseCall) continue;  // refused by a merge, noted by the rest
                    ASSERT_EQ(doc.entries.size(), expected.entries.size()) << name << " in " << EncodingName(e);
                    for (std::size_t i = 0; i < doc.entries.size(); ++i) {
                        EXPECT_EQ(EncodeText(doc.entries[i].word, Encoding::Utf8, false, doc.textEncoding()),
                                  EncodeText(expected.entries[i].word, Encoding::Utf8, false, TextEncoding::Gb18030))
                            << name << " in " << EncodingName(e) << (bom ? " with BOM" : "") << ", entry " << i;
                    }
                } catch (const zelmora::Failure& f) {
                    // A Rime header makes a file UTF-8: refused, naming a line.
                    EXPECT_NE(std::string(f.what()).find("Line "), std::string::npos) << name << ": " << f.what();
                }
            }
        }
    }
}

TEST(Recognition, EachReadingCostsWhatItsCharactersAreWorthInChineseText) {
    struct Case {
        std::string bytes;
        Encoding expected;
        bool close;
    };
    const std::vector<Case> cases = {
        // 亲人 in UTF-8 is three GBK characters, two of them rare.
        {"\xe4\xba\xb2\xe4\xba\xba\n", Encoding::Utf8, false},
        // 一些 in GBK is Cyrillic һЩ in UTF-8, letters no Chinese table holds.
        {"ggpx \xd2\xbb\xd0\xa9\r\n", Encoding::Gb18030, false},
        // 小 in GBK is С in UTF-8: both are in GB 2312, nothing tells.
        {"\xd0\xa1\n", Encoding::Utf8, true},
        // 恭恭敬敬 in UTF-16LE without a mark: one zero byte in five.
        {std::string("\x6d\x60\x6d\x60\x6c\x65\x6c\x65\x0a\x00", 10), Encoding::Utf16le, false},
        // ASCII reads the same in UTF-8 and GBK: no contest.
        {"aaaa bbbb\n", Encoding::Utf8, false},
    };
    for (const Case& c : cases) {
        const Recognition r = RecognizeEncoding(c.bytes);
        EXPECT_EQ(r.encoding, c.expected) << testutil::U(c.bytes);
        EXPECT_EQ(r.closeCall, c.close) << testutil::U(c.bytes) << ", lead " << r.lead;
    }
    // IPA letters in UTF-8 read as common GBK characters; a Rime
    // dictionary that is valid UTF-8 is UTF-8 all the same.
    std::string ipa = "---\nname: ipa\n...\n";
    for (const char* w : {"ʂʰɤ", "ɕi", "ʈʂʰɑŋ", "ɻɤ", "tɕʰy", "ʐʊŋ"})
        for (int i = 0; i < 5; ++i) ipa += std::string(w) + "\t" + std::to_string(i) + "\n";
    EXPECT_EQ(RecognizeEncoding(ipa).encoding, Encoding::Utf8);
    // A Rime header gives UTF-8 a head start: a stray byte stays a fault.
    const std::string rime = "---\nname: r\n...\n\xe5\xb7\xa5\taaaa\n\xc0\xaf\tbbbb\n";
    EXPECT_EQ(RecognizeEncoding(rime).encoding, Encoding::Utf8);
    EXPECT_EQ(RecognizeEncoding(rime.substr(12)).encoding, Encoding::Gb18030);
}
