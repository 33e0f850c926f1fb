// Pages through the application's own controller: the styles a page builds
// die with it, its "/" style-sheet links reach its server, and marquees
// find their texts through the lookup the application installs.
#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <memory>
#include <string>
#include <thread>

#include "app/application.h"
#include "app/page_controller.h"
#include "items/item_makers.h"
#include "items/marquee_item.h"
#include "markup/side_effect_builders.h"
#include "markup/style_sheet.h"
#include "platform/files.h"
#include "platform/message_box.h"
#include "platform/ui_executor.h"
#include "tests/app/controller_fixture.h"
#include "tests/support/test_env.h"
#include "tests/support/test_font.h"
#include "tests/support/test_server.h"
#include "ui/client_context.h"
#include "ui/command_item.h"
#include "ui/container.h"
#include "ui/default_styles.h"
#include "ui/display.h"
#include "ui/empty_container.h"
#include "ui/font_cache.h"
#include "ui/screen.h"
#include "ui/style.h"

namespace zq {
namespace {

std::string page(const std::string& body) { return "<zqml><body>" + body + "</body></zqml>"; }

class PageContentTest : public test::ControllerFixture<> {
protected:
    void open(const std::string& link) {
        controller_->openUrl(
            {.url = CString::fromUtf8(link), .screenId = controller_->currentScreenId()});
    }
};

// Every load left its styles in the process-wide registry until exit, so a
// page that refreshed itself grew without bound. The shared start-up styles
// are built again here, by the first page that asks: they must stay the
// registry's (ASan sees a page that freed them).
TEST_F(PageContentTest, StylesOfAPageDieWithIt) {
    const std::string body =
        "<body><style>k { fc:#ff0000; bc:#000000 }</style>"
        "<text class='k'>text</text><a href='x'>link</a><a href='y'><text>in</text></a>"
        "<button caption='b'/><hr/><ul><text>t</text></ul><progressbar/><br/>"
        "<nobr><text>n</text></nobr><marquee defaultStr='m'/>"
        "<command><commanditem caption='go' action='forward(x)'/></command></body></zqml>";
    ASSERT_TRUE(writeFileAtomic(scratch_.path() / "p.zqml", "<zqml>" + body));
    // The first page is not kept, so it and its styles go soon.
    ASSERT_TRUE(writeFileAtomic(scratch_.path() / "first.zqml", "<zqml cache='FALSE'>" + body));
    freeTrackedStyles();
    open("file://first.zqml");
    ASSERT_TRUE(shows("first.zqml"));
    for (int i = 0; i < 30; ++i) open("file://p.zqml");
    ASSERT_TRUE(shows("p.zqml"));
    const size_t settled = trackedStyleCount();
    for (int i = 0; i < 1000; ++i) open("file://p.zqml");
    EXPECT_EQ(trackedStyleCount(), settled);
    EXPECT_LT(settled, 2000u);
    // The start-up styles the first page happened to build are still there.
    EXPECT_EQ(defaultItemStyle()->color, 0xFFFFFFu);
    EXPECT_EQ(screenDefaultStyle()->flags, 2049u);
    EXPECT_EQ(menuEntryStyle()->flags, 49u);
    EXPECT_EQ(defaultInlineStyle()->paddingVertical, 4);
}

// A "/" style-sheet link failed on a page served from the server root, and
// always on the first page.
TEST_F(PageContentTest, RootStyleSheetLinkReachesThePagesServer) {
    server_.writePage("css/s.css", "hot{font-color:#ff0000}\n");
    server_.writePage("a.zqml", page("<style href=\"/css/s.css\"/><text class=\"hot\">x</text>"));
    auto session = controller_->requests().makeSession();
    session->setConnectionType(1);
    HttpGatewayConfig config;
    config.mobileAddress = test::TestServer::gatewayAddress();
    config.port = server_.gatewayPort();
    session->setGateway(config, CString(u"中国移动(CM)"));
    controller_->setSession(std::move(session));
    controller_->session()->setReplyWaitMs(2000);

    open(server_.urlFor("/a.zqml"));
    ASSERT_TRUE(pumpUntil([&] { return shows("/a.zqml"); }));
    const std::vector<testserver::ReceivedRequest> requests = server_.requests();
    ASSERT_EQ(requests.size(), 2u);
    EXPECT_EQ(requests[1].target.path, "/css/s.css");
    Container* content = controller_->currentScreen()->getContent();
    ASSERT_EQ(content->size(), 1);
    EXPECT_EQ(content->getItem(0)->getStyle()->getColor(), 0x0000FFu);
}

// Regression: a local page too large to read was reported as a page that
// did not parse.
TEST_F(PageContentTest, APageTooLargeToReadIsSaidSoAndThePageShownStays) {
    ASSERT_TRUE(writeFileAtomic(scratch_.path() / "a.zqml", page("<text>a</text>")));
    ASSERT_TRUE(writeFileAtomic(scratch_.path() / "big.zqml",
                                std::string(MarkupPage::kMaxPageFileBytes + 1, ' ')));
    open("file://a.zqml");
    ASSERT_TRUE(shows("a.zqml"));
    clearMessageBoxLog();
    open("file://big.zqml");
    EXPECT_TRUE(shows("a.zqml"));
    const std::vector<MessageBoxRecord> boxes = messageBoxLog();
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].text, CString(MarkupPage::kPageTooLargeText));
}

// The application never installed the marquee text lookup, so a marquee
// that names an "id" showed nothing; then it installed a second one that hid
// the texts pages set.
TEST(MarqueeLookup, TheApplicationInstallsIt) {
    test::TempDir dir;
    {
        Application app(ControllerFolders{dir.path(), dir.path()}, StartupHooks{});
        SettingsStore::putEntry(app.controller().settings().live(), CString(u"sys-news"),
                                CString(u"shares up"), u"info-system");
        EXPECT_EQ(lookupMarqueeText(CString(u"sys-news")), CString(u"shares up"));
        MarqueeItem marquee(CString(), CString(u"sys-news"), nullptr);
        marquee.showNotify();
        EXPECT_EQ(marquee.getText(), CString(u"shares up"));
        app.controller().sideEffects()->setMarqueeText(CString(u"sys-news"),
                                                       CString(u"from a page"));
        EXPECT_EQ(lookupMarqueeText(CString(u"sys-news")), CString(u"from a page"));
    }
    EXPECT_TRUE(lookupMarqueeText(CString(u"sys-news")).isEmpty());
}

}  // namespace
}  // namespace zq
