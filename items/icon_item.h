// IconItem: a text with one picture left, right, above, below or behind it.
// Choice rows and menu entries derive from it.
//
// The picture is shared (ImageRef): a new one replaces the old and the old
// is released by whoever else holds it last. A style can name the picture
// by path (kIconImage, below the program folder); "%INDEX%" in the path
// becomes the index of the item's branch in the nearest container, so rows
// of a list can show numbered pictures. UI thread only.
#pragma once

#include "items/string_item.h"
#include "platform/image.h"

namespace zq {

enum class IconPosition : int {
    Behind = 3,  // centred at the top, the text over it from the top left
    Left = 4,
    Right = 8,
    Top = 16,
    Bottom = 32,
};

class IconItem : public StringItem {
public:
    IconItem(const CString& label, const CString& text, ImageRef image, Style* style);
    IconItem(const CString& text, ImageRef image, Style* style);
    ~IconItem() override;

    // Also reads the position (kIconPosition) and the picture path (kIconImage).
    void setStyle(Style* style) override;
    void setImage(ImageRef image) override;
    void initContent(int firstLineWidth, int lineWidth) override;
    void paintContent(int x, int y, int leftBorder, int rightBorder, GraphicsContext& g) override;

    const ImageRef& getImage() const { return image_; }
    IconPosition getPosition() const { return position_; }
    void setPosition(IconPosition position) { position_ = position; }
    // Off: only the picture is laid out and drawn.
    void setShowText(bool show) { showText_ = show; }
    bool getShowText() const { return showText_; }
    const CString& getImagePath() const { return imagePath_; }

    int imageX() const { return imageX_; }
    int imageY() const { return imageY_; }
    int imageWidth() const { return imageWidth_; }
    int imageHeight() const { return imageHeight_; }
    int textOffsetY() const { return textOffsetY_; }

private:
    void layoutBeside(int firstLineWidth, int lineWidth);
    void layoutStacked(int firstLineWidth, int lineWidth);
    // Where a shorter part sits beside a taller one, from the vertical
    // layout bits.
    int verticalOffset(int spare) const;
    // `path` with its first "%INDEX%" replaced by the position of this
    // item's branch in the nearest container.
    CString expandIndexToken(const CString& path);

    ImageRef image_;
    IconPosition position_ = IconPosition::Left;
    int imageHeight_ = 0;
    int imageWidth_ = 0;
    int textOffsetY_ = 0;
    bool showText_ = true;
    int imageX_ = 0;
    int imageY_ = 0;
    CString imagePath_;
};

}  // namespace zq
