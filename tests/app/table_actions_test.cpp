// The table and watch-list actions: the "gettablerow" wire form, the
// indicator names, row moves and deletes against a local quote table, and
// the watch-list files of the controller.
#include "app/table_actions.h"

#include <gtest/gtest.h>

#include <fstream>
#include <memory>

#include "app/page_controller.h"
#include "items/choice_group.h"
#include "items/fixed_head_table.h"
#include "items/inputable.h"
#include "items/table_model.h"
#include "items/text_field.h"
#include "platform/files.h"
#include "platform/message_box.h"
#include "tests/support/test_env.h"
#include "ui/container.h"
#include "ui/screen.h"

namespace zq {
namespace {

SimpleTableModel quoteModel() {
    return SimpleTableModel(makeTableRows<CString>({{u"600001", u"A", u"1"},
                                                    {u"600002", u"A&B #1", u"2"},
                                                    {u"600000", u"X", u"3"},
                                                    {u"", u"", u"4"}}),
                            nullptr, std::nullopt, std::nullopt);
}

TEST(TableRowLink, WireFormIsKeptExactly) {
    SimpleTableModel model = quoteModel();
    model.setColumnKeys(TextRow{CString(u"code"), CString(u"name"), CString()});
    struct Case {
        const char16_t* argument;
        int row;
        const char16_t* link;
    } cases[] = {
        {u"detail.zqml", 2,
         u"detail.zqml?row=code%3A600000%3Bname%3AX%3Bnum%3A2%3Bcode=600000&name=X&num=2&$"},
        {u"detail.zqml#system.sys-stockcode$extra", 2,
         u"detail.zqml?row=code%3A600000%3Bname%3AX%3Bnum%3A2%3B#system.sys-stockcode$extra"
         u"code=600000&name=X&num=2&$"},
        {u"d.zqml?a=1", 0,
         u"d.zqml?a=1&row=code%3A600001%3Bname%3AA%3Bnum%3A0%3Bcode=600001&name=A&num=0&$"},
        {u"d.zqml", 1,
         u"d.zqml?row=code%3A600002%3Bname%3AA%26B+%231%3Bnum%3A1%3B"
         u"code=600002&name=A%26B+%231&num=1&$"},
        // A form's values, as they stand in the action.
        {u"d.zqml?q=a%29b%28%7C%2C", 0,
         u"d.zqml?q=a%29b%28%7C%2C&row=code%3A600001%3Bname%3AA%3Bnum%3A0%3B"
         u"code=600001&name=A&num=0&$"},
    };
    for (const Case& c : cases) {
        std::optional<CString> link = buildTableRowLink(CString(c.argument), model, c.row);
        ASSERT_TRUE(link.has_value());
        EXPECT_EQ(link->toUtf8(), CString(c.link).toUtf8());
    }
    // A row whose keyed cells are all empty sends nothing; nor does a row
    // that is not there.
    EXPECT_FALSE(buildTableRowLink(CString(u"d.zqml"), model, 3));
    EXPECT_FALSE(buildTableRowLink(CString(u"d.zqml"), model, 4));
    EXPECT_FALSE(buildTableRowLink(CString(u"d.zqml"), model, -1));
}

TEST(TableActions, IndicatorNamesAndArguments) {
    struct Case {
        const char16_t* name;
        int number;
    } cases[] = {{u"", 0},    {u"macd", 0}, {u"RSI", 1},  {u"wr", 2},
                 {u"kdj", 3}, {u"PSY", 4},  {u"BOLL", 5}, {u"ABC", -1}};
    for (const Case& c : cases) EXPECT_EQ(indicatorNumber(CString(c.name)), c.number);
    EXPECT_EQ(argumentBetweenParens(CString(u"gw(a(b)c)")), CString(u"a(b"));
    EXPECT_EQ(argumentBetweenParens(CString(u"gw)x(")), CString());
}

// A controller showing a local page with a quote table of four rows.
class WatchListActions : public ::testing::Test {
protected:
    WatchListActions() {
        std::ofstream(dir_.path() / "t.zqml")
            << "<zqml><body><table id='t' uppage='fw(file://top.zqml)'>"
               "<th><td name='code'>Code</td><td name='name'>Name</td></th>"
               "<tr><td>600001</td><td>A</td></tr><tr><td>600002</td><td>B</td></tr>"
               "<tr><td>600003</td><td>C</td></tr><tr><td>600004</td><td>D</td></tr>"
               "</table></body></zqml>";
        std::ofstream(dir_.path() / "top.zqml") << "<zqml><body/></zqml>";
        controller_ =
            std::make_unique<PageController>(ControllerFolders{dir_.path(), user_.path()});
        for (const char16_t* code : {u"600001", u"600002", u"600003", u"600004"}) {
            controller_->watchList()->add(kWatchStock, CString(code));
        }
        controller_->onAction(CString(u"fw(file://t.zqml)"));
        if (Screen* screen = controller_->currentScreen()) {
            if (Container* content = screen->getContent()) content->focusIndex(0);
        }
    }

