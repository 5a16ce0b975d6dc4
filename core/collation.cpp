#include "core/collation.h"

#include <unicode/ucnv.h>
#include <unicode/ucol.h>

#include <algorithm>
#include <cstring>
#include <exception>
#include <memory>
#include <thread>

#include "core/failure.h"
#include "core/text.h"

namespace zelmora {

namespace {

const char* ConverterName(TextEncoding encoding) {
    return encoding == TextEncoding::Gb18030 ? "gb18030" : "windows-936";
}

// ICU's open-and-close model: a converter keeps conversion state and must not
// be used by two threads at once, so each thread opens its own services, once
// (the rules and mapping tables behind them are shared by ICU; opening only
// allocates the state). One converter per encoding, opened on first need; one
// collator, which works on UTF-16 and serves both encodings.
struct IcuServices {
    UCollator* collator = nullptr;
    UConverter* converters[2] = {nullptr, nullptr};

    IcuServices() {
        UErrorCode status = U_ZERO_ERROR;
        collator = ucol_open("zh", &status);
        if (U_FAILURE(status)) throw Failure(std::string("Cannot open collation \"zh\": ") + u_errorName(status));
        ucol_setStrength(collator, UCOL_SECONDARY);
    }
    ~IcuServices() {
        ucol_close(collator);
        for (UConverter* c : converters)
            if (c) ucnv_close(c);
    }
    IcuServices(const IcuServices&) = delete;
    IcuServices& operator=(const IcuServices&) = delete;

