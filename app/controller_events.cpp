// Item events and soft-key commands of the current screen become action
// texts for the dispatcher; the built-in soft keys (back, forward, exit,
// retry) are handled here. UI thread.
#include <memory>

#include "app/page_controller.h"
#include "core/string_utils.h"
#include "items/table_events.h"
#include "items/text_field.h"
#include "platform/message_box.h"
#include "ui/event.h"

namespace zq {

namespace {

constexpr const char16_t* kBackLabel = u"返";
constexpr const char16_t* kForwardLabel = u"前";
constexpr const char16_t* kExitLabel = u"退";
constexpr const char16_t* kRetryLabel = u"重试";
constexpr const char16_t* kExitQuestion = u"确认退出";
// The cell type of a grid menu's cell event, whose cell value is an action.
constexpr const char16_t* kListCellType = u"List";

}  // namespace

void PageController::onEvent(std::unique_ptr<Event> event) {
    eventSource_.reset();
    userInput_ = true;
    if (!event) return;

    switch (event->kind()) {
        case EventKind::Hyper: {
            const auto& link = static_cast<const HyperEvent&>(*event);
            if (!link.getClickAction().isEmpty()) {
                onAction(link.getClickAction());
            } else if (!link.getTarget().isEmpty()) {
                onAction(CString(u"forward(") + link.getTarget() + u')');
            }
            return;
        }
        case EventKind::Button:
            onAction(static_cast<const ButtonEvent&>(*event).getClickAction());
            return;
        case EventKind::TextField:
            onTextFieldEvent(static_cast<const TextFieldEvent&>(*event));
            return;
        case EventKind::Key: {
            const auto& key = static_cast<const KeyEvent&>(*event);
            lastKeyText_ = key.getKey();
            onAction(key.getAction());
            return;
        }
        // A table runs the activated cell's or row's own action.
        case EventKind::TableCell:
            onAction(static_cast<const TableCellEvent&>(*event).getCellAction());
            return;
        case EventKind::TableRow:
            onAction(static_cast<const TableRowEvent&>(*event).getRowAction());
            return;
        default:
            break;
    }
    if (event->getCellType().view() == kListCellType) {
        onAction(event->getCellValue());
        return;
    }
    const CString action = event->getAction();
    if (action.isEmpty()) return;
    if (Item* source = event->getSource()) eventSource_ = source->weakRef();
    onAction(action);
}

// The field's name and value go into the link of the actions that open
// one, inside their parentheses.
void PageController::onTextFieldEvent(const TextFieldEvent& event) {
    eventSource_ = event.getSource() ? event.getSource()->weakRef() : ItemRef();
    CString action = event.getFieldAction();
    if (startsWithNoCase(action, CString(u"update")) ||
        startsWithNoCase(action, CString(u"forward")) ||
        startsWithNoCase(action, CString(u"gettablerow"))) {
        int close = action.find(u')');
        if (close < 0) close = action.length();
        action = setUrlParamKeepFragment(action.left(close), event.getName(), event.getValue()) +
                 action.mid(close);
    }
    onAction(action);
}

void PageController::commandAction(Command* command, Displayable* /*source*/) {
    if (!command) return;
    const CString label = command->getLabel();

    // The page's own soft keys come before the built-in labels.
    if (currentEntry_) {
        auto own = currentEntry_->commandActions.find(label);
        if (own != currentEntry_->commandActions.end() && !own->second.isEmpty()) {
            onAction(own->second);
            return;
        }
    }

    if (label.equalsNoCase(kBackLabel)) {
        goHistory(1);
    } else if (label.equalsNoCase(kForwardLabel)) {
        goHistory(-1);
    } else if (label.equalsNoCase(kExitLabel)) {
        if (messageBox(kExitQuestion, CString(), MessageBoxType::YesNo) == kIdYes) saveSettings();
    } else if (label.equalsNoCase(kRetryLabel)) {
        openUrl(lastUrl_, currentScreenId(), true, true, true, 0);
    }
}

}  // namespace zq
