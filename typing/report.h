#pragma once
// The figures as a report: rows of named values, printed as text (one or
// more columns side by side, with the difference of two), JSON or TSV.
#include <string>
#include <vector>

#include "typing/score.h"
#include "typing/typing.h"

namespace zelmora::typing {

struct FigureRow {
    std::string key;    // for JSON and TSV: "keys_per_character", "code_length.4", "key.a" ...
    std::string label;  // for text: "keys per character (字均码长)" ...
    double value = 0;
    bool ratio = false;    // a share or rate (printed as a percentage) rather than a count
    bool average = false;  // a mean (printed with three decimals)
};
// Every figure, in a fixed order: counts, keys, rates, then the
// distributions, key, finger and hand use.
std::vector<FigureRow> FigureRows(const Figures& figures);
std::vector<FigureRow> CharacterRows(const CharacterFigures& figures);

// Columns of rows side by side (rows matched by key); with two columns a
// third gives the second's difference from the first.
std::string RowsText(const std::vector<std::string>& titles, const std::vector<std::vector<FigureRow>>& columns);
std::string RowsTsv(const std::vector<std::string>& titles, const std::vector<std::vector<FigureRow>>& columns);
// {"<title>": {"<key>": value, ...}, ...}
std::string RowsJson(const std::vector<std::string>& titles, const std::vector<std::vector<FigureRow>>& columns);

// The characters the table lacks (or can't type), by count, for text output.
std::string MissingText(const Figures& figures, std::size_t limit);
// Words whose typing changed, dearest first, at most `limit` each way.
std::string ChangesText(const std::vector<WordChange>& changes, std::size_t limit);

}  // namespace zelmora::typing
