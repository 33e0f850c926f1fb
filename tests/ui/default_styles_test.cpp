#include "ui/default_styles.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <thread>
#include <vector>

#include "platform/device_context.h"
#include "platform/surface.h"
#include "tests/support/test_env.h"
#include "tests/support/test_font.h"
#include "ui/background.h"
#include "ui/border.h"
#include "ui/font_cache.h"
#include "ui/graphics_context.h"
#include "ui/image_cache.h"

namespace zq {
namespace {

class DefaultStylesTest : public ::testing::Test {
protected:
    void SetUp() override {
        freeTrackedStyles();
        releaseSharedFonts();
        context_.storeColors(ColorSettings{});
    }
    void TearDown() override {
        freeTrackedStyles();
        releaseSharedFonts();
    }

    ClientContext context_;
    test::ScopedFixedFont fixed_;
};

TEST_F(DefaultStylesTest, FontSlotIsFilledOnceUnderConcurrentFirstUse) {
    std::vector<FontRef> seen(8);
    std::vector<std::thread> threads;
    for (size_t i = 0; i < seen.size(); ++i) {
        threads.emplace_back([&seen, i] { seen[i] = createLargeStyleFont(); });
    }
    for (auto& t : threads) t.join();
    for (const FontRef& font : seen) EXPECT_EQ(font, seen[0]);
}

// The grid menu took the large font's slot as it was, empty before the first getter call.
TEST_F(DefaultStylesTest, GridMenuStyleHasTheLargeFontFromTheStart) {
    Style* grid = createGridMenuStyle();
    ASSERT_NE(grid->font, nullptr);
    EXPECT_EQ(grid->font->height(), 15);
    EXPECT_EQ(grid->getStyleProperty(prop::kFocusedStyle)->font, grid->font);
    EXPECT_EQ(grid->getIntValueProperty(prop::kGridFrameColor)->value, 0xFFFFFF);
    EXPECT_EQ(grid->flags, 2100u);
}

TEST_F(DefaultStylesTest, BuildersTakeTheAppliedColourSettings) {
    ColorSettings colors;
    colors.marqueeText = 0x010203;
    colors.marqueeBack = 0x040506;
    colors.menuText = 0x0A0B0C;
    colors.menuPressedText = 0x0D0E0F;
    colors.menuPressedBack = 0x101112;
    colors.labelText = 0x131415;
    applyColorSettings(colors);

    Style* marquee = createMarqueeStyle();
    EXPECT_EQ(marquee->getColor(), 0x010203u);
    EXPECT_EQ(marquee->background()->colour(), 0x040506u);
    EXPECT_EQ(marquee->border()->colour(), 0x0000FFu);

    Style* command = createCommandItemStyle();
    EXPECT_EQ(command->getColor(), 0x0A0B0Cu);
    EXPECT_EQ(command->getStyleProperty(prop::kFocusedStyle)->getColor(), 0x0A0B0Cu);
    Style* pressed = command->getStyleProperty(prop::kPressedStyle);
    ASSERT_NE(pressed, nullptr);
    EXPECT_EQ(pressed->getColor(), 0x0D0E0Fu);
    EXPECT_EQ(pressed->background()->colour(), 0x101112u);
    EXPECT_EQ(pressed->flags, 1u);

    EXPECT_EQ(createLabelStyle()->getColor(), 0x131415u);
}

// The label style made at start-up kept the colours from before the settings were applied.
TEST_F(DefaultStylesTest, StartupLabelStyleTakesColoursAppliedLater) {
    Style* label = defaultLabelStyle();
    EXPECT_EQ(label->getColor(), 0xFFFFFFu);
    ColorSettings colors;
    colors.labelText = 0x00AA00;
    applyColorSettings(colors);
    EXPECT_EQ(defaultLabelStyle(), label);
    EXPECT_EQ(label->getColor(), 0x00AA00u);
    EXPECT_EQ(label->color, 0x00AA00u);
}

TEST_F(DefaultStylesTest, BuildersMakeNewStylesAndStartupObjectsAreShared) {
    EXPECT_NE(createTextStyle(), createTextStyle());
    EXPECT_EQ(defaultItemStyle(), defaultItemStyle());
    EXPECT_EQ(sharedOkCommand(), sharedOkCommand());
}

TEST_F(DefaultStylesTest, SharedObjectsAreReleasedByFreeTrackedStylesAndRebuilt) {
    std::weak_ptr<Background> rounded = sharedRoundedBackground();
    std::weak_ptr<Command> ok = sharedOkCommand();
    Style* edit = createTextFieldStyle();
    EXPECT_EQ(edit->getBackgroundProperty(prop::kEditRoundBackground), rounded.lock().get());
    Style* editFocus = edit->getStyleProperty(prop::kFocusedStyle);
    EXPECT_EQ(editFocus->getBackgroundProperty(prop::kEditRoundBackground), rounded.lock().get());
    EXPECT_EQ(editFocus->border()->width(), 4);
    EXPECT_NE(editFocus->getStyleValueProperty(prop::kCaretColor), nullptr);

    freeTrackedStyles();
    EXPECT_TRUE(rounded.expired());
    EXPECT_TRUE(ok.expired());
    EXPECT_NE(sharedRoundedBackground(), nullptr);
    EXPECT_NE(defaultLabelStyle(), nullptr);
    EXPECT_GT(trackedStyleCount(), 0u);
}

// WCAG contrast of two 0x00BBGGRR colours, 1 to 21.
double contrast(Color a, Color b) {
    auto luminance = [](Color c) {
        auto channel = [](uint32_t v) {
            const double s = v / 255.0;
            return s <= 0.03928 ? s / 12.92 : std::pow((s + 0.055) / 1.055, 2.4);
        };
        return 0.2126 * channel(c & 0xFF) + 0.7152 * channel((c >> 8) & 0xFF) +
               0.0722 * channel((c >> 16) & 0xFF);
    };
    const double la = luminance(a);
    const double lb = luminance(b);
    return (std::max(la, lb) + 0.05) / (std::min(la, lb) + 0.05);
}

// The colour a style's background paints in the middle of a 20 x 20 box.
Color fillOf(const Style* style) {
    Surface surface(20, 20);
    DeviceContext dc(surface);
    GraphicsContext g;
    g.init(20, 20, &dc);
    style->background()->paint(0, 0, 20, 20, g);
    return surface.getPixel(10, 10);
}

// Regression: the combo list's panel was light grey under white rows, the
// search field white on white and a focused combo light blue on grey.
TEST_F(DefaultStylesTest, TextReadsOnItsOwnFill) {
    Style* combo = createComboBoxStyle();
    Style* focusedCombo = combo->getStyleProperty(prop::kFocusedStyle);
    Style* panel = combo->getStyleProperty(prop::kComboPanelStyle);
    Style* search = combo->getStyleProperty(prop::kComboSearchStyle);
    Style* option = createComboOptionStyle();
    Style* popup = createPopupMenuStyle();
    Style* entry = createMenuCommandStyle();
    struct Case {
        const char* what;
        Color text;
        Color fill;
    } cases[] = {
        {"combo list row", option->getColor(), fillOf(panel)},
        {"combo list panel", panel->getColor(), fillOf(panel)},
        {"combo search", search->getColor(), fillOf(search)},
        {"focused combo", focusedCombo->getColor(), fillOf(focusedCombo)},
        {"menu entry", entry->getColor(), fillOf(popup)},
        {"focused menu entry", entry->getStyleProperty(prop::kFocusedStyle)->getColor(),
         fillOf(entry->getStyleProperty(prop::kFocusedStyle))},
    };
    for (const Case& c : cases) {
        EXPECT_GE(contrast(c.text, c.fill), 4.5) << c.what;
    }
}

// --- images -----------------------------------------------------------------------

class ImageCacheTest : public ::testing::Test {
protected:
    void SetUp() override {
        std::filesystem::create_directories(dir_.path() / "images");
        Surface surface(3, 2);
        surface.setPixel(0, 0, 0x0000FF);
        ASSERT_TRUE(savePng(surface, (dir_.path() / "images" / "menu.png").string()));
        std::ofstream(dir_.path() / "images" / "broken.png") << "not a picture";
        context_.setProgramFolder(dir_.path());
        clearImageCache();
    }
    void TearDown() override { clearImageCache(); }

