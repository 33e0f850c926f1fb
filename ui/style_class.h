// The page style sheets' class rules, as the toolkit reaches them: the
// markup layer installs the function that applies them; until it does,
// asking for a class changes nothing.
#pragma once

#include "platform/cstring.h"

namespace zq {

class Style;

// Fills `style` from the rules of class `className` in the style sheets
// loaded so far; a class no rule names leaves it unchanged. UI thread.
using StyleClassApplier = void (*)(Style* style, const CString& className);

// Null uninstalls. Install before the UI thread builds pages.
void setStyleClassApplier(StyleClassApplier applier);
StyleClassApplier styleClassApplier();

// The installed applier's work on a non-null style; nothing otherwise.
void applyStyleClass(Style* style, const CString& className);

}  // namespace zq
