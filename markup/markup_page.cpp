#include "markup/markup_page.h"

#include <algorithm>
#include <limits>
#include <utility>

#include "core/string_utils.h"
#include "core/xml_parser.h"
#include "markup/element_dispatch.h"
#include "markup/side_effect_builders.h"
#include "platform/text_scan.h"
#include "ui/client_context.h"
#include "ui/command_item.h"
#include "ui/form.h"
#include "ui/item.h"

namespace zq {
namespace {

// The page text: the bytes up to the first zero byte, UTF-8 to UTF-16.
CString decodePageText(std::string_view bytes) {
    size_t end = bytes.find('\0');
    if (end != std::string_view::npos) bytes = bytes.substr(0, end);
    if (bytes.size() > MarkupPage::kMaxPageBytes) return CString();
    return CString::fromUtf8(bytes);
}

bool isAsciiBlank(char16_t ch) { return ch == u' ' || ch == u'\t' || ch == u'\r' || ch == u'\n'; }

// Brackets the building of a page's elements for the side-effect host.
class SideEffectPage {
public:
    explicit SideEffectPage(PageHost* host) : effects_(host ? host->sideEffects() : nullptr) {
        if (effects_) effects_->beginPage();
    }
    ~SideEffectPage() {
        if (effects_) effects_->endPage();
    }
    SideEffectPage(const SideEffectPage&) = delete;
    SideEffectPage& operator=(const SideEffectPage&) = delete;

private:
    SideEffectHost* effects_;
};

}  // namespace

// --- MarkupPage --------------------------------------------------------------------

MarkupPage::MarkupPage() = default;

MarkupPage::~MarkupPage() {
    // The screen and the controls point at the listeners and command trees.
    ownedForm_.reset();
    pool_.clear();
}

bool MarkupPage::loadPage(std::string_view bytes, PageHost* host, const CString& pageKey,
                          int serial, Screen* entryScreen) {
    const StyleScope ownStyles(&styles_);
    // 1-2. Remember who asked for the page and where it will be shown.
    serial_ = serial;
    host_ = host;
    pageKey_ = pageKey;
    if (entryScreen) screen_ = entryScreen;

    // 3-5. Decode, resolve the markers, run the pre-pass.
    // A page without an "@" has no markers and is not copied.
    CString text = decodePageText(bytes);
    if (host && findUnit(text.view(), u'@') != std::u16string_view::npos) {
        text = resolveEncodeMarkers(host, text);
    }
    normalizeMarkupText(text);

    // 6. The markers live until the page that used them is loaded.
    if (host) {
        host->clearMarkerValues();
        host->setSnKey(kDefaultSnKey);
    }

    // 7. The root is "zqml", else "zq".
    XmlParser parser;
    parser.setDoc(std::move(text));
    if (!parser.findElem()) return false;
    CString root = parser.getTagName();
    if (!tagIs(root, u"zqml") && !tagIs(root, u"zq")) return false;

    // 8-9. Root attributes, then the children.
    readRootAttributes(parser);
    if (parser.intoElem()) {
        const SideEffectPage effects(host);
        buildChildren(*this, parser);
        parser.outOfElem();
    }
    return true;
}

void MarkupPage::readRootAttributes(const XmlParser& node) {
    cacheMode_ = CacheMode::Keep;
    CString cache = getAttribute(node, u"cache", u"c");
    if (cache.equalsNoCase(u"FALSE")) {
        cacheMode_ = CacheMode::NoCache;
    } else if (cache.equalsNoCase(u"UPDATE")) {
        cacheMode_ = CacheMode::Update;
    }
    redirect_ = getAttribute(node, u"redirect", u"r");
    pageBase_ = getAttribute(node, u"pagebase");
    cacheId_ = getAttribute(node, u"cacheid", u"cid");
}

Item* MarkupPage::adoptControl(std::unique_ptr<Item> control) {
    if (!control) return nullptr;
    Item* item = control.get();
    pool_.emplace(item, std::move(control));
    return item;
}

Item* MarkupPage::registerControl(std::unique_ptr<Item> control) {
    Item* item = adoptControl(std::move(control));
    if (!item) return nullptr;
    controlOrder_.push_back(item);
    auto* listener =
        keepListener(std::make_unique<ItemActionListener>(host_, item->getItemCommandListener()));
    item->setItemCommandListener(listener);
    return item;
}

std::unique_ptr<Item> MarkupPage::releaseControl(Item* control) {
    auto held = pool_.find(control);
    if (held == pool_.end()) return nullptr;
    std::unique_ptr<Item> item = std::move(held->second);
    pool_.erase(held);
    // Builders release what they built last, so search from the back.
    auto listed = std::find(controlOrder_.rbegin(), controlOrder_.rend(), control);
    if (listed != controlOrder_.rend()) controlOrder_.erase(std::next(listed).base());
    return item;
}

std::vector<std::unique_ptr<Item>> MarkupPage::releaseControls() {
    std::vector<std::unique_ptr<Item>> out;
    out.reserve(controlOrder_.size());
    for (Item* control : controlOrder_) {
        auto held = pool_.find(control);
        if (held == pool_.end()) continue;
        out.push_back(std::move(held->second));
        pool_.erase(held);
    }
    controlOrder_.clear();
    return out;
}

bool MarkupPage::holdsControl(const Item* control) const {
    return pool_.count(const_cast<Item*>(control)) > 0;
}

void MarkupPage::setForm(std::unique_ptr<Form> form) {
    ownedForm_ = std::move(form);
    form_ = ownedForm_.get();
    screen_ = form_;
}

std::unique_ptr<Form> MarkupPage::releaseScreen() { return std::move(ownedForm_); }

int MarkupPage::lineWidth() const {
    if (screen_ && screen_->screenWidth() > 0) return screen_->screenWidth();
    return screenMetrics().screenWidth;
}

CommandListener* MarkupPage::keepCommandListener(std::unique_ptr<CommandListener> listener) {
    CommandListener* raw = listener.get();
    commandListeners_.push_back(std::move(listener));
    return raw;
}

CString MarkupPage::systemValue(const CString& key) const {
    return host_ ? host_->getSystemValue(key) : CString();
}

CString MarkupPage::expandSystemValues(const CString& text) const {
    if (text.find(CString(u"#system")) < 0) return text;
    CString keys = text;
    keys.replace(u"#system.", u"");
    CString out;
    StringArray parts = splitString(keys, u',');
    for (size_t i = 0; i < parts.size(); ++i) {
        if (i > 0) out += u',';
        out += systemValue(parts[i]);
    }
    return out;
}

// --- steps of loading --------------------------------------------------------------

CString resolveEncodeMarkers(const PageHost* host, const CString& text) {
    if (!host) return text;
    const std::u16string_view in = text.view();
    size_t at = findUnit(in, u'@');
    if (at == std::u16string_view::npos) return text;
    // One walk: a token runs from an "@" to the next ";". A marker name
    // never holds "@", so a token that meets another "@" first is left as
    // written and the walk goes on from that "@"; every unit is looked at
    // once, however many markers the page holds.
    std::u16string out;
    size_t copied = 0;  // in[0, copied) is in out
    while (at != std::u16string_view::npos) {
        const size_t end = in.find_first_of(u"@;", at + 1);
        if (end == std::u16string_view::npos) break;
        if (in[end] == u'@') {
            at = end;
            continue;
        }
        const CString token(in.substr(at, end - at));
        const CString head = token.left(8);
        const CString value = head.equalsNoCase(u"@Encode_") || head.equalsNoCase(u"@Encode-")
                                  ? urlEncode(host->markerValue(CString(u"@") + token.mid(8)))
                                  : host->markerValue(token);
        if (!value.isEmpty()) {
            out.append(in.substr(copied, at - copied));
            out.append(value.view());
            copied = end + 1;
        }
        at = findUnit(in, u'@', end + 1);
    }
    if (copied == 0) return text;
    out.append(in.substr(copied));
    return CString(std::move(out));
}

void buildChildren(MarkupPage& page, XmlParser& node) {
    // Reply-driven items register and remove their own listeners when they
    // are shown and hidden, so nothing of an earlier page is cleared here.
    while (node.findElem()) {
        buildElement(page, node.getTagName(), node, nullptr, 0);
    }
}

CString trimTextIndent(const CString& text) {
    if (text.length() <= 2) return text;
    bool indented = text[0] == u' ' && text[1] == u' ';
    CString out = text;
    out.trim();
    if (indented) out = CString(u"  ") + out;
    return out;
}

// --- attributes --------------------------------------------------------------------

bool tagIs(const CString& tag, std::u16string_view name, std::u16string_view alias) {
    const std::u16string_view t = tag.view();
    if (t.size() == name.size() && compareNoCase(t, name) == 0) return true;
    return !alias.empty() && t.size() == alias.size() && compareNoCase(t, alias) == 0;
}

namespace {

bool sameName(std::u16string_view a, std::u16string_view b) {
    return a.size() == b.size() && compareNoCase(a, b) == 0;
}

// The spellings of the first attributes of `node` named `name` and `alias`
// without regard to case; empty when there is none. One walk over the tag.
void findAttributeSpellings(const XmlParser& parser, int node, std::u16string_view name,
                            std::u16string_view alias, CString& nameSpelling,
                            CString& aliasSpelling) {
    const XmlElementPos* element = parser.element(node);
    if (!element) return;
    XmlTokenCursor cursor(parser.doc().view(), element->startTagStart + 1);
    if (!cursor.nextToken()) return;  // the tag name
    while (cursor.nextToken() && cursor.tokenStart() < element->startTagEnd) {
        if (cursor.isChar(u'>') || cursor.isChar(u'/')) break;
        if (cursor.quoted()) continue;
        XmlTokenCursor ahead = cursor;
        if (!ahead.nextToken() || !ahead.isChar(u'=')) continue;
        if (nameSpelling.isEmpty() && sameName(cursor.token(), name)) {
            nameSpelling = CString(cursor.token());
        } else if (aliasSpelling.isEmpty() && !alias.empty() && sameName(cursor.token(), alias)) {
            aliasSpelling = CString(cursor.token());
        }
        cursor = ahead;
        cursor.nextToken();  // the value
    }
}

}  // namespace

CString getNodeAttribute(const XmlParser& node, int index, std::u16string_view name,
                         std::u16string_view alias) {
    CString nameSpelling;
    CString aliasSpelling;
    findAttributeSpellings(node, index, name, alias, nameSpelling, aliasSpelling);
    CString value;
    if (!nameSpelling.isEmpty()) value = node.getNodeAttrib(index, nameSpelling);
    if (value.isEmpty() && !aliasSpelling.isEmpty())
        value = node.getNodeAttrib(index, aliasSpelling);
    return value;
}

CString getAttribute(const XmlParser& node, std::u16string_view name, std::u16string_view alias) {
    return getNodeAttribute(node, node.currentNode(), name, alias);
}

std::optional<bool> parseYesNo(const CString& text) {
    if (text.equalsNoCase(u"true")) return true;
    if (text.equalsNoCase(u"false")) return false;
    return std::nullopt;
}

int32_t parseIntSaturated(const CString& text) {
    int i = 0;
    const int n = text.length();
    while (i < n && isAsciiBlank(text[i])) ++i;
    bool negative = false;
    if (i < n && (text[i] == u'-' || text[i] == u'+')) negative = text[i++] == u'-';
    int64_t value = 0;
    const int64_t limit = negative ? -static_cast<int64_t>(std::numeric_limits<int32_t>::min())
                                   : std::numeric_limits<int32_t>::max();
    for (; i < n && text[i] >= u'0' && text[i] <= u'9'; ++i) {
        value = std::min<int64_t>(value * 10 + (text[i] - u'0'), limit);
    }
    return static_cast<int32_t>(negative ? -value : value);
}

std::optional<int32_t> parseDigits(const CString& text) {
    if (!isDecimalDigits(text)) return std::nullopt;
    return parseIntSaturated(text);
}

int32_t clampSize(int64_t value) {
    return static_cast<int32_t>(std::clamp<int64_t>(value, 0, kMaxMarkupSize));
}

int32_t parseSize(const CString& text) { return clampSize(parseIntSaturated(text)); }

}  // namespace zq
