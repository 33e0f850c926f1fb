#include "items/image_item.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <iterator>
#include <memory>
#include <thread>
#include <vector>

#include "platform/device_context.h"
#include "platform/surface.h"
#include "platform/ui_executor.h"
#include "tests/support/test_env.h"
#include "tests/support/test_font.h"
#include "ui/font_cache.h"
#include "ui/graphics_context.h"
#include "ui/page_services.h"
#include "ui/style.h"

namespace zq {
namespace {

constexpr int kKeyLeft = 37;
constexpr int kKeyRight = 39;

// Columns below `split` are `left`, the rest `right`.
ImageRef splitImage(int w, int h, int split, Color left, Color right) {
    std::vector<uint32_t> pixels(static_cast<size_t>(w) * h);
    for (int y = 0; y < h; ++y) {
        for (int x = 0; x < w; ++x) {
            pixels[static_cast<size_t>(y) * w + x] =
                0xFF000000u | Surface::toNative(x < split ? left : right);
        }
    }
    return std::make_shared<Image>(w, h, false, std::move(pixels));
}

ImageRef solidImage(int w, int h) { return splitImage(w, h, w, 0x808080, 0x808080); }

Style* plainStyle(uint32_t flags = 0) {
    Style* s = allocTracked();
    s->flags = flags;
    return s;
}

// A screen whose control list the test fills.
class ControlScreen : public ItemScreen {
public:
    void setTipText(const CString&) override {}
    void fireCommand(Command*) override {}
    void removeCommand(Command*) override {}
    void setItemCommands(const std::vector<CommandRef>&, Item*) override {}
    void addSubCommand(const CommandRef&, const CommandRef&, Style*, bool) override {}
    void removeItemCommands() override {}
    void itemStateChanged(Item*) override {}
    void setRelayoutNeeded() override {}
    int indexOfControl(const Item* control) const override {
        auto found = std::find(controls.begin(), controls.end(), control);
        return found == controls.end() ? -1 : static_cast<int>(found - controls.begin());
    }

