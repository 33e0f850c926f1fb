#include "app/page_controller.h"

#include <gtest/gtest.h>

#include <fstream>
#include <string>

#include "platform/files.h"
#include "tests/support/test_env.h"

namespace zq {
namespace {

class PageControllerTest : public ::testing::Test {
protected:
    PageControllerTest() : controller_(ControllerFolders{dir_.path(), {}}) {
        std::ofstream(dir_.path() / SettingsStore::kDefaultsFile) << "[info-system]\nsys-x = 1\n";
    }

    std::string stored(const char* key) const {
        return controller_.settings().storedValue(CString(key)).toUtf8();
    }
    std::string live(const char* key) const {
        return controller_.settings().value(CString(key)).toUtf8();
    }

    test::TempDir dir_;
    PageController controller_;
};

TEST(RequestBookkeeping, CounterWrapsWithinSixteenBits) {
    RequestIdCounter counter;
    int last = 0;
    for (int i = 0; i < RequestIdCounter::kMaxRequestId; ++i) last = counter.next();
    EXPECT_EQ(last, 32767);
    EXPECT_EQ(counter.next(), 1);  // never 0: that id names no request
}

TEST(RequestBookkeeping, CancelFlagsAreShared) {
    CancelFlagTable flags;
    CancelFlag flag = flags.add(5);
    RequestRecord record;
    EXPECT_FALSE(isCancelled(record.cancelFlag));  // no flag: live
    record.cancelFlag = flag;
    EXPECT_FALSE(isCancelled(flag));
    EXPECT_TRUE(flags.cancel(5));
    EXPECT_TRUE(isCancelled(flag));
    EXPECT_TRUE(record.cancelled());  // the request record's copy sees it
    EXPECT_FALSE(flags.cancel(6));
    flags.remove(5);
    EXPECT_EQ(flags.find(5), nullptr);
    EXPECT_EQ(flag->load(), 1);  // a record outliving the table entry keeps its flag
}

// The pictures held share one budget of decoded pixels, whatever page they
// came for; a picture let go of by all its holders gives its pixels back.
TEST(RequestBookkeeping, HeldPicturesShareOneBudget) {
    const auto bound = std::make_shared<const Image>(1024, 1024, false, std::vector<uint32_t>());
    constexpr int64_t kFit = PictureBudget::kMaxPixels / (1024 * 1024);
    PictureBudget budget;
    std::vector<ImageRef> held;
    for (int64_t i = 0; i < kFit; ++i) {
        held.push_back(budget.charge(bound));
        ASSERT_NE(held.back(), nullptr) << i;
    }
    EXPECT_EQ(budget.charge(bound), nullptr);
    EXPECT_EQ(budget.charge(nullptr), nullptr);
    ImageRef copy = held.back();
    held.pop_back();
    EXPECT_EQ(budget.charge(bound), nullptr) << "a copy still holds it";
    copy.reset();
    ImageRef again = budget.charge(bound);
    ASSERT_NE(again, nullptr);
    EXPECT_EQ(again.get(), bound.get());
    held.clear();
    again.reset();
    EXPECT_EQ(budget.used(), 0);
}

TEST_F(PageControllerTest, SmallOperationsWithoutPageOrSession) {
    EXPECT_EQ(controller_.getItemByName(CString()), nullptr);
    EXPECT_EQ(controller_.getItemByName(CString("x")), nullptr);
    EXPECT_EQ(controller_.currentScreenId(), -1);
    EXPECT_EQ(controller_.getReceivedBytes(), 0.0f);
    EXPECT_EQ(controller_.getSentBytes(), 0.0f);
    EXPECT_TRUE(controller_.beginLoading(true, 1));

    controller_.chooseHost(-1);
    controller_.chooseHost(controller_.hostSet().count());
    EXPECT_EQ(stored("sys-last-choice"), "");
    EXPECT_EQ(stored("sys-curhost"), "");

    // The ids come round to one a picture request still holds: it is passed over.
    PageRequests& requests = controller_.requests();
    RequestRecord picture;
    picture.requestId = requests.requestCounter().current() + 1;
    requests.pendingTable().insert(picture);
    EXPECT_EQ(requests.newRequest(CString("http://h/p")).requestId, picture.requestId + 1);
}

TEST_F(PageControllerTest, SetSettingTouchesLiveSettingsOnlyForAll) {
    controller_.setSetting(CString("cli_user"), CString("ann"), 0, false, CString("save"));
    EXPECT_EQ(stored("cli-user"), "ann");
    EXPECT_EQ(live("cli-user"), "");
    const std::string file =
        readFile(dir_.path() / SettingsStore::kUserFile).value_or(std::string());
    EXPECT_NE(file.find("ann"), std::string::npos);

    controller_.setSetting(CString("cli-user"), CString("bob"), 0, false, CString("ALL"));
    EXPECT_EQ(live("cli-user"), "bob");
}

TEST_F(PageControllerTest, LinksAndRequestValues) {
    HostRecord host;
    host.parse(CString("h:81:82:n:r"));
    controller_.setCurrentHost(host);
    EXPECT_EQ(controller_.resolveUrl(CString("p.zqml")).toUtf8(), "http://h:82/p.zqml");

    controller_.setDeviceIdentity(CString("460"), CString("35 1+"));
    controller_.setCurrentUser(CString("ann"));
    controller_.useWatchListOf(CString("ann"));
    controller_.watchList()->add(kWatchStock, CString("600000"));
    controller_.watchList()->add(kWatchStock, CString("000001"));
    controller_.watchList()->add(kWatchFund, CString("f1"));
    controller_.setMemoryValue(CString("mem-a"), CString("m"));
    SettingsStore::putEntry(controller_.settings().live(), CString("sys-rowscount"), CString("12"),
                            kSectionSystem);
    const int id = controller_.requests().requestCounter().next();
    const std::string expected =
        "http://h/p?var_imei=35+1%2B&sys_stockcode=600000,000001"
        "&SYS-FUNDCODE=f1&mem-a=m&sys-rowscount=12&pageid=" +
        std::to_string(id) + "&screenid=-1";
    EXPECT_EQ(controller_
                  .buildRequestParams(CString("http://h/p#system.var_imei;system.sys_stockcode;"
                                              "system.SYS-FUNDCODE;system.mem-a;"
                                              "system.sys-rowscount;system.none"),
                                      id)
                  .toUtf8(),
              expected);
}

}  // namespace
}  // namespace zq
