#include "items/icon_item.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <vector>

#include "platform/device_context.h"
#include "platform/surface.h"
#include "tests/support/test_env.h"
#include "tests/support/test_font.h"
#include "ui/client_context.h"
#include "ui/font_cache.h"
#include "ui/graphics_context.h"
#include "ui/style.h"

namespace zq {
namespace {

constexpr Color kWhite = 0xFFFFFF;

ImageRef solidImage(int w, int h, Color colour) {
    const uint32_t argb = 0xFF000000u | Surface::toNative(colour);
    return std::make_shared<Image>(w, h, false, std::vector<uint32_t>(w * h, argb));
}

// Holds children and finds them by identity, as containers do.
class ListStub : public Item, public ItemContainer {
public:
    Item* add(std::unique_ptr<Item> child) {
        child->setParent(this);
        children.push_back(std::move(child));
        return children.back().get();
    }
    ItemContainer* asContainer() override { return this; }
    int indexOfChild(const Item* child) const override {
        for (size_t i = 0; i < children.size(); ++i) {
            if (children[i].get() == child) return static_cast<int>(i);
        }
        return -1;
    }
    int getFocusedIndex() const override { return -1; }
    Item* getFocusedItem() const override { return nullptr; }
    bool focusClosestItem(int) override { return false; }
    int getScrollYOffset() const override { return 0; }
    void setScrollYOffset(int, bool) override {}
    void scrollToItem(int, Item*) override {}

    std::vector<std::unique_ptr<Item>> children;
};

class IconItemTest : public ::testing::Test {
protected:
    ClientContext context_;
    IconItemTest() { releaseSharedFonts(); }
    ~IconItemTest() override { releaseSharedFonts(); }

    // 7 px per character, 14 px lines, no spacing.
    Style* iconStyle(uint32_t flags = 0) {
        Style* s = allocTracked();
        s->font = getFont(14);
        s->color = kWhite;
        s->flags = flags;
        return s;
    }

    test::ScopedFixedFont fixed;
};

TEST_F(IconItemTest, BesideTheTextAlignsTheShorterPart) {
    struct Case {
        uint32_t flags;
        int textOffset;
    } cases[] = {{0, 8}, {kLayoutTop, 0}, {kLayoutBottom, 16}, {kLayoutTop | kLayoutBottom, 8}};
    for (const Case& c : cases) {
        IconItem item(u"AB", solidImage(10, 30, kWhite), iconStyle(c.flags));
        item.init(240, 240);
        EXPECT_EQ(item.textOffsetY(), c.textOffset) << c.flags;
        EXPECT_EQ(item.contentWidth(), 14 + 10);
        EXPECT_EQ(item.contentHeight(), 30);
        EXPECT_EQ(item.imageX(), 0);
    }

    // A picture shorter than the text moves instead.
    IconItem flat(u"AB", solidImage(10, 6, kWhite), iconStyle());
    flat.init(240, 240);
    EXPECT_EQ(flat.imageY(), 4);
    EXPECT_EQ(flat.textOffsetY(), 0);
    EXPECT_EQ(flat.contentHeight(), 14);

    // On the right of an expanding row the picture ends the line.
    Style* right = iconStyle(kLayoutExpand);
    setStyleProperty(right, prop::kIconPosition, 1);
    IconItem row(u"AB", solidImage(10, 30, kWhite), right);
    row.init(240, 240);
    EXPECT_EQ(row.getPosition(), IconPosition::Right);
    EXPECT_EQ(row.contentWidth(), 240);
    EXPECT_EQ(row.imageX(), 230);

    // Without text, or with it switched off, the picture still shows.
    Surface surface(40, 40);
    DeviceContext dc(surface);
    GraphicsContext g;
    g.init(40, 40, &dc);
    IconItem bare(CString(), solidImage(10, 30, 0x0000FF), iconStyle());
    bare.init(60, 60);
    bare.paint(5, 5, 5, 65, g);
    EXPECT_EQ(surface.getPixel(14, 34), 0x0000FFu);
    EXPECT_EQ(surface.getPixel(15, 34), 0u);
    IconItem hidden(u"ABCDEF", solidImage(10, 30, kWhite), iconStyle());
    hidden.setShowText(false);
    hidden.init(60, 60);
    EXPECT_EQ(hidden.contentWidth(), 10);
    EXPECT_EQ(hidden.contentHeight(), 30);
}

TEST_F(IconItemTest, AboveBelowAndBehindTheText) {
    Style* top = iconStyle();
    setStyleProperty(top, prop::kIconPosition, 2);
    IconItem above(u"ABCD", solidImage(10, 30, kWhite), top);
    above.init(240, 240);
    EXPECT_EQ(above.contentHeight(), 14 + 30);
    EXPECT_EQ(above.contentWidth(), 28);
    EXPECT_EQ(above.imageX(), 9);
    EXPECT_EQ(above.imageY(), 0);

    Style* bottom = iconStyle();
    setStyleProperty(bottom, prop::kIconPosition, 3);
    IconItem below(u"ABCD", solidImage(10, 30, kWhite), bottom);
    below.init(240, 240);
    EXPECT_EQ(below.imageY(), 14);

    // 4 puts the text over the picture; 5 is no position and changes nothing.
    Style* behind = iconStyle();
    setStyleProperty(behind, prop::kIconPosition, 4);
    IconItem over(u"AB", nullptr, behind);
    over.init(240, 240);
    EXPECT_EQ(over.getPosition(), IconPosition::Behind);
    Style* unknown = iconStyle();
    setStyleProperty(unknown, prop::kIconPosition, 5);
    over.setStyle(unknown);
    EXPECT_EQ(over.getPosition(), IconPosition::Behind);
}

TEST_F(IconItemTest, NewPictureReplacesAndReleasesTheOld) {
    ImageRef first = solidImage(10, 10, kWhite);
    std::weak_ptr<const Image> watch = first;
    IconItem item(u"AB", first, iconStyle());
    first.reset();
    item.init(240, 240);
    item.setImage(solidImage(20, 12, kWhite));
    EXPECT_TRUE(watch.expired());
    EXPECT_FALSE(item.isInitialised());
    item.init(240, 240);
    EXPECT_EQ(item.contentWidth(), 14 + 20);
}

TEST_F(IconItemTest, IndexTokenIsTheBranchPositionInTheContainer) {
    test::TempDir folder;
    for (int i = 0; i < 3; ++i) {
        Surface picture(i + 1, i + 1);
        const std::string name = "pic" + std::to_string(i) + ".png";
        ASSERT_TRUE(savePng(picture, (folder.path() / name).string()));
    }
    context_.setProgramFolder(folder.path());

    ListStub list;
    list.add(std::make_unique<Item>());
    list.add(std::make_unique<Item>());
    Item* third = list.add(std::make_unique<Item>());
    Style* s = iconStyle();
    setStyleProperty(s, prop::kIconImage, CString(u"pic%INDEX%.png"));
    IconItem icon(u"AB", nullptr, s);
    icon.setParent(third);
    icon.init(240, 240);
    EXPECT_EQ(icon.getImagePath(), CString(u"pic2.png"));
    ASSERT_NE(icon.getImage(), nullptr);
    EXPECT_EQ(icon.getImage()->width(), 3);
}

}  // namespace
}  // namespace zq
