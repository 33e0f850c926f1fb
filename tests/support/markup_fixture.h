// A page to build markup into, for the builder tests: a MarkupPage with a
// host that ignores events, the fixed test font, and the page's controls by
// build order. Header-only, as only programs that link the markup library
// use it.
#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "core/xml_parser.h"
#include "markup/element_dispatch.h"
#include "markup/markup_page.h"
#include "tests/support/test_font.h"
#include "ui/client_context.h"
#include "ui/event.h"
#include "ui/style.h"

namespace zq::test {

class NullHost : public PageHost {
public:
    void onEvent(std::unique_ptr<Event>) override {}
};

// `Host` answers the page; the default ignores everything.
template <class Host = NullHost>
class MarkupFixture : public ::testing::Test {
protected:
    ~MarkupFixture() override {
        page_.reset();
        freeTrackedStyles();
    }

    // Builds every child of `xml`'s root at page level, without loading a page.
    void buildChildren(const std::string& xml) {
        ASSERT_TRUE(parser_.setDoc(CString(xml.c_str()))) << parser_.error().toUtf8();
        ASSERT_TRUE(parser_.findElem());
        ASSERT_TRUE(parser_.intoElem());
        while (parser_.findElem()) buildElement(*page_, parser_.getTagName(), parser_, nullptr);
    }
    // Loads `xml` as a whole page into a fresh page.
    void loadPage(const std::string& xml) {
        page_ = std::make_unique<MarkupPage>();
        ASSERT_TRUE(page_->loadPage(xml, &host_));
    }
    // The control built `i`-th as a T, or null.
    template <class T = Item>
    T* control(size_t i) const {
        return i < page_->controls().size() ? dynamic_cast<T*>(page_->controls()[i]) : nullptr;
    }

    ClientContext context_;
    ScopedFixedFont font_;
    Host host_;
    std::unique_ptr<MarkupPage> page_ = std::make_unique<MarkupPage>();
    XmlParser parser_;
};

}  // namespace zq::test
