// Rime dictionary headers read as the YAML they are: whatever way a valid
// header is written, it says what librime takes from it; a header that is
// no valid YAML fails, naming its line; and every header Debian ships reads
// as yaml-cpp reads it.
#include <gtest/gtest.h>
#include <yaml-cpp/yaml.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <map>
#include <string>
#include <vector>

#include "core/failure.h"
#include "formats/document.h"
#include "formats/phrase_rules.h"
#include "formats/table_stream.h"
#include "tests/test_util.h"

using namespace zelmora::formats;
using zelmora::Failure;

namespace {

using K = PhraseRule::Key;

std::string Utf8(const std::string& gb18030) { return testutil::Convert("UTF-8", "gb18030", gb18030); }

// The entries in candidate order, "code:word ", UTF-8.
std::string Words(const TableDocument& doc) {
    std::string out;
    for (const auto& e : doc.entries) out += e.code + ":" + Utf8(e.word) + " ";
    return out;
}

std::string WholeFailure(const std::string& bytes) {
    try {
        ReadTable(bytes);
    } catch (const Failure& f) {
        return f.what();
    }
    return "no failure";
}

std::string StreamedFailure(const std::string& bytes) {
    MemorySource source(bytes);
    StreamSettings settings;
    settings.blockSize = bytes.size() < 4096 ? 3 : 1 << 20;
    try {
        ReadEntriesStream(
            source, Encoding::Auto, Format::Auto, [](std::size_t, const std::vector<TableEntry>&) {}, settings);
    } catch (const Failure& f) {
        return f.what();
    }
    return "no failure";
}

}  // namespace

TEST(RimeHeader, AnyValidWayOfWritingTheHeaderReadsTheSame) {
    // Data lines with the code first: a header whose columns are missed
    // reads the text as the code.
    const std::string data = "a\t工\nb\t戈\n";
    const std::vector<PhraseRule> two = {{false, 2, {K{1, 1}, K{1, 2}, K{2, 1}, K{2, 2}}}};
    struct Case {
        const char* what;
        std::string header;
        std::vector<PhraseRule> rules;
    };
    const std::vector<Case> cases = {
        {"quoted column names", "---\nname: t\ncolumns:\n  - \"code\"\n  - 'text'\n...\n", {}},
        {"sequence items not indented", "---\nname: t\ncolumns:\n- code\n- text\n...\n", {}},
        {"a comment after the start line", "--- # wubi\nname: t\ncolumns: [code, text]\n...\n", {}},
        {"a directive before the start line", "%YAML 1.1\n---\nname: t\ncolumns: [code, text]\n...\n", {}},
        {"quoted keys", "---\n\"name\": t\n'columns': [code, text]\n...\n", {}},
        {"a flow list over lines, quoted, with comments",
         "---\nname: t\ncolumns: [  # the file's order\n    \"code\",\n    text ]  # done\n...\n",
         {}},
        {"the whole header in flow style", "--- {name: t, columns: [code, text]}\n...\n", {}},
        {"an alias", "---\nname: t\norder: &o [code, text]\ncolumns: *o\n...\n", {}},
        {"rules whose formula comes first",
         "---\nname: t\ncolumns: [code, text]\nencoder:\n  rules:\n  - formula: AaAbBaBb\n    length_equal: 2\n...\n",
         two},
        {"rules in flow style",
         "---\nname: t\ncolumns: [code, text]\nencoder: {rules: [{length_equal: 2, formula: \"AaAbBaBb\"}]}\n...\n",
         two},
        // Found by fuzzing: asked for its type, the missing key threw.
        {"an encoder without rules",
         "---\nname: t\ncolumns: [code, text]\nencoder:\n  exclude_patterns: [x]\n...\n",
         {}},
    };
    for (const auto& c : cases) {
        TableDocument doc;
        try {
            doc = ReadTable(c.header + data);
        } catch (const Failure& f) {
            ADD_FAILURE() << c.what << ": " << f.what();
            continue;
        }
        EXPECT_EQ(doc.format, Format::Rime) << c.what;
        EXPECT_EQ(Words(doc), "a:工 b:戈 ") << c.what;
        EXPECT_EQ(doc.layout.name, "t") << c.what;
        EXPECT_TRUE(doc.layout.byWeight) << c.what;  // no "sort:": by weight, as Rime sorts
        EXPECT_EQ(doc.layout.engine.rules, c.rules) << c.what;
    }
}

