// A name-based UUID (version 5, RFC 4122), so that the same table name
// always gives the same ibus-table UUID.
#include "formats/name_uuid.h"

#include <array>
#include <cstdint>
#include <cstdio>
#include <string>

namespace zelmora::formats {

namespace {

std::array<std::uint8_t, 20> Sha1(std::string_view data) {
    std::uint32_t h[5] = {0x67452301, 0xEFCDAB89, 0x98BADCFE, 0x10325476, 0xC3D2E1F0};
    std::string m(data);
    const std::uint64_t bits = static_cast<std::uint64_t>(data.size()) * 8;
    m += static_cast<char>(0x80);
    while (m.size() % 64 != 56) m += '\0';
    for (int i = 7; i >= 0; --i) m += static_cast<char>((bits >> (i * 8)) & 0xFF);
    auto rol = [](std::uint32_t x, int n) { return (x << n) | (x >> (32 - n)); };
    for (std::size_t off = 0; off < m.size(); off += 64) {
        std::uint32_t w[80];
        for (std::size_t i = 0; i < 16; ++i)
            w[i] = (std::uint32_t(std::uint8_t(m[off + 4 * i])) << 24) |
                   (std::uint32_t(std::uint8_t(m[off + 4 * i + 1])) << 16) |
                   (std::uint32_t(std::uint8_t(m[off + 4 * i + 2])) << 8) |
                   std::uint32_t(std::uint8_t(m[off + 4 * i + 3]));
        for (int i = 16; i < 80; ++i) w[i] = rol(w[i - 3] ^ w[i - 8] ^ w[i - 14] ^ w[i - 16], 1);
        std::uint32_t a = h[0], b = h[1], c = h[2], d = h[3], e = h[4];
        for (int i = 0; i < 80; ++i) {
            std::uint32_t f, k;
            if (i < 20)
                f = (b & c) | (~b & d), k = 0x5A827999;
            else if (i < 40)
                f = b ^ c ^ d, k = 0x6ED9EBA1;
            else if (i < 60)
                f = (b & c) | (b & d) | (c & d), k = 0x8F1BBCDC;
            else
                f = b ^ c ^ d, k = 0xCA62C1D6;
            std::uint32_t t = rol(a, 5) + f + e + k + w[i];
            e = d, d = c, c = rol(b, 30), b = a, a = t;
        }
        h[0] += a, h[1] += b, h[2] += c, h[3] += d, h[4] += e;
    }
    std::array<std::uint8_t, 20> out{};
    for (int i = 0; i < 20; ++i) out[i] = static_cast<std::uint8_t>(h[i / 4] >> (24 - 8 * (i % 4)));
    return out;
}

}  // namespace

std::string NameUuid(std::string_view name) {
    // The URL namespace of RFC 4122, with a name of this program's own.
    static const std::uint8_t ns[16] = {0x6b, 0xa7, 0xb8, 0x11, 0x9d, 0xad, 0x11, 0xd1,
                                        0x80, 0xb4, 0x00, 0xc0, 0x4f, 0xd4, 0x30, 0xc8};
    std::string data(reinterpret_cast<const char*>(ns), 16);
    data += "zelmora-ibus-table:";
    data += name;
    auto d = Sha1(data);
    d[6] = static_cast<std::uint8_t>((d[6] & 0x0F) | 0x50);
    d[8] = static_cast<std::uint8_t>((d[8] & 0x3F) | 0x80);
    std::string out;
    char buf[4];
    for (int i = 0; i < 16; ++i) {
        if (i == 4 || i == 6 || i == 8 || i == 10) out += '-';
        std::snprintf(buf, sizeof buf, "%02x", d[i]);
        out += buf;
    }
    return out;
}

}  // namespace zelmora::formats
