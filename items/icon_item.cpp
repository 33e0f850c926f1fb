#include "items/icon_item.h"

#include <algorithm>

#include "platform/device_context.h"
#include "ui/graphics_context.h"
#include "ui/image_cache.h"
#include "ui/style.h"

namespace zq {
namespace {

const CString kIndexToken(u"%INDEX%");

}  // namespace

IconItem::IconItem(const CString& label, const CString& text, ImageRef image, Style* style)
    : StringItem(label, text, kAppearanceInteractive, style) {
    if (image) setImage(std::move(image));
}

IconItem::IconItem(const CString& text, ImageRef image, Style* style)
    : IconItem(CString(), text, std::move(image), style) {}

IconItem::~IconItem() = default;

void IconItem::setImage(ImageRef image) {
    image_ = std::move(image);
    requestInit();
}

void IconItem::setStyle(Style* style) {
    StringItem::setStyle(style);
    if (!style) return;
    // Style values 0..4 name left, right, top, bottom and behind.
    constexpr IconPosition kPositions[] = {IconPosition::Left, IconPosition::Right,
                                           IconPosition::Top, IconPosition::Bottom,
                                           IconPosition::Behind};
    if (style->hasProperty(prop::kIconPosition)) {
        const int value = style->getProperty(prop::kIconPosition);
        if (value >= 0 && value < 5) position_ = kPositions[value];
    }
    const CString named = style->getStringProperty(prop::kIconImage);
    if (named.isEmpty()) return;
    const CString path = expandIndexToken(named);
    // Focus changes re-apply styles; the picture already shown is kept.
    if (image_ && path == imagePath_) return;
    if (ImageRef loaded = loadImageFile(path)) {
        image_ = std::move(loaded);
        imagePath_ = path;
    }
}

CString IconItem::expandIndexToken(const CString& path) {
    const int at = path.find(kIndexToken);
    if (at < 0) return path;
    const Item* branch = this;
    Item* ancestor = parent_;
    while (ancestor && !ancestor->asContainer()) {
        branch = ancestor;
        ancestor = ancestor->getParent();
    }
    if (!ancestor) return path;
    const int index = ancestor->asContainer()->indexOfChild(branch);
    return path.left(at) + CString::format(u"%d", index) + path.mid(at + kIndexToken.length());
}

int IconItem::verticalOffset(int spare) const {
    switch (layout_ & (kLayoutTop | kLayoutBottom)) {
        case kLayoutTop:
            return 0;
        case kLayoutBottom:
            return spare;
        default:
            return spare / 2;
    }
}

void IconItem::initContent(int firstLineWidth, int lineWidth) {
    imageX_ = 0;
    imageY_ = 0;
    textOffsetY_ = 0;
    if (!image_) {
        imageWidth_ = 0;
        imageHeight_ = 0;
        StringItem::initContent(firstLineWidth, lineWidth);
        return;
    }
    imageWidth_ = image_->width();
    imageHeight_ = image_->height();
    if (position_ == IconPosition::Left || position_ == IconPosition::Right) {
        layoutBeside(firstLineWidth, lineWidth);
    } else {
        layoutStacked(firstLineWidth, lineWidth);
    }
}

void IconItem::layoutStacked(int firstLineWidth, int lineWidth) {
    if (showText_) {
        StringItem::initContent(firstLineWidth, lineWidth);
    } else {
        contentWidth_ = 0;
        contentHeight_ = 0;
    }
    contentHeight_ += paddingVertical_ + imageHeight_;
    contentWidth_ = std::max(contentWidth_, imageWidth_);
    imageY_ = position_ == IconPosition::Bottom ? contentHeight_ - imageHeight_ : 0;
    const int width = expand_ ? firstLineWidth : contentWidth_;
    imageX_ = (width - imageWidth_) / 2;
}

void IconItem::layoutBeside(int firstLineWidth, int lineWidth) {
    const int textFirstWidth = firstLineWidth + paddingHorizontal_ - imageWidth_;
    const int textLineWidth = lineWidth + paddingHorizontal_ - imageWidth_;
    if (showText_) {
        StringItem::initContent(textFirstWidth, textLineWidth);
    } else {
        contentWidth_ = 0;
        contentHeight_ = imageHeight_;
    }
    const int textHeight = contentHeight_;
    if (textHeight < imageHeight_) {
        textOffsetY_ = verticalOffset(imageHeight_ - textHeight);
        contentHeight_ = imageHeight_;
    } else if (textHeight > imageHeight_) {
        imageY_ = verticalOffset(textHeight - imageHeight_);
    }
    if (position_ == IconPosition::Right && expand_) contentWidth_ = textFirstWidth;
    contentWidth_ += imageWidth_;
    // A right picture closes the content: at the end of the line when the
    // item expands, right after the text otherwise.
    imageX_ = position_ == IconPosition::Left ? 0 : contentWidth_ - imageWidth_;
}

void IconItem::paintContent(int x, int y, int leftBorder, int rightBorder, GraphicsContext& g) {
    DeviceContext* dc = g.getDC();
    if (image_ && dc) dc->drawImage(*image_, x + imageX_, y + imageY_);
    switch (position_) {
        case IconPosition::Left:
            x += imageWidth_;
            leftBorder += imageWidth_;
            y += textOffsetY_;
            break;
        case IconPosition::Right:
            y += textOffsetY_;
            rightBorder -= imageWidth_;
            break;
        case IconPosition::Top:
            y += imageHeight_;
            break;
        default:
            break;
    }
    if (showText_) StringItem::paintContent(x, y, leftBorder, rightBorder, g);
}

}  // namespace zq
