#include "net/host_set.h"

#include <gtest/gtest.h>

#include "platform/clock.h"

namespace zq {
namespace {

std::vector<CString> names(const HostSet& set) {
    std::vector<CString> out;
    for (int i = 0; i < set.count(); ++i) out.push_back(set.host(i).name);
    return out;
}

TEST(HostRecordTest, TextFormRoundTripsWithColonsInRest) {
    HostRecord record;
    ASSERT_TRUE(record.parse(u"10.0.0.1:80:8002:alpha:x:y"));
    EXPECT_EQ(record.toText(), CString(u"10.0.0.1:80:8002:alpha:x:y"));

    HostRecord copy;
    ASSERT_TRUE(copy.parse(record.toText()));
    EXPECT_TRUE(copy.equals(record));
    EXPECT_EQ(copy.rest, record.rest);
}

TEST(HostSetTest, EmptyConfigurationGivesNoHostsAndTheDefaultCarrier) {
    HostSet set;
    EXPECT_EQ(set.currentIndex(), -1);
    set.load(u"", u"", u"", u"");
    EXPECT_EQ(set.count(), 0);
    EXPECT_EQ(set.currentIndex(), 0);
    EXPECT_EQ(set.carrierName(), CString(kCarrierMobile));
    EXPECT_TRUE(set.host(0).address.isEmpty());
    EXPECT_TRUE(set.host(-1).address.isEmpty());
}

TEST(HostSetTest, SavedHostOfSecondCarrierComesFirstEvenWithFirstCarrierHosts) {
    HostSet set;
    set.load(u"t2:80:90:T2:", u"m1:80:90:M1:,m2:80:90:M2:", u"t1:80:90:T1:,t2:80:90:T2:",
             u"u1:80:90:U1:");
    EXPECT_EQ(set.carrierName(), CString(kCarrierTelecom));
    EXPECT_EQ(names(set), (std::vector<CString>{u"T2", u"T1", u"M1", u"M2", u"U1"}));
    EXPECT_EQ(set.host(0).label, CString(u"主站( T2 )"));
    EXPECT_EQ(set.host(0).speedResult, -1);
}

TEST(HostSetTest, WithoutSavedHostTheTickPicksFromTheFirstCarrier) {
    ScopedTickSource tick([] { return 4u; });  // 4 % 3 == 1
    HostSet set;
    set.load(u"", u"a:1:1:A:,b:1:1:B:,c:1:1:C:", u"", u"u:1:1:U:");
    EXPECT_EQ(set.carrierName(), CString(kCarrierMobile));
    EXPECT_EQ(names(set), (std::vector<CString>{u"B", u"A", u"C", u"U"}));
}

TEST(HostSetTest, TickWalksTheOtherCarriersWhenTheFirstIsEmpty) {
    HostRecord none;
    HostSet::CarrierLists lists;
    lists[1].resize(2);
    lists[1][0].name = u"T0";
    lists[1][1].name = u"T1";
    lists[2].resize(1);
    lists[2][0].name = u"U0";
    lists[2][0].address = u"u";
    lists[1][0].address = lists[1][1].address = u"t";

    std::vector<HostRecord> out;
    CString carrier = u"unchanged";
    HostSet::chooseHost(lists, none, 2, out, carrier);  // 2 % 3 lands on the third carrier
    EXPECT_EQ(carrier, CString(kCarrierUnicom));
    ASSERT_EQ(out.size(), 3u);
    EXPECT_EQ(out[0].name, CString(u"U0"));
    EXPECT_EQ(out[1].name, CString(u"T0"));
    EXPECT_EQ(out[2].name, CString(u"T1"));

    out.clear();
    HostSet::chooseHost(lists, none, 4, out, carrier);  // 4 % 3 == 1: second host of Telecom
    EXPECT_EQ(carrier, CString(kCarrierTelecom));
    EXPECT_EQ(out[0].name, CString(u"T1"));
    EXPECT_EQ(out[1].name, CString(u"T0"));

    out.clear();
    HostSet::chooseHost(HostSet::CarrierLists(), none, 7, out, carrier);
    EXPECT_TRUE(out.empty());
    EXPECT_EQ(carrier, CString(kCarrierTelecom));
}

TEST(HostSetTest, OnlyThirdCarrierHostsMakeItCurrent) {
    HostSet set;
    set.load(u"", u"", u"", u"u1:80:90:U1:");
    EXPECT_EQ(set.carrierName(), CString(kCarrierUnicom));
    EXPECT_EQ(names(set), (std::vector<CString>{u"U1"}));
}

TEST(HostSetTest, TheLastEqualRecordOfAListIsChosen) {
    HostSet set;
    set.load(u"h:80:1:N:", u"h:80:1:N:first,x:1:1:X:,h:80:2:n:second", u"", u"");
    EXPECT_EQ(set.host(0).rest, CString(u"second"));
    EXPECT_EQ(set.count(), 3);
}

}  // namespace
}  // namespace zq
