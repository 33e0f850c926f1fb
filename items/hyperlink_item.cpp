#include "items/hyperlink_item.h"

#include <algorithm>
#include <memory>
#include <utility>

#include "platform/device_context.h"
#include "ui/default_styles.h"
#include "ui/displayable.h"
#include "ui/event.h"
#include "ui/font_cache.h"
#include "ui/graphics_context.h"
#include "ui/style.h"

namespace zq {
namespace {

// The command type of commands that act on the focused item.

}  // namespace

CommandRef sharedLinkCommand() {
    static StartupObject<CommandRef> shared([] {
        auto command = std::make_shared<Command>(CString(u"确定选择"), kCommandItem, 1);
        keepUntilShutdown(command);
        return command;
    });
    return shared.get();
}

HyperlinkItem::HyperlinkItem(const CString& text, const CString& href, Style* style)
    : HyperlinkItem(text, href, nullptr, style) {}

HyperlinkItem::HyperlinkItem(const CString& text, const CString& href, ImageRef image, Style* style)
    : Item(CString(), 0, kAppearanceControl, style),
      href_(href),
      text_(text),
      image_(std::move(image)) {
    if (image_) {
        boxWidth_ = image_->width();
        boxHeight_ = image_->height();
    }
    setStyle(style ? style : defaultItemStyle());
}

HyperlinkItem::~HyperlinkItem() = default;

void HyperlinkItem::setStyle(Style* style) {
    Item::setStyle(style);
    if (!style) return;
    textColor_ = style->getColor();
    font_ = style->font;
    if (style->hasProperty(prop::kLinkUnderline)) {
        underline_ = style->getProperty(prop::kLinkUnderline) != 0;
    }
    addCommand(sharedLinkCommand());
    // The page may have put its own listener in front already; it passes
    // the link's commands on to this one.
    if (!getItemCommandListener()) setItemCommandListener(this);
}

void HyperlinkItem::setImage(ImageRef image) {
    image_ = std::move(image);
    if (!image_) return;
    boxWidth_ = image_->width();
    boxHeight_ = image_->height();
    requestInit();
    // A fetched picture arrives after the page was shown: bring it on screen,
    // laid out once for all that arrive together.
    if (auto* canvas = dynamic_cast<Canvas*>(getScreen())) canvas->repaintLater();
}

int HyperlinkItem::textOffsetX() const { return boxWidth_ >= 0 ? boxWidth_ + 1 : 0; }

void HyperlinkItem::initContent(int firstLineWidth, int lineWidth) {
    // 1-2. Nothing to show.
    contentWidth_ = 0;
    contentHeight_ = 0;
    if (!text_.isEmpty() && !font_) font_ = createStyleFont();
    if (text_.isEmpty() && boxWidth_ < 0) {
        lines_.clear();
        return;
    }
    // 3. The picture; the text stands beside it on every line.
    const int offset = textOffsetX();
    if (boxWidth_ >= 0) {
        contentWidth_ = boxWidth_;
        contentHeight_ = boxHeight_;
    }
    if (text_.isEmpty()) {
        lines_.clear();
        return;
    }
    // 4. The wrapped lines.
    const Font& font = *font_;
    lines_ = wrapText(
        text_, [&font](char16_t c) { return font.charWidth(c); }, firstLineWidth - offset,
        lineWidth - offset, 0);
    const int lineCount = static_cast<int>(lines_.size());
    const int textHeight = (font.height() + paddingVertical_) * lineCount - paddingVertical_;
    contentHeight_ = std::max(contentHeight_, textHeight);
    // 5. The widest line.
    int widest = 0;
    for (const CString& line : lines_) widest = std::max(widest, font.textWidth(line.view()));
    contentWidth_ = std::max(contentWidth_, offset + widest);
}

void HyperlinkItem::paintContent(int x, int y, int /*leftBorder*/, int /*rightBorder*/,
                                 GraphicsContext& g) {
    DeviceContext* dc = g.getDC();
    if (!dc) return;
    if (image_) dc->drawImage(*image_, x, y);
    if (text_.isEmpty() || !font_) return;

    const Color previousColor = dc->setTextColor(textColor_);
    const FontRef previousFont = dc->selectFont(font_);
    const BackgroundMode previousMode = dc->setBackgroundMode(BackgroundMode::Transparent);
    {
        PenScope pen(*dc, Pen{PenStyle::Solid, 1, textColor_});
        const int lineHeight = font_->height();
        const int tx = x + textOffsetX();
        int ty = y;
        for (const CString& line : lines_) {
            const int w = font_->textWidth(line.view());
            Rect box{tx, ty, tx + w, ty + lineHeight};
            dc->drawText(line.view(), box, kTextVCenter | kTextWordBreak);
            if (underline_) dc->line(tx, ty + lineHeight, tx + w, ty + lineHeight);
            ty += lineHeight + paddingVertical_;
        }
    }
    dc->setBackgroundMode(previousMode);
    dc->selectFont(previousFont);
    dc->setTextColor(previousColor);
}

void HyperlinkItem::raiseEvent() {
    if (EventListener* listener = getEventListener()) {
        listener->onEvent(std::make_unique<HyperEvent>(id_, href_, onclick_));
    }
}

bool HyperlinkItem::keyReleased(int keyCode, int gameAction) {
    // Only the release of a press the link saw fires it: a release whose
    // press answered a box, or was made on the page this one replaced,
    // would send the link's request without the user asking.
    if (gameAction == kGameFire && keyCode != kKeyDigitFive && isInteractive() && focused_ &&
        isPressed() && getEventListener()) {
        selectReleased();
        raiseEvent();
        return true;
    }
    return Item::keyReleased(keyCode, gameAction);
}

bool HyperlinkItem::raiseForCommand(const Command* command) {
    if (!command || command != sharedLinkCommand().get()) return false;
    raiseEvent();
    return true;
}

bool HyperlinkItem::handleCommand(Command* command) {
    return raiseForCommand(command) || Item::handleCommand(command);
}

// Other commands are not handed back to handleCommand: it would pass them
// to this listener again.
void HyperlinkItem::commandAction(Command* command, Item* item) {
    if (item == this) raiseForCommand(command);
}

}  // namespace zq
