#include "core/host_record.h"

namespace zq {

bool HostRecord::parse(const CString& text) {
    int first = text.find(u':');
    if (first < 0) return false;
    address = text.left(first);
    int second = text.find(u':', first + 1);
    if (second < 0) return true;
    httpPort = text.mid(first + 1, second - first - 1);
    int third = text.find(u':', second + 1);
    if (third < 0) return true;
    socketPort = text.mid(second + 1, third - second - 1);
    int fourth = text.find(u':', third + 1);
    if (fourth < 0) return true;
    name = text.mid(third + 1, fourth - third - 1);
    rest = text.mid(fourth + 1);
    return true;
}

CString HostRecord::toText() const {
    return address + u':' + httpPort + u':' + socketPort + u':' + name + u':' + rest;
}

bool HostRecord::equals(const HostRecord& other) const {
    return address.equalsNoCase(other.address) && httpPort.equalsNoCase(other.httpPort) &&
           name.equalsNoCase(other.name);
}

}  // namespace zq
