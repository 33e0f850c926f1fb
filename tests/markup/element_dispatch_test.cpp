// Element dispatch: names in any case, long and short, unknown elements,
// the "body" element's Form, and the listeners between controls, soft keys
// and the page controller.
#include "markup/element_dispatch.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

#include "charts/chart.h"
#include "core/xml_parser.h"
#include "items/string_item.h"
#include "items/tree.h"
#include "markup/markup_page.h"
#include "ui/command.h"
#include "ui/container.h"
#include "ui/event.h"
#include "ui/form.h"

namespace zq {
namespace {

class RecordingHost : public PageHost {
public:
    void onEvent(std::unique_ptr<Event> event) override {
        events.push_back(event->getAction().toUtf8());
        sources.push_back(event->getSource());
    }
    void runAction(const CString& action) override { actions.push_back(action.toUtf8()); }
    CommandListener* commandListener() override { return next; }

    std::vector<std::string> events;
    std::vector<Item*> sources;
    std::vector<std::string> actions;
    CommandListener* next = nullptr;
};

class CommandLog : public CommandListener {
public:
    void commandAction(Command* command, Displayable*) override {
        labels.push_back(command->getLabel().toUtf8());
    }
    std::vector<std::string> labels;
};

class ItemCommandLog : public ItemCommandListener {
public:
    void commandAction(Command* command, Item*) override {
        labels.push_back(command->getLabel().toUtf8());
    }
    std::vector<std::string> labels;
};

std::vector<std::string> contentTexts(Form& form) {
    std::vector<std::string> texts;
    Container* content = form.getContent();
    for (int i = 0; i < content->size(); ++i)
        texts.push_back(content->getItem(i)->getText().toUtf8());
    return texts;
}

TEST(ElementDispatchTest, NamesMatchLongAndShortInAnyCase) {
    MarkupPage page;
    ASSERT_TRUE(page.loadPage(
        "<zq><TEXT>one</TEXT><Tx>two</Tx><te/><Time/><msg/><newmsg/><fs/><blink>x</blink>"
        "<PC id='quote'/><KL/></zq>",
        nullptr));
    const std::vector<Item*>& controls = page.controls();
    ASSERT_EQ(controls.size(), 5u);
    EXPECT_EQ(controls[0]->getText().toUtf8(), "one");
    EXPECT_EQ(controls[1]->getText().toUtf8(), "two");
    // "te" is a tree, never "time".
    EXPECT_NE(dynamic_cast<TreeContainer*>(controls[2]), nullptr);
    // Market widgets: empty, placed and named like any control.
    EXPECT_EQ(controls[3]->getId().toUtf8(), "quote");
    EXPECT_FALSE(controls[3]->isInteractive());
    EXPECT_NE(dynamic_cast<KLine*>(controls[4]), nullptr);
    EXPECT_EQ(page.form(), nullptr);

    XmlParser parser;
    ASSERT_TRUE(parser.setDoc(u"<p><blink/></p>"));
    ASSERT_TRUE(parser.findElem());
    EXPECT_EQ(buildElement(page, u"blink", parser, nullptr), nullptr);
    EXPECT_EQ(page.controls().size(), 5u);
}

TEST(ElementDispatchTest, BodyBuildsFormInAnyCase) {
    for (const char* name : {"body", "BODY", "By"}) {
        std::string text = "<zqml><";
        text += name;
        text += " onload='start()' UN='stop()'><text>a</text><text>b</text></";
        text += name;
        text += "></zqml>";
        MarkupPage page;
        ASSERT_TRUE(page.loadPage(text, nullptr)) << name;
        ASSERT_NE(page.form(), nullptr) << name;
        EXPECT_EQ(page.screen(), page.form());
        EXPECT_EQ(contentTexts(*page.form()), (std::vector<std::string>{"a", "b"})) << name;
        EXPECT_TRUE(page.controls().empty());
        EXPECT_EQ(page.onLoad().toUtf8(), "start()");
        EXPECT_EQ(page.onUnload().toUtf8(), "stop()");
        // No title: the header stays as the Form set it.
        EXPECT_TRUE(page.form()->getHeaderText().isEmpty());
    }
}

TEST(ElementDispatchTest, BodySoftKeysAndStockCodeKey) {
    RecordingHost host;
    MarkupPage page;
    page.setTitle(u"Quotes");
    page.pendingCommandTree() = std::make_unique<CommandNode>(
        std::make_shared<Command>(u"Watch", 1, 4), u"add(600000)", CString());
    ASSERT_TRUE(
        page.loadPage("<zqml><body><command><commanditem caption='Refresh' action='refresh(5)'/>"
                      "</command><cmd><ci cp='Menu' a='go(menu)'/></cmd></body></zqml>",
                      &host));
    Form* form = page.form();
    ASSERT_NE(form, nullptr);
    EXPECT_EQ(form->getHeaderText().toUtf8(), "Quotes");
    // The later "command" wins; the stockcode key is entered like the others.
    EXPECT_EQ(page.commandMap().size(), 2u);
    EXPECT_EQ(page.commandMap()[u"Watch"].toUtf8(), "add(600000)");
    EXPECT_EQ(page.commandMap()[u"Menu"].toUtf8(), "go(menu)");
    EXPECT_EQ(page.commandMap().count(u"Refresh"), 0u);
    std::vector<std::string> labels;
    for (const CommandRef& command : form->getCommands())
        labels.push_back(command->getLabel().toUtf8());
    EXPECT_NE(std::find(labels.begin(), labels.end(), "Watch"), labels.end());
    EXPECT_NE(std::find(labels.begin(), labels.end(), "Menu"), labels.end());
}

// Regression: a "body" inside a "body" freed the Form its builder was filling.
TEST(ElementDispatchTest, NestedBodyBuildsNothing) {
    MarkupPage page;
    ASSERT_TRUE(page.loadPage(
        "<zqml><body><text>a</text><body><text>inner</text></body><text>b</text></body></zqml>",
        nullptr));
    ASSERT_NE(page.form(), nullptr);
    EXPECT_EQ(contentTexts(*page.form()), (std::vector<std::string>{"a", "b"}));
}

TEST(ElementDispatchTest, PageActionListenerRunsFirstActionOrPassesOn) {
    CommandLog next;
    RecordingHost host;
    PageActionListener listener(&host, &next);
    listener.addCommandAction(u"Buy", u"go(buy)");
    listener.addCommandAction(u"Buy", u"go(other)");
    Command buy(u"Buy", 1, 4);
    Command sell(u"Sell", 1, 4);
    listener.commandAction(&buy, nullptr);
    listener.commandAction(&sell, nullptr);
    EXPECT_EQ(host.actions, (std::vector<std::string>{"go(buy)"}));
    EXPECT_EQ(next.labels, (std::vector<std::string>{"Sell"}));

    // With an entry but no controller the command is passed on too.
    PageActionListener orphan(nullptr, &next);
    orphan.addCommandAction(u"Buy", u"go(buy)");
    orphan.commandAction(&buy, nullptr);
    EXPECT_EQ(next.labels, (std::vector<std::string>{"Sell", "Buy"}));
}

TEST(ElementDispatchTest, ItemCommandsReachHostOrPreviousListener) {
    RecordingHost host;
    ItemCommandLog previous;
    MarkupPage page;
    ASSERT_TRUE(page.loadPage("<zq/>", &host));
    Item* item = page.registerControl(std::make_unique<Item>());
    item->setItemCommandListener(&previous);

    CommandNode root(nullptr, CString(), CString());
    auto menu = std::make_unique<CommandNode>(std::make_shared<Command>(u"More", 1, 4), CString(),
                                              CString());
    auto leaf = std::make_unique<CommandNode>(std::make_shared<Command>(u"Chart", 1, 4),
                                              u"go(chart)", CString());
    const CommandRef moreCommand = menu->getCommand();
    const CommandRef chartCommand = leaf->getCommand();
    menu->addChild(std::move(leaf));
    root.addChild(std::move(menu));
    attachCommandTree(page, item, &root, nullptr);

    ASSERT_EQ(item->getCommands().size(), 1u);
    EXPECT_EQ(item->getCommands()[0], moreCommand);
    item->getItemCommandListener()->commandAction(chartCommand.get(), item);
    EXPECT_EQ(host.events, (std::vector<std::string>{"go(chart)"}));
    EXPECT_EQ(host.sources, (std::vector<Item*>{item}));
    // A label with no action reaches the item's previous listener unchanged.
    Command other(u"Other", 1, 4);
    item->getItemCommandListener()->commandAction(&other, item);
    EXPECT_EQ(previous.labels, (std::vector<std::string>{"Other"}));

    addItemCommand(nullptr, chartCommand, nullptr);
    addItemCommand(item, nullptr, nullptr);
    EXPECT_EQ(item->getCommands().size(), 1u);
}

TEST(ElementDispatchTest, TouchCommandsRunThroughScreenListener) {
    RecordingHost host;
    CommandLog controllerListener;
    host.next = &controllerListener;
    MarkupPage page;
    ASSERT_TRUE(page.loadPage(
        "<zqml><body><command><ci caption='Buy' touch='true' action='go(buy)'/></command>"
        "</body></zqml>",
        &host));
    Form* form = page.form();
    ASSERT_NE(form, nullptr);
    CommandListener* listener = form->getCommandListener();
    ASSERT_NE(listener, nullptr);
    Command touch(u"B", 1, 4);
    listener->commandAction(&touch, form);
    EXPECT_EQ(host.actions, (std::vector<std::string>{"go(buy)"}));
    Command back(u"Back", 2, 1);
    listener->commandAction(&back, form);
    EXPECT_EQ(controllerListener.labels, (std::vector<std::string>{"Back"}));
    EXPECT_EQ(form->getEventListener(), &host);
}

TEST(ChartTest, IndicatorKeepsModuloFive) {
    KLine chart;
    EXPECT_FALSE(chart.isInteractive());
    chart.setIndicator(7);
    EXPECT_EQ(chart.getIndicator(), 2);
    EXPECT_TRUE(chart.needsRecompute());
    chart.clearRecompute();
    chart.setIndicator(12);
    EXPECT_FALSE(chart.needsRecompute());
    chart.setIndicator(-1);
    EXPECT_EQ(chart.getIndicator(), 4);
}

}  // namespace
}  // namespace zq
