// Traditional characters, symbol codes, mixed words and stray codes inside the table check.
#include <gtest/gtest.h>

#include <filesystem>

#include "formats/checking.h"
#include "formats/convert.h"
#include "formats/document.h"
#include "formats/files.h"
#include "formats/table_stream.h"
#include "tests/test_util.h"
#include "wubi/phrase_check.h"
#include "wubi/variant_check.h"

using namespace zelmora;
using testutil::Lines;

namespace {

std::vector<formats::TableProblem> Check(const std::string& bytes, formats::Encoding encoding, formats::Format format,
                                         VariantKinds kinds, bool phrases = false) {
    formats::TableDocument doc = formats::ReadTable(bytes, encoding, format);
    VariantCheck variants(kinds);
    std::optional<PhraseCodeCheck> phraseCheck;
    if (phrases) phraseCheck.emplace(MakePhraseCodeCheck(nullptr));
    formats::EntryChecks more({phraseCheck ? &*phraseCheck : nullptr, &variants});
    return formats::CheckTable(doc, &more);
}

std::string Shown(const std::vector<formats::TableProblem>& found) {
    std::string s;
    for (const auto& p : found) s += std::to_string(p.line) + ": " + p.message + "\n";
    return s;
}

VariantKinds Only(bool VariantKinds::*kind) {
    VariantKinds k{false, false, false, false, false};
    k.*kind = true;
    return k;
}

std::string RimeTable(const char* sort, std::initializer_list<const char*> lines) {
    std::string t = std::string("---\nname: t\nversion: \"1\"\nsort: ") + sort + "\n...\n";
    for (const char* l : lines) t += std::string(l) + "\n";
    return t;
}

}  // namespace

