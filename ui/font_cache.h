// The four shared fonts of the default styles.
//
// Each getter returns the font of its slot, creating it on first use from
// the base font size of the screen metrics (ui/client_context.h) through
// getFont; later calls return the same FontRef. Heights are cell heights in
// pixels. Safe to call from any thread: a slot is filled once even when
// several threads ask at the same moment.
#pragma once

#include "platform/font.h"

namespace zq {

// The font of the default item style: the base font size.
FontRef createStyleFont();
// Base font size × 0.83, truncated (11 for 14).
FontRef createSmallStyleFont();
// The base font size.
FontRef createNormalStyleFont();
// Base font size + 1.
FontRef createLargeStyleFont();

// Empties the four slots (shut-down, and tests that change the font source
// or the base font size). Fonts handed out stay valid.
void releaseSharedFonts();

}  // namespace zq
