// A screen of nested containers with text and links, shown by the Display
// in a headless window and driven by key scripts through the UI loop.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "items/hyperlink_item.h"
#include "items/string_item.h"
#include "platform/image.h"
#include "platform/surface.h"
#include "tests/support/display_fixture.h"
#include "tests/support/test_font.h"
#include "ui/client_context.h"
#include "ui/container.h"
#include "ui/default_styles.h"
#include "ui/display.h"
#include "ui/event.h"
#include "ui/font_cache.h"
#include "ui/listeners.h"
#include "ui/screen.h"
#include "ui/scroll_bar.h"
#include "ui/style.h"

namespace zq {
namespace {

constexpr Color kPage = rgb(9, 16, 35);
constexpr Color kFocusGrey = 0x707070;
constexpr Color kWhite = 0xFFFFFF;

class LinkLog : public EventListener {
public:
    void onEvent(std::unique_ptr<Event> event) override {
        if (event->kind() == EventKind::Hyper) {
            hrefs.push_back(static_cast<HyperEvent&>(*event).getTarget().toUtf8());
        }
    }
    std::vector<std::string> hrefs;
};

class ScreenEndToEndTest : public test::DisplayFixture {
protected:
    ScreenEndToEndTest() {
        buildScreen();
        display_->setCurrent(screen_.get(), true);
    }
    ~ScreenEndToEndTest() override { screen_.reset(); }

    // A heading, then two sections of eight links each with a line of text.
    void buildScreen() {
        Style* page = allocTracked();
        screen_ = std::make_unique<Screen>(u"links", page, true);
        Container& content = *screen_->getContent();
        content.setFocusFirst(true);
        content.add(std::make_unique<StringItem>(CString(), u"Markets", createTextStyle()));
        for (int section = 0; section < 2; ++section) {
            auto box = std::make_unique<Container>(false, nullptr);
            box->add(std::make_unique<StringItem>(
                CString(), section == 0 ? u"Shanghai" : u"Shenzhen", createTextStyle()));
            for (int i = 0; i < 8; ++i) {
                std::string name = "s";
                name += std::to_string(section);
                name += '-';
                name += std::to_string(i);
                auto link = std::make_unique<HyperlinkItem>(CString::fromUtf8("Link " + name),
                                                            CString::fromUtf8("page?" + name),
                                                            createHyperlinkStyle());
                link->setId(CString::fromUtf8(name));
                link->setEventListener(&links_);
                box->add(std::move(link));
            }
            content.add(std::move(box));
        }
    }

    // The focused item at the bottom of the focus chain.
    Item* focusedLeaf() const {
        Item* item = screen_->getFocusedItem();
        while (item && item->asContainer() && item->asContainer()->getFocusedItem()) {
            item = item->asContainer()->getFocusedItem();
        }
        return item;
    }
    std::string focusedId() const {
        Item* leaf = focusedLeaf();
        return leaf ? leaf->getId().toUtf8() : std::string("none");
    }
    // The focused link's top on the screen.
    int focusedTop() const {
        Item* leaf = focusedLeaf();
        return leaf->getAbsoluteY() + screen_->getScrollOffset();
    }

    std::unique_ptr<Screen> screen_;
    LinkLog links_;
};

TEST_F(ScreenEndToEndTest, ArrowKeysMoveTheFocusAndScrollTheLinksIntoView) {
    run("wait 0\n");
    EXPECT_EQ(focusedId(), "s0-0");
    EXPECT_EQ(screen_->getScrollOffset(), 0);
    const Rect viewport = screen_->contentRect();
    ASSERT_GT(screen_->getContent()->itemHeight(), viewport.height());
    EXPECT_EQ(screen_->contentLayoutWidth(), 240 - screen_->scrollBar().barWidth());

    // Down through the first section into the second.
    run("key down x1\nkey down\nkey down\nkey down\nkey down\nkey down\nkey down\nkey down\n");
    EXPECT_EQ(focusedId(), "s1-0");

    // To the last link: the content scrolls so that it stays in view.
    run("key down x1\nkey down\nkey down\nkey down\nkey down\nkey down\nkey down\n");
    EXPECT_EQ(focusedId(), "s1-7");
    EXPECT_LT(screen_->getScrollOffset(), 0);
    EXPECT_GE(focusedTop(), viewport.top);
    EXPECT_LE(focusedTop() + focusedLeaf()->itemHeight(), viewport.bottom);

    // The focused link is painted in its focus colour, the bar at the edge.
    const int row = focusedTop() + 2;
    EXPECT_EQ(pixel(120, row), kFocusGrey);
    EXPECT_EQ(pixel(233, viewport.bottom - 40), ScrollBar::kBoxColor);  // the thumb at the end
    EXPECT_EQ(pixel(233, viewport.top + 40), ScrollBar::kTrackColor);

    // LEFT pages back to the top: the focus leaves the link scrolled away
    // for one drawn on screen, and FIRE raises that one's event.
    run("key left\nkey left\n");
    EXPECT_EQ(screen_->getScrollOffset(), 0);
    EXPECT_TRUE(screen_->isFocusDrawn());
    const std::string shown = focusedId();
    EXPECT_NE(shown, "s1-7");
    run("key enter\n");
    EXPECT_EQ(links_.hrefs, std::vector<std::string>{"page?" + shown});
}

TEST_F(ScreenEndToEndTest, TapsFocusALinkAndScrollTheBar) {
    run("wait 0\n");
    Item* first = focusedLeaf();
    ASSERT_NE(first, nullptr);
    // The third link of the first section, by its place on the screen.
    const int y = first->getAbsoluteY() + 2 * first->itemHeight() + 4;
    run("tap 60 " + std::to_string(y) + "\n");
    EXPECT_EQ(focusedId(), "s0-2");
    EXPECT_EQ(links_.hrefs, std::vector<std::string>{"page?s0-2"});

    // A tap on the bar's track below the thumb scrolls by 40 px.
    run("tap 233 " + std::to_string(screen_->contentRect().bottom - 30) + "\n");
    EXPECT_EQ(screen_->getScrollOffset(), -40);

    const int focusRow = focusedTop() + 2;
    EXPECT_EQ(pixel(120, focusRow), kFocusGrey);
    EXPECT_EQ(pixel(120, focusRow + focusedLeaf()->itemHeight()), kPage);
    // The link text (white boxes of the fixed font) over the focus colour.
    int white = 0;
    for (int x = 0; x < 120; ++x) white += pixel(x, focusRow + 4) == kWhite;
    EXPECT_EQ(white, 8 * 5);  // "Link s0-2": eight glyphs of 5 px, the blank unpainted
    // The thumb moved off the top arrow box; the empty soft-key bar below.
    EXPECT_EQ(pixel(233, 14), ScrollBar::kTrackColor);
    EXPECT_EQ(pixel(120, 310), colorSettings().menuBack);
}

}  // namespace
}  // namespace zq
