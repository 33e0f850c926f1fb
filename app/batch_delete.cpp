// The watch-list's batch-delete page. UI thread.
#include <memory>

#include "app/page_controller.h"
#include "items/fixed_head_table.h"
#include "items/table_model.h"
#include "ui/command.h"
#include "ui/default_styles.h"
#include "ui/form.h"

namespace zq {

void PageController::onDelMyStockAll(const CString& /*piece*/) {
    // The stocks of the watch-list in a table; "确定" deletes the focused one.
    auto data = std::make_unique<TextRows>();
    for (const CString& code : watchList_->codes(kWatchStock)) {
        data->push_back(std::make_unique<TextRow>(TextRow{code}));
    }
    auto model = std::make_shared<SimpleTableModel>(std::move(data), nullptr,
                                                    TextRow{CString(u"代码")}, std::nullopt);
    model->setColumnKeys(TextRow{CString(u"code")});
    auto table = std::make_unique<FixTableItem>(CString(), std::move(model), 0, createTableStyle());
    table->setEventListener(this);

    auto entry = std::make_unique<PageEntry>();
    auto form = std::make_unique<Form>(CString(u"批量删除"), createFormStyle());
    form->setHeaderText(CString(u"批量删除"));
    form->append(std::move(table));
    form->setEventListener(this);
    form->setCommandListener(this);
    form->addCommand(std::make_shared<Command>(CString(u"确定"), kCommandOk, 1));
    entry->commandActions.emplace(CString(u"确定"), CString(u"delmystocklist(stock,code)"));
    entry->screen = std::move(form);
    showPage(std::move(entry), -1, false, CancelFlag());
}

}  // namespace zq
