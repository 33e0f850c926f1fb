// The system font source: WenQuanYi Micro Hei found through fontconfig and
// rendered by FreeType into grayscale coverage masks.
#include <fontconfig/fontconfig.h>
#include <ft2build.h>
#include FT_FREETYPE_H
#include FT_OUTLINE_H

#include <algorithm>
#include <mutex>
#include <optional>
#include <string>
#include <unordered_map>
#include <utility>

#include "platform/font.h"

namespace zq {
namespace {

constexpr char kFamily[] = "WenQuanYi Micro Hei";
constexpr char kPackage[] = "fonts-wqy-microhei";

struct FcPatternDeleter {
    void operator()(FcPattern* p) const { FcPatternDestroy(p); }
};
using FcPatternPtr = std::unique_ptr<FcPattern, FcPatternDeleter>;

struct FcConfigDeleter {
    void operator()(FcConfig* c) const { FcConfigDestroy(c); }
};

// A configuration of our own rather than fontconfig's global one, which it
// never frees unless FcFini runs; ours is released at exit. Null when
// fontconfig cannot start.
FcConfig* fontconfig() {
    static const std::unique_ptr<FcConfig, FcConfigDeleter> config(FcInitLoadConfigAndFonts());
    return config.get();
}

struct FaceLocation {
    std::string file;
    int index = 0;
};

// Fontconfig always offers some face; only the family asked for will do.
bool hasFamily(FcPattern* match, const char* family) {
    FcChar8* name = nullptr;
    for (int i = 0; FcPatternGetString(match, FC_FAMILY, i, &name) == FcResultMatch; ++i) {
        if (FcStrCmpIgnoreCase(name, reinterpret_cast<const FcChar8*>(family)) == 0) return true;
    }
    return false;
}

std::optional<FaceLocation> findFace(int fcWeight, std::string* error) {
    auto notFound = [error]() -> std::optional<FaceLocation> {
        if (error) {
            *error =
                std::string("font \"") + kFamily + "\" not found; install the package " + kPackage;
        }
        return std::nullopt;
    };
    FcConfig* config = fontconfig();
    FcPatternPtr pattern(FcPatternCreate());
    if (!config || !pattern) return notFound();
    FcPatternAddString(pattern.get(), FC_FAMILY, reinterpret_cast<const FcChar8*>(kFamily));
    FcPatternAddInteger(pattern.get(), FC_WEIGHT, fcWeight);
    FcConfigSubstitute(config, pattern.get(), FcMatchPattern);
    FcDefaultSubstitute(pattern.get());
    FcResult result = FcResultNoMatch;
    FcPatternPtr match(FcFontMatch(config, pattern.get(), &result));
    FcChar8* file = nullptr;
    if (!match || !hasFamily(match.get(), kFamily) ||
        FcPatternGetString(match.get(), FC_FILE, 0, &file) != FcResultMatch) {
        return notFound();
    }
    FaceLocation location;
    location.file = reinterpret_cast<const char*>(file);
    FcPatternGetInteger(match.get(), FC_INDEX, 0, &location.index);
    return location;
}

// One FT_Library for all faces of the source. Creating and destroying faces
// on a library must not run concurrently, hence the mutex.
class FtLibrary {
public:
    static std::shared_ptr<FtLibrary> create() {
        FT_Library library = nullptr;
        if (FT_Init_FreeType(&library) != 0) return nullptr;
        return std::make_shared<FtLibrary>(library);
    }
    explicit FtLibrary(FT_Library library) : library_(library) {}
    ~FtLibrary() { FT_Done_FreeType(library_); }
    FtLibrary(const FtLibrary&) = delete;
    FtLibrary& operator=(const FtLibrary&) = delete;

    FT_Library get() const { return library_; }
    std::mutex& mutex() { return mutex_; }

private:
    FT_Library library_;
    std::mutex mutex_;
};

// Owns an FT_Face and keeps its library alive for as long as the face lives.
class FtFace {
public:
    static std::unique_ptr<FtFace> open(std::shared_ptr<FtLibrary> library,
                                        const FaceLocation& where) {
        FT_Face face = nullptr;
        {
            std::lock_guard lock(library->mutex());
            if (FT_New_Face(library->get(), where.file.c_str(), where.index, &face) != 0) {
                return nullptr;
            }
        }
        return std::make_unique<FtFace>(std::move(library), face);
    }
    FtFace(std::shared_ptr<FtLibrary> library, FT_Face face)
        : library_(std::move(library)), face_(face) {}
    ~FtFace() {
        std::lock_guard lock(library_->mutex());
        FT_Done_Face(face_);
    }
    FtFace(const FtFace&) = delete;
    FtFace& operator=(const FtFace&) = delete;

