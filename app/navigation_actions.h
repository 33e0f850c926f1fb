// NavigationActions: the actions that open a link ("forward", "getdata",
// "update", ...), walk the history ("back", "forback", "gohome"), choose an
// action by a stored memory value ("switchforward") or open the system
// browser; and the "tel://" call of the page loader. UI thread.
#pragma once

#include "app/action_host.h"
#include "platform/cstring.h"

namespace zq {

class NavigationActions {
public:
    explicit NavigationActions(ActionHost& host) : host_(host) {}
    NavigationActions(const NavigationActions&) = delete;
    NavigationActions& operator=(const NavigationActions&) = delete;

    // Each takes the whole action piece, "name(arguments)".
    void onForward(const CString& piece);
    void onKolmForward(const CString& piece);
    void onGetData(const CString& piece);
    void onUpdate(const CString& piece);
    void onBack(const CString& piece);
    void onForBack(const CString& piece);
    void onGoHome(const CString& piece);
    void onSwitchForward(const CString& piece);
    void onOpenSystemBrowser(const CString& piece);
    // The "tel://" branch of the page loader.
    // False when the link names no number to call: nothing is done.
    bool dialTelLink(const CString& link);

private:
    ActionHost& host_;
};

}  // namespace zq
