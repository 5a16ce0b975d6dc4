#include "core/collation.h"

#include "core/collation_internal.h"

#include <unicode/uchar.h>
#include <unicode/ucnv.h>
#include <unicode/ucol.h>
#include <unicode/ucoleitr.h>
#include <unicode/uset.h>
#include <unicode/utf16.h>

#include <algorithm>
#include <atomic>
#include <cstring>
#include <exception>
#include <memory>
#include <mutex>
#include <thread>
#include <unordered_map>

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

void IcuSortKeyInto(const std::u16string& u, std::string& out, std::size_t at) {
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

// Sort keys from a weight table. ICU writes a key from the text's collation
// elements (CEs), one after another: the primary weights (lead bytes
// reordered; a run of primaries that share a "compressible" lead byte writes
// it once), a level separator, then the secondary weights (a run of common
// ones counted into one byte). For text of ASCII, double-byte characters and
// (in GB18030) four-byte ones the CEs of each character are taken from ICU once, checked against ICU's
// own key of the character, and keys are then written by the same rules
// without converting the text or walking ICU's data. Whatever the table can't
// vouch for (a character whose key it could not reproduce, one of a
// combining class, a contraction such as 藏文 present in the text, bytes that
// are no character) leaves the whole text to ICU.
namespace weights {

constexpr int kMaxCes = 4;
constexpr std::uint32_t kAsciiUnits = 128;
constexpr std::uint32_t kTrails = 0xFF - 0x40;  // trail bytes 0x40..0xFE
constexpr std::uint32_t kUnits = kAsciiUnits + (0xFE - 0x81 + 1) * kTrails;
constexpr std::uint16_t kCommonSecondary = 0x0500;

struct Ce {
    std::uint32_t primary = 0;  // reordered, as keys hold it; 0 for none
    std::uint16_t secondary = 0;
    bool compressible = false;
};

// kSeen: a four-byte character met once. Most of those are rare characters
// met once or twice in a table: ICU keys their texts for less than learning
// the character costs, so it is learnt when met again.
enum : std::uint8_t { kUnknown = 0, kTable = 1, kIcu = 2, kSeen = 3 };

struct Unit {
    std::atomic<std::uint8_t> state{kUnknown};
    std::uint8_t count = 0;
    // The rest of each of the collator's contractions that begin with it.
    const std::vector<std::u32string>* contractions = nullptr;
    char32_t code = 0;
    // Its class of equal weights when it is one CE with a primary; 0 if not.
    std::uint32_t classId = 0;
    Ce ces[kMaxCes];
};

// A CE as ICU's element iterator gives it: its first half and, for primaries
// or secondaries of more bytes, a continuation merged in. Unreordered.
struct RawCe {
    std::uint32_t primary = 0;
    std::uint16_t secondary = 0;
};

// The CEs of `u`, in order, those of no weight at either level left out;
// false if ICU fails.
bool RawCesOf(const std::u16string& u, std::vector<RawCe>& ces) {
    ces.clear();
    UErrorCode status = U_ZERO_ERROR;
    UCollationElements* elements = ucol_openElements(Services().collator, reinterpret_cast<const UChar*>(u.data()),
                                                     static_cast<int32_t>(u.size()), &status);
    if (U_FAILURE(status)) return false;
    bool kept = false;  // whether the last CE was kept, to take its continuation
    for (int32_t e; (e = ucol_next(elements, &status)) != UCOL_NULLORDER && U_SUCCESS(status);) {
        const auto half = static_cast<std::uint32_t>(e);
        if ((half & 0xC0) == 0xC0) {  // continuation
            if (kept) {
                ces.back().primary |= half >> 16;
                ces.back().secondary = static_cast<std::uint16_t>(ces.back().secondary | ((half >> 8) & 0xFF));
            }
            continue;
        }
        const RawCe ce{half & 0xFFFF0000u, static_cast<std::uint16_t>(half & 0xFF00)};
        kept = ce.primary != 0 || ce.secondary != 0;
        if (kept) ces.push_back(ce);
    }
    ucol_closeElements(elements);
    return U_SUCCESS(status);
}

// GB18030's four-byte characters, b1 b2 b3 b4 with b1 and b3 lead bytes and
// b2 and b4 digits, in blocks by their first two bytes.
constexpr std::uint32_t kBlockUnits = 126 * 10;
constexpr std::uint32_t kBlocks = 126 * 10;

// The unit at text[i]: an ASCII byte other than NUL, or a lead byte and a
// trail byte 0x40..0xFE (the double-byte characters of both encodings), into
// `unit`; or, when `fourBytes`, a four-byte character, into `block` (its
// block) and `unit` (its place in the block).
inline bool UnitAt(std::string_view text, std::size_t i, bool fourBytes, std::uint32_t& block, std::uint32_t& unit,
                   std::size_t& width) {
    const auto b = static_cast<unsigned char>(text[i]);
    if (b < 0x80) {
        unit = b;
        width = 1;
        return b != 0;
    }
    if (!IsLeadByte(b) || i + 1 >= text.size()) return false;
    const auto t = static_cast<unsigned char>(text[i + 1]);
    if (t >= 0x30 && t <= 0x39 && fourBytes && i + 3 < text.size()) {
        const auto b3 = static_cast<unsigned char>(text[i + 2]), b4 = static_cast<unsigned char>(text[i + 3]);
        if (!IsLeadByte(b3) || b4 < 0x30 || b4 > 0x39) return false;
        block = (b - 0x81u) * 10 + (t - 0x30u);
        unit = (b3 - 0x81u) * 10 + (b4 - 0x30u);
        width = 4;
        return true;
    }
    if (t < 0x40 || t == 0x7F || t == 0xFF) return false;
    unit = kAsciiUnits + (b - 0x81u) * kTrails + (t - 0x40u);
    width = 2;
    return true;
}

// ICU's rules for a key at secondary strength (no case level, no backward
// secondaries, non-ignorable), CE by CE.
class KeyWriter {
public:
    // Room for kKeyBytesPerCe bytes a CE, and 2 more, at both.
    KeyWriter(char* primaries, char* secondaries) : out_(primaries), secondaries_(secondaries), s_(secondaries) {}
    void add(const Ce& ce) {
        if (const std::uint32_t p = ce.primary) {
            const std::uint32_t lead = p >> 24;
            if (!ce.compressible || lead != (previous_ >> 24)) {
                if (previous_ != 0) {
                    // Ends the run of a compressed lead byte, below or above.
                    if (p < previous_) {
                        if (lead > 0x02) *out_++ = '\x03';
                    } else {
                        *out_++ = '\xFF';
                    }
                }
                *out_++ = static_cast<char>(lead);
                previous_ = ce.compressible ? p : 0;
            }
            if (const auto b2 = static_cast<char>(p >> 16)) {
                *out_++ = b2;
                if (const auto b3 = static_cast<char>(p >> 8)) {
                    *out_++ = b3;
                    if (const auto b4 = static_cast<char>(p)) *out_++ = b4;
                }
            }
        }
        const std::uint16_t s = ce.secondary;
        if (s == 0) return;
        if (s == kCommonSecondary) {
            ++commons_;
            return;
        }
        flushCommons(s < kCommonSecondary);
        *s_++ = static_cast<char>(s >> 8);
        if (s & 0xFF) *s_++ = static_cast<char>(s & 0xFF);
    }
    // The level separator and the secondaries after the primaries; the end
    // of the key.
    char* finish() {
        flushCommons(true);  // the end sorts below any weight
        *out_++ = '\x01';
        const auto n = static_cast<std::size_t>(s_ - secondaries_);
        std::memcpy(out_, secondaries_, n);
        return out_ + n;
    }

private:
    void flushCommons(bool belowCommon) {
        if (commons_ == 0) return;
        int n = commons_ - 1;
        commons_ = 0;
        for (; n >= 0x21; n -= 0x21) *s_++ = '\x25';
        *s_++ = static_cast<char>(belowCommon ? 0x05 + n : 0x45 - n);
    }
    char* out_;
    char* const secondaries_;
    char* s_;
    std::uint32_t previous_ = 0;  // the last compressible primary; 0 after any other
    int commons_ = 0;
};

// Bytes a CE may write: a compression terminator and four primary bytes at
// most; the secondaries, two and a count byte, are written apart. The
// primaries' buffer takes the secondaries at the end too.
constexpr std::size_t kKeyBytesPerCe = 9;

class WeightTable {
public:
    explicit WeightTable(TextEncoding encoding)
        : encoding_(encoding),
          units_(new Unit[kUnits]),
          blocks_(encoding == TextEncoding::Gb18030 ? new std::atomic<Unit*>[kBlocks] : nullptr) {
        if (blocks_)
            for (std::uint32_t b = 0; b < kBlocks; ++b) blocks_[b].store(nullptr, std::memory_order_relaxed);
        UCollator* coll = Services().collator;
        UErrorCode status = U_ZERO_ERROR;
        usable_ = ucol_getStrength(coll) == UCOL_SECONDARY &&
                  ucol_getAttribute(coll, UCOL_FRENCH_COLLATION, &status) == UCOL_OFF &&
                  ucol_getAttribute(coll, UCOL_ALTERNATE_HANDLING, &status) == UCOL_NON_IGNORABLE &&
                  ucol_getAttribute(coll, UCOL_CASE_LEVEL, &status) == UCOL_OFF &&
                  ucol_getAttribute(coll, UCOL_NORMALIZATION_MODE, &status) == UCOL_OFF &&
                  ucol_getAttribute(coll, UCOL_NUMERIC_COLLATION, &status) == UCOL_OFF && U_SUCCESS(status);
        // Contractions and prefix contexts, by their first character.
        USet* contractions = uset_openEmpty();
        ucol_getContractionsAndExpansions(coll, contractions, nullptr, true, &status);
        if (U_FAILURE(status)) usable_ = false;
        const int32_t items = uset_getItemCount(contractions);
        for (int32_t i = 0; i < items && usable_; ++i) {
            UChar32 start = 0, end = 0;
            char16_t s[64];
            status = U_ZERO_ERROR;
            const int32_t length =
                uset_getItem(contractions, i, &start, &end, reinterpret_cast<UChar*>(s), 64, &status);
            if (U_FAILURE(status) || length == 1) {
                usable_ = false;
            } else if (length > 1) {
                std::u32string codes;
                for (int32_t k = 0; k < length;) {
                    UChar32 c = 0;
                    U16_NEXT(s, k, length, c);
                    codes += static_cast<char32_t>(c);
                }
                if (codes.size() > 1) contractions_[codes[0]].push_back(codes.substr(1));
            }
        }
        uset_close(contractions);
    }

    // Appends the key of `text` to `out` and returns true, or returns false
    // with `out` unchanged when ICU has to write it.
    bool appendKey(std::string_view text, std::string& out) {
        if (!usable_) return false;
        thread_local std::vector<const Unit*> units;
        thread_local std::vector<char> primaries, secondaries;
        units.clear();
        bool starter = false;
        std::size_t ces = 0;
        for (std::size_t i = 0, width = 0; i < text.size(); i += width) {
            const Unit* at = unitAt(text, i, width);
            if (!at) return false;
            const Unit& u = *at;
            if (u.state.load(std::memory_order_acquire) != kTable) return false;
            starter |= u.contractions != nullptr;
            ces += u.count;
            units.push_back(&u);
        }
        if (starter && holdsContraction(units)) return false;
        const std::size_t room = kKeyBytesPerCe * ces + 2;
        if (primaries.size() < room) {
            primaries.resize(2 * room);
            secondaries.resize(2 * room);
        }
        KeyWriter w(primaries.data(), secondaries.data());
        for (const Unit* u : units)
            for (int k = 0; k < u->count; ++k) w.add(u->ces[k]);
        out.append(primaries.data(), static_cast<std::size_t>(w.finish() - primaries.data()));
        return true;
    }

    // Appends 'C' and the class of each character, and returns true, when
    // every character is one CE with a primary and no contraction is present;
    // otherwise returns false, `out` unchanged.
    bool appendClasses(std::string_view text, std::string& out) {
        if (!usable_) return false;
        thread_local std::vector<const Unit*> units;
        units.clear();
        bool starter = false;
        // A rare character is learnt only for sort keys: an equality key
        // without it costs about what learning it would.
        for (std::size_t i = 0, width = 0; i < text.size(); i += width) {
            const Unit* at = unitAt(text, i, width, false);
            if (!at) return false;
            const Unit& u = *at;
            if (u.state.load(std::memory_order_acquire) != kTable || u.classId == 0) return false;
            starter |= u.contractions != nullptr;
            units.push_back(&u);
        }
        if (starter && holdsContraction(units)) return false;
        const std::size_t at = out.size();
        out.resize(at + 1 + kClassBytes * units.size());
        char* p = out.data() + at;
        *p++ = 'C';
        for (const Unit* u : units) p = WriteClass(u->classId, p);
        return true;
    }

    // The same from the CEs ICU gives for the whole decoded text: 'C' and
    // their classes when each has a primary; false when one has none.
    bool appendClassesOfCes(const std::u16string& u, std::string& out) {
        thread_local std::vector<RawCe> ces;
        if (!usable_ || !RawCesOf(u, ces)) return false;
        std::string ids(kClassBytes * ces.size(), '\0');
        char* p = ids.data();
        {
            std::lock_guard<std::mutex> lock(classMutex_);
            for (const RawCe& ce : ces) {
                if (ce.primary == 0 || ce.secondary == 0) return false;
                const std::uint32_t id = classOf(ce);
                if (id == 0) return false;
                p = WriteClass(id, p);
            }
        }
        out += 'C';
        out += ids;
        return true;
    }

private:
    static constexpr std::size_t kClassBytes = 3;
    static constexpr std::uint32_t kMostClasses = (1u << 24) - 1;

    static char* WriteClass(std::uint32_t id, char* p) {
        *p++ = static_cast<char>(id >> 16);
        *p++ = static_cast<char>(id >> 8);
        *p++ = static_cast<char>(id);
        return p;
    }

    // The class of a CE's weights, numbered as first met (under classMutex_):
    // the same weights, the same class, whichever way they were met; 0 once
    // there are too many to number.
    std::uint32_t classOf(const RawCe& ce) {
        const std::uint64_t weights = (static_cast<std::uint64_t>(ce.primary) << 16) | ce.secondary;
        const auto found = classes_.find(weights);
        if (found != classes_.end()) return found->second;
        if (classes_.size() >= kMostClasses) return 0;
        const auto id = static_cast<std::uint32_t>(classes_.size() + 1);
        classes_.emplace(weights, id);
        return id;
    }

    // The unit at text[i], its CEs worked out on first need; null for bytes
    // that are no unit. Kept small, to be inlined into the loops over text:
    // a known double-byte or ASCII unit is a load and a test.
    // `learnRare`: whether a four-byte character met again is learnt now.
    const Unit* unitAt(std::string_view text, std::size_t i, std::size_t& width, bool learnRare = true) {
        std::uint32_t block = 0, index = 0;
        if (!UnitAt(text, i, blocks_ != nullptr, block, index, width)) return nullptr;
        Unit* u = width < 4 ? &units_[index] : fourByteUnit(block, index);
        const std::uint8_t state = u->state.load(std::memory_order_acquire);
        if ((state == kSeen && learnRare) || (state == kUnknown && width < 4)) {
            learn(text.substr(i, width), *u);
        } else if (state == kUnknown) {
            std::uint8_t unknown = kUnknown;
            u->state.compare_exchange_strong(unknown, kSeen, std::memory_order_relaxed);
        }
        return u;
    }

    __attribute__((noinline)) Unit* fourByteUnit(std::uint32_t block, std::uint32_t index) {
        Unit* units = blocks_[block].load(std::memory_order_acquire);
        if (!units) {
            std::lock_guard<std::mutex> lock(mutex_);
            units = blocks_[block].load(std::memory_order_relaxed);
            if (!units) {
                owned_.emplace_back(new Unit[kBlockUnits]);
                units = owned_.back().get();
                blocks_[block].store(units, std::memory_order_release);
            }
        }
        return &units[index];
    }

    // Works out outside the lock, so that threads meeting new characters
    // work them out at once; the same bytes give the same unit whichever
    // thread is first.
    __attribute__((noinline)) void learn(std::string_view bytes, Unit& u) {
        Unit fresh;
        const bool table = derive(bytes, fresh);
        std::lock_guard<std::mutex> lock(mutex_);
        const std::uint8_t state = u.state.load(std::memory_order_relaxed);
        if (state != kUnknown && state != kSeen) return;
        u.count = fresh.count;
        u.contractions = fresh.contractions;
        u.code = fresh.code;
        u.classId = fresh.classId;
        std::copy(std::begin(fresh.ces), std::end(fresh.ces), std::begin(u.ces));
        u.state.store(table ? kTable : kIcu, std::memory_order_release);
    }

    bool holdsContraction(const std::vector<const Unit*>& units) const {
        for (std::size_t k = 0; k < units.size(); ++k) {
            if (!units[k]->contractions) continue;
            for (const std::u32string& rest : *units[k]->contractions) {
                if (k + rest.size() >= units.size()) continue;
                std::size_t j = 0;
                while (j < rest.size() && units[k + 1 + j]->code == rest[j]) ++j;
                if (j == rest.size()) return true;
            }
        }
        return false;
    }

    static std::string IcuKeyOf(const std::u16string& u) {
        std::string key(u.size() * 4 + 16, '\0');
        IcuSortKeyInto(u, key, 0);
        return key;
    }

    static std::string WrittenKey(const Ce* ces, int count, int times) {
        const std::size_t room = kKeyBytesPerCe * static_cast<std::size_t>(count * times) + 2;
        std::string key(room, '\0'), secondaries(room, '\0');
        KeyWriter w(key.data(), secondaries.data());
        for (int t = 0; t < times; ++t)
            for (int k = 0; k < count; ++k) w.add(ces[k]);
        key.resize(static_cast<std::size_t>(w.finish() - key.data()));
        return key;
    }

    // The unit's character and CEs, from ICU.
    bool derive(std::string_view bytes, Unit& u) {
        std::u16string one;
        DecodeInto(bytes, encoding_, one);
        UChar32 c = 0;
        if (one.size() == 1 && !U16_IS_SURROGATE(one[0])) {
            c = one[0];
        } else if (one.size() == 2 && U16_IS_LEAD(one[0]) && U16_IS_TRAIL(one[1])) {
            c = U16_GET_SUPPLEMENTARY(one[0], one[1]);
        } else {
            return false;
        }
        if (c == 0xFFFD || (bytes.size() > 1 && c == 0x1A) || u_getCombiningClass(c) != 0) return false;
        u.code = static_cast<char32_t>(c);
        if (const auto found = contractions_.find(u.code); found != contractions_.end())
            u.contractions = &found->second;

        // The CEs, each as ICU's element iterator gives it: a first half and,
        // for primaries or secondaries of more bytes, a continuation.
        UErrorCode status = U_ZERO_ERROR;
        UCollationElements* elements = ucol_openElements(
            Services().collator, reinterpret_cast<const UChar*>(one.data()), static_cast<int32_t>(one.size()), &status);
        if (U_FAILURE(status)) return false;
        std::uint32_t primaries[kMaxCes + 1];
        int count = 0;
        bool fits = true;
        for (int32_t e; (e = ucol_next(elements, &status)) != UCOL_NULLORDER && U_SUCCESS(status);) {
            const auto half = static_cast<std::uint32_t>(e);
            if ((half & 0xC0) == 0xC0 && count > 0) {  // continuation
                primaries[count - 1] |= half >> 16;
                u.ces[count - 1].secondary =
                    static_cast<std::uint16_t>(u.ces[count - 1].secondary | ((half >> 8) & 0xFF));
                continue;
            }
            if (count == kMaxCes) {
                fits = false;
                break;
            }
            primaries[count] = half & 0xFFFF0000u;
            u.ces[count].secondary = static_cast<std::uint16_t>(half & 0xFF00);
            ++count;
        }
        ucol_closeElements(elements);
        if (!fits || U_FAILURE(status)) return false;
        u.count = static_cast<std::uint8_t>(count);

        for (int k = 0; k < count; ++k) {
            const std::uint32_t p = primaries[k];
            if (p == 0) continue;
            std::lock_guard<std::mutex> lock(leadMutex_);
            Lead& lead = leads_[p >> 24];
            if (!lead.known && !(count == 1 && learnLead(lead, one, u.ces[0].secondary, p))) return false;
            u.ces[k].primary = (static_cast<std::uint32_t>(lead.reordered) << 24) | (p & 0xFFFFFFu);
            u.ces[k].compressible = lead.compressible;
        }
        // Reordering may split a lead byte; whatever it did, the key must be ICU's.
        if (WrittenKey(u.ces, count, 1) != IcuKeyOf(one)) return false;
        if (count == 1 && primaries[0] != 0 && u.ces[0].secondary != 0) {
            std::lock_guard<std::mutex> lock(classMutex_);
            u.classId = classOf({primaries[0], u.ces[0].secondary});
        }
        return true;
    }

    struct Lead {
        bool known = false;
        std::uint8_t reordered = 0;
        bool compressible = false;
    };

    // A lead byte's place after reordering and whether ICU compresses it,
    // from ICU's keys of a character of one CE, once and twice.
    bool learnLead(Lead& lead, const std::u16string& c, std::uint16_t secondary, std::uint32_t p) {
        const std::string once = IcuKeyOf(c);
        if (once.empty()) return false;
        Ce ce;
        ce.primary = (static_cast<std::uint32_t>(static_cast<unsigned char>(once[0])) << 24) | (p & 0xFFFFFFu);
        ce.secondary = secondary;
        const std::string twice = IcuKeyOf(c + c);
        for (bool compressible : {false, true}) {
            ce.compressible = compressible;
            if (WrittenKey(&ce, 1, 2) == twice) {
                lead.known = true;
                lead.reordered = static_cast<std::uint8_t>(once[0]);
                lead.compressible = compressible;
                return true;
            }
        }
        return false;
    }

    TextEncoding encoding_;
    std::unique_ptr<Unit[]> units_;
    // GB18030's four-byte characters: a block made on first need.
    std::unique_ptr<std::atomic<Unit*>[]> blocks_;
    std::vector<std::unique_ptr<Unit[]>> owned_;
    std::mutex mutex_;
    bool usable_ = false;
    std::mutex leadMutex_;
    Lead leads_[256];
    std::unordered_map<char32_t, std::vector<std::u32string>> contractions_;
    std::mutex classMutex_;
    std::unordered_map<std::uint64_t, std::uint32_t> classes_;
};

WeightTable& WeightsFor(TextEncoding encoding) {
    if (encoding == TextEncoding::Gb18030) {
        static WeightTable gb18030(TextEncoding::Gb18030);
        return gb18030;
    }
    static WeightTable gbk(TextEncoding::Gbk);
    return gbk;
}

}  // namespace weights

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
    // Text of ASCII and whole double-byte characters: each of those decodes
    // to one UTF-16 unit (a test holds every one of them to that), so the
    // difference is their number. Anything else is left to the decoder.
    long long pairs = 0;
    const std::size_t n = text.size();
    for (std::size_t i = 0; i < n; ++i) {
        const auto b = static_cast<unsigned char>(text[i]);
        if (b < 0x80) continue;
        const auto t = i + 1 < n ? static_cast<unsigned char>(text[i + 1]) : 0;
        if (!IsLeadByte(b) || t < 0x40 || t == 0x7F || t == 0xFF) {
            return static_cast<long long>(n) - static_cast<long long>(ToUtf16(text, encoding).size());
        }
        ++pairs;
        ++i;
    }
    return pairs;
}

