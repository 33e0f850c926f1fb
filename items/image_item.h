// ImageItem: one picture of a page ("img"), or its alternative text while
// there is none. A picture wider than the line is cut to the line and can
// be scrolled sideways with LEFT/RIGHT or a tap. When it is shown, the item
// can ask the page controller to fetch its picture; the picture arrives
// later through setImage.
//
// The picture is shared (ImageRef): a new one replaces the old, which is
// released by its last holder. The control owner, the requester and the
// reply listeners are borrowed from the page, which outlives its items. UI
// thread only.
#pragma once

#include <memory>
#include <vector>

#include "platform/cstring.h"
#include "platform/font.h"
#include "platform/geometry.h"
#include "platform/image.h"
#include "ui/item.h"

namespace zq {

class PageNavigator;
class ResponseListener;
struct PictureTarget;

// The listeners of a screen's reply-driven pictures in control-list order:
// the picture reply for "controlid" i goes to entry i.
using ReplyTargetList = std::vector<ResponseListener*>;

// Whether `item` is on a screen the display does not show. Item::showNotify
// also runs while a page is appended to its new screen: a picture asked for
// then would go out for the page still shown.
bool onHiddenScreen(const Item& item);

class ImageItem : public Item {
public:
    // Sideways scroll step of LEFT and RIGHT, in pixels.
    static constexpr int kScrollStep = 30;
    // Reply kind of the pictures of a screen's control list.
    static constexpr int32_t kReplyKind = 3;

    ImageItem(const CString& label, ImageRef image, uint32_t layout, const CString& altText,
              Style* style, const CString& url);
    ~ImageItem() override;

    // Also takes the text colour and the font (null: the default font).
    void setStyle(Style* style) override;
    // Lays the screen out again and repaints it when the item is on one,
    // once for every picture set in the same step of the UI loop.
    void setImage(ImageRef image) override;
    void initContent(int firstLineWidth, int lineWidth) override;
    void paintContent(int x, int y, int leftBorder, int rightBorder, GraphicsContext& g) override;
    // LEFT and RIGHT scroll a wide picture (not from '4' and '6').
    bool keyPressed(int keyCode, int gameAction) override;
    // A tap on a wide picture brings the tapped point to the middle.
    bool pointerPressed(int x, int y) override;
    // Once its screen is on the display (not while the page is built),
    // makes the screen's reply listeners the ones picture replies reach and
    // asks the requester for the picture of `url` for this item, tagged with
    // the control owner's position in the screen's control list.
    void showNotify() override;

    // Lets go of a fetched picture (its page left the screen): it is asked
    // for again when the item is shown again. The item keeps the picture's
    // box meanwhile, so that the page keeps its layout both ways.
    void releasePicture();
    // As releasePicture, for a picture the owner fetches itself (no `url`).
    void letGoOfPicture();
    // On the page that reloads the one `left` was on, where both ask for
    // their picture at the same address: this one shows the picture `left`
    // showed until the new copy comes, and takes over the request still on
    // its way, which then brings it here. A picture that failed there
    // leaves its box here too.
    void takePictureOf(ImageItem& left);

    // The address the picture is fetched from on showNotify: `url` with
    // "controlid" and the control owner's index (-1 when not found).
    CString requestAddress() const;
    // The same on `screen`, also while the item is on a tab page not shown.
    CString requestAddressOn(const ItemScreen* screen) const;

    const ImageRef& getImage() const { return image_; }
    const CString& getAltText() const { return altText_; }
    const CString& getUrl() const { return url_; }
    void setControlOwner(Item* owner) { controlOwner_ = owner; }
    Item* getControlOwner() const { return controlOwner_; }
    void setRequester(PageNavigator* requester) { requester_ = requester; }
    void setReplyTargets(std::shared_ptr<const ReplyTargetList> targets) {
        replyTargets_ = std::move(targets);
    }
    void setImageOffsetY(int offset) { imageOffsetY_ = offset; }
    // 0 or negative: how far a wide picture is moved left.
    int scrollX() const { return scrollX_; }
    // Picture width minus the width it was given; 0 when it fits.
    int overflow() const { return overflow_; }

private:
    void scrollTo(int offset);

    ImageRef image_;
    Item* controlOwner_ = nullptr;
    PageNavigator* requester_ = nullptr;
    std::shared_ptr<const ReplyTargetList> replyTargets_;
    // Where the pictures this item asks for go; cleared when it goes.
    std::shared_ptr<PictureTarget> pictureTarget_;
    CString altText_;
    Color textColor_ = 0;
    FontRef font_;
    int imageOffsetY_ = 0;
    // The size of the last picture, kept when it is let go of; -1: none.
    int boxWidth_ = -1;
    int boxHeight_ = 0;
    int scrollX_ = 0;
    int overflow_ = 0;
    CString url_;
};

}  // namespace zq
