#include "app/link_resolver.h"

#include <algorithm>
#include <string>
#include <string_view>
#include <vector>

#include "app/settings_store.h"
#include "core/string_utils.h"
#include "core/zq_exception.h"
#include "net/http_socket.h"

namespace zq {

namespace {

struct SchemePrefix {
    LinkScheme scheme;
    std::u16string_view prefix;
};

// Tested in this order.
constexpr SchemePrefix kSchemes[] = {
    {LinkScheme::Zqml, u"zqml://"}, {LinkScheme::Http, u"http://"},
    {LinkScheme::File, u"file://"}, {LinkScheme::TempFile, u"tempfile://"},
    {LinkScheme::Sms, u"sms://"},   {LinkScheme::Tel, u"tel://"},
};

constexpr int kZqmlPrefix = 7;
// "address:http:socket:name:rest:" ends at the fifth ':'.
constexpr int kHostTextColons = 5;

bool isLocal(LinkScheme scheme) {
    return scheme == LinkScheme::File || scheme == LinkScheme::TempFile;
}

CString currentHostBase(const HostRecord& host) {
    return CString(u"zqml://") + host.toText() + u':';
}

// A page base may name a system value: "#system.key".
CString pageBaseText(const CString& pageBase, const LinkContext& context) {
    if (pageBase.find(CString(u"#system")) < 0) return pageBase;
    CString key = pageBase;
    key.replace(CString(u"#system."), CString());
    return context.systemValue ? context.systemValue(key) : CString();
}

CString relativeBase(const CString& link, const LinkContext& context) {
    if (!context.hasCurrentPage) return currentHostBase(context.currentHost);
    if (!context.pageBase.isEmpty()) {
        return CString(u"zqml://") + pageBaseText(context.pageBase, context) + u':';
    }
    if (link.at(0) != u'/') return urlDirectory(context.currentUrl);
    CString host;
    CString port;
    CString path;
    splitHttpHostPort(context.currentUrl, host, port, path);
    if (host.isEmpty() || port.isEmpty()) return currentHostBase(context.currentHost);
    return CString(u"http://") + host + u':' + port;
}

// "zqml://" + host text + ":" + path becomes "http://address:port" + path;
// nullopt when the host text does not parse.
std::optional<CString> expandZqml(CString link, const LinkContext& context) {
    // "zqml://%name%..." takes the host text from the stored settings.
    const int firstPercent = link.find(u'%');
    if (firstPercent == kZqmlPrefix) {
        const int secondPercent = link.find(u'%', firstPercent + 1);
        if (secondPercent > firstPercent) {
            const CString name = link.mid(firstPercent + 1, secondPercent - firstPercent - 1);
            const CString value = context.storedSetting ? context.storedSetting(name) : CString();
            link = link.left(firstPercent) + value + link.mid(secondPercent + 1);
        }
    }
    // The host text runs to the fifth ':' after the prefix.
    int colon = kZqmlPrefix - 1;
    for (int i = 0; i < kHostTextColons && colon >= 0; ++i) colon = link.find(u':', colon + 1);
    CString hostText;
    CString path;
    if (colon >= 0) {
        hostText = link.mid(kZqmlPrefix, colon - kZqmlPrefix);
        path = link.mid(colon + 1);
    }
    // The connection type picks the port.
    HostRecord host;
    if (!host.parse(hostText)) return std::nullopt;
    const bool framed = isFramedConnection(context.connectionType);
    const CString& port = framed ? host.socketPort : host.httpPort;
    return CString::format(u"%s%s%s%s%s", u"http://", host.address, u":", port, path);
}

// How many dots a segment stands for: 1 for "." and 2 for "..", each dot
// also written "%2e" or "%2E" as browsers take it; 0 for any other segment.
int dotCount(std::u16string_view segment) {
    int dots = 0;
    while (!segment.empty() && dots < 3) {
        if (segment.front() == u'.') {
            segment.remove_prefix(1);
        } else if (segment.size() >= 3 && segment[0] == u'%' && segment[1] == u'2' &&
                   (segment[2] == u'e' || segment[2] == u'E')) {
            segment.remove_prefix(3);
        } else {
            return 0;
        }
        ++dots;
    }
    return segment.empty() && dots <= 2 ? dots : 0;
}

// The dot segments of a path go as browsers remove them: "a/./b/../c" is
// "a/c". A ".." at the top of a server path stops at its root; at the top of
// a local name it stays, for the file layer to refuse a name that leaves
// the resource folder.
std::u16string removeDotSegments(std::u16string_view path, bool keepClimbs) {
    const bool rooted = !path.empty() && path.front() == u'/';
    if (rooted) path.remove_prefix(1);
    std::vector<std::u16string_view> kept;
    size_t start = 0;
    while (start <= path.size()) {
        size_t end = path.find(u'/', start);
        if (end == std::u16string_view::npos) end = path.size();
        const std::u16string_view segment = path.substr(start, end - start);
        const bool last = end == path.size();
        const int dots = dotCount(segment);
        if (dots == 2) {
            if (!kept.empty() && kept.back() != u"..") {
                kept.pop_back();
            } else if (keepClimbs) {
                kept.push_back(u"..");
            }
        } else if (dots != 1) {
            kept.push_back(segment);
        }
        // "a/.." names the folder "a/" itself.
        if (last && dots > 0) kept.emplace_back();
        start = end + 1;
    }
    std::u16string out = rooted ? u"/" : u"";
    for (size_t i = 0; i < kept.size(); ++i) {
        if (i > 0) out += u'/';
        out += kept[i];
    }
    return out;
}

bool hasDotSegment(std::u16string_view path) {
    for (size_t start = 0; start <= path.size();) {
        size_t end = path.find(u'/', start);
        if (end == std::u16string_view::npos) end = path.size();
        const std::u16string_view segment = path.substr(start, end - start);
        if (dotCount(segment) > 0) return true;
        start = end + 1;
    }
    return false;
}

// A server or local URL with the dot segments of its path removed; the
// query, fragment and ';' parameters stay as they are.
CString withoutDotSegments(const CString& url) {
    const LinkScheme scheme = linkScheme(url);
    const std::u16string_view text = url.view();
    size_t pathStart = 0;
    if (scheme == LinkScheme::Http) {
        // The path starts at the first '/' after the host, if before any query.
        pathStart = text.find_first_of(u"/?#;", static_cast<size_t>(schemeLength(scheme)));
        if (pathStart == std::u16string_view::npos || text[pathStart] != u'/') return url;
    } else if (isLocal(scheme)) {
        pathStart = static_cast<size_t>(schemeLength(scheme));
    } else {
        return url;
    }
    size_t pathEnd = text.find_first_of(u"?#;", pathStart);
    if (pathEnd == std::u16string_view::npos) pathEnd = text.size();
    // A '\\' in the path separates folders, as it does in a local name and
    // as browsers take it in a server path.
    std::u16string path(text.substr(pathStart, pathEnd - pathStart));
    std::replace(path.begin(), path.end(), u'\\', u'/');
    if (!hasDotSegment(path) && path == text.substr(pathStart, pathEnd - pathStart)) return url;
    std::u16string out(text.substr(0, pathStart));
    out += removeDotSegments(path, isLocal(scheme));
    out += text.substr(pathEnd);
    return CString(std::move(out));
}

void appendHex(std::u16string& out, unsigned byte) {
    static constexpr char16_t kHex[] = u"0123456789ABCDEF";
    out += u'%';
    out += kHex[(byte >> 4) & 0xF];
    out += kHex[byte & 0xF];
}

}  // namespace

LinkScheme linkScheme(const CString& link) {
    for (const SchemePrefix& entry : kSchemes) {
        if (startsWithNoCase(link, CString(entry.prefix))) return entry.scheme;
    }
    return LinkScheme::Relative;
}

int schemeLength(LinkScheme scheme) {
    for (const SchemePrefix& entry : kSchemes) {
        if (entry.scheme == scheme) return static_cast<int>(entry.prefix.size());
    }
    return 0;
}

CString urlDirectory(const CString& url) {
    const int question = url.find(u'?');
    const int semicolon = url.find(u';');
    int cut = std::max(question, semicolon);
    if (cut < 0) cut = url.length();
    const int slash = url.left(cut).reverseFind(u'/');
    const LinkScheme scheme = linkScheme(url);
    const int prefix = schemeLength(scheme);
    if (prefix == 0 || slash >= prefix) return url.left(slash);
    // The last '/' is the scheme's own: a server URL keeps its host, a local
    // page at the top of the resource folder keeps "file:/" so that
    // base + "/" + name names a top-level file.
    if (isLocal(scheme)) return url.left(prefix - 1);
    return url.left(cut);
}

void splitHttpHostPort(const CString& url, CString& host, CString& port, CString& path) {
    const CString text = withoutHttpScheme(url);
    const int slash = text.find(u'/');
    const int colon = text.find(u':');
    path = slash < 0 ? CString() : text.mid(slash);
    const CString hostPort = slash < 0 ? text : text.left(slash);
    if (colon >= 0 && (slash < 0 || colon < slash)) {
        host = hostPort.left(colon);
        port = hostPort.mid(colon + 1);
    } else {
        host = hostPort;
        port = CString(u"80");
    }
}

CString resolveLink(const CString& link, const LinkContext& context,
                    std::map<CString, CString>& variables) {
    // An empty link is the caller's error.
    if (link.isEmpty()) throw ZQException(CString(u"URL is Empty"));
    // Variable blocks leave the link.
    CString result = link;
    SettingsStore::extractLinkVariables(result, variables);
    // A relative link joins the shown page, its page base or the host.
    if (linkScheme(result) == LinkScheme::Relative) {
        const CString separator = result.at(0) == u'/' ? CString() : CString(u"/");
        result = relativeBase(result, context) + separator + result;
    }
    // "zqml://" names a server by its host text.
    if (linkScheme(result) == LinkScheme::Zqml) {
        std::optional<CString> expanded = expandZqml(result, context);
        if (!expanded) return link;
        result = std::move(*expanded);
    }
    return withoutDotSegments(result);
}

CString formatPageParams(int requestId, int screenId) {
    return CString::format(u"%s%d%s%d", u"pageid=", requestId, u"&screenid=", screenId);
}

CString buildRequestTarget(const CString& url, const RequestContext& context) {
    // Base, query ('?' on) and fragment ('#' on), each up to the other.
    const int question = url.find(u'?');
    const int hash = url.find(u'#');
    CString base = url;
    CString query;
    CString fragment;
    if (question >= 0 && hash >= 0) {
        base = url.left(std::min(question, hash));
        if (question < hash) {
            query = url.mid(question, hash - question);
            fragment = url.mid(hash);
        } else {
            fragment = url.mid(hash, question - hash);
            query = url.mid(question);
        }
    } else if (question >= 0) {
        base = url.left(question);
        query = url.mid(question);
    } else if (hash >= 0) {
        base = url.left(hash);
        fragment = url.mid(hash);
    }

    // The server's session parameter goes on the path.
    CString host;
    CString port;
    CString path;
    splitHttpHostPort(url, host, port, path);
    if (context.sessionParam) {
        const auto param = context.sessionParam(host + u':' + port);
        if (param && !param->first.isEmpty() && base.find(param->first) < 0 &&
            !param->second.isEmpty()) {
            base += CString(u";") + param->first + u'=' + param->second;
        }
    }

    // The "system." keys the fragment names, then the page ids.
    CString systemParams;
    const CString marker(u"system.");
    int semicolonFrom = 0;
    for (int at = fragment.find(marker); at >= 0;
         at = fragment.find(marker, at + marker.length())) {
        const int keyStart = at + marker.length();
        const int semicolon = fragment.find(u';', std::max(semicolonFrom, keyStart));
        const int keyEnd = semicolon < 0 ? fragment.length() : semicolon;
        semicolonFrom = semicolon < 0 ? fragment.length() : semicolon + 1;
        const CString key = fragment.mid(keyStart, keyEnd - keyStart);
        if (key.isEmpty() || !context.systemValue) continue;
        const CString value = context.systemValue(key);
        if (value.isEmpty()) continue;
        systemParams += (query.isEmpty() && systemParams.isEmpty()) ? u'?' : u'&';
        systemParams += key + u'=' + value;
    }
    const char16_t lead = (query.isEmpty() && systemParams.isEmpty()) ? u'?' : u'&';
    const CString target =
        base + query + systemParams + lead + formatPageParams(context.requestId, context.screenId);
    // Only bytes a request line can carry.
    return encodeRequestTarget(target);
}

CString encodeRequestTarget(const CString& target) {
    const std::u16string_view text = target.view();
    std::u16string out;
    out.reserve(text.size());
    for (size_t i = 0; i < text.size(); ++i) {
        const char16_t ch = text[i];
        if (ch > 0x20 && ch < 0x7F) {
            out += ch;
        } else if (ch < 0x80) {
            appendHex(out, ch);
        } else {
            // Non-ASCII goes out as its UTF-8 bytes; a lone surrogate as U+FFFD.
            const bool pair = ch >= 0xD800 && ch <= 0xDBFF && i + 1 < text.size() &&
                              text[i + 1] >= 0xDC00 && text[i + 1] <= 0xDFFF;
            const size_t units = pair ? 2 : 1;
            const std::string encoded = CString(text.substr(i, units)).toUtf8();
            i += units - 1;
            for (unsigned char byte : encoded) appendHex(out, byte);
        }
    }
    return CString(std::move(out));
}

}  // namespace zq
