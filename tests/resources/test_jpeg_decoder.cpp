#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "resources/jpeg_decoder.h"
#include "resources/resources.h"

namespace {

using zelmora::DecodedJpeg;
using zelmora::DecodeJpeg;
using zelmora::JpegColours;
using zelmora::JpegError;

std::string AboutJpeg() { return zelmora::OpenResource("about", "jpeg").readAll(); }

// Offset of the frame header's marker (baseline SOF0).
std::size_t FrameHeader(const std::string& jpeg) { return jpeg.find("\xff\xc0"); }

struct Rgb {
    int r, g, b;
};
Rgb PixelAt(const DecodedJpeg& img, int x, int y) {
    const std::uint8_t* p = &img.pixels[(static_cast<std::size_t>(y) * img.width + x) * 3];
    return {p[0], p[1], p[2]};
}

// Expects a clean failure carrying libjpeg's explanation.
void ExpectFailure(const std::string& data, const std::string& what) {
    SCOPED_TRACE(what);
    try {
        DecodeJpeg(data);
        ADD_FAILURE() << "decoded without error";
    } catch (const JpegError& e) {
        EXPECT_STRNE(e.what(), "");
    }
}

TEST(JpegDecoder, EmbeddedPictureDecodesAtFullSizeInRgbOrder) {
    const std::string jpeg = AboutJpeg();
    const DecodedJpeg img = DecodeJpeg(jpeg);
    EXPECT_EQ(img.width, 418);
    EXPECT_EQ(img.height, 310);
    EXPECT_EQ(img.bytesPerPixel(), 3);
    EXPECT_TRUE(img.palette.empty());
    ASSERT_EQ(img.pixels.size(), 418u * 310u * 3u);

    // The picture's key caps are tinted by stroke zone: "G" (horizontal zone)
    // is warm, "H" (vertical zone) is blue. Swapped channels would invert this.
    const Rgb g = PixelAt(img, 186, 165), h = PixelAt(img, 226, 165);
    EXPECT_GT(g.r, g.b + 40);
    EXPECT_GT(h.b, h.r + 40);
    // Near-white paper in the top-left corner, dark keyboard plate below it.
    const Rgb paper = PixelAt(img, 2, 2), plate = PixelAt(img, 8, 120);
    EXPECT_GT(paper.r + paper.g + paper.b, 3 * 220);
    EXPECT_LT(plate.r + plate.g + plate.b, 3 * 100);
}

TEST(JpegDecoder, PaletteModeGivesTheSamePictureInAtMost256Colours) {
    const std::string jpeg = AboutJpeg();
    const DecodedJpeg full = DecodeJpeg(jpeg);
    const DecodedJpeg pal = DecodeJpeg(jpeg, JpegColours::kPalette);
    ASSERT_EQ(pal.width, 418);
    ASSERT_EQ(pal.height, 310);
    EXPECT_EQ(pal.bytesPerPixel(), 1);
    ASSERT_FALSE(pal.palette.empty());
    ASSERT_LE(pal.palette.size(), 256u);
    ASSERT_EQ(pal.pixels.size(), 418u * 310u);

    long long error = 0;
    for (std::size_t i = 0; i < pal.pixels.size(); ++i) {
        ASSERT_LT(pal.pixels[i], pal.palette.size());
        const std::uint32_t c = pal.palette[pal.pixels[i]];
        error += std::abs(static_cast<int>(c >> 16 & 0xff) - full.pixels[i * 3]) +
                 std::abs(static_cast<int>(c >> 8 & 0xff) - full.pixels[i * 3 + 1]) +
                 std::abs(static_cast<int>(c & 0xff) - full.pixels[i * 3 + 2]);
    }
    // Dithering spreads small errors; a wrong palette or index order would not.
    EXPECT_LT(static_cast<double>(error) / (pal.pixels.size() * 3), 12.0);
}

TEST(JpegDecoder, TruncatedDataFailsCleanly) {
    const std::string jpeg = AboutJpeg();
    const std::size_t cuts[] = {0,
                                1,
                                2,
                                100,
                                FrameHeader(jpeg) + 5,
                                jpeg.find("\xff\xda") + 20,
                                jpeg.size() / 2,
                                jpeg.size() - 2,
                                jpeg.size() - 1};
    for (std::size_t n : cuts) {
        ASSERT_LT(n, jpeg.size());
        ExpectFailure(jpeg.substr(0, n), "first " + std::to_string(n) + " bytes");
    }
}

TEST(JpegDecoder, CorruptedDataFailsCleanly) {
    const std::string jpeg = AboutJpeg();
    const std::size_t sof = FrameHeader(jpeg);
    ASSERT_NE(sof, std::string::npos);

    std::string bad = jpeg;
    bad[0] = '\x89';
    ExpectFailure(bad, "wrong start marker");

    ExpectFailure(zelmora::OpenResource("icon", "png").readAll(), "a PNG file");

    bad = jpeg;
    bad[sof + 5] = bad[sof + 6] = 0;  // zero rows
    ExpectFailure(bad, "empty frame");

    bad = jpeg;
    bad[sof + 4] = 12;  // sample precision this build can't decode
    ExpectFailure(bad, "12-bit precision");

    bad = jpeg;
    bad.erase(jpeg.find("\xff\xda") - 200, 100);  // cuts through the Huffman tables
    ExpectFailure(bad, "damaged tables");

    bad = jpeg;
    bad[jpeg.size() / 2] = '\xff';
    bad[jpeg.size() / 2 + 1] = '\xd9';  // end of image in the middle of the scan
    ExpectFailure(bad, "early end marker");
}

TEST(JpegDecoder, HeaderClaimingAHugePictureFailsBeforeAllocating) {
    std::string bad = AboutJpeg();
    const std::size_t sof = FrameHeader(bad);
    bad[sof + 5] = bad[sof + 7] = '\xff';
    bad[sof + 6] = bad[sof + 8] = '\xdc';  // 65500 x 65500
    try {
        DecodeJpeg(bad);
        FAIL() << "decoded without error";
    } catch (const JpegError& e) {
        EXPECT_NE(std::string(e.what()).find("65500 x 65500"), std::string::npos) << e.what();
    }
}

}  // namespace
