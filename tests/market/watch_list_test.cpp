#include "market/watch_list.h"

#include <gtest/gtest.h>

#include <vector>

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
    ASSERT_TRUE(WatchListFile::save(path, list, {}));
    EXPECT_EQ(*readFile(path), "[stock]\n1=600000\n2=000001\n[fund]\n1=510050\n");
    const WatchListFile back = WatchListFile::load(path);
    EXPECT_EQ(back.own.joinCodes(0), CString(u"600000,000001"));
    EXPECT_EQ(back.own.joinCodes(1), CString(u"510050"));
    EXPECT_TRUE(back.users.empty());
    const WatchListFile missing = WatchListFile::load(dir.path() / "missing.ini");
    EXPECT_TRUE(missing.own.codes(0).empty());
    EXPECT_TRUE(missing.users.empty());
}

TEST(WatchList, BadFileLinesAreSkipped) {
    const std::string text =
        "1=before\r\n[STOCK]\r\n1=600000\r\nnoequals\r\n2=\r\n3=600000\r\n4=a,b\r\n"
        "[other]\r\n1=x\r\n[fund]\r\n1=" +
        std::string(100, '9') + "\r\n2=510050\r\n";
    const WatchList list = WatchListFile::fromFileText(text).own;
    EXPECT_EQ(list.joinCodes(0), CString(u"600000"));
    EXPECT_EQ(list.joinCodes(1), CString(u"510050"));
}

TEST(WatchList, AddRefusesWhatTheFileCannotGiveBack) {
    WatchList list;
    for (const char16_t* bad : {u"a,b", u"a:b", u"a=b", u"[a", u"a]", u"a\nINJECTED", u"a\r",
                                u"a\tb", u"a\x7f", u" 600000", u"600000 ", u"\U0001F600"}) {
        EXPECT_FALSE(list.add(kWatchFund, CString(bad))) << CString(bad).toUtf8();
    }
    EXPECT_FALSE(list.add(kWatchStock, CString(std::u16string(65, u'9'))));
    EXPECT_TRUE(list.add(kWatchStock, CString(std::u16string(64, u'9'))));
    EXPECT_TRUE(list.add(kWatchStock, CString(u"浦发 A")));
    EXPECT_TRUE(list.codes(kWatchFund).empty());

    // Whatever a list took reads back from its file the same.
    const WatchList back = WatchListFile::fromFileText(WatchListFile::toFileText(list, {})).own;
    EXPECT_EQ(back.joinCodes(kWatchStock), list.joinCodes(kWatchStock));

    WatchList full;
    for (size_t i = 0; i < WatchList::kMaxCodes; ++i) {
        ASSERT_TRUE(full.add(kWatchStock, CString::format(CString(u"%d"), static_cast<int>(i))));
    }
    EXPECT_FALSE(full.add(kWatchStock, CString(u"x")));
    const WatchList fullBack = WatchListFile::fromFileText(WatchListFile::toFileText(full, {})).own;
    EXPECT_EQ(fullBack.codes(kWatchStock).size(), WatchList::kMaxCodes);
}

// Regression: "autodown" replaced a list without add()'s checks, and a code
// holding line feeds wrote sections of its own into the file.
TEST(WatchList, AssignTakesOnlyWhatAddTakes) {
    WatchList list;
    list.add(kWatchFund, CString(u"510050"));
    list.assign(kWatchStock,
                {CString(u"600001"), CString(u"AB\n[fund]\n1=666666"), CString(),
                 CString(u"600001"), CString(u"a,b"), CString(u" 1"), CString(u"000001")});
    EXPECT_EQ(list.joinCodes(kWatchStock), CString(u"600001,000001"));
    EXPECT_EQ(list.joinCodes(kWatchFund), CString(u"510050"));
    const WatchList back = WatchListFile::fromFileText(WatchListFile::toFileText(list, {})).own;
    EXPECT_EQ(back.joinCodes(kWatchStock), CString(u"600001,000001"));
    EXPECT_EQ(back.joinCodes(kWatchFund), CString(u"510050"));

    std::vector<CString> many;
    for (size_t i = 0; i < WatchList::kMaxCodes + 5; ++i) {
        many.push_back(CString::format(CString(u"%d"), static_cast<int>(i)));
    }
    list.assign(kWatchFund, many);
    EXPECT_EQ(list.codes(kWatchFund).size(), WatchList::kMaxCodes);
}

