// Screen: metrics, construction, style, size, layout, header and status line.
#include "ui/screen.h"

#include <algorithm>
#include <atomic>
#include <variant>

#include "platform/threading.h"
#include "ui/border.h"
#include "ui/client_context.h"
#include "ui/code_input_pad.h"
#include "ui/command.h"
#include "ui/command_item.h"
#include "ui/container.h"
#include "ui/display.h"
#include "ui/empty_container.h"
#include "ui/font_cache.h"
#include "ui/listeners.h"
#include "ui/scroll_bar.h"
#include "ui/soft_keyboard.h"
#include "ui/style.h"

namespace zq {

namespace {

std::atomic<int> gScreenSerial{0};

constexpr int kStatusLineHeight = 17;

// A colour or number the style gives as a plain integer; nothing otherwise.
bool readInteger(const Style& style, PropertyId id, int32_t& out) {
    const PropertyValue* value = style.findProperty(id);
    if (!value) return false;
    const int32_t* number = std::get_if<int32_t>(value);
    if (!number) return false;
    out = *number;
    return true;
}

}  // namespace

// --- metrics ---------------------------------------------------------------------

void Screen::initMetrics(Size screenSize) {
    ScreenMetrics m = screenMetrics();
    m.screenWidth = screenSize.width;
    m.shortSide = std::min(screenSize.width, screenSize.height);
    m.longSide = std::max(screenSize.width, screenSize.height);
    m.landscape = screenSize.width > screenSize.height;
    m.scale = static_cast<float>(m.shortSide) / 240.0f;
    m.baseFontSize = kBaseFontSize;
    m.statusLineHeight = kStatusLineHeight;
    m.defaultRowCount =
        static_cast<int>(static_cast<float>(m.longSide - 65) * (1.0f / 17.8f) - 1.0f);
    ClientContext::current().setMetrics(m);
}

int Screen::getGameAction(int keyCode) {
    switch (keyCode) {
        case 38:
            return kGameUp;
        case 40:
            return kGameDown;
        case 39:
            return kGameRight;
        case 37:
            return kGameLeft;
        case 13:
            return kGameFire;
        default:
            return kGameNone;
    }
}

// --- construction ----------------------------------------------------------------

Screen::Screen(const CString& title, bool withContent) : content_(*this, withContent) {
    init(title, nullptr);
}

Screen::Screen(const CString& title, Style* style, bool withContent)
    : content_(*this, withContent) {
    init(title, style);
}

void Screen::init(const CString& title, Style* style) {
    setTitle(title);
    serial_ = gScreenSerial.fetch_add(1) + 1;
    softKeyBarHeight_ = screenMetrics().baseFontSize + kSoftKeyBarExtra;
    style_ = style;
}

Screen::~Screen() {
    endLife();
    // No round may reach an item that is about to go.
    ticker_.stopAndFree();
    // The shell's records of this screen go with it.
    ClientContext& context = ClientContext::current();
    context.forgetRecordedScreen(this);
    if (context.stateChangeScreen() == this) context.setStateChangeScreen(nullptr);
}

// --- style -----------------------------------------------------------------------

void Screen::setStyle(Style* style) {
    style_ = style;
    if (!style) {
        painter_.setFrameLook(nullptr, nullptr);
        marginLeft_ = marginRight_ = marginTop_ = marginBottom_ = 0;
        content_.clearAlignment();
        return;
    }
    painter_.setFrameLook(style->background(), style->border());
    marginLeft_ = style->marginLeft;
    marginRight_ = style->marginRight;
    marginTop_ = style->marginTop;
    marginBottom_ = style->marginBottom;
    // The screen paints background and border itself.
    if (getContent()) getContent()->applyStyle(style, true);

    content_.setAlignment(style->flags);
    readStyleValues(*style);
}

void Screen::readStyleValues(const Style& style) {
    int32_t number = 0;
    const Color switchColor = readInteger(style, prop::kSoftKeySwitchColor, number)
                                  ? static_cast<Color>(number)
                                  : SoftKeyBar::kDefaultSwitchColor;
    FontRef softKeyFont = style.getFontProperty(prop::kSoftKeyFont);
    if (!softKeyFont) softKeyFont = createStyleFont();
    softKeys_.setLook(switchColor, std::move(softKeyFont));
    // The list-marker id doubles as the screen's spacing when it is a number.
    if (readInteger(style, prop::kListMarkerImage, number)) spacing_ = number;
    if (readInteger(style, prop::kTipBoxColor, number)) {
        painter_.setTipColor(static_cast<Color>(number));
    }
}

// --- size and layout ---------------------------------------------------------------

void Screen::setSize(int width, int height) {
    if (getWidth() == width && getHeight() == height) return;
    const Rect bounds = getBounds();
    setBounds(Rect::fromSize(bounds.left, bounds.top, width, height));
    if (getContent()) getContent()->requestFullInit();
    content_.scrollBar().requestInit();
    if (headerItem_) headerItem_->requestFullInit();
    stopTicker();
    applySize(width, height);
}

void Screen::applySize(int width, int height) {
    // A failure flagged before this layout is answered by it.
    layoutFailed_ = false;
    layoutValid_ = false;
    if (width <= 0 || height <= 0) return;
    width_ = width;
    fullHeight_ = height;
    usableHeight_ = height;
    displayAreaHeight_ = height;
    if (style_) setStyle(style_);
    updateSoftKeyLabels();
    setSoftKeyBarVisible(true);
    if (InlineContainer* row = softKeys_.commandRow()) row->requestFullInit();
    softKeys_.invalidateMenuLayout();
    if (softKeyboard_ && softKeyboard_->isVisible()) usableHeight_ -= softKeyboard_->getHeight();
    if (getContent()) getContent()->setScreen(this);
    layout(0, 0, width_, usableHeight_);
    layoutValid_ = !layoutFailed_;
    placeMarquee();
}

void Screen::setSoftKeyBarVisible(bool shown) {
    softKeyBarShown_ = shown;
    usableHeight_ = shown ? fullHeight_ - softKeyBarHeight_ : fullHeight_;
}

void Screen::layout(int x, int y, int w, int h) {
    if (w < 1 || h < 1) return;
    // The menu sits on the bar and never above the content: it follows.
    softKeys_.invalidateMenuLayout();
    // The header item over the inner width.
    const int border = borderWidth();
    const int innerWidth = width_ - marginLeft_ - marginRight_ - 2 * border;
    headerHeight_ = 0;
    if (headerItem_) {
        headerItem_->setRelativePosition(marginLeft_ + border, marginTop_ + border);
        headerHeight_ = headerItem_->getItemHeight(innerWidth, innerWidth);
    }
    // The content's viewport.
    const int contentWidth = std::max(w - marginLeft_ - marginRight_ - 2 * border, 0);
    const int contentHeight = std::max(
        h - marginTop_ - marginBottom_ - 2 * border - headerHeight_ - getStatusLineHeight(), 0);
    content_.setViewport(Rect::fromSize(x + marginLeft_ + border,
                                        y + marginTop_ + border + headerHeight_, contentWidth,
                                        contentHeight));
    // The content, measured again without the scroll bar's room when the
    // full width left it taller than the viewport.
    if (getContent() && !content_.measure()) {
        getContent()->requestFullInit();
        layout(x, y, w, h);
        return;
    }
    // A layout answers every relayout request made before it.
    relayoutNeeded_ = false;
}

void Screen::invalidateLayout() {
    if (headerItem_) headerItem_->requestFullInit();
    if (getContent()) getContent()->requestFullInit();
    layoutValid_ = false;
}

void Screen::setRelayoutNeeded() {
    // A menu entry that changed size asks here too.
    softKeys_.invalidateMenuLayout();
    if (getContent() || headerItem_) relayoutNeeded_ = true;
}

// --- header and status line ---------------------------------------------------------

void Screen::setHeaderText(const CString& text) {
    headerText_ = text;
    if (layoutValid_ && isShown()) layout(0, 0, width_, usableHeight_);
}

void Screen::setHeaderItem(Item* item) {
    headerItem_ = item;
    if (!item) headerHeight_ = 0;
    if (item) item->setScreen(this);
    if (layoutValid_) layout(0, 0, width_, usableHeight_);
}

void Screen::setMarquee(std::unique_ptr<Item> marquee) {
    const bool shown = isShown();
    const bool hadLine = getStatusLineHeight() != 0;
    if (marquee_ && shown) marquee_->hideNotify();
    // The one owned before goes now; one shown but owned elsewhere stays there.
    ownedMarquee_ = std::move(marquee);
    marquee_ = ownedMarquee_.get();
    if (marquee_) {
        marquee_->setScreen(this);
        if (shown) marquee_->showNotify();
    }
    placeMarquee();
    if (hadLine != (getStatusLineHeight() != 0)) relayoutNeeded_ = true;
}

void Screen::setShownMarquee(Item* marquee) {
    const bool hadLine = getStatusLineHeight() != 0;
    marquee_ = marquee;
    if (marquee_) marquee_->setScreen(this);
    placeMarquee();
    if (hadLine != (getStatusLineHeight() != 0)) relayoutNeeded_ = true;
}

void Screen::placeMarquee() {
    if (!marquee_ || width_ <= 0) return;
    const int height = screenMetrics().statusLineHeight;
    const int width = std::max(width_ - reservedTotal_, 0);
    marqueeRect_ = Rect::fromSize(0, fullHeight_ - softKeyBarHeight_ - height, width, height);
    marquee_->setRelativePosition(marqueeRect_.left, marqueeRect_.top);
    marquee_->init(width, width);
}

int Screen::getStatusLineHeight() const {
    return marquee_ || reservedTotal_ != 0 ? screenMetrics().statusLineHeight : 0;
}

Rect Screen::reserveStatusLineSpace(int width, Item* owner) {
    const bool reservedBefore = reservedTotal_ != 0;
    auto entry = std::find_if(statusReservations_.begin(), statusReservations_.end(),
                              [owner](const auto& e) { return e.owner == owner; });
    if (entry != statusReservations_.end()) {
        entry->width = width;
        entry->alive = owner ? owner->weakRef() : ItemRef();
    } else {
        statusReservations_.push_back({owner, owner ? owner->weakRef() : ItemRef(), width});
    }
    // Owners stand side by side from the right edge, in the order they came.
    int right = width_;
    reservedTotal_ = 0;
    for (const StatusReservation& r : statusReservations_) {
        if (r.owner == owner) right = width_ - reservedTotal_;
        reservedTotal_ += r.width;
    }
    if (reservedBefore != (reservedTotal_ != 0)) relayoutNeeded_ = true;
    const int height = screenMetrics().statusLineHeight;
    const int top = fullHeight_ - softKeyBarHeight_ - height;
    return Rect{right - width, top, right, top + height};
}

Item* Screen::statusLineOwnerAt(int x, int y) const {
    const int height = screenMetrics().statusLineHeight;
    const int top = fullHeight_ - softKeyBarHeight_ - height;
    if (reservedTotal_ == 0 || y < top || y >= top + height) return nullptr;
    int right = width_;
    for (const StatusReservation& r : statusReservations_) {
        if (r.width > 0 && x >= right - r.width && x < right) return r.alive.get();
        right -= r.width;
    }
    return nullptr;
}

// --- content --------------------------------------------------------------------------------

Item* Screen::getFocusedItem() const {
    return getContent() ? getContent()->getFocusedItem() : nullptr;
}

Item* Screen::getItemByName(const CString& name) const {
    return getContent() ? getContent()->getItemByName(name) : nullptr;
}

void Screen::animate(uint32_t /*now*/) {
    DirtyRect dirty;
    {
        std::lock_guard<RecursiveMutex> lock(contentLock());
        if (Container* content = getContent()) content->animateAll(dirty);
        if (marquee_) marquee_->animateAll(dirty);
    }
    // Only what moved is painted again.
    Display* display = getDisplay();
    if (!dirty.changed || !display) return;
    display->repaintArea(Rect{dirty.left, dirty.top, dirty.right, dirty.bottom});
}

// --- the control list and listeners ----------------------------------------------------

int Screen::indexOfControl(const Item* control) const {
    if (!control) return -1;
    auto lookUp = [this, control]() -> int {
        ++controlIndexSteps_;
        auto it = controlIndex_.find(control);
        if (it == controlIndex_.end()) return -1;
        const auto at = static_cast<size_t>(it->second);
        return at < controlList_.size() && controlList_[at] == control ? it->second : -2;
    };
    int index = controlList_.size() == controlIndexLength_ ? lookUp() : -2;
    if (index != -2) return index;
    // The list grew or changed: index it again; the first place of an item
    // listed twice counts.
    controlIndex_.clear();
    controlIndex_.reserve(controlList_.size());
    for (size_t i = 0; i < controlList_.size(); ++i) {
        controlIndex_.emplace(controlList_[i], static_cast<int>(i));
    }
    controlIndexLength_ = controlList_.size();
    controlIndexSteps_ += controlList_.size();
    index = lookUp();
    return index == -2 ? -1 : index;
}

void Screen::setTipText(const CString& text) {
    if (!tipText_.equalsNoCase(text)) tipText_ = text;
}

void Screen::itemStateChanged(Item* item) {
    if (itemStateListener_) itemStateListener_->itemStateChanged(item);
}

// --- ticker ------------------------------------------------------------------------------

void Screen::startTicker() { ticker_.start(); }

void Screen::stopTicker() { ticker_.stop(); }

}  // namespace zq
