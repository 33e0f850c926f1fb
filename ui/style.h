// Style: the presentation record of an item or screen (margins, paddings,
// layout flags, text colour, font, background, border) with an open list of
// typed properties stored by 16-bit id.
//
// Ownership: every Style is allocated through allocTracked, into the style
// arena open on the calling thread (a page being built owns one, see
// StyleArena) or else into the tracked-style registry, which keeps it until
// freeTrackedStyles at shut-down. Items, screens and other styles hold
// plain Style* to them; whatever holds a style of an arena must go before
// the arena does. Shared start-up styles are always registry styles. A
// style owns its background, border, colour override and property values,
// except the named shared objects (held through shared_ptr, see Held) and
// nested styles (owned by their arena or the registry). Fonts are shared,
// immutable FontRefs.
//
// Threads: styles are built and read on the UI thread; the registry itself
// (allocTracked, keepUntilShutdown, freeTrackedStyles) may be used from any
// thread. The open arena is per thread.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <type_traits>
#include <utility>
#include <variant>
#include <vector>

#include "platform/cstring.h"
#include "platform/font.h"
#include "platform/geometry.h"

namespace zq {

class Background;
class Border;
class ItemView;
class Style;

// A number or colour given by a style. With its flag set it stands for a
// value that only holds once the Display exists (see getValue).
class StyleValue {
public:
    StyleValue() = default;
    explicit StyleValue(int32_t value, int32_t flag = 0) : value(value), flag(flag) {}

    // flag 0: the value. Flag set: 1 when the value is 1; otherwise 0 while
    // no Display exists and the value afterwards.
    int32_t getValue() const;

    int32_t value = 0;
    int32_t flag = 0;
};

// A boxed integer: the kind of property the defaults store where a reader
// expects an object holding a number or colour.
struct StyleIntValue {
    explicit StyleIntValue(int32_t value = 0) : value(value) {}
    int32_t value = 0;
};

// An object held by a style: owned, or one of the named shared objects
// (shared_ptr, kept alive by the registry as well). The deleter is fixed
// where the concrete type is known, so holders need only a declaration of
// T (the item views come with the layout code).
template <class T>
class Held {
public:
    Held() : owned_(nullptr, nullptr) {}
    template <class U>
    requires std::is_convertible_v<U*, T*> Held(std::unique_ptr<U> owned)
        : owned_(owned.release(), [](T* p) { std::default_delete<U>()(static_cast<U*>(p)); }) {}
    template <class U>
    requires std::is_convertible_v<U*, T*> Held(std::shared_ptr<U> shared)
        : owned_(nullptr, nullptr), shared_(std::move(shared)) {}

