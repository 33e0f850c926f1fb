#include "markup/encoder.h"

#include <string>

#include "core/base64.h"
#include "core/multibyte.h"

namespace zq {

namespace {

// The characters at positions 0, 2, 4, ...
CString evenPositions(std::u16string_view text) {
    std::u16string out;
    out.reserve((text.size() + 1) / 2);
    for (size_t i = 0; i < text.size(); i += 2) out += text[i];
    return CString(std::move(out));
}

CString base64OfCodePage0(const CString& text) {
    // Up to the first NUL, as the narrow text would end there.
    const std::string bytes = wideToMultiByte(text, kCodePageDefault);
    return Base64Codec::encode(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size());
}

}  // namespace

CString FieldEncoder::interleave(const CString& a, const CString& b) {
    const std::u16string_view first = a.view();
    const std::u16string_view second = b.view();
    std::u16string out;
    out.reserve(first.size() * 2);
    for (size_t i = 0; i < first.size(); ++i) {
        out += first[i];
        out += i < second.size() ? second[i] : static_cast<char16_t>(u'0' + i % 10);
    }
    return CString(std::move(out));
}

CString FieldEncoder::encodeValue() const {
    return interleave(base64OfCodePage0(innerText()), base64OfCodePage0(outerKey()));
}

CString FieldEncoder::decodeValue() {
    // 1-2. Undo the URL encoding of the padding; pairs or nothing.
    value_.replace(CString(u"%3D"), CString(u"="));
    if (value_.length() % 2 != 0) return CString();

    // 3-4. The Base64 text, its bytes up to the first zero, as CP936.
    const std::string bytes = Base64Codec::decode(evenPositions(value_.view()));
    const CString inner = multiByteToWide(bytes, kCodePageDefault);

    // 5. The value stands at the even positions of the inner text.
    return evenPositions(inner.view());
}

CString decodeFieldValue(const CString& value, bool staticCrypt, const CString& encrypt) {
    if (staticCrypt) return FieldEncoder::withDefaultKeys(value).decodeValue();
    if (encrypt.equalsNoCase(u"true"))
        return FieldEncoder(CString(), CString(), CString(), value).decodeValue();
    return value;
}

}  // namespace zq
