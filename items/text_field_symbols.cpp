// TextField, the symbol picker's side: the symbol table and what a choice
// on a picker screen does to the field.
#include <algorithm>

#include "items/choice_group.h"
#include "items/text_field.h"
#include "ui/client_context.h"
#include "ui/container.h"
#include "ui/default_styles.h"
#include "ui/display.h"
#include "ui/screen.h"

namespace zq {

namespace {

// The Choice a list screen shows: the first child of its content.
const Choice* listOf(Displayable* source) {
    auto* screen = dynamic_cast<Screen*>(source);
    Container* content = screen ? screen->getContent() : nullptr;
    if (!content || content->size() == 0) return nullptr;
    return dynamic_cast<const Choice*>(content->children()[0].get());
}

}  // namespace

const std::array<CString, 28>& TextField::symbolTable() {
    static const std::array<CString, 28> table = {
        CString(u"&"),  CString(u"@"),  CString(u"/"),  CString(u"\\"), CString(u"<"),
        CString(u">"),  CString(u"("),  CString(u")"),  CString(u"{"),  CString(u"}"),
        CString(u"["),  CString(u"]"),  CString(u"."),  CString(u"+"),  CString(u"-"),
        CString(u"*"),  CString(u":"),  CString(u"_"),  CString(u"\""), CString(u"#"),
        CString(u"$"),  CString(u"%"),  CString(u":)"), CString(u":("), CString(u";)"),
        CString(u":x"), CString(u":D"), CString(u":P"),
    };
    return table;
}

void TextField::symbolChosen(Command* command, Displayable* source) {
    const Choice* list = listOf(source);
    if (!list) {
        returnToScreen(false);
        return;
    }
    const CommandRef exit = sharedExitCommand();
    if (command && command != exit.get()) {
        const int index = list->getSelectedIndex();
        if (index >= 0 && index < static_cast<int>(symbolTable().size())) {
            insertSymbol(symbolTable()[index]);
        }
        updateEditCommands();
    }
    returnToScreen(true);
    notifyStateChanged();
}

bool TextField::insertSymbol(const CString& text) {
    if (readOnly_) return false;
    commitPendingChar();
    const CString old = value();
    if (charCount(old) + charCount(text) > maxSize_) return false;
    const int caret = std::clamp(caretIndex_, 0, old.length());
    CString next = old;
    next.insert(caret, text);
    storeValue(next, caret + text.length());
    return true;
}

void TextField::returnToScreen(bool record) {
    auto* screen = dynamic_cast<Screen*>(getScreen());
    Display* display = Display::getDisplay();
    if (!screen || !display) return;
    if (record) ClientContext::current().setRecordedCurrentScreen(screen);
    display->setCurrent(screen, true);
    const Rect area = displayArea();
    screen->setSize(area.width(), area.height());
    display->repaint();
}

}  // namespace zq
