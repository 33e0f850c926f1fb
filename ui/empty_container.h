// EmptyContainer: a light container, an ordered list of children with a
// focus, without views, scroll offsets or columns. Base of InlineContainer
// (children side by side on one line: the text and link pieces of a
// sentence) and of lists, inline choice groups and the verification-code
// item.
//
// Ownership: the container owns its children; each child's parent pointer
// is the container. UI thread only.
#pragma once

#include <memory>
#include <vector>

#include "platform/cstring.h"
#include "ui/item.h"

namespace zq {

class GraphicsContext;
class Style;

class EmptyContainer : public Item {
public:
    EmptyContainer(const CString& label, uint32_t layout, int appearanceMode, Style* style);
    ~EmptyContainer() override;

    bool keyPressed(int keyCode, int gameAction) override;
    bool keyRepeated(int keyCode, int gameAction) override;
    bool keyReleased(int keyCode, int gameAction) override;
    // Points relative to the container's origin.
    bool pointerPressed(int x, int y) override;
    bool pointerReleased(int x, int y) override;
    bool handleCommand(Command* command) override;
    void hideNotify() override;
    Item* getItemByName(const CString& id) override;
    void requestFullInit() override;

    // Sum of itemHeight + paddingVertical from the first child up to and
    // including the focused one.
    virtual int getFocusedItemOffset() const;
    // Subclasses that scroll bring the focused child into view.
    virtual void scrollToFocusedItem() {}
    virtual bool handleNavigation(int keyCode, int gameAction);

    // Adopts `item` and returns it; null is ignored.
    Item* add(std::unique_ptr<Item> item);
    Item* insert(int index, std::unique_ptr<Item> item);
    // Null when `index` is out of range.
    Item* getItem(int index) const;
    int size() const { return static_cast<int>(children_.size()); }
    const std::vector<std::unique_ptr<Item>>& getItems() const { return children_; }
    // Deletes every child and forgets the focus.
    void clear();

    int getFocusedIndex() const { return focusedIndex_; }
    Item* getFocusedItem() const { return focusedItem_; }
    // Moves the focus to `child` (the child at `index`).
    void focusChild(int index, Item* child, int direction);
    // The next (previous) visible interactive child, without wrapping.
    bool shiftFocus(bool forward);

protected:
    void takeFocusArea(const Item& child);
    // Defocuses the focused child and forgets it; its commands leave the
    // screen.
    void releaseFocus();
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

    std::vector<std::unique_ptr<Item>> children_;
    Style* childSavedStyle_ = nullptr;
    Item* focusedItem_ = nullptr;
    int focusedIndex_ = -1;

private:
    bool pointerToChildren(int x, int y, bool press);
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