int CompareLines(std::string_view a, std::string_view b, TextEncoding encoding) {
    if (a == b) return 0;
    std::u16string ua = ToUtf16(a, encoding), ub = ToUtf16(b, encoding);
    UCollationResult r =
        ucol_strcoll(Services().collator, reinterpret_cast<const UChar*>(ua.data()), static_cast<int32_t>(ua.size()),
                     reinterpret_cast<const UChar*>(ub.data()), static_cast<int32_t>(ub.size()));
    return r == UCOL_LESS ? -1 : (r == UCOL_GREATER ? 1 : 0);
}

void AppendSortKey(std::string_view text, TextEncoding encoding, std::string& out) {
    if (weights::WeightsFor(encoding).appendKey(text, out)) return;
    thread_local std::u16string u;
    DecodeInto(text, encoding, u);
    const std::size_t at = out.size();
    out.resize(at + u.size() * 4 + 16);
    IcuSortKeyInto(u, out, at);
}

void AppendEqualityKey(std::string_view text, TextEncoding encoding, std::string& out) {
    weights::WeightTable& table = weights::WeightsFor(encoding);
    if (table.appendClasses(text, out)) return;
    thread_local std::u16string u;
    DecodeInto(text, encoding, u);
    if (table.appendClassesOfCes(u, out)) return;
    out += 'K';
    const std::size_t at = out.size();
    out.resize(at + u.size() * 4 + 16);
    IcuSortKeyInto(u, out, at);
}

