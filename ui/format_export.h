#pragma once
// Result panes written back in the source table's format and encoding, the
// way `zelmora-cli run --output-format` writes them.
#include <string>
#include <vector>

#include "ui/pane_text.h"
#include "ui/table_file.h"

namespace zelmora {

struct ResultFile {
    std::string name;  // the hint and the format's extension (UTF-8)
    std::string bytes;
};

// A pane's text as a file of the source's format and encoding: Rime results
// as "<hint>.dict.yaml" with the source's weights and stems, plain ones as
// "<hint>.txt"; a text that is no code table as plain text. A GBK source's
// result that holds characters outside GBK is written as GB18030, which
// keeps them. Fails (naming the file) when the encoding can't hold a
// character; nothing is written here.
ResultFile EncodeResult(const PaneText& text, const std::string& hint, const OpenedTable& source);

// Many of them, two at a time (the machines we aim at have two cores), in the
// order given; the first failure in that order is raised.
struct NamedText {
    PaneText text;
    std::string hint;
};
std::vector<ResultFile> EncodeResults(const std::vector<NamedText>& texts, const OpenedTable& source);

}  // namespace zelmora
