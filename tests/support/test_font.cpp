#include "tests/support/test_font.h"

#include <memory>

#include "platform/font.h"

namespace zq::test {

ScopedFixedFont::ScopedFixedFont() { setFontSource(std::make_shared<FixedFontSource>()); }

ScopedFixedFont::~ScopedFixedFont() { setFontSource(nullptr); }

}  // namespace zq::test
