#include "ui/format_export.h"

#include <unordered_map>
#include <vector>

#include "core/failure.h"

namespace zelmora {

namespace {

using formats::Encoding;
using formats::Format;

std::string PairKey(const std::string& code, const std::string& word) { return code + '\x01' + word; }

}  // namespace

ResultFile EncodeResult(const PaneText& text, const std::string& hint, const OpenedTable& source) {
    formats::WriteOptions w;
    w.format = source.format;
    w.encoding = source.encoding;
    w.bom = source.hadBom;
    w.textEncoding = text.encoding;
    w.name = hint;
    if (w.encoding == Encoding::Gbk && text.encoding == TextEncoding::Gb18030) w.encoding = Encoding::Gb18030;
    const std::string extension = w.format == Format::Rime ? ".dict.yaml" : ".txt";
    try {
        std::size_t skipped = 0;
        std::vector<formats::TableEntry> entries;
        if (w.format != Format::Plain) entries = formats::EntriesFromGroupLines(text.bytes, &skipped);
        if (w.format == Format::Plain || skipped)  // plain, or a list of words rather than a code table
            return {hint + ".txt", formats::EncodeText(text.bytes, w.encoding, w.bom, w.textEncoding)};
        // The source's weights (and Rime's stems) go along with the same pairs.
        if (source.extras && (w.format == Format::Rime || w.format == Format::Ibus)) {
            std::unordered_map<std::string, const formats::TableEntry*> extras;
            for (const auto& e : source.extras->entries) extras.try_emplace(PairKey(e.code, e.word), &e);
            for (auto& e : entries) {
                auto it = extras.find(PairKey(e.code, e.word));
                if (it == extras.end()) continue;
                e.weight = it->second->weight;
                if (w.format == Format::Rime) e.stem = it->second->stem;
            }
        }
        return {hint + extension, formats::WriteEntries(entries, w)};
    } catch (const Failure& f) {
        throw Failure(hint + extension + ": " + f.what() + "; nothing was written");
    }
}

}  // namespace zelmora
