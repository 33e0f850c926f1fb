// FormActions: the dialog, form and item actions ("alert", "confirm",
// "submit", "reset", "hide", "show", "focus", "setfont", ...), with the
// argument forms of "alert" and "confirm" apart from the boxes they open, so
// that every form a page writes can be checked. UI thread.
#pragma once

#include <memory>
#include <optional>
#include <vector>

#include "app/action_host.h"
#include "platform/cstring.h"
#include "ui/alert_screen.h"
#include "ui/command.h"

namespace zq {

class ContactPicker;

struct AlertRequest {
    CString message;
    // 1 error, 3 warning, 4 question, 0 any other word.
    int type = 0;
};

// "message,type[,ignored]" (each part trimmed); nullopt for any other
// number of parts.
std::optional<AlertRequest> parseAlertArgument(const CString& argument);

struct ConfirmRequest {
    CString message;
    CString yesAction;
    CString noAction;  // empty: No does nothing
};

// "message,yes,no" or "message,forward(link,no)" (split outside
// parentheses); nullopt for any other form.
std::optional<ConfirmRequest> parseConfirmArgument(const CString& argument);

class FormActions {
public:
    explicit FormActions(ActionHost& host) : host_(host) {}
    FormActions(const FormActions&) = delete;
    FormActions& operator=(const FormActions&) = delete;

    // Each takes the whole action piece.
    void onAlert(const CString& piece);
    void onConfirm(const CString& piece);
    void onSubmit(const CString& piece);
    void onStockSubmit(const CString& piece);
    void onSpecialSubmit(const CString& piece);
    void onReset(const CString& piece);
    void onHide(const CString& piece);
    void onShow(const CString& piece);
    void onChangeCgp(const CString& piece);
    void onFocus(const CString& piece);
    void onSetFont(const CString& piece);
    void onGetOutLookToId(const CString& piece);
    void onClearApp(const CString& piece);

    // The picker "GetOutLookToID" asks (borrowed); null puts back the
    // default, the picker of the installed device services.
    void setContactPicker(ContactPicker* picker) { contactPicker_ = picker; }

    // While set, "alert" and "confirm" boxes wait for a later round of the
    // UI thread instead of opening inside the page being built.
    class PageBuildScope {
    public:
        explicit PageBuildScope(FormActions& actions) : actions_(actions) {
            ++actions_.pageBuildDepth_;
        }
        ~PageBuildScope() { --actions_.pageBuildDepth_; }
        PageBuildScope(const PageBuildScope&) = delete;
        PageBuildScope& operator=(const PageBuildScope&) = delete;

    private:
        FormActions& actions_;
    };

private:
    bool deferBoxes() const;
    void setItemsVisible(const CString& names, bool visible);

    ActionHost& host_;
    // The alert's "返" key, shared by every alert.
    CommandRef alertReturnCommand_;
    // Alerts shown, kept until they are neither current nor returned to.
    std::vector<std::unique_ptr<AlertScreen>> alerts_;
    ContactPicker* contactPicker_ = nullptr;
    int pageBuildDepth_ = 0;
};

}  // namespace zq
