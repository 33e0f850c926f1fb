#include "items/item_makers.h"

#include "items/icon_item.h"
#include "items/string_item.h"
#include "ui/alert_screen.h"
#include "ui/client_context.h"
#include "ui/item.h"

namespace zq {

namespace {

std::unique_ptr<Item> makeAlertMessage(const CString& text, ImageRef image, Style* style) {
    return std::make_unique<IconItem>(text, std::move(image), style);
}

}  // namespace

void installItemMakers(ClientContext& context) {
    context.setLabelMaker(&makeStringLabel);
    context.setMessageItemMaker(&makeAlertMessage);
}

}  // namespace zq
