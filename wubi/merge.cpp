#include "wubi/merge.h"

#include "core/failure.h"
#include "core/text.h"
#include "formats/writing.h"

namespace zelmora {

using formats::Format;
using formats::TableDocument;
using formats::TableEntry;

TableEntry AsTableEntry(const EncodedEntry& e) { return TableEntry{e.code, e.word, e.weight, std::nullopt}; }

namespace {

// The table's lines as a merge sees them, for a document read by the formats library.
class DocumentLines final : public MergeSource {
public:
    explicit DocumentLines(const TableDocument& doc) : doc_(doc) {}
    std::size_t lineCount() const override { return doc_.lines.size(); }
    std::string_view code(std::size_t i) override {
        const auto& l = doc_.lines[i];
        if (l.kind != formats::TableLine::Kind::Entry || l.entryCount == 0) return {};
        return doc_.entries[l.firstEntry].code;
    }
    void words(std::size_t i, std::vector<std::string>& out) override {
        out.clear();
        const auto& l = doc_.lines[i];
        if (l.kind != formats::TableLine::Kind::Entry) return;
        for (std::size_t k = 0; k < l.entryCount; ++k) out.push_back(doc_.entries[l.firstEntry + k].word);
    }

private:
    const TableDocument& doc_;
};

// Merging into a table of a format with one pair per line (or, for yong, one
// code per line): unchanged lines stay byte for byte, new pairs are written in
// the table's own layout.
std::string MergeIntoDocument(const TableDocument& doc, const std::vector<EncodedEntry>& entries, std::size_t& added) {
    DocumentLines source(doc);
    MergePlan plan = PlanMerge(source, entries);
    added = plan.added;
    const bool wordsShareALine = doc.format == Format::Yong;
    std::string_view defaultBreak = "\n";
    for (const auto& l : doc.lines)
        if (l.breakLength) {
            defaultBreak = std::string_view(doc.text).substr(l.offset + l.length, l.breakLength);
            break;
        }
    auto canonical = [&](const std::vector<TableEntry>& es) {
        try {
            return formats::CanonicalLine(doc.format, doc.layout, es.data(), es.size());
        } catch (const Failure& f) {
            throw Failure(std::string("Cannot add to the table: ") + f.what());
        }
    };
    TableWriter w(defaultBreak);
    auto insertNew = [&](const std::vector<std::size_t>& ks) {
        if (wordsShareALine) {
            std::vector<TableEntry> es;
            for (std::size_t k : ks) es.push_back(AsTableEntry(entries[k]));
            w.insert(canonical(es));
        } else {
            for (std::size_t k : ks) w.insert(canonical({AsTableEntry(entries[k])}));
        }
    };
    std::size_t nc = 0;
    for (std::size_t i = 0; i <= doc.lines.size(); ++i) {
        while (nc < plan.newCodes.size() && plan.newCodes[nc].beforeLine == i) insertNew(plan.newCodes[nc++].entries);
        if (i == doc.lines.size()) break;
        const auto& l = doc.lines[i];
        std::string_view lineBreak = std::string_view(doc.text).substr(l.offset + l.length, l.breakLength);
        const std::vector<std::size_t>& joining = plan.joining(i);
        if (!joining.empty() && wordsShareALine) {
            std::vector<TableEntry> es(doc.entries.begin() + l.firstEntry,
                                       doc.entries.begin() + l.firstEntry + l.entryCount);
            for (std::size_t k : joining) es.push_back(AsTableEntry(entries[k]));
            w.line(canonical(es), lineBreak);
            continue;
        }
        w.line(doc.lineText(i), lineBreak);
        if (!joining.empty()) insertNew(joining);
    }
    return w.take();
}

}  // namespace

MergedTable MergeIntoTable(std::string_view bytes, formats::Encoding encoding, Format format,
                           const std::vector<EncodedEntry>& entries) {
    TableDocument doc = formats::ReadTableToMerge(bytes, encoding, format);
    RefuseNulBytes(doc.text, "table");
    MergedTable out;
    std::string text = doc.format == Format::Plain ? MergeIntoGroupLines(doc.text, entries, &out.added)
                                                   : MergeIntoDocument(doc, entries, out.added);
    out.encoding = doc.encoding;
    out.textEncoding = doc.textEncoding();
    out.encodingCloseCall = doc.encodingCloseCall;
    out.bytes = formats::EncodeText(text, doc.encoding, doc.hadBom, out.textEncoding);
    return out;
}

}  // namespace zelmora
