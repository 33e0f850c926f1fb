#include "ui/graphics_context.h"

#include <algorithm>

#include "platform/device_context.h"

namespace zq {

namespace {

constexpr int32_t kMask15 = 0x7FFF;

// 32-bit sum that wraps like the handset's arithmetic, without signed overflow.
int32_t wrapAdd(int32_t a, int32_t b) {
    return static_cast<int32_t>(static_cast<uint32_t>(a) + static_cast<uint32_t>(b));
}

int32_t wrapSub(int32_t a, int32_t b) {
    return static_cast<int32_t>(static_cast<uint32_t>(a) - static_cast<uint32_t>(b));
}

}  // namespace

int32_t GraphicsContext::clampTranslated(int32_t sum, int32_t coord, int32_t translation,
                                         int32_t surfaceSize) {
    if (sum >= 0) return sum;
    return (coord < 0 || translation < 0) ? 0 : surfaceSize;
}

GraphicsContext& GraphicsContext::init(int width, int height, DeviceContext* dc) {
    surfaceWidth_ = static_cast<int16_t>(width & kMask15);
    surfaceHeight_ = static_cast<int16_t>(height & kMask15);
    dc_ = dc;
    reset();
    return *this;
}

void GraphicsContext::reset() {
    translateX_ = 0;
    translateY_ = 0;
    setClip(0, 0, surfaceWidth_, surfaceHeight_);
}

void GraphicsContext::translate(int dx, int dy) {
    translateX_ = wrapAdd(translateX_, dx);
    translateY_ = wrapAdd(translateY_, dy);
}

int GraphicsContext::getClipX() const { return wrapSub(clipX_, translateX_); }

int GraphicsContext::getClipY() const { return wrapSub(clipY_, translateY_); }

void GraphicsContext::makeEmpty() {
    clipX_ = 0;
    clipY_ = 0;
    clipWidth_ = 0;
    clipHeight_ = 0;
    clipChanged_ = 1;
}

void GraphicsContext::setClip(int x, int y, int w, int h) {
    if (w <= 0 || h <= 0) {
        makeEmpty();
        return;
    }
    const int32_t translatedX = wrapAdd(translateX_, x);
    const int32_t translatedY = wrapAdd(translateY_, y);
    originX_ = clampTranslated(translatedX, x, translateX_, surfaceWidth_);
    originY_ = clampTranslated(translatedY, y, translateY_, surfaceHeight_);
    clipOriginX_ = static_cast<uint16_t>(originX_ & kMask15);
    clipOriginY_ = static_cast<uint16_t>(originY_ & kMask15);
    if (originX_ >= surfaceWidth_ || originY_ >= surfaceHeight_) {
        makeEmpty();
        return;
    }
    rightX_ = clampTranslated(wrapAdd(translatedX, w), x, translateX_, surfaceWidth_);
    bottomY_ = clampTranslated(wrapAdd(translatedY, h), y, translateY_, surfaceHeight_);

    clipX_ = static_cast<int16_t>(originX_ & kMask15);
    clipY_ = static_cast<int16_t>(originY_ & kMask15);
    // Both edges are non-negative here, so the differences cannot overflow.
    clipWidth_ =
        static_cast<int16_t>(std::min<int32_t>((rightX_ - clipX_) & kMask15, surfaceWidth_));
    clipHeight_ =
        static_cast<int16_t>(std::min<int32_t>((bottomY_ - clipY_) & kMask15, surfaceHeight_));
    if (clipX_ != 0 || clipY_ != 0 || clipWidth_ < surfaceWidth_ || clipHeight_ < surfaceHeight_) {
        clipChanged_ = 1;
    }
}

void GraphicsContext::clipRect(int x, int y, int w, int h) {
    if (w <= 0 || h <= 0) {
        makeEmpty();
        return;
    }
    // 1. The request's origin, translated and clamped as in setClip.
    const int32_t translatedX = wrapAdd(translateX_, x);
    const int32_t translatedY = wrapAdd(translateY_, y);
    originX_ = clampTranslated(translatedX, x, translateX_, surfaceWidth_);
    originY_ = clampTranslated(translatedY, y, translateY_, surfaceHeight_);

    // 2. A request that starts beyond the clip leaves nothing.
    clipRight_ = clipX_ + clipWidth_;
    clipBottom_ = clipY_ + clipHeight_;
    if (clipRight_ < originX_ || clipBottom_ < originY_) {
        clipWidth_ = 0;
        clipHeight_ = 0;
        clipChanged_ = 1;
        return;
    }

    // 3. Move the clip's top-left edge in.
    if (originX_ > clipX_) {
        clipX_ = static_cast<int16_t>(originX_ & kMask15);
        clipChanged_ = 1;
    }
    if (originY_ > clipY_) {
        clipY_ = static_cast<int16_t>(originY_ & kMask15);
        clipChanged_ = 1;
    }

    // 4. A request that ends before the clip leaves nothing.
    rightX_ = clampTranslated(wrapAdd(translatedX, w), x, translateX_, surfaceWidth_);
    bottomY_ = clampTranslated(wrapAdd(translatedY, h), y, translateY_, surfaceHeight_);
    if (rightX_ < clipX_ || bottomY_ < clipY_) {
        clipWidth_ = 0;
        clipHeight_ = 0;
        clipChanged_ = 1;
        return;
    }

    // 5. Move the bottom-right edge in and size the clip from the edges.
    if (rightX_ <= clipRight_) {
        clipRight_ = rightX_;
        clipChanged_ = 1;
    }
    if (bottomY_ <= clipBottom_) {
        clipBottom_ = bottomY_;
        clipChanged_ = 1;
    }
    if (clipChanged_ != 0) {
        const int32_t width = clipRight_ - clipX_;
        const int32_t height = clipBottom_ - clipY_;
        clipWidth_ = static_cast<int16_t>(width > 0 ? (width & kMask15) : 0);
        clipHeight_ = static_cast<int16_t>(height > 0 ? (height & kMask15) : 0);
    }
}

namespace {

// The box as a Rect, its far edges clamped so that huge sizes cannot overflow.
Rect boxRect(int x, int y, int w, int h) {
    const auto edge = [](int start, int size) {
        const int64_t end = static_cast<int64_t>(start) + std::max(size, 0);
        return static_cast<int>(std::min<int64_t>(end, INT32_MAX));
    };
    return {x, y, edge(x, w), edge(y, h)};
}

}  // namespace

ClipScope::ClipScope(GraphicsContext& gc, int x, int y, int w, int h)
    : gc_(gc),
      savedX_(gc.getClipX()),
      savedY_(gc.getClipY()),
      savedWidth_(gc.getClipWidth()),
      savedHeight_(gc.getClipHeight()),
      dc_(gc.getDC()) {
    gc.clipRect(x, y, w, h);
    if (dc_ != nullptr) {
        savedDcClip_ = dc_->clipRect();
        dc_->setClipRect(savedDcClip_.intersected(boxRect(x, y, w, h)));
    }
}

ClipScope::~ClipScope() {
    gc_.setClip(savedX_, savedY_, savedWidth_, savedHeight_);
    if (dc_ != nullptr) dc_->setClipRect(savedDcClip_);
}

}  // namespace zq
