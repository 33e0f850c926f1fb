#include "items/hyperlink_item.h"

#include <gtest/gtest.h>

#include <memory>
#include <vector>

#include "platform/surface.h"
#include "tests/support/event_log.h"
#include "tests/support/test_font.h"
#include "ui/event.h"
#include "ui/font_cache.h"
#include "ui/listeners.h"
#include "ui/style.h"

namespace zq {
namespace {

constexpr int kKeyEnter = 13;

ImageRef solidImage(int w, int h) {
    return std::make_shared<Image>(w, h, false, std::vector<uint32_t>(w * h, 0xFF808080u));
}

using RecordingListener = test::EventLog;

class OtherCommandListener : public ItemCommandListener {};

class HyperlinkItemTest : public ::testing::Test {
protected:
    HyperlinkItemTest() { releaseSharedFonts(); }
    ~HyperlinkItemTest() override { releaseSharedFonts(); }

    // 7 px per character, 14 px lines, no spacing.
    Style* linkStyle(bool withFont = true) {
        Style* s = allocTracked();
        if (withFont) s->font = getFont(14);
        return s;
    }

    std::unique_ptr<HyperlinkItem> makeLink(RecordingListener* listener) {
        auto link =
            std::make_unique<HyperlinkItem>(CString(u"Buy"), CString(u"buy.do"), linkStyle());
        link->setId(CString(u"lnk"));
        link->setOnClick(CString(u"go()"));
        link->setEventListener(listener);
        return link;
    }

    void expectOneLinkEvent(RecordingListener& listener, const char* how) {
        ASSERT_EQ(listener.events.size(), 1u) << how;
        const Event& event = *listener.events.front();
        ASSERT_EQ(event.kind(), EventKind::Hyper) << how;
        const auto& hyper = static_cast<const HyperEvent&>(event);
        EXPECT_EQ(hyper.getAction(), CString(u"lnk")) << how;
        EXPECT_EQ(hyper.getTarget(), CString(u"buy.do")) << how;
        EXPECT_EQ(hyper.getClickAction(), CString(u"go()")) << how;
        listener.events.clear();
    }

    test::ScopedFixedFont fixed;
};

TEST_F(HyperlinkItemTest, FocusedLinkRaisesItsEventByKeyTapAndCommand) {
    RecordingListener listener;
    auto link = makeLink(&listener);
    link->init(240, 240);

    // Not focused: the key does nothing.
    link->keyPressed(kKeyEnter, kGameFire);
    EXPECT_FALSE(link->keyReleased(kKeyEnter, kGameFire));
    EXPECT_TRUE(listener.events.empty());

    link->focus(nullptr, 0);
    link->keyPressed(kKeyEnter, kGameFire);
    EXPECT_TRUE(link->isPressed());
    EXPECT_TRUE(link->keyReleased(kKeyEnter, kGameFire));
    EXPECT_FALSE(link->isPressed());
    expectOneLinkEvent(listener, "key");

    EXPECT_FALSE(link->keyReleased('5', kGameFire));
    EXPECT_TRUE(listener.events.empty());

    link->init(240, 240);
    EXPECT_FALSE(link->pointerPressed(3, 3));
    EXPECT_TRUE(link->pointerReleased(3, 3));
    expectOneLinkEvent(listener, "tap");

    EXPECT_TRUE(link->handleCommand(sharedLinkCommand().get()));
    expectOneLinkEvent(listener, "soft key");
    link->getItemCommandListener()->commandAction(sharedLinkCommand().get(), link.get());
    expectOneLinkEvent(listener, "command listener");
}

// Regression: the release of an Enter whose press answered a box fired the
// focused link below it, so an SMS link sent its message twice.
TEST_F(HyperlinkItemTest, OnlyTheReleaseOfItsOwnPressFiresTheLink) {
    RecordingListener listener;
    auto link = makeLink(&listener);
    link->init(240, 240);
    link->focus(nullptr, 0);
    EXPECT_FALSE(link->keyReleased(kKeyEnter, kGameFire));
    EXPECT_TRUE(listener.events.empty());
    // A press the link lost when its screen was hidden does not count.
    link->keyPressed(kKeyEnter, kGameFire);
    link->hideNotify();
    EXPECT_FALSE(link->keyReleased(kKeyEnter, kGameFire));
    EXPECT_TRUE(listener.events.empty());
}

TEST_F(HyperlinkItemTest, LinkWithoutListenerFallsBackQuietly) {
    auto link = makeLink(nullptr);
    link->focus(nullptr, 0);
    link->keyPressed(kKeyEnter, kGameFire);
    EXPECT_FALSE(link->keyReleased(kKeyEnter, kGameFire));
    EXPECT_TRUE(link->handleCommand(sharedLinkCommand().get()));
}

// Pins: restyling replaced the page's command listener with the link's own.
TEST_F(HyperlinkItemTest, StylingKeepsACommandListenerAlreadySet) {
    auto link = makeLink(nullptr);
    EXPECT_EQ(link->getItemCommandListener(), static_cast<ItemCommandListener*>(link.get()));
    OtherCommandListener other;
    link->setItemCommandListener(&other);
    link->setStyle(linkStyle());
    EXPECT_EQ(link->getItemCommandListener(), &other);
    EXPECT_EQ(link->getCommands().size(), 1u) << "the link command is added once";
}

// Pins: lines after the first wrapped at the full width and ran past the line.
TEST_F(HyperlinkItemTest, EveryLineBesideAPictureWrapsAtTheNarrowerWidth) {
    HyperlinkItem link(CString(u"aaaa bbbb cccc dddd eeee ffff"), CString(u"x.do"),
                       solidImage(20, 10), linkStyle());
    link.init(100, 100);
    // 100 - 20 - 1 leaves 79 px: 11 characters.
    std::vector<int> lengths;
    for (const CString& line : link.getLines()) lengths.push_back(line.length());
    EXPECT_EQ(lengths, (std::vector<int>{11, 11, 7}));
    EXPECT_LE(link.contentWidth(), 100);
    EXPECT_EQ(link.contentHeight(), 3 * 14);

    HyperlinkItem pictureOnly(CString(), CString(u"x.do"), solidImage(20, 30), linkStyle());
    pictureOnly.init(100, 100);
    EXPECT_EQ(pictureOnly.contentWidth(), 20);
    EXPECT_EQ(pictureOnly.contentHeight(), 30);

    // Without a style font the shared default style font measures the text.
    HyperlinkItem plain(CString(u"abc"), CString(u"x.do"), linkStyle(false));
    plain.init(100, 100);
    EXPECT_EQ(plain.contentWidth(), 3 * createStyleFont()->charWidth(u'a'));
}

TEST_F(HyperlinkItemTest, ReplacedPictureIsReleased) {
    ImageRef first = solidImage(4, 4);
    std::weak_ptr<const Image> watch = first;
    HyperlinkItem link(CString(u"a"), CString(u"x.do"), std::move(first), linkStyle());
    link.setImage(solidImage(8, 8));
    EXPECT_TRUE(watch.expired());
}

}  // namespace
}  // namespace zq