// Regression: "A&B" added a parameter of its own to a request and "A#B"
// cut off the rest of it.
TEST(WatchList, RequestCodesAreEncodedOneByOne) {
    WatchList list;
    for (const char16_t* code : {u"A&B", u"A#B", u"a?b", u"5%", u"1+1", u"600000.SH", u"浦发"}) {
        ASSERT_TRUE(list.add(kWatchStock, CString(code)));
    }
    EXPECT_EQ(list.requestCodes(kWatchStock).toUtf8(),
              "A%26B,A%23B,a%3Fb,5%25,1%2B1,600000.SH,%E6%B5%A6%E5%8F%91");
    EXPECT_EQ(list.requestCodes(kWatchFund), CString());
    RecentStockList recent;
    recent.moveToFront(RecentStockEntry(CString(u"B#1"), CString(u"n")));
    recent.moveToFront(RecentStockEntry(CString(u"A&1"), CString(u"n")));
    EXPECT_EQ(recent.requestCodes().toUtf8(), "A%261,B%231");
}

TEST(WatchListFile, EveryUsersListReadsBack) {
    WatchList own;
    own.add(kWatchStock, CString(u"600000"));
    WatchList li(CString(u"li 李]\n"));
    li.add(kWatchStock, CString(u"000001"));
    li.add(kWatchFund, CString(u"510050"));
    WatchList empty(CString(u"wang"));
    WatchList unnamed;
    unnamed.add(kWatchStock, CString(u"1"));
    const std::string text = WatchListFile::toFileText(own, {&li, &empty, &unnamed});
    EXPECT_EQ(text,
              "[stock]\n1=600000\n[fund]\n[stock:li+%E6%9D%8E%5D%0A]\n1=000001\n"
              "[fund:li+%E6%9D%8E%5D%0A]\n1=510050\n");

    const WatchListFile back = WatchListFile::fromFileText(text);
    EXPECT_EQ(back.own.joinCodes(kWatchStock), CString(u"600000"));
    ASSERT_EQ(back.users.size(), 1u);
    EXPECT_EQ(back.users[0].getName(), li.getName());
    EXPECT_EQ(back.users[0].joinCodes(kWatchStock), CString(u"000001"));
    EXPECT_EQ(back.users[0].joinCodes(kWatchFund), CString(u"510050"));
    // A user's sections stay out of the own list.
    EXPECT_EQ(back.own.joinCodes(kWatchFund), CString());
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
    EXPECT_EQ(list.requestCodes(), CString(u"000001,600000"));

    test::TempDir dir;
    ASSERT_TRUE(list.save(dir.path() / "MyLastBrowse.ini"));
    RecentStockList back;
    back.load(dir.path() / "MyLastBrowse.ini");
    EXPECT_EQ(back.toText(), list.toText());

    RecentStockList limited(2);
    limited.fromText(CString(u"a:1,,b:2,c:3"));
    EXPECT_EQ(limited.toText(), CString(u"a:1,b:2"));
}

// Regression: "R,4" was kept as "R4", a code the user never viewed, and a
// line feed in a code or name went into the file.
TEST(RecentStockList, RefusesACodeAListCannotHold) {
    const struct {
        const char16_t* code;
        const char16_t* name;
        const char16_t* kept;  // the list's text afterwards
    } cases[] = {
        {u"600000", u"浦发", u"600000:浦发"},
        {u" 600000 ", u"浦发", u"600000:浦发"},
        {u"R,4", u"r", u""},
        {u"R:4", u"r", u""},
        {u"60\n0000", u"r", u""},
        {u"60\u00050000", u"r", u""},
        {u"", u"r", u""},
        {u"600000", u"浦\n发\r", u"600000:浦发"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(CString(c.code).toUtf8());
        RecentStockList list;
        list.moveToFront(RecentStockEntry(CString(c.code), CString(c.name)));
        EXPECT_EQ(list.toText(), CString(c.kept));
    }
    RecentStockList loaded;
    loaded.fromText(CString(u"60\n1:a,600002:b\n,600003"));
    EXPECT_EQ(loaded.toText(), CString(u"600002:b,600003:"));
}

}  // namespace
}  // namespace zq
