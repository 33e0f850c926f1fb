#include "ui/style.h"

#include <atomic>
#include <mutex>

#include "ui/client_context.h"

namespace zq {

int32_t StyleValue::getValue() const {
    if (flag == 0) return value;
    if (value == 1) return 1;
    return displayExists() ? value : 0;
}

// A switch, so that an id listed twice in the table fails to compile.
std::optional<PropertyKind> declaredKind(PropertyId id) {
    switch (id) {
#define ZQ_STYLE_PROPERTY_CASE(name, id, kind) \
    case id:                                   \
        return PropertyKind::kind;
        ZQ_STYLE_PROPERTIES(ZQ_STYLE_PROPERTY_CASE)
#undef ZQ_STYLE_PROPERTY_CASE
    }
    return std::nullopt;
}

Style::Style() = default;
Style::~Style() = default;

void Style::setMargins(int left, int right, int top, int bottom) {
    marginLeft = left;
    marginRight = right;
    marginTop = top;
    marginBottom = bottom;
}

void Style::setSpacings(int left, int right, int top, int bottom, int vertical, int horizontal) {
    paddingLeft = left;
    paddingRight = right;
    paddingTop = top;
    paddingBottom = bottom;
    paddingVertical = vertical;
    paddingHorizontal = horizontal;
}

Color Style::getColor() const {
    return colorValue ? static_cast<Color>(colorValue->getValue()) : color;
}

void Style::setBackground(Held<Background> background) { background_ = std::move(background); }
void Style::setBorder(Held<Border> border) { border_ = std::move(border); }

const PropertyValue* Style::find(PropertyId id) const {
    for (const auto& [key, value] : properties_) {
        if (key == id) return &value;
    }
    return nullptr;
}

namespace {

template <class T>
const T* findAs(const Style& style, PropertyId id) {
    const PropertyValue* value = style.findProperty(id);
    return value ? std::get_if<T>(value) : nullptr;
}

}  // namespace

int32_t Style::getProperty(PropertyId id) const {
    const int32_t* v = findAs<int32_t>(*this, id);
    return v ? *v : 0;
}

const StyleIntValue* Style::getIntValueProperty(PropertyId id) const {
    return findAs<StyleIntValue>(*this, id);
}

const StyleValue* Style::getStyleValueProperty(PropertyId id) const {
    return findAs<StyleValue>(*this, id);
}

CString Style::getStringProperty(PropertyId id) const {
    const CString* v = findAs<CString>(*this, id);
    return v ? *v : CString();
}

Style* Style::getStyleProperty(PropertyId id) const {
    Style* const* v = findAs<Style*>(*this, id);
    return v ? *v : nullptr;
}

Background* Style::getBackgroundProperty(PropertyId id) const {
    const Held<Background>* v = findAs<Held<Background>>(*this, id);
    return v ? v->get() : nullptr;
}

Border* Style::getBorderProperty(PropertyId id) const {
    const Held<Border>* v = findAs<Held<Border>>(*this, id);
    return v ? v->get() : nullptr;
}

ItemView* Style::getViewProperty(PropertyId id) const {
    const Held<ItemView>* v = findAs<Held<ItemView>>(*this, id);
    return v ? v->get() : nullptr;
}

FontRef Style::getFontProperty(PropertyId id) const {
    const FontRef* v = findAs<FontRef>(*this, id);
    return v ? *v : nullptr;
}

void Style::clearProperties() {
    // Moved out first so that a value whose destructor reads this style
    // sees an empty list, not a half-destroyed one.
    auto released = std::move(properties_);
    properties_.clear();
}

bool setStyleProperty(Style* style, PropertyId id, PropertyValue value) {
    if (!style) return false;
    std::optional<PropertyKind> kind = declaredKind(id);
    if (kind && *kind != kindOf(value)) return false;
    for (auto& entry : style->properties_) {
        if (entry.first == id) {
            entry.second = std::move(value);
            return true;
        }
    }
    style->properties_.emplace_back(id, std::move(value));
    return true;
}

// --- registry -------------------------------------------------------------------

namespace {

struct Registry {
    std::mutex mutex;
    std::vector<std::unique_ptr<Style>> styles;
    std::vector<std::shared_ptr<void>> sharedObjects;
    std::atomic<uint32_t> generation{0};
};

Registry& registry() {
    static Registry instance;
    return instance;
}

thread_local StyleArena* tOpenArena = nullptr;
std::atomic<size_t> gArenaStyles{0};

// Every style's values go before any style does, so no value outlives the
// styles that a destructor of its might still reach.
void releaseStyles(std::vector<std::unique_ptr<Style>>& styles) {
    for (auto& style : styles) style->clearProperties();
    styles.clear();
}

}  // namespace

StyleArena::~StyleArena() {
    gArenaStyles.fetch_sub(styles_.size(), std::memory_order_relaxed);
    releaseStyles(styles_);
}

StyleScope::StyleScope(StyleArena* arena) : previous_(tOpenArena) { tOpenArena = arena; }

StyleScope::~StyleScope() { tOpenArena = previous_; }

Style* allocTracked() {
    auto style = std::make_unique<Style>();
    Style* raw = style.get();
    if (StyleArena* arena = tOpenArena) {
        arena->styles_.push_back(std::move(style));
        gArenaStyles.fetch_add(1, std::memory_order_relaxed);
        return raw;
    }
    Registry& r = registry();
    std::lock_guard<std::mutex> lock(r.mutex);
    r.styles.push_back(std::move(style));
    return raw;
}

void keepUntilShutdown(std::shared_ptr<void> object) {
    if (!object) return;
    Registry& r = registry();
    std::lock_guard<std::mutex> lock(r.mutex);
    r.sharedObjects.push_back(std::move(object));
}

void freeTrackedStyles() {
    Registry& r = registry();
    std::vector<std::unique_ptr<Style>> styles;
    std::vector<std::shared_ptr<void>> shared;
    {
        std::lock_guard<std::mutex> lock(r.mutex);
        styles.swap(r.styles);
        shared.swap(r.sharedObjects);
        r.generation.fetch_add(1, std::memory_order_acq_rel);
    }
    releaseStyles(styles);
    shared.clear();
}

size_t trackedStyleCount() {
    Registry& r = registry();
    std::lock_guard<std::mutex> lock(r.mutex);
    return r.styles.size() + gArenaStyles.load(std::memory_order_relaxed);
}

uint32_t trackedStylesGeneration() { return registry().generation.load(std::memory_order_acquire); }

}  // namespace zq
