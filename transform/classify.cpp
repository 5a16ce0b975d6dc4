#include "transform/classify.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstring>
#include <vector>

#include "core/code_table.h"
#include "core/limits.h"
#include "core/side_by_side.h"
#include "core/text.h"
#include "transform/status.h"

namespace zelmora {

namespace {

// Below this a second thread costs about what it saves.
constexpr std::size_t kAloneBytes = 1 << 20;

// Each line's class (0: none of 1..4), and how many lines and tail bytes
// each class gets from one part of the text.
struct PartCount {
    std::vector<std::uint8_t> classOf;
    std::array<std::size_t, 4> lines{}, bytes{};
};

// CodeLength and WordTail of a line: by one scan to the first space when
// the bytes before it are ASCII (every code of a Wubi table), where the first
// space byte is on a character boundary.
int CodeLengthAndTail(std::string_view line, std::string_view& tail) {
    for (std::size_t i = 0; i < line.size(); ++i) {
        const auto c = static_cast<unsigned char>(line[i]);
        if (c == ' ') {
            tail = line.substr(i);
            return static_cast<int>(std::min<std::size_t>(i, kMaxInt32));
        }
        if (c >= 0x80) break;
    }
    tail = WordTail(line);
    return CodeLength(line);
}

void CountPart(std::string_view part, PartCount& c) {
    std::string_view tail;
    ForEachLine(part, [&](std::string_view line) {
        int n = CodeLengthAndTail(line, tail);
        if (n < 1 || n > 4) n = 0;
        c.classOf.push_back(static_cast<std::uint8_t>(n));
        if (n == 0) return;
        ++c.lines[n - 1];
        c.bytes[n - 1] += tail.size();
    });
}

// Puts one part's lines and tails at their places: from line `line[n]` and
// byte `byte[n]` of class n + 1.
void FillPart(std::string_view part, const PartCount& c, std::array<std::size_t, 4> line,
              std::array<std::size_t, 4> byte, LengthClasses& out) {
    std::size_t k = 0;
    ForEachLine(part, [&](std::string_view text) {
        const int n = c.classOf[k++];
        if (n == 0) return;
        std::string_view tail;
        CodeLengthAndTail(text, tail);
        std::memcpy(out.pools[n - 1].data() + byte[n - 1], tail.data(), tail.size());
        byte[n - 1] += tail.size();
        out.lines[n - 1].set(line[n - 1]++, text);
    });
}

}  // namespace

LengthClasses SplitByCodeLength(std::string_view text) {
    LengthClasses c;
    // Counted first, so that each list and pool is allocated once, at its
    // size, and each line's class is kept from the count. A big text is done
    // in two parts at once, each part's lines and tails going to their own
    // places, so the result is the same as in one go.
    const std::string_view whole = UpToNul(text);
    const std::size_t cut =
        whole.size() < kAloneBytes ? std::string_view::npos : LineStartAfter(whole, whole.size() / 2);
    const std::string_view first = whole.substr(0, cut);
    const std::string_view second = cut == std::string_view::npos ? std::string_view() : whole.substr(cut);
    PartCount counts[2];
    auto both = [&](auto&& work) {
        if (second.empty())
            work(first, 0);
        else
            SideBySide([&] { work(first, 0); }, [&] { work(second, 1); });
    };
    both([&](std::string_view part, int k) { CountPart(part, counts[k]); });
    std::array<std::size_t, 4> secondLine{}, secondByte{};
    for (int n = 0; n < 4; ++n) {
        secondLine[n] = counts[0].lines[n];
        secondByte[n] = counts[0].bytes[n];
        c.lines[n] = TextLines(text);
        c.lines[n].resize(counts[0].lines[n] + counts[1].lines[n]);
        c.pools[n].resize(counts[0].bytes[n] + counts[1].bytes[n]);
    }
    both([&](std::string_view part, int k) {
        FillPart(part, counts[k], k == 0 ? std::array<std::size_t, 4>{} : secondLine,
                 k == 0 ? std::array<std::size_t, 4>{} : secondByte, c);
    });
    return c;
}

ClassifyResult ClassifyByCodeLength(std::string_view text) { return ClassifyByCodeLength(SplitByCodeLength(text)); }

ClassifyResult ClassifyByCodeLength(const LengthClasses& c) {
    ClassifyResult r;
    for (int n = 0; n < 4; ++n) {
        r.counts[n] = c.lines[n].size();
        r.texts[n] = JoinTrimmed(c.lines[n]);
    }
    return r;
}

std::string ClassifyStatus(const ClassifyResult& r) {
    return FormatStatus("行数:一码%d 二码%d 三码%d 四码%d", {r.counts[0], r.counts[1], r.counts[2], r.counts[3]});
}

}  // namespace zelmora
