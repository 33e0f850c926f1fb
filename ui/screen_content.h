// ScreenContent: a screen's scrolling content — the Container of the page's
// items, its viewport, the scroll bar at the viewport's right edge, and
// where the content sits in the viewport when it fits (the style's
// alignment).
//
// The screen owns one, gives it its viewport in layout() and forwards
// scrolling, keys and drags to it; this class repaints nothing itself (the
// calls that move the content say so and the screen repaints). UI thread.
#pragma once

#include <cstdint>
#include <memory>

#include "platform/cstring.h"
#include "platform/geometry.h"
#include "ui/item.h"

namespace zq {

class Container;
class GraphicsContext;
class Item;
class Screen;
class ScrollBar;

class ScreenContent {
public:
    // LEFT/RIGHT page the content by the viewport less this.
    static constexpr int kArrowPageMargin = 40;

    // Makes the scroll bar (owned by `screen`) and, with `withContent`, the
    // content Container.
    ScreenContent(Screen& screen, bool withContent);
    ~ScreenContent();
    ScreenContent(const ScreenContent&) = delete;
    ScreenContent& operator=(const ScreenContent&) = delete;

    // Null for a screen made without content.
    Container* container() const { return content_.get(); }
    ScrollBar& scrollBar() { return *scrollBar_; }

    // --- alignment, from the style's flag word ------------------------------------
    void setAlignment(uint32_t styleFlags);
    void clearAlignment();
    bool alignsCentre() const { return alignCentre_; }
    bool alignsRight() const { return alignRight_; }
    bool alignsVCentre() const { return alignVCentre_; }
    bool alignsBottom() const { return alignBottom_; }
    // The page frame shrinks to the content's width or height.
    bool fitsWidth() const { return fitWidth_; }
    bool fitsHeight() const { return fitHeight_; }

    // --- layout -------------------------------------------------------------------
    // Where the content is shown, from the screen's layout.
    void setViewport(const Rect& viewport) { viewport_ = viewport; }
    const Rect& viewport() const { return viewport_; }
    // Measures the content at the viewport's width, less the scroll bar's
    // width when it was taller than the viewport; false when it has to be
    // laid out again. Only with content.
    bool measure();
    // The width the content was measured at in the last layout.
    int layoutWidth() const { return layoutWidth_; }
    // The content's height; 0 without content.
    int height() const;

    // --- painting -----------------------------------------------------------------
    // The content inside its viewport, placed by the alignment when it fits.
    void paint(GraphicsContext& g);
    // Sizes the scroll bar to the content and draws it when shown.
    void paintScrollBar(GraphicsContext& g);

    // --- scrolling ----------------------------------------------------------------
    // 0 at the top, negative below; 0 without content.
    int scrollOffset() const;
    void setScrollOffset(int offset, bool smooth);
    // Moves content taller than its viewport by `delta` (positive: toward
    // the top), never past either end; true when it moved.
    bool scrollBy(int delta);
    // Pages content taller than the viewport by one viewport less 40 px;
    // true when it moved.
    bool page(int gameAction);

    // --- where the focus is ----------------------------------------------------------
    // How the view moved since the focus was last settled.
    enum class ViewMove { None, Down, Up };
    // True when the focused control is drawn in the viewport, or nothing is
    // focused. Reads the last layout; cheap enough to ask after every event.
    bool focusDrawn() const;
    // Holds the focus on a control drawn in the viewport, or on none. After
    // the user moved the view, a control it left lets go of the focus and
    // one it brought into view takes it. Otherwise (a new layout) the
    // control keeps the place where the user last saw it.
    void settleFocus(ViewMove move);
    // The top of the focused control (a table's row, a node's part) in the
    // viewport; false when none is drawn.
    bool focusTop(int& top) const;
    // The next settle puts the focused control at `top`, drawn or not: a
    // reload keeps it where the user saw it on the page it replaced.
    void keepFocusAt(int top);
    // Around each input event: whatever moved the view in it (a key, a page,
    // the scroll bar, a tap) settles the focus as a move of the user's when
    // the event ends, and in any paint run during it.
    void beginEvent();
    void endEvent();

    // --- keys and drags -----------------------------------------------------------
    // The content's answer; false without content.
    bool keyPressed(int keyCode, int gameAction);
    bool keyRepeated(int keyCode, int gameAction);
    bool keyReleased(int keyCode, int gameAction);
    // The content, then its focused child, in their own coordinates.
    bool pointerDragged(int x, int y);

private:
    // The focused control deepest down and its span in viewport coordinates.
    struct FocusSpot {
        Item* control = nullptr;
        int top = 0;
        int bottom = 0;
        bool drawn = false;
    };
    FocusSpot focusSpot() const;
    // Walks the chain of focused lists down from the content: a list whose
    // focused child is out of view gives the focus to the first (last)
    // child it draws, or to none.
    void takeFocusInView(bool forward);
    // The viewport's corner, moved by the alignment when the content fits.
    Point origin() const;

    Screen& screen_;
    std::unique_ptr<Container> content_;
    std::unique_ptr<ScrollBar> scrollBar_;
    Rect viewport_;
    int layoutWidth_ = 0;
    bool alignCentre_ = false;
    bool alignRight_ = false;
    bool alignVCentre_ = false;
    bool alignBottom_ = false;
    bool fitWidth_ = false;
    bool fitHeight_ = false;
    // The focused control the user last saw, and its top then.
    ItemRef seen_;
    int seenTop_ = 0;
    bool keepSeen_ = false;
    int eventDepth_ = 0;
    int offsetAtEvent_ = 0;
};

}  // namespace zq
