// Parses arbitrary bytes as a UTF-16 document and as a UTF-8 one, then walks
// the index with the cursor and reads every name, text and a few attributes.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>

#include "core/xml_parser.h"

namespace {

void check(bool ok) {
    if (!ok) std::abort();
}

void walk(zq::XmlParser& parser, int level) {
    static const zq::CString kNames[] = {"id", "name", "a", "x"};
    while (parser.findElem()) {
        const int node = parser.currentNode();
        const zq::XmlElementPos* e = parser.element(node);
        check(e != nullptr);
        const int n = parser.doc().length();
        check(e->startTagStart < e->startTagEnd && e->endTagEnd < n);
        check(e->endTagStart <= e->endTagEnd && e->startTagEnd <= e->endTagEnd);
        check(!parser.getTagName().isEmpty());
        for (const zq::CString& name : kNames) parser.getNodeAttrib(node, name);
        parser.getNodeData(node);
        check(parser.intoElem());
        check(level < zq::XmlParser::kMaxDepth);
        walk(parser, level + 1);
        check(parser.outOfElem());
        check(parser.currentNode() == node);
    }
}

void parseAndWalk(zq::CString text) {
    zq::XmlParser parser;
    if (parser.setDoc(std::move(text))) {
        walk(parser, 0);
    } else {
        check(parser.nodeCount() == 1 && !parser.findElem());
        check(parser.errorPosition() >= 0 && parser.errorPosition() <= parser.doc().length());
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::u16string units(size / 2, u'\0');
    if (!units.empty()) std::memcpy(units.data(), data, units.size() * 2);
    parseAndWalk(zq::CString(std::move(units)));
    parseAndWalk(
        zq::CString::fromUtf8(std::string_view(reinterpret_cast<const char*>(data), size)));
    return 0;
}
