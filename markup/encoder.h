// FieldEncoder: the reversible scheme in which marked form values travel
// between the client and the servers (both directions).
//
// This is obfuscation that the servers expect, not protection: anyone can
// decode a value without the keys. It must stay byte-exact with the
// servers' side.
//
// Encoding interleaves the value with the inner key, converts it and the
// outer key (k2 + k3) to code page 0 (CP936), Base64-encodes both and
// interleaves the two Base64 texts. Decoding takes the even positions
// twice and needs no key. Characters CP936 lacks, lone surrogates among
// them, become '?' and do not survive a round trip.
//
// A plain value object for one call on one thread.
#pragma once

#include "platform/cstring.h"

namespace zq {

class FieldEncoder {
public:
    // The key set of text fields marked "staticcrypt".
    static constexpr const char16_t* kDefaultK1 = u"30648251";
    static constexpr const char16_t* kDefaultK2 = u"94175032";
    static constexpr const char16_t* kDefaultK3 = u"58203716";

    FieldEncoder(const CString& k1, const CString& k2, const CString& k3, const CString& value)
        : k1_(k1), k2_(k2), k3_(k3), value_(value) {}
    // With the default key set.
    static FieldEncoder withDefaultKeys(const CString& value) {
        return FieldEncoder(kDefaultK1, kDefaultK2, kDefaultK3, value);
    }

    CString encodeValue() const;
    // The plain value; empty for a text of odd length. Rewrites the
    // encoder's own copy of the value ("%3D" back to "=").
    CString decodeValue();

    // a[0] b[0] a[1] b[1] ...: always twice as long as `a`; once `b` runs
    // out, the index of the character of `a` mod 10 stands in for it.
    static CString interleave(const CString& a, const CString& b);
    CString innerText() const { return interleave(value_, k1_); }
    CString outerKey() const { return k2_ + k3_; }

private:
    CString k1_;
    CString k2_;
    CString k3_;
    CString value_;
};

// The pre-filled value of an input element as its control shows it: with
// `staticCrypt` decoded (default key set), else with an "encrypt" text of
// "true" (any case) decoded, whether the page holds a form yet or not (no
// key is needed to decode); else as written.
CString decodeFieldValue(const CString& value, bool staticCrypt, const CString& encrypt);

}  // namespace zq
