#include "core/collation.h"

#include <unicode/ucnv.h>
#include <unicode/ucol.h>

#include <cstring>
#include <memory>
#include <mutex>

#include "core/failure.h"

namespace zelmora {

namespace {

struct IcuServices {
    UCollator* collator = nullptr;
    UConverter* converter = nullptr;

    IcuServices() {
        UErrorCode status = U_ZERO_ERROR;
        collator = ucol_open("zh", &status);
        if (U_FAILURE(status)) throw Failure(std::string("Cannot open collation \"zh\": ") + u_errorName(status));
        ucol_setStrength(collator, UCOL_SECONDARY);
        status = U_ZERO_ERROR;
        converter = ucnv_open("windows-936", &status);
        if (U_FAILURE(status)) throw Failure(std::string("Cannot open converter \"windows-936\": ") + u_errorName(status));
    }
    ~IcuServices() {
        ucol_close(collator);
        ucnv_close(converter);
    }
};

// One set per thread: ICU converters and collators are not shareable.
IcuServices& Services() {
    thread_local IcuServices services;
    return services;
}

void DecodeInto(std::string_view text, std::u16string& out) {
    UConverter* cnv = Services().converter;
    out.resize(text.size() + 1);
    UErrorCode status = U_ZERO_ERROR;
    int32_t n = ucnv_toUChars(cnv, reinterpret_cast<UChar*>(out.data()), static_cast<int32_t>(out.size()),
                              text.data(), static_cast<int32_t>(text.size()), &status);
    if (status == U_BUFFER_OVERFLOW_ERROR) {
        out.resize(static_cast<std::size_t>(n) + 1);
        status = U_ZERO_ERROR;
        n = ucnv_toUChars(cnv, reinterpret_cast<UChar*>(out.data()), static_cast<int32_t>(out.size()),
                          text.data(), static_cast<int32_t>(text.size()), &status);
    }
    if (U_FAILURE(status)) n = 0;
    out.resize(static_cast<std::size_t>(n));
}

void SortKeyInto(const std::u16string& u, std::string& out, std::size_t at) {
    UCollator* coll = Services().collator;
    std::size_t room = out.size() - at;
    int32_t need = ucol_getSortKey(coll, reinterpret_cast<const UChar*>(u.data()), static_cast<int32_t>(u.size()),
                                   reinterpret_cast<uint8_t*>(out.data() + at), static_cast<int32_t>(room));
    if (static_cast<std::size_t>(need) > room) {
        out.resize(at + static_cast<std::size_t>(need));
        need = ucol_getSortKey(coll, reinterpret_cast<const UChar*>(u.data()), static_cast<int32_t>(u.size()),
                               reinterpret_cast<uint8_t*>(out.data() + at), need);
    }
    // Drop the terminating zero: keys then compare as plain byte strings.
    out.resize(at + static_cast<std::size_t>(need > 0 ? need - 1 : 0));
}

}  // namespace

std::u16string DecodeGbk(std::string_view text) {
    std::u16string u;
    DecodeInto(text, u);
    return u;
}

long long DoubleByteCharCount(std::string_view text) {
    return static_cast<long long>(text.size()) - static_cast<long long>(DecodeGbk(text).size());
}

int CompareLines(std::string_view a, std::string_view b) {
    if (a == b) return 0;
    std::u16string ua = DecodeGbk(a), ub = DecodeGbk(b);
    UCollationResult r = ucol_strcoll(Services().collator, reinterpret_cast<const UChar*>(ua.data()),
                                      static_cast<int32_t>(ua.size()), reinterpret_cast<const UChar*>(ub.data()),
                                      static_cast<int32_t>(ub.size()));
    return r == UCOL_LESS ? -1 : (r == UCOL_GREATER ? 1 : 0);
}

std::string SortKey(std::string_view text) {
    std::u16string u = DecodeGbk(text);
    std::string key(u.size() * 4 + 16, '\0');
    SortKeyInto(u, key, 0);
    return key;
}

SortKeys MakeSortKeys(const std::vector<std::string>& texts) {
    SortKeys keys;
    keys.offsets.reserve(texts.size() + 1);
    keys.offsets.push_back(0);
    std::u16string u;
    std::size_t guess = 0;
    for (const auto& t : texts) guess += t.size() * 3 + 8;
    keys.bytes.reserve(guess);
    for (const auto& t : texts) {
        DecodeInto(t, u);
        std::size_t at = keys.bytes.size();
        keys.bytes.resize(at + u.size() * 4 + 16);
        SortKeyInto(u, keys.bytes, at);
        keys.offsets.push_back(keys.bytes.size());
    }
    return keys;
}

static int CompareKeys(std::string_view a, std::string_view b) {
    int c = a.compare(b);
    return c < 0 ? -1 : (c > 0 ? 1 : 0);
}

void SortLines(std::vector<std::string>& lines) {
    if (lines.size() < 2) return;
    SortKeys keys = MakeSortKeys(lines);
    std::vector<std::size_t> perm(lines.size());
    for (std::size_t i = 0; i < perm.size(); ++i) perm[i] = i;
    PartitionSort(perm, [&](std::size_t a, std::size_t b) { return CompareKeys(keys.at(a), keys.at(b)); });
    std::vector<std::string> sorted;
    sorted.reserve(lines.size());
    for (std::size_t i : perm) sorted.push_back(std::move(lines[i]));
    lines.swap(sorted);
}

void SortLines(LineList& list) { SortLines(list.lines()); }

long long FindLine(const LineList& list, std::string_view text) {
    for (std::size_t i = 0; i < list.count(); ++i)
        if (CompareLines(list.lines()[i], text) == 0) return static_cast<long long>(i);
    return -1;
}

}  // namespace zelmora
