#pragma once
// The table check: what is suspicious in a table, line by line, with a hook
// for checks by parts that know more about codes.
#include <cstddef>
#include <string>
#include <vector>

#include "formats/document.h"

namespace zelmora::formats {

// A further check of the entries, by a part that knows more about codes than
// their form (the phrase rules of an input method). The table check runs it
// line by line after its own findings on the line.
class EntryCheck {
public:
    virtual ~EntryCheck() = default;
    // Whether the check learns from the whole table before judging a line:
    // then every entry is surveyed first, in file order.
    virtual bool surveys() const { return false; }
    virtual void survey(const TableEntry& entry) { (void)entry; }
    // A checking pass begins (a streamed check may start over): counts restart.
    virtual void begin() {}
    // What the table's header says (its phrase rules), once a pass has read
    // the header: before the pass's first line with entries is checked, or at
    // its end when it has none.
    virtual void header(const TableLayout& layout) { (void)layout; }
    // Findings (UTF-8 messages) on the entries of one line.
    virtual void check(const TableEntry* entries, std::size_t count, std::vector<std::string>& findings) = 0;
};

// Several checks run as one, each in turn, in the order given; none is owned.
class EntryChecks final : public EntryCheck {
public:
    explicit EntryChecks(std::vector<EntryCheck*> checks);
    bool surveys() const override;
    void survey(const TableEntry& entry) override;
    void begin() override;
    void header(const TableLayout& layout) override;
    void check(const TableEntry* entries, std::size_t count, std::vector<std::string>& findings) override;

private:
    std::vector<EntryCheck*> checks_;
};

// What is suspicious in a table: codes with characters outside a-z, codes
// longer than four letters, the same word twice under one code, blank or
// malformed lines, lines that would not be written back as they are, bytes
// that are no character of the encoding; and what `more` finds. In line order.
std::vector<TableProblem> CheckTable(const TableDocument& doc, EntryCheck* more = nullptr);

}  // namespace zelmora::formats
