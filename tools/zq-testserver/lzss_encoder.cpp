#include "tools/zq-testserver/lzss_encoder.h"

#include <algorithm>
#include <cstdint>
#include <vector>

namespace zq::testserver {

namespace {

constexpr size_t kRingSize = 4096;
constexpr size_t kRingStart = 4078;  // zeros before it, the write position at it
constexpr size_t kMinMatch = 3;
constexpr size_t kMaxMatch = 18;
// The newest byte of the window may be read before it is overwritten, but
// staying one short keeps every match clear of the write position.
constexpr size_t kMaxDistance = kRingSize - 1;
constexpr size_t kHashBits = 15;
constexpr int kChainLimit = 256;

// The history is the ring's initial zeros followed by the input, so a
// history index maps to the ring position index % 4096 and a match is a
// plain backwards copy in it.
class MatchFinder {
public:
    explicit MatchFinder(const std::vector<uint8_t>& history)
        : history_(history), head_(size_t{1} << kHashBits, -1), prev_(history.size(), -1) {}

    void insert(size_t pos) {
        if (pos + kMinMatch > history_.size()) return;
        const size_t h = hashAt(pos);
        prev_[pos] = head_[h];
        head_[h] = static_cast<int32_t>(pos);
    }

    // Longest match for `pos` within kMaxDistance; length 0 when none of
    // kMinMatch bytes exists.
    std::pair<size_t, size_t> find(size_t pos) const {
        const size_t limit = std::min(kMaxMatch, history_.size() - pos);
        size_t bestLength = 0;
        size_t bestFrom = 0;
        if (limit < kMinMatch) return {0, 0};
        int steps = kChainLimit;
        for (int32_t from = head_[hashAt(pos)]; from >= 0 && steps-- > 0; from = prev_[from]) {
            const size_t candidate = static_cast<size_t>(from);
            if (pos - candidate > kMaxDistance) break;
            size_t length = 0;
            while (length < limit && history_[candidate + length] == history_[pos + length]) {
                ++length;
            }
            if (length > bestLength) {
                bestLength = length;
                bestFrom = candidate;
                if (length == limit) break;
            }
        }
        if (bestLength < kMinMatch) return {0, 0};
        return {bestFrom, bestLength};
    }

private:
    size_t hashAt(size_t pos) const {
        const uint32_t key = (uint32_t{history_[pos]} << 16) | (uint32_t{history_[pos + 1]} << 8) |
                             history_[pos + 2];
        return (key * 2654435761u) >> (32 - kHashBits);
    }

    const std::vector<uint8_t>& history_;
    std::vector<int32_t> head_;
    std::vector<int32_t> prev_;
};

}  // namespace

std::string lzssEncode(std::string_view input) {
    std::vector<uint8_t> history(kRingStart, 0);
    history.insert(history.end(), input.begin(), input.end());
    MatchFinder finder(history);
    for (size_t pos = 0; pos < kRingStart; ++pos) finder.insert(pos);

    std::string out;
    out.reserve(input.size() + input.size() / 8 + 1);
    size_t flagAt = 0;
    int item = 8;
    size_t pos = kRingStart;
    while (pos < history.size()) {
        // 1. Open a new flag byte every eight items.
        if (item == 8) {
            flagAt = out.size();
            out.push_back(0);
            item = 0;
        }
        // 2. A pair when a match of three bytes or more exists, else a literal.
        const auto [from, length] = finder.find(pos);
        if (length == 0) {
            out[flagAt] = static_cast<char>(out[flagAt] | (1 << item));
            out.push_back(static_cast<char>(history[pos]));
            finder.insert(pos++);
        } else {
            const size_t ringPos = from % kRingSize;
            out.push_back(static_cast<char>(ringPos & 0xFF));
            out.push_back(static_cast<char>(((ringPos >> 4) & 0xF0) | (length - kMinMatch)));
            for (size_t k = 0; k < length; ++k) finder.insert(pos++);
        }
        ++item;
    }
    return out;
}

}  // namespace zq::testserver
