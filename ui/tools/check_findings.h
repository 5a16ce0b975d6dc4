#pragma once
// The check's findings as 检查码表 shows them, in Chinese. The table check
// (formats::CheckTable) words its findings in English for the command line,
// whose output scripts read; the window words them again here. The phrase
// codes are judged here entry by entry, so that the phrases that could not
// be checked are listed with their reasons rather than only counted.
#include <QString>
#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "formats/checking.h"
#include "formats/document.h"
#include "wubi/phrase_check.h"
#include "wubi/variant_check.h"

namespace zelmora::tools {

// A finding of the table check in Chinese; a message this doesn't know is
// shown as the check words it.
QString ChineseFinding(std::string_view message);

// The phrase-code check, keeping each phrase it judged wrong or could not
// check with its entry's index (into the entries checked) and the verdict.
class PhraseFindings final : public formats::EntryCheck {
public:
    struct Judged {
        std::size_t entry;
        PhraseCodeCheck::Verdict verdict;
    };

    // `base`: the first of the entries checked (the document's).
    PhraseFindings(PhraseCodeCheck check, const formats::TableEntry* base);

    bool surveys() const override { return check_.surveys(); }
    void survey(const formats::TableEntry& entry) override { check_.survey(entry); }
    void begin() override;
    void header(const formats::TableLayout& layout) override;
    // Records; the findings are worded by the window.
    void check(const formats::TableEntry* entries, std::size_t count, std::vector<std::string>& findings) override;

    std::size_t phrases() const { return phrases_; }
    const std::vector<Judged>& wrong() const { return wrong_; }
    const std::vector<Judged>& unchecked() const { return unchecked_; }
    bool wubiRules() const { return wubiRules_; }

private:
    PhraseCodeCheck check_;
    const formats::TableEntry* base_;
    bool wubiRules_ = true;
    std::size_t phrases_ = 0;
    std::vector<Judged> wrong_, unchecked_;
};

// The variant check, keeping each finding with its entry's index (into the
// entries checked); the window words them from their fields.
class VariantFindings final : public formats::EntryCheck {
public:
    struct Found {
        std::size_t entry;
        VariantFinding finding;
    };

    // `base`: the first of the entries checked (the document's).
    VariantFindings(VariantKinds kinds, const formats::TableEntry* base) : check_(kinds), base_(base) {}

    bool surveys() const override { return check_.surveys(); }
    void survey(const formats::TableEntry& entry) override { check_.survey(entry); }
    void begin() override;
    void header(const formats::TableLayout& layout) override { check_.header(layout); }
    // Records; the findings are worded by the window.
    void check(const formats::TableEntry* entries, std::size_t count, std::vector<std::string>& findings) override;

    const std::vector<Found>& found() const { return found_; }

private:
    VariantCheck check_;
    const formats::TableEntry* base_;
    std::vector<Found> found_;
};

// 编码“utem”下繁体字“顔”排在其简体“颜”之前
QString VariantFindingText(const VariantFinding& finding);

// 词组“中国”编码为“khlx”，按五笔86规则应为“khlg”
QString WrongPhraseText(const formats::TableEntry& entry, const PhraseCodeCheck::Verdict& verdict, bool wubiRules);
// 词组“X乙”（编码 aaaa）无法核对：“X”无全码
QString UncheckedPhraseText(const formats::TableEntry& entry, const PhraseCodeCheck::Verdict& verdict);

}  // namespace zelmora::tools
