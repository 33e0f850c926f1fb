// GBK and Big5 through iconv. UTF-8 goes through our own codec (utf8.cpp).
//
// Decoding never stops at bad bytes: an undecodable byte becomes U+FFFD and
// decoding resumes at the next byte, so a broken lead byte cannot eat the
// ASCII after it. Encoding replaces each character the page lacks (a
// surrogate pair counts as one character) with '?'.
#include <errno.h>
#include <iconv.h>

#include <algorithm>
#include <bit>
#include <cstring>
#include <vector>

#include "platform/cstring.h"

namespace zq {

namespace {

constexpr const char* kUtf16Name =
    std::endian::native == std::endian::little ? "UTF-16LE" : "UTF-16BE";

enum class Direction { kDecode, kEncode };

// Owns one iconv descriptor.
class IconvHandle {
public:
    IconvHandle() = default;
    IconvHandle(const IconvHandle&) = delete;
    IconvHandle& operator=(const IconvHandle&) = delete;
    ~IconvHandle() {
        if (valid()) iconv_close(cd_);
    }

    bool valid() const { return cd_ != reinterpret_cast<iconv_t>(-1); }
    iconv_t get() const { return cd_; }
    void open(const char* to, const char* from) { cd_ = iconv_open(to, from); }

private:
    iconv_t cd_ = reinterpret_cast<iconv_t>(-1);
};

// iconv descriptors keep shift state and must not be shared between threads,
// so each thread opens its own on first use and keeps them until it ends.
class IconvCache {
public:
    iconv_t get(int codePage, Direction dir) {
        const int page = codePage == kCodePageBig5 ? 1 : 0;
        IconvHandle& h = handles_[page][dir == Direction::kDecode ? 0 : 1];
        if (!h.valid()) {
            const char* name = page == 1 ? "BIG5" : "GBK";
            if (dir == Direction::kDecode) {
                h.open(kUtf16Name, name);
            } else {
                h.open(name, kUtf16Name);
            }
        }
        if (h.valid()) iconv(h.get(), nullptr, nullptr, nullptr, nullptr);
        return h.get();
    }

private:
    IconvHandle handles_[2][2];
};

iconv_t cachedDescriptor(int codePage, Direction dir) {
    thread_local IconvCache cache;
    return cache.get(codePage, dir);
}

bool isHighSurrogate(char16_t u) { return u >= 0xD800 && u <= 0xDBFF; }
bool isLowSurrogate(char16_t u) { return u >= 0xDC00 && u <= 0xDFFF; }

// Runs `cd` over the whole input into `out` (growing it when needed).
// `onError` is called with the unconverted rest when iconv stops at input it
// cannot handle; it returns how many input bytes to skip after writing its
// replacement into `out`.
template <class OnError>
void runIconv(iconv_t cd, const char* in, size_t inLeft, std::vector<char>& out, size_t& used,
              OnError onError) {
    auto* src = const_cast<char*>(in);
    while (inLeft > 0) {
        char* dst = out.data() + used;
        size_t dstLeft = out.size() - used;
        const size_t r = iconv(cd, &src, &inLeft, &dst, &dstLeft);
        used = out.size() - dstLeft;
        if (r != static_cast<size_t>(-1)) break;
        if (errno == E2BIG) {
            out.resize(out.size() * 2 + 16);
            continue;
        }
        // EILSEQ or EINVAL (incomplete at the end), or anything unexpected.
        const size_t skip = std::min(onError(src, inLeft, out, used), inLeft);
        src += skip;
        inLeft -= skip;
        iconv(cd, nullptr, nullptr, nullptr, nullptr);
    }
}

void appendBytes(std::vector<char>& out, size_t& used, const void* bytes, size_t n) {
    if (out.size() - used < n) out.resize(out.size() * 2 + n + 16);
    std::memcpy(out.data() + used, bytes, n);
    used += n;
}

CString decodeWithIconv(std::string_view bytes, int codePage) {
    iconv_t cd = cachedDescriptor(codePage, Direction::kDecode);
    if (cd == reinterpret_cast<iconv_t>(-1)) {
        // No converter on this system: keep ASCII, mark the rest.
        std::u16string s;
        for (unsigned char c : bytes) s += c < 0x80 ? char16_t(c) : char16_t(0xFFFD);
        return CString(std::move(s));
    }
    // A double-byte page yields at most one unit per byte.
    std::vector<char> out((bytes.size() + 4) * sizeof(char16_t));
    size_t used = 0;
    runIconv(cd, bytes.data(), bytes.size(), out, used,
             [](const char*, size_t, std::vector<char>& o, size_t& u) {
                 const char16_t fffd = 0xFFFD;
                 appendBytes(o, u, &fffd, sizeof fffd);
                 return size_t{1};
             });
    std::u16string s(used / sizeof(char16_t), u'\0');
    std::memcpy(s.data(), out.data(), s.size() * sizeof(char16_t));
    return CString(std::move(s));
}

std::string encodeWithIconv(std::u16string_view text, int codePage) {
    iconv_t cd = cachedDescriptor(codePage, Direction::kEncode);
    if (cd == reinterpret_cast<iconv_t>(-1)) {
        std::string s;
        for (char16_t u : text) {
            if (isLowSurrogate(u)) continue;  // counted with its high half
            s += u < 0x80 ? char(u) : '?';
        }
        return s;
    }
    // A double-byte page needs at most two bytes per unit.
    std::vector<char> out(text.size() * 2 + 8);
    size_t used = 0;
    runIconv(cd, reinterpret_cast<const char*>(text.data()), text.size() * sizeof(char16_t), out,
             used, [](const char* rest, size_t restLeft, std::vector<char>& o, size_t& u) {
                 appendBytes(o, u, "?", 1);
                 char16_t units[2] = {0, 0};
                 std::memcpy(units, rest, std::min(restLeft, sizeof units));
                 const bool pair = restLeft >= sizeof units && isHighSurrogate(units[0]) &&
                                   isLowSurrogate(units[1]);
                 return pair ? sizeof units : sizeof(char16_t);
             });
    return std::string(out.data(), used);
}

}  // namespace

CString CString::fromCodePage(std::string_view bytes, int codePage) {
    if (codePage == kCodePageUtf8) return CString(utf8ToUtf16(bytes));
    if (bytes.empty()) return CString();
    return decodeWithIconv(bytes, codePage);
}

std::string CString::toCodePage(int codePage) const {
    if (codePage == kCodePageUtf8) return utf16ToUtf8(s_);
    if (s_.empty()) return std::string();
    return encodeWithIconv(s_, codePage);
}

}  // namespace zq
