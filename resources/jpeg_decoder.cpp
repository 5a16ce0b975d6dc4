#include "resources/jpeg_decoder.h"

#include <csetjmp>
#include <cstddef>
#include <cstdio>  // jpeglib.h needs FILE declared first

#include <jpeglib.h>

namespace zelmora {

namespace {

// A cap on the decoded size, so that a damaged header claiming an enormous
// picture fails instead of exhausting memory. Far above any picture we carry.
constexpr unsigned long long kMaxPixels = 1ULL << 25;

struct ErrorManager {
    jpeg_error_mgr pub;  // first, so libjpeg's pointer converts back to ours
    std::jmp_buf jump;
    char message[JMSG_LENGTH_MAX];
};

// libjpeg's fatal errors come here. libjpeg is C: the way back out of its
// frames is a longjmp to the step that called it, never an exception.
void FailDecoding(j_common_ptr cinfo) {
    auto* err = reinterpret_cast<ErrorManager*>(cinfo->err);
    (*cinfo->err->format_message)(cinfo, err->message);
    std::longjmp(err->jump, 1);
}

// Warnings (corrupt or missing data that libjpeg papers over) are counted and
// the first one kept; trace messages are dropped. Nothing goes to stderr.
void NoteMessage(j_common_ptr cinfo, int level) {
    if (level >= 0) return;
    auto* err = reinterpret_cast<ErrorManager*>(cinfo->err);
    if (err->pub.num_warnings++ == 0) (*cinfo->err->format_message)(cinfo, err->message);
}

// One decompression. Every step that calls into libjpeg sets its own return
// point, holds no automatic objects with destructors and reports a libjpeg
// error by returning false; the state lives in members so it survives the jump.
class Decompressor {
public:
    Decompressor() {
        cinfo_.err = jpeg_std_error(&err_.pub);
        err_.pub.error_exit = FailDecoding;
        err_.pub.emit_message = NoteMessage;
        err_.message[0] = '\0';
    }
    ~Decompressor() {
        if (created_) jpeg_destroy_decompress(&cinfo_);
    }
    Decompressor(const Decompressor&) = delete;
    Decompressor& operator=(const Decompressor&) = delete;

    bool readHeader(const unsigned char* data, std::size_t size) {
        if (setjmp(err_.jump)) return false;
        jpeg_create_decompress(&cinfo_);
        created_ = true;
        jpeg_mem_src(&cinfo_, data, static_cast<unsigned long>(size));
        jpeg_read_header(&cinfo_, TRUE);
        return true;
    }

    bool start(JpegColours colours) {
        if (setjmp(err_.jump)) return false;
        cinfo_.out_color_space = JCS_RGB;
        if (colours == JpegColours::kPalette) {
            cinfo_.quantize_colors = TRUE;
            cinfo_.desired_number_of_colors = 256;
            cinfo_.two_pass_quantize = TRUE;  // a palette chosen for this picture
            cinfo_.dither_mode = JDITHER_FS;
        }
        jpeg_start_decompress(&cinfo_);
        return true;
    }

    bool readRows(std::uint8_t* out, std::size_t rowBytes) {
        if (setjmp(err_.jump)) return false;
        while (cinfo_.output_scanline < cinfo_.output_height) {
            JSAMPROW row = out + static_cast<std::size_t>(cinfo_.output_scanline) * rowBytes;
            jpeg_read_scanlines(&cinfo_, &row, 1);
        }
        jpeg_finish_decompress(&cinfo_);
        return true;
    }

    jpeg_decompress_struct& info() { return cinfo_; }
    bool warned() const { return err_.pub.num_warnings > 0; }
    std::string message() const { return err_.message; }

private:
    jpeg_decompress_struct cinfo_{};
    ErrorManager err_{};
    bool created_ = false;
};

}  // namespace

DecodedJpeg DecodeJpeg(std::string_view data, JpegColours colours) {
    Decompressor d;
    if (!d.readHeader(reinterpret_cast<const unsigned char*>(data.data()), data.size())) throw JpegError(d.message());
    const jpeg_decompress_struct& info = d.info();
    if (static_cast<unsigned long long>(info.image_width) * info.image_height > kMaxPixels)
        throw JpegError("JPEG image too large: " + std::to_string(info.image_width) + " x " +
                        std::to_string(info.image_height));
    if (!d.start(colours)) throw JpegError(d.message());

    const int components = colours == JpegColours::kPalette ? 1 : 3;
    if (info.output_components != components)
        throw JpegError("Unexpected JPEG output with " + std::to_string(info.output_components) + " components");
    DecodedJpeg image;
    image.width = static_cast<int>(info.output_width);
    image.height = static_cast<int>(info.output_height);
    const std::size_t rowBytes = static_cast<std::size_t>(image.width) * components;
    image.pixels.resize(rowBytes * image.height);
    if (colours == JpegColours::kPalette) {
        image.palette.reserve(info.actual_number_of_colors);
        for (int i = 0; i < info.actual_number_of_colors; ++i)
            image.palette.push_back(std::uint32_t{info.colormap[0][i]} << 16 | std::uint32_t{info.colormap[1][i]} << 8 |
                                    std::uint32_t{info.colormap[2][i]});
    }
    if (!d.readRows(image.pixels.data(), rowBytes)) throw JpegError(d.message());
    if (d.warned()) throw JpegError(d.message());
    return image;
}

}  // namespace zelmora
