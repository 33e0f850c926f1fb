#include "items/verify_code_item.h"

#include <utility>

#include "items/button_item.h"
#include "items/image_item.h"
#include "ui/client_context.h"
#include "ui/default_styles.h"
#include "ui/page_services.h"
#include "ui/screen.h"

namespace zq {
namespace {

constexpr const char16_t* kRefreshCaption = u"看不清楚 ";
constexpr const char16_t* kRefreshLabel = u"看不清楚";

}  // namespace

VerifyCodeItem::VerifyCodeItem(const CString& label, Style* /*style*/)
    : InlineContainer(defaultInlineStyle()) {
    auto image = std::make_unique<ImageItem>(label, ImageRef(), 0, CString(u"image"),
                                             createImageStyle(), CString());
    imageChild_ = image.get();
    Style* buttonStyle = createButtonStyle();
    applyStyleClass(buttonStyle, CString(u"button"));
    auto button = std::make_unique<ButtonItem>(CString(kRefreshCaption), buttonStyle);
    refreshButton_ = button.get();
    refreshCommand_ = std::make_shared<Command>(CString(kRefreshLabel), kCommandOk, 2);
    refreshButton_->setDefaultCommand(refreshCommand_);
    refreshButton_->setItemCommandListener(this);
    add(std::move(image));
    add(std::move(button));
}

VerifyCodeItem::~VerifyCodeItem() {
    unregister();
    if (replyTarget_) replyTarget_->detach();
}

void VerifyCodeItem::setReplyTarget(std::unique_ptr<ImageDataListener> listener) {
    unregister();
    if (replyTarget_) replyTarget_->detach();
    replyTarget_ = std::move(listener);
}

void VerifyCodeItem::unregister() {
    if (!registered_ || !replyTarget_) return;
    responseListeners().remove(replyTarget_->replyKind(), replyTarget_.get());
    registered_ = false;
}

void VerifyCodeItem::setImage(ImageRef image) {
    const bool arrived = image != nullptr;
    imageChild_->setImage(std::move(image));
    // A code that failed leaves its box where the user is.
    if (!arrived) return;
    if (auto* screen = dynamic_cast<Screen*>(getScreen())) {
        screen->invalidateLayout();
        screen->setScrollOffset(0, false);
        screen->repaint();
    }
}

void VerifyCodeItem::requestPicture() {
    if (durl_.isEmpty() || !replyTarget_ || !requester_) return;
    requester_->requestPicture(durl_, replyTarget_->target());
}

void VerifyCodeItem::showNotify() {
    if (!durl_.isEmpty() && replyTarget_ && !onHiddenScreen(*this)) {
        responseListeners().add(replyTarget_->replyKind(), replyTarget_.get());
        registered_ = true;
        if (!codeKept_) requestPicture();
    }
    codeKept_ = false;
    InlineContainer::showNotify();
}

void VerifyCodeItem::hideNotify() {
    unregister();
    // A new picture is asked for when it is shown again: this one's pixels
    // go back to the picture budget now.
    imageChild_->letGoOfPicture();
    InlineContainer::hideNotify();
}

void VerifyCodeItem::takeCodeOf(VerifyCodeItem& left) {
    if (durl_.isEmpty() || durl_ != left.durl_ || !replyTarget_ || !left.replyTarget_) return;
    // The listeners change items: the request on its way names the left
    // one's target, which now leads here.
    std::swap(replyTarget_, left.replyTarget_);
    std::swap(registered_, left.registered_);
    replyTarget_->target()->item = this;
    left.replyTarget_->target()->item = &left;
    if (ImageRef code = left.imageChild_->getImage()) {
        imageChild_->setImage(std::move(code));
        codeKept_ = true;
    }
}

void VerifyCodeItem::commandAction(Command* command, Item* /*item*/) {
    if (command && command == refreshCommand_.get()) requestPicture();
}

}  // namespace zq
