// SplashScreen: what the client shows while it starts: the logo, the version,
// a status line that start-up changes and a bar of small progress blocks.
//
// It paints the whole screen itself (none of the Screen's own painting runs)
// and ignores the show and hide notifications apart from a hidden flag. The
// logo is drawn once, over the background colour, into a cached layer of the
// screen's size; every paint copies that layer and draws the texts and the
// bar over it. Layout numbers are for a design 294 px high and scale with the
// screen's height; the block width and gap do not scale.
//
// UI thread only: workers change the progress and the status through the UI
// thread (runOnUiAndWait), and each change repaints at once.
#pragma once

#include <memory>

#include "platform/cstring.h"
#include "platform/geometry.h"
#include "platform/image.h"
#include "platform/surface.h"
#include "ui/screen.h"
#include "ui/weak_ref.h"

namespace zq {

class SplashScreen : public Screen {
public:
    // Which logo start-up picked; kept, not used by the painting.
    enum class Orientation { Portrait = 1, Landscape = 2 };

    static constexpr Color kFrameColor = 0x000000;
    static constexpr Color kFrameFill = 0xFFFFFF;
    static constexpr Color kBlockColor = 0x231E97;

    struct Look {
        CString title;  // the product title, not drawn
        ImageRef logo;  // may be null
        CString version;
        Color versionColor = 0xFFFFFF;
        Color background = 0x807368;
        Color statusColor = 0xFFFFFF;
        Orientation orientation = Orientation::Portrait;
    };

    explicit SplashScreen(Look look);
    ~SplashScreen() override;

    // A percentage, clamped to 0..100; repaints at once.
    void setProgress(int percent);
    int progress() const { return progress_; }
    // Repaints at once.
    void setText(const CString& text);
    const CString& text() const { return status_; }
    void markFinished() { finished_ = true; }
    bool isFinished() const { return finished_; }
    bool isHidden() const { return hidden_; }
    Orientation orientation() const { return look_.orientation; }

    // Where the painting puts things on a screen of `screen` pixels, with
    // version text `textHeight` px high and `statusLines` lines of status.
    struct Geometry {
        int versionTop = 0;
        int frameLeft = 0;
        int frameTop = 0;
        int frameRight = 0;  // half-open
        int frameBottom = 0;
        int blocks = 0;  // blocks drawn, each inside the frame
    };
    static Geometry geometry(Size screen, int textHeight, int statusLines, int percent);

    void paint(GraphicsContext& g) override;
    void showNotify() override { hidden_ = false; }
    void hideNotify() override { hidden_ = true; }

private:
    void repaintSoon();
    void buildLayer(Size size);

    Look look_;
    CString status_;
    int progress_ = 0;
    bool hidden_ = false;
    bool finished_ = false;
    std::unique_ptr<Surface> layer_;
    bool repaintQueued_ = false;
    LifeToken life_;
};

}  // namespace zq
