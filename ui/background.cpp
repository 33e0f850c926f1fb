#include "ui/background.h"

#include <algorithm>
#include <utility>

#include "ui/client_context.h"
#include "ui/graphics_context.h"
#include "ui/image_cache.h"
#include "ui/style.h"

namespace zq {

namespace {

constexpr Color kWhite = 0xFFFFFF;

// The fill a FillRect of the box gives, its far edges computed without overflow.
void fillBox(DeviceContext& dc, int64_t x, int64_t y, int64_t w, int64_t h, Color colour) {
    const auto edge = [](int64_t v) {
        return static_cast<int>(std::clamp<int64_t>(v, INT32_MIN, INT32_MAX));
    };
    dc.fillRect({edge(x), edge(y), edge(x + w), edge(y + h)}, colour);
}

Rect boxRect(int x, int y, int w, int h) {
    return {x, y, static_cast<int>(std::min<int64_t>(int64_t{x} + w, INT32_MAX)),
            static_cast<int>(std::min<int64_t>(int64_t{y} + h, INT32_MAX))};
}

}  // namespace

// --- Background, ColorBackground, BevelBackground, RectangleBackground ------

Background::~Background() = default;

void Background::paint(int x, int y, int w, int h, GraphicsContext& g) {
    if (DeviceContext* dc = g.getDC()) fillBox(*dc, x, y, w, h, kWhite);
}

ColorBackground::ColorBackground(Color colour)
    : Background(0, colour), resolved_(true), solid_(true) {}

// Not solid but with nothing to resolve: the colour stays as given.
ColorBackground::ColorBackground(Color colour, bool solid)
    : Background(0, colour), resolved_(false), solid_(solid) {}

ColorBackground::ColorBackground(const StyleValue& value)
    : source_(std::make_unique<StyleValue>(value)), resolved_(false), solid_(false) {}

ColorBackground::~ColorBackground() = default;

void ColorBackground::paint(int x, int y, int w, int h, GraphicsContext& g) {
    DeviceContext* dc = g.getDC();
    if (dc == nullptr) return;
    if (!solid_ && !resolved_) {
        if (source_) colour_ = static_cast<Color>(source_->getValue());
        source_.reset();
        resolved_ = true;
    }
    fillBox(*dc, x, y, w, h, colour_);
}

void BevelBackground::paint(int x, int y, int w, int h, GraphicsContext& g) {
    DeviceContext* dc = g.getDC();
    if (dc == nullptr) return;
    fillBox(*dc, x, y, w, h, colour_);
    const int right = x + w - 1;
    const int bottom = y + h - 1;
    {
        PenScope light(*dc, Pen{PenStyle::Solid, width_, lightColour_});
        dc->line(x, y, right, y);
        dc->line(x, y, x, bottom);
    }
    PenScope dark(*dc, Pen{PenStyle::Solid, width_, darkColour_});
    dc->line(x, bottom, right, bottom);
    dc->line(right, y, right, bottom);
}

RectangleBackground::RectangleBackground(Color fillColour, Color penColour, int penWidth)
    : Background(penWidth, 0), fillColour_(fillColour), penColour_(penColour), resolved_(true) {}

RectangleBackground::RectangleBackground(const StyleValue& fillValue, const StyleValue& penValue,
                                         int penWidth)
    : Background(penWidth, 0),
      fillValue_(std::make_unique<StyleValue>(fillValue)),
      penValue_(std::make_unique<StyleValue>(penValue)),
      resolved_(false) {}

RectangleBackground::~RectangleBackground() = default;

void RectangleBackground::paint(int x, int y, int w, int h, GraphicsContext& g) {
    DeviceContext* dc = g.getDC();
    if (dc == nullptr) return;
    if (!resolved_) {
        if (fillValue_) fillColour_ = static_cast<Color>(fillValue_->getValue());
        if (penValue_) penColour_ = static_cast<Color>(penValue_->getValue());
        fillValue_.reset();
        penValue_.reset();
        resolved_ = true;
    }
    PenScope pen(*dc, Pen{PenStyle::Solid, width_, penColour_});
    BrushScope brush(*dc, Brush::solid(fillColour_));
    dc->rectangle(boxRect(x, y, w, h));
}

// --- colour ramps ------------------------------------------------------------

void buildRamp(Color start, Color end, std::vector<Color>& ramp) {
    const size_t n = ramp.size();
    if (n == 0) return;
    ramp[0] = start;
    if (n == 1) return;
    // Each byte of the word in 8.8 fixed point; the step truncates toward
    // zero so the last entry never passes `end`.
    int32_t acc[4];
    int32_t step[4];
    for (int k = 0; k < 4; ++k) {
        const int32_t s = static_cast<int32_t>((start >> (8 * k)) & 0xFF);
        const int32_t e = static_cast<int32_t>((end >> (8 * k)) & 0xFF);
        acc[k] = s * 256;
        step[k] = static_cast<int32_t>((int64_t{e - s} * 256) / static_cast<int64_t>(n - 1));
    }
    for (size_t i = 1; i < n; ++i) {
        for (int k = 0; k < 4; ++k) acc[k] += step[k];
        ramp[i] = (static_cast<uint32_t>(acc[3] >> 8) << 24) |
                  ((static_cast<uint32_t>(acc[2]) & 0xFF00) << 8) |
                  (static_cast<uint32_t>(acc[1]) & 0xFF00) | static_cast<uint32_t>(acc[0] >> 8);
    }
}

std::vector<Color> makeRamp(Color start, Color end, int n) {
    std::vector<Color> ramp(static_cast<size_t>(std::max(n, 0)));
    buildRamp(start, end, ramp);
    return ramp;
}

void ColourBand::paint(int x, int y, int w, int h, Color start, Color end, PenStyle penStyle,
                       DeviceContext& dc) {
    if (h <= 0) return;
    // 1. Work out the band rows for this height, within the box.
    if (ramp.empty() || rampHeight != h) {
        int64_t first = bandFirstRow;
        int64_t last = h;
        if (bandStart != bandEnd) {
            first = percent ? int64_t{bandStart} * h / 100 : bandStart;
            last = percent ? int64_t{bandEnd} * h / 100 : bandEnd;
        }
        bandFirstRow = static_cast<int>(std::clamp<int64_t>(first, 0, h));
        bandEndRow = static_cast<int>(std::clamp<int64_t>(last, bandFirstRow, h));
        ramp = makeRamp(start, end, bandEndRow - bandFirstRow);
        rampHeight = h;
    }

    // 2. One line per row; rows outside the clip paint nothing and are skipped.
    const Rect clip = dc.clipRect();
    const int64_t rowFirst = std::max<int64_t>(0, int64_t{clip.top} - y);
    const int64_t rowEnd = std::min<int64_t>(h, int64_t{clip.bottom} - y);
    PenScope pen(dc, Pen{penStyle, 1, start});
    for (int64_t i = rowFirst; i < rowEnd; ++i) {
        const int64_t rampIndex = i - bandFirstRow;
        const bool inBand =
            i >= bandFirstRow && i < bandEndRow && rampIndex < static_cast<int64_t>(ramp.size());
        dc.selectPen(Pen{penStyle, 1, inBand ? ramp[static_cast<size_t>(rampIndex)] : start});
        const int row = static_cast<int>(y + i);
        dc.line(x, row, x + w, row);
    }
}

// --- gradients ---------------------------------------------------------------

// The pen style is taken for the markup's sake; both halves always draw solid.
GradientBackground::GradientBackground(Color topStart, Color topEnd, Color bottomStart,
                                       Color bottomEnd, PenStyle)
    : topStart_(topStart), topEnd_(topEnd), bottomStart_(bottomStart), bottomEnd_(bottomEnd) {}

void GradientBackground::paint(int x, int y, int w, int h, GraphicsContext& g) {
    DeviceContext* dc = g.getDC();
    if (dc == nullptr) return;
    // Each half keeps the height its ramp was built for, so a change of
    // height rebuilds both.
    const int half = h / 2;
    top_.paint(x, y, w, half, topStart_, topEnd_, PenStyle::Solid, *dc);
    bottom_.paint(x, y + half, w, half, bottomStart_, bottomEnd_, PenStyle::Solid, *dc);
}

std::unique_ptr<GradientBackground> createDefaultGradientBackground() {
    return std::make_unique<GradientBackground>(0xA18389, 0x644D52, 0x4F3A3E, 0x261A1A,
                                                PenStyle::Solid);
}

BandGradientBackground::BandGradientBackground(Color startColour, Color endColour,
                                               PenStyle penStyle, int bandStart, int bandEnd,
                                               bool percent)
    : startColour_(startColour), endColour_(endColour), penStyle_(penStyle) {
    band_.bandStart = bandStart;
    band_.bandEnd = bandEnd;
    band_.percent = percent;
}

void BandGradientBackground::paint(int x, int y, int w, int h, GraphicsContext& g) {
    if (DeviceContext* dc = g.getDC()) {
        band_.paint(x, y, w, h, startColour_, endColour_, penStyle_, *dc);
    }
}

// --- rounded rectangles --------------------------------------------------------

void FilledRoundRectBackground::paint(int x, int y, int w, int h, GraphicsContext& g) {
    DeviceContext* dc = g.getDC();
    if (dc == nullptr) return;
    PenScope pen(*dc, Pen{PenStyle::Solid, 1, colour_});
    BrushScope brush(*dc, Brush::solid(colour_));
    dc->roundRect(boxRect(x, y, w, h), cornerWidth_, cornerHeight_);
}

void RoundRectBackground::paint(int x, int y, int w, int h, GraphicsContext& g) {
    DeviceContext* dc = g.getDC();
    if (dc == nullptr) return;
    {
        PenScope pen(*dc, Pen{PenStyle::Solid, 1, colour_});
        BrushScope brush(*dc, Brush::solid(colour_));
        dc->roundRect(boxRect(x, y, w, h), cornerWidth_, cornerHeight_);
    }
    // Square off the lower half, down to the row below the box as the
    // handset's bars do.
    fillBox(*dc, x, int64_t{y} + h / 2, w, h - h / 2 + 1, colour_);
}

// --- ImageBackground -----------------------------------------------------------

ImageBackground::ImageBackground(const CString& path, ImageRepeat kind) : kind_(kind) {
    setImage(kWhite, path, 0, 0, 0, kind);
}

void ImageBackground::setImage(Color colour, const CString& path, unsigned placement, int offsetX,
                               int offsetY, ImageRepeat kind) {
    colour_ = colour;
    path_ = path;
    deriveVariant();
    offsetX_ = offsetX;
    offsetY_ = offsetY;
    kind_ = kind;
    placement_ = placement;
    centred_ = placement == kPlaceCentred;
    orientation_ = 0;
}

void ImageBackground::setImagePath(const CString& path) {
    if (path.equalsNoCase(path_)) return;
    path_ = path;
    deriveVariant();
    orientation_ = 0;
}

void ImageBackground::setLoader(ImageLoader loader) {
    loader_ = std::move(loader);
    orientation_ = 0;
}

// The landscape picture has "320_240" before its file name.
void ImageBackground::deriveVariant() {
    static const CString kVariantPrefix(u"320_240");
    if (path_.isEmpty()) {
        variantPath_.clear();
        return;
    }
    const int slash = path_.reverseFind(u'\\');
    if (slash < 0) {
        variantPath_ = kVariantPrefix + path_;
        return;
    }
    const ScreenMetrics metrics = screenMetrics();
    if (metrics.screenWidth >= metrics.shortSide) {
        variantPath_ = path_.left(slash + 1) + kVariantPrefix + path_.mid(slash + 1);
    }
}

void ImageBackground::paint(int x, int y, int w, int h, GraphicsContext& g) {
    DeviceContext* dc = g.getDC();
    if (dc == nullptr) return;
    // 1. Fetch the picture for the way the screen is turned.
    const int orientation = screenMetrics().landscape ? -1 : 1;
    if (orientation != orientation_) {
        const CString& wanted = orientation < 0 ? variantPath_ : path_;
        image_ = loader_ ? loader_(wanted) : loadCachedImage(wanted);
        orientation_ = orientation;
    }
    if (!image_) return;

    // 2. Anchor its top-left corner by the placement bits, then the offsets.
    int64_t left = int64_t{x} + offsetX_;
    int64_t top = int64_t{y} + offsetY_;
    if (centred_ || (placement_ & kPlaceHCenter) != 0) {
        left += w / 2;
    } else if ((placement_ & kPlaceRight) != 0) {
        left += w;
    }
    if (centred_ || (placement_ & kPlaceVCenter) != 0) {
        top += h / 2;
    } else if ((placement_ & kPlaceBottom) != 0) {
        top += h;
    }

    // 3. Draw it at its own size, clipped to the box.
    ClipScope clip(g, x, y, w, h);
    dc->drawImage(*image_, static_cast<int>(std::clamp<int64_t>(left, INT32_MIN, INT32_MAX)),
                  static_cast<int>(std::clamp<int64_t>(top, INT32_MIN, INT32_MAX)));
}

}  // namespace zq