    FixTableItem* table() const {
        Screen* screen = controller_->currentScreen();
        Item* item = screen ? screen->getFocusedItem() : nullptr;
        return item && item->isFixTableItem() ? static_cast<FixTableItem*>(item) : nullptr;
    }
    CString codes() const { return controller_->watchList()->joinCodes(kWatchStock); }

    test::TempDir dir_;
    test::TempDir user_;
    std::unique_ptr<PageController> controller_;
};

TEST_F(WatchListActions, MoveUpSwapsRowsAndTheWatchList) {
    FixTableItem* t = table();
    ASSERT_NE(t, nullptr);
    t->setFocusedRow(3);
    controller_->onAction(CString(u"mvp(stock,CODE)"));
    EXPECT_EQ(t->focusedRow(), 2);
    EXPECT_EQ(t->getModel()->getValueAt(0, 2), CString(u"600004"));
    EXPECT_EQ(codes(), CString(u"600001,600002,600004,600003"));

    controller_->onAction(CString(u"mvd(stock,code)|mvd(bond,code)"));
    EXPECT_EQ(t->focusedRow(), 3);  // a bad type still moves the row only
    EXPECT_EQ(codes(), CString(u"600001,600002,600003,600004"));
    controller_->onAction(CString(u"mvd(stock,price)|mvd(stock)"));  // unknown key, no ","
    EXPECT_EQ(t->focusedRow(), 3);
}

TEST_F(WatchListActions, MoveUpOnTheFirstRowRaisesTheTopAction) {
    FixTableItem* t = table();
    ASSERT_NE(t, nullptr);
    t->setFocusedRow(0);
    controller_->onAction(CString(u"moveup(stock,code)"));
    ASSERT_NE(controller_->currentEntry(), nullptr);
    EXPECT_EQ(controller_->currentEntry()->url, CString(u"file://top.zqml"));
    EXPECT_EQ(codes(), CString(u"600001,600002,600003,600004"));
}

TEST_F(WatchListActions, DeleteFromListAndTable) {
    FixTableItem* t = table();
    ASSERT_NE(t, nullptr);
    t->setFocusedRow(1);
    controller_->onAction(CString(u"dl(stock,code)"));  // the box answers Yes headless
    EXPECT_EQ(t->rowCount(), 3);
    EXPECT_EQ(codes(), CString(u"600001,600003,600004"));
    controller_->onAction(CString(u"ds(stock,600004)|ds(fund,600001)|ds(stock,)"));
    EXPECT_EQ(codes(), CString(u"600001,600003"));
}

TEST_F(WatchListActions, BatchDeleteRemovesTheCheckedCodesAndReturns) {
    PageEntry* opener = controller_->currentEntry();
    FixTableItem* t = table();
    ASSERT_NE(t, nullptr);
    // The checked rows of a list, once asked; then back to the opener.
    auto confirm = [this](const char16_t* action, std::vector<int> checked) {
        controller_->onAction(CString(action));
        Screen* screen = controller_->currentScreen();
        ASSERT_NE(screen, nullptr);
        EXPECT_EQ(screen->getHeaderText(), CString(u"批量删除"));
        auto* rows = dynamic_cast<ChoiceGroup*>(screen->getContent()->getItem(0));
        ASSERT_NE(rows, nullptr);
        for (int row : checked) rows->setSelectedIndex(row, true);
        clearMessageBoxLog();
        for (const CommandRef& command : screen->getCommands()) {
            if (command->getLabel() == CString(u"确定")) screen->fireCommand(command.get());
        }
        const std::vector<MessageBoxRecord> boxes = messageBoxLog();
        ASSERT_EQ(boxes.size(), 1u);
        EXPECT_EQ(boxes[0].text, CString(u"确认删除选中的自选股？"));
    };
    confirm(u"da(stock,code)", {1, 3});
    EXPECT_EQ(codes(), CString(u"600001,600003"));
    EXPECT_EQ(t->rowCount(), 2);
    EXPECT_EQ(controller_->currentEntry(), opener);
    EXPECT_EQ(controller_->history().current(), 0);

    controller_->watchList()->add(kWatchFund, CString(u"510050"));
    controller_->watchList()->add(kWatchFund, CString(u"159915"));
    confirm(u"da(fund,code)", {0});
    EXPECT_EQ(controller_->watchList()->joinCodes(kWatchFund), CString(u"159915"));
    EXPECT_EQ(codes(), CString(u"600001,600003"));
    EXPECT_EQ(controller_->currentEntry(), opener);
}

// The same actions on a table that stands on the second page of a tabbed
// form, where the screen's focused item is the page.
class TabPageActions : public WatchListActions {
protected:
    TabPageActions() {
        std::ofstream(dir_.path() / "tabs.zqml")
            << "<zqml><tabbody selectedpageid='q'><page caption='Info'><text>i</text></page>"
               "<page caption='Quotes' id='q'><edit id='codeField' name='code'/>"
               "<table id='t'><th><td name='code'>Code</td><td name='name'>Name</td></th>"
               "<tr><td>600001</td><td>A</td></tr><tr><td>600002</td><td>B</td></tr>"
               "<tr><td>600003</td><td>C</td></tr><tr><td>600004</td><td>D</td></tr>"
               "</table></page></tabbody></zqml>";
        controller_->onAction(CString(u"fw(file://tabs.zqml)"));
    }
    FixTableItem* tabTable() const {
        Screen* screen = controller_->currentScreen();
        return screen ? dynamic_cast<FixTableItem*>(screen->getItemByName(CString(u"t"))) : nullptr;
    }
};

TEST_F(TabPageActions, TableActionsReachTheTableOnTheTabPage) {
    FixTableItem* t = tabTable();
    ASSERT_NE(t, nullptr);
    controller_->onAction(CString(u"fc(t)"));
    EXPECT_TRUE(t->isFocused());
    EXPECT_EQ(
        findFocused(controller_->currentScreen(), [](const Item& i) { return i.isFixTableItem(); }),
        t);
    t->setFocusedRow(1);
    controller_->onAction(CString(u"mvd(stock,code)"));
    EXPECT_EQ(t->focusedRow(), 2);
    EXPECT_EQ(codes(), CString(u"600001,600003,600002,600004"));
    controller_->onAction(CString(u"gvtd(0,codeField)"));
    auto* field = dynamic_cast<Inputable*>(
        controller_->currentScreen()->getItemByName(CString(u"codeField")));
    ASSERT_NE(field, nullptr);
    EXPECT_EQ(field->getValue(), CString(u"600002"));
    controller_->onAction(CString(u"mvp(stock,code)|dl(stock,code)"));
    EXPECT_EQ(t->rowCount(), 3);
    EXPECT_EQ(codes(), CString(u"600001,600003,600004"));
}

// A form's values, or a field's own, reach the row's link whole: a typed
// ')' does not end the link of "gettablerow".
TEST_F(WatchListActions, GetTableRowCarriesTypedValuesWhole) {
    std::ofstream(dir_.path() / "row.zqml")
        << "<zqml><body><form id='f' action='al(x,1)|gw(file://d.zqml)'>"
           "<edit id='q' name='q'/></form><table id='t'><th><td name='code'>Code</td></th>"
           "<tr><td>600001</td></tr></table></body></zqml>";
    const char* const sent =
        "file://d.zqml?q=a%29b%28c%7Cd%2Ce&row=code%3A600001%3Bnum%3A0%3B"
        "code=600001&num=0&$";
    for (const bool submit : {true, false}) {
        SCOPED_TRACE(submit ? "submit" : "field");
        controller_->onAction(CString(u"fw(file://row.zqml)|fc(t)"));
        auto* field = dynamic_cast<Inputable*>(controller_->getItemByName(CString(u"q")));
        ASSERT_NE(field, nullptr);
        field->setValue(CString(u"a)b(c|d,e"));
        if (submit) {
            controller_->onAction(CString(u"st(f)"));
        } else {
            controller_->onEvent(std::make_unique<TextFieldEvent>(
                CString(u"al(x,1)|gw(file://d.zqml)"), dynamic_cast<Item*>(field), field->getName(),
                field->getValue()));
        }
        EXPECT_EQ(controller_->pageLoader().lastUrl().toUtf8(), sent);
    }
}

TEST_F(WatchListActions, FilesRoundTripThroughTheController) {
    controller_->recentStocks().moveToFront(RecentStockEntry(CString(u"600000"), CString(u"X")));
    ASSERT_TRUE(controller_->watchLists().saveWatchList());
    ASSERT_TRUE(controller_->watchLists().saveRecentStocks());
    EXPECT_EQ(*readFile(user_.path() / "MyStock.ini"),
              "[stock]\n1=600001\n2=600002\n3=600003\n4=600004\n[fund]\n");
    EXPECT_EQ(*readFile(user_.path() / "MyLastBrowse.ini"), "600000:X");

    PageController fresh(ControllerFolders{dir_.path(), user_.path()});
    fresh.watchLists().loadWatchList();
    fresh.watchLists().loadRecentStocks();
    EXPECT_EQ(fresh.watchList()->joinCodes(kWatchStock), codes());
    EXPECT_EQ(fresh.recentStocks().toText(), CString(u"600000:X"));
}

}  // namespace
}  // namespace zq
