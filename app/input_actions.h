// InputActions: "keyboardinput" opens the code input pad of the shown
// screen, "GetValueToSms" sends a text field's text as a message. UI thread.
#pragma once

#include "app/action_host.h"
#include "platform/cstring.h"

namespace zq {

class InputActions {
public:
    explicit InputActions(ActionHost& host) : host_(host) {}
    InputActions(const InputActions&) = delete;
    InputActions& operator=(const InputActions&) = delete;

    // "keyboardinput": the shown screen's code input pad, for the argument's
    // address template.
    void onKeyboardInput(const CString& piece);
    // "GetValueToSms(message,field)": "sms://" + the text field's text + "#"
    // + message; nothing when the named item is not a text field.
    void onGetValueToSms(const CString& piece);

private:
    ActionHost& host_;
};

}  // namespace zq
