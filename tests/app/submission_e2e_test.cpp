// What the user sends goes out once, whatever the server's delay: a reply
// held back beyond the reply wait ends a page link in a resend (framed) or
// a time-out box (gateway), and a submission in a box that says its outcome
// is not known, its late reply still shown while its page is, until the
// user asks for another. A submission cancelled once it left, or answered by
// a page of the gateway's own, is said to be unknown too, and never resent.
#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

#include "app/auto_refresh.h"
#include "app/page_requests.h"
#include "items/text_field.h"
#include "platform/files.h"
#include "platform/message_box.h"
#include "tests/app/controller_fixture.h"
#include "ui/command.h"
#include "ui/event.h"

namespace zq {
namespace {

constexpr uint32_t kShortWaitMs = 500;
constexpr uint32_t kPatientWaitMs = 10000;
// Longer than any test: the test releases the held reply itself.
constexpr uint32_t kHeldMs = 30000;
constexpr const char* kTimeoutText = "网络超时，请稍后重试！";

class SubmissionTest : public test::ControllerFixture<> {
protected:
    void SetUp() override {
        server_.writePage("form.zqml",
                          "<zqml><body><form id=\"g\" action=\"forward(/done.zqml)\">"
                          "<edit id=\"c\" name=\"c\" value=\"600321\"/></form>"
                          "<form id=\"h\" action=\"hide(x)|fw(/done.zqml)\">"
                          "<edit id=\"t\" name=\"t\" value=\"a)b(c|d,e\"/></form>"
                          "<form id=\"f\" action=\"/done.zqml\">"
                          "<edit id=\"code\" name=\"code\" value=\"600000\"/>"
                          "<edit id=\"qty\" name=\"qty\" value=\"100\"/>"
                          "</form></body></zqml>");
        server_.writePage("done.zqml", "<zqml><body><text>done</text></body></zqml>");
    }
    // Shows the form; its requests after it wait `waitMs` for a reply.
    void showForm(uint32_t waitMs) {
        controller_->session()->setReplyWaitMs(kPatientWaitMs);
        controller_->openUrl({.url = CString::fromUtf8(server_.urlFor("/form.zqml"))});
        ASSERT_TRUE(pumpUntil([&] {
            return shows("/form.zqml") && !controller_->currentScreen()->isLoading() &&
                   controller_->requests().pendingTable().idle();
        }));
        server_.clearRequests();
        clearMessageBoxLog();
        controller_->session()->setReplyWaitMs(waitMs);
    }
    // Runs `action` as an item event of the code field, as a page runs it,
    // once a new code was typed in it ("sm" sends only what changed).
    void runFromField(const std::string& action) {
        Item* source = controller_->getItemByName(u"code");
        ASSERT_NE(source, nullptr);
        if (auto* field = dynamic_cast<TextField*>(source)) field->setString(u"600001");
        controller_->onEvent(std::make_unique<Event>(CString::fromUtf8(action), source));
    }
    int requestsFor(const std::string& path) const {
        int n = 0;
        for (const auto& r : server_.requests()) n += r.target.path == path;
        return n;
    }
    size_t repliesSentFor(const std::string& path) const {
        const std::vector<std::string> sent = server_.repliesSent();
        return static_cast<size_t>(std::count(sent.begin(), sent.end(), path));
    }
    // The boxes shown, but the confirm's own question.
    std::vector<std::string> boxes() const {
        std::vector<std::string> texts;
        for (const MessageBoxRecord& box : messageBoxLog()) {
            if (box.type != MessageBoxType::YesNo) texts.push_back(box.text.toUtf8());
        }
        return texts;
    }
};

struct Kind {
    const char* name;
    const char* action;
    bool submission;
    // What the server hears, when the case says.
    const char* query = nullptr;
};

const Kind kKinds[] = {
    {"page link", "forward(/done.zqml)", false},
    {"submit", "st(f)", true},
    {"submit to an action", "st(g)", true},
    {"submit to a chain", "st(h)", true, "t=a%29b%28c%7Cd%2Ce"},
    {"stock submit", "ss(code,/done.zqml)", true},
    {"special submit", "sm(/done.zqml)", true},
    {"confirmed action", "cf(Buy?,forward(/done.zqml),back(1))", true},
};

// How the reply goes wrong: not at all, late, cancelled by the user with
// the loading bar once the request reached the server, or a page of the
// gateway's own in its place (through the gateway only).
enum class Mishap { None, Late, Cancelled, GatewayPage };

TEST_F(SubmissionTest, ALateReplyResendsOnlyAPageLinkAndNeverASubmission) {
    const std::string unknown = CString(PageRequests::kOutcomeUnknownText).toUtf8();
    for (const bool gateway : {false, true}) {
        useServer(gateway);
        for (const Mishap mishap :
             {Mishap::None, Mishap::Late, Mishap::Cancelled, Mishap::GatewayPage}) {
            if (mishap == Mishap::GatewayPage && !gateway) continue;
            const bool late = mishap == Mishap::Late;
            for (const Kind& kind : kKinds) {
                SCOPED_TRACE(std::string(gateway ? "gateway " : "framed ") +
                             std::to_string(static_cast<int>(mishap)) + " " + kind.name);
                ASSERT_NO_FATAL_FAILURE(showForm(late ? kShortWaitMs : kPatientWaitMs));
                if (late || mishap == Mishap::Cancelled) {
                    server_.delayNextReply("/done.zqml", kHeldMs);
                }
                if (mishap == Mishap::GatewayPage)
                    server_.setFault(testserver::Fault::GatewayPage, 1);
                ASSERT_NO_FATAL_FAILURE(runFromField(kind.action));
                if (mishap == Mishap::None) {
                    EXPECT_TRUE(pumpUntil([&] { return shows("/done.zqml"); }));
                    EXPECT_EQ(requestsFor("/done.zqml"), 1);
                    EXPECT_EQ(boxes(), std::vector<std::string>{});
                    if (kind.query) {
                        EXPECT_EQ(server_.queriesFor("/done.zqml"),
                                  std::vector<std::string>{kind.query});
                    }
                    continue;
                }
                if (mishap == Mishap::Cancelled) {
                    // The form comes back; a submission is said to be unknown.
                    ASSERT_TRUE(server_.waitForRequests(1, 5000));
                    pressKey(113);
                    ASSERT_TRUE(
                        pumpUntil([&] { return !controller_->currentScreen()->isLoading(); }));
                    server_.releaseDelayedReplies();
                    // The framed connection still reads the late reply.
                    ASSERT_TRUE(pumpUntil([&] {
                        return (gateway || repliesSentFor("/done.zqml") == 1) &&
                               controller_->requests().pendingTable().idle();
                    }));
                    executor_.runPending();
                    EXPECT_TRUE(shows("/form.zqml"));
                    EXPECT_EQ(requestsFor("/done.zqml"), 1);
                    EXPECT_EQ(boxes(), kind.submission ? std::vector<std::string>{unknown}
                                                       : std::vector<std::string>{});
                    continue;
                }
                if (mishap == Mishap::GatewayPage) {
                    // A page link is asked for once more; a submission never.
                    ASSERT_TRUE(pumpUntil(
                        [&] { return kind.submission ? !boxes().empty() : shows("/done.zqml"); }));
                    ASSERT_TRUE(
                        pumpUntil([&] { return controller_->requests().pendingTable().idle(); }));
                    EXPECT_EQ(requestsFor("/done.zqml"), kind.submission ? 1 : 2);
                    EXPECT_EQ(boxes(), kind.submission ? std::vector<std::string>{unknown}
                                                       : std::vector<std::string>{});
                    EXPECT_TRUE(shows(kind.submission ? "/form.zqml" : "/done.zqml"));
                    continue;
                }
                // Only a framed page link is sent again.
                const bool resent = !gateway && !kind.submission;
                ASSERT_TRUE(pumpUntil(
                    [&] { return resent ? repliesSentFor("/done.zqml") == 1 : !boxes().empty(); }));
                server_.releaseDelayedReplies();
                ASSERT_TRUE(
                    pumpUntil([&] { return repliesSentFor("/done.zqml") == (resent ? 2u : 1u); }));
                EXPECT_EQ(requestsFor("/done.zqml"), resent ? 2 : 1);
                if (resent) {
                    EXPECT_TRUE(pumpUntil([&] { return shows("/done.zqml"); }));
                    EXPECT_EQ(boxes(), std::vector<std::string>{});
                    continue;
                }
                EXPECT_EQ(boxes(),
                          std::vector<std::string>{kind.submission ? unknown : kTimeoutText});
                // The framed connection still brings the late reply; the
                // gateway's exchange ended at the wait.
                if (!gateway) {
                    EXPECT_TRUE(pumpUntil([&] { return shows("/done.zqml"); }));
                } else {
                    EXPECT_TRUE(
                        pumpUntil([&] { return controller_->requests().pendingTable().idle(); }));
                    EXPECT_TRUE(shows("/form.zqml"));
                }
                EXPECT_EQ(requestsFor("/done.zqml"), 1);
            }
        }
    }
}

// A late reply to a submission is dropped once the user has left the page
// that sent it.
TEST_F(SubmissionTest, ALateSubmissionReplyIsDroppedOnceItsPageIsLeft) {
    useServer(false);
    ASSERT_NO_FATAL_FAILURE(showForm(kShortWaitMs));
    server_.delayNextReply("/done.zqml", kHeldMs);
    ASSERT_NO_FATAL_FAILURE(runFromField("st(f)"));
    ASSERT_TRUE(pumpUntil([&] { return !boxes().empty(); }));
    controller_->session()->setReplyWaitMs(kPatientWaitMs);
    // A local page: the framed connection is held up behind the late reply.
    ASSERT_TRUE(writeFileAtomic(scratch_.path() / "local.zqml",
                                "<zqml><body><text>local</text></body></zqml>"));
    controller_->openUrl({.url = CString(u"file://local.zqml")});
    ASSERT_TRUE(shows("local.zqml"));
    server_.releaseDelayedReplies();
    ASSERT_TRUE(pumpUntil([&] { return repliesSentFor("/done.zqml") == 1; }));
    // The late reply is read and dropped: a page asked for after it shows.
    controller_->openUrl({.url = CString::fromUtf8(server_.urlFor("/form.zqml"))});
    ASSERT_TRUE(pumpUntil([&] { return shows("/form.zqml"); }));
    EXPECT_TRUE(pumpUntil([&] { return controller_->requests().pendingTable().idle(); }));
    EXPECT_TRUE(shows("/form.zqml"));
    EXPECT_EQ(requestsFor("/done.zqml"), 1);
}

// Through a gateway that cannot be reached nothing went out: the user may
// send it again.
TEST_F(SubmissionTest, ASubmissionThatNeverLeftIsAnOrdinaryFailure) {
    useServer(true);
    ASSERT_NO_FATAL_FAILURE(showForm(kShortWaitMs));
    ASSERT_TRUE(server_.setRefusing(true));
    ASSERT_NO_FATAL_FAILURE(runFromField("st(f)"));
    ASSERT_TRUE(pumpUntil([&] { return !boxes().empty(); }));
    EXPECT_EQ(boxes(), std::vector<std::string>{kTimeoutText});
    EXPECT_EQ(requestsFor("/done.zqml"), 0);
}

// The result page of a submission carries the form's values in its
// address: a road the user takes to open that address again sends them
// again, and the copy it sends is a submission like the first; so does a
// reload the page asks for, which is never sent again after a late reply.
struct Reopen {
    const char* name;
    const char* donePage;
    // The soft keys the user presses on the result page.
    std::vector<const char16_t*> keys;
    bool sendsAgain;
    bool reloadsItself = false;
    // The user cancels the reload with the loading bar once it has left.
    bool reloadCancelled = false;
    // What opened the result page.
    const char* opener = "st(f)";
};

const Reopen kReopens[] = {
    {"retry key", "<zqml><body><text>done</text></body></zqml>", {u"重试"}, true},
    {"back and forward to an updated page",
     "<zqml cache=\"update\"><body><text>done</text></body></zqml>",
     {u"返", u"前"},
     false},
    {"a refreshing page",
     "<zqml><body onload=\"refresh(1)\"><text>done</text></body></zqml>",
     {},
     false,
     true},
    // The page stays and reloads on; the reload of a submission had left.
    {"a refreshing page, its reload cancelled",
     "<zqml><body onload=\"refresh(1)\"><text>done</text></body></zqml>",
     {},
     false,
     true,
     true},
    {"a refreshing page a link opened, its reload cancelled",
     "<zqml><body onload=\"refresh(1)\"><text>done</text></body></zqml>",
     {},
     false,
     true,
     true,
     "forward(/done.zqml)"},
};

TEST_F(SubmissionTest, AnAddressThatCarriesAFormsValuesIsNeverResentAfterALateReply) {
    const std::string unknown = CString(PageRequests::kOutcomeUnknownText).toUtf8();
    for (const bool gateway : {false, true}) {
        useServer(gateway);
        for (const Reopen& reopen : kReopens) {
            SCOPED_TRACE(std::string(gateway ? "gateway " : "framed ") + reopen.name);
            server_.writePage("done.zqml", reopen.donePage);
            ASSERT_NO_FATAL_FAILURE(showForm(kPatientWaitMs));
            ASSERT_NO_FATAL_FAILURE(runFromField(reopen.opener));
            ASSERT_TRUE(pumpUntil([&] {
                return shows("/done.zqml") && controller_->requests().pendingTable().idle();
            }));
            ASSERT_EQ(requestsFor("/done.zqml"), 1);
            if (reopen.reloadCancelled) {
                server_.setSlowPath("/done.zqml", kHeldMs);
                ASSERT_TRUE(pumpUntil([&] {
                    return requestsFor("/done.zqml") == 2 &&
                           controller_->currentScreen()->isLoading();
                }));
                pressKey(113);
                ASSERT_TRUE(pumpUntil([&] { return !controller_->currentScreen()->isLoading(); }));
                executor_.runPending();
                EXPECT_TRUE(shows("/done.zqml")) << shownUrl();
                server_.setSlowPath("/done.zqml", 0);
                server_.releaseDelayedReplies();
                // The countdown goes on: the next reload is answered.
                ASSERT_TRUE(pumpUntil([&] {
                    return requestsFor("/done.zqml") >= 3 &&
                           controller_->requests().pendingTable().idle() &&
                           !controller_->currentScreen()->isLoading();
                }));
                EXPECT_TRUE(shows("/done.zqml")) << shownUrl();
                const bool submitted = std::string(reopen.opener) == "st(f)";
                EXPECT_EQ(boxes(), submitted ? std::vector<std::string>{unknown}
                                             : std::vector<std::string>{});
                continue;
            }
            // The copy the user asks for now is late.
            controller_->session()->setReplyWaitMs(kShortWaitMs);
            server_.setSlowPath("/done.zqml", kHeldMs);
            for (const char16_t* label : reopen.keys) {
                Command key{CString(label), 2, 1};
                controller_->commandAction(&key, nullptr);
            }
            if (reopen.reloadsItself) {
                // The reloads ask with the form's values.
                ASSERT_TRUE(pumpUntil([&] { return !boxes().empty(); }));
                server_.setSlowPath("/done.zqml", 0);
                server_.releaseDelayedReplies();
                EXPECT_EQ(boxes(), std::vector<std::string>{unknown});
                const std::vector<std::string> sent = server_.queriesFor("/done.zqml");
                ASSERT_GE(sent.size(), 2u);
                for (size_t i = 1; i < sent.size(); ++i) EXPECT_EQ(sent[i], sent[0]) << i;
                continue;
            }
            if (!reopen.sendsAgain) {
                // A request would be waiting on the held reply once the
                // countdown is over.
                ASSERT_TRUE(pumpUntil([&] { return controller_->autoRefresh().running() == 0; }));
                EXPECT_TRUE(controller_->requests().pendingTable().idle());
                EXPECT_TRUE(shows("/done.zqml"));
                server_.setSlowPath("/done.zqml", 0);
                server_.releaseDelayedReplies();
                EXPECT_EQ(requestsFor("/done.zqml"), 1);
                EXPECT_EQ(boxes(), std::vector<std::string>{});
                continue;
            }
            ASSERT_TRUE(pumpUntil([&] { return !boxes().empty(); }));
            server_.setSlowPath("/done.zqml", 0);
            server_.releaseDelayedReplies();
            ASSERT_TRUE(pumpUntil([&] { return controller_->requests().pendingTable().idle(); }));
            // The user asked for it twice: the server hears it twice.
            EXPECT_EQ(requestsFor("/done.zqml"), 2);
            EXPECT_EQ(boxes(), std::vector<std::string>{unknown});
        }
    }
}

// The user who moves on from a late submission gets the page asked for
// last, not the late reply that came before it.
TEST_F(SubmissionTest, APageAskedForAfterALateSubmissionWinsOverItsReply) {
    useServer(false);
    server_.writePage("other.zqml", "<zqml><body><text>other</text></body></zqml>");
    ASSERT_NO_FATAL_FAILURE(showForm(kShortWaitMs));
    server_.delayNextReply("/done.zqml", kHeldMs);
    ASSERT_NO_FATAL_FAILURE(runFromField("st(f)"));
    ASSERT_TRUE(pumpUntil([&] { return !boxes().empty(); }));
    controller_->session()->setReplyWaitMs(kPatientWaitMs);
    ASSERT_NO_FATAL_FAILURE(runFromField("forward(/other.zqml)"));
    ASSERT_TRUE(pumpUntil([&] { return controller_->currentScreen()->isLoading(); }));
    server_.releaseDelayedReplies();
    ASSERT_TRUE(pumpUntil([&] {
        return repliesSentFor("/other.zqml") == 1 &&
               controller_->requests().pendingTable().idle() &&
               !controller_->currentScreen()->isLoading();
    }));
    EXPECT_TRUE(shows("/other.zqml")) << shownUrl();
    EXPECT_EQ(requestsFor("/done.zqml"), 1);
}

}  // namespace
}  // namespace zq
