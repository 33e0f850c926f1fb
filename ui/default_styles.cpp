#include "ui/default_styles.h"

#include <memory>
#include <mutex>
#include <utility>

#include "ui/background.h"
#include "ui/border.h"
#include "ui/font_cache.h"
#include "ui/item.h"

namespace zq {
namespace {

constexpr Color kWhite = 0xFFFFFF;
constexpr Color kNavy = 0x231009;
constexpr Color kFocusGrey = 0x707070;
constexpr Color kComboText = 0xFFD796;

// Command types of the shared commands, as the soft keys place them.

// The layout words the defaults use (ui/item.h). Most rows fill the line
// with their text at the left.
constexpr uint32_t kExpandLeft = kLayoutExpand | kLayoutLeft;
constexpr uint32_t kExpandTopLeft = kLayoutExpand | kLayoutTop | kLayoutLeft;
constexpr uint32_t kExpandCentred = kLayoutExpand | kLayoutCenter | kLayoutVCenter;
constexpr uint32_t kLeftVCentred = kLayoutLeft | kLayoutVCenter;
constexpr uint32_t kTopLeft = kLayoutLeft | kLayoutTop;

// A new tracked style with its flags, text colour and font; margins and
// spacings 0.
Style* newStyle(uint32_t flags, Color color, FontRef font) {
    Style* s = allocTracked();
    s->flags = flags;
    s->color = color;
    s->font = std::move(font);
    return s;
}

// White text in the style font: the plainest rows of the tables.
Style* plainStyle(uint32_t flags, int left, int right, int top, int bottom, int vertical,
                  int horizontal) {
    Style* s = newStyle(flags, kWhite, createStyleFont());
    s->setSpacings(left, right, top, bottom, vertical, horizontal);
    return s;
}

// The tables' "colour + override": the colour also given as a StyleValue.
void overrideColor(Style* s) { s->colorValue = StyleValue(static_cast<int32_t>(s->color)); }

void setColorBackground(Style* s, Color colour) {
    s->setBackground(std::make_unique<ColorBackground>(colour));
}

void setLineBorder(Style* s, Color colour, int width) {
    s->setBorder(std::make_unique<LineBorder>(colour, width));
}

void setInt(Style* s, PropertyId id, int32_t value) { setStyleProperty(s, id, value); }
void setIntValue(Style* s, PropertyId id, int32_t value) {
    setStyleProperty(s, id, StyleIntValue(value));
}
void setText(Style* s, PropertyId id, const char* text) { setStyleProperty(s, id, CString(text)); }
void setNested(Style* s, PropertyId id, Style* nested) { setStyleProperty(s, id, nested); }

// --- start-up objects ---------------------------------------------------------

struct StartupObjects {
    bool built = false;
    uint32_t generation = 0;
    std::weak_ptr<Background> roundedBackground;
    std::weak_ptr<Command> okCommand;
    std::weak_ptr<Command> exitCommand;
    std::weak_ptr<Command> backCommand;
    Style* itemStyle = nullptr;
    Style* containerStyle = nullptr;
    Style* labelStyle = nullptr;
    Style* screenStyle = nullptr;
    Style* tabStyles[3] = {};
    Style* tabItemStyle = nullptr;
    Style* comboPanel = nullptr;
    Style* comboSearch = nullptr;
    Style* comboPlain = nullptr;
    Style* comboGreyText = nullptr;
};

std::mutex gStartupMutex;
StartupObjects gStartup;

template <class T>
std::shared_ptr<T> keep(std::shared_ptr<T> object) {
    keepUntilShutdown(object);
    return object;
}

Style* buildTabStyle(Color background, bool framed) {
    Style* s = newStyle(0, 0, createStyleFont());
    s->colorValue = StyleValue(0);
    s->setMargins(1, 1, 0, 0);
    s->setSpacings(4, 4, 3, 3, 4, 4);
    if (framed) {
        setLineBorder(s, 0, 1);
        setColorBackground(s, background);
    }
    return s;
}

void buildComboParts(StartupObjects& o) {
    o.comboPanel = newStyle(0, kWhite, createStyleFont());
    o.comboPanel->setMargins(10, 10, 10, 0);
    o.comboPanel->setSpacings(5, 5, 5, 5, 5, 5);
    // The list's rows are light text (white here, light in the page sheets):
    // a dark panel keeps them readable.
    o.comboPanel->setBackground(std::make_unique<ColorBackground>(StyleValue(kNavy)));
    setInt(o.comboPanel, prop::kScreenKeptFlag, 1);

    // Typed on a white field: dark text.
    o.comboSearch = newStyle(kExpandLeft, 0, createStyleFont());
    o.comboSearch->setMargins(2, 2, 0, 0);
    o.comboSearch->setSpacings(1, 1, 1, 1, 1, 1);
    o.comboSearch->setBackground(
        std::make_unique<RectangleBackground>(StyleValue(0xFFFFFF), StyleValue(0), 1));
    setText(o.comboSearch, prop::kSearchImage, "/search.png");

    o.comboPlain = plainStyle(kExpandLeft, 1, 1, 1, 1, 1, 1);

    o.comboGreyText = newStyle(kExpandLeft, 0x808080, createStyleFont());
    overrideColor(o.comboGreyText);
    o.comboGreyText->setSpacings(2, 2, 2, 2, 2, 2);
}

// Builds every start-up object, in the order the system makes them.
void buildStartup(StartupObjects& o) {
    o = StartupObjects{};
    o.roundedBackground =
        keep<Background>(std::make_shared<FilledRoundRectBackground>(0xC0C0C0, 10, 10));
    o.okCommand = keep(std::make_shared<Command>(CString(u"确定"), kCommandOk, 2));
    o.exitCommand = keep(std::make_shared<Command>(CString(u"退出"), kCommandCancel, 3));
    o.backCommand = keep(std::make_shared<Command>(CString(u"返"), kCommandBack, 1));

    o.itemStyle = newStyle(0, kWhite, createStyleFont());

    o.containerStyle = newStyle(kExpandLeft, 0x1E5556, createStyleFont());
    o.containerStyle->colorValue = StyleValue(0xFFFFFF);
    o.containerStyle->setSpacings(1, 1, 1, 1, 1, 5);
    setLineBorder(o.containerStyle, 0, 1);

    o.labelStyle = createLabelStyle();
    o.screenStyle = createScreenDefaultStyle();
    o.tabStyles[0] = buildTabStyle(kWhite, true);
    o.tabStyles[1] = buildTabStyle(0x00B3FF, true);
    o.tabStyles[2] = buildTabStyle(0, false);
    o.tabItemStyle = allocTracked();
    setNested(o.tabItemStyle, prop::kFocusedStyle, newStyle(0, 0, createStyleFont()));
    buildComboParts(o);

    o.generation = trackedStylesGeneration();
    o.built = true;
}

// The start-up objects, built on first use and again after
// freeTrackedStyles. The caller holds gStartupMutex.
StartupObjects& startup() {
    if (!gStartup.built || gStartup.generation != trackedStylesGeneration()) {
        // Shared for the whole run, whichever page happens to ask first.
        const StyleScope shared = StyleScope::shared();
        buildStartup(gStartup);
    }
    return gStartup;
}

template <class T>
T startupValue(T StartupObjects::*member) {
    std::lock_guard<std::mutex> lock(gStartupMutex);
    return startup().*member;
}

}  // namespace

void applyColorSettings(const ColorSettings& colors) {
    ClientContext::current().storeColors(colors);
    std::lock_guard<std::mutex> lock(gStartupMutex);
    if (!gStartup.built || gStartup.generation != trackedStylesGeneration()) return;
    Style* label = gStartup.labelStyle;
    label->color = colors.labelText;
    overrideColor(label);
}

Style* defaultItemStyle() { return startupValue(&StartupObjects::itemStyle); }
Style* defaultContainerStyle() { return startupValue(&StartupObjects::containerStyle); }
Style* defaultLabelStyle() { return startupValue(&StartupObjects::labelStyle); }
Style* screenDefaultStyle() { return startupValue(&StartupObjects::screenStyle); }
Style* tabItemStyle() { return startupValue(&StartupObjects::tabItemStyle); }

Style* sharedTabStyle(TabStyleRole role) {
    std::lock_guard<std::mutex> lock(gStartupMutex);
    return startup().tabStyles[static_cast<int>(role)];
}

std::shared_ptr<Background> sharedRoundedBackground() {
    return startupValue(&StartupObjects::roundedBackground).lock();
}
CommandRef sharedOkCommand() { return startupValue(&StartupObjects::okCommand).lock(); }
CommandRef sharedExitCommand() { return startupValue(&StartupObjects::exitCommand).lock(); }
CommandRef sharedBackCommand() { return startupValue(&StartupObjects::backCommand).lock(); }

// --- builders ---------------------------------------------------------------------

Style* createAlertStyle() {
    Style* s = newStyle(0, kWhite, createStyleFont());
    setColorBackground(s, kNavy);
    return s;
}

Style* createBatchDeleteFormStyle() {
    Style* s = plainStyle(0, 1, 1, 1, 0, 1, 0);
    setColorBackground(s, kNavy);
    return s;
}

Style* createChoiceGroupStyle() { return plainStyle(kExpandLeft, 1, 2, 2, 1, 2, 2); }

Style* createComboListStyle() { return plainStyle(kLayoutExpand, 1, 1, 1, 1, 0, 0); }

Style* createImageStyle() { return plainStyle(0, 2, 1, 2, 1, 1, 1); }

Style* createSeparatorStyle() { return plainStyle(kLayoutExpand, 2, 1, 2, 1, 1, 1); }

Style* createFormStyle() { return plainStyle(0, 4, 4, 4, 0, 1, 1); }

Style* createTextStyle() { return plainStyle(0, 1, 1, 1, 1, 2, 1); }

// Cells keep 3 px of room at either side and 1 px above and below, so
// that neighbouring texts never run together.
Style* createSimpleTableStyle() { return plainStyle(0, 2, 2, 1, 1, 1, 3); }

Style* createMarqueeStyle() {
    ColorSettings colors = colorSettings();
    Style* s = newStyle(kLayoutExpand, colors.marqueeText, createStyleFont());
    s->setSpacings(1, 1, 0, 1, 0, 0);
    setColorBackground(s, colors.marqueeBack);
    setLineBorder(s, 0x0000FF, 1);
    return s;
}

Style* createProgressBarFocusStyle() {
    Style* s = newStyle(0, 0x00CAFF, createStyleFont());
    s->setSpacings(1, 1, 1, 1, 1, 1);
    return s;
}

Style* createProgressBarStyle() {
    Style* s = plainStyle(0, 1, 1, 1, 1, 1, 1);
    setNested(s, prop::kFocusedStyle, createProgressBarFocusStyle());
    return s;
}

Style* createHyperlinkFocusStyle() {
    Style* s = plainStyle(kExpandLeft, 3, 3, 1, 3, 3, 1);
    setColorBackground(s, kFocusGrey);
    return s;
}

Style* createHyperlinkStyle() {
    Style* s = plainStyle(kExpandLeft, 3, 3, 1, 3, 3, 1);
    setNested(s, prop::kFocusedStyle, createHyperlinkFocusStyle());
    return s;
}

Style* createTreeItemFocusStyle() {
    Style* s = newStyle(kExpandLeft, kWhite, createStyleFont());
    s->setMargins(1, 1, 1, 1);
    s->setSpacings(3, 3, 1, 3, 1, 1);
    setColorBackground(s, kFocusGrey);
    return s;
}

Style* createTreeItemStyle() {
    Style* s = newStyle(kExpandLeft, kWhite, createStyleFont());
    s->setMargins(1, 1, 1, 1);
    s->setSpacings(3, 3, 1, 3, 1, 1);
    setNested(s, prop::kFocusedStyle, createTreeItemFocusStyle());
    return s;
}

Style* createTreeStyle() {
    Style* s = newStyle(0, kWhite, createStyleFont());
    s->setMargins(10, 0, 0, 0);
    s->setSpacings(1, 1, 1, 1, 1, 1);
    CString folder = resourceFolder();
    setStyleProperty(s, prop::kTreeExpandedImage, folder + CString("del.png"));
    setStyleProperty(s, prop::kTreeCollapsedImage, folder + CString("add.png"));
    return s;
}

Style* createListContainerFocusStyle() {
    Style* s = newStyle(0, kWhite, nullptr);
    s->setSpacings(2, 2, 0, 0, 4, 4);
    return s;
}

Style* createListContainerStyle() {
    Style* s = newStyle(0, kWhite, nullptr);
    s->setSpacings(2, 2, 0, 0, 4, 4);
    setNested(s, prop::kFocusedStyle, createListContainerFocusStyle());
    return s;
}

Style* createGridMenuFocusStyle() {
    Style* s = newStyle(kExpandCentred, 0, createLargeStyleFont());
    setColorBackground(s, kNavy);
    return s;
}

Style* createGridMenuStyle() {
    Style* s = newStyle(kExpandCentred, 0, createLargeStyleFont());
    setColorBackground(s, kNavy);
    setNested(s, prop::kFocusedStyle, createGridMenuFocusStyle());
    setIntValue(s, prop::kGridFrameColor, 0xFFFFFF);
    return s;
}

namespace {
// A text field's look, focused or not: they differ only in the inner spacing
// and the frame.
Style* textFieldLook(bool focused) {
    Style* s = newStyle(kLayoutLeft, 0x4F4F4F, createStyleFont());
    s->setMargins(3, 3, 3, 3);
    if (focused) {
        s->setSpacings(2, 0, 0, 0, 1, 3);
    } else {
        s->setSpacings(6, 4, 4, 4, 1, 3);
    }
    setColorBackground(s, kWhite);
    setLineBorder(s, focused ? 0x00B3FF : 0xA39C99, focused ? 4 : 1);
    setStyleProperty(s, prop::kCaretColor, StyleValue(0xFF0000));
    setStyleProperty(s, prop::kEditRoundBackground, sharedRoundedBackground());
    return s;
}
}  // namespace

Style* createTextFieldFocusStyle() { return textFieldLook(true); }

Style* createTextFieldStyle() {
    Style* s = textFieldLook(false);
    setNested(s, prop::kFocusedStyle, createTextFieldFocusStyle());
    return s;
}

Style* createCommandItemStyle() {
    ColorSettings colors = colorSettings();
    auto entry = [&colors]() {
        Style* s = newStyle(kLeftVCentred, colors.menuText, createLargeStyleFont());
        overrideColor(s);
        s->setSpacings(0, 0, 2, 2, 0, 0);
        return s;
    };
    Style* s = entry();
    setNested(s, prop::kFocusedStyle, entry());
    Style* pressed = newStyle(kLayoutLeft, colors.menuPressedText, createLargeStyleFont());
    overrideColor(pressed);
    setColorBackground(pressed, colors.menuPressedBack);
    setNested(s, prop::kPressedStyle, pressed);
    return s;
}

Style* createMenuCommandFocusStyle() {
    Style* s = newStyle(kLayoutLeft, kWhite, createStyleFont());
    overrideColor(s);
    s->setSpacings(2, 0, 2, 2, 2, 2);
    s->setBackground(std::make_unique<ColorBackground>(StyleValue(0x696969)));
    return s;
}

Style* createMenuCommandStyle() {
    Style* s = newStyle(kLeftVCentred, 0, createStyleFont());
    overrideColor(s);
    s->setSpacings(2, 0, 2, 2, 2, 2);
    setNested(s, prop::kFocusedStyle, createMenuCommandFocusStyle());
    return s;
}

Style* createPopupMenuStyle() {
    auto look = []() {
        Style* s = newStyle(0, kWhite, nullptr);
        s->colorValue = StyleValue(0x111111);
        s->setSpacings(1, 1, 1, 1, 1, 1);
        s->setBackground(std::make_unique<ColorBackground>(StyleValue(0xEEEEEE)));
        setLineBorder(s, 0, 1);
        return s;
    };
    Style* s = look();
    setNested(s, prop::kFocusedStyle, look());
    return s;
}

Style* createTabbedFormFocusStyle() { return plainStyle(kExpandTopLeft, 4, 4, 4, 4, 4, 4); }

Style* createTabbedFormStyle() {
    Style* s = plainStyle(kExpandTopLeft, 4, 4, 4, 4, 4, 4);
    setNested(s, prop::kFocusedStyle, createTabbedFormFocusStyle());
    return s;
}

Style* createTabStyle() {
    Style* s = plainStyle(kTopLeft, 2, 2, 4, 4, 4, 4);
    setColorBackground(s, 0xEEFFEE);
    setText(s, prop::kArrowUpImage, "/arrowU.png");
    setText(s, prop::kArrowDownImage, "/arrowD.png");
    return s;
}

Style* createTabBarStyle() {
    Style* s = newStyle(kLayoutExpand, 0, createStyleFont());
    s->setMargins(1, 1, 0, 0);
    s->setSpacings(4, 4, 2, 0, 2, 2);
    setColorBackground(s, 0xDEDEDE);
    setNested(s, prop::kFocusedStyle, sharedTabStyle(TabStyleRole::FocusedSelected));
    setNested(s, prop::kTabSelectedStyle, sharedTabStyle(TabStyleRole::Selected));
    setNested(s, prop::kTabNormalStyle, sharedTabStyle(TabStyleRole::Normal));
    setNested(s, prop::kTabBarStyle, sharedTabStyle(TabStyleRole::Selected));
    setIntValue(s, prop::kTabTextColor, 0xFFFFFF);
    return s;
}

Style* createTableFocusStyle() { return newStyle(kLayoutExpand, kWhite, createSmallStyleFont()); }

Style* createTableStyle() {
    Style* s = newStyle(kLayoutExpand, kWhite, createSmallStyleFont());
    overrideColor(s);
    setNested(s, prop::kFocusedStyle, createTableFocusStyle());
    return s;
}

Style* createQuoteTableStyle() {
    Style* s = createTableStyle();
    setInt(s, prop::kFocusedRowHighlight, 1);
    setIntValue(s, prop::kFocusedRowColor, 0xFFFFFF);
    setInt(s, prop::kTableVerticalLines, 0);
    setInt(s, prop::kTableHorizontalLines, 0);
    setIntValue(s, prop::kTableHeadTextColor, 0xFFFF52);
    setIntValue(s, prop::kTableCellBackColor, 0x5252FF);
    setIntValue(s, prop::kTableArrowColor, 0x5252FF);
    return s;
}

Style* createTrustTableStyle() {
    Style* s = createQuoteTableStyle();
    setInt(s, prop::kFocusedRowHighlight, 0);
    return s;
}

Style* createComboBoxStyle() {
    Style *panel, *search, *plain, *grey;
    {
        std::lock_guard<std::mutex> lock(gStartupMutex);
        StartupObjects& o = startup();
        panel = o.comboPanel;
        search = o.comboSearch;
        plain = o.comboPlain;
        grey = o.comboGreyText;
    }
    auto parts = [&](Style* s) {
        setInt(s, prop::kCaretBlinks, 1);
        setNested(s, prop::kComboGreyTextStyle, grey);
        setNested(s, prop::kComboPlainStyle, plain);
        setNested(s, prop::kComboSearchStyle, search);
        setNested(s, prop::kComboPanelStyle, panel);
    };
    Style* s = newStyle(kLayoutExpand, kComboText, createStyleFont());
    s->setSpacings(0, 0, 3, 3, 3, 3);
    setStyleProperty(s, prop::kDropBorder, std::make_unique<LineBorder>(0xFFFFFF, 2));
    setStyleProperty(s, prop::kDropBackground, std::make_unique<ColorBackground>(0x707070, true));
    parts(s);
    // The light-blue text of the normal look is too faint on the focus grey.
    Style* focused = newStyle(kExpandLeft, kWhite, nullptr);
    focused->setSpacings(1, 3, 3, 3, 3, 3);
    setColorBackground(focused, kFocusGrey);
    parts(focused);
    setNested(s, prop::kFocusedStyle, focused);
    return s;
}

Style* createComboOptionFocusStyle() {
    Style* s = newStyle(kLayoutExpand, 0x00CAFF, createStyleFont());
    s->setMargins(2, 2, 2, 2);
    s->setSpacings(1, 1, 1, 1, 1, 1);
    s->setBackground(std::make_unique<FilledRoundRectBackground>(0x666666, 8, 8));
    setText(s, prop::kSelectedImage, "/checked.png");
    setText(s, prop::kUnselectedImage, "none");
    setText(s, prop::kCheckedImage, "/checked.png");
    setText(s, prop::kUncheckedImage, "none");
    return s;
}

Style* createComboOptionStyle() {
    Style* s = newStyle(kLayoutExpand, kWhite, createStyleFont());
    s->setMargins(2, 2, 2, 2);
    s->setSpacings(1, 1, 1, 1, 1, 1);
    setNested(s, prop::kFocusedStyle, createComboOptionFocusStyle());
    return s;
}

Style* createChoiceItemStyle(uint32_t flags) {
    Style* s = newStyle(flags | kLayoutLeft, kWhite, createStyleFont());
    overrideColor(s);
    s->setSpacings(0, 3, 3, 3, 3, 3);
    setText(s, prop::kSelectedImage, "/selected.png");
    setText(s, prop::kUnselectedImage, "none");
    setText(s, prop::kIconImage, "/dog.png");
    Style* focused = plainStyle(flags | kLayoutLeft, 0, 3, 3, 3, 3, 3);
    setColorBackground(focused, kFocusGrey);
    setInt(focused, prop::kScreenKeptFlag, 1);
    setNested(s, prop::kFocusedStyle, focused);
    return s;
}

Style* createLabelStyle() {
    Style* s = newStyle(kLayoutLeft, colorSettings().labelText, nullptr);
    overrideColor(s);
    s->setMargins(0, 2, 2, 2);
    s->setSpacings(1, 1, 1, 1, 1, 1);
    return s;
}

Style* createScreenDefaultStyle() {
    Style* s = newStyle(kExpandLeft, 0, nullptr);
    s->setSpacings(0, 0, 3, 0, 0, 0);
    return s;
}

}  // namespace zq
