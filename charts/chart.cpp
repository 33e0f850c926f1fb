#include "charts/chart.h"

namespace zq {

Chart::Chart() { setAppearanceMode(kAppearancePlain); }

void KLine::setIndicator(int n) {
    int index = ((n % kIndicatorCount) + kIndicatorCount) % kIndicatorCount;
    if (index == indicator_) return;
    indicator_ = index;
    needsRecompute_ = true;
}

}  // namespace zq
