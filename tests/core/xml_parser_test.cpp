#include "core/xml_parser.h"

#include <gtest/gtest.h>

#include <string>
#include <string_view>

namespace zq {
namespace {

std::string u8(const CString& s) { return s.toUtf8(); }

// The children under the cursor's parent as "name(children)" or
// "name=data", walked with the cursor the way the page builders walk.
std::string dumpChildren(XmlParser& p) {
    std::string out;
    while (p.findElem()) {
        if (!out.empty()) out += ' ';
        const int node = p.currentNode();
        out += u8(p.getTagName());
        EXPECT_TRUE(p.intoElem());
        const std::string inner = dumpChildren(p);
        EXPECT_TRUE(p.outOfElem());
        EXPECT_EQ(p.currentNode(), node);
        if (!inner.empty()) {
            out.append(1, '(').append(inner).append(1, ')');
        } else if (!p.getNodeData(node).isEmpty()) {
            out.append(1, '=').append(u8(p.getNodeData(node)));
        }
    }
    return out;
}

class Xml : public ::testing::Test {
protected:
    bool parse(std::string_view utf8) { return parser.setDoc(CString::fromUtf8(utf8)); }
    std::string dump(std::string_view utf8) {
        if (!parse(utf8)) return "error: " + u8(parser.error());
        return dumpChildren(parser);
    }
    // Text of the first element called `name`, in document order.
    int nodeNamed(std::string_view name) const {
        for (int i = 1; i < parser.nodeCount(); ++i) {
            if (u8(parser.getNodeTagName(i)) == name) return i;
        }
        return 0;
    }
    std::string data(std::string_view name) const {
        return u8(parser.getNodeData(nodeNamed(name)));
    }
    // Attribute of the root element, read as the builders read it.
    std::string rootAttrib(std::string_view doc, const char* name) {
        if (!parse(doc) || !parser.findElem()) return "<no root>";
        return u8(parser.getNodeAttrib(parser.currentNode(), name));
    }

