// Page loading: roots and root attributes, attribute names in any case,
// the "@Encode-" markers, the text pre-pass and numbers from attributes.
#include "markup/markup_page.h"

#include <gtest/gtest.h>

#include <climits>
#include <map>
#include <memory>
#include <string>

#include "core/xml_parser.h"
#include "items/fixed_head_table.h"
#include "ui/container.h"
#include "ui/form.h"
#include "ui/item.h"

namespace zq {
namespace {

class FakeHost : public PageHost {
public:
    void onEvent(std::unique_ptr<Event>) override {}
    CString markerValue(const CString& key) const override {
        auto found = markers.find(key.toUtf8());
        return found == markers.end() ? CString() : CString::fromUtf8(found->second);
    }
    void clearMarkerValues() override { markers.clear(); }
    void setSnKey(const CString& key) override { snKey = key.toUtf8(); }
    CString getSystemValue(const CString& key) const override {
        auto found = settings.find(key.toUtf8());
        return found == settings.end() ? CString() : CString::fromUtf8(found->second);
    }

    std::map<std::string, std::string> markers;
    std::map<std::string, std::string> settings;
    std::string snKey;
};

std::string prepass(const std::string& page) {
    CString text = CString::fromUtf8(page);
    normalizeMarkupText(text);
    return text.toUtf8();
}

TEST(MarkupPageLoadTest, RootsAndRootAttributes) {
    struct Case {
        const char* page;
        bool loaded;
        CacheMode cache;
    };
    const Case cases[] = {
        {"<zqml></zqml>", true, CacheMode::Keep},
        {"<zq/>", true, CacheMode::Keep},
        {"<ZQML></ZQML>", true, CacheMode::Keep},
        {"<html></html>", false, CacheMode::Keep},
        {"", false, CacheMode::Keep},
        {"<zqml><body></zqml>", false, CacheMode::Keep},
        {"<zqml cache='update'/>", true, CacheMode::Update},
        {"<zqml CACHE='Update'/>", true, CacheMode::Update},
        {"<zqml c='FALSE'/>", true, CacheMode::NoCache},
        {"<zqml cache='TRUE'/>", true, CacheMode::Keep},
        {"<zqml cache='maybe'/>", true, CacheMode::Keep},
        {"<zqml cache='' c='false'/>", true, CacheMode::NoCache},
    };
    for (const Case& c : cases) {
        MarkupPage page;
        EXPECT_EQ(page.loadPage(c.page, nullptr), c.loaded) << c.page;
        EXPECT_EQ(page.cacheMode(), c.cache) << c.page;
    }

    MarkupPage page;
    ASSERT_TRUE(page.loadPage("<zq r='next.zqml' pagebase='/q/' CID='k1'/>", nullptr));
    EXPECT_EQ(page.redirect().toUtf8(), "next.zqml");
    EXPECT_EQ(page.pageBase().toUtf8(), "/q/");
    EXPECT_EQ(page.cacheId().toUtf8(), "k1");
    EXPECT_TRUE(page.cacheFlag());
    EXPECT_FALSE(page.updateFlag());
}

TEST(MarkupPageLoadTest, TextEndsAtZeroByteAndMarkersAreSpent) {
    FakeHost host;
    host.markers["@x"] = "1";
    MarkupPage page;
    std::string bytes = std::string("<zqml cacheid='@x;'/>") + '\0' + "<junk";
    ASSERT_TRUE(page.loadPage(bytes, &host));
    EXPECT_EQ(page.cacheId().toUtf8(), "1");
    EXPECT_TRUE(host.markers.empty());
    EXPECT_EQ(host.snKey, "47310958");
}

TEST(MarkupPageLoadTest, EncodeMarkers) {
    FakeHost host;
    host.markers["@name"] = "a b&c";
    host.markers["@code"] = "600000";
    struct Case {
        const char* text;
        const char* expected;
    };
    const Case cases[] = {
        {"no markers", "no markers"},
        {"v=@Encode-name;!", "v=a+b%26c!"},
        {"v=@encode_name;", "v=a+b%26c"},
        {"v=@name;", "v=a b&c"},
        {"@code;@code;", "600000600000"},
        {"a@missing;b", "a@missing;b"},
        {"mail@host @code;", "mail@host 600000"},
        {"tail @code", "tail @code"},
        {"@Encode-missing;", "@Encode-missing;"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(resolveEncodeMarkers(&host, CString::fromUtf8(c.text)).toUtf8(), c.expected)
            << c.text;
    }
    EXPECT_EQ(resolveEncodeMarkers(nullptr, u"@code;").toUtf8(), "@code;");
}

// Resolving markers was quadratic: a 400 KB page of "@" took 17 s.
TEST(MarkupPageLoadTest, MarkersResolveInOneWalk) {
    class CountingHost : public FakeHost {
    public:
        CString markerValue(const CString& key) const override {
            lookedAt += static_cast<size_t>(key.length());
            return FakeHost::markerValue(key);
        }
        mutable size_t lookedAt = 0;
    };
    CountingHost host;
    host.markers["@x"] = "12";
    const std::string ats = std::string(40000, '@') + ";";
    EXPECT_EQ(resolveEncodeMarkers(&host, CString::fromUtf8(ats)).toUtf8(), ats);
    EXPECT_LE(host.lookedAt, ats.size());

    // Every marker looked up once, by its own name: no rescans.
    std::string markers;
    for (int i = 0; i < 200000; ++i) markers += "@x;";
    host.lookedAt = 0;
    const CString resolved = resolveEncodeMarkers(&host, CString::fromUtf8(markers));
    EXPECT_EQ(resolved.length(), 400000);
    EXPECT_LE(host.lookedAt, markers.size());
}

TEST(MarkupPageAttributeTest, LongNameFirstThenAliasInAnyCase) {
    XmlParser parser;
    ASSERT_TRUE(parser.setDoc(
        u"<x CLASS='long' cl='short' Id='' ID2='b' On='load' title='id=3' t2=\"&amp;\"/>"));
    ASSERT_TRUE(parser.findElem());
    EXPECT_EQ(getAttribute(parser, u"class", u"cl").toUtf8(), "long");
    EXPECT_EQ(getAttribute(parser, u"cl").toUtf8(), "short");
    // An empty long name counts as absent.
    EXPECT_EQ(getAttribute(parser, u"id", u"id2").toUtf8(), "b");
    EXPECT_EQ(getAttribute(parser, u"onload", u"on").toUtf8(), "load");
    // A value that looks like an attribute is not one.
    EXPECT_EQ(getAttribute(parser, u"id=3").toUtf8(), "");
    EXPECT_EQ(getAttribute(parser, u"t2").toUtf8(), "&");
    EXPECT_EQ(getAttribute(parser, u"missing", u"m").toUtf8(), "");
    EXPECT_TRUE(tagIs(u"BoDy", u"body", u"by"));
    EXPECT_TRUE(tagIs(u"BY", u"body", u"by"));
    EXPECT_FALSE(tagIs(u"bodyx", u"body", u"by"));
}

TEST(MarkupPageAttributeTest, NumbersSaturateAndSizesClamp) {
    EXPECT_EQ(parseIntSaturated(u"99999999999999999999"), INT32_MAX);
    EXPECT_EQ(parseIntSaturated(u"-99999999999999999999"), INT32_MIN);
    EXPECT_EQ(parseIntSaturated(u"  42px"), 42);
    EXPECT_EQ(parseIntSaturated(u"x1"), 0);
    EXPECT_EQ(parseSize(u"-5"), 0);
    EXPECT_EQ(parseSize(u"100000000000"), kMaxMarkupSize);
    EXPECT_EQ(parseSize(u"120"), 120);
    EXPECT_EQ(parseDigits(u"12a"), std::nullopt);
    EXPECT_EQ(parseDigits(u""), std::nullopt);
    EXPECT_EQ(parseDigits(u"0099"), 99);
    EXPECT_EQ(parseYesNo(u"TRUE"), true);
    EXPECT_EQ(parseYesNo(u"False"), false);
    EXPECT_EQ(parseYesNo(u"yes"), std::nullopt);
}

TEST(MarkupPageAttributeTest, SystemValuesAndIndents) {
    FakeHost host;
    host.settings["sys-a"] = "1";
    host.settings["sys-b"] = "two";
    MarkupPage page;
    ASSERT_TRUE(page.loadPage("<zq/>", &host));
    EXPECT_EQ(page.expandSystemValues(u"#system.sys-a,#system.sys-b").toUtf8(), "1,two");
    EXPECT_EQ(page.expandSystemValues(u"#system.none").toUtf8(), "");
    EXPECT_EQ(page.expandSystemValues(u"plain,text").toUtf8(), "plain,text");

    EXPECT_EQ(trimTextIndent(u"  ").toUtf8(), "  ");
    EXPECT_EQ(trimTextIndent(u"  para  ").toUtf8(), "  para");
    EXPECT_EQ(trimTextIndent(u" para ").toUtf8(), "para");
    EXPECT_EQ(trimTextIndent(u"\tx\n").toUtf8(), "x");
}

TEST(MarkupPagePrepassTest, WrapsLooseBodyText) {
    struct Case {
        const char* page;
        const char* expected;
    };
    const Case cases[] = {
        // Text before the first tag goes; text outside the body stays.
        {"junk<zqml><head>T</head><body>Hi</body></zqml>",
         "<zqml><head>T</head><body><text>Hi</text></body></zqml>"},
        // Each line of a run is its own text element.
        {"<zqml><body><br/>\none\ntwo\n<br/></body></zqml>",
         "<zqml><body><br/><text>one</text><text>two</text><br/></body></zqml>"},
        // A blank run is left as it is.
        {"<zqml><body><br/>  \n <hr/></body></zqml>", "<zqml><body><br/>  \n <hr/></body></zqml>"},
        {"<zqml><body><br/>a&nbsp;&nbsp;b</body></zqml>",
         "<zqml><body><br/><text>a  b</text></body></zqml>"},
        // No body: nothing is wrapped.
        {"<zqml><p>x</p></zqml>", "<zqml><p>x</p></zqml>"},
        // Regression: a sheet inside the body was wrapped as page text.
        {"<zqml><body><style>\na{fc:red}\nb{fc:blue}\n</style>x</body></zqml>",
         "<zqml><body><style>\na{fc:red}\nb{fc:blue}\n</style><text>x</text></body></zqml>"},
        {"<ZQML><BODY>Hi</BODY></ZQML>", "<ZQML><BODY><text>Hi</text></BODY></ZQML>"},
        {"<zqml><By>Hi</By></zqml>", "<zqml><By><text>Hi</text></By></zqml>"},
        {"<zqml><body><SY >e{fc:red}</sy >x</body></zqml>",
         "<zqml><body><SY >e{fc:red}</sy ><text>x</text></body></zqml>"},
        // An empty or unclosed style element holds no sheet.
        {"<zqml><body><style/>x</body></zqml>", "<zqml><body><style/><text>x</text></body></zqml>"},
        {"<zqml><body><style>x</body></zqml>", "<zqml><body><style><text>x</text></body></zqml>"},
    };
    for (const Case& c : cases) EXPECT_EQ(prepass(c.page), c.expected) << c.page;

    EXPECT_EQ(wrapTextRun(u"\na\nb\n").toUtf8(), "a</text><text>b");
    EXPECT_EQ(wrapTextRun(u"\n").toUtf8(), "");
    EXPECT_EQ(wrapTextRun(u"a\n\nb").toUtf8(), "a</text><text></text><text>b");
}

TEST(MarkupPagePrepassTest, MovesInlineTagsOutOfTextElements) {
    struct Case {
        const char* page;
        const char* expected;
    };
    const Case cases[] = {
        {"<zqml><body><text>Go <a href='x'>there</a></text></body></zqml>",
         "<zqml><body><text>Go</text><a href='x'>there</a></body></zqml>"},
        {"<zqml><body><tx><a href='1'>one</a><a href='2'>two</a></tx></body></zqml>",
         "<zqml><body><a href='1'>one</a><a href='2'>two</a></body></zqml>"},
        {"<zqml><body><TEXT>Go <A href='x'>there</A></TEXT></body></zqml>",
         "<zqml><body><TEXT>Go</TEXT><A href='x'>there</a></body></zqml>"},
        {"<zqml><body><text>a<br/>b</text></body></zqml>",
         "<zqml><body><text>a</text><br/><text>b</text></body></zqml>"},
        // The run in front of a rewritten element is wrapped too.
        {"<zqml><body>lead<text><a href='x'>l</a></text>end</body></zqml>",
         "<zqml><body><text>lead</text><a href='x'>l</a><text>end</text></body></zqml>"},
    };
    for (const Case& c : cases) EXPECT_EQ(prepass(c.page), c.expected) << c.page;
}

TEST(MarkupPagePrepassTest, LeavesPageAsItCameWhenItGivesUp) {
    const char* unchanged[] = {
        // Unbalanced inner tag.
        "<zqml><body>x&nbsp;<text>a<b>c</text></body></zqml>",
        // A text element that never closes, and a tag without ">".
        "<zqml><body><text>a<a href='x'>b",
        "<zqml><body><text>a<a href='x'",
    };
    for (const char* page : unchanged) EXPECT_EQ(prepass(page), page) << page;
}

// A page with a closed "<text>" before its loose text lost that text and
// the anchors of its later text elements: the walk gave up at the closing
// tag (after walking the rest of the page). Text before a text element and
// after an anchor in one was dropped as well.
TEST(MarkupPagePrepassTest, KeepsEverythingWrittenAfterAClosedTextElement) {
    struct Case {
        const char* page;
        const char* expected;
    };
    const Case cases[] = {
        {"<zqml><body><text>a</text>loose</body></zqml>",
         "<zqml><body><text>a</text><text>loose</text></body></zqml>"},
        {"<zqml><body><text>a</text><br/><text>see <a href='x'>here</a> now</text></body></zqml>",
         "<zqml><body><text>a</text><br/><text>see</text><a href='x'>here</a><text>now</text>"
         "</body></zqml>"},
        {"<zqml><body>lead<text>x</text></body></zqml>",
         "<zqml><body><text>lead</text><text>x</text></body></zqml>"},
        // Inline tags keep their text in the enclosing element, in order.
        {"<zqml><body><text cl='c'>a<b>bold</b>c<br/>d</text></body></zqml>",
         "<zqml><body><text cl='c'>a</text><b></b><text cl='c'>bold</text><text cl='c'>c</text>"
         "<br/><text cl='c'>d</text></body></zqml>"},
        // An anchor holding a picture stays as written.
        {"<zqml><body><text>go <a href='x'><img src='p'/></a></text></body></zqml>",
         "<zqml><body><text>go</text><a href='x'><img src='p'/></a></body></zqml>"},
    };
    for (const Case& c : cases) EXPECT_EQ(prepass(c.page), c.expected) << c.page;

    // What the builders then make of it: every text and every link.
    FakeHost host;
    MarkupPage page;
    ASSERT_TRUE(
        page.loadPage("<zqml><body><text>first</text>loose<text>see <a href='x'>here</a> "
                      "now</text></body></zqml>",
                      &host));
    ASSERT_NE(page.form(), nullptr);
    std::vector<std::string> texts;
    for (int i = 0; i < page.form()->getContent()->size(); ++i) {
        texts.push_back(page.form()->getContent()->getItem(i)->getText().toUtf8());
    }
    EXPECT_EQ(texts, (std::vector<std::string>{"first", "loose", "see", "here", "now"}));
}

// Regression: the text inside a comment was wrapped like page text, so a
// commented-out link failed the whole page. Then a comment inside a text
// element wrapped the text before it in a second one, which emptied the
// element, and one in a table cell split the cell and moved the row's later
// cells to the wrong columns.
TEST(MarkupPagePrepassTest, CommentsCdataAndInstructionsLeaveTheirTextWhole) {
    struct Case {
        const char* page;
        const char* expected;
    };
    const Case cases[] = {
        {"<zqml><body><!-- <a href=\"old.zqml\">old</a> --><text>new</text></body></zqml>",
         "<zqml><body><text>new</text></body></zqml>"},
        {"<zqml><body>a<![CDATA[ <b>x</b> ]]>b</body></zqml>",
         "<zqml><body><text>a &lt;b&gt;x&lt;/b&gt; b</text></body></zqml>"},
        {"<?xml version='1.0'?><zqml><body><?pi <a>x</a> ?></body></zqml>",
         "<?xml version='1.0'?><zqml><body></body></zqml>"},
        {"<zqml><!-- <body> --><head>t</head><body>x</body></zqml>",
         "<zqml><!-- <body> --><head>t</head><body><text>x</text></body></zqml>"},
        {"<zqml><body><text>a<!-- <b> --> <a href='x'>l</a></text></body></zqml>",
         "<zqml><body><text>a</text><a href='x'>l</a></body></zqml>"},
        {"<zqml><body>x<!-- <a>", "<zqml><body><text>x</text><!-- <a>"},
        {"<zqml><body><text>up<!-- old -->3.2%</text>x</body></zqml>",
         "<zqml><body><text>up3.2%</text><text>x</text></body></zqml>"},
        {"<zqml><body><tr><td>a<!-- c -->b</td><td>\n<?p?>\n</td></tr></body></zqml>",
         "<zqml><body><tr><td><text>ab</text></td><td>\n\n</td></tr></body></zqml>"},
        {"<zqml><body><text><![CDATA[a&b]]></text></body></zqml>",
         "<zqml><body><text>a&amp;b</text></body></zqml>"},
    };
    for (const Case& c : cases) EXPECT_EQ(prepass(c.page), c.expected) << c.page;

    // What the builders make of it: the whole text, one cell per cell.
    MarkupPage page;
    ASSERT_TRUE(page.loadPage(
        "<zqml><body><text>涨幅<!-- 旧值 -->3.2%</text><text>开<![CDATA[<盘>]]>价</text>"
        "<table><th><td>a</td><td>b</td></th>"
        "<tr><td>a<!-- c -->b</td><td>plain</td></tr></table></body></zqml>",
        nullptr));
    ASSERT_NE(page.form(), nullptr);
    const Container* content = page.form()->getContent();
    ASSERT_EQ(content->size(), 3);
    EXPECT_EQ(content->getItem(0)->getText().toUtf8(), "涨幅3.2%");
    EXPECT_EQ(content->getItem(1)->getText().toUtf8(), "开<盘>价");
    const auto* table = dynamic_cast<const FixTableItem*>(content->getItem(2));
    ASSERT_NE(table, nullptr);
    ASSERT_EQ(table->getModel()->getColumnCount(), 2);
    EXPECT_EQ(table->getModel()->getValueAt(0, 0).toUtf8(), "ab");
    EXPECT_EQ(table->getModel()->getValueAt(1, 0).toUtf8(), "plain");
}

// How long such a page takes is bench_markup's BM_PrepassClosedElements.
TEST(MarkupPagePrepassTest, ClosingTagsEndTheWalkAtOnce) {
    // Many closed text elements and balanced tags after them.
    std::string body;
    std::string expected;
    for (int i = 0; i < 20000; ++i) {
        body += "<text>t</text><a href='x'><b>y</b></a>";
        expected += "<text>t</text><a href='x'><b><text>y</text></b></a>";
    }
    EXPECT_TRUE(prepass("<zqml><body>" + body + "</body></zqml>") ==
                "<zqml><body>" + expected + "</body></zqml>");
}

// A control that reports when it is freed.
class CountedItem : public Item {
public:
    explicit CountedItem(int* freed) : freed_(freed) {}
    ~CountedItem() override { ++*freed_; }

private:
    int* freed_;
};

TEST(MarkupPageControlsTest, UnplacedControlsAreFreedWithThePage) {
    int freed = 0;
    {
        MarkupPage page;
        Item* a = page.registerControl(std::make_unique<CountedItem>(&freed));
        Item* b = page.adoptControl(std::make_unique<CountedItem>(&freed));
        Item* c = page.registerControl(std::make_unique<CountedItem>(&freed));
        EXPECT_EQ(page.controls(), (std::vector<Item*>{a, c}));
        EXPECT_NE(a->getItemCommandListener(), nullptr);
        EXPECT_EQ(b->getItemCommandListener(), nullptr);
        std::unique_ptr<Item> taken = page.releaseControl(a);
        EXPECT_EQ(taken.get(), a);
        EXPECT_EQ(page.releaseControl(a), nullptr);
        EXPECT_EQ(page.controls(), (std::vector<Item*>{c}));
        EXPECT_EQ(page.registerControl(nullptr), nullptr);
        taken.reset();
        EXPECT_EQ(freed, 1);
    }
    EXPECT_EQ(freed, 3);
}

}  // namespace
}  // namespace zq
