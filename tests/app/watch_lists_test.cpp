// The controller's watch-lists: shown pages enter the current list for its
// user, the request values read it, every user's list survives a restart.
#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <string>

#include "app/page_controller.h"
#include "platform/files.h"
#include "platform/ui_executor.h"
#include "tests/support/test_env.h"
#include "tests/support/test_font.h"

namespace zq {
namespace {

constexpr const char* kValues =
    "http://h/p#system.sys-stockcode;system.sys-fundcode;system.sys-laststocks";

class WatchListsTest : public ::testing::Test {
protected:
    WatchListsTest() { controller_ = makeController(); }
    std::unique_ptr<PageController> makeController() const {
        return std::make_unique<PageController>(
            ControllerFolders{scratch_.path(), scratch_.path()});
    }
    void show(const std::string& name, const std::string& text) {
        ASSERT_TRUE(writeFileAtomic(scratch_.path() / name, text));
        controller_->openUrl({.url = CString::fromUtf8("file://" + name),
                              .showLoading = false,
                              .blockInput = false});
    }
    // The request's query without its page and screen numbers.
    std::string sentValues() const {
        const std::string sent = controller_->buildRequestParams(CString(kValues), 1).toUtf8();
        return sent.substr(0, sent.find("pageid="));
    }
    WatchList& list() const { return *controller_->watchList(); }

    UiExecutor executor_;
    test::ScopedFixedFont font_;
    test::TempDir scratch_;
    std::unique_ptr<PageController> controller_;
};

TEST_F(WatchListsTest, ShownPagesEnterTheListForTheRequestValues) {
    controller_->recentStocks().fromText(CString(u"000001:BBB,600000:AAA"));
    EXPECT_EQ(sentValues(), "http://h/p?sys-laststocks=000001,600000&");

    // An empty list is not entered; a page enters one that holds codes.
    show("plain.zqml", "<zqml><body/></zqml>");
    EXPECT_EQ(sentValues(), "http://h/p?sys-laststocks=000001,600000&");
    show("added.zqml", "<zqml><add stock=\"600000\"/><body/></zqml>");
    EXPECT_EQ(sentValues(), "http://h/p?sys-stockcode=600000&sys-laststocks=000001,600000&");
}

// Regression: a list of funds alone was never entered, so its codes were
// never sent; codes holding "&" or "#" went out as they were, adding a
// parameter or hiding the page numbers behind a fragment.
TEST_F(WatchListsTest, FundsAloneAndOddCodesAreSentAsTheyAre) {
    show("funds.zqml", "<zqml><add fund=\"510050\"/><body/></zqml>");
    EXPECT_EQ(sentValues(), "http://h/p?sys-fundcode=510050&");
    show("odd.zqml",
         "<zqml><add stock=\"A&amp;B\"/><add stock=\"C#D\"/><add fund=\"E?F+%\"/>"
         "<addrecent code=\"G&amp;H\" name=\"n\"/><body/></zqml>");
    EXPECT_EQ(sentValues(),
              "http://h/p?sys-stockcode=A%26B,C%23D&sys-fundcode=510050,E%3FF%2B%25"
              "&sys-laststocks=G%26H&");
}

TEST_F(WatchListsTest, ATabbedPageEntersTheListAndReplacesTheUsersEntry) {
    list().add(kWatchStock, CString(u"600000"));
    show("tabs.zqml", "<zqml><tabbody><page caption=\"a\"/></tabbody></zqml>");
    EXPECT_EQ(sentValues(), "http://h/p?sys-stockcode=600000&");

    // "bob" has a list of his own, while another list is current for him:
    // a plain page keeps his entry, a tabbed page replaces it.
    controller_->useWatchListOf(CString(u"bob"));
    list().add(kWatchStock, CString(u"000001"));
    controller_->useWatchListOf(CString());
    controller_->setCurrentUser(CString(u"bob"));
    show("plain.zqml", "<zqml><body/></zqml>");
    EXPECT_EQ(sentValues(), "http://h/p?sys-stockcode=000001&");
    show("tabs.zqml", "<zqml><ty><pg caption=\"a\"/></ty></zqml>");
    EXPECT_EQ(sentValues(), "http://h/p?sys-stockcode=600000&");
}

TEST_F(WatchListsTest, EveryUsersListIsSavedAndReadBack) {
    list().add(kWatchStock, CString(u"600000"));
    show("li.zqml", "<zqml><saveuser name=\"li\"/><add stock=\"000001\"/><body/></zqml>");
    controller_->useWatchListOf(CString(u"wang"));  // as "stocksumbit" does
    list().add(kWatchFund, CString(u"510050"));
    ASSERT_TRUE(controller_->watchLists().saveWatchList());

    std::unique_ptr<PageController> fresh = makeController();
    fresh->watchLists().loadWatchList();
    EXPECT_EQ(fresh->watchList()->joinCodes(kWatchStock), CString(u"600000"));
    fresh->useWatchListOf(CString(u"li"));
    EXPECT_EQ(fresh->watchList()->joinCodes(kWatchStock), CString(u"000001"));
    fresh->useWatchListOf(CString(u"wang"));
    EXPECT_EQ(fresh->watchList()->joinCodes(kWatchFund), CString(u"510050"));
    fresh->useWatchListOf(CString());
    EXPECT_EQ(fresh->watchList()->joinCodes(kWatchStock), CString(u"600000"));
}

}  // namespace
}  // namespace zq
