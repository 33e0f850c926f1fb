// Backgrounds: what a Style paints behind an item's box before its content.
//
// A background paints into the box (x, y, w, h) in surface pixels on the
// GraphicsContext's DeviceContext, with pens and brushes it creates for that
// one paint and selects back out before it returns. The style that holds a
// background owns it. Backgrounds keep small caches (colours resolved at the
// first paint, colour ramps, the loaded picture), so they are used by the UI
// thread only.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

#include "platform/cstring.h"
#include "platform/device_context.h"
#include "platform/geometry.h"
#include "platform/image.h"

namespace zq {

class GraphicsContext;
class StyleValue;

class Background {
public:
    Background() = default;
    virtual ~Background();
    Background(const Background&) = delete;
    Background& operator=(const Background&) = delete;

    // The base fills the box with white.
    virtual void paint(int x, int y, int w, int h, GraphicsContext& g);

    // Edge or pen width for the subclasses that draw lines.
    int width() const { return width_; }
    void setWidth(int width) { width_ = width; }
    Color colour() const { return colour_; }
    void setColour(Color colour) { colour_ = colour; }

protected:
    Background(int width, Color colour) : width_(width), colour_(colour) {}

    int width_ = 0;
    Color colour_ = 0;
};

// A flat fill. Built from a StyleValue, the colour is read from the value at
// the first paint (a value may depend on the display existing) and kept.
class ColorBackground : public Background {
public:
    explicit ColorBackground(Color colour);
    ColorBackground(Color colour, bool solid);
    explicit ColorBackground(const StyleValue& value);
    ~ColorBackground() override;
    void paint(int x, int y, int w, int h, GraphicsContext& g) override;

    bool solid() const { return solid_; }

private:
    std::unique_ptr<StyleValue> source_;  // until the first paint resolves it
    bool resolved_;
    bool solid_;
};

// A fill with a light top-left and a dark bottom-right edge of `width`.
class BevelBackground : public Background {
public:
    BevelBackground(Color fill, Color lightColour, Color darkColour, int width)
        : Background(width, fill), lightColour_(lightColour), darkColour_(darkColour) {}
    void paint(int x, int y, int w, int h, GraphicsContext& g) override;

private:
    Color lightColour_;
    Color darkColour_;
};

// A filled rectangle with a solid outline of `width`. Built from StyleValues,
// both colours are read at the first paint and kept.
class RectangleBackground : public Background {
public:
    RectangleBackground(Color fillColour, Color penColour, int penWidth);
    RectangleBackground(const StyleValue& fillValue, const StyleValue& penValue, int penWidth);
    ~RectangleBackground() override;
    void paint(int x, int y, int w, int h, GraphicsContext& g) override;

private:
    Color fillColour_ = 0;
    std::unique_ptr<StyleValue> fillValue_;
    Color penColour_ = 0;
    std::unique_ptr<StyleValue> penValue_;
    bool resolved_;
};

// n colours from `start` to `end`, each byte of the word stepped in 8.8 fixed
// point; n = 1 gives only `start`, n <= 0 nothing.
std::vector<Color> makeRamp(Color start, Color end, int n);
// Fills every entry of `ramp` the same way (its size is n).
void buildRamp(Color start, Color end, std::vector<Color>& ramp);

// Rows of a vertical colour band: the ramp and the rows it covers, rebuilt
// when the painted height changes. Shared by the gradient backgrounds.
struct ColourBand {
    int bandStart = 0;  // rows, or percent of the height
    int bandEnd = 0;
    bool percent = false;
    int bandFirstRow = 0;
    int bandEndRow = 0;
    int rampHeight = 0;
    std::vector<Color> ramp;

