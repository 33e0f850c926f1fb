#include "markup/text_field_builders.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "core/xml_parser.h"
#include "items/text_field.h"
#include "markup/element_dispatch.h"
#include "markup/encoder.h"
#include "markup/markup_page.h"
#include "tests/support/markup_fixture.h"
#include "ui/client_context.h"
#include "ui/style.h"

namespace zq {
namespace {

class VersionHost : public PageHost {
public:
    void onEvent(std::unique_ptr<Event>) override {}
    CString getSystemValue(const CString& key) const override {
        return key == CString(u"sys-clientver") ? CString(u"2.1") : CString(u"x");
    }
};

class EditBuilderTest : public test::MarkupFixture<> {
protected:
    void SetUp() override { context_.setMetrics(ScreenMetrics{}); }
    void TearDown() override { page_.reset(); }

    TextField* build(const std::string& xml, PageHost* host = nullptr) {
        page_ = std::make_unique<MarkupPage>();
        if (host) page_->loadPage("<zqml/>", host);
        if (!parser_.setDoc(CString(xml.c_str())) || !parser_.findElem()) return nullptr;
        buildElement(*page_, parser_.getTagName(), parser_, nullptr);
        if (page_->controls().empty()) return nullptr;
        return dynamic_cast<TextField*>(page_->controls().back());
    }
};

TEST_F(EditBuilderTest, ReadsItsAttributes) {
    // An "encrypt" field's value comes encoded and is shown decoded.
    const std::string encoded =
        FieldEncoder(CString(), CString(), CString(), CString(u"12")).encodeValue().toUtf8();
    TextField* field =
        build("<ed n='qty' id='q1' l='Qty' v='" + encoded +
              "' ms='6' t='NUM|pwd' lt='nonull(need)' "
              "ch='update(x)' lf='leave()' of='enter()' e='TRUE' tip='hint' ll='0' mh='30'/>");
    ASSERT_NE(field, nullptr);
    EXPECT_EQ(field->getName(), CString(u"qty"));
    EXPECT_EQ(field->getId(), CString(u"q1"));
    EXPECT_EQ(field->getLabel(), CString(u"Qty"));
    EXPECT_EQ(field->getValue(), CString(u"12"));
    EXPECT_EQ(field->getValueAtFocus(), CString(u"12"));  // unchanged until edited
    EXPECT_EQ(field->getMaxSize(), 6);
    EXPECT_EQ(field->getConstraints(), 0x10002u);
    EXPECT_EQ(field->getRuleText(), CString(u"nonull(need)"));
    EXPECT_EQ(field->getEncrypt(), CString(u"TRUE"));
    EXPECT_EQ(field->getTipText(), CString(u"hint"));
    EXPECT_EQ(field->getLabelLength(), 0);
    EXPECT_EQ(field->getMinHeight(), 30);
    EXPECT_EQ(field->getMinWidth(), 114);
    EXPECT_EQ(field->getMaxWidth(), 120);
    EXPECT_FALSE(field->isValueDecoded());

    // "staticcrypt" decodes with the default key set, before "encrypt".
    const std::string fixed = FieldEncoder::withDefaultKeys(CString(u"7")).encodeValue().toUtf8();
    field = build("<ed v='" + fixed + "' stc='true' e='true'/>");
    ASSERT_NE(field, nullptr);
    EXPECT_EQ(field->getValue(), CString(u"7"));
    EXPECT_TRUE(field->isValueDecoded());
}

struct SizeCase {
    const char* xml;
    int maxSize;
    int minHeight;
    int labelLength;
};

TEST_F(EditBuilderTest, DigitsOnlyAttributesFallBackSaturateAndClamp) {
    const SizeCase cases[] = {
        {"<edit ms='abc'/>", 20, 0, 4},
        {"<edit maxsize=''/>", 20, 0, 4},
        {"<edit maxsize='99999999999' mh='-5' ll='99999999999'/>", 4096, 0, 4096},
        {"<edit ms='7' minheight='12' labellength='2'/>", 7, 12, 2},
    };
    for (const SizeCase& c : cases) {
        TextField* field = build(c.xml);
        ASSERT_NE(field, nullptr) << c.xml;
        EXPECT_EQ(field->getMaxSize(), c.maxSize) << c.xml;
        EXPECT_EQ(field->getMinHeight(), c.minHeight) << c.xml;
        EXPECT_EQ(field->getLabelLength(), c.labelLength) << c.xml;
    }
}

TEST_F(EditBuilderTest, TypeWordsAndFlags) {
    EXPECT_EQ(editTypeFlags(CString(u"NUM|PWD")), 0x10002u);
    EXPECT_EQ(editTypeFlags(CString(u"number")), 0u);
    EXPECT_EQ(editTypeFlags(CString(u"any| pwd |zzz||")), 0x10000u);
    EXPECT_EQ(editTypeFlags(CString()), 0u);
    TextField* field = build("<edit e='yes' vb='false'/>");
    ASSERT_NE(field, nullptr);
    EXPECT_EQ(field->getEncrypt(), CString(u"false"));
    EXPECT_FALSE(field->isVisible());
}

TEST_F(EditBuilderTest, ValueNamesSystemValues) {
    VersionHost host;
    TextField* field = build("<edit value='#system.sys-clientver'/>", &host);
    ASSERT_NE(field, nullptr);
    EXPECT_EQ(field->getValue(), CString(u"2.1"));
}

}  // namespace
}  // namespace zq
