#include "markup/grid_builders.h"

#include <memory>
#include <utility>
#include <vector>

#include "core/xml_parser.h"
#include "items/grid_menu_item.h"
#include "items/verify_code_item.h"
#include "markup/markup_page.h"
#include "markup/style_sheet.h"
#include "ui/client_context.h"
#include "ui/default_styles.h"
#include "ui/image_cache.h"
#include "ui/page_services.h"

namespace zq {
namespace {

// A cell picture: only "file://" names load, below the program folder
// (the image loader refuses names that would leave it).
ImageRef loadCellPicture(const CString& text) {
    const int at = text.find(CString(u"file://"));
    if (at < 0) return ImageRef();
    CString path = text.mid(at + 7);
    path.replace(u'/', u'\\');
    return loadImageFile(path);
}

// At page level the page places the item and the caller gets nothing; inside
// a tab page or a tree node the enclosing builder places it where it stands.
Item* place(MarkupPage& page, std::unique_ptr<Item> item, Item* parent) {
    if (parent) return page.adoptControl(std::move(item));
    page.registerControl(std::move(item));
    return nullptr;
}

}  // namespace

Item* buildGridMenu(MarkupPage& page, XmlParser& node, Item* parent) {
    const CString styleClass = getAttribute(node, u"class", u"cl");
    const CString id = getAttribute(node, u"id");
    const int defsel = parseDigits(getAttribute(node, u"defsel", u"ds")).value_or(0);
    const CString gid = getAttribute(node, u"gid");

    std::vector<ImageRef> images;
    std::vector<ImageRef> focused;
    std::vector<CString> values;
    if (node.intoElem()) {
        while (node.findElem()) {
            images.push_back(loadCellPicture(getAttribute(node, u"img")));
            focused.push_back(loadCellPicture(getAttribute(node, u"icon")));
            values.push_back(getAttribute(node, u"value", u"v"));
        }
        node.outOfElem();
    }

    Style* style = createGridMenuStyle();
    auto grid = std::make_unique<GridMenuItem>(std::move(images), std::move(focused), gid, style);
    grid->setSelectedIndex(defsel);
    applyStyleClass(style, CString(u"gridmenu"));
    grid->setId(id);
    grid->setValues(std::move(values));
    grid->setListener(page.host());
    grid->setStyle(applyInlineStyle(page, style, styleClass));
    return place(page, std::move(grid), parent);
}

Item* buildAffixImage(MarkupPage& page, XmlParser& node, Item* parent) {
    auto item = std::make_unique<VerifyCodeItem>(CString(), nullptr);
    item->setPictureAddress(getAttribute(node, u"durl"));
    item->setRequester(pageNavigator());
    item->setReplyTarget(
        std::make_unique<ImageDataListener>(item.get(), VerifyCodeItem::kReplyKind));
    return place(page, std::move(item), parent);
}

}  // namespace zq
