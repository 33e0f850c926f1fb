#include "items/image_item.h"

#include <algorithm>
#include <optional>
#include <utility>

#include "platform/device_context.h"
#include "ui/displayable.h"
#include "ui/font_cache.h"
#include "ui/graphics_context.h"
#include "ui/page_services.h"
#include "ui/style.h"

namespace zq {
namespace {

constexpr int kKeyDigitFour = '4';
constexpr int kKeyDigitSix = '6';

}  // namespace

ImageItem::ImageItem(const CString& label, ImageRef image, uint32_t layout, const CString& altText,
                     Style* style, const CString& url)
    : Item(label, layout, kAppearancePlain, style),
      image_(std::move(image)),
      altText_(altText),
      url_(url) {
    if (image_) {
        boxWidth_ = image_->width();
        boxHeight_ = image_->height();
    }
}

ImageItem::~ImageItem() {
    if (pictureTarget_) pictureTarget_->item = nullptr;
}

void ImageItem::setStyle(Style* style) {
    Item::setStyle(style);
    if (!style) return;
    textColor_ = style->getColor();
    font_ = style->font;
}

void ImageItem::setImage(ImageRef image) {
    // A failed picture that had none changes nothing.
    if (!image && !image_) return;
    image_ = std::move(image);
    if (image_) {
        boxWidth_ = image_->width();
        boxHeight_ = image_->height();
    }
    requestInit();
    // Pictures arrive after the page was shown: bring the new size on screen,
    // laid out once for all that arrive together.
    if (auto* canvas = dynamic_cast<Canvas*>(getScreen())) canvas->repaintLater();
}

void ImageItem::releasePicture() {
    if (!url_.isEmpty()) letGoOfPicture();
}

void ImageItem::letGoOfPicture() {
    if (!image_) return;
    // The box stays: the same size needs no new layout.
    image_.reset();
}

void ImageItem::takePictureOf(ImageItem& left) {
    if (url_.isEmpty() || left.url_ != url_) return;
    if (left.pictureTarget_ && !pictureTarget_) {
        pictureTarget_ = std::move(left.pictureTarget_);
        pictureTarget_->item = this;
    }
    if (!image_ && left.image_) {
        setImage(left.image_);
    } else if (boxWidth_ < 0 && left.boxWidth_ >= 0) {
        // A failed copy left only its box there: the page keeps its layout.
        boxWidth_ = left.boxWidth_;
        boxHeight_ = left.boxHeight_;
        requestInit();
    }
}

void ImageItem::initContent(int /*firstLineWidth*/, int lineWidth) {
    overflow_ = 0;
    if (boxWidth_ >= 0) {
        contentWidth_ = boxWidth_;
        contentHeight_ = boxHeight_;
        if (contentWidth_ > lineWidth) {
            // Focusable, so that the keys can scroll it.
            appearanceMode_ = kAppearanceControl;
            overflow_ = contentWidth_ - std::max(lineWidth, 0);
            contentWidth_ -= overflow_;
        }
        // A wider line after a relayout leaves less to scroll.
        scrollX_ = std::clamp(scrollX_, -overflow_, 0);
        return;
    }
    if (altText_.isEmpty()) {
        contentWidth_ = 0;
        contentHeight_ = 0;
        return;
    }
    if (!font_) font_ = createStyleFont();
    contentWidth_ = font_->textWidth(altText_.view());
    contentHeight_ = font_->height();
}

void ImageItem::paintContent(int x, int y, int /*leftBorder*/, int rightBorder,
                             GraphicsContext& g) {
    DeviceContext* dc = g.getDC();
    if (!dc) return;
    if (!image_) {
        if (altText_.isEmpty()) return;
        if (!font_) font_ = createStyleFont();
        const FontRef previousFont = dc->selectFont(font_);
        const Color previousColor = dc->setTextColor(textColor_);
        // The text stands on whatever lies behind the item.
        const BackgroundMode previousMode = dc->setBackgroundMode(BackgroundMode::Transparent);
        // Within the box of a picture let go of.
        std::optional<ClipScope> clip;
        if (boxWidth_ >= 0) clip.emplace(g, x, y, contentWidth_, contentHeight_);
        Rect box{x, y, x + font_->textWidth(altText_.view()), y + font_->height()};
        dc->drawText(altText_.view(), box, kTextVCenter | kTextWordBreak);
        dc->setBackgroundMode(previousMode);
        dc->setTextColor(previousColor);
        dc->selectFont(previousFont);
        return;
    }

    std::optional<ClipScope> clip;
    if (overflow_ > 0) clip.emplace(g, x, g.getClipY(), contentWidth_, g.getClipHeight());

    // The picture keeps its own width in every alignment; only the part
    // inside the content box shows.
    const int pictureWidth = contentWidth_ + overflow_;
    int left = x + scrollX_;
    if (expand_ && alignCentre_) {
        left += (rightBorder - left - pictureWidth) / 2;
    } else if (expand_ && alignRight_) {
        left = rightBorder - pictureWidth;
    }
    dc->drawImage(*image_, left, y + imageOffsetY_);
}

void ImageItem::scrollTo(int offset) { scrollX_ = std::clamp(offset, -overflow_, 0); }

bool ImageItem::keyPressed(int keyCode, int gameAction) {
    if (overflow_ > 0) {
        if (gameAction == kGameRight && keyCode != kKeyDigitSix) {
            if (scrollX_ + overflow_ > 0) scrollTo(scrollX_ - kScrollStep);
            return true;
        }
        if (gameAction == kGameLeft && keyCode != kKeyDigitFour) {
            if (scrollX_ < 0) scrollTo(scrollX_ + kScrollStep);
            return true;
        }
    }
    return Item::keyPressed(keyCode, gameAction);
}

bool ImageItem::pointerPressed(int x, int y) {
    if (overflow_ <= 0) return Item::pointerPressed(x, y);
    scrollTo(scrollX_ + contentWidth_ / 2 - x);
    return true;
}

CString ImageItem::requestAddress() const { return requestAddressOn(getScreen()); }

CString ImageItem::requestAddressOn(const ItemScreen* screen) const {
    const int index = screen ? screen->indexOfControl(controlOwner_) : -1;
    const bool hasQuery = url_.find(u'?') >= 0 || url_.find(u'#') >= 0;
    return CString::format(hasQuery ? u"%s&controlid=%d" : u"%s?controlid=%d", url_, index);
}

bool onHiddenScreen(const Item& item) {
    const auto* screen = dynamic_cast<const Displayable*>(item.getScreen());
    return screen && !screen->isShown();
}

void ImageItem::showNotify() {
    Item::showNotify();
    if (url_.isEmpty() || !controlOwner_ || !requester_ || onHiddenScreen(*this)) return;
    if (replyTargets_) {
        // Shown again from the history: its own list, not the last built
        // one. Every picture of the page shares it, so only the first
        // installs it.
        responseListeners().replace(kReplyKind, *replyTargets_, replyTargets_.get());
    }
    if (!pictureTarget_) pictureTarget_ = std::make_shared<PictureTarget>(PictureTarget{this});
    requester_->requestPicture(requestAddress(), pictureTarget_);
}

}  // namespace zq
