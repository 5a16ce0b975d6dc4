#pragma once
// Every derivation in the order a user runs them in the window, on a source
// table and (optionally) a one-word-per-line table of the user's own.
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "core/text_encoding.h"
#include "transform/results.h"

namespace zelmora {

struct PipelineResult {
    // (hint, text) for every result pane, in the order of kResults.
    std::vector<std::pair<std::string, std::string>> outputs;
    // (tab caption, status text), UTF-8.
    std::vector<std::pair<std::string, std::string>> statusLines;
};

// `source` is taken as a pane load takes it (line breaks made CR LF); `entries`,
// when given, as a paste into the one-word-per-line pane. Both are bytes of
// `encoding`: GBK as the window holds them, GB18030 for tables read from
// Unicode files. `step` is told the name of each step before it starts (for
// progress reports). Runs of different tables may go on at once.
PipelineResult RunPipeline(std::string_view source, const std::optional<std::string>& entries, TextEncoding encoding,
                           const std::function<void(const char*)>& step = {});

// The derivation subcommands: which derivations to run (the expansion is
// always among the outputs: the others read it). `onOutput`, when given, is
// handed each output (hint, text) as soon as it is done, one at a time, from
// whichever thread did it. When `mayTake`, it may take the text away (to
// write it while the rest are worked out), and the result keeps whatever it
// leaves; the expansion's text comes without `mayTake`, while the others may
// still be reading it, and must be left as it is.
using OutputCallback = std::function<void(const std::string& hint, std::string& text, bool mayTake)>;
PipelineResult RunDerivations(std::string_view source, const std::optional<std::string>& entries,
                              const std::vector<Derivation>& which, TextEncoding encoding,
                              const std::function<void(const char*)>& step = {}, const OutputCallback& onOutput = {});

}  // namespace zelmora
