#pragma once
// score, and what a change to a table does to typing (diff --text/--freq).
#include <CLI/CLI.hpp>

#include <string>
#include <vector>

#include "core/text_encoding.h"
#include "formats/document.h"
#include "typing/typing.h"

namespace zelmora::cli {

void AddTypingCommands(CLI::App& app);  // score: how a table types

// diff's typing options and report.
struct TypingImpact {
    std::vector<std::string> texts;
    std::string freq;
    bool optimal = false;
    typing::TypingOptions typing;  // how both tables are typed
    bool wanted() const { return !texts.empty() || !freq.empty(); }
};
void AddTypingImpactOptions(CLI::App* cmd, TypingImpact& impact);
// Both tables' figures on the texts and list, the difference, and the words
// typed dearer or cheaper.
std::string TypingImpactReport(const TypingImpact& impact, const std::vector<formats::TableEntry>& oldEntries,
                               TextEncoding oldEncoding, const std::vector<formats::TableEntry>& newEntries,
                               TextEncoding newEncoding, bool tsv);

}  // namespace zelmora::cli