    T* get() const { return owned_ ? owned_.get() : shared_.get(); }
    explicit operator bool() const { return get() != nullptr; }
    bool isShared() const { return shared_ != nullptr; }

private:
    std::unique_ptr<T, void (*)(T*)> owned_;
    std::shared_ptr<T> shared_;
};

// The kinds a property value can have; the order is that of PropertyValue.
enum class PropertyKind : uint8_t {
    Integer,     // a plain number or colour word
    IntValue,    // a boxed integer (StyleIntValue)
    StyleValue,  // a StyleValue
    Text,        // CString: image names, font names, lists
    Style,       // a nested Style (registry-owned, not owned by the holder)
    Background,  // Held<Background>
    Border,      // Held<Border>
    View,        // Held<ItemView>, always owned
    Font,        // FontRef
};

using PropertyValue = std::variant<int32_t, StyleIntValue, StyleValue, CString, Style*,
                                   Held<Background>, Held<Border>, Held<ItemView>, FontRef>;

constexpr PropertyKind kindOf(const PropertyValue& value) {
    return static_cast<PropertyKind>(value.index());
}

using PropertyId = uint16_t;

// Every property id the client knows, with the kind its value has. Ids are
// published (style sheets and defaults use them) and never renumbered. An
// id that is not listed here accepts any kind.
//
// Ids 132, 150, 153, 154, 285, 305, 20087, 20833 and 20834 were listed once
// and read by nothing; they stay unused. Some ids are stored but act on
// nothing: ScreenKeptFlag is kept by the screen when a style is applied and
// never used; TableCellBackColor ("table-cell-bc") is set by sheets and the
// quote-table defaults and nothing paints with it. StatusTextColor is "status-fcolor",
// MenuTextColor "menu-fcolor" (the soft-key menu's text); the Table* ids are the fixed-head table's
// grid lines, scroll arrows and head text.
#define ZQ_STYLE_PROPERTIES(X)                  \
    X(FocusedStyle, 1, Style)                   \
    X(ColumnCount, 4, Integer)                  \
    X(ColumnWidths, 5, Text)                    \
    X(IconImage, 6, Text)                       \
    X(IconPosition, 7, Integer)                 \
    X(CheckedImage, 9, Text)                    \
    X(UncheckedImage, 10, Text)                 \
    X(SelectedImage, 11, Text)                  \
    X(UnselectedImage, 12, Text)                \
    X(CaretColor, 30, StyleValue)               \
    X(ItemViewObject, 39, View)                 \
    X(TabTextColor, 47, IntValue)               \
    X(EditRoundBackground, 79, Background)      \
    X(CaretBlinks, 80, Integer)                 \
    X(EqualColumns, 85, Integer)                \
    X(ArrowUpImage, 102, Text)                  \
    X(ArrowDownImage, 103, Text)                \
    X(ScreenKeptFlag, 116, Integer)             \
    X(ComboPlainStyle, 142, Style)              \
    X(ComboGreyTextStyle, 143, Style)           \
    X(MenuArrowImage, 146, Text)                \
    X(SearchImage, 190, Text)                   \
    X(ComboSearchStyle, 244, Style)             \
    X(ComboPanelStyle, 245, Style)              \
    X(TreeCollapsedImage, 254, Text)            \
    X(TreeExpandedImage, 255, Text)             \
    X(PressedStyle, 292, Style)                 \
    X(Visible, 311, Integer)                    \
    X(SelectionBackground, 332, Background)     \
    X(DropBorder, 4010, Border)                 \
    X(DropBackground, 4011, Background)         \
    X(ThumbColor, 4020, Integer)                \
    X(TrackColor, 4021, Integer)                \
    X(DiscColor, 5010, Integer)                 \
    X(DotColor, 5011, Integer)                  \
    X(TabBarStyle, 20081, Style)                \
    X(EvenRowColor, 20084, Integer)             \
    X(OddRowColor, 20085, Integer)              \
    X(IndentCount, 20086, Integer)              \
    X(SoftKeyMenuBackground, 20088, Background) \
    X(HeadBackColor, 20089, Integer)            \
    X(CaptionTextColor, 20810, Integer)         \
    X(TableCellBackColor, 20813, IntValue)      \
    X(TableGridColor, 20814, Integer)           \
    X(TableArrowColor, 20815, IntValue)         \
    X(TableVerticalLines, 20816, Integer)       \
    X(FocusedRowHighlight, 20817, Integer)      \
    X(SeparatorPenStyle, 20820, Integer)        \
    X(FocusedRowColor, 20822, IntValue)         \
    X(TableHeadTextColor, 20823, IntValue)      \
    X(TableHorizontalLines, 20824, Integer)     \
    X(ListMarkerImage, 20830, Text)             \
    X(TipBoxColor, 20831, Integer)              \
    X(StatusTextColor, 20832, Integer)          \
    X(SoftKeySwitchColor, 20840, Integer)       \
    X(MenuTextColor, 20841, Integer)            \
    X(SoftKeyFont, 20842, Font)                 \
    X(TabSelectedStyle, 20850, Style)           \
    X(TabNormalStyle, 20851, Style)             \
    X(GridFrameColor, 20880, IntValue)          \
    X(TableRowType, 20898, Integer)             \
    X(TableRowLineColor, 20899, Integer)        \
    X(LinkUnderline, 20900, Integer)

namespace prop {
#define ZQ_STYLE_PROPERTY_ID(name, id, kind) inline constexpr PropertyId k##name = id;
ZQ_STYLE_PROPERTIES(ZQ_STYLE_PROPERTY_ID)
#undef ZQ_STYLE_PROPERTY_ID

}  // namespace prop

// The kind the table gives `id`, or nullopt for an id it does not list.
std::optional<PropertyKind> declaredKind(PropertyId id);

class Style {
public:
    Style();
    ~Style();
    Style(const Style&) = delete;
    Style& operator=(const Style&) = delete;

    // The four margins and the six spacings, in the order the default
    // styles list them: left, right, top, bottom, then (for spacings) the
    // vertical and horizontal gaps between children.
    void setMargins(int left, int right, int top, int bottom);
    void setSpacings(int left, int right, int top, int bottom, int vertical, int horizontal);

    // colorValue's value when an override is set, else color.
    Color getColor() const;

    Background* background() const { return background_.get(); }
    Border* border() const { return border_.get(); }
    void setBackground(Held<Background> background);  // releases an owned old one
    void setBorder(Held<Border> border);