TEST(VariantCheck, TraditionalMeansConvertedByOpenCcAndNotSimplifiedItself) {
    struct Case {
        char32_t c;
        bool traditional;
        char32_t preferred;  // first simplified form, 0 for none
    } cases[] = {
        {U'後', true, U'后'}, {U'后', false, 0},    {U'麼', true, U'么'}, {U'么', false, 0},
        {U'幹', true, U'干'}, {U'乾', false, 0},    {U'干', false, 0},    {U'顔', true, U'颜'},
        {U'颜', false, 0},    {U'筆', true, U'笔'}, {U'律', false, 0},    {U'隻', true, U'只'},
        {U'裡', true, U'里'}, {U'裏', true, U'里'}, {U'里', false, 0},    {U'A', false, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(static_cast<unsigned>(c.c));
        EXPECT_EQ(IsTraditional(c.c), c.traditional);
        const std::vector<char32_t> forms = SimplifiedForms(c.c);
        EXPECT_EQ(forms.empty() ? 0 : forms[0], c.preferred);
    }
}

TEST(VariantCheck, EachKindFindsItsCaseAndNothingElse) {
    using K = VariantKinds;
    const formats::Encoding gbk = formats::Encoding::Gbk, utf8 = formats::Encoding::Utf8;
    const formats::Format plain = formats::Format::Plain, rime = formats::Format::Rime;
    struct Case {
        const char* name;
        std::string table;
        formats::Encoding encoding;
        formats::Format format;
        VariantKinds kinds;
        std::string expected;
    } cases[] = {
        {"before its own form", Lines({"utem 顔 颜"}), gbk, plain, Only(&K::traditionalFirst),
         "1: traditional \"顔\" stands before its simplified form \"颜\" under code \"utem\"\n"},
        {"before another simplified character", Lines({"tvfh 筆 律"}), gbk, plain, Only(&K::traditionalFirst),
         "1: traditional \"筆\" stands before the simplified character \"律\" under code \"tvfh\"\n"},
        {"its own form named though another comes first", Lines({"tgtj 後 律 后"}), gbk, plain,
         Only(&K::traditionalFirst),
         "1: traditional \"後\" stands before its simplified form \"后\" under code \"tgtj\"\n"},
        {"after the simplified ones, or before traditional ones only", Lines({"tvfh 律 筆", "tgtj 後 筆"}), gbk, plain,
         Only(&K::traditionalFirst), ""},
        {"乾 is simplified too", Lines({"fjwf 乾 干"}), gbk, plain, Only(&K::traditionalFirst), ""},
        {"by weight, the engine's order", RimeTable("by_weight", {"颜\tutem\t10", "顔\tutem\t20"}), utf8, rime,
         Only(&K::traditionalFirst),
         "7: traditional \"顔\" stands before its simplified form \"颜\" under code \"utem\"\n"},
        {"in file order when the header says so", RimeTable("original", {"颜\tutem\t10", "顔\tutem\t20"}), utf8, rime,
         Only(&K::traditionalFirst), ""},
        {"a short code a simplified character could take", Lines({"tv 筆", "tvfh 筆", "tvfa 律"}), gbk, plain,
         Only(&K::traditionalShortCode),
         "1: traditional \"筆\" holds short code \"tv\", which a simplified character whose full code starts with "
         "it could take: \"律\"\n"},
        {"no taker: the simplified one has a code of that length", Lines({"tv 筆", "tvfh 筆", "tw 律", "tvfa 律"}), gbk,
         plain, Only(&K::traditionalShortCode), ""},
        {"no short code: a full code of three keys", Lines({"tvf 筆", "tvfa 律"}), gbk, plain,
         Only(&K::traditionalShortCode), ""},
        {"a code of symbols in a Han table", Lines({"aaaa 工", "wthf 作", "khk 中", "zzy ① ②"}), gbk, plain,
         Only(&K::symbolCodes), "4: code \"zzy\" holds only symbols in a table of Han words: \"①\", \"②\"\n"},
        {"no code of symbols: ASCII words are words", Lines({"aaaa 工", "wthf 作", "khk 中", "zzy DOS ①"}), gbk, plain,
         Only(&K::symbolCodes), ""},
        {"no code of symbols: damaged words are the table check's",
         Lines({"aaaa 工", "wthf 作", "khk 中"}) + "\r\nzzy \xAA\xA1\r\nzzx \x80", gbk, plain, Only(&K::symbolCodes),
         "4: private-use character U+E000: no standard character\n5: bytes 0x80 are no GBK character\n"},
        {"no Han table: only half the words are Han", Lines({"aaaa 工", "wthf 作", "zzy ① ②"}), gbk, plain,
         Only(&K::symbolCodes), ""},
        {"mixed words, full-width letters are no ASCII", Lines({"ttnt T恤", "hrok 卡拉OK 卡拉ＯＫ", "aarm 3D"}), gbk,
         plain, Only(&K::mixedWords),
         "1: word \"T恤\" under code \"ttnt\" mixes Han characters with ASCII letters or digits\n"
         "2: word \"卡拉OK\" under code \"hrok\" mixes Han characters with ASCII letters or digits\n"},
        {"stray codes, not first-level or wild ones or the start of one",
         Lines({"a 工", "aa 工", "bcd 工", "aaaa 工", "e 有", "def 有", "z 有", "wth 作", "wthf 作", "wthg 作"}), gbk,
         plain, Only(&K::strayCodes),
         "3: character \"工\" has code \"bcd\", neither its full code \"aaaa\" nor the start of it\n"},
        {"every kind turned off", Lines({"tv 筆", "tvfh 筆 律", "tvfa 律", "zzy ①", "ttnt T恤", "bcd 工", "aaaa 工"}),
         gbk, plain, VariantKinds{false, false, false, false, false}, ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(Shown(Check(c.table, c.encoding, c.format, c.kinds)), c.expected);
    }
}

TEST(VariantCheck, APhraseAtAStrayCodeIsThePhraseChecksFindingOnly) {
    const std::string table = Lines({"aaaa 工", "wthf 作", "aawt 工作", "bbbb 工作", "wth 作", "bcd 作"});
    EXPECT_EQ(Shown(Check(table, formats::Encoding::Gbk, formats::Format::Plain, VariantKinds{}, true)),
              "4: phrase \"工作\" has code \"bbbb\"; the Wubi-86 rules give \"aawt\"\n"
              "6: character \"作\" has code \"bcd\", neither its full code \"wthf\" nor the start of it\n");
}

TEST(VariantCheck, StreamedCheckFindsTheSameAsTheWholeOneOnEveryPass) {
    // Codes out of order make the streamed check read the table twice.
    const std::string text = RimeTable("by_weight", {"颜\tutem\t10", "作\twthf\t1", "顔\tutem\t20", "T恤\tttnt\t1",
                                                     "作\tbcd\t1", "工\taaaa\t1", "①\tzzy\t1"});
    formats::TableDocument doc = formats::ReadTable(text, formats::Encoding::Utf8, formats::Format::Rime);
    VariantCheck whole;
    const std::vector<formats::TableProblem> expected = formats::CheckTable(doc, &whole);
    ASSERT_EQ(expected.size(), 4u) << Shown(expected);

    struct Sink : formats::ProblemSink {
        std::vector<formats::TableProblem> got;
        void report(const formats::TableProblem& p) override { got.push_back(p); }
        void restart() override { got.clear(); }
    } sink;
    formats::MemorySource source(text);
    VariantCheck streamed;
    formats::StreamSettings settings;
    settings.blockSize = 7;
    formats::CheckTableStream(source, sink, formats::Encoding::Utf8, formats::Format::Rime, settings, &streamed);
    EXPECT_EQ(Shown(sink.got), Shown(expected));
    EXPECT_EQ(streamed.counts(), whole.counts());
}

TEST(VariantCheck, DebiansWubiTableHasTraditionalCharactersFirstAndTheBuiltinOneNone) {
    const char* debian = "/usr/share/rime-data/wubi86.dict.yaml";
    ASSERT_TRUE(std::filesystem::exists(debian)) << debian << " is missing: install rime-data-wubi";
    formats::TableDocument doc = formats::ReadTable(ReadInput(debian));
    VariantCheck check;
    const std::string found = Shown(formats::CheckTable(doc, &check));
    for (const char* expected :
         {"traditional \"顔\" stands before its simplified form \"颜\" under code \"utem\"",
          "traditional \"筆\" stands before the simplified character \"律\" under code \"tvfh\""})
        EXPECT_NE(found.find(expected), std::string::npos) << expected;

    formats::TableDocument builtin = formats::ReadTable(ReadInput(ZELMORA_SHARED_TABLE));
    VariantCheck own;
    formats::CheckTable(builtin, &own);
    EXPECT_EQ(own.counts()[static_cast<std::size_t>(VariantFinding::Kind::TraditionalFirst)], 0u);
    EXPECT_EQ(own.counts()[static_cast<std::size_t>(VariantFinding::Kind::TraditionalShortCode)], 0u);
}
