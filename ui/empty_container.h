// EmptyContainer: a light container, a ChildList (ui/child_list.h) without
// views, scroll offsets or columns, whose focus moves without wrapping. Base of InlineContainer
// (children side by side on one line: the text and link pieces of a
// sentence) and of lists, inline choice groups and the verification-code
// item.
//
// Ownership: as ChildList. UI thread only.
#pragma once

#include "platform/cstring.h"
#include "ui/child_list.h"

namespace zq {

class GraphicsContext;
class Style;

class EmptyContainer : public ChildList {
public:
    EmptyContainer(const CString& label, uint32_t layout, int appearanceMode, Style* style);

    bool keyPressed(int keyCode, int gameAction) override;
    bool keyRepeated(int keyCode, int gameAction) override;
    bool keyReleased(int keyCode, int gameAction) override;

    // Sum of itemHeight + paddingVertical from the first child up to and
    // including the focused one.
    virtual int getFocusedItemOffset() const;
    // Subclasses that scroll bring the focused child into view.
    virtual void scrollToFocusedItem() {}
    virtual bool handleNavigation(int keyCode, int gameAction);

    // The children; the same as children().
    const std::vector<std::unique_ptr<Item>>& getItems() const { return children_; }

    void focusChild(int index, Item* child, int direction) override;
    // The next (previous) visible interactive child, without wrapping.
    bool shiftFocus(bool forward);

protected:
    // The child a focus entering the container goes to: the remembered one,
    // else the first visible, interactive child from the end the focus comes
    // from; -1 for none.
    int focusTarget(int direction) const;
    // Puts on the container's focused look and focuses child `target`.
    void focusEntry(int target, int direction);
    // Gives the focused child its look back and takes the container's item
    // commands off the screen when the child brought none; false (nothing
    // done) when no child has the focus.
    bool defocusEntry(Style* normalStyle);
};

class InlineContainer : public EmptyContainer {
public:
    // The shared default inline style.
    InlineContainer();
    explicit InlineContainer(Style* style);
    // `mode` is accepted for the builders' sake and unused.
    InlineContainer(const CString& label, int mode, Style* style);

    void initContent(int firstLineWidth, int lineWidth) override;
    void paintContent(int x, int y, int leftBorder, int rightBorder, GraphicsContext& g) override;
    Style* focus(Style* focusStyle, int direction) override;
    void defocus(Style* normalStyle) override;
    // Left and right move the focus; other keys are not taken.
    bool handleNavigation(int keyCode, int gameAction) override;
};

// Paddings 1 (left) and 4 (between the children), built on first use and
// rebuilt after freeTrackedStyles; its focused style has the same numbers.
Style* defaultInlineStyle();

}  // namespace zq
