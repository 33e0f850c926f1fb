// The reference engine's side of the page benchmarks: a litehtml document
// container that measures and draws with the client's own FreeType fonts
// into the client's kind of surface, so that both engines pay the same for
// glyphs and pixels and differ only in what the engine itself does.
#pragma once

#include <litehtml.h>

#include <memory>
#include <string>

#include "platform/cstring.h"
#include "platform/device_context.h"
#include "platform/font.h"
#include "platform/surface.h"

namespace zq::bench {

// Enough of a browser's default sheet for the fixture's elements.
inline const char kLitehtmlMasterCss[] = R"(
html,address,blockquote,body,dd,div,dl,dt,fieldset,form,frame,frameset,h1,h2,h3,h4,h5,h6,
noframes,ol,p,ul,center,dir,hr,menu,pre{display:block}
head,style,script,title,meta{display:none}
body{margin:8px}
li{display:list-item}
ul{list-style-type:disc;margin-left:20px}
table{display:table;border-spacing:2px}
tr{display:table-row}
thead{display:table-header-group}
tbody{display:table-row-group}
td,th{display:table-cell;text-align:left;vertical-align:middle}
th{font-weight:bold;text-align:center}
a{color:#0000ff;text-decoration:underline}
b,strong{font-weight:bold}
img{display:inline-block}
input,button{display:inline-block;border:1px solid #888;padding:1px}
br{display:block}
)";

class FtContainer final : public litehtml::document_container {
public:
    FtContainer(Surface& surface) : surface_(surface), dc_(surface) {}

    litehtml::uint_ptr create_font(const litehtml::tchar_t*, int size, int weight,
                                   litehtml::font_style, unsigned int,
                                   litehtml::font_metrics* fm) override {
        auto font = std::make_unique<FontRef>(getFont(size, weight));
        const Font& f = **font;
        if (fm) {
            fm->ascent = f.ascent();
            fm->descent = f.descent();
            fm->height = f.height();
            fm->x_height = f.ascent() / 2;
            fm->draw_spaces = true;
        }
        return reinterpret_cast<litehtml::uint_ptr>(font.release());
    }
    void delete_font(litehtml::uint_ptr font) override {
        std::unique_ptr<FontRef> owned(reinterpret_cast<FontRef*>(font));
    }
    int text_width(const litehtml::tchar_t* text, litehtml::uint_ptr font) override {
        return (*reinterpret_cast<FontRef*>(font))->textWidth(utf8ToUtf16(text));
    }
    void draw_text(litehtml::uint_ptr, const litehtml::tchar_t* text, litehtml::uint_ptr font,
                   litehtml::web_color color, const litehtml::position& pos) override {
        dc_.selectFont(*reinterpret_cast<FontRef*>(font));
        dc_.setTextColor(rgb(color.red, color.green, color.blue));
        dc_.textOut(pos.x, pos.y, utf8ToUtf16(text));
    }
    int pt_to_px(int pt) const override { return pt * 96 / 72; }
    int get_default_font_size() const override { return 14; }
    const litehtml::tchar_t* get_default_font_name() const override { return "sans"; }
    void draw_list_marker(litehtml::uint_ptr, const litehtml::list_marker& marker) override {
        fill(marker.pos, marker.color);
    }
    void load_image(const litehtml::tchar_t*, const litehtml::tchar_t*, bool) override {}
    void get_image_size(const litehtml::tchar_t*, const litehtml::tchar_t*,
                        litehtml::size& sz) override {
        sz.width = 48;
        sz.height = 48;
    }
    void draw_background(litehtml::uint_ptr, const litehtml::background_paint& bg) override {
        if (bg.color.alpha) fill(bg.clip_box, bg.color);
    }
    void draw_borders(litehtml::uint_ptr, const litehtml::borders& b, const litehtml::position& p,
                      bool) override {
        if (b.top.width) fill({p.x, p.y, p.width, b.top.width}, b.top.color);
        if (b.bottom.width)
            fill({p.x, p.bottom() - b.bottom.width, p.width, b.bottom.width}, b.bottom.color);
        if (b.left.width) fill({p.x, p.y, b.left.width, p.height}, b.left.color);
        if (b.right.width)
            fill({p.right() - b.right.width, p.y, b.right.width, p.height}, b.right.color);
    }
    void set_caption(const litehtml::tchar_t*) override {}
    void set_base_url(const litehtml::tchar_t*) override {}
    void link(const std::shared_ptr<litehtml::document>&, const litehtml::element::ptr&) override {}
    void on_anchor_click(const litehtml::tchar_t*, const litehtml::element::ptr&) override {}
    void set_cursor(const litehtml::tchar_t*) override {}
    void transform_text(litehtml::tstring&, litehtml::text_transform) override {}
    void import_css(litehtml::tstring&, const litehtml::tstring&, litehtml::tstring&) override {}
    void set_clip(const litehtml::position&, const litehtml::border_radiuses&, bool,
                  bool) override {}
    void del_clip() override {}
    void get_client_rect(litehtml::position& client) const override {
        client = {0, 0, surface_.width(), surface_.height()};
    }
    std::shared_ptr<litehtml::element> create_element(
        const litehtml::tchar_t*, const litehtml::string_map&,
        const std::shared_ptr<litehtml::document>&) override {
        return nullptr;
    }
    void get_media_features(litehtml::media_features& media) const override {
        media.type = litehtml::media_type_screen;
        media.width = media.device_width = surface_.width();
        media.height = media.device_height = surface_.height();
        media.color = 8;
        media.monochrome = 0;
        media.color_index = 256;
        media.resolution = 96;
    }
    void get_language(litehtml::tstring& language, litehtml::tstring& culture) const override {
        language = "zh";
        culture = "CN";
    }

    void clear() {
        fill({0, 0, surface_.width(), surface_.height()}, litehtml::web_color(255, 255, 255));
    }

private:
    void fill(const litehtml::position& p, const litehtml::web_color& c) {
        dc_.fillRect(Rect::fromSize(p.x, p.y, p.width, p.height), rgb(c.red, c.green, c.blue));
    }

    Surface& surface_;
    DeviceContext dc_;
};

// One page through the reference engine: parse, style, lay out at the
// surface's width, draw its first screen.
inline int litehtmlShow(const std::string& html, litehtml::context& context, FtContainer& container,
                        Surface& surface) {
    container.clear();
    litehtml::document::ptr doc =
        litehtml::document::createFromUTF8(html.c_str(), &container, &context);
    doc->render(surface.width());
    litehtml::position clip(0, 0, surface.width(), surface.height());
    doc->draw(0, 0, 0, &clip);
    return doc->height();
}

}  // namespace zq::bench
