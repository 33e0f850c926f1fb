// LargeCapIndex: the index table of the market widgets, a quote table that
// keeps the address its rows are requested from ("ctrlrefresh" reloads
// it). Its timed refresh and live rows come with the market widgets.
//
// UI thread only, as every item.
#pragma once

#include "items/fixed_head_table.h"
#include "platform/cstring.h"

namespace zq {

class LargeCapIndex : public FixTableItem {
public:
    using FixTableItem::FixTableItem;

    const CString& getDataLink() const { return dataLink_; }
    void setDataLink(const CString& link) { dataLink_ = link; }

private:
    CString dataLink_;
};

}  // namespace zq
