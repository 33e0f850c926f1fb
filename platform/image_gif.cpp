// GIF through giflib: the first frame, placed on the logical screen.
//
// The records are read one by one rather than with DGifSlurp: the slurp
// decodes every frame and sizes each from its descriptor before any check.
#include <gif_lib.h>

#include <algorithm>
#include <array>
#include <cstring>
#include <memory>

#include "platform/image_codecs.h"

namespace zq::codec {

namespace {

struct GifSource {
    const uint8_t* data;
    size_t size;
    size_t pos;
};

// Fewer bytes than asked tells giflib the file ended.
int readGifBytes(GifFileType* gif, GifByteType* out, int length) {
    auto* src = static_cast<GifSource*>(gif->UserData);
    if (length <= 0) return 0;
    size_t n = std::min(static_cast<size_t>(length), src->size - src->pos);
    std::memcpy(out, src->data + src->pos, n);
    src->pos += n;
    return static_cast<int>(n);
}

struct GifCloser {
    void operator()(GifFileType* gif) const {
        int error = 0;
        DGifCloseFile(gif, &error);
    }
};

// Reads up to the first image descriptor. `transparent` gets the index named
// by a graphics control block before it, or -1.
bool readToFirstFrame(GifFileType* gif, int& transparent) {
    for (;;) {
        GifRecordType type = UNDEFINED_RECORD_TYPE;
        if (DGifGetRecordType(gif, &type) == GIF_ERROR) return false;
        if (type == IMAGE_DESC_RECORD_TYPE) return DGifGetImageDesc(gif) != GIF_ERROR;
        if (type != EXTENSION_RECORD_TYPE) return false;
        int code = 0;
        GifByteType* block = nullptr;
        if (DGifGetExtension(gif, &code, &block) == GIF_ERROR) return false;
        GraphicsControlBlock gcb;
        if (code == GRAPHICS_EXT_FUNC_CODE && block != nullptr &&
            DGifExtensionToGCB(block[0], block + 1, &gcb) == GIF_OK) {
            transparent = gcb.TransparentColor;
        }
        while (block != nullptr) {
            if (DGifGetExtensionNext(gif, &block) == GIF_ERROR) return false;
        }
    }
}

// Indices past the colour map, and the transparent index, give transparent
// pixels.
std::array<uint32_t, 256> buildPalette(const ColorMapObject& map, int transparent) {
    std::array<uint32_t, 256> palette{};
    int count = std::clamp(map.ColorCount, 0, 256);
    for (int i = 0; i < count; ++i) {
        const GifColorType& c = map.Colors[i];
        palette[i] = packArgb(0xFF, c.Red, c.Green, c.Blue);
    }
    if (transparent >= 0 && transparent < 256) palette[transparent] = 0;
    return palette;
}

// Decodes the frame's rows in file order (interlaced: four passes) onto the
// screen; rows and columns outside the screen are read and dropped.
bool readFrame(GifFileType* gif, const std::array<uint32_t, 256>& palette,
               std::vector<uint32_t>& pixels) {
    const GifImageDesc& desc = gif->Image;
    static constexpr int kPassStart[] = {0, 4, 2, 1};
    static constexpr int kPassStep[] = {8, 8, 4, 2};
    int passes = desc.Interlace ? 4 : 1;
    std::vector<GifPixelType> line(static_cast<size_t>(desc.Width));
    int visible = std::clamp(gif->SWidth - desc.Left, 0, desc.Width);
    for (int pass = 0; pass < passes; ++pass) {
        int start = desc.Interlace ? kPassStart[pass] : 0;
        int step = desc.Interlace ? kPassStep[pass] : 1;
        for (int r = start; r < desc.Height; r += step) {
            if (DGifGetLine(gif, line.data(), desc.Width) == GIF_ERROR) return false;
            int y = desc.Top + r;
            if (y >= gif->SHeight || visible == 0) continue;
            uint32_t* out = pixels.data() + static_cast<size_t>(y) * gif->SWidth + desc.Left;
            for (int x = 0; x < visible; ++x) out[x] = palette[line[x]];
        }
    }
    return true;
}

}  // namespace

ImageRef decodeGif(const uint8_t* data, size_t size) {
    GifSource src{data, size, 0};
    int error = 0;
    std::unique_ptr<GifFileType, GifCloser> gif(DGifOpen(&src, readGifBytes, &error));
    if (!gif || !dimensionsAllowed(gif->SWidth, gif->SHeight)) return nullptr;
    int transparent = -1;
    if (!readToFirstFrame(gif.get(), transparent)) return nullptr;
    const GifImageDesc& desc = gif->Image;
    const ColorMapObject* map = desc.ColorMap != nullptr ? desc.ColorMap : gif->SColorMap;
    // A frame larger than the cap would cost time for pixels that are dropped.
    if (map == nullptr || !dimensionsAllowed(desc.Width, desc.Height) || desc.Left < 0 ||
        desc.Top < 0) {
        return nullptr;
    }
    // Outside the frame the screen stays transparent.
    std::vector<uint32_t> pixels(static_cast<size_t>(gif->SWidth) * gif->SHeight, 0);
    if (!readFrame(gif.get(), buildPalette(*map, transparent), pixels)) return nullptr;
    return finishImage(gif->SWidth, gif->SHeight, std::move(pixels));
}

}  // namespace zq::codec