    UConverter* converter(TextEncoding encoding) {
        UConverter*& c = converters[encoding == TextEncoding::Gb18030 ? 1 : 0];
        if (!c) {
            UErrorCode status = U_ZERO_ERROR;
            c = ucnv_open(ConverterName(encoding), &status);
            if (U_FAILURE(status))
                throw Failure(std::string("Cannot open converter \"") + ConverterName(encoding) +
                              "\": " + u_errorName(status));
        }
        return c;
    }
};

IcuServices& Services() {
    thread_local IcuServices services;
    return services;
}

void DecodeInto(std::string_view text, TextEncoding encoding, std::u16string& out) {
    // ICU counts in int32; the decoding has at most one unit per byte.
    CheckLimit(text.size(), "bytes of text to decode at once", kMaxInt32 - 1);
    UConverter* cnv = Services().converter(encoding);
    out.resize(text.size() + 1);
    UErrorCode status = U_ZERO_ERROR;
    int32_t n = ucnv_toUChars(cnv, reinterpret_cast<UChar*>(out.data()), static_cast<int32_t>(out.size()), text.data(),
                              static_cast<int32_t>(text.size()), &status);
    if (status == U_BUFFER_OVERFLOW_ERROR) {
        out.resize(static_cast<std::size_t>(n) + 1);
        status = U_ZERO_ERROR;
        n = ucnv_toUChars(cnv, reinterpret_cast<UChar*>(out.data()), static_cast<int32_t>(out.size()), text.data(),
                          static_cast<int32_t>(text.size()), &status);
    }
    if (U_FAILURE(status)) n = 0;
    out.resize(static_cast<std::size_t>(n));
}

void SortKeyInto(const std::u16string& u, std::string& out, std::size_t at) {
    UCollator* coll = Services().collator;
    const std::size_t room = std::min(out.size() - at, kMaxInt32);
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

std::u16string ToUtf16(std::string_view text, TextEncoding encoding) {
    std::u16string u;
    DecodeInto(text, encoding, u);
    return u;
}

long long DoubleByteCharCount(std::string_view text, TextEncoding encoding) {
    if (encoding == TextEncoding::Gb18030) {
        // A four-byte character is one character, not the two or three that
        // the byte-length difference would make of it.
        long long n = 0;
        for (std::size_t i = 0, w = 0; i < text.size(); i += w) {
            w = CharWidth(text, i);
            if (w > 1) ++n;
        }
        return n;
    }
    return static_cast<long long>(text.size()) - static_cast<long long>(ToUtf16(text, encoding).size());
}

int CompareLines(std::string_view a, std::string_view b, TextEncoding encoding) {
    if (a == b) return 0;
    std::u16string ua = ToUtf16(a, encoding), ub = ToUtf16(b, encoding);
    UCollationResult r =
        ucol_strcoll(Services().collator, reinterpret_cast<const UChar*>(ua.data()), static_cast<int32_t>(ua.size()),
                     reinterpret_cast<const UChar*>(ub.data()), static_cast<int32_t>(ub.size()));
    return r == UCOL_LESS ? -1 : (r == UCOL_GREATER ? 1 : 0);
}

std::string SortKey(std::string_view text, TextEncoding encoding) {
    std::u16string u = ToUtf16(text, encoding);
    std::string key(u.size() * 4 + 16, '\0');
    SortKeyInto(u, key, 0);
    return key;
}

namespace {

// Keys for texts[begin, end) into one arena.
template <typename Texts>
void AppendSortKeys(const Texts& texts, TextEncoding encoding, std::size_t begin, std::size_t end, SortKeys& keys) {
    std::u16string u;
    std::size_t guess = 0;
    for (std::size_t i = begin; i < end; ++i) guess += texts[i].size() * 3 + 8;
    keys.bytes.reserve(keys.bytes.size() + guess);
    for (std::size_t i = begin; i < end; ++i) {
        DecodeInto(texts[i], encoding, u);
        std::size_t at = keys.bytes.size();
        keys.bytes.resize(at + u.size() * 4 + 16);
        SortKeyInto(u, keys.bytes, at);
        keys.offsets.push_back(keys.bytes.size());
    }
}

// Large inputs are keyed in two halves at once: each thread has its own ICU
// services, and the halves are joined in order, so the keys are the same.
constexpr std::size_t kParallelKeys = 50000;

template <typename Texts>
SortKeys MakeKeys(const Texts& texts, TextEncoding encoding) {
    SortKeys keys;
    keys.offsets.reserve(texts.size() + 1);
    keys.offsets.push_back(0);
    const std::size_t n = texts.size();
    if (n < kParallelKeys) {
        AppendSortKeys(texts, encoding, 0, n, keys);
        return keys;
    }
    const std::size_t mid = n / 2;
    SortKeys second;
    second.offsets.reserve(n - mid + 1);
    second.offsets.push_back(0);
    std::exception_ptr failure;
    std::thread worker([&] {
        try {
            AppendSortKeys(texts, encoding, mid, n, second);
        } catch (...) {
            failure = std::current_exception();
        }
    });
    AppendSortKeys(texts, encoding, 0, mid, keys);
    worker.join();
    if (failure) std::rethrow_exception(failure);
    const std::size_t base = keys.bytes.size();
    keys.bytes += second.bytes;
    for (std::size_t i = 1; i < second.offsets.size(); ++i) keys.offsets.push_back(base + second.offsets[i]);
    return keys;
}

// A sort slot: the first 16 key bytes as two big-endian words decide most
// comparisons without touching the key arena.
#pragma pack(push, 4)
struct Slot {
    std::uint64_t head0, head1;
    std::uint32_t index;
};
#pragma pack(pop)

std::uint64_t BigEndianWord(std::string_view key, std::size_t from) {
    std::uint64_t w = 0;
    for (std::size_t i = 0; i < 8; ++i) {
        w <<= 8;
        if (from + i < key.size()) w |= static_cast<unsigned char>(key[from + i]);
    }
    return w;
}

}  // namespace

SortKeys MakeSortKeys(const std::vector<std::string>& texts, TextEncoding encoding) {
    return MakeKeys(texts, encoding);
}
SortKeys MakeSortKeys(const std::vector<std::string_view>& texts, TextEncoding encoding) {
    return MakeKeys(texts, encoding);
}

template <typename Texts>
std::vector<std::uint32_t> SortedOrderOf(const Texts& texts, TextEncoding encoding) {
    const std::size_t n = texts.size();
    CheckLimit(n, "lines to sort", kMaxUint32);
    std::vector<std::uint32_t> order(n);
    for (std::size_t i = 0; i < n; ++i) order[i] = static_cast<std::uint32_t>(i);
    if (n < 2) return order;
    const SortKeys keys = MakeKeys(texts, encoding);
    std::vector<Slot> slots(n);
    for (std::size_t i = 0; i < n; ++i) {
        std::string_view k = keys.at(i);
        slots[i] = {BigEndianWord(k, 0), BigEndianWord(k, 8), static_cast<std::uint32_t>(i)};
    }
    // Keys hold no zero byte, so zero padding orders a shorter key first, as
    // a plain byte comparison of the whole keys does.
    auto cmp = [&](const Slot& a, const Slot& b) -> int {
        if (a.head0 != b.head0) return a.head0 < b.head0 ? -1 : 1;
        if (a.head1 != b.head1) return a.head1 < b.head1 ? -1 : 1;
        std::string_view ka = keys.at(a.index), kb = keys.at(b.index);
        if (ka.size() <= 16 && kb.size() <= 16) return 0;
        int c =
            ka.substr(std::min<std::size_t>(16, ka.size())).compare(kb.substr(std::min<std::size_t>(16, kb.size())));
        return c < 0 ? -1 : (c > 0 ? 1 : 0);
    };
    // Lines that are already in strictly ascending order come out as they
    // are, whatever the sort procedure: skip it (the usual case for entry
    // lines that come from the expansion).
    bool ascending = true;
    for (std::size_t i = 1; i < n && ascending; ++i) ascending = cmp(slots[i - 1], slots[i]) < 0;
    if (!ascending) PartitionSortSlots(slots, cmp);
    for (std::size_t i = 0; i < n; ++i) order[i] = slots[i].index;
    return order;
}

std::vector<std::uint32_t> SortedOrder(const std::vector<std::string_view>& texts, TextEncoding encoding) {
    return SortedOrderOf(texts, encoding);
}
std::vector<std::uint32_t> SortedOrder(const TextArena& texts, TextEncoding encoding) {
    return SortedOrderOf(texts, encoding);
}

void SortLines(std::vector<std::string>& lines, TextEncoding encoding) {
    if (lines.size() < 2) return;
    std::vector<std::string_view> views(lines.begin(), lines.end());
    std::vector<std::uint32_t> order = SortedOrder(views, encoding);
    std::vector<std::string> sorted;
    sorted.reserve(lines.size());
    for (std::uint32_t i : order) sorted.push_back(std::move(lines[i]));
    lines.swap(sorted);
}

void SortLines(LineList& list, TextEncoding encoding) { SortLines(list.lines(), encoding); }

long long FindLine(const LineList& list, std::string_view text, TextEncoding encoding) {
    for (std::size_t i = 0; i < list.count(); ++i)
        if (CompareLines(list.lines()[i], text, encoding) == 0) return static_cast<long long>(i);
    return -1;
}

}  // namespace zelmora
