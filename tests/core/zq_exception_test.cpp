#include "core/zq_exception.h"

#include <gtest/gtest.h>

#include <thread>

namespace zq {
namespace {

TEST(ZQException, HolderKeepsLatestTextPerCodeAndEveryText) {
    ZQException holder;
    EXPECT_EQ(holder.setError(3, "first"), 1);
    holder.setError(3, "second");
    EXPECT_EQ(holder.errorText(3), CString("second"));
    EXPECT_EQ(holder.messages(), (std::vector<CString>{"first", "second"}));
    EXPECT_EQ(holder.errorText(9), CString());
    holder.clearMessages();
    EXPECT_TRUE(holder.messages().empty());
    EXPECT_EQ(holder.errorText(3), CString("second"));
}

TEST(ZQException, ReportShowsTheTextOfTheCode) {
    clearMessageBoxLog();
    ZQException holder;
    holder.setError(7, "连接失败");
    holder.reportError(MessageBoxType::Ok, 7);
    holder.reportError(MessageBoxType::Ok, 42);
    auto log = messageBoxLog();
    ASSERT_EQ(log.size(), 2u);
    EXPECT_EQ(log[0].caption, CString("Error Code : 007"));
    EXPECT_EQ(log[0].text, CString("连接失败"));
    EXPECT_EQ(log[1].caption, CString("Error Code : 042"));
    EXPECT_EQ(log[1].text, CString());
}

TEST(ErrorLatch, ShowsTheFirstErrorOfAnActionOnce) {
    clearMessageBoxLog();
    latchError(true, false, 0, CString());
    ZQException holder;
    holder.setError(5, "first");
    holder.setError(6, "second");  // does not replace the first
    latchError(false, true, 0, CString());
    auto log = messageBoxLog();
    ASSERT_EQ(log.size(), 1u);
    EXPECT_EQ(log[0].caption, CString("错误号 : 5"));
    EXPECT_EQ(log[0].text, CString("first"));
}

TEST(ErrorLatch, NoErrorOrCodeZeroShowsNothing) {
    clearMessageBoxLog();
    latchError(true, false, 0, CString());
    latchError(false, true, 0, CString());
    latchError(false, true, 0, CString());
    latchError(true, false, 0, CString());
    logError(0, "zero is never shown");
    latchError(false, true, 0, CString());
    EXPECT_TRUE(messageBoxLog().empty());
}

TEST(ErrorLatch, HoldersMayRecordFromSeveralThreads) {
    ZQException holder;
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t) {
        threads.emplace_back([&holder, t] {
            for (int i = 0; i < 200; ++i) holder.setError(t, "e");
        });
    }
    for (auto& th : threads) th.join();
    EXPECT_EQ(holder.messages().size(), 800u);
}

}  // namespace
}  // namespace zq
