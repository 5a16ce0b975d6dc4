// The figures as rows, and the rows as text, TSV and JSON.
#include "typing/report.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <map>

namespace zelmora::typing {

namespace {

FigureRow Count(std::string key, std::string label, std::uint64_t n) {
    return {std::move(key), std::move(label), static_cast<double>(n), false, false};
}
FigureRow Ratio(std::string key, std::string label, double r) {
    return {std::move(key), std::move(label), r, true, false};
}
FigureRow Mean(std::string key, std::string label, double m) {
    return {std::move(key), std::move(label), m, false, true};
}

std::string KeyName(char key) {
    if (key == ' ') return "space";
    return std::string(1, key);
}

std::string Value(const FigureRow& row, bool difference) {
    char buffer[64];
    if (row.ratio)
        std::snprintf(buffer, sizeof buffer, difference ? "%+.2f pp" : "%.2f%%", row.value * 100);
    else if (row.average)
        std::snprintf(buffer, sizeof buffer, difference ? "%+.3f" : "%.3f", row.value);
    else
        std::snprintf(buffer, sizeof buffer, difference ? "%+.0f" : "%.0f", row.value);
    return buffer;
}

// Display width: a CJK character takes two columns.
std::size_t Width(const std::string& s) {
    std::size_t w = 0;
    for (std::size_t i = 0; i < s.size();) {
        const auto c = static_cast<unsigned char>(s[i]);
        const std::size_t n = c < 0x80 ? 1 : c < 0xE0 ? 2 : c < 0xF0 ? 3 : 4;
        w += n >= 3 ? 2 : 1;
        i += n;
    }
    return w;
}

std::string Pad(const std::string& s, std::size_t width, bool right) {
    const std::size_t w = Width(s);
    const std::string fill(width > w ? width - w : 0, ' ');
    return right ? fill + s : s + fill;
}

// The rows of every column, matched by key, in first-seen order, with the
// difference of a second column from the first.
struct Table {
    std::vector<const FigureRow*> rows;  // one per key: its first occurrence
    std::vector<std::vector<std::string>> cells;
    std::vector<std::string> titles;
};

Table Match(const std::vector<std::string>& titles, const std::vector<std::vector<FigureRow>>& columns) {
    Table t;
    t.titles = titles;
    // A row only a later column has goes after the row before it there, so
    // that a distribution's values stay together and in order.
    for (const auto& column : columns) {
        std::size_t after = 0;  // where the next new row goes
        for (const FigureRow& row : column) {
            const auto it =
                std::find_if(t.rows.begin(), t.rows.end(), [&](const FigureRow* r) { return r->key == row.key; });
            if (it != t.rows.end()) {
                after = static_cast<std::size_t>(it - t.rows.begin()) + 1;
                continue;
            }
            t.rows.insert(t.rows.begin() + static_cast<std::ptrdiff_t>(after), &row);
            ++after;
        }
    }
    const bool difference = columns.size() == 2;
    if (difference) t.titles.push_back("difference");
    for (const FigureRow* row : t.rows) {
        std::vector<std::string> cells;
        std::vector<double> values;
        for (const auto& column : columns) {
            const auto it =
                std::find_if(column.begin(), column.end(), [&](const FigureRow& r) { return r.key == row->key; });
            FigureRow r = it == column.end() ? *row : *it;
            if (it == column.end()) r.value = 0;
            values.push_back(r.value);
            cells.push_back(Value(r, false));
        }
        if (difference) {
            FigureRow d = *row;
            d.value = values[1] - values[0];
            cells.push_back(Value(d, true));
        }
        t.cells.push_back(std::move(cells));
    }
    return t;
}

std::string JsonString(const std::string& s) {
    std::string out = "\"";
    for (char c : s) {
        if (c == '"' || c == '\\') out += '\\';
        if (static_cast<unsigned char>(c) < 0x20) {
            char buffer[8];
            std::snprintf(buffer, sizeof buffer, "\\u%04x", static_cast<unsigned>(c));
            out += buffer;
            continue;
        }
        out += c;
    }
    return out + "\"";
}

std::string JsonNumber(const FigureRow& row) {
    char buffer[64];
    if (row.ratio || row.average)
        std::snprintf(buffer, sizeof buffer, "%.6f", row.value);
    else
        std::snprintf(buffer, sizeof buffer, "%.0f", row.value);
    return buffer;
}

}  // namespace

std::vector<FigureRow> FigureRows(const Figures& f) {
    std::vector<FigureRow> rows = {
        Count("characters.table", "characters typed through the table", f.tableCharacters),
        Count("characters.han", "  Han among them", f.han),
        Count("characters.missing", "Han characters the table lacks (missing)", f.missing),
        Count("characters.unkeyed", "other characters nothing types (unkeyed)", f.unkeyed),
        Count("characters.keyed_punctuation", "punctuation typed by its key", f.keyedPunctuation),
        Count("characters.keyed_other", "letters and digits typed by their key", f.keyedOther),
        Count("commits", "commits", f.commits),
        Count("keys.all", "keys, everything typed", f.allKeys()),
        Count("keys.table", "keys typing through the table", f.tableKeys()),
        Count("keys.letters", "  code letters", f.letters),
        Count("keys.spaces", "  spaces", f.spaces),
        Count("keys.selection", "  selection keys", f.selections),
        Count("keys.page_down", "  page-down keys", f.pageDowns),
        Count("keys.keyed", "keys of keyed characters (shift included)", f.keyedKeys),
        Count("spaces_saved", "spaces saved by punctuation", f.spacesSaved),
        Mean("keys_per_character", "keys per character (字均码长)", f.keysPerCharacter()),
        Mean("keys_per_typed_character", "keys per character, everything typed", f.keysPerTypedCharacter()),
        Count("selections", "selections (commits past the first candidate)", f.selectionCommits),
        Ratio("selections.share_of_commits", "  share of commits",
              f.commits ? double(f.selectionCommits) / double(f.commits) : 0),
        Ratio("selection_rate", "selection rate (选重率, per character)", f.selectionRate()),
        Count("words", "words (commits of two or more characters)", f.wordCommits),
        Ratio("word_rate", "word rate (打词率, Han characters in words)", f.wordRate()),
        Count("words.first_candidate", "  words at the first candidate", f.firstCandidateWords),
        Ratio("word_rate.first_candidate", "  Han characters in first-candidate words", f.firstCandidateWordRate()),
        Ratio("hand_alternation", "hand alternation (pairs of keys)", f.handAlternationRate()),
        Ratio("same_finger", "same finger, two keys in a row", f.sameFingerRate()),
        Ratio("same_key", "same key twice in a row", f.sameKeyRate()),
    };
    auto distribution = [&rows](const std::vector<std::uint64_t>& counts, const char* key, const char* label) {
        for (std::size_t i = 0; i < counts.size(); ++i)
            if (counts[i])
                rows.push_back(Count(std::string(key) + "." + std::to_string(i),
                                     std::string(label) + " " + std::to_string(i), counts[i]));
    };
    distribution(f.byCodeLength, "code_length", "commits by code length");
    distribution(f.byWordLength, "word_length", "commits by word length");
    distribution(f.byPosition, "position", "commits by candidate position");
    for (std::size_t k = 0; k < f.keyUse.size(); ++k)
        if (f.keyUse[k]) {
            const std::string name = KeyName(static_cast<char>(k));
            rows.push_back(Count("key." + name, "key " + name, f.keyUse[k]));
        }
    if (f.leftShifts) rows.push_back(Count("key.left_shift", "key left shift", f.leftShifts));
    if (f.rightShifts) rows.push_back(Count("key.right_shift", "key right shift", f.rightShifts));
    const auto fingers = f.fingerUse();
    for (std::size_t i = 0; i < kFingers; ++i) {
        std::string name = FingerName(static_cast<Finger>(i));
        std::string key = name;
        std::replace(key.begin(), key.end(), ' ', '_');
        rows.push_back(Count("finger." + key, "finger: " + name, fingers[i]));
    }
    const auto hands = f.handUse();
    const char* handNames[] = {"left", "right", "thumbs"};
    for (std::size_t i = 0; i < hands.size(); ++i)
        rows.push_back(Count(std::string("hand.") + handNames[i], std::string("hand: ") + handNames[i], hands[i]));
    return rows;
}

std::vector<FigureRow> CharacterRows(const CharacterFigures& f) {
    const std::string s = "chars." + f.set;
    return {
        Count(s + ".characters", "characters in " + f.set, f.characters),
        Count(s + ".present", "  of them in the table", f.present),
        Count(s + ".weight", "  their weight in the list", f.weight),
        Count(s + ".missing_weight", "  weight of those the table lacks", f.missingWeight),
        Mean(s + ".full_keys_per_character", "weighted keys per character, full codes", f.fullKeysPerCharacter()),
        Mean(s + ".keys_per_character", "weighted keys per character, with short codes", f.shortKeysPerCharacter()),
        Ratio(s + ".selection_rate", "weighted selection rate, with short codes", f.selectionRate()),
    };
}

std::string RowsText(const std::vector<std::string>& titles, const std::vector<std::vector<FigureRow>>& columns) {
    const Table t = Match(titles, columns);
    std::size_t labelWidth = 0;
    for (const FigureRow* row : t.rows) labelWidth = std::max(labelWidth, Width(row->label));
    std::vector<std::size_t> widths(t.titles.size(), 0);
    if (columns.size() > 1)  // titles are printed over several columns only
        for (std::size_t c = 0; c < t.titles.size(); ++c) widths[c] = Width(t.titles[c]);
    for (const auto& cells : t.cells)
        for (std::size_t c = 0; c < cells.size(); ++c) widths[c] = std::max(widths[c], Width(cells[c]));
    std::string out;
    if (columns.size() > 1) {
        out += Pad("", labelWidth, false);
        for (std::size_t c = 0; c < t.titles.size(); ++c) out += "  " + Pad(t.titles[c], widths[c], true);
        out += "\n";
    }
    for (std::size_t r = 0; r < t.rows.size(); ++r) {
        out += Pad(t.rows[r]->label, labelWidth, false);
        for (std::size_t c = 0; c < t.cells[r].size(); ++c) out += "  " + Pad(t.cells[r][c], widths[c], true);
        out += "\n";
    }
    return out;
}

std::string RowsTsv(const std::vector<std::string>& titles, const std::vector<std::vector<FigureRow>>& columns) {
    const Table t = Match(titles, columns);
    std::string out = "figure";
    for (const std::string& title : t.titles) out += "\t" + title;
    out += "\n";
    for (std::size_t r = 0; r < t.rows.size(); ++r) {
        out += t.rows[r]->key;
        for (std::size_t c = 0; c < columns.size(); ++c) {
            const auto& column = columns[c];
            const auto it = std::find_if(column.begin(), column.end(),
                                         [&](const FigureRow& row) { return row.key == t.rows[r]->key; });
            FigureRow v = *t.rows[r];
            v.value = it == column.end() ? 0 : it->value;
            out += "\t" + JsonNumber(v);
        }
        if (columns.size() == 2) {
            FigureRow d = *t.rows[r];
            const auto value = [&](const std::vector<FigureRow>& column) {
                const auto it =
                    std::find_if(column.begin(), column.end(), [&](const FigureRow& row) { return row.key == d.key; });
                return it == column.end() ? 0.0 : it->value;
            };
            d.value = value(columns[1]) - value(columns[0]);
            out += "\t" + JsonNumber(d);
        }
        out += "\n";
    }
    return out;
}

std::string RowsJson(const std::vector<std::string>& titles, const std::vector<std::vector<FigureRow>>& columns) {
    std::string out = "{";
    for (std::size_t c = 0; c < columns.size(); ++c) {
        out += c ? ",\n " : "\n ";
        out += JsonString(c < titles.size() ? titles[c] : std::to_string(c)) + ": {";
        for (std::size_t r = 0; r < columns[c].size(); ++r) {
            out += r ? ", " : "";
            out += JsonString(columns[c][r].key) + ": " + JsonNumber(columns[c][r]);
        }
        out += "}";
    }
    return out + "\n}\n";
}

std::string MissingText(const Figures& f, std::size_t limit) {
    std::string out;
    for (auto [characters, title] :
         {std::pair{&f.missingCharacters, "missing Han characters"}, {&f.unkeyedCharacters, "unkeyed characters"}}) {
        if (characters->empty()) continue;
        std::vector<std::pair<std::uint64_t, char32_t>> byCount;
        for (const auto& [c, n] : *characters) byCount.emplace_back(n, c);
        std::stable_sort(byCount.begin(), byCount.end(),
                         [](const auto& a, const auto& b) { return a.first > b.first; });
        out += std::string(title) + " (" + std::to_string(byCount.size()) + ", by count):";
        for (std::size_t i = 0; i < byCount.size() && i < limit; ++i) {
            char code[16];
            std::snprintf(code, sizeof code, "U+%04X", static_cast<unsigned>(byCount[i].second));
            const bool visible = byCount[i].second >= 0x20 && !(byCount[i].second >= 0x7F && byCount[i].second < 0xA0);
            out += " " + (visible ? Utf8Of(std::u32string(1, byCount[i].second)) : std::string()) + "(" + code + ")×" +
                   std::to_string(byCount[i].first);
        }
        if (byCount.size() > limit) out += " …";
        out += "\n";
    }
    return out;
}

std::string ChangesText(const std::vector<WordChange>& changes, std::size_t limit) {
    std::string out;
    auto line = [&out](const WordChange& c) {
        std::string word;
        word = Utf8Of(c.word);
        char buffer[128];
        std::snprintf(buffer, sizeof buffer, "  %+lld keys: typed %llu time%s, %llu keys -> %llu  ",
                      static_cast<long long>(c.impact()), static_cast<unsigned long long>(c.times),
                      c.times == 1 ? "" : "s", static_cast<unsigned long long>(c.oldKeys),
                      static_cast<unsigned long long>(c.newKeys));
        out += buffer + word + "\n";
    };
    std::size_t dearer = 0, cheaper = 0;
    for (const WordChange& c : changes) (c.impact() > 0 ? dearer : cheaper) += 1;
    out += "words typed dearer (" + std::to_string(dearer) + "), most keys lost first:\n";
    for (std::size_t i = 0; i < changes.size() && i < limit && changes[i].impact() > 0; ++i) line(changes[i]);
    out += "words typed cheaper (" + std::to_string(cheaper) + "), most keys saved first:\n";
    for (std::size_t i = 0; i < cheaper && i < limit; ++i) line(changes[changes.size() - 1 - i]);
    return out;
}

}  // namespace zelmora::typing