TEST(RimeHeader, HeadersWrittenByPyYamlRead) {
    // make_pyyaml_dicts.py wrote them: keys sorted, items not indented, flow
    // style, names escaped as \uXXXX.
    const std::vector<PhraseRule> rules = {{false, 2, {K{1, 1}, K{1, 2}, K{2, 1}, K{2, 2}}},
                                           {true, 4, {K{1, 1}, K{2, 1}, K{3, 1}, K{-1, 1}}}};
    for (const char* file : {"pyyaml_block.dict.yaml", "pyyaml_flow.dict.yaml", "pyyaml_escaped.dict.yaml"}) {
        const std::string bytes = testutil::FormatsSample(file);
        ASSERT_FALSE(bytes.empty()) << file;
        const TableDocument doc = ReadTable(bytes);
        EXPECT_EQ(doc.format, Format::Rime) << file;
        EXPECT_EQ(Utf8(doc.layout.name), "五笔86") << file;
        EXPECT_FALSE(doc.layout.byWeight) << file;  // "sort: original": the file's order, though weights rise
        EXPECT_EQ(Words(doc), "a:工 a:戈 aaaa:工工工工 ") << file;
        EXPECT_EQ(doc.layout.weightColumn, 2) << file;
        EXPECT_EQ(doc.layout.engine.rules, rules) << file;
    }
}

TEST(RimeHeader, AHeaderThatIsNoValidYamlOrSaysNothingReadableFailsNamingItsLine) {
    struct Case {
        const char* what;
        std::string bytes;
        std::string message;  // the start of the failure
    };
    const std::string data = "工\ta\n";
    const std::vector<Case> cases = {
        // yaml-cpp finds the list unclosed on the line after it.
        {"an unclosed flow list", "# c\n---\nname: t\ncolumns: [text, code\nsort: original\n...\n" + data,
         "Line 5: the Rime header is not valid YAML"},
        {"an item less indented than its list", "---\nname: t\ncolumns:\n    - text\n  - code\n...\n" + data,
         "Line 5: the Rime header is not valid YAML"},
        {"a tab as indentation", "---\nencoder:\n\trules: []\n...\n" + data,
         "Line 3: the Rime header is not valid YAML"},
        // The end line can't be in a quoted text.
        {"an unclosed quote", "---\nname: \"t\n...\n" + data, "Line 3: the Rime header is not valid YAML"},
        {"columns that are no list", "---\nname: t\ncolumns: text code\n...\n" + data,
         "Line 3: the Rime header's \"columns\" is no list"},
        {"a sort that is no single value", "---\nname: t\n\nsort: [by_weight]\n...\n" + data,
         "Line 4: the Rime header's \"sort\" is no single value"},
        {"a header that is a list", "---\n- name\n- t\n...\n" + data,
         "Line 2: the Rime header is no mapping of settings"},
        // Not held in memory past 16 MiB, nor read.
        {"a header of more than 16 MiB", "---\n" + std::string(17 << 20, '#') + "\n...\n" + data,
         "Line 3: the Rime header that ends here is longer than 16 MiB"},
    };
    for (const auto& c : cases) {
        const std::string whole = WholeFailure(c.bytes);
        EXPECT_EQ(whole.substr(0, c.message.size()), c.message) << c.what << ": " << whole;
        EXPECT_EQ(StreamedFailure(c.bytes), whole) << c.what;
    }
}

