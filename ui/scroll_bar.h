// The two scroll bars of the toolkit.
//
// ScrollBar is the vertical bar of a Screen: the screen owns one, updates it
// from its viewport and content height at every paint, places it at the
// right edge of its content area and routes pen input on it. The bar
// scrolls its owning screen (Screen::scrollBy).
//
// ScrollBarItem wraps a target container and shows it through a viewport of
// fixed height with a thin bar at its right edge; pen input on the bar
// scrolls the target, all other input goes to the target. It owns the
// target (the bar is the target's parent).
//
// Sizes are pixels; both bars paint through the GraphicsContext's
// DeviceContext in surface pixels. UI thread only.
#pragma once

#include <memory>

#include "platform/device_context.h"
#include "platform/geometry.h"
#include "ui/item.h"

namespace zq {

class Container;
class GraphicsContext;
class Screen;

class ScrollBar : public Item {
public:
    // The track colour; the frame and arrow colours are fixed too.
    static constexpr Color kTrackColor = 0xF7F9F9;
    static constexpr Color kFrameColor = 0x666668;
    static constexpr Color kBoxColor = 0xE4E4E4;
    static constexpr Color kArrowColor = 0x909093;
    // How far a tap on the track beside the thumb scrolls.
    static constexpr int kPageStep = 40;

    // Sizes from the screen metrics' scale (12, 14, 8 and 6 at scale 1).
    ScrollBar();

    // The screen that taps and drags scroll; not owned.
    void setOwner(Screen* screen) { owner_ = screen; }
    Screen* getOwner() const { return owner_; }

    // Takes the viewport and content of the screen (the offset is 0 or
    // negative). Content that fits the viewport, or has no height, hides the
    // bar and gives 0; otherwise the thumb is computed, the bar laid out for
    // `width` and its item width returned.
    int update(int width, int viewportHeight, int contentHeight, int scrollOffset);

    // The bar's own height is the viewport's, less the box around it.
    void initContent(int firstLineWidth, int lineWidth) override;
    // Paints the bar as an item while it is shown.
    void paintIfVisible(int x, int y, int leftBorder, int rightBorder, GraphicsContext& g);
    void paintContent(int x, int y, int leftBorder, int rightBorder, GraphicsContext& g) override;

    // Points relative to the bar. A tap on the thumb only presses it; beside
    // it the screen scrolls by a page step toward the tap.
    bool pointerPressed(int x, int y) override;
    // While a thumb drag lasts the screen follows the pen and the drag is
    // reported as handled.
    bool pointerDragged(int x, int y) override;
    bool pointerReleased(int x, int y) override;

    // --- the thumb drag the screen runs ---------------------------------
    // Whether bar-relative `y` lies on the thumb (both edges included).
    bool isOnThumb(int y) const;
    // Starts a drag at bar-relative pen `y`.
    void startDrag(int y);
    // Ends it: the thumb is kept inside the track.
    void endDrag();
    bool isDragging() const { return dragging_; }

    // --- the screen's layout mark --------------------------------------
    // Set: the screen measures its content at the full width next time.
    bool tryFullWidth() const { return tryFullWidth_; }
    void setTryFullWidth(bool full) { tryFullWidth_ = full; }

    bool isBarShown() const { return shown_; }
    void setViewportHeight(int height) { viewportHeight_ = height; }
    int viewportHeight() const { return viewportHeight_; }
    int barWidth() const { return barWidth_; }
    int arrowHeight() const { return arrowHeight_; }
    int arrowSize() const { return arrowSize_; }
    int gripWidth() const { return gripWidth_; }
    int thumbOffset() const { return thumbOffset_; }
    int thumbLength() const { return thumbLength_; }

private:
    void paintArrows(int x, int y, int h, DeviceContext& dc) const;
    void paintGrip(int x, int y, DeviceContext& dc) const;

    Screen* owner_ = nullptr;
    int arrowHeight_;
    int arrowSize_;
    int gripWidth_;
    int barWidth_;
    int thumbOffset_ = 0;
    int thumbLength_ = 0;
    int viewportHeight_ = 0;
    bool shown_ = false;
    bool tryFullWidth_ = true;
    int dragOffset_ = 0;
    bool dragging_ = false;
};

class ScrollBarItem : public Item {
public:
    static constexpr Color kDefaultTrackColor = 0xF7F9F9;
    static constexpr Color kDefaultThumbColor = 0x221D79;
    // How far a tap on the track beside the thumb scrolls.
    static constexpr int kPageStep = 30;

    // Adopts `target` (may be null); a given style is applied at once.
    ScrollBarItem(int barWidth, std::unique_ptr<Container> target, Style* style);
    ~ScrollBarItem() override;

    void setViewportHeight(int height) { viewportHeight_ = height; }
    int viewportHeight() const { return viewportHeight_; }
    void setColors(Color track, Color thumb) {
        trackColor_ = track;
        thumbColor_ = thumb;
    }
    Container* getTarget() const { return target_.get(); }
    // Hands the target back (its parent is cleared); the item is empty then.
    std::unique_ptr<Container> releaseTarget();

    // Measures the target with the viewport as its scroll height; a taller
    // target is measured again beside the bar and the item takes the
    // viewport's height.
    void initContent(int firstLineWidth, int lineWidth) override;
    // The target clipped to the viewport (inside the clip in force), then
    // the track and thumb when the bar shows.
    void paintContent(int x, int y, int leftBorder, int rightBorder, GraphicsContext& g) override;
    // On the bar: beside the thumb pages the target, on it starts a drag.
    // Elsewhere inside: the target's, in its coordinates.
    bool pointerPressed(int x, int y) override;
    // A drag outside the item goes on as a drag (Item::pointerDragged).
    bool pointerDragged(int x, int y) override;
    bool pointerReleased(int x, int y) override;
    bool keyPressed(int keyCode, int gameAction) override;
    bool keyRepeated(int keyCode, int gameAction) override;
    bool keyReleased(int keyCode, int gameAction) override;

    bool isBarShown() const { return shown_; }
    bool isDragging() const { return dragging_; }
    int contentHeightOfTarget() const { return targetHeight_; }
    int thumbTop() const { return thumbTop_; }
    int thumbLength() const { return thumbLength_; }

private:
    // Full re-initialisation of the target alone: the item's own ancestors
    // and screen are not disturbed by it.
    void invalidateTarget();
    bool isOnBar(int contentX) const;
    void computeThumb();

    int lastPenY_ = 0;
    bool dragging_ = false;
    Color trackColor_ = kDefaultTrackColor;
    Color thumbColor_ = kDefaultThumbColor;
    int barWidth_;
    int thumbTop_ = 0;
    int thumbLength_ = 0;
    int viewportHeight_ = 0;
    int targetHeight_ = 0;
    bool shown_ = false;
    std::unique_ptr<Container> target_;
};

}  // namespace zq
