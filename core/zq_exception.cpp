#include "core/zq_exception.h"

namespace zq {

namespace {

struct ErrorLatch {
    std::mutex mutex;
    int code = 0;
    CString text;
    int calls = 0;
};

ErrorLatch& latch() {
    static ErrorLatch instance;
    return instance;
}

}  // namespace

ZQException::ZQException(const CString& message) : message_(message), what_(message.toUtf8()) {}

ZQException::ZQException(const ZQException& other) : std::exception(other) {
    std::lock_guard lock(other.mutex_);
    messagesByCode_ = other.messagesByCode_;
    messages_ = other.messages_;
    message_ = other.message_;
    what_ = other.what_;
}

ZQException& ZQException::operator=(const ZQException& other) {
    if (this == &other) return *this;
    std::scoped_lock lock(mutex_, other.mutex_);
    messagesByCode_ = other.messagesByCode_;
    messages_ = other.messages_;
    message_ = other.message_;
    what_ = other.what_;
    return *this;
}

CString ZQException::message() const {
    std::lock_guard lock(mutex_);
    return message_;
}

int ZQException::setError(int code, const CString& text) {
    logError(code, text);
    std::lock_guard lock(mutex_);
    messages_.push_back(text);
    messagesByCode_[code] = text;
    return 1;
}

int ZQException::reportError(MessageBoxType type, int code) {
    const CString text = errorText(code);
    return messageBox(text, CString::format(u"Error Code : %03u", static_cast<unsigned>(code)),
                      type);
}

CString ZQException::errorText(int code) const {
    std::lock_guard lock(mutex_);
    auto it = messagesByCode_.find(code);
    return it == messagesByCode_.end() ? CString() : it->second;
}

std::vector<CString> ZQException::messages() const {
    std::lock_guard lock(mutex_);
    return messages_;
}

void ZQException::clearMessages() {
    std::lock_guard lock(mutex_);
    messages_.clear();
}

int latchError(bool reset, bool show, int code, const CString& text) {
    ErrorLatch& l = latch();
    int keptCode = 0;
    CString keptText;
    {
        std::lock_guard lock(l.mutex);
        if (reset) {
            l.calls = -1;
            return 0;
        }
        if (++l.calls == 0) {
            l.code = code;
            l.text = text;
        }
        if (!show || l.calls == 0 || l.code == 0) return 0;
        keptCode = l.code;
        keptText = l.text;
    }
    // The box is modal: never hold the latch while it is up.
    return messageBox(keptText, CString::format(u"错误号 : %d", keptCode), MessageBoxType::Ok);
}

int logError(int code, const CString& text) { return latchError(false, false, code, text); }

}  // namespace zq
