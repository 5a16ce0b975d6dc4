#pragma once
// Decoding of JPEG data through libjpeg, without Qt: the picture on the About
// page is stored as a JPEG inside the program and decoded at full size.
#include <cstdint>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace zelmora {

// A decoding failure; the message is libjpeg's own text.
class JpegError : public std::runtime_error {
public:
    explicit JpegError(const std::string& message) : std::runtime_error(message) {}
};

enum class JpegColours {
    kTrueColour,  // 24-bit RGB, three bytes per pixel
    kPalette,     // one byte per pixel indexing a palette of at most 256 colours
};

struct DecodedJpeg {
    int width = 0;
    int height = 0;
    // Rows from the top, tightly packed: width * 3 bytes (R, G, B) per row in
    // true colour, width bytes per row in palette mode.
    std::vector<std::uint8_t> pixels;
    // Palette mode only: the colours the indices refer to, as 0xRRGGBB.
    std::vector<std::uint32_t> palette;

    int bytesPerPixel() const { return palette.empty() ? 3 : 1; }
};

// Decodes a whole JPEG stream. Truncated or corrupted data fails with
// JpegError, including damage libjpeg would only warn about (it would otherwise
// fill the missing part with grey), so a picture is either complete or absent.
DecodedJpeg DecodeJpeg(std::string_view data, JpegColours colours = JpegColours::kTrueColour);

}  // namespace zelmora
