// HyperlinkItem: a link of a page ("a", "text" with an address, image
// links). Wrapped text, optionally underlined, with an optional picture in
// front. Choosing it (FIRE on the focused link, a tap, or the link's
// soft-key command) raises a HyperEvent with the link's id, address and
// click action to its event listener.
//
// The picture is shared (ImageRef); a new one replaces the old. One taken
// away (its page let go of it) leaves its box, so that the page keeps its
// layout until the picture comes again. The event
// listener (Item::setEventListener) is borrowed from the page. UI thread
// only.
#pragma once

#include "core/string_utils.h"
#include "platform/cstring.h"
#include "platform/font.h"
#include "platform/geometry.h"
#include "platform/image.h"
#include "ui/item.h"
#include "ui/listeners.h"

namespace zq {

// The soft-key command of every link ("确定选择", type 8, priority 1). The
// same command on every call until freeTrackedStyles.
CommandRef sharedLinkCommand();

class HyperlinkItem : public Item, public ItemCommandListener {
public:
    // A null style means the default item style.
    HyperlinkItem(const CString& text, const CString& href, Style* style);
    HyperlinkItem(const CString& text, const CString& href, ImageRef image, Style* style);
    ~HyperlinkItem() override;

    // Also takes colour, font, underline (kLinkUnderline), adds the link
    // command and, when the item has no command listener yet, makes the
    // link its own listener.
    void setStyle(Style* style) override;
    // Repaints the screen the link is on, if any (the picture may come late).
    void setImage(ImageRef image) override;
    void initContent(int firstLineWidth, int lineWidth) override;
    void paintContent(int x, int y, int leftBorder, int rightBorder, GraphicsContext& g) override;
    // FIRE (not '5') on the focused link raises the event.
    bool keyReleased(int keyCode, int gameAction) override;
    // The link command raises the event and is consumed even without a
    // listener.
    bool handleCommand(Command* command) override;
    // ItemCommandListener: the link command chosen on this link.
    void commandAction(Command* command, Item* item) override;

    bool isHyperlinkItem() const override { return true; }
    CString getText() const override { return text_; }
    const CString& getHref() const { return href_; }
    const CString& getOnClick() const { return onclick_; }
    void setOnClick(const CString& action) { onclick_ = action; }
    const ImageRef& getImage() const { return image_; }
    const StringArray& getLines() const { return lines_; }
    bool isUnderlined() const { return underline_; }
    // Where the text starts beside the picture (0 without one).
    int textOffsetX() const;

private:
    // True for the link command, after raising the event when there is a
    // listener.
    bool raiseForCommand(const Command* command);
    void raiseEvent();

    CString href_;
    CString onclick_;
    CString text_;
    StringArray lines_;
    FontRef font_;
    Color textColor_ = 0;
    ImageRef image_;
    // The last picture's size; -1: none came.
    int boxWidth_ = -1;
    int boxHeight_ = 0;
    bool underline_ = false;
};

}  // namespace zq
