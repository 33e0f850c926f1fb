#include <gtest/gtest.h>

#include "platform/cstring.h"
#include "platform/device_services.h"

namespace zq {
namespace {

TEST(BrowserLink, OnlyWebLinksLeaveTheClient) {
    for (const char16_t* link : {u"http://h/", u"HTTPS://h/p?a=1", u"Http://x"}) {
        EXPECT_TRUE(isBrowserLink(link)) << CString(link).toUtf8();
    }
    for (const char16_t* link :
         {u"", u"http://", u"file:///etc/passwd", u"/etc/passwd", u"pages/a.zqml", u"--help",
          u"ftp://h/", u"http://h/\nx", u" http://h/", u"javascript:alert(1)"}) {
        EXPECT_FALSE(isBrowserLink(link)) << CString(link).toUtf8();
    }
}

}  // namespace
}  // namespace zq
