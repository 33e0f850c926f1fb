// The page servers as one ordered list: the host to use first, then the
// others, grouped by carrier.
//
// The settings hold one host list per carrier and the host saved as the
// current one; load() turns them into the list and remembers the carrier of
// the chosen host, which picks the WAP gateway and connection type. A HostSet
// is a plain value: the controller keeps one and the speed tests keep copies.
// Not thread-safe; copy it to hand it to another thread.
#pragma once

#include <array>
#include <cstdint>
#include <string_view>
#include <vector>

#include "core/host_record.h"
#include "platform/cstring.h"

namespace zq {

inline constexpr std::u16string_view kCarrierMobile = u"中国移动(CM)";
inline constexpr std::u16string_view kCarrierTelecom = u"中国电信(CT)";
inline constexpr std::u16string_view kCarrierUnicom = u"中国联通(UNI)";

class HostSet {
public:
    static constexpr int kCarrierCount = 3;
    using CarrierLists = std::array<std::vector<HostRecord>, kCarrierCount>;

    // Replaces the hosts from the saved host text ("sys-curhost") and the
    // ','-separated lists of the three carriers, in the order Mobile,
    // Telecom, Unicom. Without a saved host the first host is picked by the
    // tick count.
    void load(const CString& savedHost, const CString& mobileList, const CString& telecomList,
              const CString& unicomList);

    int count() const { return static_cast<int>(hosts_.size()); }
    // A copy; an empty record when `index` is outside 0..count-1.
    HostRecord host(int index) const;
    const CString& carrierName() const { return carrierName_; }
    // -1 before the first load, 0 after.
    int currentIndex() const { return currentIndex_; }

    // The choice rule behind load(). The saved host's carrier wins (the
    // first list that holds it, its last equal record); otherwise a host is
    // picked by `tick`, from the first carrier when it has hosts, else across
    // the others. Fills `out` with the chosen host, the rest of its list, then
    // the other lists in order, and sets `carrierName` to the chosen
    // carrier's. Nothing is chosen (out stays empty, carrierName untouched)
    // when every list is empty.
    static void chooseHost(CarrierLists lists, const HostRecord& savedHost, uint32_t tick,
                           std::vector<HostRecord>& out, CString& carrierName);

private:
    std::vector<HostRecord> hosts_;
    int currentIndex_ = -1;
    CString carrierName_{kCarrierMobile};
};

}  // namespace zq
