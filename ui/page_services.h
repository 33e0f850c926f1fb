// What the toolkit needs of the page controller for pictures a page fetches
// later: the request entry, the registry of reply listeners, and the
// listener that turns reply bytes into an item's picture.
//
// The page controller implements PageNavigator and installs it in the
// client's context (ui/client_context.h), which also holds the registry the
// reply handler hands replies to. The
// toolkit includes nothing of theirs.
#pragma once

#include <atomic>
#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <span>
#include <vector>

#include "platform/cstring.h"

namespace zq {

class Item;

// The item a picture request is for, shared by the item and the request in
// flight. The item clears it (the destructor of its owner, or detach) before
// it goes, so that a picture that comes late goes nowhere. `item` is read
// and cleared on the UI thread only.
struct PictureTarget {
    Item* item = nullptr;
};
using PictureTargetRef = std::shared_ptr<PictureTarget>;

// Whether the screen shows its loading bar while a navigation's request runs.
enum class NavigationLoading { Hidden, Shown };
// Whether the screen takes no input until the navigation's reply comes.
enum class NavigationInput { Open, Blocked };

// The page controller's request entry. UI thread only.
class PageNavigator {
public:
    virtual ~PageNavigator() = default;
    // Starts a request for `address` on the current screen. Callers do not
    // look at a result.
    virtual void navigate(const CString& address, NavigationLoading loading,
                          NavigationInput input) = 0;
    // How market widgets refresh their own data: 0 not at all, 1 or 2 (the
    // controller's "sys-refreshtype" and remembered "sys-refreshmode"); 1
    // when nothing says otherwise.
    virtual int getRefreshMode() const { return 1; }
    // Asks for the picture of a shown item for `target`, and for the shown
    // screen only: its picture goes to the target while that screen is
    // shown, and any answer that is no picture changes nothing. A picture
    // never shows a loading bar or an error.
    virtual void requestPicture(const CString& address, const PictureTargetRef& /*target*/) {
        navigate(address, NavigationLoading::Hidden, NavigationInput::Open);
    }
};

// Receives the replies of one kind. Called on a network receive thread, so
// it must not touch items directly, must not wait on the UI thread and must
// not call the registry.
class ResponseListener {
public:
    virtual ~ResponseListener() = default;
    // `data` is valid only during the call.
    virtual void onResponse(int32_t replyKind, std::span<const uint8_t> data) = 0;
};

// Reply kind -> listeners, in the order they were added. Listeners are
// borrowed: the owner removes one before destroying it. remove() waits for
// a delivery in progress, so a removed listener is no longer in use once
// remove() returns. Any thread.
class ResponseListenerRegistry {
public:
    // A listener already registered under the kind is not added twice.
    void add(int32_t replyKind, ResponseListener* listener);
    // Makes `listeners` (no listener twice) the whole list of the kind, in
    // time linear in their number. `source` names the list: while no other
    // call changed the kind since a replace with the same source, nothing is
    // done, so that the many items sharing one list can each install it.
    void replace(int32_t replyKind, std::span<ResponseListener* const> listeners,
                 const void* source);
    void remove(int32_t replyKind, ResponseListener* listener);
    // Removes all of `gone` at once, in time linear in the kind's listeners
    // and theirs.
    void remove(int32_t replyKind, std::span<ResponseListener* const> gone);
    // Hands the reply to every listener of its kind; returns how many.
    size_t deliver(int32_t replyKind, std::span<const uint8_t> data);
    // Hands the reply to the listener at `index` of its kind only; false when
    // there is none there.
    bool deliverAt(int32_t replyKind, size_t index, std::span<const uint8_t> data);
    // Forgets every listener of the kind (a new page's list replaces the old).
    void clear(int32_t replyKind);
    size_t count(int32_t replyKind) const;
    // Listeners looked at by the removes, all calls together: what tests
    // bound a page's leaving by.
    uint64_t removalSteps() const { return removalSteps_.load(); }

private:
    mutable std::mutex mutex_;
    std::map<int32_t, std::vector<ResponseListener*>> listeners_;
    // The source of each kind's list as the last replace set it.
    std::map<int32_t, const void*> sources_;
    std::atomic<uint64_t> removalSteps_{0};
};

// Decodes a reply into a picture and gives it to the target item through
// setImage on the UI thread (posted; the receive thread never waits).
// Undecodable bytes change nothing.
//
// Built on the UI thread by whoever registers it. The target is borrowed:
// detach() before the target item is destroyed; a picture still in the
// UI queue then goes nowhere.
class ImageDataListener : public ResponseListener {
public:
    ImageDataListener(Item* target, int32_t replyKind);
    ~ImageDataListener() override;

    void onResponse(int32_t replyKind, std::span<const uint8_t> data) override;
    // UI thread.
    void detach();
    int32_t replyKind() const { return replyKind_; }
    // The target record, for the item's picture requests.
    const PictureTargetRef& target() const { return target_; }

private:
    PictureTargetRef target_;
    int32_t replyKind_;
};

}  // namespace zq
