// Link syntax of zqml pages and the parameters every server request gets.
//
// resolveLink turns what a page, soft key or action names into a full URL:
// "zqml://" host texts become "http://host:port" by the connection type,
// relative links are joined to the shown page (or its page base, or the
// current host), and "." and ".." segments of the path are taken out as
// browsers do. buildRequestTarget then adds the session parameter, the
// "system." values the link asks for and "pageid"/"screenid", and
// percent-encodes what may not stand in a request line.
//
// Pure functions over a context the caller fills; any thread.
#pragma once

#include <functional>
#include <map>
#include <optional>
#include <utility>

#include "core/host_record.h"
#include "net/connection_type.h"
#include "platform/cstring.h"

namespace zq {

enum class LinkScheme { Relative, Zqml, Http, File, TempFile, Sms, Tel };

// The scheme a link starts with, without regard to case.
LinkScheme linkScheme(const CString& link);
// The scheme's prefix length ("zqml://" is 7); 0 for a relative link.
int schemeLength(LinkScheme scheme);

struct LinkContext {
    // The shown page; without one relative links go to the current host.
    bool hasCurrentPage = false;
    CString currentUrl;
    CString pageBase;
    HostRecord currentHost;
    // Framed types: the socket port serves; any other: the HTTP port.
    int connectionType = connectionTypeNumber(ConnectionMode::Direct);
    // For a page base naming "#system." values.
    std::function<CString(const CString& key)> systemValue;
    // For "zqml://%name%..." links: the stored settings.
    std::function<CString(const CString& key)> storedSetting;
};

// The full URL of `link`. Throws ZQException("URL is Empty") for an empty
// link. The link's "$...$" variable blocks are cut out into `variables`
// ("@" + name -> value).
CString resolveLink(const CString& link, const LinkContext& context,
                    std::map<CString, CString>& variables);

struct RequestContext {
    int requestId = 0;
    int screenId = -1;
    // The session parameter (name, value) of a "host:port"; nullopt when none.
    std::function<std::optional<std::pair<CString, CString>>(const CString& hostPort)> sessionParam;
    // The value of a "system." key; empty leaves the key out.
    std::function<CString(const CString& key)> systemValue;
};

// "pageid=<id>&screenid=<id>".
CString formatPageParams(int requestId, int screenId);

// The request target sent to the server for `url`. The "#" fragment is not
// sent; its "system.key" names become "key=value" parameters.
CString buildRequestTarget(const CString& url, const RequestContext& context);

// Blanks, control characters and non-ASCII characters (as UTF-8 bytes)
// become "%XX"; everything else, '%', '&', '=', ',' and ';' included, stays.
CString encodeRequestTarget(const CString& target);

// The text up to, not including, the last '/' before the later of the first
// '?' and the first ';' (before the end when neither occurs).
CString urlDirectory(const CString& url);

// Splits an "http://" URL into host, port and path ('/' included). A bare
// host (no ':' before the path) gets port "80".
void splitHttpHostPort(const CString& url, CString& host, CString& port, CString& path);

}  // namespace zq
