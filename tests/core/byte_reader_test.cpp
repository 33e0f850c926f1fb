#include "core/byte_reader.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <iterator>
#include <limits>
#include <memory>
#include <vector>

#include "core/string_list.h"

namespace zq {
namespace {

TEST(ByteReader, ReadsLittleEndianAtAnyOffset) {
    const uint8_t bytes[] = {0x00, 0xFF, 0xFF, 0x34, 0x12, 0x78, 0x56, 0x34, 0x12, 0x80};
    EXPECT_EQ(ByteReader::readInt16(bytes, 1), -1);
    EXPECT_EQ(ByteReader::readInt16(bytes, 3), 0x1234);
    EXPECT_EQ(ByteReader::readInt32(bytes, 5), 0x12345678);
    EXPECT_EQ(ByteReader::readInt32(bytes, 6), static_cast<int32_t>(0x80123456));
}

TEST(CheckedByteReader, ReadsInsideThePacket) {
    // Exactly sized heap copy: ASan reports a read that slips past the end.
    const uint8_t source[] = {0x34, 0x12, 0x78, 0x56, 0x34, 0x12};
    auto packet = std::make_unique<uint8_t[]>(sizeof source);
    std::copy(std::begin(source), std::end(source), packet.get());
    CheckedByteReader reader(packet.get(), sizeof source);
    EXPECT_EQ(reader.readInt16(0), 0x1234);
    EXPECT_EQ(reader.readInt32(2), 0x12345678);
    EXPECT_EQ(reader.readInt16(4), 0x1234);  // the last two bytes
    EXPECT_FALSE(reader.failed());
}

TEST(CheckedByteReader, ReportsReadsPastTheEnd) {
    auto packet = std::make_unique<uint8_t[]>(6);
    std::fill_n(packet.get(), 6, 0x7F);
    {
        CheckedByteReader reader(packet.get(), 6);
        EXPECT_EQ(reader.readInt32(3), 0);  // one byte short
        EXPECT_TRUE(reader.failed());
        EXPECT_NE(reader.readInt16(0), 0);
        EXPECT_TRUE(reader.failed()) << "a later good read must not clear the failure";
    }
    {
        CheckedByteReader reader(packet.get(), 6);
        EXPECT_EQ(reader.readInt16(5), 0);
        EXPECT_TRUE(reader.failed());
    }
    {
        // Offsets near the top of size_t must not wrap around into the packet.
        CheckedByteReader reader(packet.get(), 6);
        EXPECT_EQ(reader.readInt32(std::numeric_limits<size_t>::max() - 1), 0);
        EXPECT_TRUE(reader.failed());
    }
    {
        CheckedByteReader reader(nullptr, 0);
        EXPECT_EQ(reader.readInt16(0), 0);
        EXPECT_TRUE(reader.failed());
    }
}

std::vector<CString> itemsOf(const NoCaseStringList& list) {
    return std::vector<CString>(list.begin(), list.end());
}

TEST(NoCaseStringList, AddsRemovesAndFindsWithoutCase) {
    NoCaseStringList list;
    EXPECT_TRUE(list.addUnique(u"sh600036"));
    EXPECT_FALSE(list.addUnique(u"sh600036"));
    EXPECT_FALSE(list.addUnique(u"SH600036"));
    EXPECT_TRUE(list.addUnique(u"sz000001"));
    EXPECT_EQ(list.count(), 2);
    EXPECT_TRUE(list.contains(u"SZ000001"));
    EXPECT_FALSE(list.remove(u"hk00700"));
    EXPECT_TRUE(list.remove(u"Sh600036"));
    EXPECT_EQ(itemsOf(list), std::vector<CString>{u"sz000001"});
    EXPECT_TRUE(list.remove(u"sz000001"));
    EXPECT_TRUE(list.isEmpty());
    EXPECT_EQ(list.count(), 0);
    EXPECT_TRUE(list.addUnique(u"a"));  // usable again after emptying
    EXPECT_EQ(itemsOf(list), std::vector<CString>{u"a"});
}

TEST(NoCaseStringList, MovesByExchangingTexts) {
    NoCaseStringList list;
    for (const char16_t* code : {u"a1", u"b2", u"c3"}) list.addUnique(code);

    EXPECT_TRUE(list.moveEntry(u"A1", MoveDirection::kTowardsHead));  // already first
    EXPECT_EQ(itemsOf(list), (std::vector<CString>{u"a1", u"b2", u"c3"}));
    EXPECT_TRUE(list.moveEntry(u"c3", MoveDirection::kTowardsTail));  // already last
    EXPECT_EQ(itemsOf(list), (std::vector<CString>{u"a1", u"b2", u"c3"}));

    // The moved text takes the caller's spelling.
    EXPECT_TRUE(list.moveEntry(u"B2", MoveDirection::kTowardsHead));
    EXPECT_EQ(itemsOf(list), (std::vector<CString>{u"B2", u"a1", u"c3"}));
    EXPECT_TRUE(list.moveEntry(u"a1", MoveDirection::kTowardsTail));
    EXPECT_EQ(itemsOf(list), (std::vector<CString>{u"B2", u"c3", u"a1"}));
    EXPECT_FALSE(list.moveEntry(u"zz", MoveDirection::kTowardsHead));
}

}  // namespace
}  // namespace zq
