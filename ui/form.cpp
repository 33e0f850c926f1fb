#include "ui/form.h"

#include <utility>

#include "ui/container.h"
#include "ui/item.h"

namespace zq {

Form::Form(const CString& title) : Screen(title, true) {}

Form::Form(const CString& title, Style* style) : Screen(title, style, true) {}

Form::~Form() = default;

Container* Form::appendTarget() { return getContent(); }

int Form::appendStyled(std::unique_ptr<Item> item, Style* style) {
    Container* target = appendTarget();
    if (!item || !target) return -1;
    item->setScreen(this);
    Item* added = target->add(std::move(item));
    if (style) added->setStyle(style);
    if (isShown()) repaint();
    return target->size() - 1;
}

}  // namespace zq