    XmlParser parser;
};

TEST_F(Xml, TreeShapeAndLeafText) {
    EXPECT_EQ(dump("<r><a/><b>x</b></r>"), "r(a b=x)");
    EXPECT_EQ(data("r"), "");  // has children
    EXPECT_EQ(dump("<zqml>\n  <body><tx>甲</tx><tx>乙</tx></body>\n  <a/>\n</zqml>"),
              "zqml(body(tx=甲 tx=乙) a)");
    EXPECT_EQ(dump("<r/>"), "r");
    EXPECT_EQ(dump("< r >x</ r >"), "r=x");
    EXPECT_EQ(dump("<r\n  a='1'\n>y</r\n>"), "r=y");
    // Text after the root element is never looked at.
    EXPECT_EQ(dump("<r/> trailing </oops> <"), "r");
    EXPECT_EQ(dump("<r></r><second/>"), "r");
}

TEST_F(Xml, RecordsHoldTagPositions) {
    ASSERT_TRUE(parse("<r><a/><b>x</b></r>"));
    ASSERT_EQ(parser.nodeCount(), 4);
    const XmlElementPos& a = *parser.element(2);
    EXPECT_EQ(a.startTagStart, 3);
    EXPECT_EQ(a.startTagEnd, 6);
    EXPECT_EQ(a.endTagStart, 5);  // the "/" of an empty-element tag
    EXPECT_EQ(a.endTagEnd, 6);
    const XmlElementPos& b = *parser.element(3);
    EXPECT_EQ(b.startTagStart, 7);
    EXPECT_EQ(b.startTagEnd, 9);
    EXPECT_EQ(b.endTagStart, 11);
    EXPECT_EQ(b.endTagEnd, 14);
    EXPECT_EQ(b.parent, 1);
    EXPECT_EQ(a.nextSibling, 3);
    EXPECT_EQ(parser.element(1)->firstChild, 2);
    EXPECT_EQ(parser.element(0)->firstChild, 1);
    EXPECT_EQ(parser.element(4), nullptr);
    EXPECT_EQ(parser.element(-1), nullptr);
}

TEST_F(Xml, ManySiblingsOutgrowTheReservation) {
    std::string doc = "<r>";
    for (int i = 0; i < 1000; ++i) doc += "<a/>";
    doc += "<last>z</last></r>";
    ASSERT_TRUE(parse(doc));
    EXPECT_EQ(parser.nodeCount(), 1003);
    ASSERT_TRUE(parser.findElem("r"));
    ASSERT_TRUE(parser.intoElem());
    ASSERT_TRUE(parser.findElem("last"));
    EXPECT_EQ(u8(parser.getNodeData(parser.currentNode())), "z");
}

TEST_F(Xml, CursorFindsByExactNameAndKeepsPlaceOnFailure) {
    ASSERT_TRUE(parse("<r><a/><b/><a x='2'/><c/></r>"));
    EXPECT_FALSE(parser.intoElem());  // nothing current yet
    EXPECT_FALSE(parser.outOfElem());
    EXPECT_FALSE(parser.findElem("R"));  // names are case-sensitive
    ASSERT_TRUE(parser.findElem("r"));
    ASSERT_TRUE(parser.intoElem());
    ASSERT_TRUE(parser.findElem("a"));
    ASSERT_TRUE(parser.findElem("a"));
    EXPECT_EQ(u8(parser.getNodeAttrib(parser.currentNode(), "x")), "2");
    const int secondA = parser.currentNode();
    EXPECT_FALSE(parser.findElem("b"));  // b lies before the current element
    EXPECT_EQ(parser.currentNode(), secondA);
    EXPECT_FALSE(parser.findElem("a/b"));  // no prefix matching of wanted names
    ASSERT_TRUE(parser.findElem());
    EXPECT_EQ(u8(parser.getTagName()), "c");
}

TEST_F(Xml, OutOfElemRemembersWhereTheCursorWas) {
    ASSERT_TRUE(parse("<r><a><x/><y/><z/></a></r>"));
    ASSERT_TRUE(parser.findElem());
    ASSERT_TRUE(parser.intoElem());
    ASSERT_TRUE(parser.findElem("a"));
    ASSERT_TRUE(parser.intoElem());
    ASSERT_TRUE(parser.findElem("y"));
    ASSERT_TRUE(parser.outOfElem());
    EXPECT_EQ(u8(parser.getTagName()), "a");
    ASSERT_TRUE(parser.intoElem());  // back on y
    EXPECT_EQ(u8(parser.getTagName()), "y");
    ASSERT_TRUE(parser.findElem());
    EXPECT_EQ(u8(parser.getTagName()), "z");
    ASSERT_TRUE(parser.outOfElem());
    ASSERT_TRUE(parser.outOfElem());
    EXPECT_EQ(u8(parser.getTagName()), "r");
    EXPECT_FALSE(parser.outOfElem());
}

TEST_F(Xml, IntoALeafFindsNothingAndReadsNoAttributes) {
    ASSERT_TRUE(parse("<r k='v'/>"));
    ASSERT_TRUE(parser.findElem());
    ASSERT_TRUE(parser.intoElem());
    EXPECT_FALSE(parser.findElem());
    EXPECT_EQ(parser.currentNode(), 0);
    EXPECT_EQ(u8(parser.getTagName()), "");
    EXPECT_FALSE(parser.intoElem());
    EXPECT_EQ(u8(parser.getNodeAttrib(1, "k")), "");  // cursor is not on an element
    EXPECT_EQ(u8(parser.getNodeData(7)), "");         // out of range
    EXPECT_EQ(u8(parser.getNodeAttrib(-1, "k")), "");
}

TEST_F(Xml, AttributesNeedQuotes) {
    EXPECT_EQ(rootAttrib("<r a=\"1\" b='2'/>", "a"), "1");
    EXPECT_EQ(rootAttrib("<r a=\"1\" b='2'/>", "b"), "2");
    EXPECT_EQ(rootAttrib("<r a=\"it's\" b='say \"hi\"'/>", "b"), "say \"hi\"");
    EXPECT_EQ(rootAttrib("<r a=\"it's\"/>", "a"), "it's");
    EXPECT_EQ(rootAttrib("<r a = \"sp\" />", "a"), "sp");
    EXPECT_EQ(rootAttrib("<r a=\"\" b='2'/>", "a"), "");
    EXPECT_EQ(rootAttrib("<r a=1 b='2'/>", "a"), "");
    EXPECT_EQ(rootAttrib("<r a=1 b='2'/>", "b"), "2");
    EXPECT_EQ(rootAttrib("<r a='1'/>", "A"), "");
    EXPECT_EQ(rootAttrib("<r a='1'/>", "missing"), "");
    EXPECT_EQ(rootAttrib("<r a='1'/>", "r"), "");  // the tag name is not an attribute
    // A quoted value that looks like a name is not taken for one.
    EXPECT_EQ(rootAttrib("<r x=\"y\" y=\"2\"/>", "y"), "2");
    EXPECT_EQ(rootAttrib("<r a='&lt;2' t='&quot;q&quot;'/>", "a"), "<2");
    EXPECT_EQ(rootAttrib("<r a='&lt;2' t='&quot;q&quot;'/>", "t"), "\"q\"");
    EXPECT_EQ(rootAttrib("<r n='中文'>x</r>", "n"), "中文");
}

TEST_F(Xml, AttributeFaultsFixed) {
    // Regression: a name followed by another name took that name's value.
    EXPECT_EQ(rootAttrib("<r a b='2'/>", "a"), "");
    EXPECT_EQ(rootAttrib("<r a=='2'/>", "a"), "");
    // Regression: the lookup read past the start tag when a quoted value held ">".
    EXPECT_EQ(rootAttrib("<r t=\"x>y\" b=\"2\">z</r>", "b"), "");
    EXPECT_EQ(rootAttrib("<r t=\"x>y\" b=\"2\">z</r>", "t"), "x");
    EXPECT_EQ(data("r"), "y\" b=\"2\">z");  // the first ">" ends the start tag
    // An unclosed quote stops at the start tag's end.
    EXPECT_EQ(rootAttrib("<r a=\"x/>", "a"), "x/");
}

TEST_F(Xml, EntitiesDecodeFiveNamesAndNumericReferences) {
    ASSERT_TRUE(parse("<r>&lt;&gt;&amp;&apos;&quot;</r>"));
    EXPECT_EQ(data("r"), "<>&'\"");
    ASSERT_TRUE(parse("<r>a&amp;&#20013;b</r>"));
    EXPECT_EQ(data("r"), "a&\u4e2db");
    ASSERT_TRUE(parse("<r>&nbsp; & x &amp</r>"));
    EXPECT_EQ(data("r"), "&nbsp; & x &amp");  // "&amp" lacks its ";" before the end tag
    ASSERT_TRUE(parse("<r>&&lt;;</r>"));
    EXPECT_EQ(data("r"), "&<;");
    ASSERT_TRUE(parse("<r> \n keep  spaces \t</r>"));
    EXPECT_EQ(data("r"), " \n keep  spaces \t");
}

// Numeric character references were shown as written.
TEST_F(Xml, NumericCharacterReferencesDecodeAndMalformedOnesStay) {
    const struct {
        const char* text;
        const char* expected;
    } cases[] = {
        {"&#169;", "\u00a9"},
        {"&#x4E2D;&#X4e2d;", "\u4e2d\u4e2d"},
        {"&#0000000065;", "&#0000000065;"},  // more digits than any character needs
        {"&#00000065;", "A"},
        {"&#x1F600;", "\U0001F600"},  // a surrogate pair
        {"&#;&#x;&#12&#xZ1;&#-1;", "&#;&#x;&#12&#xZ1;&#-1;"},
        {"&#0;&#xD800;&#x110000;&#99999999999;", "&#0;&#xD800;&#x110000;&#99999999999;"},
        {"&amp;#169;", "&#169;"},
    };
    for (const auto& c : cases) {
        ASSERT_TRUE(parse(std::string("<r a=\"") + c.text + "\">" + c.text + "</r>")) << c.text;
        EXPECT_EQ(data("r"), c.expected) << c.text;
        EXPECT_EQ(rootAttrib(std::string("<r a=\"") + c.text + "\"/>", "a"), c.expected);
    }
}

TEST_F(Xml, CdataLeadingALeafIsRaw) {
    ASSERT_TRUE(parse("<r><![CDATA[a<b &amp;]]></r>"));
    EXPECT_EQ(data("r"), "a<b &amp;");
    ASSERT_TRUE(parse("<r>\n  <![CDATA[x]]> ignored</r>"));
    EXPECT_EQ(data("r"), "x");
    ASSERT_TRUE(parse("<r><![CDATA[]]></r>"));
    EXPECT_EQ(data("r"), "");
    // Not at the start: the section is ordinary text.
    ASSERT_TRUE(parse("<r>t<![CDATA[&lt;]]></r>"));
    EXPECT_EQ(data("r"), "t<![CDATA[<]]>");
    // Between elements a section is skipped whole, "<" and all.
    EXPECT_EQ(dump("<r><![CDATA[<x>]]><a/></r>"), "r(a)");
}

TEST_F(Xml, CommentsInstructionsAndDeclarationsAreSkipped) {
    EXPECT_EQ(dump("<?xml version=\"1.0\" encoding=\"UTF-16\"?>\n<!-- page -->\n"
                   "<!DOCTYPE r [<!ENTITY e \"a>b\"> <!ELEMENT r ANY>]>\n<r><a/></r>"),
              "r(a)");
    EXPECT_EQ(dump("<r><!-- <b> --><?pi <c> ?><a/><!-- --></r>"), "r(a)");
    // Inside a leaf a comment is part of the text.
    ASSERT_TRUE(parse("<r>x<!--c-->y</r>"));
    EXPECT_EQ(data("r"), "x<!--c-->y");
    // Regression: a stray "]" made the declaration run to the end of the text.
    EXPECT_EQ(dump("<!DOCTYPE r ]><r/>"), "r");
    EXPECT_EQ(dump("<!x '>' \"]\"><r/>"), "r");
}

struct BadCase {
    const char* doc;
    const char* error;
    int position;
};

TEST_F(Xml, MalformedDocumentsReportMessageAndPosition) {
    const BadCase cases[] = {
        {"<r>x", "Element tag not found", 3},
        {"hello", "Element tag not found", 0},
        {"  \n", "Element tag not found", 0},
        {"<!-- only -->", "Element tag not found", 13},
        {"<", "Abrupt end within tag", 0},
        {"<r><  \n", "Abrupt end within tag", 3},
        {"<\"r\">", "Tag starts with quote", 1},
        {"<r>< 'a'/></r>", "Tag starts with quote", 5},
        {"<r><a></b></r>", "End tag does not correspond to a", 8},
        {"<r><a>x</ab></r>", "End tag does not correspond to a", 9},
        {"<r attr='1'", "End of tag not found", 0},
        {"<r><a b='>'", "Element tag not found", 10},  // the quoted ">" ends the tag
        {"<r></r", "End tag not completed for element r", 3},
        {"<r></", "End tag not completed for element r", 3},
        {"<r></>", "End tag not completed for element r", 3},
        {"<r></r \">", "End tag not completed for element r", 3},
        {"<r><!-- open", "Invalid node", 3},
        {"<r><!-- -- >", "Invalid node", 3},
        {"<r><?pi", "Invalid node", 3},
        {"<r><![CDATA[x", "Invalid node", 3},
        {"<r><![CDATA[x]]", "Invalid node", 3},
        {"<!DOCTYPE r [ <r/>", "Invalid node", 0},
        {"<!DOCTYPE r \"]>", "Invalid node", 0},
        {"<!", "Invalid node", 0},
        // Regression: a delimiter was taken for a tag name.
        {"<>", "Invalid node", 0},
        {"<r><<a/></r>", "Invalid node", 3},
        {"<=a>", "Invalid node", 0},
        // Regression: "<" and white space before "!" was skipped as if an element.
        {"< !-- c --><r/>", "Invalid node", 0},
    };
    for (const BadCase& c : cases) {
        SCOPED_TRACE(c.doc);
        EXPECT_FALSE(parse(c.doc));
        EXPECT_EQ(u8(parser.error()), c.error);
        EXPECT_EQ(parser.errorPosition(), c.position);
        EXPECT_EQ(parser.nodeCount(), 1);
        EXPECT_FALSE(parser.findElem());
    }
}

TEST_F(Xml, FailuresWithoutMessage) {
    EXPECT_FALSE(parse(""));
    EXPECT_EQ(u8(parser.error()), "");
    EXPECT_EQ(parser.errorPosition(), 0);
    EXPECT_FALSE(parser.findElem());

    EXPECT_FALSE(parse("<!-- x --> </r><r/>"));
    EXPECT_EQ(u8(parser.error()), "");
    EXPECT_EQ(parser.errorPosition(), 11);
}

TEST_F(Xml, NextDocumentReplacesTheLast) {
    ASSERT_FALSE(parse("<r><a></b></r>"));
    // Regression: the previous document's error text survived a good parse.
    ASSERT_TRUE(parse("<s><t>1</t></s>"));
    EXPECT_EQ(u8(parser.error()), "");
    EXPECT_EQ(parser.errorPosition(), -1);
    EXPECT_EQ(dumpChildren(parser), "s(t=1)");
    ASSERT_TRUE(parse("<u/>"));
    EXPECT_EQ(parser.nodeCount(), 2);
    EXPECT_EQ(dumpChildren(parser), "u");
}

std::string nested(int depth, const std::string& innermost) {
    std::string doc;
    for (int i = 0; i < depth; ++i) doc += "<e>";
    doc += innermost;
    for (int i = 0; i < depth; ++i) doc += "</e>";
    return doc;
}

TEST_F(Xml, NestingIsLimitedTo256Levels) {
    ASSERT_TRUE(parse(nested(256, "deep")));
    EXPECT_EQ(data("e"), "");
    EXPECT_EQ(u8(parser.getNodeData(256)), "deep");
    ASSERT_TRUE(parse(nested(255, "<x/>")));

    EXPECT_FALSE(parse(nested(257, "deep")));
    EXPECT_EQ(u8(parser.error()), "Elements nested too deeply");
    EXPECT_EQ(parser.errorPosition(), 256 * 3);
    EXPECT_FALSE(parse(nested(256, "<x/>")));  // an empty element is a level too
    EXPECT_EQ(parser.errorPosition(), 256 * 3);
    EXPECT_FALSE(parse(nested(100000, "")));
}

TEST_F(Xml, NonCharacterUnitsAreText) {
    std::u16string doc = u"<r a='\xFFFF'>\xD800?x</r>";
    doc[10] = 0;  // an embedded zero unit
    ASSERT_TRUE(parser.setDoc(CString(doc)));
    ASSERT_TRUE(parser.findElem());
    EXPECT_EQ(parser.getNodeAttrib(1, "a").view(), u"\xFFFF");
    EXPECT_EQ(parser.getNodeData(1).length(), 3);
}

TEST(XmlTokenCursor, SplitsAtDelimitersAndQuotes) {
    const std::u16string_view text = u" a='x y'b=\"\"/> <c!d";
    XmlTokenCursor cursor(text, 0);
    EXPECT_EQ(cursor.tokenEnd(), -1);
    std::u16string seen;
    while (cursor.nextToken()) {
        seen += cursor.quoted() ? u"Q:" : u"";
        seen += cursor.token();
        seen += u'|';
    }
    EXPECT_EQ(seen, u"a|=|Q:x y|b|=|Q:|/|>|<|c|!|d|");
    EXPECT_EQ(cursor.nextPosition(), static_cast<int>(text.size()));

    XmlTokenCursor open(u"k 'unclosed", 1);
    ASSERT_TRUE(open.nextToken());
    EXPECT_TRUE(open.quoted());
    EXPECT_EQ(open.token(), u"unclosed");
    EXPECT_EQ(open.nextPosition(), 11);
    EXPECT_FALSE(open.nextToken());
}

}  // namespace
}  // namespace zq