bool TableSortKey(std::string_view text, TextEncoding encoding, std::string& out) {
    return weights::WeightsFor(encoding).appendKey(text, out);
}

std::string IcuSortKey(std::string_view text, TextEncoding encoding) {
    std::u16string u = ToUtf16(text, encoding);
    std::string key(u.size() * 4 + 16, '\0');
    IcuSortKeyInto(u, key, 0);
    return key;
}

std::string SortKey(std::string_view text, TextEncoding encoding) {
    std::string key;
    AppendSortKey(text, encoding, key);
    return key;
}

namespace {

// Keys for texts[begin, end) into one arena.
template <typename Texts>
void AppendSortKeys(const Texts& texts, TextEncoding encoding, std::size_t begin, std::size_t end, SortKeys& keys) {
    std::size_t guess = 0;
    for (std::size_t i = begin; i < end; ++i) guess += texts[i].size() * 3 + 8;
    keys.bytes.reserve(keys.bytes.size() + guess);
    for (std::size_t i = begin; i < end; ++i) {
        AppendSortKey(texts[i], encoding, keys.bytes);
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
    SideBySide([&] { AppendSortKeys(texts, encoding, 0, mid, keys); },
               [&] { AppendSortKeys(texts, encoding, mid, n, second); });
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
SortKeys MakeSortKeys(const TextArena& texts, TextEncoding encoding) { return MakeKeys(texts, encoding); }

namespace {

// The sort itself, for slots and their three-way compare: lines that are
// already in strictly ascending order come out as they are, whatever the sort
// procedure, so it is skipped (the usual case for entry lines that come from
// the expansion); otherwise the partition sort. Fills `order`, and `ranks`
// when given: the dense rank of each slot's index among equal-comparing ones.
template <typename SlotT, typename Cmp>
void OrderSlots(std::vector<SlotT>& slots, Cmp&& cmp, std::vector<std::uint32_t>& order,
                std::vector<std::uint32_t>* ranks) {
    const std::size_t n = slots.size();
    bool ascending = true;
    for (std::size_t i = 1; i < n && ascending; ++i) ascending = cmp(slots[i - 1], slots[i]) < 0;
    if (!ascending) PartitionSortSlotsOnTwoThreads(slots, cmp);
    order.resize(n);
    for (std::size_t i = 0; i < n; ++i) order[i] = slots[i].index;
    if (!ranks) return;
    ranks->assign(n, 0);
    std::uint32_t r = 0;
    for (std::size_t i = 1; i < n; ++i) {
        if (cmp(slots[i - 1], slots[i]) < 0) ++r;
        (*ranks)[slots[i].index] = r;
    }
}

template <typename Texts>
std::vector<std::uint32_t> SortedOrderOf(const Texts& texts, TextEncoding encoding,
                                         std::vector<std::uint32_t>* ranks = nullptr) {
    const std::size_t n = texts.size();
    CheckLimit(n, "lines to sort", kMaxUint32);
    std::vector<std::uint32_t> order(n);
    for (std::size_t i = 0; i < n; ++i) order[i] = static_cast<std::uint32_t>(i);
    if (n < 2) {
        if (ranks) ranks->assign(n, 0);
        return order;
    }
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
    OrderSlots(slots, cmp, order, ranks);
    return order;
}

struct RankSlot {
    std::uint32_t rank, index;
};

}  // namespace

std::vector<std::uint32_t> SortedOrder(const std::vector<std::string_view>& texts, TextEncoding encoding) {
    return SortedOrderOf(texts, encoding);
}
std::vector<std::uint32_t> SortedOrder(const TextArena& texts, TextEncoding encoding) {
    return SortedOrderOf(texts, encoding);
}
std::vector<std::uint32_t> SortedOrder(const std::vector<std::string_view>& texts, TextEncoding encoding,
                                       std::vector<std::uint32_t>& ranks) {
    return SortedOrderOf(texts, encoding, &ranks);
}

std::vector<std::uint32_t> SortedOrder(const TextArena& texts, TextEncoding encoding,
                                       std::vector<std::uint32_t>& ranks) {
    return SortedOrderOf(texts, encoding, &ranks);
}

std::vector<std::uint32_t> SortedOrderOfRanks(
    const std::vector<std::uint32_t>& ranks, const std::function<bool(std::uint32_t, std::uint32_t)>& interchangeable) {
    const std::size_t n = ranks.size();
    CheckLimit(n, "lines to sort", kMaxUint32);
    // Ranks that are all different leave a sort no choice: each line goes to
    // the place of its rank among them. Placed through a table indexed by
    // rank, when the ranks are not too sparse for it, lines of one rank
    // chained; a tie of texts that could be told apart (equal
    // but for case: placed as the partition sort places them) falls back.
    std::uint32_t highest = 0;
    for (std::uint32_t r : ranks) highest = std::max(highest, r);
    if (n > 1 && highest / 4 < n) {
        constexpr std::uint32_t kNone = UINT32_MAX;
        std::vector<std::uint32_t> byRank(static_cast<std::size_t>(highest) + 1, kNone);
        std::vector<std::uint32_t> next;  // the next line of the same rank, once there is a tie
        bool placed = true;
        for (std::size_t i = 0; i < n && placed; ++i) {
            const auto line = static_cast<std::uint32_t>(i);
            std::uint32_t& first = byRank[ranks[i]];
            if (first == kNone) {
                first = line;
                continue;
            }
            placed = interchangeable && interchangeable(first, line);
            if (!placed) break;
            if (next.empty()) next.assign(n, kNone);
            next[line] = first;  // in front: they are the same bytes
            first = line;
        }
        if (placed) {
            std::vector<std::uint32_t> order;
            order.reserve(n);
            for (std::uint32_t i : byRank)
                for (; i != kNone; i = next.empty() ? kNone : next[i]) order.push_back(i);
            return order;
        }
    }
    std::vector<RankSlot> slots(n);
    for (std::size_t i = 0; i < n; ++i) slots[i] = {ranks[i], static_cast<std::uint32_t>(i)};
    auto cmp = [](const RankSlot& a, const RankSlot& b) -> int {
        return a.rank < b.rank ? -1 : (a.rank > b.rank ? 1 : 0);
    };
    std::vector<std::uint32_t> order;
    OrderSlots(slots, cmp, order, nullptr);
    return order;
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
