// What the controller's reply handler does with each bad input: drop it,
// harmlessly; and where good data replies go.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/page_controller.h"
#include "net/reply_unpack.h"
#include "tests/support/reply_bytes.h"
#include "tests/support/test_env.h"
#include "ui/page_services.h"

namespace zq {
namespace {

using test::bytes;
using test::Head;
using test::message;
using test::payload;
using test::u32le;

// Records what the registry hands it.
class DataLog : public ResponseListener {
public:
    void onResponse(int32_t kind, std::span<const uint8_t> data) override {
        log.push_back(std::to_string(kind) + ":" + std::string(data.begin(), data.end()));
    }
    std::vector<std::string> log;
};

class ReplyHandlerTest : public ::testing::Test {
protected:
    ReplyHandlerTest() : controller_(ControllerFolders{dir_.path(), dir_.path()}) {}
    ~ReplyHandlerTest() override {
        for (int kind : {3, 7, 8}) {
            responseListeners().remove(kind, &first_);
            responseListeners().remove(kind, &second_);
        }
    }

    // A pending request under `id`; its cancel flag is returned.
    CancelFlag pend(int id) {
        RequestRecord record;
        record.requestId = id;
        record.url = CString("http://h/p");
        record.cancelFlag = makeCancelFlag();
        controller_.requests().pendingTable().insert(record);
        return record.cancelFlag;
    }
    bool onData(const Head& h, const std::string& text) {
        return controller_.requests().onData(bytes(message(h, payload(text))));
    }

