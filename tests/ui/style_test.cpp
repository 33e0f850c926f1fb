#include "ui/style.h"

#include <gtest/gtest.h>

#include "tests/support/test_font.h"
#include "ui/background.h"
#include "ui/border.h"
#include "ui/client_context.h"

namespace zq {
namespace {

// Counts how many of its kind are alive, so release and double release show.
template <class Base>
class Counted : public Base {
public:
    template <class... Args>
    explicit Counted(int* alive, Args&&... args)
        : Base(std::forward<Args>(args)...), alive_(alive) {
        ++*alive_;
    }
    ~Counted() override { --*alive_; }

private:
    int* alive_;
};
using CountedBackground = Counted<Background>;
using CountedBorder = Counted<Border>;

class StyleTest : public ::testing::Test {
protected:
    void TearDown() override { freeTrackedStyles(); }

    ClientContext context_;
};

constexpr PropertyId kUnlisted = 9000;

// The store must never hand out one kind of value as another.
TEST_F(StyleTest, ReadOfTheWrongKindGetsAbsent) {
    Style* s = allocTracked();
    ASSERT_TRUE(setStyleProperty(s, kUnlisted, 1));
    EXPECT_EQ(s->getProperty(kUnlisted), 1);
    EXPECT_EQ(s->getStyleProperty(kUnlisted), nullptr);
    EXPECT_EQ(s->getBackgroundProperty(kUnlisted), nullptr);
    EXPECT_EQ(s->getIntValueProperty(kUnlisted), nullptr);
    EXPECT_TRUE(s->getStringProperty(kUnlisted).isEmpty());

    ASSERT_TRUE(setStyleProperty(s, prop::kGridFrameColor, StyleIntValue(7)));
    EXPECT_EQ(s->getProperty(prop::kGridFrameColor), 0);
    EXPECT_EQ(s->getStyleValueProperty(prop::kGridFrameColor), nullptr);
}

TEST_F(StyleTest, ValueOfAnotherKindThanTheTableSaysIsRefused) {
    Style* s = allocTracked();
    ASSERT_TRUE(setStyleProperty(s, prop::kFocusedStyle, allocTracked()));
    Style* before = s->getStyleProperty(prop::kFocusedStyle);
    EXPECT_FALSE(setStyleProperty(s, prop::kFocusedStyle, 1));
    EXPECT_FALSE(setStyleProperty(s, prop::kSelectionBackground, 1));
    EXPECT_FALSE(setStyleProperty(nullptr, kUnlisted, 1));
    EXPECT_EQ(s->getStyleProperty(prop::kFocusedStyle), before);
    EXPECT_EQ(s->propertyCount(), 1u);
}

TEST_F(StyleTest, SetReplacesInPlaceOrAppends) {
    Style* s = allocTracked();
    setStyleProperty(s, prop::kColumnCount, 2);
    setStyleProperty(s, prop::kIconImage, CString("a.png"));
    setStyleProperty(s, prop::kColumnCount, 5);
    EXPECT_EQ(s->propertyCount(), 2u);
    EXPECT_EQ(s->getProperty(prop::kColumnCount), 5);
    // Unlisted ids take any kind; a replacement may change it.
    setStyleProperty(s, kUnlisted, CString("x"));
    setStyleProperty(s, kUnlisted, 4);
    EXPECT_EQ(s->propertyCount(), 3u);
    EXPECT_EQ(s->getProperty(kUnlisted), 4);
    EXPECT_TRUE(s->getStringProperty(kUnlisted).isEmpty());
}

TEST_F(StyleTest, ReplacedOwnedValueIsReleasedAndSharedOneIsNot) {
    Style* s = allocTracked();
    int alive = 0;
    auto shared = std::make_shared<CountedBackground>(&alive);
    setStyleProperty(s, prop::kDropBackground, std::make_unique<CountedBackground>(&alive));
    EXPECT_EQ(alive, 2);
    setStyleProperty(s, prop::kDropBackground, shared);
    EXPECT_EQ(alive, 1);
    EXPECT_EQ(s->getBackgroundProperty(prop::kDropBackground), shared.get());
    setStyleProperty(s, prop::kDropBackground, std::make_unique<CountedBackground>(&alive));
    EXPECT_EQ(alive, 2);
    EXPECT_EQ(shared.use_count(), 1);

    s->setBackground(std::make_unique<CountedBackground>(&alive));
    s->setBackground(std::make_unique<CountedBackground>(&alive));
    EXPECT_EQ(alive, 3);
    s->clearProperties();
    EXPECT_EQ(alive, 2);
    EXPECT_EQ(s->propertyCount(), 0u);
    freeTrackedStyles();
    EXPECT_EQ(alive, 1);  // the shared one is still held here
}

TEST_F(StyleTest, ColorOverrideWinsOverPlainColor) {
    Style* s = allocTracked();
    s->color = 0x123456;
    EXPECT_EQ(s->getColor(), 0x123456u);
    s->colorValue = StyleValue(0xFFFFFF);
    EXPECT_EQ(s->getColor(), 0xFFFFFFu);
    s->colorValue = StyleValue(0x00FF00, 1);
    EXPECT_EQ(s->getColor(), 0u);  // no Display yet
}

TEST_F(StyleTest, FlaggedValueReadsZeroUntilTheDisplayExists) {
    context_.setDisplayExists(false);
    EXPECT_EQ(StyleValue(5, 1).getValue(), 0);
    EXPECT_EQ(StyleValue(1, 1).getValue(), 1);
    EXPECT_EQ(StyleValue(5).getValue(), 5);
    context_.setDisplayExists(true);
    EXPECT_EQ(StyleValue(5, 1).getValue(), 5);
    EXPECT_EQ(StyleValue(1, 1).getValue(), 1);
}

// freeTrackedStyles must free each owned object once and each shared or nested one once.
TEST_F(StyleTest, FreeTrackedStylesReleasesSharedAndNestedOnce) {
    int backgrounds = 0;
    int borders = 0;
    freeTrackedStyles();
    uint32_t generation = trackedStylesGeneration();
    {
        auto shared = std::make_shared<CountedBackground>(&backgrounds);
        keepUntilShutdown(shared);
        Style* a = allocTracked();
        Style* b = allocTracked();
        a->setBackground(shared);
        b->setBackground(shared);
        a->setBorder(std::make_unique<CountedBorder>(&borders));
        setStyleProperty(a, prop::kEditRoundBackground, shared);
        setStyleProperty(a, prop::kDropBorder, std::make_unique<CountedBorder>(&borders));
        setStyleProperty(b, prop::kDropBackground,
                         std::make_unique<CountedBackground>(&backgrounds));
        // Nested both ways: a cycle must not be followed or freed twice.
        setStyleProperty(a, prop::kFocusedStyle, b);
        setStyleProperty(b, prop::kFocusedStyle, a);
        setStyleProperty(b, prop::kPressedStyle, b);
    }
    EXPECT_EQ(trackedStyleCount(), 2u);
    EXPECT_EQ(backgrounds, 2);
    EXPECT_EQ(borders, 2);
    freeTrackedStyles();
    EXPECT_EQ(trackedStyleCount(), 0u);
    EXPECT_EQ(backgrounds, 0);
    EXPECT_EQ(borders, 0);
    EXPECT_NE(trackedStylesGeneration(), generation);
    freeTrackedStyles();  // a second call finds nothing to free
    EXPECT_EQ(backgrounds, 0);
}

// Styles a page built stayed in the registry until exit. An arena owns
// what is built while its scope is open; start-up objects stay shared.
TEST_F(StyleTest, ArenaOwnsWhatItsScopeBuildsAndFreesIt) {
    freeTrackedStyles();
    int backgrounds = 0;
    Style* shared = nullptr;
    {
        StyleArena page;
        StyleArena nested;
        {
            const StyleScope scope(&page);
            Style* outer = allocTracked();
            outer->setBackground(std::make_unique<CountedBackground>(&backgrounds));
            {
                const StyleScope inner(&nested);
                allocTracked();
                const StyleScope elsewhere = StyleScope::shared();
                shared = allocTracked();
            }
            static StartupObject<Style*> startup([] { return allocTracked(); });
            EXPECT_NE(startup.get(), nullptr);
        }
        EXPECT_NE(allocTracked(), nullptr);  // the scope has closed: registry
        EXPECT_EQ(page.size(), 1u);
        EXPECT_EQ(nested.size(), 1u);
        EXPECT_EQ(trackedStyleCount(), 5u);
    }
    EXPECT_EQ(backgrounds, 0);
    EXPECT_EQ(trackedStyleCount(), 3u);
    EXPECT_EQ(shared->background(), nullptr);  // a registry style, still alive
    freeTrackedStyles();
    EXPECT_EQ(trackedStyleCount(), 0u);
}

struct Probe {
    explicit Probe(int* alive) : alive(alive) { ++*alive; }
    virtual ~Probe() { --*alive; }
    int* alive;
};
struct DerivedProbe : Probe {
    using Probe::Probe;
};

TEST_F(StyleTest, HeldReleasesOwnedThroughItsConcreteTypeAndLeavesShared) {
    int alive = 0;
    {
        Held<Probe> owned(std::make_unique<DerivedProbe>(&alive));
        auto sharedProbe = std::make_shared<Probe>(&alive);
        Held<Probe> shared(sharedProbe);
        EXPECT_FALSE(owned.isShared());
        EXPECT_TRUE(shared.isShared());
        EXPECT_EQ(shared.get(), sharedProbe.get());
        Held<Probe> moved = std::move(owned);
        EXPECT_NE(moved.get(), nullptr);
        EXPECT_EQ(alive, 2);
    }
    EXPECT_EQ(alive, 0);
    EXPECT_FALSE(Held<Probe>());
}

}  // namespace
}  // namespace zq
