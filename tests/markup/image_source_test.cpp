#include "markup/image_source.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

#include "items/hyperlink_item.h"
#include "items/image_item.h"
#include "markup/markup_page.h"
#include "platform/image.h"
#include "platform/surface.h"
#include "tests/support/markup_fixture.h"
#include "tests/support/test_env.h"
#include "ui/client_context.h"
#include "ui/container.h"
#include "ui/event.h"
#include "ui/image_cache.h"
#include "ui/page_services.h"
#include "ui/screen.h"
#include "ui/style.h"

namespace zq {
namespace {

TEST(PictureSourceTest, ResolvesAsLinksDo) {
    struct Case {
        const char* base;
        const char* source;
        const char* expected;
    };
    const Case cases[] = {
        {"http://h:80/dir/page", "/img/a.png", "http://h:80/img/a.png"},
        {"http://h:80/dir/page", "a.png", "http://h:80/dir/a.png"},
        // A page reached with a query: its folder, never the query (a bare
        // name once grew a URL per reply).
        {"http://h:80/dir/page.zqml?x=1/2", "pics/a.png", "http://h:80/dir/pics/a.png"},
        {"http://h:80/dir/page.zqml;s=1?x=/y", "/img/a.png", "http://h:80/img/a.png"},
        {"http://h:80/page.zqml?x=1", "a.png", "http://h:80/a.png"},
        {"http://h?x=/a/b", "a.png", "http://h/a.png"},
        {"file://index_s.zqml", "a.png", "file://a.png"},
        {"file://dir/p.zqml", "a.png", "file://dir/a.png"},
        {"http://h:80/dir/", "a.png", "http://h:80/dir/a.png"},
        {"http://h", "/img/a.png", "http://h/img/a.png"},
        {"http://h", "a.png", "http://h/a.png"},
        {"http://h/x", "file://images/logo.png", "file://images/logo.png"},
        {"http://h/x", "http://other/p.png", "http://other/p.png"},
        {"", "a.png", "a.png"},
        {"http://h/x", "", ""},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(resolvePictureSource(CString(c.base), CString(c.source)).toUtf8(), c.expected)
            << c.base << " + " << c.source;
    }
}

class PictureHost : public PageHost {
public:
    void onEvent(std::unique_ptr<Event>) override {}
    CString baseUrl() const override { return CString(u"http://h/dir/page"); }
    void fetchPicture(const CString& url, std::function<void(ImageRef)> done) override {
        fetched.push_back(url.toUtf8());
        pending.push_back(std::move(done));
    }
    std::vector<std::string> fetched;
    std::vector<std::function<void(ImageRef)>> pending;
};

class ImageElementTest : public test::MarkupFixture<PictureHost> {
protected:
    void SetUp() override {
        std::filesystem::create_directories(dir_.path() / "images");
        Surface surface(6, 4);
        ASSERT_TRUE(savePng(surface, (dir_.path() / "images" / "logo.png").string()));
        context_.setProgramFolder(dir_.path());
    }
    void TearDown() override {
        page_.reset();
        clearImageCache();
    }
    ImageRef picture() const {
        return loadImageFile((dir_.path() / "images" / "logo.png").string());
    }

    test::TempDir dir_;
};

TEST_F(ImageElementTest, LocalPicturesLoadOnlyFromTheProgramFolder) {
    ASSERT_TRUE(page_->loadPage(
        "<zqml><img src='file://IMAGES/Logo.png'/><img src='file://../images/logo.png'/>"
        "<img src='/etc/passwd'/></zqml>",
        &host_));
    ASSERT_NE(control<ImageItem>(0), nullptr);
    EXPECT_NE(control<ImageItem>(0)->getImage(), nullptr);
    EXPECT_EQ(control<ImageItem>(1)->getImage(), nullptr);
    EXPECT_EQ(control<ImageItem>(1)->getAltText().toUtf8(), "image");
    EXPECT_EQ(control<ImageItem>(2)->getImage(), nullptr);
    EXPECT_TRUE(host_.fetched.empty());  // "/etc/passwd" is a server path of no picture scheme
}

TEST_F(ImageElementTest, TwoImageLinksOfOneSourceFetchOnceAndShareThePicture) {
    ASSERT_TRUE(
        page_->loadPage("<zqml><a href='x' name='first'><img src='/p.png'/></a>"
                        "<a href='y' name='second'><img src='http://h/p.png'/></a></zqml>",
                        &host_));
    auto* first = control<HyperlinkItem>(0);
    auto* second = control<HyperlinkItem>(1);
    ASSERT_NE(first, nullptr);
    ASSERT_NE(second, nullptr);
    EXPECT_EQ(first->getId().toUtf8(), "first");
    EXPECT_EQ(host_.fetched, std::vector<std::string>{"http://h/p.png"});
    ASSERT_EQ(host_.pending.size(), 1u);
    host_.pending[0](picture());
    EXPECT_NE(first->getImage(), nullptr);
    EXPECT_EQ(first->getImage(), second->getImage());
    // Let go of when the page leaves the screen, and back when fetched again.
    host_.pending[0](nullptr);
    EXPECT_EQ(first->getImage(), nullptr);
    EXPECT_EQ(second->getImage(), nullptr);
    host_.pending[0](picture());
    EXPECT_NE(second->getImage(), nullptr);

    // A fetch that ends after its page is gone changes nothing.
    page_ = std::make_unique<MarkupPage>();
    ASSERT_TRUE(page_->loadPage("<zqml><a href='x'><img src='/q.png'/></a></zqml>", &host_));
    auto late = std::move(host_.pending.back());
    page_.reset();
    late(picture());
}

TEST_F(ImageElementTest, RemotePlainPicturesWaitForRepliesOfTheirScreen) {
    // Without a screen nothing is requested.
    ASSERT_TRUE(page_->loadPage("<zqml><img src='http://h/a.png'/></zqml>", &host_));
    EXPECT_TRUE(control<ImageItem>(0)->getUrl().isEmpty());
    EXPECT_EQ(responseListeners().count(3), 0u);

    page_ = std::make_unique<MarkupPage>();
    ASSERT_TRUE(page_->loadPage(
        "<zqml><body><img id='a' src='http://h/a.png'/><img src='b.png'/></body></zqml>", &host_));
    EXPECT_EQ(responseListeners().count(3), 2u);
    auto* first = dynamic_cast<ImageItem*>(page_->screen()->getContent()->getItem(0));
    ASSERT_NE(first, nullptr);
    EXPECT_EQ(first->getUrl().toUtf8(), "http://h/a.png");
    EXPECT_TRUE(host_.fetched.empty());
    page_.reset();
    EXPECT_EQ(responseListeners().count(3), 0u);
}

}  // namespace
}  // namespace zq