    // --- properties: lookup runs from the first entry, the first match wins.
    bool hasProperty(PropertyId id) const { return find(id) != nullptr; }
    // Each getter gives "absent" (0, null, empty) when the id is missing or
    // holds a value of another kind.
    int32_t getProperty(PropertyId id) const;  // a plain integer
    const StyleIntValue* getIntValueProperty(PropertyId id) const;
    const StyleValue* getStyleValueProperty(PropertyId id) const;
    CString getStringProperty(PropertyId id) const;
    Style* getStyleProperty(PropertyId id) const;
    Background* getBackgroundProperty(PropertyId id) const;
    Border* getBorderProperty(PropertyId id) const;
    ItemView* getViewProperty(PropertyId id) const;
    FontRef getFontProperty(PropertyId id) const;
    const PropertyValue* findProperty(PropertyId id) const { return find(id); }
    size_t propertyCount() const { return properties_.size(); }

    // Releases every property value the style owns and empties the list.
    void clearProperties();

    // --- plain fields ------------------------------------------------------
    FontRef font;  // null: the reader's default font
    Color color = 0;
    std::optional<StyleValue> colorValue;  // overrides color when set
    int paddingLeft = 0;
    int paddingTop = 0;
    int paddingRight = 0;
    int paddingBottom = 0;
    int paddingVertical = 0;
    int paddingHorizontal = 0;
    int marginLeft = 0;
    int marginTop = 0;
    int marginRight = 0;
    int marginBottom = 0;
    uint32_t flags = 0;  // row-layout flags, copied to the item

private:
    friend bool setStyleProperty(Style* style, PropertyId id, PropertyValue value);
    const PropertyValue* find(PropertyId id) const;

    Held<Background> background_;
    Held<Border> border_;
    std::vector<std::pair<PropertyId, PropertyValue>> properties_;
};

// Sets one property: an id already present gets the new value at the first
// entry with that id (the replaced value is released when the style owns
// it); otherwise the pair is appended. A value whose kind differs from the
// table's for that id is refused (false) and the style is left unchanged; a
// null style is refused too.
bool setStyleProperty(Style* style, PropertyId id, PropertyValue value);

// --- the tracked-style registry ---------------------------------------------
// A new empty style, owned by the arena open on this thread, else by the
// registry until freeTrackedStyles.
Style* allocTracked();
// Keeps a named shared object (the shared rounded background, the shared
// commands) alive until freeTrackedStyles.
void keepUntilShutdown(std::shared_ptr<void> object);
// Releases every tracked style (clearing its properties first) and the
// shared objects kept by the registry, once each. Style pointers handed out
// before are invalid afterwards.
void freeTrackedStyles();
// Every style alive: the registry's and those of every arena.
size_t trackedStyleCount();
// Changes at every freeTrackedStyles, so that holders of start-up styles
// know to build them again.
uint32_t trackedStylesGeneration();

// The styles one owner (a page) builds. While a StyleScope names it,
// allocTracked on that thread puts new styles here; destroying the arena
// frees them all, so everything that points at them (the owner's items
// and screen) must be gone first. Styles that outlive their builder (the
// shared start-up styles) are built under StyleScope::shared().
class StyleArena {
public:
    StyleArena() = default;
    ~StyleArena();
    StyleArena(const StyleArena&) = delete;
    StyleArena& operator=(const StyleArena&) = delete;

    size_t size() const { return styles_.size(); }

private:
    friend Style* allocTracked();
    std::vector<std::unique_ptr<Style>> styles_;
};

// The styles an item or screen built outside a page builds for itself. Listed
// as a base before the item's own base class, it is destroyed after the
// children that use its styles.
struct OwnedStyles {
    StyleArena ownStyles;
};

// Routes allocTracked on this thread into `arena` (null: the registry)
// while it lives; scopes nest and restore the one they replaced. Open
// shared() around what builds styles kept beyond the current owner, and
// around calls that may run unrelated work on this thread meanwhile (a
// fetch that waits, a message box).
class StyleScope {
public:
    explicit StyleScope(StyleArena* arena);
    ~StyleScope();
    StyleScope(const StyleScope&) = delete;
    StyleScope& operator=(const StyleScope&) = delete;

    static StyleScope shared() { return StyleScope(nullptr); }

private:
    StyleArena* previous_;
};

// A start-up object (a shared style, a shared command) built on first use and
// built again once freeTrackedStyles has released the previous one. Its
// styles belong to the registry, whoever asks first. Thread-safe.
template <class T>
class StartupObject {
public:
    explicit StartupObject(T (*build)()) : build_(build) {}
    T get() {
        std::lock_guard<std::mutex> lock(mutex_);
        if (!built_ || generation_ != trackedStylesGeneration()) {
            const StyleScope shared = StyleScope::shared();
            value_ = build_();
            generation_ = trackedStylesGeneration();
            built_ = true;
        }
        return value_;
    }

private:
    T (*build_)();
    std::mutex mutex_;
    T value_{};
    uint32_t generation_ = 0;
    bool built_ = false;
};

}  // namespace zq
