#include "net/host_set.h"

#include "core/string_utils.h"
#include "platform/clock.h"

namespace zq {

namespace {

const std::u16string_view kCarrierNames[HostSet::kCarrierCount] = {kCarrierMobile, kCarrierTelecom,
                                                                   kCarrierUnicom};

}  // namespace

void HostSet::load(const CString& savedHost, const CString& mobileList, const CString& telecomList,
                   const CString& unicomList) {
    hosts_.clear();
    CarrierLists lists;
    parseHostList(mobileList, lists[0]);
    parseHostList(telecomList, lists[1]);
    parseHostList(unicomList, lists[2]);
    std::vector<HostRecord> saved;
    parseHostList(savedHost, saved);
    HostRecord chosenBefore = saved.empty() ? HostRecord() : saved.front();
    chooseHost(std::move(lists), chosenBefore, tickCount(), hosts_, carrierName_);
    currentIndex_ = 0;
}

HostRecord HostSet::host(int index) const {
    if (index < 0 || index >= count()) return HostRecord();
    return hosts_[static_cast<size_t>(index)];
}

void HostSet::chooseHost(CarrierLists lists, const HostRecord& savedHost, uint32_t tick,
                         std::vector<HostRecord>& out, CString& carrierName) {
    int front = -1;
    int chosen = -1;
    // The saved host's carrier, when a list holds it.
    for (int i = 0; i < kCarrierCount && front < 0; ++i) {
        int found = findHostIndex(lists[static_cast<size_t>(i)], savedHost);
        if (found >= 0) {
            front = i;
            chosen = found;
        }
    }
    // Otherwise by the tick: the first carrier, else across the others.
    if (front < 0 && !lists[0].empty()) {
        front = 0;
        chosen = static_cast<int>(tick % lists[0].size());
    }
    if (front < 0) {
        size_t total = 0;
        for (int i = 1; i < kCarrierCount; ++i) total += lists[static_cast<size_t>(i)].size();
        if (total == 0) return;
        size_t r = tick % total;
        for (int i = 1; i < kCarrierCount; ++i) {
            size_t size = lists[static_cast<size_t>(i)].size();
            if (r < size) {
                front = i;
                chosen = static_cast<int>(r);
                break;
            }
            r -= size;
        }
    }
    carrierName = CString(kCarrierNames[front]);
    // The chosen host, the rest of its list, then the other lists in order.
    const std::vector<HostRecord>& frontList = lists[static_cast<size_t>(front)];
    out.push_back(frontList[static_cast<size_t>(chosen)]);
    for (size_t k = 0; k < frontList.size(); ++k) {
        if (static_cast<int>(k) != chosen) out.push_back(frontList[k]);
    }
    for (int i = 0; i < kCarrierCount; ++i) {
        if (i == front) continue;
        for (const HostRecord& record : lists[static_cast<size_t>(i)]) out.push_back(record);
    }
}

}  // namespace zq