    test::TempDir dir_;
    PageController controller_;
    DataLog first_;
    DataLog second_;
};

TEST_F(ReplyHandlerTest, BadRepliesAreDroppedAndLeaveThePendingRequestAlone) {
    pend(5);
    Head h;
    h.kind = 7;
    h.id = 5;
    responseListeners().add(7, &first_);

    // Short messages are ignored (taken), bad payloads refused.
    EXPECT_TRUE(controller_.requests().onData(bytes(std::string(13, '\0'))));
    Head lzss = h;
    lzss.method = 1;
    EXPECT_FALSE(controller_.requests().onData(bytes(message(lzss, "abcd1234"))));
    EXPECT_FALSE(controller_.requests().onData(bytes(message(h, u32le(50) + "x"))));
    EXPECT_TRUE(controller_.requests().pendingTable().contains(5));

    // An id nobody asked for is refused.
    Head stranger = h;
    stranger.id = 6;
    EXPECT_FALSE(onData(stranger, "data"));
    EXPECT_TRUE(first_.log.empty());
    EXPECT_TRUE(controller_.requests().pendingTable().contains(5));
}

// Regression: every controller settled replies in one process-wide table,
// so that one controller's reply could end another's request.
TEST_F(ReplyHandlerTest, AControllerSettlesOnlyTheRequestsInItsOwnTable) {
    PageController other(ControllerFolders{dir_.path(), dir_.path()});
    pend(5);
    Head h;
    h.kind = 7;
    h.id = 5;
    EXPECT_FALSE(other.requests().onData(bytes(message(h, payload("data")))));
    EXPECT_TRUE(controller_.requests().pendingTable().contains(5));
    EXPECT_TRUE(onData(h, "data"));
    EXPECT_FALSE(controller_.requests().pendingTable().contains(5));
}

TEST_F(ReplyHandlerTest, DataRepliesReachTheirListeners) {
    responseListeners().add(7, &first_);
    responseListeners().add(3, &first_);
    responseListeners().add(3, &second_);
    pend(5);
    pend(8);
    pend(9);
    Head h;
    h.kind = 7;

    // Id 0 answers no request and is still delivered.
    EXPECT_TRUE(onData(h, "zero"));
    // A data text of exactly 6 bytes is dropped; the request is settled.
    h.id = 5;
    EXPECT_FALSE(onData(h, "sixsix"));
    EXPECT_FALSE(controller_.requests().pendingTable().contains(5));
    // Kind 3 goes by listener index: 2 of two listeners is discarded.
    Head list = h;
    list.kind = 3;
    list.id = 8;
    list.listener = 2;
    EXPECT_TRUE(onData(list, "lost"));
    list.id = 9;
    list.listener = 1;
    EXPECT_TRUE(onData(list, "kept"));
    // Only the listener at the index gets it.
    EXPECT_EQ(first_.log, (std::vector<std::string>{"7:zero"}));
    EXPECT_EQ(second_.log, (std::vector<std::string>{"3:kept"}));
    EXPECT_EQ(controller_.requests().pendingTable().size(), 0u);
}

// Regression: a data reply went to every listener of its kind, and one
// that a synchronous fetch asked for went to the fetch alone.
TEST_F(ReplyHandlerTest, DataGoesToTheFirstListenerBeforeAnyFetch) {
    controller_.setSession(controller_.requests().makeSession());
    SyncReplySlots& slots = controller_.session()->syncReplies();
    responseListeners().add(7, &first_);
    responseListeners().add(7, &second_);
    for (int id : {21, 22}) {
        RequestRecord record;
        record.requestId = id;
        record.synchronous = true;
        controller_.requests().pendingTable().insert(record);
        slots.arm(id);
    }
    Head h;
    h.kind = 7;
    h.id = 21;
    EXPECT_TRUE(onData(h, "quote"));
    EXPECT_EQ(first_.log, (std::vector<std::string>{"7:quote"}));
    EXPECT_TRUE(second_.log.empty());
    EXPECT_TRUE(slots.isSettled(21));
    EXPECT_FALSE(slots.wait(21, 0));
    // A kind nobody listens to is what the fetch gets.
    h.kind = 8;
    h.id = 22;
    EXPECT_TRUE(onData(h, "rows"));
    std::optional<std::vector<uint8_t>> got = slots.wait(22, 0);
    ASSERT_TRUE(got);
    EXPECT_EQ(std::string(got->begin(), got->end()), "rows");
}

TEST_F(ReplyHandlerTest, CancelledRequestsAreSettledSilently) {
    responseListeners().add(7, &first_);
    CancelFlag flag = pend(4);
    flag->store(1);
    Head h;
    h.kind = 7;
    h.id = 4;
    EXPECT_TRUE(onData(h, "late"));
    EXPECT_TRUE(first_.log.empty());
    EXPECT_FALSE(controller_.requests().pendingTable().contains(4));

    // cancelRequest cancels the newest request and forgets it.
    const int id = controller_.requests().requestCounter().next();
    CancelFlag newest = controller_.requests().cancelFlags().add(id);
    pend(id);
    controller_.requests().cancelRequest();
    EXPECT_EQ(newest->load(), 1);
    EXPECT_FALSE(controller_.requests().pendingTable().contains(id));
}

TEST_F(ReplyHandlerTest, SynchronousReplyWakesOnlyItsOwnWaiter) {
    controller_.setSession(controller_.requests().makeSession());
    SyncReplySlots& slots = controller_.session()->syncReplies();
    for (int id : {11, 12}) {
        RequestRecord record;
        record.requestId = id;
        record.synchronous = true;
        controller_.requests().pendingTable().insert(record);
    }
    slots.arm(12);
    Head h;
    h.id = 11;  // an older fetch: its waiter gave up, the text is freed
    EXPECT_TRUE(onData(h, "old"));
    h.id = 12;
    EXPECT_TRUE(onData(h, "<zqml/>"));
    std::optional<std::vector<uint8_t>> got = slots.wait(12, 0);
    ASSERT_TRUE(got);
    EXPECT_EQ(std::string(got->begin(), got->end()), "<zqml/>");
    EXPECT_FALSE(slots.wait(11, 0));
}

}  // namespace
}  // namespace zq