    ClientContext context_;
    test::TempDir dir_;
};

TEST_F(ImageCacheTest, LoadsBelowTheProgramFolderWithoutRegardToCase) {
    ImageRef image = loadImageFile(CString("images\\menu.png"));
    ASSERT_NE(image, nullptr);
    EXPECT_EQ(image->width(), 3);
    EXPECT_NE(loadImageFile(CString("IMAGES/Menu.PNG")), nullptr);
}

TEST_F(ImageCacheTest, RefusedAndMissingPathsGiveNothing) {
    EXPECT_EQ(loadImageFile(CString()), nullptr);
    EXPECT_EQ(loadImageFile(CString("images\\none.png")), nullptr);
    EXPECT_EQ(loadImageFile(CString("images\\broken.png")), nullptr);
    EXPECT_EQ(loadImageFile(CString("..\\images\\menu.png")), nullptr);
    EXPECT_EQ(loadImageFile(CString("\\images\\menu.png")), nullptr);
    context_.setProgramFolder({});
    EXPECT_EQ(loadImageFile(CString("images\\menu.png")), nullptr);
}

TEST_F(ImageCacheTest, CachedImageIsDecodedOnceAndFailuresAreNotKept) {
    ImageRef first = loadCachedImage(CString("images\\menu.png"));
    ASSERT_NE(first, nullptr);
    EXPECT_EQ(loadCachedImage(CString("images\\menu.png")), first);
    EXPECT_EQ(loadCachedImage(CString("images\\none.png")), nullptr);
    EXPECT_EQ(loadCachedImage(CString("images\\broken.png")), nullptr);
    EXPECT_EQ(loadCachedImage(CString()), nullptr);
    EXPECT_EQ(imageCacheSize(), 1u);

    clearImageCache();
    EXPECT_EQ(imageCacheSize(), 0u);
    EXPECT_EQ(first->width(), 3);  // still held by its user
    EXPECT_NE(loadCachedImage(CString("images\\menu.png")), first);
}

TEST_F(ImageCacheTest, ThreadsLoadingTheSamePathShareOneImage) {
    std::vector<ImageRef> seen(8);
    std::vector<std::thread> threads;
    for (size_t i = 0; i < seen.size(); ++i) {
        threads.emplace_back([&seen, i] {
            seen[i] = loadCachedImage(CString("images\\menu.png"));
            loadCachedImage(CString("images\\none.png"));
        });
    }
    for (auto& t : threads) t.join();
    ASSERT_NE(seen[0], nullptr);
    for (const ImageRef& image : seen) EXPECT_EQ(image, seen[0]);
    EXPECT_EQ(imageCacheSize(), 1u);
}

}  // namespace
}  // namespace zq
