// The reply path. The session calls PageRequests' onData, onFailure and
// onRetry on its own threads: they decode, settle the request in the pending
// table and post whatever touches screens to the controller on the UI
// thread, never waiting on it. Pages are parsed, shown and pushed on the
// history there (PageLoader::onPageData).
#include <memory>
#include <set>
#include <utility>

#include "app/page_controller.h"
#include "app/page_requests.h"
#include "markup/markup_page.h"
#include "net/reply_unpack.h"
#include "platform/image.h"
#include "platform/message_box.h"
#include "ui/item.h"
#include "ui/page_services.h"
#include "ui/screen.h"

namespace zq {

namespace {

constexpr int kProgressDataReply = 30;
constexpr int kProgressPageReply = 30;
constexpr int kPageListKind = 3;
constexpr int kVerifyPictureKind = 25;
constexpr const char16_t* kTimeoutText = u"网络超时，请稍后重试！";
constexpr const char16_t* kInfoCaption = u"信息提示";

// "pageid=<old>" becomes "pageid=<new>"; a longer number that merely starts
// with the old one is left alone.
CString replacePageId(const CString& url, int oldId, int newId) {
    const CString from = CString::format(u"pageid=%d", oldId);
    for (int at = url.find(from); at >= 0; at = url.find(from, at + 1)) {
        const int end = at + from.length();
        if (end < url.length() && url.at(end) >= u'0' && url.at(end) <= u'9') continue;
        return url.left(at) + CString::format(u"pageid=%d", newId) + url.mid(end);
    }
    return url;
}

// A reply that answers no request (id 0) carries no record: any screen, live.
RequestRecord unrequestedRecord() {
    RequestRecord record;
    record.requestId = 0;
    return record;
}

// Hands a data reply to its listener; true when one took it. The shown
// screen hears that its request is answered.
bool deliverData(PageController& controller, DecodedReply& reply, const RequestRecord& record) {
    const ReplyHead& head = reply.head;
    const int requestId = record.requestId;
    if (reply.text.size() == kDroppedDataLength) return false;
    controller.postToController([requestId](PageController& c) {
        if (Screen* screen = c.currentScreen()) {
            screen->setLoadingProgress(kProgressDataReply, requestId);
        }
    });
    if (reply.secondDocument) {
        controller.postToController(
            [document = std::move(*reply.secondDocument), head, record](PageController& c) {
                c.pageLoader().loadSecondDocument(document, head.secondKind, head.documentArgument,
                                                  record);
            });
    }
    // Each picture of a page has its own entry (kind 3): only the one named
    // gets it; any other kind goes to its first listener.
    const size_t index = head.kind == kPageListKind ? head.listenerIndex : 0;
    const auto* bytes = reinterpret_cast<const uint8_t*>(reply.text.data());
    const bool delivered =
        responseListeners().deliverAt(head.kind, index, {bytes, reply.text.size()});
    // Answered, listener or not: the screen stops waiting for it.
    controller.postToController([requestId](PageController& c) {
        if (Screen* screen = c.currentScreen()) screen->stopLoading(requestId);
    });
    return delivered;
}

// Whether a reply answers a picture request with a picture's bytes.
bool isPictureData(const DecodedReply& reply) {
    const uint8_t kind = reply.head.kind;
    return reply.head.replyClass() == ReplyClass::Data &&
           (kind == kPageListKind || kind == kVerifyPictureKind) &&
           reply.text.size() != kDroppedDataLength;
}

// The picture goes to the item that asked, and only while that item's screen
// is shown: a late one never lands on the next page. No picture (a failure)
// takes away the one the item showed, which is no longer the server's; its
// box stays.
void deliverPicture(PageController& controller, ImageRef image, const RequestRecord& record) {
    if (!record.pictureTarget) return;
    controller.postToController(
        [image = std::move(image), target = record.pictureTarget](PageController& c) mutable {
            if (pictureTargetShown(c, target.get())) target->item->setImage(std::move(image));
        });
}

ImageRef decodedPicture(PictureBudget& budget, const std::string& bytes) {
    return budget.charge(decodeImage(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size()));
}

}  // namespace

bool PageRequests::onData(std::span<const uint8_t> message, int carrierId) {
    // Decode; short messages are ignored, bad payloads dropped.
    DecodedReply reply = decodeReply(message);
    if (reply.status == ReplyStatus::Short) return true;
    if (reply.status != ReplyStatus::Ok) return false;
    const ReplyHead& head = reply.head;
    const ReplyClass kind = head.replyClass();

    // Settle the request the reply names. A reply with id 0 still ends
    // the request whose HTTP exchange carried it; a page with id 0 on the
    // framed connection ends the oldest waiting there, so that nothing is
    // left to be sent again.
    std::optional<RequestRecord> taken;
    if (head.requestId != 0) {
        taken = pending_.take(head.requestId);
        if (!taken) taken = lateSubmissions_.take(head.requestId);
        if (!taken) return false;
    } else if (carrierId != kNoCarrier) {
        taken = pending_.take(carrierId);
    } else if (kind == ReplyClass::Page || kind == ReplyClass::PageShowNow) {
        taken = pending_.takeOldest(RequestRoute::Framed);
    }
    const RequestRecord record = taken ? *taken : unrequestedRecord();
    const int requestId = record.requestId;
    if (record.cancelled()) {
        cancelFlags_.remove(requestId);
        return true;
    }
    auto syncBytes = [&reply] {
        return std::vector<uint8_t>(reply.text.begin(), reply.text.end());
    };

    // A picture request takes picture data only: any other answer (a page,
    // say the login page of an expired session) is the picture's failure,
    // and changes nothing else.
    if (record.picture) {
        pictureIds_.remove(requestId);
        const bool picture = isPictureData(reply);
        if (record.synchronous) {
            storeSyncReply(requestId, picture ? std::optional(syncBytes()) : std::nullopt);
        } else {
            deliverPicture(controller_,
                           picture ? decodedPicture(pictureBudget_, reply.text) : nullptr, record);
        }
        return true;
    }

    // Data replies go to the listeners registered for their kind, also when
    // a synchronous fetch asked for them: it gets only what none took.
    if (kind == ReplyClass::Data) {
        cancelFlags_.remove(requestId);
        const bool dropped = reply.text.size() == kDroppedDataLength;
        const bool delivered = deliverData(controller_, reply, record);
        if (record.synchronous) {
            storeSyncReply(requestId,
                           delivered || dropped ? std::nullopt : std::optional(syncBytes()));
        }
        return !dropped;
    }
    if (record.synchronous) {
        const bool fileData = kind == ReplyClass::Page || !fileFetchIds_.contains(requestId);
        storeSyncReply(requestId, fileData ? std::optional(syncBytes()) : std::nullopt);
        return true;
    }

    // Pages are built on the UI thread.
    // The history keeps the address as the page asked for it: a request's
    // own "pageid" and "screenid" would be sent twice when it is reopened.
    const CString pageUrl = record.link.isEmpty() ? record.url : record.link;
    if (kind == ReplyClass::Page) {
        controller_.postToController(
            [record, pageUrl, text = std::move(reply.text)](PageController& c) mutable {
                c.addLoadingProgress(kProgressPageReply, record.requestId);
                c.pageLoader().onPageData(pageUrl, std::move(text), record);
            });
    } else if (kind == ReplyClass::PageShowNow) {
        controller_.postToController(
            [record, pageUrl, text = std::move(reply.text)](PageController& c) {
                c.requests().cancelFlags().remove(record.requestId);
                if (isCancelled(record.cancelFlag)) return;
                std::unique_ptr<PageEntry> entry =
                    c.pageLoader().parsePageFor(text, pageUrl, record.cancelFlag);
                if (entry) {
                    entry->submitted = record.submission;
                    c.showPage(std::move(entry), record.targetScreenId, record.replace,
                               record.cancelFlag);
                }
            });
    } else {
        // A kind the client ignores still answers its request.
        cancelFlags_.remove(requestId);
        controller_.postToController([requestId](PageController& c) {
            if (Screen* screen = c.currentScreen()) screen->stopLoading(requestId);
        });
    }
    return true;
}

void PageRequests::onFailure(const RequestRecord& request) {
    const int requestId = request.requestId;
    cancelFlags_.remove(requestId);
    if (request.picture) pictureIds_.remove(requestId);
    if (request.synchronous) {
        storeSyncReply(requestId, std::nullopt);
        return;
    }
    // No screen waits for a picture: only its item hears of it.
    if (request.picture) {
        deliverPicture(controller_, nullptr, request);
        return;
    }
    // What the user sent may have been acted on: they are told so, not asked
    // to send it again. The framed connection stays open, so its reply may
    // still come.
    const bool unknownOutcome = request.submission;
    if (unknownOutcome && request.route == RequestRoute::Framed) {
        while (lateSubmissions_.size() >= kMaxLateSubmissions) {
            lateSubmissions_.takeOldest(RequestRoute::Framed);
        }
        lateSubmissions_.insert(request);
    }
    // Only a screen still waiting for this request hears of it.
    controller_.postToController([requestId, unknownOutcome](PageController& c) {
        Screen* screen = c.currentScreen();
        if (screen && screen->stopLoading(requestId)) {
            messageBox(unknownOutcome ? kOutcomeUnknownText : kTimeoutText, kInfoCaption,
                       MessageBoxType::Ok);
        }
    });
}

void PageRequests::onRetry(const RequestRecord& request) {
    // The first copy reached the server, or may have: a second would be
    // a second order.
    if (request.submission) {
        onFailure(request);
        return;
    }
    HttpSession* session = liveSession_.load();
    if (!session) return;

    // A new id and flag; the old id is settled.
    const int oldId = request.requestId;
    const int newId = freeRequestId();
    RequestRecord resent = request;
    // A picture keeps its screen's flag, which leaving the screen raises.
    resent.cancelFlag = request.picture ? request.cancelFlag : cancelFlags_.add(newId);
    cancelFlags_.remove(oldId);
    pending_.remove(oldId);
    resent.url = replacePageId(request.url, oldId, newId);
    resent.requestId = newId;
    resent.retried = true;
    if (request.picture && pictureIds_.remove(oldId)) pictureIds_.add(newId);

    // The shown screen keeps loading under the new id.
    controller_.postToController([oldId, newId](PageController& c) {
        if (Screen* screen = c.currentScreen()) screen->replaceLoadingId(oldId, newId);
    });

    // A fresh connection; a picture never closes the one the pages share.
    if (!request.picture) session->closeConnection();
    if (session->sendRequest(resent)) return;
    cancelFlags_.remove(newId);
    controller_.postToController([newId](PageController& c) {
        latchError(false, true, 0, CString());
        if (Screen* screen = c.currentScreen()) screen->stopLoading(newId);
        c.errors().clearMessages();
    });
}

bool PageRequests::cancelRequest() {
    std::set<int> ids = syncFetches_.ids();
    ids.insert(requestCounter_.current());
    if (Screen* screen = controller_.currentScreen()) ids.insert(screen->loadingRequestId());
    if (buildFlag_) buildFlag_->store(1);
    HttpSession* session = liveSession_.load();
    bool submissionLeft = false;
    for (int id : ids) {
        cancelFlags_.cancel(id);
        const std::optional<RequestRecord> taken = pending_.take(id);
        submissionLeft = submissionLeft || (taken && taken->submission);
        if (session) {
            session->syncReplies().fail(id);
            session->cancelExchange(id);
        }
    }
    return submissionLeft;
}

}  // namespace zq
