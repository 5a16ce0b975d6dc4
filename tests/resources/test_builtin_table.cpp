// The built-in table carried inside the program, and the resource lookup.
#include <gtest/gtest.h>

#include <fstream>
#include <iterator>

#include "core/failure.h"
#include "core/text.h"
#include "resources/resources.h"
#include "transform/expand.h"
#include "transform/group.h"

using namespace zelmora;

namespace {
std::string ReadFile(const char* path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}
}  // namespace

TEST(BuiltinTable, EmbeddedBytesAreTheSharedTable) {
    ResourceStream s = OpenBuiltinTable();
    EXPECT_EQ(s.size(), 91369u);
    EXPECT_EQ(s.position(), 0u);
    std::string shared = ReadFile(ZELMORA_SHARED_TABLE);
    ASSERT_EQ(shared.size(), 91369u);
    // The facts the rest of the system relies on, independent of any copy.
    EXPECT_EQ(shared.substr(0, 4), "a \xB9\xA4");                  // "a 工"
    EXPECT_EQ(shared.substr(shared.size() - 7), "yyyy \xD1\xD4");  // "yyyy 言"
    EXPECT_EQ(shared.find('\0'), std::string::npos);
    EXPECT_TRUE(s.bytes() == shared);
    EXPECT_EQ(s.readAll(), shared);
    EXPECT_EQ(s.position(), s.size());
    EXPECT_EQ(CountPaneLines(shared), 10690u);
}

TEST(BuiltinTable, StreamReadsInBlocksFromTheStart) {
    ResourceStream s = OpenResource("wb86gb", "txt");
    std::string got;
    char buf[4096];
    while (std::size_t n = s.read(buf, sizeof buf)) got.append(buf, n);
    EXPECT_EQ(got, std::string(s.bytes()));
    EXPECT_EQ(s.read(buf, 1), 0u);
    // Every opening starts afresh at the first byte.
    EXPECT_EQ(OpenBuiltinTable().readAll().substr(0, 4), "a \xB9\xA4");
}

TEST(Resources, NamesAndTypesIgnoreCase) {
    EXPECT_EQ(OpenResource("WB86GB", "TXT").size(), 91369u);
    EXPECT_EQ(OpenResource("Wb86Gb", "tXt").size(), 91369u);
    try {
        OpenResource("nosuch", "txt");
        FAIL() << "no failure";
    } catch (const Failure& e) {
        EXPECT_STREQ(e.what(), "Resource nosuch not found");
    }
    try {
        OpenResource("wb86gb", "jpeg");
        FAIL() << "no failure";
    } catch (const Failure& e) {
        EXPECT_STREQ(e.what(), "Resource wb86gb not found");
    }
}

TEST(BuiltinTable, GroupingTheExpansionGivesBackTheTable) {
    std::string table = OpenBuiltinTable().readAll();
    std::string entries = ExpandToEntryLines(table, TextEncoding::Gbk);
    EXPECT_EQ(CountPaneLines(entries), 10951u);
    std::string grouped = GroupEqualCodes(entries);
    LineList groups = SplitLines(grouped), original = SplitLines(table);
    ASSERT_EQ(groups.count(), 10690u);
    // Same codes, one line per code, each with the same set of words (the sort
    // may reorder candidates within a code).
    std::vector<std::string> a, b;
    for (const auto& l : groups) a.push_back(SplitTokens(l).at(0));
    for (const auto& l : original) b.push_back(SplitTokens(l).at(0));
    std::sort(a.begin(), a.end());
    std::sort(b.begin(), b.end());
    EXPECT_EQ(a, b);
    EXPECT_EQ(std::adjacent_find(a.begin(), a.end()), a.end());
}
