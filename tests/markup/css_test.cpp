#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

#include "markup/css_parser.h"
#include "markup/style_properties.h"
#include "markup/style_sheet.h"
#include "tests/support/test_env.h"
#include "tests/support/test_font.h"
#include "ui/background.h"
#include "ui/border.h"
#include "ui/style.h"

namespace zq {
namespace {

class CssTest : public ::testing::Test {
protected:
    void TearDown() override {
        defaultStyleSheet().clear();
        externalStyleSheetCache() = ExternalStyleSheetCache();
        freeTrackedStyles();
    }
    // A style with a focused sub-style, as the builders' defaults have.
    static Style* focusableStyle() {
        Style* s = allocTracked();
        setStyleProperty(s, prop::kFocusedStyle, allocTracked());
        return s;
    }
    static Style* focused(const Style* s) { return s->getStyleProperty(prop::kFocusedStyle); }
    test::ScopedFixedFont fixedFont_;
};

// A number or colour stored under `id`, in whichever of the number kinds.
std::optional<int32_t> number(const Style& s, PropertyId id) {
    const PropertyValue* v = s.findProperty(id);
    if (!v) return std::nullopt;
    if (auto* i = std::get_if<int32_t>(v)) return *i;
    if (auto* b = std::get_if<StyleIntValue>(v)) return b->value;
    if (auto* sv = std::get_if<StyleValue>(v)) return sv->value;
    return std::nullopt;
}

std::map<CString, CString> decl(std::initializer_list<std::pair<const char*, const char*>> list) {
    std::map<CString, CString> out;
    for (auto& [n, v] : list) out.emplace(CString(n), CString(v));
    return out;
}

// --- parsing --------------------------------------------------------------------------

TEST_F(CssTest, ParsesOneRulePerLine) {
    struct Case {
        const char* line;
        const char* selector;  // nullptr: no rule
        std::map<CString, CString> declarations;
    };
    const Case cases[] = {
        {"button { fc:#ff0000; bc:#000000 }", "button",
         decl({{"fc", "#ff0000"}, {"bc", "#000000"}})},
        {"a{fc:red}", "a", decl({{"fc", "red"}})},
        {"a { fc : red ; }", "a", decl({{"fc", "red"}})},
        {"x { fc:blue;fc:red }", "x", decl({{"fc", "blue"}})},
        {"x { bi:file://images/a.png }", "x", decl({{"bi", "file://images/a.png"}})},
        {"x { loose; fc:red }", "x", decl({{"", "loose"}, {"fc", "red"}})},
        {"x { fc:red\r", "x", {}},      // body ends at a "}" the line lacks
        {"x } { fc:red }", "x }", {}},  // "}" before "{"
        {"  sel \r{ fc : red }\r", "sel", decl({{"fc", "red"}})},
        {"fc:red;", nullptr, {}},
        {" { fc:red }", nullptr, {}},
        {"", nullptr, {}}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.line);
        auto rule = parseStyleRule(CString(c.line));
        if (!c.selector) {
            EXPECT_FALSE(rule);
            continue;
        }
        ASSERT_TRUE(rule);
        EXPECT_EQ(rule->selector, CString(c.selector));
        EXPECT_EQ(rule->declarations, c.declarations);
    }
}

TEST_F(CssTest, DeclarationsApplyInAscendingNameOrder) {
    // "font-size" sorts before "font-style": the bold survives.
    auto rule = parseStyleRule(u"t { font-style:bold; font-size:large }");
    Style* s = allocTracked();
    rule->applyTo(s);
    ASSERT_TRUE(s->font);
    EXPECT_EQ(s->font->height(), 17);
    EXPECT_GE(s->font->weight(), 700);
}

TEST_F(CssTest, DefaultSheetKeepsFirstRuleAndTwoLineRuleBlocksLaterOne) {
    loadDefaultStyleSheet(
        u"text {\n fc:#ff0000 }\ntext { fc:#00ff00 }\nbutton { fc:#0000ff }\n"
        u"button { fc:#ffffff }");
    Style* text = allocTracked();
    applyStyleClass(text, u"text");
    EXPECT_FALSE(text->colorValue);
    Style* button = allocTracked();
    applyStyleClass(button, u"button");
    EXPECT_EQ(button->getColor(), 0xFF0000u);
    applyStyleClass(button, u"Button");  // selectors are case-sensitive
    applyStyleClass(nullptr, u"button");
    EXPECT_EQ(button->getColor(), 0xFF0000u);
}

TEST_F(CssTest, MalformedDeclarationsSkipOnlyThemselves) {
    loadDefaultStyleSheet(
        u"garbage line without braces\n"
        u"text { fc:#zz; bc:#00ff00; brw:; ti:abc; }}; fc2:; :#123; brc:#0000ff\n"
        u"{ fc:#ffffff }\n"
        u"hr { lp:dashed }\n");
    Style* s = allocTracked();
    applyStyleClass(s, u"text");
    EXPECT_FALSE(s->colorValue);
    EXPECT_FALSE(s->hasProperty(prop::kIndentCount));
    ASSERT_TRUE(s->background());
    EXPECT_EQ(s->background()->colour(), 0x00FF00u);
    ASSERT_TRUE(s->border());  // "brw:" gives the default width 2
    EXPECT_EQ(s->border()->width(), 2);
    EXPECT_EQ(s->border()->colour(), 0u);  // "brc" sits after the first "}"
    Style* hr = allocTracked();
    applyStyleClass(hr, u"hr");
    EXPECT_EQ(number(*hr, prop::kSeparatorPenStyle), 1);
}

// --- page classes ----------------------------------------------------------------------

TEST_F(CssTest, InlineClassesMergeWithFirstNamedClassWinning) {
    StyleSheet page;
    page.addText(u"x { fc:#ff0000; bc:#000080 }\ny { fc:#00ff00; ti:3 }", DuplicateRule::Replace);
    Style* xy = applyInlineStyle(page, allocTracked(), u"x,y");
    EXPECT_EQ(xy->getColor(), 0x0000FFu);
    EXPECT_EQ(number(*xy, prop::kIndentCount), 3);
    ASSERT_TRUE(xy->background());
    EXPECT_EQ(applyInlineStyle(page, allocTracked(), u"y,x")->getColor(), 0x00FF00u);
    EXPECT_FALSE(applyInlineStyle(page, allocTracked(), u" x")->colorValue);  // not trimmed
    EXPECT_FALSE(applyInlineStyle(page, allocTracked(), u"nosuch")->colorValue);
    EXPECT_EQ(applyInlineStyle(page, nullptr, u"x"), nullptr);
}

TEST_F(CssTest, InlineDeclarationIsAppliedUnsplit) {
    StyleSheet page;
    EXPECT_EQ(applyInlineStyle(page, allocTracked(), u"fc:#00ff00")->getColor(), 0x00FF00u);
    Style* s = applyInlineStyle(page, allocTracked(), u"fc:#00ff00;bc:#000000");
    EXPECT_FALSE(s->colorValue);
    EXPECT_FALSE(s->background());
}

TEST_F(CssTest, ClassFontColorAndAlignment) {
    StyleSheet page;
    page.addText(
        u"r { align: Right; fc:#ff0000 }\nm { an:middle; font-color:bad }\nc { an:CENTER }",
        DuplicateRule::Replace);
    Color colour = 0x123456;
    EXPECT_FALSE(getClassFontColor(page, colour, u"none"));
    EXPECT_TRUE(getClassFontColor(page, colour, u"m"));
    EXPECT_EQ(colour, 0x123456u);
    EXPECT_TRUE(getClassFontColor(page, colour, u"r"));
    EXPECT_EQ(colour, 0x0000FFu);
    EXPECT_EQ(getClassAlignment(page, u"r"), 8);
    EXPECT_EQ(getClassAlignment(page, u"c"), 1);
    EXPECT_EQ(getClassAlignment(page, u"m"), 4);
    EXPECT_EQ(getClassAlignment(page, u"none"), 4);
}

TEST_F(CssTest, StyleElementFetchesOnceAndOwnTextWins) {
    int fetches = 0;
    StyleSheetFetcher fetch = [&fetches](const CString&) {
        ++fetches;
        return std::string("k { fc:#ff0000 }\nshared { fc:#0000ff }\n");
    };
    StyleSheet page1;
    page1.addText(u"shared { fc:#00ff00 }", DuplicateRule::Replace);
    applyStyleElement(page1, u"css/a.css", u"k { fc:#ffffff }", fetch);
    EXPECT_EQ(page1.find(u"k")->declarations.at(u"fc"), CString(u"#ffffff"));
    EXPECT_EQ(page1.find(u"shared")->declarations.at(u"fc"), CString(u"#00ff00"));

    StyleSheet page2;
    applyStyleElement(page2, u"CSS/A.css", CString(), fetch);  // same address, any case
    EXPECT_EQ(fetches, 1);
    EXPECT_EQ(page2.find(u"k")->declarations.at(u"fc"), CString(u"#ff0000"));

    // A sheet that could not be had was remembered for the rest of the run:
    // the next page that names it asks again.
    StyleSheetFetcher broken = [&fetches](const CString&) {
        ++fetches;
        return std::string();
    };
    StyleSheet page3;
    applyStyleElement(page3, u"css/b.css", CString(), broken);
    applyStyleElement(page3, u"css/b.css", CString(), broken);
    EXPECT_EQ(fetches, 3);
    EXPECT_TRUE(page3.empty());
    StyleSheet page4;
    applyStyleElement(page4, u"css/b.css", CString(), fetch);
    EXPECT_EQ(fetches, 4);
    EXPECT_NE(page4.find(u"k"), nullptr);
}

// A Big5 handset read fetched sheets as they came: a class named in a
// character Big5 lacks kept its name.
TEST_F(CssTest, FetchedSheetIsReadInTheHandsetsCharacterSet) {
    StyleSheetFetcher fetch = [](const CString&) {
        return std::string("这 { fc:#ff0000 }\n這 { fc:#0000ff }\n");
    };
    StyleSheet big5;
    applyStyleElement(big5, u"css/big5.css", CString(), fetch, u"BIG5");
    EXPECT_EQ(big5.find(u"这"), nullptr);
    EXPECT_NE(big5.find(u"?"), nullptr);
    EXPECT_NE(big5.find(u"這"), nullptr);
}

// --- the property table ----------------------------------------------------------------

TEST_F(CssTest, EveryStoredPropertyNameAndAliasReachesItsId) {
    struct Case {
        const char16_t* longName;
        const char16_t* alias;
        const char16_t* value;
        PropertyId id;
        int32_t expected;
    };
    constexpr int32_t kRed = 0x0000FF;
    const Case cases[] = {
        {u"text-indent", u"ti", u"12", prop::kIndentCount, 12},
        {u"line-type", u"LP", u"DASHED", prop::kSeparatorPenStyle, 1},
        {u"table-vertical-line", u"tvl", u"TRUE", prop::kTableVerticalLines, 1},
        {u"table-row-choice", u"trc", u"true", prop::kFocusedRowHighlight, 1},
        {u"table-horizontal-line", u"THL", u"true", prop::kTableHorizontalLines, 1},
        {u"table-row-cbg", u"trb", u"#010203", prop::kFocusedRowColor, 0x030201},
        {u"table-row-line-color", u"trlc", u"red", prop::kTableRowLineColor, kRed},
        // Row type: once refused as a value of another kind.
        {u"table-row-type", u"trt", u"LINE", prop::kTableRowType, 1},
        {u"table-head-color", u"thc", u"red", prop::kHeadBackColor, kRed},
        {u"table-head-fc", u"thfc", u"red", prop::kTableHeadTextColor, kRed},
        {u"table-head-fcolor", u"thfc", u"red", prop::kTableHeadTextColor, kRed},
        {u"table-odd-color", u"toc", u"red", prop::kOddRowColor, kRed},
        {u"table-even-color", u"tec", u"red", prop::kEvenRowColor, kRed},
        {u"table-cell-bc", u"tcb", u"red", prop::kTableCellBackColor, kRed},
        {u"table-line-color", u"tlc", u"red", prop::kTableGridColor, kRed},
        {u"table-scroll-color", u"tsc", u"red", prop::kTableArrowColor, kRed},
        {u"status-bgc", u"sbc", u"red", prop::kTipBoxColor, kRed},
        {u"status-fcolor", u"sfc", u"red", prop::kStatusTextColor, kRed},
        {u"menu-fcolor", u"mfc", u"red", prop::kMenuTextColor, kRed},
        {u"grilmenu-lsize", u"gls", u"red", prop::kTipBoxColor, kRed},
        {u"grilmenu-lsize-n", u"glsx", u"1a", prop::kColumnCount, 1},
        {u"cbo-sc", u"cbosc", u"red", prop::kThumbColor, kRed},
        {u"cbo-sbc", u"cbosbc", u"red", prop::kTrackColor, kRed},
        {u"gril-foc-brc", u"gfbrc", u"red", prop::kGridFrameColor, kRed},
        {u"rado-fill-color", u"rfc", u"red", prop::kDiscColor, kRed},
        {u"rado-fill-in-color", u"RFIC", u"red", prop::kDotColor, kRed},
        {u"font-style", u"fs", u"Underline", prop::kLinkUnderline, 1},
        // Values: saturation, keywords, hex-class digits read as decimal.
        {u"text-indent", u"ti", u"99999999999", prop::kIndentCount, 4096},
        {u"line-type", u"lp", u"solid", prop::kSeparatorPenStyle, 0},
        {u"table-vertical-line", u"tvl", u"yes", prop::kTableVerticalLines, 0},
        {u"grilmenu-lsizex", u"glsx", u"a1", prop::kColumnCount, 0}};
    for (const Case& c : cases) {
        for (const char16_t* name : {c.longName, c.alias}) {
            SCOPED_TRACE(CString(name).toUtf8() + ":" + CString(c.value).toUtf8());
            Style* s = allocTracked();
            applyStyleDeclaration(s, name, c.value);
            EXPECT_EQ(number(*s, c.id), c.expected);
            EXPECT_EQ(s->propertyCount(), 1u);
        }
    }
}

TEST_F(CssTest, ColourAlignAndObjectProperties) {
    for (const char16_t* name : {u"font-color", u"fc", u"FC"}) {
        Style* s = allocTracked();
        applyStyleDeclaration(s, name, u"#FF0000");
        EXPECT_EQ(s->color, 0x0000FFu);
        EXPECT_EQ(s->getColor(), 0x0000FFu);
    }
    for (const char16_t* name : {u"color", u"c"}) {
        Style* s = allocTracked();
        applyStyleDeclaration(s, name, u"red");
        EXPECT_EQ(s->color, 0u);  // only the override
        EXPECT_EQ(s->getColor(), 0x0000FFu);
    }
    struct Flags {
        const char16_t* name;
        const char16_t* value;
        uint32_t flags;
    };
    for (const Flags& f : {Flags{u"align", u"right", 2}, Flags{u"an", u"right center", 4},
                           Flags{u"an", u"left", 0}, Flags{u"vertical-align", u"middle", 48},
                           Flags{u"va", u"middle bottom", 32}, Flags{u"va", u"top", 0}}) {
        Style* s = allocTracked();
        applyStyleDeclaration(s, f.name, f.value);
        EXPECT_EQ(s->flags, f.flags);
    }
    Style* both = allocTracked();
    applyStyleDeclaration(both, u"align", u"right");
    applyStyleDeclaration(both, u"align", u"center");
    EXPECT_EQ(both->flags, 6u);  // bits are never cleared

    for (const char16_t* name : {u"menu-bgc", u"mbc"}) {
        Style* s = allocTracked();
        applyStyleDeclaration(s, name, u"#000080");
        ASSERT_TRUE(s->getBackgroundProperty(prop::kSoftKeyMenuBackground));
        EXPECT_EQ(s->getBackgroundProperty(prop::kSoftKeyMenuBackground)->colour(), 0x800000u);
    }
    Style* combo = allocTracked();
    applyStyleDeclaration(combo, u"cbo-br-w", u"3");
    EXPECT_EQ(combo->getBorderProperty(prop::kDropBorder)->colour(), 0xFFFFFFu);
    applyStyleDeclaration(combo, u"cbobrc", u"red");
    applyStyleDeclaration(combo, u"cbobrw", u"4");
    EXPECT_EQ(combo->getBorderProperty(prop::kDropBorder)->colour(), 0x0000FFu);
    EXPECT_EQ(combo->getBorderProperty(prop::kDropBorder)->width(), 4);
    applyStyleDeclaration(combo, u"cbo-bg-c", u"lime");
    applyStyleDeclaration(combo, u"cbobgc", u"blue");
    EXPECT_EQ(combo->getBackgroundProperty(prop::kDropBackground)->colour(), 0xFF0000u);
    Style* fresh = allocTracked();
    applyStyleDeclaration(fresh, u"cbo-br-c", u"red");
    EXPECT_EQ(fresh->getBorderProperty(prop::kDropBorder)->width(), 2);
}

TEST_F(CssTest, BadValuesIgnoredNamesAndUpperCaseLongNamesChangeNothing) {
    const std::pair<const char16_t*, const char16_t*> cases[] = {{u"fc", u""},
                                                                 {u"FONT-COLOR", u"red"},
                                                                 {u"BACKGROUND-COLOR", u"red"},
                                                                 {u"ti", u"-3"},
                                                                 {u"ti", u"1a"},
                                                                 {u"glsx", u"zz"},
                                                                 {u"line-space", u"3"},
                                                                 {u"h", u"3"},
                                                                 {u"width", u"3"},
                                                                 {u"ff", u"Arial"},
                                                                 {u"sfs", u"3"},
                                                                 {u"menu-fsize", u"3"},
                                                                 {u"brsc", u"red"},
                                                                 {u"background", u"red"},
                                                                 {u"font-style", u"italic"},
                                                                 {u"unknown", u"red"},
                                                                 {u"", u"red"},
                                                                 {u"cbo-br-c", u"nope"},
                                                                 {u"TABLE-HEAD-COLOR", u"red"}};
    for (const auto& [name, value] : cases) {
        SCOPED_TRACE(CString(name).toUtf8() + ":" + CString(value).toUtf8());
        Style* s = allocTracked();
        applyStyleDeclaration(s, name, value);
        EXPECT_FALSE(s->colorValue);
        EXPECT_EQ(s->propertyCount(), 0u);
        EXPECT_FALSE(s->background());
        EXPECT_FALSE(s->border());
        EXPECT_FALSE(s->font);
    }
    applyStyleDeclaration(nullptr, u"fc", u"red");
}

TEST_F(CssTest, ColourValueForms) {
    constexpr int64_t kNone = -1;
    const std::pair<const char16_t*, int64_t> cases[] = {
        {u"#FF0000", 0x0000FF},  {u"red", 0x0000FF},
        {u"#1234567", 0x563412}, {u"#f00", 0x000F00},  // no shorthand
        {u"x#00ff00", kNone},                          // only the first character is dropped
        {u"#red", kNone},        {u"Red", kNone},
        {u"ff0000", kNone},      {u"#", kNone}};
    for (const auto& [value, expected] : cases) {
        SCOPED_TRACE(CString(value).toUtf8());
        Color colour = 7;
        const bool ok = readStyleColor(value, colour);
        EXPECT_EQ(ok ? static_cast<int64_t>(colour) : kNone, expected);
        EXPECT_EQ(colorValueText(value).isEmpty(), !ok);
    }
}

TEST_F(CssTest, FocusPrefixesReachTheFocusedSubStyle) {
    Style* plain = allocTracked();
    applyStyleDeclaration(plain, u"focus-bc", u"#000080");
    EXPECT_FALSE(plain->background());
    EXPECT_EQ(plain->propertyCount(), 0u);

    Style* s = focusableStyle();
    applyStyleDeclaration(s, u"focus-bc", u"#000080");
    EXPECT_FALSE(s->background());
    ASSERT_TRUE(focused(s)->background());
    EXPECT_EQ(focused(s)->background()->colour(), 0x800000u);
    applyStyleDeclaration(s, u"focusbc", u"#00ff00");  // loses six characters: "c"
    EXPECT_EQ(focused(s)->getColor(), 0x00FF00u);
    applyStyleDeclaration(s, u"foc-fc", u"#0000ff");
    EXPECT_EQ(focused(s)->color, 0xFF0000u);
    applyStyleDeclaration(s, u"FOCUS-fc", u"#ffffff");
    applyStyleDeclaration(s, u"Foc-fc", u"#ffffff");
    EXPECT_EQ(focused(s)->color, 0xFF0000u);
    setStyleProperty(focused(s), prop::kFocusedStyle, allocTracked());
    applyStyleDeclaration(s, u"focus-foc-ti", u"7");
    EXPECT_EQ(number(*focused(focused(s)), prop::kIndentCount), 7);
}

TEST_F(CssTest, SelfFocusedStyleWithHugeNameStaysBounded) {
    Style* s = allocTracked();
    setStyleProperty(s, prop::kFocusedStyle, s);
    CString name;
    for (int i = 0; i < 20000; ++i) name += CString(u"focus-");
    applyStyleDeclaration(s, name + CString(u"fc"), u"red");
    EXPECT_FALSE(s->colorValue);
}

// --- fonts, backgrounds, borders -------------------------------------------------------

TEST_F(CssTest, FontSizesAndBold) {
    const std::pair<const char16_t*, int> sizes[] = {
        {u"large", 17}, {u"LARGE", 17}, {u"small", 11}, {u"18", 14}, {u"normal", 14}};
    for (const auto& [value, height] : sizes) {
        for (const char16_t* name : {u"font-size", u"fi"}) {
            Style* s = allocTracked();
            applyStyleDeclaration(s, name, value);
            ASSERT_TRUE(s->font);
            EXPECT_EQ(s->font->height(), height);
        }
    }
    Style* s = focusableStyle();
    applyStyleDeclaration(s, u"font-style", u"bold");
    ASSERT_TRUE(s->font);
    EXPECT_EQ(s->font->height(), 14);
    EXPECT_GE(s->font->weight(), 700);
    EXPECT_EQ(focused(s)->font, s->font);
    // A later size replaces the bold font, focused too: a focused table
    // kept the base size.
    applyStyleDeclaration(s, u"fi", u"large");
    EXPECT_LT(s->font->weight(), 700);
    EXPECT_EQ(focused(s)->font, s->font);
    // Bold keeps the height of the font the style has.
    applyStyleDeclaration(s, u"fs", u"BOLD");
    EXPECT_EQ(s->font->height(), 17);
    EXPECT_EQ(s->font, getFont(17, 700));  // shared through the font cache
}

TEST_F(CssTest, Backgrounds) {
    Style* s = allocTracked();
    applyStyleDeclaration(s, u"background-image", u"images/a.png");
    auto* image = dynamic_cast<ImageBackground*>(s->background());
    ASSERT_TRUE(image);
    EXPECT_EQ(image->path(), CString(u"images/a.png"));
    EXPECT_EQ(image->kind(), ImageRepeat::Tile);
    applyStyleDeclaration(s, u"bi", u"file://images/bg.png");
    EXPECT_EQ(s->background(), image);  // changed in place
    EXPECT_EQ(image->path(), CString(u"ZQ Resource\\images\\bg.png"));
    applyStyleDeclaration(s, u"br", u"stretch");
    EXPECT_EQ(image->kind(), ImageRepeat::Stretch);
    applyStyleDeclaration(s, u"bi", u"");
    EXPECT_EQ(image->path(), CString(u"ZQ Resource\\images\\bg.png"));

    Style* bare = allocTracked();
    applyStyleDeclaration(bare, u"background-repeat", u"stretch");
    auto* empty = dynamic_cast<ImageBackground*>(bare->background());
    ASSERT_TRUE(empty);
    EXPECT_TRUE(empty->path().isEmpty());
    EXPECT_EQ(empty->kind(), ImageRepeat::Stretch);

    Style* solid = allocTracked();
    applyStyleDeclaration(solid, u"bc", u"#00ff00");
    EXPECT_TRUE(dynamic_cast<ColorBackground*>(solid->background()));
    applyStyleDeclaration(solid, u"br", u"tile");
    auto* taken = dynamic_cast<ImageBackground*>(solid->background());
    ASSERT_TRUE(taken);
    EXPECT_EQ(taken->colour(), 0x00FF00u);
    EXPECT_EQ(taken->kind(), ImageRepeat::Tile);
    applyStyleDeclaration(solid, u"background-color", u"blue");
    EXPECT_TRUE(dynamic_cast<ColorBackground*>(solid->background()));
}

TEST_F(CssTest, Borders) {
    struct Case {
        const char16_t* name;
        const char16_t* value;
        bool round;
        bool present;
    };
    for (const Case& c :
         {Case{u"border-style", u"round", true, true}, Case{u"brs", u"roundrect", true, true},
          Case{u"brs", u"RECT", false, true}, Case{u"brs", u"Round", false, false},
          Case{u"brs", u"dotted", false, false}}) {
        SCOPED_TRACE(CString(c.value).toUtf8());
        Style* s = allocTracked();
        applyStyleDeclaration(s, u"brc", u"#00ff00");
        applyStyleDeclaration(s, u"brw", u"3");
        applyStyleDeclaration(s, c.name, c.value);
        ASSERT_EQ(s->border() != nullptr, c.present);
        if (!c.present) continue;
        auto* round = dynamic_cast<RoundRectBorder*>(s->border());
        EXPECT_EQ(round != nullptr, c.round);
        if (round) {
            EXPECT_EQ(round->cornerWidth(), 5);
        }
        EXPECT_EQ(s->border()->colour(), 0x00FF00u);  // colour and width carried over
        EXPECT_EQ(s->border()->width(), 3);
    }
    Style* s = allocTracked();
    applyStyleDeclaration(s, u"border-style", u"round");
    EXPECT_EQ(s->border()->colour(), 0u);
    EXPECT_EQ(s->border()->width(), 2);
    applyStyleDeclaration(s, u"border-width", u"x");
    EXPECT_EQ(s->border()->width(), 2);
    Style* w = allocTracked();
    applyStyleDeclaration(w, u"border-width", u"6");
    EXPECT_TRUE(dynamic_cast<LineBorder*>(w->border()));
    EXPECT_EQ(w->border()->width(), 6);
    Style* c = allocTracked();
    applyStyleDeclaration(c, u"border-color", u"#00ff00");
    EXPECT_TRUE(dynamic_cast<LineBorder*>(c->border()));
    EXPECT_EQ(c->border()->width(), 2);
    EXPECT_EQ(c->border()->colour(), 0x00FF00u);
}

// --- the shipped sheet -------------------------------------------------------------------

TEST_F(CssTest, ShippedDefaultSheetStylesEveryElementKind) {
    std::ifstream in(test::sourceDir() / "resources" / "ZQ Resource" / "css" / "default.css",
                     std::ios::binary);
    ASSERT_TRUE(in);
    std::stringstream bytes;
    bytes << in.rdbuf();
    loadDefaultStyleSheet(CString::fromUtf8(bytes.str()));
    for (const char16_t* kind :
         {u"body",     u"text",  u"a",           u"button",      u"progressbar",
          u"combobox", u"radio", u"choicegroup", u"gridmenu",    u"trust",
          u"edit",     u"hr",    u"commanditem", u"image",       u"ul",
          u"tabbody",  u"tab",   u"tree",        u"simpletable", u"table"}) {
        SCOPED_TRACE(CString(kind).toUtf8());
        const StyleRule* rule = defaultStyleSheet().find(kind);
        ASSERT_TRUE(rule);
        EXPECT_FALSE(rule->declarations.empty());
        EXPECT_FALSE(rule->declarations.count(CString()));  // no part without ":"
    }
    Style* link = focusableStyle();
    applyStyleClass(link, u"a");
    EXPECT_TRUE(link->colorValue);
    EXPECT_TRUE(focused(link)->background());
}

}  // namespace
}  // namespace zq
