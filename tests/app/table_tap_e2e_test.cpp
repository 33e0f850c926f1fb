// Taps on a quote table's rows: the built zqclient runs headless against the
// test server, the rows are found on the saved screen by their colour, and a
// tap must act on the row drawn under the pen and only on that one.
#include <gtest/gtest.h>

#include <string>

#include "tests/support/client_fixture.h"
#include "tests/support/test_env.h"
#include "tests/support/test_server.h"

namespace zq {
namespace {

using test::Box;
using test::Shot;

constexpr uint32_t kPageBg = 0x203040;

constexpr const char* kStyle =
    "<style>\n"
    "pg{background-color:#203040;font-color:#f0f0f0}\n"
    "</style>\n";

class TableTapTest : public test::ClientFixture {
protected:
    TableTapTest() : ClientFixture("table_tap_", kPageBg) {}
};

// A table row is drawn across the whole table: a tap anywhere on it acts on
// that row, and a press on one row released on another acts on neither.
TEST_F(TableTapTest, ATableRowActsWhereItIsDrawnAndOnlyWhenTappedItself) {
    std::string head;
    std::string rows;
    for (int c = 1; c <= 8; ++c) head += "<td name=\"c" + std::to_string(c) + "\">Column</td>";
    for (int r = 1; r <= 3; ++r) {
        rows += "<tr onclick=\"gw(index.zqml?c=row" + std::to_string(r) + ")\">";
        for (int c = 1; c <= 8; ++c) rows += "<td>" + std::to_string(r * 10 + c) + "</td>";
        rows += "</tr>";
    }
    server_.writePage("index.zqml",
                      test::zqmlDocument(std::string(kStyle) +
                                         "<style>\ntb{table-odd-color:#405060;"
                                         "table-even-color:#405060;table-row-cbg:#60a0e0}\n"
                                         "</style>\n<body class=\"pg\"><table class=\"tb\"><th>" +
                                         head + "</th>" + rows + "</table></body>\n"));
    ASSERT_EQ(run(std::string(kStart) + shot("table")), 0) << err_;
    const Shot s = load("table");
    ASSERT_NE(s.image, nullptr);
    // No row is focused yet: all three share one colour.
    const std::optional<Box> box = s.bounds(0x405060, 0, 0, 240, 296);
    ASSERT_TRUE(box);
    ASSERT_GT(box->height(), 20);
    const int lastRow = box->y1 - 4;  // row 3
    const int firstRow = box->y0 + 4;
    struct Case {
        const char* name;
        std::string script;
        const char* expected;  // the query sent, or "" for none
    };
    auto at = [](int x, int y) { return std::to_string(x) + " " + std::to_string(y) + "\n"; };
    const Case cases[] = {
        {"tap at the row's centre", "tap " + at(120, lastRow), "c=row3"},
        {"tap at the row's left edge", "tap " + at(box->x0 + 1, lastRow), "c=row3"},
        {"tap at the row's right edge", "tap " + at(box->x1 - 2, lastRow), "c=row3"},
        {"press on a row, release on another",
         "down " + at(120, lastRow) + "up " + at(120, firstRow), ""},
    };
    for (const Case& c : cases) {
        const int before = static_cast<int>(server_.queriesFor("/index.zqml").size());
        ASSERT_EQ(run(std::string(kStart) + c.script + kReply), 0) << err_;
        const auto queries = server_.queriesFor("/index.zqml");
        std::string sent;
        for (size_t i = before; i < queries.size(); ++i)
            sent += queries[i].substr(0, queries[i].find('&'));
        EXPECT_EQ(sent, c.expected) << c.name << " (rows drawn at " << box->x0 << "," << box->y0
                                    << "-" << box->x1 << "," << box->y1 << ")";
    }
}

}  // namespace
}  // namespace zq
