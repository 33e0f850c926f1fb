// VerifyCodeItem: a verification-code picture fetched from the server with a
// "看不清楚 " button beside it that fetches a new one. An inline container of
// an ImageItem and a ButtonItem.
//
// The picture is requested each time the item is shown and each time the
// button fires; it arrives through the reply registry and the item's own
// ImageDataListener, which posts it to the UI thread. The item registers and
// removes only its own listener. UI thread.
#pragma once

#include <memory>

#include "platform/cstring.h"
#include "platform/image.h"
#include "ui/command.h"
#include "ui/empty_container.h"
#include "ui/listeners.h"

namespace zq {

class ButtonItem;
class ImageDataListener;
class ImageItem;
class PageNavigator;

class VerifyCodeItem : public InlineContainer, public ItemCommandListener {
public:
    // Reply kind of verification pictures.
    static constexpr int32_t kReplyKind = 25;

    VerifyCodeItem(const CString& label, Style* style);
    ~VerifyCodeItem() override;

    // The picture goes to the image child; the screen lays out again.
    void setImage(ImageRef image) override;
    void showNotify() override;
    void hideNotify() override;
    void commandAction(Command* command, Item* item) override;
    // On the page that reloads the one `left` was on, with the same
    // address: the code `left` shows, or the one its request still brings,
    // is the newest the server made, so this one shows it and asks for no
    // other when it is shown.
    void takeCodeOf(VerifyCodeItem& left);

    void setPictureAddress(const CString& durl) { durl_ = durl; }
    const CString& pictureAddress() const { return durl_; }
    void setRequester(PageNavigator* requester) { requester_ = requester; }
    // The listener that receives this item's pictures (owned).
    void setReplyTarget(std::unique_ptr<ImageDataListener> listener);
    ImageItem* imageChild() const { return imageChild_; }
    ButtonItem* refreshButton() const { return refreshButton_; }
    const CommandRef& refreshCommand() const { return refreshCommand_; }

private:
    void requestPicture();
    void unregister();

    CString durl_;
    PageNavigator* requester_ = nullptr;
    std::unique_ptr<ImageDataListener> replyTarget_;
    bool registered_ = false;
    // Shows the code of the page it reloaded: the next showing asks for none.
    bool codeKept_ = false;
    ImageItem* imageChild_ = nullptr;
    ButtonItem* refreshButton_ = nullptr;
    CommandRef refreshCommand_;
};

}  // namespace zq
