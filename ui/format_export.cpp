#include "ui/format_export.h"

#include <algorithm>
#include <atomic>
#include <exception>
#include <thread>
#include <vector>

#include "core/failure.h"
#include "formats/writing.h"

namespace zelmora {

namespace {

using formats::Encoding;
using formats::Format;

}  // namespace

ResultFile EncodeResult(const PaneText& text, const std::string& hint, const OpenedTable& source) {
    formats::WriteOptions w;
    w.format = source.format;
    w.encoding = source.encoding;
    w.bom = source.hadBom;
    w.textEncoding = text.encoding;
    w.name = hint;
    if (w.encoding == Encoding::Gbk && text.encoding == TextEncoding::Gb18030) w.encoding = Encoding::Gb18030;
    const std::string extension = w.format == Format::Rime       ? ".dict.yaml"
                                  : w.format == Format::MsPhrase ? ".dat"
                                                                 : ".txt";
    // A list of words from a Windows phrase file (binary) is UTF-16LE text with a byte-order mark.
    if (w.format == Format::MsPhrase) w.bom = true;
    try {
        std::size_t skipped = 0;
        std::vector<formats::TableEntry> entries;
        std::vector<std::size_t> lineOf;  // a refusal names the pane's line
        if (w.format != Format::Plain) entries = formats::EntriesFromGroupLines(text.bytes, &skipped, &lineOf);
        if (w.format == Format::Plain || skipped)  // plain, or a list of words rather than a code table
            return {hint + ".txt", formats::EncodeText(text.bytes, w.encoding, w.bom, w.textEncoding)};
        // The source's weights (and Rime's stems) go along with the same pairs.
        if (source.extras && !source.extras->byPair.empty() && (w.format == Format::Rime || w.format == Format::Ibus)) {
            for (auto& e : entries) {
                const formats::TableEntry* extra = source.extras->find(e.code, e.word);
                if (!extra) continue;
                e.weight = extra->weight;
                if (w.format == Format::Rime) e.stem = extra->stem;
            }
        }
        return {hint + extension, formats::WriteEntries(entries, w, [&](const formats::TableEntry&, std::size_t k) {
                    return k < lineOf.size() ? lineOf[k] : 0;
                })};
    } catch (const Failure& f) {
        throw Failure(hint + extension + ": " + f.what() + "; nothing was written");
    }
}

std::vector<ResultFile> EncodeResults(const std::vector<NamedText>& texts, const OpenedTable& source) {
    std::vector<ResultFile> files(texts.size());
    std::vector<std::exception_ptr> failures(texts.size());
    // Biggest first, so that the two finish close together.
    std::vector<std::size_t> order(texts.size());
    for (std::size_t i = 0; i < order.size(); ++i) order[i] = i;
    std::stable_sort(order.begin(), order.end(), [&](std::size_t a, std::size_t b) {
        return texts[a].text.bytes.size() > texts[b].text.bytes.size();
    });
    std::atomic<std::size_t> next{0};
    auto worker = [&] {
        for (std::size_t k; (k = next++) < order.size();) {
            const std::size_t i = order[k];
            try {
                files[i] = EncodeResult(texts[i].text, texts[i].hint, source);
            } catch (...) {
                failures[i] = std::current_exception();
            }
        }
    };
    std::thread second(worker);
    worker();
    second.join();
    for (const auto& f : failures)
        if (f) std::rethrow_exception(f);
    return files;
}

}  // namespace zelmora
