#include "app/splash_screen.h"

#include <algorithm>
#include <utility>

#include "core/string_utils.h"
#include "platform/device_context.h"
#include "platform/font.h"
#include "platform/ui_executor.h"
#include "ui/client_context.h"
#include "ui/graphics_context.h"

namespace zq {

namespace {

// The design the layout numbers are drawn for.
constexpr float kDesignHeight = 294.0f;
constexpr float kGapUnderVersion = 5.0f;
constexpr float kGapAboveFrame = 15.0f;
constexpr float kFrameHeight = 10.0f;
// Version line above the bottom: 15 + 10 + 10 + 15 + 5.
constexpr float kVersionFromBottom = 55.0f;
constexpr int kStatusLineStep = 15;
constexpr int kStatusMargin = 10;
constexpr int kFrameInset = 20;
constexpr int kBlockWidth = 6;
constexpr int kBlockStep = 9;  // block width and gap
constexpr int kBlockInsetY = 2;

}  // namespace

SplashScreen::SplashScreen(Look look) : Screen(look.title, false), look_(std::move(look)) {}

SplashScreen::~SplashScreen() = default;

void SplashScreen::setProgress(int percent) {
    progress_ = std::clamp(percent, 0, 100);
    repaintSoon();
}

void SplashScreen::setText(const CString& text) {
    status_ = text;
    repaintSoon();
}

// A start-up step sets the text and the progress together: one paint after
// the step's UI task shows both.
void SplashScreen::repaintSoon() {
    if (!isShown() || repaintQueued_) return;
    repaintQueued_ = true;
    postToUi([self = WeakRef<SplashScreen>(this, &life_)] {
        SplashScreen* splash = self.get();
        if (!splash) return;
        splash->repaintQueued_ = false;
        if (splash->isShown()) splash->repaint();
    });
}

SplashScreen::Geometry SplashScreen::geometry(Size screen, int textHeight, int statusLines,
                                              int percent) {
    const int w = screen.width;
    const float sy = static_cast<float>(screen.height) / kDesignHeight;
    Geometry out;
    out.versionTop = static_cast<int>(static_cast<float>(screen.height) - kVersionFromBottom * sy -
                                      static_cast<float>(textHeight));
    const float firstStatusTop =
        static_cast<float>(out.versionTop + textHeight) + kGapUnderVersion * sy;
    const float afterStatus = firstStatusTop + static_cast<float>(kStatusLineStep * statusLines);
    const float frameTop = afterStatus + kGapAboveFrame * sy;
    out.frameLeft = kFrameInset;
    out.frameRight = w - kFrameInset;
    out.frameTop = static_cast<int>(frameTop);
    out.frameBottom = static_cast<int>(frameTop + kFrameHeight * sy);

    // One block shows at 0 %. The frame's 1 px outline covers its first and
    // last column; blocks never reach it, so a full bar ends inside.
    const int wanted = ((w - 2 * kFrameInset) * std::clamp(percent, 0, 100)) / 900;
    const int innerRight = out.frameRight - 1;  // the outline's column
    const int fitting = (innerRight - (out.frameLeft + 1) - kBlockWidth) / kBlockStep;
    out.blocks = fitting < 0 ? 0 : std::min(wanted, fitting) + 1;
    return out;
}

void SplashScreen::buildLayer(Size size) {
    layer_ = std::make_unique<Surface>(size.width, size.height);
    DeviceContext dc(*layer_);
    dc.fillRect(layer_->bounds(), look_.background);
    if (look_.logo) dc.drawImage(*look_.logo, 0, 0);
}

void SplashScreen::paint(GraphicsContext& g) {
    DeviceContext* dc = g.getDC();
    if (!dc) return;
    Size size{getWidth(), getHeight()};
    if (size.width <= 0 || size.height <= 0) size = {g.getSurfaceWidth(), g.getSurfaceHeight()};
    if (size.width <= 0 || size.height <= 0) return;

    // Version colour, transparent text, the version's height.
    FontRef previousFont = dc->selectFont(getFont(screenMetrics().baseFontSize));
    const Color previousColor = dc->setTextColor(look_.versionColor);
    const BackgroundMode previousMode = dc->setBackgroundMode(BackgroundMode::Transparent);
    const int textHeight = dc->font() ? dc->font()->height() : 0;

    // The logo layer, made at the first paint (again after a rotation).
    if (!layer_ || layer_->width() != size.width || layer_->height() != size.height) {
        buildLayer(size);
    }
    dc->blit(0, 0, size.width, size.height, *layer_, 0, 0);

    // 5 first: the status lines decide where the bar goes.
    CString status = status_;
    StringArray lines;
    if (!status.isEmpty()) {
        const FontRef& font = dc->font();
        lines = wrapText(
            status, [&font](char16_t ch) { return font ? font->charWidth(ch) : 0; },
            size.width - kStatusMargin, size.width - kStatusMargin, 0);
    }
    const Geometry at = geometry(size, textHeight, static_cast<int>(lines.size()), progress_);

    // The version, centred.
    Rect versionRect{0, at.versionTop, size.width, at.versionTop + textHeight};
    dc->drawText(look_.version.view(), versionRect, kTextCenter | kTextVCenter);

    // The status lines, 15 px apart.
    const float sy = static_cast<float>(size.height) / kDesignHeight;
    int top =
        static_cast<int>(static_cast<float>(at.versionTop + textHeight) + kGapUnderVersion * sy);
    dc->setTextColor(look_.statusColor);
    for (const CString& line : lines) {
        Rect lineRect{0, top, size.width, top + textHeight};
        dc->drawText(line.view(), lineRect, kTextCenter);
        top += kStatusLineStep;
    }

    // The frame.
    {
        PenScope pen(*dc, Pen{PenStyle::Solid, 1, kFrameColor});
        BrushScope brush(*dc, Brush::solid(kFrameFill));
        dc->rectangle(Rect{at.frameLeft, at.frameTop, at.frameRight, at.frameBottom});
    }
    // The blocks.
    for (int i = 0; i < at.blocks; ++i) {
        const int x = at.frameLeft + 1 + kBlockStep * i;
        dc->fillRect(
            Rect{x, at.frameTop + kBlockInsetY, x + kBlockWidth, at.frameBottom - kBlockInsetY},
            kBlockColor);
    }

    // The context as it was.
    dc->setBackgroundMode(previousMode);
    dc->setTextColor(previousColor);
    dc->selectFont(previousFont);
}

}  // namespace zq
