#include "ui/soft_key_bar.h"

#include <algorithm>
#include <utility>

#include "platform/device_context.h"
#include "platform/threading.h"
#include "platform/window.h"
#include "ui/client_context.h"
#include "ui/command_item.h"
#include "ui/container.h"
#include "ui/empty_container.h"
#include "ui/font_cache.h"
#include "ui/graphics_context.h"
#include "ui/loading_state.h"
#include "ui/screen.h"
#include "ui/screen_paint_support.h"

namespace zq {

using screen_paint::cachedImage;
using screen_paint::TextScope;

namespace {

// Command types the soft keys know.

// The style switch value that leaves the bar unfilled.
constexpr Color kNoBarFill = static_cast<Color>(-1);
// Soft-key labels show at most this many characters.
constexpr int kLabelChars = 4;

// The first command of the smallest priority number wins.
void prefer(CommandRef& slot, const CommandRef& command) {
    if (!slot || slot->getPriority() > command->getPriority()) slot = command;
}

bool takesRightSoftKey(int type) {
    return type == kCommandBack || type == kCommandCancel || type == kCommandExit;
}

CString cutLabel(const CString& label) {
    return label.length() > kLabelChars ? label.left(kLabelChars) : label;
}

// Labels shown as pictures (after cutting to four characters).
bool isPictureLabel(const CString& label) {
    return label == CString(u"确定选择") || label == CString(u"菜单") || label == CString(u"返") ||
           label == CString(u"取消") || label == CString(u"退");
}

}  // namespace

SoftKeyBar::SoftKeyBar(Screen& screen) : screen_(screen), switchColor_(kDefaultSwitchColor) {}

SoftKeyBar::~SoftKeyBar() = default;

void SoftKeyBar::setLook(Color switchColor, FontRef font) {
    switchColor_ = switchColor;
    font_ = std::move(font);
}

void SoftKeyBar::dropPictures() {
    menuImage_.reset();
    selectImage_.reset();
    backImage_.reset();
    quitImage_.reset();
    removeImage_.reset();
}

// --- placing commands ------------------------------------------------------------------------

void SoftKeyBar::ensureMenu() {
    if (menu_) return;
    menu_ = std::make_unique<Container>(false, popupMenuStyle());
    menu_->setScreen(&screen_);
}

bool SoftKeyBar::showsCommand(const Command* command) const {
    return command == leftCommand_.get() || command == rightCommand_.get() ||
           std::any_of(commands_.begin(), commands_.end(),
                       [command](const CommandRef& c) { return c.get() == command; });
}

bool SoftKeyBar::insertCommand(CommandRef command, Style* entryStyle) {
    if (!command) return false;
    // Each kind keeps its preferred command, placed or not.
    const int type = command->getCommandType();
    if (type == kCommandOk) prefer(preferredOk_, command);
    if (type == kCommandCancel) prefer(preferredCancel_, command);
    if (type == kCommandBack || type == kCommandExit) prefer(preferredBack_, command);
    // The menu exists from the first command on; a command already placed
    // stays where it is.
    ensureMenu();
    if (showsCommand(command.get())) return false;
    Style* style = entryStyle ? entryStyle : menuEntryStyle();
    menuLayoutValid_ = false;

    // BACK, CANCEL and EXIT compete for the right soft key; the loser of a
    // contest goes into the menu.
    if (takesRightSoftKey(type) &&
        (!rightCommand_ || command->getPriority() < rightCommand_->getPriority())) {
        if (CommandRef loser = std::exchange(rightCommand_, nullptr)) {
            menu_->add(std::make_unique<CommandItem>(loser, menu_.get(), style));
            commands_.push_back(loser);
            leftCommand_ = commands_.size() == 1 ? loser : nullptr;
        }
        rightCommand_ = std::move(command);
        updateLabels();
        return true;
    }
    // A menu entry: by priority number, or as the one left command.
    auto entry = std::make_unique<CommandItem>(command, menu_.get(), style);
    if (commands_.empty() && command->getLabel().find(CString(u"确定选择")) >= 0) {
        menu_->add(std::move(entry));
        commands_.push_back(command);
        leftCommand_ = std::move(command);
    } else {
        leftCommand_.reset();
        const int priority = command->getPriority();
        auto after = std::find_if(commands_.begin(), commands_.end(), [priority](const auto& c) {
            return c->getPriority() > priority;
        });
        const int index = static_cast<int>(after - commands_.begin());
        commands_.insert(after, std::move(command));
        menu_->insert(index, std::move(entry));
    }
    updateLabels();
    return true;
}

void SoftKeyBar::addSubCommand(const CommandRef& command, const CommandRef& parent,
                               Style* entryStyle) {
    if (!menu_) return;
    menuLayoutValid_ = false;
    // The parent's entry, at the top or in a submenu; each command once.
    for (const auto& item : menu_->children()) {
        CommandItem* entry = asCommandItem(item.get());
        if (!entry) continue;
        CommandItem* holder =
            entry->getCommand() == parent.get() ? entry : entry->findCommandItem(parent.get());
        if (!holder) continue;
        if (!holder->findCommandItem(command.get())) holder->addSubCommand(command, entryStyle);
        return;
    }
}

// --- removing commands -----------------------------------------------------------------------

void SoftKeyBar::dropCommand(const Command* command) {
    if (!command) return;
    menuLayoutValid_ = false;
    if (preferredOk_.get() == command) preferredOk_.reset();
    if (rightCommand_.get() == command) {
        // The last BACK or CANCEL command left takes the right soft key.
        rightCommand_.reset();
        for (auto it = commands_.rbegin(); it != commands_.rend(); ++it) {
            const int type = (*it)->getCommandType();
            if (type == kCommandBack || type == kCommandCancel) {
                CommandRef next = *it;
                dropCommand(next.get());
                rightCommand_ = std::move(next);
                break;
            }
        }
        return;
    }
    auto found = std::find_if(commands_.begin(), commands_.end(),
                              [command](const CommandRef& c) { return c.get() == command; });
    if (found == commands_.end()) return;
    const int index = static_cast<int>(found - commands_.begin());
    // The entry may be the one whose command is running: keep it alive.
    const CommandRef keep = *found;
    commands_.erase(found);
    if (menu_) menu_->remove(index);
    if (leftCommand_.get() == command) leftCommand_.reset();
    if (menuOpen_ && commands_.empty()) setMenuOpen(false);
}

bool SoftKeyBar::putSoleCommandOnLeftKey() {
    if (leftCommand_ || commands_.size() != 1) return false;
    leftCommand_ = commands_.front();
    updateLabels();
    return true;
}

void SoftKeyBar::setItemCommands(const std::vector<CommandRef>& commands) {
    // The earlier contribution leaves, except what the new one repeats.
    for (const CommandRef& old : itemCommands_) {
        if (std::find(commands.begin(), commands.end(), old) == commands.end()) {
            dropCommand(old.get());
        }
    }
    std::vector<CommandRef> earlier = std::move(itemCommands_);
    itemCommands_.clear();
    for (const CommandRef& command : commands) {
        if (!command) continue;
        // Commands the screen had of its own stay the screen's.
        const bool mine = std::find(earlier.begin(), earlier.end(), command) != earlier.end();
        if (showsCommand(command.get()) && !mine) continue;
        insertCommand(command, nullptr);
        itemCommands_.push_back(command);
    }
    updateLabels();
}

void SoftKeyBar::removeItemCommands() {
    const std::vector<CommandRef> contributed = std::move(itemCommands_);
    itemCommands_.clear();
    for (const CommandRef& command : contributed) dropCommand(command.get());
    if (menu_) {
        menuLayoutValid_ = false;
        for (const auto& item : menu_->children()) {
            if (CommandItem* entry = asCommandItem(item.get())) entry->setSubmenuOpen(false);
            item->selectReleased();
        }
    }
    updateLabels();
}

// --- labels and the menu ------------------------------------------------------------------------

void SoftKeyBar::updateLabels() {
    leftLabel_.clear();
    rightLabel_.clear();
    if (menu_ && menu_->size() > 0) {
        leftLabel_ = !menuOpen_ && leftCommand_ ? leftCommand_->getLabel() : CString(u"菜单");
    }
    if (menuOpen_) {
        rightLabel_ = CString(u"取消");
    } else if (rightCommand_) {
        rightLabel_ = rightCommand_->getLabel();
    }
}

void SoftKeyBar::setMenuOpen(bool open) {
    if (open && (!menu_ || menu_->size() == 0)) open = false;
    if (open != menuOpen_ && menu_) {
        if (open) {
            menu_->showNotify();
            menu_->setScrollYOffset(0, false);
            menu_->focusIndex(0);
        } else {
            menu_->hideNotify();
        }
    }
    menuOpen_ = open;
    menuLayoutValid_ = false;
    screen_.onRetry(Screen::kBusyMenuOpen, open);
    updateLabels();
}

void SoftKeyBar::layoutMenu() {
    if (!menuOpen_ || !menu_) return;
    Container& menu = *menu_;
    // The page's menu colours, when its style names them.
    Style* look = popupMenuStyle(screen_.getStyle());
    if (menuLayoutValid_ && menu.isInitialised() && menu.getStyle() == look) return;
    if (menu.getStyle() != look) menu.setStyle(look);
    // Every entry as wide as the widest.
    const int width = screen_.screenWidth();
    for (const auto& entry : menu.children()) {
        entry->setMinWidth(0);
        entry->init(width, width);
    }
    menu.init(width, width);
    const int inner = menu.contentWidth();
    for (const auto& entry : menu.children()) {
        entry->setMinWidth(inner);
        entry->init(inner, inner);
    }
    menu.init(width, width);
    for (const auto& entry : menu.children()) {
        if (CommandItem* item = asCommandItem(entry.get())) item->layoutOpenSubmenus();
    }
    // On the soft-key bar, never above the content area; what does not fit
    // scrolls.
    const int barTop = screen_.softKeyBarTop();
    const int top =
        std::min(std::max(barTop - menu.itemHeight(), screen_.contentRect().top), barTop);
    menu.setScrollHeight(std::max(barTop - top, 1));
    menu.setRelativePosition(0, top);
    menuLayoutValid_ = true;
}

void SoftKeyBar::setCommandItems(std::vector<std::unique_ptr<CommandItem>> items) {
    // The row in use may be the one handling the event that replaces it.
    retiredRow_ = std::move(commandRow_);
    if (items.empty()) return;
    commandRow_ = std::make_unique<InlineContainer>();
    commandRow_->setScreen(&screen_);
    for (auto& item : items) {
        if (item) commandRow_->add(std::move(item));
    }
}

void SoftKeyBar::layoutRow(int width) {
    if (commandRow_) commandRow_->getItemWidth(width, width);
}

// --- input ---------------------------------------------------------------------------------------

void SoftKeyBar::fire(const CommandRef& command) {
    // The command may take itself off the bar: hold it while it runs.
    const CommandRef keep = command;
    screen_.fireCommand(keep.get());
}

bool SoftKeyBar::releaseLeftKey() {
    if (leftCommand_) {
        fire(leftCommand_);
        screen_.repaint();
        return true;
    }
    if (!menuOpen_) {
        if (!menu_ || menu_->size() == 0) return false;
        setMenuOpen(true);
        screen_.repaint();
        return true;
    }
    // The open menu: the soft key chooses its focused entry.
    menu_->keyPressed(kKeySoftLeft, kGameFire);
    menu_->keyReleased(kKeySoftLeft, kGameFire);
    CommandItem* entry = asCommandItem(menu_->getFocusedItem());
    if (!entry) return false;
    if (!entry->isSubmenuOpen()) setMenuOpen(false);
    screen_.repaint();
    return true;
}

void SoftKeyBar::press(int x) {
    if (x >= rightAreaStart_) {
        if (menuOpen_) {
            setMenuOpen(false);
        } else if (rightCommand_) {
            fire(rightCommand_);
        }
        return;
    }
    if (x > leftAreaWidth_) {
        if (menuOpen_) setMenuOpen(false);
        return;
    }
    if (menuOpen_) {
        // As the left soft key: the focused entry is chosen, not only pressed.
        if (!releaseLeftKey()) menu_->keyReleased(kKeySoftLeft, kGameFire);
    } else if (leftCommand_) {
        fire(leftCommand_);
    } else {
        setMenuOpen(true);
    }
}

void SoftKeyBar::pressRow(int x, int y) {
    InlineContainer& row = *commandRow_;
    if (row.pointerPressed(x - row.relativeX(), y - row.relativeY())) {
        screen_.repaintItem(row.getLastPaintX(), row.getLastPaintY(), row.getLastPaintLeft(),
                            row.getLastPaintRight(), &row);
    }
}

void SoftKeyBar::releaseRow(int x, int y) {
    InlineContainer& row = *commandRow_;
    const auto& entries = row.getItems();
    const bool wasPressed =
        row.isPressed() || std::any_of(entries.begin(), entries.end(),
                                       [](const auto& entry) { return entry->isPressed(); });
    row.pointerReleased(x - row.relativeX(), y - row.relativeY());
    // A command that replaced the row left this one alive until the next.
    if (!wasPressed) return;
    for (const auto& entry : row.getItems()) entry->selectReleased();
    screen_.repaint();
}

// --- painting ------------------------------------------------------------------------------------

void SoftKeyBar::paint(GraphicsContext& g) {
    DeviceContext* dc = g.getDC();
    if (!dc) return;
    RecursiveLock lock(screen_.softKeyLock());
    const int top = screen_.softKeyBarTop();
    const int width = screen_.screenWidth();
    const int height = screen_.softKeyBarHeight();
    if (fillsBar()) dc->fillRect(Rect::fromSize(0, top, width, height), colorSettings().menuBack);
    paintLeftLabel(g);
    paintRightLabel(g);
    if (commandRow_ && rightAreaStart_ > leftAreaWidth_) {
        const int x = leftAreaWidth_;
        commandRow_->setRelativePosition(x, top);
        ClipScope clip(g, x, top, rightAreaStart_ - x, height);
        commandRow_->paint(x, top, x, rightAreaStart_, g, true);
    }
}

void SoftKeyBar::paintMenu(GraphicsContext& g) {
    if (!menuOpen_ || !menu_) return;
    Container& menu = *menu_;
    const int top = menu.relativeY();
    ClipScope clip(g, 0, top, screen_.screenWidth(), screen_.fullHeight() - top);
    menu.paint(0, top, 0, menu.itemWidth(), g, true);
}

ImageRef SoftKeyBar::labelPicture(const CString& label) {
    if (label == CString(u"确定选择")) return cachedImage(selectImage_, u"images\\select.png");
    if (label == CString(u"菜单")) return cachedImage(menuImage_, u"images\\menu.png");
    if (label == CString(u"返") || label == CString(u"取消")) {
        return cachedImage(backImage_, u"images\\back.png");
    }
    if (label == CString(u"退")) return cachedImage(quitImage_, u"images\\quit.png");
    return nullptr;
}

void SoftKeyBar::paintLeftLabel(GraphicsContext& g) {
    DeviceContext& dc = *g.getDC();
    if (leftLabel_.isEmpty()) {
        leftAreaWidth_ = 0;
        return;
    }
    const int bottom = screen_.fullHeight();
    const CString label = cutLabel(leftLabel_);
    if (isPictureLabel(label)) {
        // A missing picture draws nothing and keeps the area as it was.
        if (ImageRef image = labelPicture(label)) {
            dc.drawImage(*image, 4, bottom - image->height());
            leftAreaWidth_ = image->width() + 4;
        }
        return;
    }
    const FontRef font = font_ ? font_ : createStyleFont();
    const int textWidth = font->textWidth(label.view());
    TextScope text(dc, font, colorSettings().menuText);
    Rect box{0, bottom - font->height() - 4, textWidth, bottom - 4};
    dc.drawText(label.view(), box, kTextSingleLine | kTextVCenter);
    leftAreaWidth_ = textWidth + 2;
}

void SoftKeyBar::paintRightLabel(GraphicsContext& g) {
    DeviceContext& dc = *g.getDC();
    const int width = screen_.screenWidth();
    if (rightLabel_.isEmpty()) {
        rightAreaStart_ = width;
        return;
    }
    const int bottom = screen_.fullHeight();
    const CString label = cutLabel(rightLabel_);
    if (isPictureLabel(label)) {
        if (ImageRef image = labelPicture(label)) {
            const int x = width - image->width() - 4;
            dc.drawImage(*image, x, bottom - image->height());
            rightAreaStart_ = x;
        }
        return;
    }
    const FontRef font = font_ ? font_ : createStyleFont();
    const int textWidth = font->textWidth(label.view());
    TextScope text(dc, font, colorSettings().menuText);
    Rect box{width - textWidth, bottom - font->height() - 4, width, bottom - 4};
    dc.drawText(label.view(), box, kTextSingleLine | kTextVCenter);
    rightAreaStart_ = width - textWidth;
}

bool SoftKeyBar::fillsBar() const { return switchColor_ != kNoBarFill; }

void SoftKeyBar::paintLoadingBar(GraphicsContext& g, const LoadingState& loading) {
    RecursiveLock lock(screen_.softKeyLock());
    DeviceContext* dc = g.getDC();
    const int width = screen_.screenWidth();
    if (!loading.isLoading() || !dc || width <= 0) return;
    const int top = screen_.softKeyBarTop();
    const int bottom = screen_.fullHeight();
    const int barHeight = Screen::kProgressBarHeight;
    {
        ClipScope clip(g, 0, top, width, barHeight);
        const int filled = loading.progress() * width / 100;
        dc->fillRect(Rect{0, top, filled, top + barHeight}, colorSettings().progressBar);
    }
    if (!loading.isCancelAllowed()) return;
    ImageRef mark = cachedImage(removeImage_, u"images\\remove.png");
    if (!mark) return;
    const int x = width - mark->width();
    const int left = std::clamp(std::min(rightAreaStart_, x), 0, width);
    dc->fillRect(Rect{left, top + barHeight, width, bottom}, colorSettings().menuBack);
    dc->drawImage(*mark, x, bottom - mark->height());
    // The mark takes the right soft key's place until the load ends.
    rightAreaStart_ = x - 2;
}

}  // namespace zq
