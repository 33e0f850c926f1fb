// Chart and KLine: the chart items pages place. Their drawing of quotes is
// not built; a chart is an empty item that takes no focus and keeps the
// link its data comes from and, for a K-line, the indicator it shows.
//
// Ownership as for every item. UI thread only.
#pragma once

#include "platform/cstring.h"
#include "ui/item.h"

namespace zq {

class Chart : public Item {
public:
    Chart();

    // The address the chart's data is requested from ("ctrlrefresh").
    const CString& getDataLink() const { return dataLink_; }
    void setDataLink(const CString& link) { dataLink_ = link; }

private:
    CString dataLink_;
};

class KLine : public Chart {
public:
    static constexpr int kIndicatorCount = 5;

    // Keeps `n` modulo kIndicatorCount (0..4 for any n); a change marks the
    // chart for recomputation.
    void setIndicator(int n);
    int getIndicator() const { return indicator_; }
    bool needsRecompute() const { return needsRecompute_; }
    void clearRecompute() { needsRecompute_ = false; }

private:
    int indicator_ = 0;
    bool needsRecompute_ = false;
};

}  // namespace zq
