#include "market/market_builders.h"

#include "charts/chart.h"
#include "ui/item.h"

namespace zq {
namespace {

// A widget whose live content is not built.
class MarketWidgetItem : public Item {
public:
    MarketWidgetItem() { setAppearanceMode(kAppearancePlain); }
};

}  // namespace

std::unique_ptr<Item> buildMarketWidget(MarketWidgetKind kind) {
    switch (kind) {
        case MarketWidgetKind::KLine:
        case MarketWidgetKind::KLineChart:
            return std::make_unique<KLine>();
        default:
            return std::make_unique<MarketWidgetItem>();
    }
}

}  // namespace zq
