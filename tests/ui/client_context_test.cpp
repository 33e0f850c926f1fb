#include "ui/client_context.h"

#include <gtest/gtest.h>

#include <memory>

#include "ui/item.h"

namespace zq {
namespace {

std::unique_ptr<Item> makeNoLabel(const CString&, Style*) { return nullptr; }

class StubNavigator : public PageNavigator {
public:
    void navigate(const CString&, NavigationLoading, NavigationInput) override {}
};

// A client's context starts from the values and makers in force, keeps its
// own wiring, and leaves the one before it as it was.
TEST(ClientContext, NestedContextInheritsValuesNotWiringAndRestoresOnEnd) {
    ClientContext outer;
    outer.setProgramFolder("/outer");
    outer.setLabelMaker(&makeNoLabel);
    outer.setLoginFlag(true);
    StubNavigator navigator;
    outer.setPageNavigator(&navigator);
    outer.setMarqueeTextLookup([](const CString&) { return CString(u"outer"); });
    {
        ClientContext inner;
        EXPECT_EQ(&ClientContext::current(), &inner);
        EXPECT_EQ(programFolder(), "/outer");
        EXPECT_EQ(labelMaker(), &makeNoLabel);
        EXPECT_TRUE(loginFlag());
        EXPECT_EQ(pageNavigator(), nullptr);
        EXPECT_TRUE(inner.lookupMarqueeText(u"k").isEmpty());

        inner.setProgramFolder("/inner");
        ScreenMetrics metrics;
        metrics.screenWidth = 320;
        inner.setMetrics(metrics);
        inner.setLoginFlag(false);
        EXPECT_EQ(screenMetrics().screenWidth, 320);
    }
    EXPECT_EQ(&ClientContext::current(), &outer);
    EXPECT_EQ(programFolder(), "/outer");
    EXPECT_EQ(screenMetrics().screenWidth, ScreenMetrics{}.screenWidth);
    EXPECT_TRUE(loginFlag());
    EXPECT_EQ(pageNavigator(), &navigator);
    EXPECT_EQ(outer.lookupMarqueeText(u"k"), CString(u"outer"));
}

}  // namespace
}  // namespace zq
