#include "market/watch_list.h"

#include <gtest/gtest.h>

#include "platform/files.h"
#include "tests/support/test_env.h"

namespace zq {
namespace {

TEST(WatchEntryType, Words) {
    EXPECT_EQ(watchEntryType(CString(u"stock")), 0);
    EXPECT_EQ(watchEntryType(CString(u"FUND")), 1);
    EXPECT_EQ(watchEntryType(CString(u" Stock ")), 0);
    EXPECT_EQ(watchEntryType(CString(u"bond")), -1);
    EXPECT_EQ(watchEntryType(CString()), -1);
}

TEST(WatchList, AddIgnoresEmptyDuplicatesAndBadTypes) {
    WatchList list;
    EXPECT_TRUE(list.add(0, CString(u"600000")));
    EXPECT_FALSE(list.add(0, CString(u"600000")));
    EXPECT_FALSE(list.add(0, CString()));
    EXPECT_TRUE(list.add(1, CString(u"600000")));
    for (int bad : {-1, 2, 99}) {
        EXPECT_FALSE(list.add(bad, CString(u"1")));
        EXPECT_FALSE(list.contains(bad, CString(u"600000")));
        EXPECT_FALSE(list.remove(bad, CString(u"600000")));
        EXPECT_FALSE(list.move(bad, CString(u"600000"), true));
        EXPECT_TRUE(list.codes(bad).empty());
    }
    EXPECT_EQ(list.joinCodes(0), CString(u"600000"));
    EXPECT_TRUE(list.remove(0, CString(u"600000")));
    EXPECT_FALSE(list.contains(0, CString(u"600000")));
    EXPECT_TRUE(list.contains(1, CString(u"600000")));
}

TEST(WatchList, MoveStopsAtTheEnds) {
    WatchList list;
    for (const char16_t* code : {u"a", u"b", u"c"}) list.add(0, CString(code));
    EXPECT_FALSE(list.move(0, CString(u"a"), true));
    EXPECT_FALSE(list.move(0, CString(u"c"), false));
    EXPECT_TRUE(list.move(0, CString(u"c"), true));
    EXPECT_EQ(list.joinCodes(0), CString(u"a,c,b"));
    EXPECT_TRUE(list.move(0, CString(u"a"), false));
    EXPECT_EQ(list.joinCodes(0), CString(u"c,a,b"));
    EXPECT_FALSE(list.move(0, CString(u"x"), false));
}

TEST(WatchList, FileRoundTrip) {
    test::TempDir dir;
    WatchList list;
    list.add(0, CString(u"600000"));
    list.add(0, CString(u"000001"));
    list.add(1, CString(u"510050"));
    const std::filesystem::path path = dir.path() / "MyStock.ini";
    ASSERT_TRUE(list.save(path));
    EXPECT_EQ(*readFile(path), "[stock]\n1=600000\n2=000001\n[fund]\n1=510050\n");
    WatchList back = WatchList::load(path);
    EXPECT_EQ(back.joinCodes(0), CString(u"600000,000001"));
    EXPECT_EQ(back.joinCodes(1), CString(u"510050"));
    EXPECT_TRUE(WatchList::load(dir.path() / "missing.ini").codes(0).empty());
}

TEST(WatchList, BadFileLinesAreSkipped) {
    WatchList list = WatchList::fromFileText(
        "1=before\r\n[STOCK]\r\n1=600000\r\nnoequals\r\n2=\r\n3=600000\r\n4=a,b\r\n"
        "[other]\r\n1=x\r\n[fund]\r\n1=" +
        std::string(100, '9') + "\r\n2=510050\r\n");
    EXPECT_EQ(list.joinCodes(0), CString(u"600000"));
    EXPECT_EQ(list.joinCodes(1), CString(u"510050"));
}

TEST(RecentStockList, KeepsTwentyNewestFirst) {
    RecentStockList list;
    for (int i = 0; i < 25; ++i) {
        list.moveToFront(RecentStockEntry(CString::format(CString(u"%d"), i), CString(u"n")));
    }
    ASSERT_EQ(list.entries().size(), 20u);
    EXPECT_EQ(list.entries().front().code(), CString(u"24"));
    EXPECT_EQ(list.entries().back().code(), CString(u"5"));
    list.moveToFront(RecentStockEntry(CString(u"10"), CString(u"again")));
    EXPECT_EQ(list.entries().size(), 20u);
    EXPECT_EQ(list.entries().front().toText(), CString(u"10:again"));
}

TEST(RecentStockList, SeparatorsLeaveNamesAndTextRoundTrips) {
    RecentStockList list;
    list.moveToFront(RecentStockEntry(CString(u"600000"), CString(u"浦发,银:行")));
    list.moveToFront(RecentStockEntry(CString(u"000001"), CString(u"平安")));
    EXPECT_EQ(list.toText(), CString(u"000001:平安,600000:浦发银行"));
    EXPECT_EQ(list.joinFirstFields(), CString(u"000001,600000"));

    test::TempDir dir;
    ASSERT_TRUE(list.save(dir.path() / "MyLastBrowse.ini"));
    RecentStockList back;
    back.load(dir.path() / "MyLastBrowse.ini");
    EXPECT_EQ(back.toText(), list.toText());

    RecentStockList limited(2);
    limited.fromText(CString(u"a:1,,b:2,c:3"));
    EXPECT_EQ(limited.toText(), CString(u"a:1,b:2"));
}

}  // namespace
}  // namespace zq
