#include "app/link_resolver.h"

#include <gtest/gtest.h>

#include <map>
#include <string>

#include "core/zq_exception.h"

namespace zq {
namespace {

struct ResolveCase {
    const char* name;
    const char* currentUrl;  // null: no page shown
    const char* pageBase;
    int connectionType;
    const char* link;
    const char* expected;
};

HostRecord host(const char* text) {
    HostRecord record;
    record.parse(CString(text));
    return record;
}

std::string resolve(const ResolveCase& c) {
    LinkContext context;
    context.hasCurrentPage = c.currentUrl != nullptr;
    if (c.currentUrl) context.currentUrl = CString(c.currentUrl);
    context.pageBase = CString(c.pageBase);
    context.currentHost = host("cur:8001:8002:n:r");
    context.connectionType = c.connectionType;
    context.systemValue = [](const CString& key) {
        return key.view() == u"sys-base" ? CString("sb:91:92:n:r") : CString();
    };
    context.storedSetting = [](const CString& key) {
        return key.view() == u"sys-host" ? CString("st:71:72:n:r") : CString();
    };
    std::map<CString, CString> variables;
    return resolveLink(CString(c.link), context, variables).toUtf8();
}

TEST(LinkResolver, ResolvesEveryForm) {
    const ResolveCase cases[] = {
        {"relative beside a query", "http://h:80/a/b.zqml?x=1", "", 1, "page.zqml",
         "http://h:80/a/page.zqml"},
        {"relative", "http://h:80/a/b.zqml", "", 1, "page.zqml", "http://h:80/a/page.zqml"},
        {"relative beside a ';'", "http://h:80/a/b.zqml;s=1/x", "", 1, "p", "http://h:80/a/p"},
        {"rooted", "http://h:80/a/b.zqml", "", 1, "/p.zqml", "http://h:80/p.zqml"},
        // Regression: the base lost its host when the only '/' was the scheme's.
        {"relative to a host with a query", "http://h:80?x=1", "", 1, "p.zqml",
         "http://h:80/p.zqml"},
        {"relative to a host with ';'", "http://h:80;jsid=2", "", 1, "p", "http://h:80/p"},
        // Regression: a rooted link on a host without a port lost the server.
        {"rooted on a bare host", "http://h/a/b", "", 1, "/p.zqml", "http://h:80/p.zqml"},
        {"rooted on a local page", "file://a/b.zqml", "", 1, "/p", "http://cur:8002/p"},
        {"local relative", "file://dir/b.zqml", "", 1, "x.zqml", "file://dir/x.zqml"},
        {"local relative at the top", "file://b.zqml", "", 1, "x.zqml", "file://x.zqml"},
        {"no page: current host, socket port", nullptr, "", 1, "p.zqml", "http://cur:8002/p.zqml"},
        {"no page: current host, HTTP port", nullptr, "", 2, "/p.zqml", "http://cur:8001/p.zqml"},
        {"page base", "http://h:80/a/b", "pb:61:62:n:r", 3, "p", "http://pb:62/p"},
        {"page base from a system value", "http://h:80/a/b", "#system.sys-base", 4, "p",
         "http://sb:91/p"},
        {"zqml, framed type", nullptr, "", 1, "zqml://h:8001:8002:x:y:/p", "http://h:8002/p"},
        {"zqml, HTTP type", nullptr, "", 2, "zqml://h:8001:8002:x:y:/p", "http://h:8001/p"},
        {"zqml, any case", nullptr, "", 5, "ZQML://h:1:2:x:y:/p", "http://h:2/p"},
        {"zqml host from the stored settings", nullptr, "", 1, "zqml://%sys-host%:/p",
         "http://st:72/p"},
        {"zqml that does not parse stays as given", nullptr, "", 1, "zqml://nohost$a=1&$",
         "zqml://nohost$a=1&$"},
        {"http stays", "http://h:80/a", "", 1, "HTTP://x/p?a=1", "HTTP://x/p?a=1"},
        {"file stays", "http://h:80/a", "", 1, "file://index.zqml", "file://index.zqml"},
        {"tempfile stays", "http://h:80/a", "", 1, "tempfile://t.zqml?x", "tempfile://t.zqml?x"},
        {"tel stays", "http://h:80/a", "", 1, "tel://10086", "tel://10086"},
        {"sms stays", "http://h:80/a", "", 1, "sms://10086", "sms://10086"},
        {"&amp; and variables", "http://h:80/a", "", 1, "http://h/p?a=1&amp;b=2$v=1&$",
         "http://h/p?a=1&b=2"},
    };
    for (const ResolveCase& c : cases) EXPECT_EQ(resolve(c), c.expected) << c.name;
}

// Regression: "../g.zqml" on /sub/deep/p.zqml went out as
// "/sub/deep/../g.zqml", which a server that takes paths as written has not.
TEST(LinkResolver, TakesOutDotSegments) {
    const ResolveCase cases[] = {
        {"up one", "http://h:80/sub/deep/p.zqml", "", 1, "../g.zqml", "http://h:80/sub/g.zqml"},
        {"up two", "http://h:80/sub/deep/p.zqml", "", 1, "../../g.zqml", "http://h:80/g.zqml"},
        {"stops at the root", "http://h:80/sub/p.zqml", "", 1, "../../../g.zqml",
         "http://h:80/g.zqml"},
        {"here", "http://h:80/sub/p.zqml?x=1", "", 1, "./g.zqml?y=../z",
         "http://h:80/sub/g.zqml?y=../z"},
        {"down and up", "http://h:80/sub/p.zqml", "", 1, "deep/./../m.zqml",
         "http://h:80/sub/m.zqml"},
        {"the folder itself", "http://h:80/sub/deep/p.zqml", "", 1, "..", "http://h:80/sub/"},
        {"rooted", "http://h:80/sub/p.zqml", "", 1, "/a/../b.zqml", "http://h:80/b.zqml"},
        {"a name with dots", "http://h:80/sub/p.zqml", "", 1, "..g/g..zqml",
         "http://h:80/sub/..g/g..zqml"},
        {"as written", "http://h:80/a", "", 1, "http://x:1/a/./b/../c#system.k",
         "http://x:1/a/c#system.k"},
        {"a query of a bare host", "http://h:80/a", "", 1, "http://x:1?u=/a/../b",
         "http://x:1?u=/a/../b"},
        {"through a page base", "http://h:80/a/b", "pb:61:62:n:r", 3, "x/../p", "http://pb:62/p"},
        {"local", "file://sub/deep/p.zqml", "", 1, "../loc.zqml", "file://sub/loc.zqml"},
        {"local down and up", "file://sub/p.zqml", "", 1, "deep/../m.zqml", "file://sub/m.zqml"},
        // The file layer refuses what still leaves the resource folder.
        {"local out of its folder", "file://sub/p.zqml", "", 1, "../../x.zqml", "file://../x.zqml"},
        {"local from the top", "file://p.zqml", "", 1, "../x.zqml", "file://../x.zqml"},
    };
    for (const ResolveCase& c : cases) EXPECT_EQ(resolve(c), c.expected) << c.name;
}

// A dot written as "%2e" went out as it was: a server that decodes the path
// got "/sub/deep/../g.zqml", which names no file. Browsers take "%2e" and
// "%2E" in a segment as the dot itself.
TEST(LinkResolver, TakesOutEncodedDotSegments) {
    const ResolveCase cases[] = {
        {"up one", "http://h:80/sub/deep/p.zqml", "", 1, "%2e%2e/g.zqml", "http://h:80/sub/g.zqml"},
        {"mixed", "http://h:80/sub/deep/p.zqml", "", 1, ".%2E/g.zqml", "http://h:80/sub/g.zqml"},
        {"here", "http://h:80/sub/deep/p.zqml", "", 1, "%2E/g.zqml", "http://h:80/sub/deep/g.zqml"},
        {"stops at the root", "http://h:80/sub/p.zqml", "", 1, "%2e%2e/%2e%2e/%2e%2e/g.zqml",
         "http://h:80/g.zqml"},
        {"the query stays", "http://h:80/sub/p.zqml", "", 1, "g.zqml?u=%2e%2e/x",
         "http://h:80/sub/g.zqml?u=%2e%2e/x"},
        {"a backslash separates folders", "http://h:80/sub/deep/p.zqml", "", 1, "..\\g.zqml",
         "http://h:80/sub/g.zqml"},
        {"a local backslash", "file://sub/deep/p.zqml", "", 1, "%2e%2e\\x\\y.zqml?a=\\",
         "file://sub/x/y.zqml?a=\\"},
        {"a local climb stays plain", "file://p.zqml", "", 1, "%2E%2e/x.zqml", "file://../x.zqml"},
    };
    for (const ResolveCase& c : cases) EXPECT_EQ(resolve(c), c.expected) << c.name;
}

TEST(LinkResolver, VariablesAndEmptyLink) {
    LinkContext context;
    std::map<CString, CString> variables;
    resolveLink(CString("http://h/p$a=1&b=2&$"), context, variables);
    EXPECT_EQ(variables[CString("@a")].toUtf8(), "1");
    EXPECT_EQ(variables[CString("@b")].toUtf8(), "2");
    try {
        resolveLink(CString(), context, variables);
        FAIL() << "an empty link must throw";
    } catch (const ZQException& e) {
        EXPECT_EQ(e.message().toUtf8(), "URL is Empty");
    }
}

TEST(LinkResolver, SplitsHostAndPort) {
    struct {
        const char* url;
        const char* host;
        const char* port;
        const char* path;
    } cases[] = {
        {"http://h:81/a?b", "h", "81", "/a?b"},
        {"http://h/a", "h", "80", "/a"},
        {"http://h", "h", "80", ""},
        {"h:81", "h", "81", ""},
        {"http://h/a:b", "h", "80", "/a:b"},
        {"HTTP://h/p?u=http://x:1/y", "h", "80", "/p?u=http://x:1/y"},
    };
    for (const auto& c : cases) {
        CString host;
        CString port;
        CString path;
        splitHttpHostPort(CString(c.url), host, port, path);
        EXPECT_EQ(host.toUtf8(), c.host) << c.url;
        EXPECT_EQ(port.toUtf8(), c.port) << c.url;
        EXPECT_EQ(path.toUtf8(), c.path) << c.url;
    }
}

std::string target(const char* url) {
    RequestContext context;
    context.requestId = 7;
    context.screenId = 3;
    context.sessionParam =
        [](const CString& hostPort) -> std::optional<std::pair<CString, CString>> {
        if (hostPort.view() == u"s:80") return std::make_pair(CString("jsid"), CString("abc"));
        if (hostPort.view() == u"e:80") return std::make_pair(CString("jsid"), CString());
        return std::nullopt;
    };
    context.systemValue = [](const CString& key) {
        if (key.view() == u"sys-clientver") return CString("2.2.0.11");
        if (key.view() == u"var_imei") return CString("35%2B1");
        if (key.view() == u"k") return CString("v");
        return CString();
    };
    return buildRequestTarget(CString(url), context).toUtf8();
}

TEST(RequestParams, AddsPageSessionAndSystemParameters) {
    const char* const cases[][2] = {
        {"http://h/p", "http://h/p?pageid=7&screenid=3"},
        {"http://h/p?a=1", "http://h/p?a=1&pageid=7&screenid=3"},
        {"http://h/p#system.sys-clientver",
         "http://h/p?sys-clientver=2.2.0.11&pageid=7&screenid=3"},
        {"http://h/p?a=1#system.var_imei;system.nokey",
         "http://h/p?a=1&var_imei=35%2B1&pageid=7&screenid=3"},
        {"http://h/p#system.k;system.sys-clientver",
         "http://h/p?k=v&sys-clientver=2.2.0.11&pageid=7&screenid=3"},
        {"http://h/p#system.k?a=1", "http://h/p?a=1&k=v&pageid=7&screenid=3"},
        {"http://h/p#other", "http://h/p?pageid=7&screenid=3"},
        {"http://s/p?a=1", "http://s/p;jsid=abc?a=1&pageid=7&screenid=3"},
        {"http://s:80/p", "http://s:80/p;jsid=abc?pageid=7&screenid=3"},
        {"http://s/p;jsid=old", "http://s/p;jsid=old?pageid=7&screenid=3"},
        {"http://s:81/p", "http://s:81/p?pageid=7&screenid=3"},
        {"http://e/p", "http://e/p?pageid=7&screenid=3"},
    };
    for (const auto& c : cases) EXPECT_EQ(target(c[0]), c[1]) << c[0];
}

// Regression: blanks and non-ASCII went into the request line raw and broke it.
TEST(RequestParams, EncodesWhatARequestLineCannotCarry) {
    EXPECT_EQ(target("http://h/p?q=a b&n=中,x;y=1%41"),
              "http://h/p?q=a%20b&n=%E4%B8%AD,x;y=1%41&pageid=7&screenid=3");
    EXPECT_EQ(encodeRequestTarget(CString(u"a\tb\r\n\x7f")).toUtf8(), "a%09b%0D%0A%7F");
    EXPECT_EQ(encodeRequestTarget(CString(u"\U0001F600")).toUtf8(), "%F0%9F%98%80");
}

}  // namespace
}  // namespace zq
