// The argument forms of the "alert" and "confirm" actions, apart from the
// boxes they open, so that every form a page writes can be checked.
#pragma once

#include <optional>

#include "platform/cstring.h"

namespace zq {

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

}  // namespace zq
