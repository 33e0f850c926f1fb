#include "ui/command_item.h"

#include <algorithm>
#include <map>
#include <mutex>
#include <optional>
#include <utility>
#include <vector>

#include "platform/device_context.h"
#include "platform/window.h"
#include "ui/background.h"
#include "ui/client_context.h"
#include "ui/container.h"
#include "ui/default_styles.h"
#include "ui/font_cache.h"
#include "ui/graphics_context.h"
#include "ui/image_cache.h"
#include "ui/screen.h"
#include "ui/style.h"

namespace zq {

namespace {

// An open submenu beside its entry lies outside the clip of the menu that
// paints the entry: it is drawn with the whole surface as clip, and both
// clips are given back afterwards.
class WholeSurfaceClip {
public:
    explicit WholeSurfaceClip(GraphicsContext& g)
        : g_(g),
          x_(g.getClipX()),
          y_(g.getClipY()),
          w_(g.getClipWidth()),
          h_(g.getClipHeight()),
          dc_(g.getDC()) {
        if (dc_) {
            dcClip_ = dc_->clipRect();
            dc_->clearClip();
        }
        g_.setClip(-g.getTranslateX(), -g.getTranslateY(), g.getSurfaceWidth(),
                   g.getSurfaceHeight());
    }
    ~WholeSurfaceClip() {
        g_.setClip(x_, y_, w_, h_);
        if (dc_) dc_->setClipRect(dcClip_);
    }
    WholeSurfaceClip(const WholeSurfaceClip&) = delete;
    WholeSurfaceClip& operator=(const WholeSurfaceClip&) = delete;

private:
    GraphicsContext& g_;
    int x_, y_, w_, h_;
    DeviceContext* dc_;
    Rect dcClip_;
};

struct SharedLooks {
    bool built = false;
    uint32_t generation = 0;
    Style* entry = nullptr;
    Style* popup = nullptr;
    // Popup looks in a screen's menu colours, by (background, text); -1
    // stands for the default.
    std::map<std::pair<int64_t, int64_t>, Style*> coloured;
};

std::mutex gLooksMutex;
SharedLooks gLooks;

SharedLooks& looks() {
    if (!gLooks.built || gLooks.generation != trackedStylesGeneration()) {
        const StyleScope shared = StyleScope::shared();  // kept for the whole run
        gLooks.entry = createMenuCommandStyle();
        gLooks.popup = createPopupMenuStyle();
        gLooks.coloured.clear();
        gLooks.generation = trackedStylesGeneration();
        gLooks.built = true;
    }
    return gLooks;
}

void setSideIndentPaddings(Style* style) {
    if (!style) return;
    style->paddingLeft = sideIndent();
    style->paddingRight = sideIndent();
}

// Submenus lie beside their entries: at most this short of room on the
// right and the submenu goes to the entry's left instead of the edge.
constexpr int kSubmenuSlack = 10;
// The frame a submenu keeps around its entries (padding and line border).
constexpr int kSubmenuFrame = 4;
// A submenu scrolls by itself, never with the menu that holds its entry.
constexpr int kUnboundedScroll = 0x7FFF;

}  // namespace

Style* menuEntryStyle() {
    std::lock_guard<std::mutex> lock(gLooksMutex);
    return looks().entry;
}

Style* popupMenuStyle() {
    std::lock_guard<std::mutex> lock(gLooksMutex);
    return looks().popup;
}

namespace {

// A colour the style holds as a number under `id`.
std::optional<Color> styleColour(const Style& style, PropertyId id) {
    const PropertyValue* value = style.findProperty(id);
    if (!value) return std::nullopt;
    if (const int32_t* number = std::get_if<int32_t>(value)) return static_cast<Color>(*number);
    if (const auto* boxed = std::get_if<StyleIntValue>(value))
        return static_cast<Color>(boxed->value);
    return std::nullopt;
}

}  // namespace

Style* popupMenuStyle(const Style* screenStyle) {
    if (!screenStyle) return popupMenuStyle();
    const Background* back = screenStyle->getBackgroundProperty(prop::kSoftKeyMenuBackground);
    const std::optional<Color> text = styleColour(*screenStyle, prop::kMenuTextColor);
    if (!back && !text) return popupMenuStyle();
    const std::pair<int64_t, int64_t> key{back ? int64_t{back->colour()} : -1,
                                          text ? int64_t{*text} : -1};
    std::lock_guard<std::mutex> lock(gLooksMutex);
    SharedLooks& shared = looks();
    Style*& look = shared.coloured[key];
    if (!look) {
        const StyleScope kept = StyleScope::shared();
        look = createPopupMenuStyle();
        for (Style* s : {look, look->getStyleProperty(prop::kFocusedStyle)}) {
            if (back) s->setBackground(std::make_unique<ColorBackground>(back->colour()));
            if (text) setStyleProperty(s, prop::kMenuTextColor, static_cast<int32_t>(*text));
        }
    }
    return look;
}

CommandItem* asCommandItem(Item* item) { return dynamic_cast<CommandItem*>(item); }

CommandItem::CommandItem(CommandRef command, Item* parent, Style* style)
    : Item(CString(), 0, -1, style ? style : menuEntryStyle()), command_(std::move(command)) {
    parent_ = parent;
}

CommandItem::~CommandItem() = default;

CString CommandItem::getText() const { return command_ ? command_->getLabel() : CString(); }

// --- style and layout ---------------------------------------------------------------

void CommandItem::setStyle(Style* style) {
    Item::setStyle(style);
    if (!style) return;
    font_ = style->font;
    textColor_ = style->getColor();
    if (!submenu_) return;
    const CString arrowPath = style->getStringProperty(prop::kMenuArrowImage);
    if (ImageRef arrow = arrowPath.isEmpty() ? nullptr : loadCachedImage(arrowPath)) {
        arrowImage_ = std::move(arrow);
        arrowWidth_ = arrowImage_->width();
        arrowHeight_ = arrowImage_->height();
    }
}

void CommandItem::initContent(int /*firstLineWidth*/, int lineWidth) {
    const FontRef font = font_ ? font_ : createStyleFont();
    const int arrowRoom = submenu_ ? arrowWidth_ + paddingHorizontal_ : 0;
    const int textWidth = font->textWidth(getText().view());
    contentWidth_ = std::min(textWidth, std::max(lineWidth - arrowRoom, 0)) + arrowRoom;
    contentHeight_ = font->height();
    arrowTop_ = 0;
    if (!submenu_) return;
    if (arrowHeight_ > contentHeight_) {
        contentHeight_ = arrowHeight_;
    } else {
        arrowTop_ = (contentHeight_ - arrowHeight_) / 2;
    }
}

// --- painting -----------------------------------------------------------------------

void CommandItem::paintContent(int x, int y, int /*leftBorder*/, int /*rightBorder*/,
                               GraphicsContext& g) {
    DeviceContext* dc = g.getDC();
    if (!dc) return;
    // The entry may be wider than its text (menus make their entries equal).
    const int boxLeft = x - paddingLeft_ - borderWidth_;
    const int right =
        std::max(x + contentWidth_, boxLeft + backgroundWidth() - borderWidth_ - paddingRight_);
    const int arrowRoom = submenu_ ? arrowWidth_ + paddingHorizontal_ : 0;

    const FontRef previousFont = dc->selectFont(font_ ? font_ : createStyleFont());
    const BackgroundMode previousMode = dc->setBackgroundMode(BackgroundMode::Transparent);
    // A menu in a page's menu colours gives its resting entries their text
    // colour; the focused and pressed looks keep their own.
    Color colour = textColor_;
    if (!isFocused() && !isPressed() && parent_ && parent_->getStyle()) {
        if (std::optional<Color> menuText =
                styleColour(*parent_->getStyle(), prop::kMenuTextColor)) {
            colour = *menuText;
        }
    }
    const Color previousColor = dc->setTextColor(colour);
    Rect box{x, y, right - arrowRoom, y + contentHeight_};
    dc->drawText(getText().view(), box, kTextSingleLine | kTextVCenter);
    dc->setTextColor(previousColor);
    dc->setBackgroundMode(previousMode);
    dc->selectFont(previousFont);

    if (!submenu_) return;
    paintArrow(right, y + arrowTop_, g);
    if (!submenuOpen_) return;
    const int itemX = x - contentX_;
    const int itemY = y - contentY_;
    placeSubmenu(itemX, itemY);
    WholeSurfaceClip clip(g);
    const int sx = itemX + submenuOffset_.x;
    submenu_->paint(sx, itemY + submenuOffset_.y, sx, sx + submenu_->itemWidth(), g, true);
}

void CommandItem::paintArrow(int right, int y, GraphicsContext& g) {
    DeviceContext& dc = *g.getDC();
    const int left = right - arrowWidth_;
    if (arrowImage_) {
        dc.drawImage(*arrowImage_, left, y);
        return;
    }
    // A right-pointing triangle of one-pixel columns, shorter to the tip.
    const int columns = arrowWidth_ / 2;
    for (int i = 0; i < columns; ++i) {
        const int top = y + i;
        const int bottom = y + arrowHeight_ - i;
        if (bottom <= top) break;
        dc.fillRect(Rect{left + i, top, left + i + 1, bottom}, textColor_);
    }
}

void CommandItem::layoutOpenSubmenus() {
    if (!submenu_ || !submenuOpen_) return;
    auto* screen = dynamic_cast<Screen*>(getScreen());
    const int screenWidth = screen ? screen->screenWidth() : screenMetrics().screenWidth;
    const int contentWidth = screen ? screen->contentRect().width() : screenWidth;

    // Measured at a third of the content width, the entries made equal.
    const int lineWidth = std::max(contentWidth / 3, 1);
    for (const auto& entry : submenu_->children()) {
        entry->setMinWidth(0);
        entry->init(lineWidth, lineWidth);
    }
    submenu_->init(lineWidth, lineWidth);
    const int inner = std::max(submenu_->itemWidth() - kSubmenuFrame, 0);
    for (const auto& entry : submenu_->children()) {
        entry->setMinWidth(inner);
        entry->init(inner, inner);
        if (CommandItem* nested = asCommandItem(entry.get())) nested->layoutOpenSubmenus();
    }
    submenu_->init(lineWidth, lineWidth);
}

void CommandItem::placeSubmenu(int itemX, int itemY) {
    auto* screen = dynamic_cast<Screen*>(getScreen());
    const int screenWidth = screen ? screen->screenWidth() : screenMetrics().screenWidth;
    const int bottom = screen ? screen->softKeyBarTop() : screenMetrics().longSide;

    // Beside the entry: right, else left near the edge, else at the edge.
    const int width = submenu_->itemWidth();
    const int height = submenu_->itemHeight();
    int x = itemX + itemWidth_;
    if (x + width > screenWidth) {
        const int shortBy = x + width - screenWidth;
        x = shortBy <= kSubmenuSlack ? std::max(itemX - width, 0) : screenWidth - width;
    }
    int y = itemY;
    if (y + height > bottom) y = std::max(bottom - height, 0);
    submenu_->setScrollHeight(std::min(height, std::max(bottom - y, 1)));
    submenuOffset_ = Point{x - itemX, y - itemY};
}

// --- the submenu --------------------------------------------------------------------

CommandItem* CommandItem::addSubCommand(CommandRef command, Style* style) {
    if (!command) return nullptr;
    if (!submenu_) {
        Style* look = parent_ && parent_->getStyle() ? parent_->getStyle() : popupMenuStyle();
        submenu_ = std::make_unique<Container>(true, look);
        submenu_->setAllowCycle(true);
        submenu_->setParent(this);
        submenu_->setScrollHeight(kUnboundedScroll);
        // The arrow now shows: take the style's arrow picture.
        if (styleApplied_ && style_) setStyle(style_);
        requestInit();
    }
    const int priority = command->getPriority();
    int index = submenu_->size();
    for (int i = 0; i < submenu_->size(); ++i) {
        CommandItem* entry = asCommandItem(submenu_->getItem(i));
        if (entry && entry->getCommand() && entry->getCommand()->getPriority() > priority) {
            index = i;
            break;
        }
    }
    auto entry = std::make_unique<CommandItem>(std::move(command), submenu_.get(), style);
    return static_cast<CommandItem*>(submenu_->insert(index, std::move(entry)));
}

CommandItem* CommandItem::findCommandItem(const Command* command) const {
    // Depth first, without recursion: pages may nest menus deeply.
    std::vector<const CommandItem*> pending{this};
    while (!pending.empty()) {
        const CommandItem* holder = pending.back();
        pending.pop_back();
        if (!holder->submenu_) continue;
        const auto& entries = holder->submenu_->children();
        for (auto it = entries.rbegin(); it != entries.rend(); ++it) {
            auto* entry = dynamic_cast<CommandItem*>(it->get());
            if (!entry) continue;
            if (entry->getCommand() == command) return entry;
            if (entry->submenu_) pending.push_back(entry);
        }
    }
    return nullptr;
}

void CommandItem::setSubmenuOpen(bool open) {
    if (!submenu_) {
        submenuOpen_ = false;
        return;
    }
    if (open) {
        submenu_->showNotify();
        if (!submenu_->isInitialised()) {
            const int width = std::max(screenMetrics().screenWidth / 3, 1);
            submenu_->init(width, width);
        }
        submenu_->focus(getFocusedStyle(), kGameNone);
    } else {
        submenu_->defocus(submenu_->getStyle());
        submenu_->focusIndex(0);
        submenu_->setScrollYOffset(0, false);
    }
    submenuOpen_ = open;
}

CommandItem* CommandItem::numberedEntry(int keyCode) const {
    if (!submenu_ || keyCode < '1' || keyCode > '9') return nullptr;
    return asCommandItem(submenu_->getItem(keyCode - '1'));
}

// --- input --------------------------------------------------------------------------

bool CommandItem::keyPressed(int keyCode, int gameAction) {
    const bool fire = gameAction == kGameFire && keyCode != kKeyDigitFive;
    if (submenuOpen_) {
        if (submenu_->keyPressed(keyCode, gameAction)) return true;
        if (CommandItem* entry = numberedEntry(keyCode)) {
            submenu_->focusIndex(keyCode - '1');
            entry->keyPressed(kKeyEnter, kGameFire);
            return true;
        }
        if (gameAction == kGameLeft && keyCode != '4') {
            setSubmenuOpen(false);
            selectPressed();
            return true;
        }
        return false;
    }
    if (submenu_) {
        if (fire || (gameAction == kGameRight && keyCode != '6')) {
            setSubmenuOpen(true);
            selectPressed();
            return true;
        }
    } else if (fire) {
        selectPressed();
        return true;
    }
    return Item::keyPressed(keyCode, gameAction);
}

bool CommandItem::keyReleased(int keyCode, int gameAction) {
    const bool fire = gameAction == kGameFire && keyCode != kKeyDigitFive;
    if (submenuOpen_) {
        if (submenu_->keyReleased(keyCode, gameAction)) return true;
        if (gameAction == kGameLeft) {
            selectReleased();
            return true;
        }
        if (CommandItem* entry = numberedEntry(keyCode)) {
            if (entry->isInteractive()) entry->keyReleased(kKeyEnter, kGameFire);
            return true;
        }
        return false;
    }
    if (pressed_) {
        if (submenu_ && (fire || gameAction == kGameRight || gameAction == kGameLeft)) {
            selectReleased();
            return true;
        }
        if (!submenu_ && fire) {
            selectReleased();
            // The command may take this entry away: nothing of it is used
            // after firing.
            const CommandRef keep = command_;
            if (ItemScreen* screen = getScreen()) screen->fireCommand(keep.get());
            return true;
        }
    }
    return Item::keyReleased(keyCode, gameAction);
}

bool CommandItem::selectPressed() {
    if (pressed_) return false;
    pressed_ = true;
    auto* screen = dynamic_cast<Screen*>(getScreen());
    if (!screen || !screen->getPopupMenu() || !getPressedStyle()) return false;
    if (getPressedStyle()->getColor() == popupMenuStyle()->getColor()) return false;
    if (!popupLook_) {
        popupLook_ = createPopupMenuStyle();
        setSideIndentPaddings(popupLook_);
        setSideIndentPaddings(popupLook_->getStyleProperty(prop::kFocusedStyle));
    }
    setSavedStyle(popupLook_);
    setStyle(getPressedStyle());
    return false;
}

bool CommandItem::pointerPressed(int x, int y) {
    if (!submenuOpen_) return Item::pointerPressed(x, y);
    if (submenu_->pointerPressed(x - submenuOffset_.x, y - submenuOffset_.y)) return true;
    setSubmenuOpen(false);
    return isInItemArea(x, y);
}

bool CommandItem::pointerReleased(int x, int y) {
    if (!submenuOpen_) return Item::pointerReleased(x, y);
    if (submenu_->pointerReleased(x - submenuOffset_.x, y - submenuOffset_.y)) return true;
    return isInItemArea(x, y);
}

void CommandItem::hideNotify() {
    if (submenu_) submenu_->hideNotify();
    setSubmenuOpen(false);
    Item::hideNotify();
}

}  // namespace zq