TEST(RimeHeader, EveryHeaderDebianShipsReadsAsYamlCppReadsIt) {
    // The packages scripts/install-deps installs, by a dictionary each ships.
    const std::map<std::string, std::string> packages = {
        {"wubi86", "rime-data-wubi"},
        {"luna_pinyin", "rime-data-luna-pinyin"},
        {"terra_pinyin", "rime-data-terra-pinyin"},
        {"cangjie5", "rime-data-cangjie5"},
        {"stroke", "rime-data-stroke"},
        {"pinyin_simp", "rime-data-pinyin-simp"},
        {"quick5", "rime-data-quick5"},
        {"array30", "rime-data-array30"},
        {"jyut6ping3", "rime-data-jyut6ping3"},
    };
    const std::filesystem::path root = "/usr/share/rime-data";
    std::vector<std::filesystem::path> files;
    if (std::filesystem::is_directory(root))
        for (const auto& e : std::filesystem::recursive_directory_iterator(root)) {
            const std::string name = e.path().filename().string();
            if (e.is_regular_file() && name.size() > 10 && name.substr(name.size() - 10) == ".dict.yaml")
                files.push_back(e.path());
        }
    for (const auto& [dict, package] : packages)
        EXPECT_TRUE(std::filesystem::exists(root / (dict + ".dict.yaml")))
            << root / (dict + ".dict.yaml") << " is missing: install " << package << " (scripts/install-deps)";
    std::sort(files.begin(), files.end());
    for (const auto& path : files) {
        // The header and the first data lines: enough to read the header,
        // without reading the big dictionaries whole.
        std::ifstream in(path, std::ios::binary);
        std::string line, header, head;
        bool ended = false;
        std::size_t data = 0;
        while (data < 20 && std::getline(in, line)) {
            head += line + "\n";
            if (ended) {
                ++data;
                continue;
            }
            header += line + "\n";
            std::string t = line;
            while (!t.empty() && (t.back() == ' ' || t.back() == '\t' || t.back() == '\r')) t.pop_back();
            ended = t == "...";
        }
        ASSERT_TRUE(ended) << path << " has no end line \"...\"";
        const YAML::Node yaml = YAML::Load(header);
        TableDocument doc;
        try {
            doc = ReadTable(head, Encoding::Utf8, Format::Auto);
        } catch (const Failure& f) {
            ADD_FAILURE() << path << ": " << f.what();
            continue;
        }
        EXPECT_EQ(doc.format, Format::Rime) << path;
        EXPECT_EQ(Utf8(doc.layout.name), yaml["name"].as<std::string>()) << path;
        // librime's columns: the first of each name, or text, code and weight.
        std::vector<std::string> columns = {"text", "code", "weight"};
        if (yaml["columns"]) columns = yaml["columns"].as<std::vector<std::string>>();
        auto at = [&](const char* name) {
            auto it = std::find(columns.begin(), columns.end(), name);
            return it == columns.end() ? -1 : static_cast<int>(it - columns.begin());
        };
        EXPECT_EQ(doc.layout.textColumn, at("text")) << path;
        EXPECT_EQ(doc.layout.codeColumn, at("code")) << path;
        EXPECT_EQ(doc.layout.weightColumn, at("weight")) << path;
        EXPECT_EQ(doc.layout.stemColumn, at("stem")) << path;
        EXPECT_EQ(doc.layout.byWeight, !yaml["sort"] || yaml["sort"].as<std::string>() == "by_weight") << path;
        // Debian's Wubi dictionary gives the Wubi-86 rules.
        if (path.filename() == "wubi86.dict.yaml") {
            EXPECT_EQ(doc.layout.engine.rules, WubiPhraseRules());
        }
    }
    // Every package above ships at least one, and others ship more.
    EXPECT_GE(files.size(), packages.size()) << "install the rime-data packages (scripts/install-deps)";
}
