// The benchmark page, written here: a quote table of N rows, an order form
// (text, edit, choice group, button), tabs, a list of links, an image and
// CJK text, once as zqml and once as the same content in HTML+CSS for the
// reference engine. At 100 rows it is about 32 KB.
#pragma once

#include <cstdio>
#include <string>

namespace zq::bench {

struct QuoteRow {
    std::string code;
    std::string name;
    std::string price;
    std::string change;
    std::string volume;
    std::string high;
    std::string turnover;
    bool up = false;
};

inline QuoteRow quoteRow(int i) {
    static const char* const kNames[] = {"华岳电子", "青川科技", "东江食品", "北辰银行",
                                         "南山药业", "西海能源", "中原重工", "江淮汽车"};
    QuoteRow row;
    char text[32];
    std::snprintf(text, sizeof text, "%06d", 600000 + i * 7);
    row.code = text;
    row.name = kNames[i % 8];
    std::snprintf(text, sizeof text, "%d.%02d", 5 + (i * 37) % 60, (i * 13) % 100);
    row.price = text;
    row.up = (i % 3) != 0;
    std::snprintf(text, sizeof text, "%c%d.%02d%%", row.up ? '+' : '-', (i * 7) % 10,
                  (i * 29) % 100);
    row.change = text;
    std::snprintf(text, sizeof text, "%d", 1000 + (i * 7919) % 90000);
    row.volume = text;
    std::snprintf(text, sizeof text, "%d.%02d", 6 + (i * 37) % 60, (i * 17) % 100);
    row.high = text;
    std::snprintf(text, sizeof text, "%d.%02d%%", (i * 3) % 10, (i * 41) % 100);
    row.turnover = text;
    return row;
}

inline const char* kNewsLines[] = {
    "沪深两市今日震荡走高，电子板块领涨，成交量较昨日放大两成。",
    "分析人士认为，订单回暖带动了市场情绪，短线仍需留意量能变化。",
    "北向资金午后加速流入，银行与券商板块同步走强。",
};

inline std::string zqmlPage(int rows) {
    std::string s =
        "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<zqml>\n<style>\n"
        "title{font-size:large;font-style:bold;font-color:#ffd75e}\n"
        "quiet{font-color:#9fb3c8}\nup{font-color:#ff5a5a}\ndown{font-color:#4cd07d}\n"
        "</style>\n<body>\n";
    s += "<text class=\"title\">市场概览 行情中心</text>\n";
    s += "<img src=\"logo.png\"/>\n";
    for (int i = 0; i < 32; ++i) {
        s += std::string("<text>") + kNewsLines[i % 3] + kNewsLines[(i + 1) % 3] + "</text>\n";
    }
    s += "<tab id=\"views\" selectedpageid=\"p1\">\n";
    s += "<page caption=\"自选\" id=\"p1\"><text class=\"quiet\">自选股列表</text></page>\n";
    s += "<page caption=\"沪深\" id=\"p2\"><text class=\"quiet\">沪深两市</text></page>\n";
    s += "<page caption=\"港股\" id=\"p3\"><text class=\"quiet\">港股通</text></page>\n";
    s += "</tab>\n";
    s += "<table id=\"quotes\">\n<th><td>代码</td><td>名称</td><td>现价</td><td>涨跌</td>"
         "<td>成交</td><td>最高</td><td>换手</td></th>\n";
    for (int i = 0; i < rows; ++i) {
        const QuoteRow r = quoteRow(i);
        s += "<tr onclick=\"forward(quote.zqml?code=" + r.code + "&amp;market=sh)\"><td>" + r.code +
             "</td><td>" + r.name + "</td><td fc=\"" + (r.up ? "#ff5a5a" : "#4cd07d") + "\">" +
             r.price + "</td><td>" + r.change + "</td><td>" + r.volume + "</td><td>" + r.high +
             "</td><td>" + r.turnover + "</td></tr>\n";
    }
    s += "</table>\n";
    s += "<form id=\"order\" action=\"order.zqml\">\n<text class=\"quiet\">委托下单</text>\n";
    s += "<edit name=\"code\" caption=\"代码\" value=\"600321\" type=\"num\"/>\n";
    s += "<edit name=\"qty\" caption=\"数量\" value=\"100\" type=\"num\"/>\n";
    s += "<choicegroup name=\"side\" caption=\"方向\"><choice caption=\"买入\" value=\"buy\"/>"
         "<choice caption=\"卖出\" value=\"sell\"/></choicegroup>\n";
    s += "<button caption=\"提交委托\" onclick=\"submit(order)\"/>\n</form>\n";
    for (int i = 0; i < 40; ++i) {
        s += "<a href=\"news-" + std::to_string(i) + ".zqml\">要闻 " + std::to_string(i + 1) +
             "：" + kNewsLines[i % 3] + "</a><br/>\n";
    }
    s += "</body>\n</zqml>\n";
    return s;
}

inline std::string htmlPage(int rows) {
    std::string s =
        "<!DOCTYPE html>\n<html><head><meta charset=\"utf-8\"><style>\n"
        "body{margin:0;font-size:14px;color:#000}\n"
        ".title{font-size:18px;font-weight:bold;color:#ffd75e}\n"
        ".quiet{color:#9fb3c8}\n.up{color:#ff5a5a}\n.down{color:#4cd07d}\n"
        "table{border-collapse:collapse;width:100%}\ntd,th{padding:1px}\n"
        ".tabs span{border:1px solid #888;padding:2px}\n"
        "</style></head><body>\n";
    s += "<div class=\"title\">市场概览 行情中心</div>\n";
    s += "<img src=\"logo.png\" width=\"48\" height=\"48\">\n";
    for (int i = 0; i < 32; ++i) {
        s += std::string("<div>") + kNewsLines[i % 3] + kNewsLines[(i + 1) % 3] + "</div>\n";
    }
    s += "<div class=\"tabs\"><span>自选</span><span>沪深</span><span>港股</span></div>\n";
    s += "<div class=\"quiet\">自选股列表</div>\n";
    s += "<table id=\"quotes\">\n<tr><th>代码</th><th>名称</th><th>现价</th><th>涨跌</th>"
         "<th>成交</th><th>最高</th><th>换手</th></tr>\n";
    for (int i = 0; i < rows; ++i) {
        const QuoteRow r = quoteRow(i);
        s += "<tr><td><a href=\"quote.html?code=" + r.code + "&amp;market=sh\">" + r.code +
             "</a></td><td>" + r.name + "</td><td class=\"" + (r.up ? "up" : "down") + "\">" +
             r.price + "</td><td>" + r.change + "</td><td>" + r.volume + "</td><td>" + r.high +
             "</td><td>" + r.turnover + "</td></tr>\n";
    }
    s += "</table>\n";
    s += "<form id=\"order\" action=\"order.html\">\n<div class=\"quiet\">委托下单</div>\n";
    s += "<div>代码 <input name=\"code\" value=\"600321\"></div>\n";
    s += "<div>数量 <input name=\"qty\" value=\"100\"></div>\n";
    s += "<div>方向 <input type=\"radio\" name=\"side\" value=\"buy\">买入 "
         "<input type=\"radio\" name=\"side\" value=\"sell\">卖出</div>\n";
    s += "<div><button>提交委托</button></div>\n</form>\n";
    for (int i = 0; i < 40; ++i) {
        s += "<a href=\"news-" + std::to_string(i) + ".html\">要闻 " + std::to_string(i + 1) +
             "：" + kNewsLines[i % 3] + "</a><br>\n";
    }
    s += "</body></html>\n";
    return s;
}

}  // namespace zq::bench
