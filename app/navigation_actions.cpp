// The navigation actions: open a link, reload in place, walk the history,
// choose an action by a stored memory value, open the system browser; and
// the "tel://" call.
#include "app/navigation_actions.h"

#include <algorithm>
#include <climits>
#include <optional>

#include "app/action_dispatcher.h"
#include "app/link_resolver.h"
#include "app/page_history.h"
#include "core/string_utils.h"
#include "core/zq_exception.h"
#include "net/device_actions.h"
#include "platform/device_services.h"
#include "platform/message_box.h"
#include "ui/screen.h"

namespace zq {

namespace {

// Further than any history reaches; keeps offset arithmetic far from
// overflow whatever number a page writes.
constexpr int kHistoryReach = 1 << 16;

// A decimal integer at the start of `text` the way "%d" reads one: blanks,
// an optional sign, at least one digit. Saturates at the int range.
std::optional<int> readLeadingInt(const CString& text) {
    std::u16string_view v = text.view();
    size_t i = 0;
    while (i < v.size() && (v[i] == u' ' || (v[i] >= u'\t' && v[i] <= u'\r'))) ++i;
    bool negative = false;
    if (i < v.size() && (v[i] == u'+' || v[i] == u'-')) negative = v[i++] == u'-';
    if (i >= v.size() || v[i] < u'0' || v[i] > u'9') return std::nullopt;
    long long value = 0;
    for (; i < v.size() && v[i] >= u'0' && v[i] <= u'9'; ++i) {
        value = std::min<long long>(value * 10 + (v[i] - u'0'), 1LL + INT_MAX);
    }
    if (negative) value = -value;
    return static_cast<int>(std::clamp<long long>(value, INT_MIN, INT_MAX));
}

int clampHistoryOffset(int offset) { return std::clamp(offset, -kHistoryReach, kHistoryReach); }

}  // namespace

void NavigationActions::onForward(const CString& piece) {
    CString link = cutActionArgument(piece, u"forward", u"fw");
    if (link.isEmpty()) return;
    host_.openUrl({.url = link, .screenId = host_.currentScreenId()});
}

void NavigationActions::onKolmForward(const CString& piece) {
    CString link = cutActionArgument(piece, u"kolmforward", u"kfw");
    if (link.isEmpty()) return;
    host_.openUrl({.url = link, .screenId = host_.currentScreenId()});
}

void NavigationActions::onGetData(const CString& piece) {
    CString link = cutActionArgument(piece, u"getdata", u"gd");
    if (link.isEmpty()) return;
    host_.openUrl({.url = link,
                   .screenId = host_.currentScreenId(),
                   .showLoading = false,
                   .blockInput = false});
}

void NavigationActions::onUpdate(const CString& piece) {
    // Passed on even when empty: the loader reports the empty link itself.
    CString link = cutActionArgument(piece, u"update", u"ud").trim();
    host_.openUrl({.url = link, .screenId = host_.currentScreenId(), .replace = true});
}

void NavigationActions::onBack(const CString& piece) {
    std::optional<int> steps = readLeadingInt(cutActionArgument(piece, u"back", u"bk"));
    host_.goHistory(clampHistoryOffset(steps.value_or(0)));
}

void NavigationActions::onForBack(const CString& piece) {
    std::optional<int> steps = readLeadingInt(cutActionArgument(piece, u"forback", u"fbk"));
    if (!steps) return;
    host_.goHistory(-clampHistoryOffset(*steps));
}

void NavigationActions::onGoHome(const CString&) {
    // Past the oldest entry; the history clamps it to the first page, which
    // it never drops. A pending page stands one step ahead of the list.
    int offset = host_.history().count() + 1 + (host_.history().pending() ? 1 : 0);
    host_.goHistory(offset);
}

void NavigationActions::onSwitchForward(const CString& piece) {
    StringArray parts = splitOutsideParens(u',', cutActionArgument(piece, u"switchforward", u"sd"));
    if (parts.size() < 2) return;

    // The condition: "key" or "key==value".
    const CString& condition = parts[0];
    int equals = condition.find(CString(u"=="));
    CString key = equals < 0 ? condition : condition.left(equals);
    // A key never stored is remembered as empty, as "memsave" would leave it.
    CString stored = host_.memoryValue(key);

    // The part to run.
    size_t chosen = 1;
    if (stored.isEmpty()) {
        chosen = 1;
    } else if (equals >= 0) {
        chosen = stored.equalsNoCase(condition.mid(equals + 2)) ? 1 : 2;
    } else if (stored.equalsNoCase(u"true")) {
        chosen = 1;
    } else if (stored.equalsNoCase(u"false")) {
        chosen = 2;
    } else {
        std::optional<int> n = readLeadingInt(stored);
        bool inRange = n && *n >= 1 && static_cast<size_t>(*n) < parts.size();
        chosen = inRange ? static_cast<size_t>(*n) : 1;
    }

    // A branch the condition names but the page left out runs nothing.
    if (chosen < parts.size()) host_.onAction(parts[chosen]);
}

void NavigationActions::onOpenSystemBrowser(const CString& piece) {
    CString link = cutActionArgument(piece, u"opensystembrowser", u"os");
    DeviceServices* device = deviceServices();
    // Only web links leave the client: never a file, a path or an option.
    bool opened = device && isBrowserLink(link) && device->openBrowser(link);
    if (!opened) host_.errors().setError(10, u"自动升级失败");
}

bool NavigationActions::dialTelLink(const CString& link) {
    CString number = link.mid(6);
    if (!isHexDigits(number)) return false;
    if (Screen* screen = host_.currentScreen()) screen->stopLoading(LoadingState::kAnyRequest);
    if (!dialVoiceCall(deviceServices(), number)) {
        messageBox(u"网络忙，请尝试手动拨打", u"提示", MessageBoxType::Ok);
    }
    return true;
}

}  // namespace zq