    FT_Face get() const { return face_; }

private:
    std::shared_ptr<FtLibrary> library_;
    FT_Face face_;
};

int roundPixels(FT_Pos value26_6) { return static_cast<int>((value26_6 + 32) >> 6); }

void copyBitmap(const FT_Bitmap& bitmap, Glyph& glyph) {
    glyph.width = static_cast<int>(bitmap.width);
    glyph.height = static_cast<int>(bitmap.rows);
    glyph.coverage.assign(static_cast<size_t>(glyph.width) * glyph.height, 0);
    for (int y = 0; y < glyph.height; ++y) {
        const unsigned char* src = bitmap.buffer + static_cast<ptrdiff_t>(y) * bitmap.pitch;
        uint8_t* dst = glyph.coverage.data() + static_cast<size_t>(y) * glyph.width;
        if (bitmap.pixel_mode == FT_PIXEL_MODE_GRAY) {
            std::copy(src, src + glyph.width, dst);
        } else if (bitmap.pixel_mode == FT_PIXEL_MODE_MONO) {
            for (int x = 0; x < glyph.width; ++x) {
                dst[x] = (src[x >> 3] & (0x80 >> (x & 7))) ? 0xFF : 0;
            }
        }
    }
}

class FreeTypeFont final : public Font {
public:
    FreeTypeFont(std::unique_ptr<FtFace> face, int ascent, int descent, int weight,
                 FT_Pos emboldenStrength)
        : Font(ascent, descent, weight),
          face_(std::move(face)),
          emboldenStrength_(emboldenStrength) {}

    int charWidth(char32_t ch) const override { return glyph(ch).advance; }

    // Keyed by glyph index, so the cache never outgrows the face however
    // many different characters a page sends.
    const Glyph& glyph(char32_t ch) const override {
        std::lock_guard lock(mutex_);
        FT_UInt index = FT_Get_Char_Index(face_->get(), ch);
        auto it = cache_.find(index);
        if (it == cache_.end()) it = cache_.emplace(index, render(index)).first;
        return it->second;
    }

private:
    Glyph render(FT_UInt index) const {
        Glyph glyph;
        FT_Face face = face_->get();
        if (FT_Load_Glyph(face, index, FT_LOAD_NO_BITMAP | FT_LOAD_TARGET_LIGHT) != 0) {
            glyph.advance = std::max(1, height() / 2);
            return glyph;
        }
        FT_GlyphSlot slot = face->glyph;
        FT_Pos advance = slot->advance.x;
        if (emboldenStrength_ > 0 && slot->format == FT_GLYPH_FORMAT_OUTLINE) {
            FT_Outline_Embolden(&slot->outline, emboldenStrength_);
            advance += emboldenStrength_;
        }
        glyph.advance = std::max(0, roundPixels(advance));
        if (FT_Render_Glyph(slot, FT_RENDER_MODE_NORMAL) != 0) return glyph;
        copyBitmap(slot->bitmap, glyph);
        glyph.left = slot->bitmap_left;
        glyph.top = slot->bitmap_top;
        return glyph;
    }

    std::unique_ptr<FtFace> face_;
    FT_Pos emboldenStrength_;
    mutable std::mutex mutex_;  // guards face_ and cache_: FreeType faces are not thread-safe
    // Node-based, so references to glyphs stay valid as it grows.
    mutable std::unordered_map<FT_UInt, Glyph> cache_;
};

class SystemFontSource final : public FontSource {
public:
    SystemFontSource()
        : library_(FtLibrary::create()),
          regular_(findFace(FC_WEIGHT_REGULAR, nullptr)),
          bold_(findFace(FC_WEIGHT_BOLD, nullptr)) {}

    FontRef font(int cellHeight, int weight) override {
        bool wantBold = weight >= static_cast<int>(FontWeight::Bold);
        const std::optional<FaceLocation>& where = wantBold && bold_ ? bold_ : regular_;
        std::unique_ptr<FtFace> face;
        if (library_ && where) face = FtFace::open(library_, *where);
        if (!face || !FT_IS_SCALABLE(face->get()))
            return FixedFontSource().font(cellHeight, weight);
        // Fontconfig may offer the regular face for a bold request; only the
        // face itself knows whether it is bold.
        bool embolden = wantBold && !(face->get()->style_flags & FT_STYLE_FLAG_BOLD);
        return makeFont(std::move(face), cellHeight, weight, embolden);
    }

private:
    // Scales the face so that its ascender plus descender fill the cell.
    static FontRef makeFont(std::unique_ptr<FtFace> face, int cellHeight, int weight,
                            bool embolden) {
        FT_Face ft = face->get();
        int designAscent = ft->ascender;
        int designHeight = ft->ascender - ft->descender;
        FT_Size_RequestRec request{};
        request.type = FT_SIZE_REQUEST_TYPE_REAL_DIM;
        request.height = static_cast<FT_Long>(cellHeight) * 64;
        if (designHeight <= 0 || designAscent < 0 || FT_Request_Size(ft, &request) != 0) {
            return FixedFontSource().font(cellHeight, weight);
        }
        int ascent = std::clamp((designAscent * cellHeight + designHeight / 2) / designHeight, 0,
                                cellHeight);
        // About a twentieth of the em, and at least a pixel so small sizes show it.
        FT_Pos strength = 0;
        if (embolden) strength = std::max<FT_Pos>(64, ft->size->metrics.y_ppem * 64 / 20);
        return std::make_shared<FreeTypeFont>(std::move(face), ascent, cellHeight - ascent, weight,
                                              strength);
    }

    std::shared_ptr<FtLibrary> library_;
    std::optional<FaceLocation> regular_;
    std::optional<FaceLocation> bold_;
};

}  // namespace

bool systemFontAvailable(std::string* error) {
    if (error) error->clear();
    return findFace(FC_WEIGHT_REGULAR, error).has_value();
}

std::shared_ptr<FontSource> makeSystemFontSource() { return std::make_shared<SystemFontSource>(); }

}  // namespace zq
