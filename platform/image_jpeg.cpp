// JPEG through libjpeg-turbo.
//
// libjpeg reports errors by longjmp. readJpegPixels, which calls setjmp,
// holds no object with a destructor; the decompressor and every buffer live
// in decodeJpeg, so a jump out of the library leaks nothing.
#include <csetjmp>
#include <cstdio>
#include <cstring>

// jpeglib.h needs FILE and size_t declared first.
#include <jerror.h>
#include <jpeglib.h>

#include "platform/image_codecs.h"

namespace zq::codec {

namespace {

// A progressive file may hold thousands of tiny scans, each a full pass over
// the picture; real encoders write a few dozen.
constexpr int kMaxJpegScans = 500;

struct JpegErrorManager {
    jpeg_error_mgr pub;
    std::jmp_buf jump;
};

[[noreturn]] void failJpeg(j_common_ptr cinfo) {
    std::longjmp(reinterpret_cast<JpegErrorManager*>(cinfo->err)->jump, 1);
}

// Warnings stay off stderr. A file cut short is padded with an end marker
// by the library and would decode as a grey bottom; it is refused instead.
void onJpegMessage(j_common_ptr cinfo, int level) {
    if (level < 0 && cinfo->err->msg_code == JWRN_JPEG_EOF) failJpeg(cinfo);
}

void ignoreJpegOutput(j_common_ptr) {}

void limitScans(j_common_ptr cinfo) {
    if (reinterpret_cast<j_decompress_ptr>(cinfo)->input_scan_number > kMaxJpegScans) {
        failJpeg(cinfo);
    }
}

class JpegDecompress {
public:
    JpegDecompress() {
        cinfo.err = jpeg_std_error(&err.pub);
        err.pub.error_exit = failJpeg;
        err.pub.emit_message = onJpegMessage;
        err.pub.output_message = ignoreJpegOutput;
        progress.progress_monitor = limitScans;
    }
    // Safe on a structure that jpeg_create_decompress never finished.
    ~JpegDecompress() { jpeg_destroy_decompress(&cinfo); }
    JpegDecompress(const JpegDecompress&) = delete;
    JpegDecompress& operator=(const JpegDecompress&) = delete;

    jpeg_decompress_struct cinfo{};
    JpegErrorManager err{};
    jpeg_progress_mgr progress{};
};

// Adobe writes CMYK inverted (255 = no ink); other writers do not.
void cmykRowToArgb(const uint8_t* in, uint32_t* out, JDIMENSION width, bool inverted) {
    for (JDIMENSION x = 0; x < width; ++x, in += 4) {
        uint32_t c = in[0], m = in[1], y = in[2], k = in[3];
        if (!inverted) {
            c = 255 - c;
            m = 255 - m;
            y = 255 - y;
            k = 255 - k;
        }
        out[x] = packArgb(0xFF, c * k / 255, m * k / 255, y * k / 255);
    }
}

void rgbRowToArgb(const uint8_t* in, uint32_t* out, JDIMENSION width) {
    for (JDIMENSION x = 0; x < width; ++x, in += 3) out[x] = packArgb(0xFF, in[0], in[1], in[2]);
}

bool readJpegPixels(JpegDecompress& j, const uint8_t* data, size_t size,
                    std::vector<uint32_t>& pixels, std::vector<uint8_t>& row) {
    if (setjmp(j.err.jump)) return false;
    jpeg_create_decompress(&j.cinfo);
    j.cinfo.progress = &j.progress;
    jpeg_mem_src(&j.cinfo, data, static_cast<unsigned long>(size));
    jpeg_read_header(&j.cinfo, TRUE);
    if (!dimensionsAllowed(j.cinfo.image_width, j.cinfo.image_height)) return false;
    // Grey converts to RGB inside the library; CMYK and YCCK only reach CMYK.
    bool cmyk = j.cinfo.jpeg_color_space == JCS_CMYK || j.cinfo.jpeg_color_space == JCS_YCCK;
    j.cinfo.out_color_space = cmyk ? JCS_CMYK : JCS_RGB;
    jpeg_start_decompress(&j.cinfo);
    JDIMENSION width = j.cinfo.output_width;
    if (j.cinfo.output_components != (cmyk ? 4 : 3) ||
        !dimensionsAllowed(width, j.cinfo.output_height)) {
        return false;
    }
    row.resize(static_cast<size_t>(width) * j.cinfo.output_components);
    pixels.resize(static_cast<size_t>(width) * j.cinfo.output_height);
    while (j.cinfo.output_scanline < j.cinfo.output_height) {
        uint32_t* out = pixels.data() + static_cast<size_t>(j.cinfo.output_scanline) * width;
        JSAMPROW rowPointer = row.data();
        if (jpeg_read_scanlines(&j.cinfo, &rowPointer, 1) != 1) return false;
        if (cmyk) {
            cmykRowToArgb(row.data(), out, width, j.cinfo.saw_Adobe_marker);
        } else {
            rgbRowToArgb(row.data(), out, width);
        }
    }
    jpeg_finish_decompress(&j.cinfo);
    return true;
}

}  // namespace

ImageRef decodeJpeg(const uint8_t* data, size_t size) {
    JpegDecompress j;
    std::vector<uint32_t> pixels;
    std::vector<uint8_t> row;
    if (!readJpegPixels(j, data, size, pixels, row)) return nullptr;
    return finishImage(static_cast<int>(j.cinfo.output_width),
                       static_cast<int>(j.cinfo.output_height), std::move(pixels));
}

}  // namespace zq::codec
