// savePng: a 24-bit PNG written with zlib. The bytes are those libpng's
// writer makes with its defaults, so screenshots stay comparable with older
// ones: each row takes the filter whose bytes, read as signed, have the least
// sum of magnitudes (ties to the earlier of None, Sub, Up, Average, Paeth);
// deflate runs at level 6 with a 32 KB window and Z_FILTERED, fed one row
// per call; IDAT chunks hold 8 KB each and the last one the rest. Choosing
// the filter in one pass over the row takes a small part of the time libpng
// spends on it, which is half of a screenshot's.
#include <zlib.h>

#include <algorithm>
#include <array>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "platform/image.h"
#include "platform/surface.h"

namespace zq {

namespace {

constexpr size_t kIdatBytes = 8192;
// Images of at most this many filtered bytes get a smaller deflate window.
constexpr size_t kSmallImageBytes = 16384;
constexpr int kBytesPerPixel = 3;
constexpr int kFilters = 5;  // None, Sub, Up, Average, Paeth

struct FileCloser {
    void operator()(FILE* file) const { std::fclose(file); }
};

void put32(uint8_t* out, uint32_t value) {
    out[0] = static_cast<uint8_t>(value >> 24);
    out[1] = static_cast<uint8_t>(value >> 16);
    out[2] = static_cast<uint8_t>(value >> 8);
    out[3] = static_cast<uint8_t>(value);
}

class ChunkWriter {
public:
    explicit ChunkWriter(FILE* file) : file_(file) {}

    void bytes(const uint8_t* data, size_t size) {
        ok_ = ok_ && (size == 0 || std::fwrite(data, 1, size, file_) == size);
    }
    void chunk(const char (&type)[5], const uint8_t* data, size_t size) {
        uint8_t head[8];
        put32(head, static_cast<uint32_t>(size));
        std::memcpy(head + 4, type, 4);
        // crc32 of a null buffer is its start value, not the running one.
        static const uint8_t kNothing = 0;
        uLong crc = crc32(0, head + 4, 4);
        crc = crc32(crc, size > 0 ? data : &kNothing, static_cast<uInt>(size));
        uint8_t tail[4];
        put32(tail, static_cast<uint32_t>(crc));
        bytes(head, sizeof head);
        bytes(data, size);
        bytes(tail, sizeof tail);
    }
    bool ok() const { return ok_; }

private:
    FILE* file_;
    bool ok_ = true;
};

// How far a filtered byte is from zero, read as a signed byte.
inline unsigned magnitude(uint8_t v) { return std::min<unsigned>(v, 256u - v); }

// One filter over the row: out[i] = row[i] - predict(left, above,
// upper left), with zeros left of the first pixel. Returns the sum of the
// magnitudes. Simple loops, so that the compiler runs them on vectors.
template <class Predict>
unsigned filterWith(const uint8_t* row, const uint8_t* above, size_t length, uint8_t* out,
                    Predict predict) {
    unsigned sum = 0;
    for (size_t i = 0; i < kBytesPerPixel && i < length; ++i) {
        out[i] = static_cast<uint8_t>(row[i] - predict(0, above[i], 0));
        sum += magnitude(out[i]);
    }
    for (size_t i = kBytesPerPixel; i < length; ++i) {
        out[i] = static_cast<uint8_t>(
            row[i] - predict(row[i - kBytesPerPixel], above[i], above[i - kBytesPerPixel]));
        sum += magnitude(out[i]);
    }
    return sum;
}

// Writes each filter's row (its type byte first) into `out` and returns the
// chosen one. `above` is the previous row, zeros for the first.
int filterRow(const uint8_t* row, const uint8_t* above, size_t length,
              std::array<std::vector<uint8_t>, kFilters>& out) {
    std::array<unsigned, kFilters> sums{};
    sums[0] = filterWith(row, above, length, out[0].data() + 1, [](int, int, int) { return 0; });
    sums[1] = filterWith(row, above, length, out[1].data() + 1, [](int a, int, int) { return a; });
    sums[2] = filterWith(row, above, length, out[2].data() + 1, [](int, int b, int) { return b; });
    sums[3] = filterWith(row, above, length, out[3].data() + 1,
                         [](int a, int b, int) { return (a + b) >> 1; });
    sums[4] = filterWith(row, above, length, out[4].data() + 1, [](int a, int b, int c) {
        const int pa = std::abs(b - c);
        const int pb = std::abs(a - c);
        const int pc = std::abs(a + b - 2 * c);
        return (pa <= pb && pa <= pc) ? a : (pb <= pc ? b : c);
    });
    int best = 0;
    for (int f = 0; f < kFilters; ++f) {
        out[f][0] = static_cast<uint8_t>(f);
        if (sums[f] < sums[best]) best = f;
    }
    return best;
}

// The window for `imageBytes` of filtered rows: libpng halves it while the
// image and deflate's look-ahead of 262 bytes fit in half.
int windowBits(size_t imageBytes) {
    int bits = 15;
    if (imageBytes > kSmallImageBytes) return bits;
    for (size_t half = size_t{1} << (bits - 1); imageBytes + 262 <= half; half >>= 1) --bits;
    return bits;
}

// libpng's rewrite of a small image's zlib header: the window it names is
// the smallest that holds the image, and the check bits follow.
void narrowWindowField(uint8_t* stream, size_t imageBytes) {
    if (imageBytes > kSmallImageBytes) return;
    unsigned cmf = stream[0];
    if ((cmf & 0x0f) != 8 || (cmf & 0xf0) > 0x70) return;
    unsigned info = cmf >> 4;
    size_t half = size_t{1} << (info + 7);
    if (imageBytes > half) return;
    do {
        half >>= 1;
        --info;
    } while (info > 0 && imageBytes <= half);
    cmf = (cmf & 0x0f) | (info << 4);
    stream[0] = static_cast<uint8_t>(cmf);
    unsigned flags = stream[1] & 0xe0;
    flags += 0x1f - ((cmf << 8) + flags) % 0x1f;
    stream[1] = static_cast<uint8_t>(flags);
}

// Deflates rows into IDAT chunks as libpng does. Owns the z_stream.
class IdatStream {
public:
    IdatStream(ChunkWriter& writer, size_t imageBytes)
        : writer_(writer), buffer_(kIdatBytes), imageBytes_(imageBytes) {
        ready_ = deflateInit2(&z_, 6, Z_DEFLATED, windowBits(imageBytes), 8, Z_FILTERED) == Z_OK;
        z_.next_out = buffer_.data();
        z_.avail_out = static_cast<uInt>(buffer_.size());
    }
    ~IdatStream() {
        if (ready_) deflateEnd(&z_);
    }
    IdatStream(const IdatStream&) = delete;
    IdatStream& operator=(const IdatStream&) = delete;

