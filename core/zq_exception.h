// The error object: an error holder that long-lived objects keep (it maps
// error numbers to texts and lists every text recorded), and the exception
// thrown by value when a caller hands in something unusable.
//
// Beside it stands the error latch: the first error noted since the start
// of the current user action, shown in a box when the action asks for it.
// Holders and the latch may be used from several threads.
#pragma once

#include <exception>
#include <map>
#include <mutex>
#include <string>
#include <vector>

#include "platform/cstring.h"
#include "platform/message_box.h"

namespace zq {

class ZQException : public std::exception {
public:
    ZQException() = default;
    explicit ZQException(const CString& message);
    ZQException(const ZQException& other);
    ZQException& operator=(const ZQException& other);

    // The thrown exception's text (UTF-8).
    const char* what() const noexcept override { return what_.c_str(); }
    CString message() const;

    // Notes the error in the latch, appends the text to the list and keeps it
    // under `code` (a later text of the same code replaces it). Returns 1.
    int setError(int code, const CString& text);
    // Shows the text kept under `code` in a box captioned "Error Code : %03u"
    // and returns the box's answer. An unknown code shows an empty text.
    int reportError(MessageBoxType type, int code);

    CString errorText(int code) const;
    std::vector<CString> messages() const;
    void clearMessages();

private:
    mutable std::mutex mutex_;
    std::map<int, CString> messagesByCode_;
    std::vector<CString> messages_;
    CString message_;
    std::string what_;
};

// The error latch. With `reset`, forgets the kept error (start of an action)
// and does nothing else. Otherwise the first call after a reset keeps `code`
// and `text`. With `show`, a kept error with a non-zero code is shown in a box
// captioned "错误号 : %d". Returns the box's answer, or 0 when none is shown.
int latchError(bool reset, bool show, int code, const CString& text);

// Where every holder notes its errors: the latch, without a box.
int logError(int code, const CString& text);

}  // namespace zq
