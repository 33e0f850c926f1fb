// Small items for container and layout-view tests: boxes of a fixed size, a
// one-line text measured in the installed font, an event recorder and the
// text dump of a laid-out tree.
#pragma once

#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "platform/font.h"
#include "ui/container.h"
#include "ui/event.h"
#include "ui/listeners.h"
#include "ui/style.h"

namespace zq::test {

// A content box of a fixed size; records where it was painted and pressed.
class Box : public Item {
public:
    Box(int w, int h, bool interactive, uint32_t layout = 0)
        : Item(CString(), 0, interactive ? 1 : 0, nullptr), w_(w), h_(h) {
        setLayout(layout);
    }
    void initContent(int, int) override {
        contentWidth_ = w_;
        contentHeight_ = h_;
    }
    void paintContent(int x, int y, int, int, GraphicsContext&) override {
        painted.emplace_back(x, y);
    }
    bool pointerPressed(int x, int y) override {
        if (!isInItemArea(x, y)) return false;
        pressed.emplace_back(x, y);
        return true;
    }
    std::vector<std::pair<int, int>> painted;
    std::vector<std::pair<int, int>> pressed;

private:
    int w_;
    int h_;
};

// One line of text in the 14 px font.
class TextBox : public Item {
public:
    explicit TextBox(const char16_t* text, bool interactive = false)
        : Item(CString(), 0, interactive ? 1 : 0, nullptr), text_(text) {}
    void initContent(int, int) override {
        const FontRef font = getFont(14);
        contentWidth_ = font->textWidth(text_.view());
        contentHeight_ = font->height();
    }
    CString getText() const override { return text_; }
    void setText(const CString& text) override {
        text_ = text;
        requestInit();
    }

private:
    CString text_;
};

struct EventLog : EventListener {
    void onEvent(std::unique_ptr<Event> event) override {
        actions.push_back(event->getAction().toUtf8());
    }
    std::vector<std::string> actions;
};

// A style with the given gaps (paddingVertical, paddingHorizontal) and flags.
inline Style* gapStyle(int vertical, int horizontal, uint32_t flags = 0) {
    Style* s = allocTracked();
    s->setSpacings(0, 0, 0, 0, vertical, horizontal);
    s->flags = flags;
    return s;
}

// "Kind "text" (x,y wxh) focused", indented two spaces per level.
inline void dumpTree(const Item& item, int depth, std::string& out) {
    out.append(static_cast<size_t>(depth) * 2, ' ');
    const auto* container = dynamic_cast<const Container*>(&item);
    if (container) {
        out += "Container";
    } else if (dynamic_cast<const TextBox*>(&item)) {
        out += "Text \"" + item.getText().toUtf8() + "\"";
    } else {
        out += "Item";
    }
    out += " (" + std::to_string(item.relativeX()) + "," + std::to_string(item.relativeY()) + " " +
           std::to_string(item.itemWidth()) + "x" + std::to_string(item.itemHeight()) + ")";
    if (item.isFocused()) out += " focused";
    out += "\n";
    if (container) {
        for (const auto& child : container->children()) dumpTree(*child, depth + 1, out);
    }
}

inline std::string dumpTree(const Item& item) {
    std::string out;
    dumpTree(item, 0, out);
    return out;
}

}  // namespace zq::test
