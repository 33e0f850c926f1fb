// The watch-list's batch-delete page: one check row per code of one list;
// "确定" asks once, removes the checked codes from the watch-list and from
// the table of the page that opened it, and returns to that page. UI thread.
#include <memory>
#include <utility>
#include <vector>

#include "app/page_controller.h"
#include "app/table_actions.h"
#include "items/choice_group.h"
#include "items/fixed_head_table.h"
#include "items/table_model.h"
#include "platform/message_box.h"
#include "ui/command.h"
#include "ui/container.h"
#include "ui/default_styles.h"
#include "ui/form.h"

namespace zq {
namespace {

constexpr const char16_t* kTitle = u"批量删除";
constexpr const char16_t* kConfirmLabel = u"确定";
constexpr const char16_t* kDefaultColumn = u"code";

// The entry of the history that shows screen `screenId` (ids are never
// reused); null once the page that opened the batch delete has left it.
PageEntry* entryShowing(const PageHistory& history, int screenId) {
    auto same = [screenId](PageEntry* entry) { return entry && entry->screenId == screenId; };
    if (same(history.pending())) return history.pending();
    for (int i = 0; i < history.count(); ++i) {
        if (same(history.at(i))) return history.at(i);
    }
    for (int i = 0; i < history.recycledCount(); ++i) {
        if (same(history.recycledAt(i))) return history.recycledAt(i);
    }
    return nullptr;
}

// The quote table of `container` that has the column `key`: the focused one
// first, else the first in order.
FixTableItem* findCodeTable(Container* container, const CString& key, int depth = 0) {
    if (!container || depth > 32) return nullptr;
    auto fits = [&key](Item* item) -> FixTableItem* {
        if (!item || !item->isFixTableItem()) return nullptr;
        auto* table = static_cast<FixTableItem*>(item);
        SimpleTableModel* model = table->getModel().get();
        if (!model) return nullptr;
        TableReadLock guard(*model);
        return guard.held() && model->findColumnByKey(key) >= 0 ? table : nullptr;
    };
    if (FixTableItem* focused = fits(container->getFocusedItem())) return focused;
    for (int i = 0; i < container->size(); ++i) {
        Item* item = container->getItem(i);
        if (FixTableItem* table = fits(item)) return table;
        if (auto* inner = dynamic_cast<Container*>(item)) {
            if (FixTableItem* table = findCodeTable(inner, key, depth + 1)) return table;
        }
    }
    return nullptr;
}

// The confirm command of the page; every other command goes on to the
// controller.
class BatchDeleteListener : public CommandListener {
public:
    BatchDeleteListener(PageController& controller, FixTableItem* table, ChoiceGroup* rows,
                        int kind, CString columnName, const PageEntry* returnTo)
        : controller_(controller),
          table_(table ? table->weakRef() : ItemRef()),
          rows_(rows ? rows->weakRef() : ItemRef()),
          kind_(kind),
          columnName_(std::move(columnName)),
          returnTo_(returnTo ? returnTo->screenId : -1),
          confirm_(std::make_shared<Command>(CString(kConfirmLabel), kCommandOk, 1)) {}

    const CommandRef& confirmCommand() const { return confirm_; }

    void commandAction(Command* command, Displayable* source) override {
        if (command != confirm_.get()) {
            controller_.commandAction(command, source);
            return;
        }
        // 1. One question for every checked row.
        if (messageBox(CString(u"确认删除选中的自选股？"), CString(u"删除确认"),
                       MessageBoxType::YesNo) != kIdYes) {
            return;
        }
        // 2. The checked codes leave the watch-list.
        std::vector<CString> codes;
        if (auto* rows = dynamic_cast<ChoiceGroup*>(rows_.get())) {
            for (int i = 0; i < rows->size(); ++i) {
                if (rows->isSelected(i)) codes.push_back(optionValueAt(rows->getValues(), i));
            }
        }
        if (WatchList* list = controller_.watchList()) {
            for (const CString& code : codes) list->remove(kind_, code);
        }
        // 3. And the table of the page that opened this one.
        if (auto* table = static_cast<FixTableItem*>(table_.get())) {
            table->removeRowsByValues(&codes, columnName_);
        }
        // 4. Back to that page: a step back when it is the page before.
        PageHistory& history = controller_.history();
        PageEntry* opener = entryShowing(history, returnTo_);
        if (!opener) return;
        if (history.current() > 0 && history.at(history.current() - 1) == opener &&
            history.at(history.current()) == controller_.currentEntry()) {
            history.entryAt(1);
        }
        controller_.makeCurrent(opener);
    }

private:
    PageController& controller_;
    ItemRef table_;
    ItemRef rows_;
    const int kind_;
    const CString columnName_;
    // The screen id of the page to return to.
    const int returnTo_;
    CommandRef confirm_;
};

// The page's form owns its listener.
class BatchDeleteForm : public Form {
public:
    BatchDeleteForm() : Form(CString(kTitle), createBatchDeleteFormStyle()) {}
    BatchDeleteListener& listen(std::unique_ptr<BatchDeleteListener> listener) {
        listener_ = std::move(listener);
        setCommandListener(listener_.get());
        return *listener_;
    }

private:
    std::unique_ptr<BatchDeleteListener> listener_;
};

}  // namespace

void PageController::onDelMyStockAll(const CString& piece) {
    // "da(kind,column)": the list's kind (stocks when not "fund") and the
    // opener's code column.
    const CString argument = argumentBetweenParens(piece);
    const int comma = argument.find(u',');
    CString kindWord = comma < 0 ? argument : argument.left(comma);
    CString columnName = comma < 0 ? CString() : argument.mid(comma + 1);
    if (columnName.trim().isEmpty()) columnName = CString(kDefaultColumn);
    const int kind = watchEntryType(kindWord) == kWatchFund ? kWatchFund : kWatchStock;

    // One check row per code.
    auto rows = std::make_unique<ChoiceGroup>(CString(), kChoiceMultiple, createChoiceGroupStyle());
    for (const CString& code : watchList_->codes(kind)) {
        rows->append(code, nullptr);
        rows->addOptionValue(code);
    }
    ChoiceGroup* rowsSeen = rows.get();

    auto form = std::make_unique<BatchDeleteForm>();
    form->setHeaderText(CString(kTitle));
    form->append(std::move(rows));
    form->setEventListener(this);
    Screen* opener = currentScreen();
    FixTableItem* table = opener ? findCodeTable(opener->getContent(), columnName) : nullptr;
    BatchDeleteListener& listener = form->listen(std::make_unique<BatchDeleteListener>(
        *this, table, rowsSeen, kind, columnName, currentEntry_));
    form->addCommand(listener.confirmCommand());

    auto entry = std::make_unique<PageEntry>();
    entry->screen = std::move(form);
    showPage(std::move(entry), -1, false, CancelFlag());
}

}  // namespace zq
