// Phrase codes held against the Wubi-86 rules inside the table check.
#include <gtest/gtest.h>

#include "formats/checking.h"
#include "formats/document.h"
#include "formats/encoding.h"
#include "formats/table_stream.h"
#include "tests/test_util.h"
#include "wubi/phrase_check.h"

using namespace zelmora;
using testutil::G;
using testutil::Lines;

namespace {

const std::vector<formats::PhraseRule>& Wubi86() { return formats::WubiPhraseRules(); }

// Full codes by hand: 工 aaaa, 作 wthf, 中 khk (its own table); 华 wxfj,
// 人 wwww, 民 nav come from the built-in table, which this table lacks.
const char* const kTable[] = {
    "aaaa 工",       "wthf 作", "khk 中",
    "aawt 工作",      // line 4: two characters, two keys of each
    "aaw 工作",       // line 5: a short code, the start of the full one
    "abwt 工作",      // line 6: the second key wrong
    "kwwn 中华人民",  // line 7: four characters: first keys of three and the last
    "kwww 中华人民",  // line 8: coded by the three-character rule
    "kwww 中华人",    // line 9: three characters, right
    "ab A股",         // line 10: "A" has no code anywhere
    "aa 作工",        // line 11: a short code of another word's code, still wrong (wtaa)
};

formats::TableDocument Read(const std::string& text) {
    return formats::ReadTable(text, formats::Encoding::Gbk, formats::Format::Plain);
}

std::string TableText() {
    std::string t;
    for (const char* l : kTable) t += G(l) + "\r\n";
    return t;
}

}  // namespace

TEST(PhraseCheck, PlantedWrongCodesAreFoundAndRightOnesAndShortCodesAreNot) {
    formats::TableDocument doc = Read(TableText());
    PhraseCodeCheck check = MakePhraseCodeCheck(nullptr);
    std::vector<formats::TableProblem> found = formats::CheckTable(doc, &check);
    std::vector<std::size_t> lines;
    for (const auto& p : found) lines.push_back(p.line);
    EXPECT_EQ(lines, (std::vector<std::size_t>{6, 8, 11}));
    ASSERT_EQ(found.size(), 3u);
    EXPECT_EQ(found[0].message, "phrase \"工作\" has code \"abwt\"; the Wubi-86 rules give \"aawt\"");
    EXPECT_EQ(found[1].message, "phrase \"中华人民\" has code \"kwww\"; the Wubi-86 rules give \"kwwn\"");
    EXPECT_EQ(check.phrases(), 8u);
    EXPECT_EQ(check.wrong(), 3u);
    EXPECT_EQ(check.uncodable(), 1u);
    EXPECT_NE(check.summary().find("8 checked"), std::string::npos) << check.summary();
}

TEST(PhraseCheck, JudgeSeparatesKindsAndEdgeCodes) {
    PhraseCodeCheck check(CharacterTableOf(Read(TableText()).entries), nullptr);
    using K = PhraseCodeCheck::Verdict;
    EXPECT_EQ(check.judge("aaaa", G("工")).kind, K::NotPhrase);  // single characters are not judged
    EXPECT_EQ(check.judge("a", G("工作")).kind, K::Fits);
    EXPECT_EQ(check.judge("", G("工作")).kind, K::Wrong);       // no code at all is no short code
    EXPECT_EQ(check.judge("aawtx", G("工作")).kind, K::Wrong);  // longer than the full code
    EXPECT_EQ(check.judge("AAWT", G("工作")).kind, K::Wrong);   // codes are compared as they are
    // Without the built-in table, 华 has no code: counted, not judged.
    K v = check.judge("kwwn", G("中华人民"));
    EXPECT_EQ(v.kind, K::Uncodable);
    EXPECT_EQ(v.missing, G("华"));
}

TEST(PhraseCheck, GivenCharactersComeFirstAndSeveralFullCodesAllCount) {
    // --chars: 作 coded differently there (two full codes), 工 from the built-in table.
    formats::TableDocument chars = Read(Lines({"wthf 作", "wtxx 作"}));
    PhraseCodeCheck check = MakePhraseCodeCheck(&chars.entries);
    EXPECT_FALSE(check.surveys());
    using K = PhraseCodeCheck::Verdict;
    EXPECT_EQ(check.judge("aawt", G("工作")).kind, K::Fits);
    EXPECT_EQ(check.judge("wtaa", G("作工")).kind, K::Fits);
    K wrong = check.judge("wxaa", G("作工"));
    EXPECT_EQ(wrong.kind, K::Wrong);
    EXPECT_EQ(wrong.expected, (std::vector<std::string>{"wtaa"}));  // both full codes give the same two keys
    // The checked table's own characters are not surveyed when characters are given.
    formats::TableDocument doc = Read(Lines({"xxxx 工", "aawt 工作"}));
    EXPECT_TRUE(formats::CheckTable(doc, &check).empty());
}

