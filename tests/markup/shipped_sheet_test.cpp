// The style sheet the client ships ("css/default.css") read as every page
// reads it, against the looks the toolkit draws with.
#include <gtest/gtest.h>

#include <optional>
#include <string>

#include "markup/style_sheet.h"
#include "platform/files.h"
#include "tests/support/test_env.h"
#include "tests/support/test_font.h"
#include "ui/background.h"
#include "ui/command_item.h"
#include "ui/default_styles.h"
#include "ui/style.h"

namespace zq {
namespace {

// Regression: the shipped sheet gave menu entries white text, so the popup
// menu (0xEEEEEE) showed light grey on grey and its focused entry (0x696969)
// dark on grey.
TEST(ShippedSheet, PopupMenuEntriesReadOnTheMenusFills) {
    test::ScopedFixedFont font;
    const std::optional<std::string> text =
        readFile(test::sourceDir() / "resources" / "ZQ Resource" / "css" / "default.css");
    ASSERT_TRUE(text);
    StyleSheet sheet;
    ASSERT_GT(sheet.addText(CString::fromUtf8(*text), DuplicateRule::KeepFirst), 0);

    Style* entry = createMenuCommandStyle();
    sheet.apply(entry, u"commanditem");
    Style* focused = entry->getStyleProperty(prop::kFocusedStyle);
    ASSERT_NE(focused, nullptr);
    EXPECT_EQ(popupMenuStyle()->getColor(), 0x111111u);
    EXPECT_EQ(entry->getColor(), 0x111111u);    // on the menu's 0xEEEEEE
    EXPECT_EQ(focused->getColor(), 0xFFFFFFu);  // on the focused entry's 0x696969
    freeTrackedStyles();
}

}  // namespace
}  // namespace zq