    // Paints h rows of the box from `start`: rows in the band step along the
    // ramp to `end`, the others take `start`. Band rows lie within the box.
    void paint(int x, int y, int w, int h, Color start, Color end, PenStyle penStyle,
               DeviceContext& dc);
};

// Two vertical ramps: the top half from topStart to topEnd, the bottom half
// from bottomStart to bottomEnd. With an odd height the last row is left.
class GradientBackground : public Background {
public:
    GradientBackground(Color topStart, Color topEnd, Color bottomStart, Color bottomEnd,
                       PenStyle penStyle);
    void paint(int x, int y, int w, int h, GraphicsContext& g) override;

private:
    Color topStart_;
    Color topEnd_;
    Color bottomStart_;
    Color bottomEnd_;
    PenStyle penStyle_;
    ColourBand top_;
    ColourBand bottom_;
};

// The look of the default styles' bars: a dark grey-purple double ramp.
std::unique_ptr<GradientBackground> createDefaultGradientBackground();

// One ramp over rows bandStart..bandEnd (percent of the height when `percent`),
// the start colour above and below it; bandStart == bandEnd ramps the box.
class BandGradientBackground : public Background {
public:
    BandGradientBackground(Color startColour, Color endColour, PenStyle penStyle, int bandStart,
                           int bandEnd, bool percent);
    void paint(int x, int y, int w, int h, GraphicsContext& g) override;

private:
    Color startColour_;
    Color endColour_;
    PenStyle penStyle_;
    ColourBand band_;
};

// A rounded rectangle filled and outlined (1 px) in the colour.
class FilledRoundRectBackground : public Background {
public:
    FilledRoundRectBackground(Color colour, int cornerWidth, int cornerHeight)
        : Background(0, colour), cornerWidth_(cornerWidth), cornerHeight_(cornerHeight) {}
    void paint(int x, int y, int w, int h, GraphicsContext& g) override;

private:
    int cornerWidth_;
    int cornerHeight_;
};

// As FilledRoundRectBackground with the lower half squared off: only the top
// corners are round.
class RoundRectBackground : public Background {
public:
    RoundRectBackground(Color colour, int cornerWidth, int cornerHeight)
        : Background(0, colour), cornerWidth_(cornerWidth), cornerHeight_(cornerHeight) {}
    void paint(int x, int y, int w, int h, GraphicsContext& g) override;

private:
    int cornerWidth_;
    int cornerHeight_;
};

// Where a picture sits in the box. Without a horizontal bit it is flush left,
// without a vertical bit flush top; the offsets move it from there.
enum ImagePlacement : unsigned {
    kPlaceHCenter = 0x1,  // left edge at the box's middle
    kPlaceVCenter = 0x2,  // top edge at the box's middle
    kPlaceCentred = 0x3,
    kPlaceRight = 0x8,    // left edge at the box's right edge
    kPlaceBottom = 0x20,  // top edge at the box's bottom edge
};

// How a style sheet asked for the picture to repeat; kept for the markup.
enum class ImageRepeat { None = 0, Tile = 1, Stretch = 2 };

// Fetches a picture by its path; nullptr when it cannot be had.
using ImageLoader = std::function<ImageRef(const CString& path)>;

// A picture at its own size, placed in the box and clipped to it. The
// picture is fetched at the first paint, and again when the screen turns or
// the path changes: the landscape screen uses the "320_240" variant of the
// path. Pictures belong to the loader (the image cache).
class ImageBackground : public Background {
public:
    ImageBackground(const CString& path, ImageRepeat kind);
    void paint(int x, int y, int w, int h, GraphicsContext& g) override;

    void setImage(Color colour, const CString& path, unsigned placement, int offsetX, int offsetY,
                  ImageRepeat kind);
    // Takes a new path (compared without regard to case) and refetches.
    void setImagePath(const CString& path);
    void setKind(ImageRepeat kind) { kind_ = kind; }
    ImageRepeat kind() const { return kind_; }
    const CString& path() const { return path_; }
    const CString& variantPath() const { return variantPath_; }
    // Replaces the image cache as the source of pictures (tests, previews).
    void setLoader(ImageLoader loader);

private:
    void deriveVariant();

    ImageRepeat kind_;
    CString path_;
    CString variantPath_;
    ImageRef image_;
    int orientation_ = 0;  // 1 portrait, -1 landscape, 0 nothing fetched yet
    unsigned placement_ = 0;
    bool centred_ = false;
    int offsetX_ = 0;
    int offsetY_ = 0;
    ImageLoader loader_;
};

}  // namespace zq
