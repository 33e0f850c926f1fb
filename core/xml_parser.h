// XmlParser: indexes one UTF-16 document (a zqml page, a command document)
// and walks it with a cursor.
//
// The index holds positions only. Names, attribute values and texts are cut
// out of the document when a caller asks for them, so a page pays for what
// its builders read and nothing more. Positions are indexes of UTF-16 units
// into the document.
//
// Accepted syntax: elements, attributes in single or double quotes, the five
// entities &lt; &amp; &gt; &apos; &quot; and numeric character references
// ("&#169;", "&#x4E2D;"; a malformed one stays as written),
// CDATA sections, comments, processing instructions and declarations (those
// three are skipped between elements). Text after the root element is not
// looked at. Element and attribute names compare exactly (case-sensitive).
//
// Bad input is data: setDoc returns false, error() holds the message and
// errorPosition() the place where parsing stopped. Nothing throws.
//
// One parser per document, used on one thread.
#pragma once

#include <string_view>
#include <vector>

#include "platform/cstring.h"

namespace zq {

// One element of the index. Record 0 is the document itself: all zero but
// firstChild, which is the root element.
struct XmlElementPos {
    int startTagStart = 0;  // the "<" of the start tag
    int startTagEnd = 0;    // the ">" of the start tag
    int endTagStart = 0;    // the "<" of the end tag; startTagEnd - 1 for <x/>
    int endTagEnd = 0;      // the ">" of the end tag; startTagEnd for <x/>
    int parent = 0;
    int firstChild = 0;   // 0 when none
    int nextSibling = 0;  // 0 when none
    int nameStart = 0;
    int nameLength = 0;
};

// The lexer. White space (space, tab, CR, LF) separates tokens. A token is a
// quoted value (without its quotes; an unclosed quote runs to the end of the
// text), one of the characters < > = \ / ? ! on its own, or a run of other
// characters up to the next of those or white space.
class XmlTokenCursor {
public:
    XmlTokenCursor(std::u16string_view text, int start) : text_(text), next_(start) {}

    // False at the end of the text.
    bool nextToken();

    int tokenStart() const { return start_; }
    int tokenEnd() const { return end_; }  // inclusive; -1 before the first token
    int nextPosition() const { return next_; }
    bool quoted() const { return quoted_; }
    std::u16string_view token() const {
        return text_.substr(static_cast<size_t>(start_), static_cast<size_t>(end_ - start_ + 1));
    }
    // The token is exactly `name`.
    bool matches(std::u16string_view name) const { return token() == name; }
    // The token is the unquoted character `ch`.
    bool isChar(char16_t ch) const { return !quoted_ && start_ == end_ && text_[start_] == ch; }

private:
    std::u16string_view text_;
    int start_ = 0;
    int end_ = -1;
    int next_ = 0;
    bool quoted_ = false;
};

class XmlParser {
public:
    // The deepest element nesting accepted (the root is level 1).
    static constexpr int kMaxDepth = 256;

    XmlParser();

    // Parses `text` and resets the cursor. True when a root element was
    // parsed. On failure the index is empty (every findElem fails), error()
    // holds the message (empty for an empty text or a document whose first
    // tag is an end tag) and errorPosition() where parsing stopped.
    bool setDoc(CString text);

    // --- cursor ------------------------------------------------------------
    // The next element under the cursor's parent after the current one whose
    // tag name is `name` (any name when empty). Unchanged cursor on failure.
    bool findElem(const CString& name = CString());
    // Steps into the current element; the next findElem starts at its first
    // child. False when there is no current element.
    bool intoElem();
    // Steps back out: the parent becomes the current element again and a
    // following intoElem returns to where the cursor was.
    bool outOfElem();
    // The current element, 0 when none.
    int currentNode() const { return current_; }
    CString getTagName() const { return getNodeTagName(current_); }

    // --- reading an element (node from currentNode() or the index) ----------
    CString getNodeTagName(int node) const;
    // The decoded value of a quoted attribute; empty when absent, written
    // without quotes, or when the cursor is not on an element.
    CString getNodeAttrib(int node, const CString& name) const;
    // The text of a leaf element: the raw text of a leading CDATA section,
    // otherwise everything between the tags with entities decoded (comments
    // included). Empty for an element with children and for <x/>.
    CString getNodeData(int node) const;

    // --- results ---------------------------------------------------------------
    const CString& doc() const { return doc_; }
    const CString& error() const { return error_; }
    // Where the last setDoc stopped: the "<" of the tag or node at fault, the
    // quote that starts a tag, the mismatching end-tag name, or the start of
    // the text searched in vain for a tag. -1 after a successful parse.
    int errorPosition() const { return errorPosition_; }
    // Records including the document record 0.
    int nodeCount() const { return static_cast<int>(nodes_.size()); }
    // The record of `node`, or null when out of range.
    const XmlElementPos* element(int node) const;

private:
    bool parseDocument();
    bool closeElement(int node, int tokenPos, int lessThan, int* endTagEnd);
    int skipSpecialNode(int lessThan) const;
    bool fail(const char16_t* message, int position, int node = 0);
    std::u16string_view nodeName(int node) const;
    CString decodeText(int first, int last) const;
    bool findAttrib(int node, std::u16string_view name, int* first, int* last) const;
    bool validNode(int node) const { return node > 0 && node < nodeCount(); }
    void clearCursor();

    CString doc_;
    CString error_;
    int errorPosition_ = -1;
    std::vector<XmlElementPos> nodes_;
    int parent_ = 0;
    int current_ = 0;
    int child_ = 0;
    bool found_ = false;  // current_ was found or returned to
};

}  // namespace zq
