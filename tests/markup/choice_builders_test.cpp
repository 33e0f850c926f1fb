#include "markup/choice_builders.h"

#include <gtest/gtest.h>

#include <map>
#include <memory>
#include <string>
#include <vector>

#include "core/xml_parser.h"
#include "items/choice_group.h"
#include "items/filtered_choice_group.h"
#include "items/inline_choice_group.h"
#include "items/switch_container.h"
#include "markup/element_dispatch.h"
#include "markup/encoder.h"
#include "markup/markup_page.h"
#include "tests/support/markup_fixture.h"
#include "ui/event.h"
#include "ui/style.h"

namespace zq {
namespace {

class ChoiceHost : public PageHost {
public:
    void onEvent(std::unique_ptr<Event> event) override { actions.push_back(event->getAction()); }
    CString getSystemValue(const CString& key) const override {
        auto found = settings.find(key.toUtf8());
        return found == settings.end() ? CString() : CString::fromUtf8(found->second);
    }
    std::vector<CString> actions;
    std::map<std::string, std::string> settings;
};

class ChoiceBuildersTest : public test::MarkupFixture<ChoiceHost> {};

TEST_F(ChoiceBuildersTest, ChoiceGroupTakesEveryChildAsAnOptionWithItsValue) {
    host_.settings["sys-a"] = "Alpha";
    // An "encrypt" group's value comes encoded and is shown decoded.
    const std::string encoded =
        FieldEncoder(CString(), CString(), CString(), CString(u"B,c")).encodeValue().toUtf8();
    loadPage("<zqml><cg id='g' n='side' cp='#system.sys-a' m='Multiple' v='" + encoded +
             "' e='TRUE' "
             "tip='t' ch='changed()'>"
             "<option cp='One' v='a'/><item caption='Two' value='b'/><opt cp='Three' v='C'/>"
             "<o cp='Four'/><cmd/></cg></zqml>");
    auto* group = control<ChoiceGroup>(0);
    ASSERT_NE(group, nullptr);
    EXPECT_EQ(group->getId(), CString(u"g"));
    EXPECT_EQ(group->getName(), CString(u"side"));
    EXPECT_EQ(group->getLabel(), CString(u"Alpha"));
    EXPECT_EQ(group->getTipText(), CString(u"t"));
    EXPECT_EQ(group->getEncrypt(), CString(u"TRUE"));
    EXPECT_TRUE(group->isMultiple());
    ASSERT_EQ(group->size(), 4);
    EXPECT_EQ(group->getString(1), CString(u"Two"));
    EXPECT_EQ(group->getValue(), CString(u"b,C"));
    EXPECT_EQ(group->getValues()[3], CString());  // the option without a value
    EXPECT_TRUE(group->getChoiceItem(0)->getWrap());
    EXPECT_TRUE(host_.actions.empty());  // the value was set before the listener

    group->setSelectedIndex(0, true);
    ASSERT_EQ(host_.actions.size(), 1u);
    EXPECT_EQ(host_.actions[0], CString(u"changed()"));
}

TEST_F(ChoiceBuildersTest, ModeWordsAndFlags) {
    loadPage(
        "<zqml><cg m='single' v='b' encrypt='no' focus='FALSE'><o v='a'/><o v='b' vb='false'/>"
        "</cg><choicegroup mode='MULTIPLE'/><cg m='multiplex'/></zqml>");
    auto* single = control<ChoiceGroup>(0);
    ASSERT_NE(single, nullptr);
    EXPECT_EQ(single->getMode(), kChoiceExclusive);
    EXPECT_EQ(single->getValue(), CString(u"b"));
    EXPECT_EQ(single->getEncrypt(), CString(u"false"));
    EXPECT_FALSE(single->getItem(1)->isVisible());
    single->init(200, 200);
    EXPECT_FALSE(single->isInteractive());  // "focus" false: never focused
    EXPECT_EQ(control<ChoiceGroup>(1)->getMode(), kChoiceMultiple);
    EXPECT_EQ(control<ChoiceGroup>(2)->getMode(), kChoiceExclusive);
}

TEST_F(ChoiceBuildersTest, SingleLineGroupFlowsAndKeepsTheTrailingComma) {
    loadPage(
        "<zqml><scg n='days' m='multiple' v='1,3' tip='ignored'>"
        "<o cp='Mon' v='1'/><o cp='Tue' v='2'/><o cp='Wed' v='3'/></scg></zqml>");
    auto* group = control<InLineChoiceGroup>(0);
    ASSERT_NE(group, nullptr);
    EXPECT_EQ(group->getName(), CString(u"days"));
    EXPECT_EQ(group->getTipText(), CString());
    EXPECT_EQ(group->size(), 3);
    EXPECT_FALSE(group->getChoiceItem(0)->getWrap());
    EXPECT_EQ(group->getChoiceItem(0)->getLayout() & 0x800u, 0u);
    EXPECT_EQ(group->getValue(), CString(u"1,3,"));
}

TEST_F(ChoiceBuildersTest, ComboBoxModesAndTheFirstMatchingValue) {
    loadPage(
        "<zqml><cmb n='acct' id='c' m='implicit' v='x' cp='Account'>"
        "<o cp='One' v='w'/><o cp='Two' v='X'/><o cp='Three' v='x'/></cmb>"
        "<combobox mode='IMPLITCIT' value='none'><o caption='A' value='a'/></combobox>"
        "<cmb m='Multiple'><option/></cmb></zqml>");
    auto* box = control<FilteredChoiceGroup>(0);
    ASSERT_NE(box, nullptr);
    EXPECT_EQ(box->getMode(), kChoiceExclusive);  // only the page spelling gives 3
    EXPECT_EQ(box->getName(), CString(u"acct"));
    EXPECT_EQ(box->getLabel(), CString(u"Account"));
    EXPECT_EQ(box->getSelectedOption(), 1);
    EXPECT_EQ(box->getText(), CString(u"Two"));
    EXPECT_EQ(box->getValue(), CString(u"X"));
    EXPECT_TRUE(host_.actions.empty());

    auto* implicit = control<FilteredChoiceGroup>(1);
    ASSERT_NE(implicit, nullptr);
    EXPECT_EQ(implicit->getMode(), kChoiceImplicit);
    EXPECT_EQ(implicit->getText(), CString(u"请选择"));
    EXPECT_EQ(implicit->getValue(), CString());
    auto* multiple = control<FilteredChoiceGroup>(2);
    EXPECT_EQ(multiple->getMode(), kChoiceMultiple);
    EXPECT_EQ(multiple->getOptionCount(), 1);
    EXPECT_EQ(multiple->getOptionValue(0), CString());
}

const char kHostSet[] = "<zqml><hostset/></zqml>";

TEST_F(ChoiceBuildersTest, HostSetPrefersTelecomAndShowsThatCarriersList) {
    host_.settings["sys-cm-iplist"] = "1.1.1.1:80:81:m1:,1.1.1.2:80:81:m2:";
    host_.settings["sys-ct-iplist"] = "2.2.2.1:80:81:t1:,9.9.9.9:80:81:both:";
    host_.settings["sys-uni-iplist"] = "9.9.9.9:80:81:both:";
    host_.settings["sys-last-choice"] = "9.9.9.9:80:81:both:";
    loadPage(kHostSet);
    auto* box = control<SwitchContainer>(0);
    ASSERT_NE(box, nullptr);
    ASSERT_EQ(box->size(), 4);
    auto* selector = dynamic_cast<FilteredChoiceGroup*>(box->getSelector());
    ASSERT_NE(selector, nullptr);
    EXPECT_EQ(selector->getValue(), CString(u"中国电信(CT)"));
    auto* telecom = dynamic_cast<FilteredChoiceGroup*>(box->getItem(2));
    EXPECT_EQ(box->getCurrentPane(), telecom);
    EXPECT_TRUE(telecom->isVisible());
    EXPECT_FALSE(box->getItem(1)->isVisible());
    EXPECT_FALSE(box->getItem(3)->isVisible());
    EXPECT_EQ(telecom->getName(), CString(u"sys-last-choice"));
    EXPECT_EQ(telecom->getSelectedOption(), 1);
    EXPECT_EQ(telecom->getValue(), CString(u"9.9.9.9:80:81:both:"));
    EXPECT_TRUE(host_.actions.empty());  // building saved nothing

    // Choosing Mobile shows its list and resets Telecom's.
    selector->setOptionSelected(0, true);
    EXPECT_EQ(box->getCurrentPane(), box->getItem(1));
    EXPECT_EQ(telecom->getValue(), CString());
    EXPECT_TRUE(host_.actions.empty());  // the selector reports to the switch only
}

TEST_F(ChoiceBuildersTest, HostSetInCurrentHostModeUsesThatSetting) {
    host_.settings["sys-hostset-mode"] = "1";
    host_.settings["sys-cm-iplist"] = "1.1.1.1:80:81:m1:,1.1.1.2:80:81:m2:";
    host_.settings["sys-curhost"] = "1.1.1.2:80:81:m2:";
    host_.settings["sys-last-choice"] = "nothing";
    loadPage(kHostSet);
    auto* box = control<SwitchContainer>(0);
    ASSERT_NE(box, nullptr);
    auto* mobile = dynamic_cast<FilteredChoiceGroup*>(box->getItem(1));
    EXPECT_EQ(mobile->getName(), CString(u"sys-curhost"));
    EXPECT_EQ(mobile->getSelectedOption(), 1);
    mobile->setOptionSelected(0, true);
    ASSERT_EQ(host_.actions.size(), 1u);
    EXPECT_EQ(host_.actions[0], CString(u"save()"));

    // No settings at all: China Mobile with an empty list.
    host_.settings.clear();
    loadPage(kHostSet);
    box = control<SwitchContainer>(0);
    EXPECT_EQ(box->getCurrentPane(), box->getItem(1));
    EXPECT_EQ(dynamic_cast<FilteredChoiceGroup*>(box->getItem(1))->getOptionCount(), 0);
}

// Any attribute values and odd children build what they can.
TEST_F(ChoiceBuildersTest, BadInputBuildsWithoutFailing) {
    const char* pages[] = {
        "<zqml><cg m='' v=',,,' cp='#system.' ch=''><o/><o v=''/></cg></zqml>",
        "<zqml><scg m='99999999999' v='#system.x,#system.y'><cmd/><cmd><cmd/></cmd></scg></zqml>",
        "<zqml><cmb m='implitcit ' v='' e='true'><o><o><o/></o></o></cmb></zqml>",
        "<zqml><cg class='a:b' f='nope'><x cl='q,w,,'/></cg><cmb class=':'/></zqml>",
        "<zqml><hostset cl='x'><o/></hostset></zqml>",
    };
    host_.settings["sys-cm-iplist"] = ":::::::,,,::";
    host_.settings["sys-last-choice"] = ":";
    for (const char* xml : pages) {
        loadPage(xml);
        ASSERT_EQ(page_->controls().size() >= 1, true) << xml;
        Item* item = page_->controls()[0];
        item->init(240, 240);
        auto* input = dynamic_cast<Inputable*>(item);
        if (input) {
            input->setValue(u",,");
            input->getValue();
            input->reset();
        }
    }
}

}  // namespace
}  // namespace zq
