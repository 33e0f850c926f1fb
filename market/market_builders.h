// The market widgets a page names ("price", "kline", "mychoose", ...).
// Live quote widgets and charts are not built: each builder gives an empty
// item that takes no focus and no room, which the page names and places
// like any other control.
//
// UI thread only.
#pragma once

#include <memory>

namespace zq {

class Item;

enum class MarketWidgetKind {
    KLine,           // "kline"
    IndexTable,      // "padindex"
    WatchListTable,  // "mychoose"
    ColumnTable,     // "tableconfig"
    Ranking,         // "stockTop"
    QuotePanel,      // "price", "futureprice"
    MinuteLine,      // "datafs", "futurefs"
    KLineChart,      // "datakline"
    TickDetail,      // "detailed", "futuredetail"
    OrderBook,       // "trust"
    FuturesTable,    // "futureindex"
    FundChart,       // "fund"
    RecentStocks,    // "recentbrowser"
};

// The empty widget of `kind`: a KLine for the K-line kinds, a
// MarketWidgetItem otherwise. Never null.
std::unique_ptr<Item> buildMarketWidget(MarketWidgetKind kind);

}  // namespace zq