    bool add(const uint8_t* data, size_t size) {
        z_.next_in = const_cast<Bytef*>(data);
        z_.avail_in = static_cast<uInt>(size);
        while (ready_ && z_.avail_in > 0) {
            if (deflate(&z_, Z_NO_FLUSH) != Z_OK) ready_ = false;
            if (z_.avail_out == 0) emitFull();
        }
        return ready_;
    }
    // The rest; a stream that ends exactly on a full chunk still ends with
    // an empty one, as libpng's does.
    bool finish() {
        while (ready_) {
            const int result = deflate(&z_, Z_FINISH);
            if (z_.avail_out == 0) emitFull();
            if (result == Z_STREAM_END) {
                emit(buffer_.size() - z_.avail_out);
                return true;
            }
            if (result != Z_OK) ready_ = false;
        }
        return false;
    }

private:
    void emit(size_t size) {
        if (first_ && size >= 2) narrowWindowField(buffer_.data(), imageBytes_);
        first_ = false;
        writer_.chunk("IDAT", buffer_.data(), size);
    }
    void emitFull() {
        emit(buffer_.size());
        z_.next_out = buffer_.data();
        z_.avail_out = static_cast<uInt>(buffer_.size());
    }

    ChunkWriter& writer_;
    std::vector<uint8_t> buffer_;
    size_t imageBytes_;
    bool first_ = true;
    z_stream z_{};
    bool ready_ = false;
};

bool writePng(FILE* file, const Surface& surface) {
    ChunkWriter writer(file);
    static const uint8_t kSignature[8] = {137, 80, 78, 71, 13, 10, 26, 10};
    writer.bytes(kSignature, sizeof kSignature);
    uint8_t header[13];
    put32(header, static_cast<uint32_t>(surface.width()));
    put32(header + 4, static_cast<uint32_t>(surface.height()));
    header[8] = 8;   // bits per sample
    header[9] = 2;   // RGB
    header[10] = 0;  // deflate
    header[11] = 0;  // adaptive filters
    header[12] = 0;  // not interlaced
    writer.chunk("IHDR", header, sizeof header);

    const size_t length = static_cast<size_t>(surface.width()) * kBytesPerPixel;
    std::vector<uint8_t> row(length);
    std::vector<uint8_t> above(length, 0);
    std::array<std::vector<uint8_t>, kFilters> filtered;
    for (std::vector<uint8_t>& f : filtered) f.resize(length + 1);
    IdatStream idat(writer, (length + 1) * static_cast<size_t>(surface.height()));
    for (int y = 0; y < surface.height(); ++y) {
        const uint32_t* in = surface.row(y);
        for (int x = 0; x < surface.width(); ++x) {
            row[x * 3] = static_cast<uint8_t>(in[x] >> 16);
            row[x * 3 + 1] = static_cast<uint8_t>(in[x] >> 8);
            row[x * 3 + 2] = static_cast<uint8_t>(in[x]);
        }
        const int filter = filterRow(row.data(), above.data(), length, filtered);
        if (!idat.add(filtered[filter].data(), length + 1)) return false;
        row.swap(above);
    }
    if (!idat.finish()) return false;
    writer.chunk("IEND", nullptr, 0);
    return writer.ok();
}

}  // namespace

bool savePng(const Surface& surface, const std::string& path) {
    if (surface.width() <= 0 || surface.height() <= 0) return false;
    std::string tmp = path + ".tmp";
    bool ok = false;
    {
        std::unique_ptr<FILE, FileCloser> file(std::fopen(tmp.c_str(), "wb"));
        if (!file) return false;
        ok = writePng(file.get(), surface) && std::fflush(file.get()) == 0;
        if (std::fclose(file.release()) != 0) ok = false;
    }
    if (ok && std::rename(tmp.c_str(), path.c_str()) == 0) return true;
    std::remove(tmp.c_str());
    return false;
}

}  // namespace zq