TEST(PhraseCheck, StreamedCheckFindsTheSameAsTheWholeOne) {
    // The character comes after the phrase that needs it: the survey must see the whole table first.
    std::string text = TableText() + G("zzzz 甲乙") + "\r\n" + G("lhnn 甲") + "\r\n" + G("nnll 乙") + "\r\n";
    formats::TableDocument doc = Read(text);
    PhraseCodeCheck whole = MakePhraseCodeCheck(nullptr);
    std::vector<formats::TableProblem> expected = formats::CheckTable(doc, &whole);

    struct Sink : formats::ProblemSink {
        std::vector<formats::TableProblem> got;
        void report(const formats::TableProblem& p) override { got.push_back(p); }
        void restart() override { got.clear(); }
    } sink;
    formats::MemorySource source(text);
    PhraseCodeCheck streamed = MakePhraseCodeCheck(nullptr);
    formats::StreamSettings settings;
    settings.blockSize = 7;  // lines cut across blocks
    formats::CheckTableStream(source, sink, formats::Encoding::Gbk, formats::Format::Plain, settings, &streamed);
    ASSERT_EQ(sink.got.size(), expected.size());
    for (std::size_t i = 0; i < expected.size(); ++i) {
        EXPECT_EQ(sink.got[i].line, expected[i].line);
        EXPECT_EQ(sink.got[i].message, expected[i].message);
    }
    EXPECT_EQ(expected.back().message, "phrase \"甲乙\" has code \"zzzz\"; the Wubi-86 rules give \"lhnn\"");
    EXPECT_EQ(streamed.phrases(), whole.phrases());
    EXPECT_EQ(streamed.wrong(), whole.wrong());
}

TEST(CharacterTable, MissingCharactersAreTakenFromAnotherTableWithoutReplacingOwnOnes) {
    CharacterTable own, other;
    own.add("wthf", G("作"));
    other.add("xxxx", G("作"));
    other.add("aaaa", G("工"));
    other.add("abcd", "\x81\x30\x81\x30");  // a four-byte character
    own.addMissing(other);
    EXPECT_EQ(*own.fullCodes(G("作")), std::vector<std::string>{"wthf"});
    EXPECT_EQ(*own.fullCodes(G("工")), std::vector<std::string>{"aaaa"});
    EXPECT_EQ(*own.fullCodes("\x81\x30\x81\x30"), std::vector<std::string>{"abcd"});
    EXPECT_EQ(own.size(), 3u);
}

TEST(CharacterTable, ThousandsOfCodesOfOneCharacterStayDistinct) {
    // Such a table (many.txt in the command-line tests) once took quadratic time.
    CharacterTable t;
    for (int i = 0; i < 20000; ++i) {
        std::string code = {static_cast<char>('a' + i % 26), static_cast<char>('a' + i / 26 % 26),
                            static_cast<char>('a' + i / 676 % 26), 'x'};
        t.add(code, G("工"));
        t.add(code, G("工"));  // again: no second copy
    }
    EXPECT_EQ(t.fullCodes(G("工"))->size(), 17576u);  // 26³ distinct codes
    t.add("aaaa", G("作"));
    WordCodes w = EncodeWord(t, G("工作"), Wubi86());
    ASSERT_TRUE(w.coded);
    EXPECT_EQ(w.combinations, 676u);  // two keys of 工: every pair of letters
    EXPECT_EQ(w.codes.size(), kMaxCodesPerWord);
    EXPECT_EQ(w.codes.front(), "aaaa");
}

TEST(PhraseCheck, ALineReadInPartsReportsInTheOrderOfTheWholeCheck) {
    // One code with many words, read in parts of 3 entries: the line's own
    // findings (a word again, the round trip) first, then the phrases'.
    std::string text =
        G("aaaa 工") + "\r\n" + G("wthf 作") + "\r\n" + G("aawt 工作 作工 工作 作工 工作 作工 工作  作工");
    formats::TableDocument doc = Read(text);
    PhraseCodeCheck whole = MakePhraseCodeCheck(nullptr);
    std::vector<formats::TableProblem> expected = formats::CheckTable(doc, &whole);
    struct Sink : formats::ProblemSink {
        std::vector<formats::TableProblem> got;
        void report(const formats::TableProblem& p) override { got.push_back(p); }
        void restart() override { got.clear(); }
    } sink;
    formats::MemorySource source(text);
    PhraseCodeCheck streamed = MakePhraseCodeCheck(nullptr);
    formats::StreamSettings settings;
    settings.partEntries = 3;
    settings.partedLine = 16;  // bytes: the third line is read in parts
    formats::CheckTableStream(source, sink, formats::Encoding::Gbk, formats::Format::Plain, settings, &streamed);
    ASSERT_EQ(sink.got.size(), expected.size());
    for (std::size_t i = 0; i < expected.size(); ++i) EXPECT_EQ(sink.got[i].message, expected[i].message) << i;
    EXPECT_EQ(whole.wrong(), 4u);
    EXPECT_EQ(streamed.wrong(), 4u);
    EXPECT_NE(expected.back().message.find("phrase"), std::string::npos);
}