    std::vector<const Item*> controls;
};

class RecordingNavigator : public PageNavigator {
public:
    void navigate(const CString&, NavigationLoading, NavigationInput) override {
        ADD_FAILURE() << "a picture is no page: no loading bar, no error, no retry address";
    }
    void requestPicture(const CString& address, const PictureTargetRef& target) override {
        addresses.push_back(address);
        EXPECT_TRUE(target && target->item);
    }
    std::vector<CString> addresses;
};

TEST(ImageItem, WidePictureScrollsSidewaysWithinItsOverflow) {
    ImageItem item(CString(), solidImage(400, 10), 0, CString(), plainStyle(), CString());
    item.init(240, 240);
    EXPECT_EQ(item.contentWidth(), 240);
    EXPECT_EQ(item.overflow(), 160);
    EXPECT_TRUE(item.isInteractive());

    std::vector<int> offsets;
    for (int i = 0; i < 7; ++i) {
        EXPECT_TRUE(item.keyPressed(kKeyRight, kGameRight));
        offsets.push_back(item.scrollX());
    }
    EXPECT_EQ(offsets, (std::vector<int>{-30, -60, -90, -120, -150, -160, -160}));
    offsets.clear();
    for (int i = 0; i < 7; ++i) {
        EXPECT_TRUE(item.keyPressed(kKeyLeft, kGameLeft));
        offsets.push_back(item.scrollX());
    }
    EXPECT_EQ(offsets, (std::vector<int>{-130, -100, -70, -40, -10, 0, 0}));

    // The digits carrying LEFT and RIGHT stay free for text entry.
    EXPECT_FALSE(item.keyPressed('6', kGameRight));
    EXPECT_FALSE(item.keyPressed('4', kGameLeft));
    EXPECT_EQ(item.scrollX(), 0);

    // A tap brings the tapped column to the middle, within the overflow.
    EXPECT_TRUE(item.pointerPressed(200, 5));
    EXPECT_EQ(item.scrollX(), -80);
    EXPECT_TRUE(item.pointerPressed(0, 5));
    EXPECT_EQ(item.scrollX(), 0);

    // A wider line after a relayout leaves less to scroll.
    item.keyPressed(kKeyRight, kGameRight);
    item.keyPressed(kKeyRight, kGameRight);
    item.keyPressed(kKeyRight, kGameRight);
    item.init(360, 360);
    EXPECT_EQ(item.overflow(), 40);
    EXPECT_EQ(item.scrollX(), -40);
}

TEST(ImageItem, PictureThatFitsLeavesTheArrowsAlone) {
    ImageItem item(CString(), solidImage(100, 10), 0, CString(), plainStyle(), CString());
    item.init(240, 240);
    EXPECT_EQ(item.overflow(), 0);
    EXPECT_FALSE(item.keyPressed(kKeyRight, kGameRight));
    EXPECT_FALSE(item.pointerPressed(50, 5));
    EXPECT_EQ(item.scrollX(), 0);
}

// Regression: the alternative text was drawn as a white box over the page.
TEST(ImageItem, AlternativeTextStandsOnWhatLiesBehind) {
    test::ScopedFixedFont fixed;
    Style* style = plainStyle();
    style->font = getFont(14);
    style->color = 0x0000FF;
    ImageItem item(CString(), nullptr, 0, CString(u"no picture"), style, CString());
    item.init(240, 240);
    ASSERT_EQ(item.contentWidth(), 70);

    Surface surface(80, 20);
    DeviceContext dc(surface);
    dc.fillRect(surface.bounds(), 0x123456);
    GraphicsContext g;
    g.init(80, 20, &dc);
    item.paint(0, 0, 0, 80, g);
    EXPECT_EQ(surface.getPixel(0, 0), 0x123456u);            // a glyph cell's free edge
    EXPECT_EQ(surface.getPixel(3, 7), 0x0000FFu);            // inside the 'n'
    EXPECT_EQ(surface.getPixel(16, 7), 0x123456u);           // the space
    EXPECT_EQ(dc.backgroundMode(), BackgroundMode::Opaque);  // given back
}

// Pins: a centred wide picture was squeezed into the line width.
TEST(ImageItem, CentredWidePictureKeepsItsWidthAndIsClipped) {
    constexpr Color kA = 0x0000FF;
    constexpr Color kB = 0xFF0000;
    constexpr Color kPaper = 0x00FF00;
    ImageItem item(CString(), splitImage(400, 10, 100, kA, kB), 0, CString(),
                   plainStyle(kLayoutExpand | kLayoutCenter), CString());
    item.init(240, 240);

    Surface surface(300, 20);
    DeviceContext dc(surface);
    dc.fillRect(Rect{0, 0, 300, 20}, kPaper);
    GraphicsContext g;
    g.init(300, 20, &dc);
    item.paintContent(0, 0, 0, 240, g);

    // Centred on 240 px: the picture starts at -80, column 100 lands at 20.
    EXPECT_EQ(dc.getPixel(19, 5), kA);
    EXPECT_EQ(dc.getPixel(20, 5), kB);
    EXPECT_EQ(dc.getPixel(239, 5), kB);
    EXPECT_EQ(dc.getPixel(240, 5), kPaper);
    EXPECT_EQ(dc.clipRect(), surface.bounds());
    EXPECT_EQ(g.getClipWidth(), 300);
}

TEST(ImageItem, ShownItemRequestsItsPictureWithTheControlIndex) {
    ControlScreen screen;
    RecordingNavigator navigator;
    ImageItem other(CString(), nullptr, 0, CString(), nullptr, CString());
    ImageItem owner(CString(), nullptr, 0, CString(), nullptr, CString());
    screen.controls = {&other, &owner};

    struct Case {
        const char16_t* url;
        const char16_t* address;
    };
    const Case cases[] = {
        {u"pic.do", u"pic.do?controlid=1"},
        {u"pic.do?id=7", u"pic.do?id=7&controlid=1"},
        {u"pic#top", u"pic#top&controlid=1"},
    };
    for (const Case& c : cases) {
        ImageItem item(CString(), nullptr, 0, CString(), nullptr, CString(c.url));
        item.setScreen(&screen);
        item.setControlOwner(&owner);
        item.setRequester(&navigator);
        navigator.addresses.clear();
        item.showNotify();
        item.showNotify();
        EXPECT_EQ(navigator.addresses, (std::vector<CString>{c.address, c.address}))
            << CString(c.url).toUtf8();
        EXPECT_EQ(item.getUrl(), CString(c.url));
    }

    ImageItem item(CString(), nullptr, 0, CString(), nullptr, CString(u"pic.do"));
    item.setControlOwner(&owner);
    item.setRequester(&navigator);
    EXPECT_EQ(item.requestAddress(), CString(u"pic.do?controlid=-1")) << "on no screen";
    item.setScreen(&screen);
    screen.controls = {&other};
    EXPECT_EQ(item.requestAddress(), CString(u"pic.do?controlid=-1")) << "absent from the list";

    // Without a control owner nothing is asked.
    navigator.addresses.clear();
    item.setControlOwner(nullptr);
    item.showNotify();
    EXPECT_TRUE(navigator.addresses.empty());
}

TEST(ImageItem, ReplacedPictureIsReleased) {
    ImageRef first = solidImage(4, 4);
    std::weak_ptr<const Image> watch = first;
    ImageItem item(CString(), std::move(first), 0, CString(), nullptr, CString());
    item.setImage(solidImage(8, 8));
    EXPECT_TRUE(watch.expired());
    item.init(240, 240);
    EXPECT_EQ(item.contentWidth(), 8);

    // Let go of, it keeps the picture's box: the page keeps its layout.
    watch = item.getImage();
    item.letGoOfPicture();
    EXPECT_TRUE(watch.expired());
    item.init(240, 240);
    EXPECT_EQ(item.contentWidth(), 8);
    EXPECT_EQ(item.contentHeight(), 8);
    // A fetched picture only: a local one would not come again.
    ImageItem local(CString(), solidImage(4, 4), 0, CString(), nullptr, CString());
    local.releasePicture();
    EXPECT_NE(local.getImage(), nullptr);
}

std::vector<uint8_t> pngBytes(int w, int h) {
    test::TempDir dir;
    Surface surface(w, h);
    const std::string path = (dir.path() / "p.png").string();
    EXPECT_TRUE(savePng(surface, path));
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

TEST(ImageItem, PictureFromAReplyIsSetOnTheUiThread) {
    UiExecutor ui;
    ImageItem item(CString(), nullptr, 0, CString(), nullptr, CString());
    ImageDataListener listener(&item, 7);
    responseListeners().add(7, &listener);
    auto deliverFromWorker = [](std::vector<uint8_t> bytes) {
        std::thread worker([&bytes] { responseListeners().deliver(7, bytes); });
        worker.join();
    };

    deliverFromWorker(pngBytes(3, 2));
    EXPECT_EQ(item.getImage(), nullptr) << "set by the receive thread";
    ui.runPending();
    ASSERT_NE(item.getImage(), nullptr);
    EXPECT_EQ(item.getImage()->width(), 3);

    deliverFromWorker({'n', 'o', 't', ' ', 'a', 'n', ' ', 'i', 'm', 'a', 'g', 'e'});
    EXPECT_FALSE(ui.hasPendingTasks());

    // A detached target gets nothing, also from a picture already queued.
    deliverFromWorker(pngBytes(5, 5));
    listener.detach();
    ui.runPending();
    EXPECT_EQ(item.getImage()->width(), 3);

    responseListeners().remove(7, &listener);
    EXPECT_EQ(responseListeners().count(7), 0u);
}

}  // namespace
}  // namespace zq
