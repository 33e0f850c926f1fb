#include "app/input_actions.h"

#include "app/action_dispatcher.h"
#include "app/settings_store.h"
#include "core/string_utils.h"
#include "items/text_field.h"
#include "ui/code_input_pad.h"
#include "ui/screen.h"

namespace zq {

void InputActions::onKeyboardInput(const CString& piece) {
    const CString text = cutActionArgument(piece, u"keyboardinput", u"kp");
    Screen* screen = host_.currentScreen();
    if (!screen) return;
    screen->openCodeInputPad(host_.eventListener(), text, true);
    if (CodeInputPad* pad = screen->getCodeInputPad())
        pad->setQuickPathLookup([&settings = host_.settings()](const CString& code) {
            return settings.quickPath(code);
        });
}

void InputActions::onGetValueToSms(const CString& piece) {
    // The message and the field between the first '(' and the last ')'.
    const int open = piece.find(u'(');
    const int close = piece.reverseFind(u')');
    if (open < 0 || close <= open) return;
    const StringArray parts = splitOutsideParens(u',', piece.mid(open + 1, close - open - 1));
    if (parts.size() < 2) return;
    // Only a text field gives the recipients.
    auto* field = dynamic_cast<TextField*>(host_.getItemByName(CString(parts[1]).trim()));
    if (!field) return;
    // A '#' typed among the numbers would start the message early and send
    // the rest to a cut number: encoded, it makes its number one refused.
    CString numbers = field->getText();
    numbers.replace(CString(u"#"), CString(u"%23"));
    host_.openUrl({.url = CString(u"sms://") + numbers + u'#' + parts[0],
                   .screenId = host_.currentScreenId()});
}

}  // namespace zq
