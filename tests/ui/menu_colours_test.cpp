// The popup command menu in the soft-key menu colours a page's style names.
#include <gtest/gtest.h>

#include <map>
#include <memory>

#include "tests/ui/screen_test_support.h"
#include "ui/background.h"
#include "ui/command_item.h"
#include "ui/screen.h"

namespace zq {
namespace {

constexpr Color kPage = 0x102030;
constexpr Color kMenuBack = 0x5C3D1F;
constexpr Color kMenuText = 0x00FFFF;

class MenuColoursTest : public test::ScreenFixture {
protected:
    MenuColoursTest() { makeSurface(240, 320, 0); }
    ~MenuColoursTest() override { freeTrackedStyles(); }

    // How often each colour shows above the soft-key bar with the menu of
    // two entries open (the second one resting) on a screen in `style`.
    std::map<Color, int> openMenu(Style* style) {
        style->setBackground(std::make_unique<ColorBackground>(kPage));
        Screen screen(u"t", style, true);
        screen.setSize(240, 320);
        screen.addCommand(std::make_shared<Command>(CString(u"AAAA"), 1, 1));
        screen.addCommand(std::make_shared<Command>(CString(u"BBBB"), 1, 2));
        screen.setPopupMenuOpen(true);
        screen.paint(gc_);
        std::map<Color, int> seen;
        for (int y = 0; y < 290; ++y) {
            for (int x = 0; x < 240; ++x) ++seen[pixel(x, y)];
        }
        return seen;
    }
};

// Regression: "menu-bgc" and "menu-fcolor" were read into the screen's
// style but the menu kept its light grey with dark text.
TEST_F(MenuColoursTest, TheMenuTakesThePagesMenuColours) {
    Style* style = plainStyle();
    setStyleProperty(style, prop::kSoftKeyMenuBackground,
                     std::make_unique<ColorBackground>(kMenuBack));
    setStyleProperty(style, prop::kMenuTextColor, static_cast<int32_t>(kMenuText));
    std::map<Color, int> seen = openMenu(style);
    EXPECT_GT(seen[kMenuBack], 100);
    EXPECT_GT(seen[kMenuText], 10);  // the resting entry's text
    EXPECT_EQ(seen[0xEEEEEE], 0);
}

TEST_F(MenuColoursTest, WithoutThemTheMenuKeepsItsOwnLook) {
    std::map<Color, int> seen = openMenu(plainStyle());
    EXPECT_GT(seen[0xEEEEEE], 100);
    EXPECT_EQ(seen[kMenuBack], 0);
    EXPECT_EQ(popupMenuStyle(plainStyle()), popupMenuStyle());
}

}  // namespace
}  // namespace zq
