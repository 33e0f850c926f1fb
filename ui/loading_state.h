// LoadingState: what a screen knows about the page load it waits for — the
// request it belongs to, its progress, whether it blocks input, whether it
// may be cancelled and what a cancel runs, and the loading animation.
//
// The screen owns one and does the repainting; this class only keeps the
// state. Progress may be reported from any thread (the flags, the id and the
// progress are atomic); everything else is for the UI thread.
#pragma once

#include <atomic>
#include <functional>

#include "platform/cstring.h"
#include "platform/image.h"

namespace zq {

class LoadingState {
public:
    // The request id that matches any request. Not -1: a load may have no
    // request of its own.
    static constexpr int kAnyRequest = -2;

    // Enters the loading state for `requestId` with progress 0 (the screen
    // adds the first step). Cancelling is allowed when `cancelAllowed` is
    // set or `onCancel` is given. Loads the animation on first use.
    void start(bool blockInput, bool cancelAllowed, int requestId, std::function<void()> onCancel);
    // For the load's request, or any with kAnyRequest: adds `delta`
    // (a result below 0 is ignored, above 100 gives 100). True when the
    // progress changed.
    bool addProgress(int delta, int requestId);
    // For the load's request, or any with kAnyRequest: a percent above 100
    // is ignored. True when the progress changed.
    bool setProgress(int percent, int requestId);
    // For the load's request, or any with kAnyRequest. True when a load was
    // stopped; the animation goes with it.
    bool stop(int requestId);
    // A resent request keeps the load going under its new id.
    void replaceId(int oldId, int newId);
    // Not loading, nothing blocked, no cancel action; the animation stays.
    void clear();
    // Takes the cancel action away (the caller runs it once the load is
    // stopped) and sets the progress to 0.
    std::function<void()> takeCancelAction();

    void setImagePath(const CString& path) { imagePath_ = path; }
    // The animation drawn while loading; null when none.
    const ImageRef& image() const { return image_; }

    bool isLoading() const { return loading_.load(); }
    bool isInputBlocked() const { return loading_.load() && blockInput_.load(); }
    bool isCancelAllowed() const { return cancelAllowed_.load(); }
    int progress() const { return progress_.load(); }
    int requestId() const { return requestId_.load(); }

private:
    std::atomic<bool> loading_{false};
    std::atomic<bool> blockInput_{false};
    std::atomic<bool> cancelAllowed_{false};
    std::atomic<int> requestId_{-1};
    std::atomic<int> progress_{0};
    std::function<void()> onCancel_;
    CString imagePath_;
    ImageRef image_;
};

}  // namespace zq
