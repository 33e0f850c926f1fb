// The system font source: WenQuanYi Micro Hei found through fontconfig and
// rendered by FreeType into grayscale coverage masks.
#include <fcntl.h>
#include <fontconfig/fontconfig.h>
#include <ft2build.h>
#include FT_FREETYPE_H
#include FT_OUTLINE_H
#include FT_SIZES_H
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <atomic>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <unordered_map>
#include <utility>
#include <vector>

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

// Where the package puts the face fontconfig finds for the family (in both
// weights). Opening it directly spares fontconfig's start-up, which reads
// every configuration file and is about a sixth of the client's start. A
// configuration named in the environment is asked instead.
constexpr char kPackageFile[] = "/usr/share/fonts/truetype/wqy/wqy-microhei.ttc";

bool packageFileWillDo() {
    return !std::getenv("FONTCONFIG_FILE") && !std::getenv("FONTCONFIG_PATH") &&
           ::access(kPackageFile, R_OK) == 0;
}

std::optional<FaceLocation> findFace(int fcWeight, std::string* error) {
    if (packageFileWillDo()) return FaceLocation{kPackageFile, 0};
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

// The font file, read with pread as FreeType asks for its parts. FreeType's
// own way maps the whole file, and the pages its loaders and the hinter touch
// (about 3 MB of the 5 MB CJK face) then count as the client's memory; read
// this way it holds only the tables it keeps (character map, glyph offsets
// and metrics) and reads each outline when the glyph is first drawn.
// FreeType reads table headers a few bytes at a time, thousands of reads
// while a face opens: small reads are served from a few cached blocks.
class FontFile {
public:
    static std::unique_ptr<FontFile> open(const std::string& path) {
        const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
        if (fd < 0) return nullptr;
        struct stat info {};
        if (fstat(fd, &info) != 0 || info.st_size <= 0) {
            ::close(fd);
            return nullptr;
        }
        return std::make_unique<FontFile>(fd, static_cast<unsigned long>(info.st_size));
    }
    FontFile(int fd, unsigned long size) : fd_(fd) {
        stream_.size = size;
        stream_.descriptor.pointer = this;
        stream_.read = &FontFile::read;
    }
    ~FontFile() { ::close(fd_); }
    FontFile(const FontFile&) = delete;
    FontFile& operator=(const FontFile&) = delete;

    FT_Stream stream() { return &stream_; }

private:
    static constexpr unsigned long kBlockSize = 4096;
    static constexpr size_t kBlocks = 32;

    struct Block {
        unsigned long offset = 0;
        unsigned long length = 0;  // 0: empty
        std::vector<unsigned char> bytes;
    };

    // A count of 0 is a seek, which needs nothing; a short read returns what
    // was read, which FreeType treats as an error.
    static unsigned long read(FT_Stream stream, unsigned long offset, unsigned char* buffer,
                              unsigned long count) {
        if (count == 0) return offset <= stream->size ? 0 : 1;
        auto* file = static_cast<FontFile*>(stream->descriptor.pointer);
        if (count <= kBlockSize / 4) return file->readCached(offset, buffer, count);
        return file->readFile(offset, buffer, count);
    }

    unsigned long readFile(unsigned long offset, unsigned char* buffer, unsigned long count) const {
        unsigned long done = 0;
        while (done < count) {
            const ssize_t got =
                pread(fd_, buffer + done, count - done, static_cast<off_t>(offset + done));
            if (got < 0 && errno == EINTR) continue;
            if (got <= 0) break;
            done += static_cast<unsigned long>(got);
        }
        return done;
    }

    unsigned long readCached(unsigned long offset, unsigned char* buffer, unsigned long count) {
        for (Block& block : blocks_) {
            if (block.length != 0 && offset >= block.offset &&
                offset - block.offset + count <= block.length) {
                std::memcpy(buffer, block.bytes.data() + (offset - block.offset), count);
                return count;
            }
        }
        // The block round the request, or starting at it where it would
        // cross the block's end.
        Block& block = blocks_[nextBlock_];
        nextBlock_ = (nextBlock_ + 1) % kBlocks;
        unsigned long start = offset - offset % kBlockSize;
        if (offset - start + count > kBlockSize) start = offset;
        block.bytes.resize(kBlockSize);
        block.offset = start;
        block.length = readFile(start, block.bytes.data(), kBlockSize);
        const unsigned long available =
            block.length > offset - start ? block.length - (offset - start) : 0;
        const unsigned long copied = std::min(count, available);
        if (copied > 0) std::memcpy(buffer, block.bytes.data() + (offset - start), copied);
        return copied;
    }

    int fd_;
    FT_StreamRec stream_{};
    std::array<Block, kBlocks> blocks_;
    size_t nextBlock_ = 0;
};

// Owns an FT_Face and keeps its library alive for as long as the face lives.
// One face serves every size of its file: each font has a size object of its
// own and activates it under the face's mutex, so the file is read and the
// hinter's per-face tables are built once, not once per size and weight.
class FtFace {
public:
    static std::shared_ptr<FtFace> open(std::shared_ptr<FtLibrary> library,
                                        const FaceLocation& where) {
        std::unique_ptr<FontFile> file = FontFile::open(where.file);
        if (!file) return nullptr;
        FT_Open_Args args{};
        args.flags = FT_OPEN_STREAM;
        args.stream = file->stream();
        FT_Face face = nullptr;
        {
            std::lock_guard lock(library->mutex());
            if (FT_Open_Face(library->get(), &args, where.index, &face) != 0) return nullptr;
        }
        return std::make_shared<FtFace>(std::move(library), std::move(file), face);
    }
    FtFace(std::shared_ptr<FtLibrary> library, std::unique_ptr<FontFile> file, FT_Face face)
        : library_(std::move(library)), file_(std::move(file)), face_(face) {}
    ~FtFace() {
        std::lock_guard lock(library_->mutex());
        FT_Done_Face(face_);
    }
    FtFace(const FtFace&) = delete;
    FtFace& operator=(const FtFace&) = delete;

    FT_Face get() const { return face_; }
    // Guards the face and all its sizes: FreeType faces are not thread-safe.
    std::mutex& mutex() { return mutex_; }

private:
    std::shared_ptr<FtLibrary> library_;
    std::unique_ptr<FontFile> file_;  // read by the face until FT_Done_Face
    FT_Face face_;
    std::mutex mutex_;
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

// Characters of the Basic Multilingual Plane find their glyph through a
// two-level table of atomics, without a lock once drawn; pages of 256
// characters are made as the text needs them.
constexpr size_t kPageBits = 8;
constexpr size_t kPageSize = size_t{1} << kPageBits;
constexpr size_t kTablePages = 0x10000 >> kPageBits;
using GlyphPage = std::array<std::atomic<const Glyph*>, kPageSize>;

class FreeTypeFont final : public Font {
public:
    FreeTypeFont(std::shared_ptr<FtFace> face, FT_Size size, int ascent, int descent, int weight,
                 FT_Pos emboldenStrength)
        : Font(ascent, descent, weight),
          face_(std::move(face)),
          size_(size),
          emboldenStrength_(emboldenStrength) {}
    ~FreeTypeFont() override {
        std::lock_guard lock(face_->mutex());
        FT_Done_Size(size_);
    }
    FreeTypeFont(const FreeTypeFont&) = delete;
    FreeTypeFont& operator=(const FreeTypeFont&) = delete;

    int charWidth(char32_t ch) const override { return glyph(ch).advance; }

    const Glyph& glyph(char32_t ch) const override {
        if (ch < 0x10000) {
            const GlyphPage* page = table_[ch >> kPageBits].load(std::memory_order_acquire);
            if (page) {
                const Glyph* known = (*page)[ch & (kPageSize - 1)].load(std::memory_order_acquire);
                if (known) return *known;
            }
        }
        return slowGlyph(ch);
    }

private:
    // Kept out of line so that the lookup above stays a few instructions.
    [[gnu::noinline]] const Glyph& slowGlyph(char32_t ch) const {
        std::lock_guard lock(mutex_);
        const Glyph& found = glyphOfIndex(ch);
        if (ch < 0x10000) {
            std::atomic<const GlyphPage*>& slot = table_[ch >> kPageBits];
            const GlyphPage* page = slot.load(std::memory_order_relaxed);
            if (!page) {
                pages_.push_back(std::make_unique<GlyphPage>());
                page = pages_.back().get();
                slot.store(page, std::memory_order_release);
            }
            const_cast<GlyphPage&>(*page)[ch & (kPageSize - 1)].store(&found,
                                                                      std::memory_order_release);
        }
        return found;
    }

    // Keyed by glyph index, so the cache never outgrows the face however
    // many different characters a page sends.
    const Glyph& glyphOfIndex(char32_t ch) const {
        std::lock_guard faceLock(face_->mutex());
        FT_UInt index = FT_Get_Char_Index(face_->get(), ch);
        auto it = cache_.find(index);
        if (it == cache_.end()) it = cache_.emplace(index, render(index)).first;
        return it->second;
    }

    Glyph render(FT_UInt index) const {
        Glyph glyph;
        FT_Face face = face_->get();
        if (FT_Activate_Size(size_) != 0 ||
            FT_Load_Glyph(face, index, FT_LOAD_NO_BITMAP | FT_LOAD_TARGET_LIGHT) != 0) {
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

    std::shared_ptr<FtFace> face_;
    FT_Size size_;  // owned; released under the face's mutex
    FT_Pos emboldenStrength_;
    mutable std::mutex mutex_;  // guards cache_ and pages_, and writes to table_
    // Node-based, so references to glyphs stay valid as it grows.
    mutable std::unordered_map<FT_UInt, Glyph> cache_;
    mutable std::array<std::atomic<const GlyphPage*>, kTablePages> table_{};
    mutable std::vector<std::unique_ptr<GlyphPage>> pages_;
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
        std::shared_ptr<FtFace> face;
        if (library_ && where) face = openFace(*where);
        if (!face || !FT_IS_SCALABLE(face->get()))
            return FixedFontSource().font(cellHeight, weight);
        // Fontconfig may offer the regular face for a bold request; only the
        // face itself knows whether it is bold.
        bool embolden = wantBold && !(face->get()->style_flags & FT_STYLE_FLAG_BOLD);
        return makeFont(std::move(face), cellHeight, weight, embolden);
    }

private:
    // Called under getFont's lock, so the list needs none of its own.
    std::shared_ptr<FtFace> openFace(const FaceLocation& where) {
        for (const auto& [location, face] : faces_) {
            if (location.file == where.file && location.index == where.index) return face;
        }
        std::shared_ptr<FtFace> face = FtFace::open(library_, where);
        if (face) faces_.emplace_back(where, face);
        return face;
    }

    // Scales the face so that its ascender plus descender fill the cell.
    static FontRef makeFont(std::shared_ptr<FtFace> face, int cellHeight, int weight,
                            bool embolden) {
        FT_Face ft = face->get();
        int designAscent = ft->ascender;
        int designHeight = ft->ascender - ft->descender;
        if (designHeight <= 0 || designAscent < 0)
            return FixedFontSource().font(cellHeight, weight);
        std::unique_lock lock(face->mutex());
        FT_Size size = nullptr;
        if (FT_New_Size(ft, &size) != 0) return FixedFontSource().font(cellHeight, weight);
        FT_Size_RequestRec request{};
        request.type = FT_SIZE_REQUEST_TYPE_REAL_DIM;
        request.height = static_cast<FT_Long>(cellHeight) * 64;
        if (FT_Activate_Size(size) != 0 || FT_Request_Size(ft, &request) != 0) {
            FT_Done_Size(size);
            return FixedFontSource().font(cellHeight, weight);
        }
        int ascent = std::clamp((designAscent * cellHeight + designHeight / 2) / designHeight, 0,
                                cellHeight);
        // About a twentieth of the em, and at least a pixel so small sizes show it.
        FT_Pos strength = 0;
        if (embolden) strength = std::max<FT_Pos>(64, size->metrics.y_ppem * 64 / 20);
        lock.unlock();
        return std::make_shared<FreeTypeFont>(std::move(face), size, ascent, cellHeight - ascent,
                                              weight, strength);
    }

    std::shared_ptr<FtLibrary> library_;
    std::optional<FaceLocation> regular_;
    std::optional<FaceLocation> bold_;
    std::vector<std::pair<FaceLocation, std::shared_ptr<FtFace>>> faces_;
};

}  // namespace

bool systemFontAvailable(std::string* error) {
    if (error) error->clear();
    return findFace(FC_WEIGHT_REGULAR, error).has_value();
}

std::shared_ptr<FontSource> makeSystemFontSource() { return std::make_shared<SystemFontSource>(); }

}  // namespace zq
