// Items and a fixture shared by the screen and scroll-bar tests.
#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "platform/device_context.h"
#include "platform/surface.h"
#include "tests/support/test_font.h"
#include "ui/client_context.h"
#include "ui/font_cache.h"
#include "ui/graphics_context.h"
#include "ui/item.h"
#include "ui/style.h"

namespace zq::test {

// A box as wide as its line and of a fixed height, filled in one colour;
// it records the line widths it was laid out at and its notifications.
class BoxItem : public Item {
public:
    BoxItem(int height, Color color, std::vector<std::string>* log = nullptr,
            int* destroyed = nullptr)
        : height_(height), color_(color), log_(log), destroyed_(destroyed) {}
    ~BoxItem() override {
        if (destroyed_) ++*destroyed_;
    }

    void initContent(int /*firstLineWidth*/, int lineWidth) override {
        widths.push_back(lineWidth);
        contentWidth_ = lineWidth;
        contentHeight_ = height_;
    }
    void paintContent(int x, int y, int, int, GraphicsContext& g) override {
        g.getDC()->fillRect(Rect::fromSize(x, y, contentWidth_, contentHeight_), color_);
    }
    void showNotify() override {
        Item::showNotify();
        if (log_) log_->push_back("show");
    }
    void hideNotify() override {
        Item::hideNotify();
        if (log_) log_->push_back("hide");
    }
    void setHeight(int height) {
        height_ = height;
        requestInit();
    }

    std::vector<int> widths;

private:
    int height_;
    Color color_;
    std::vector<std::string>* log_;
    int* destroyed_;
};

// Fixed fonts and the screen metrics of a 240x320 handset for each test;
// the metrics in force before are restored afterwards.
class ScreenFixture : public ::testing::Test {
protected:
    ClientContext context_;
    ScreenFixture() { releaseSharedFonts(); }
    ~ScreenFixture() override { releaseSharedFonts(); }

    // A style without margins, border or gaps.
    static Style* plainStyle(uint32_t flags = 0) {
        Style* s = allocTracked();
        s->flags = flags;
        return s;
    }

    // A back buffer filled with `color`, and a context over it.
    void makeSurface(int w, int h, Color color) {
        surface_.resize(w, h);
        dc_ = std::make_unique<DeviceContext>(surface_);
        dc_->fillRect(surface_.bounds(), color);
        gc_.init(w, h, dc_.get());
    }
    Color pixel(int x, int y) const { return surface_.getPixel(x, y); }

    ScopedFixedFont fixed_;
    Surface surface_;
    std::unique_ptr<DeviceContext> dc_;
    GraphicsContext gc_;
};

}  // namespace zq::test
