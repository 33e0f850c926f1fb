// Events: what an item or a screen hands to its EventListener when the page
// must answer a user action (focus and leave actions, buttons, links, bound
// keys, table cells and rows, text fields, a screen being shown).
//
// An event is created by its raiser and moved into the listener's onEvent at
// once; the listener owns it from then on. Listeners tell the kinds apart by
// kind() instead of run-time type queries. The source, when set, is a
// borrowed pointer to the raising item, valid only while that item lives.
#pragma once

#include "platform/cstring.h"

namespace zq {

class Item;

enum class EventKind {
    // Event itself, and subclasses that listeners treat as a plain event
    // (the event a screen raises when it becomes current).
    Plain,
    Button,
    Hyper,
    Key,
    TableCell,
    TableRow,
    TextField,
};

class Event {
public:
    explicit Event(CString action, Item* source = nullptr);
    // A grid menu's cell event: its cell type ("List") and the cell's value.
    Event(CString action, CString cellType, CString cellValue, Item* source);
    virtual ~Event() = default;
    Event(const Event&) = delete;
    Event& operator=(const Event&) = delete;

    EventKind kind() const { return kind_; }
    // A textual form for logs; empty unless a subclass says otherwise.
    virtual CString toString() const;

    CString getAction() const { return action_; }
    const CString& getCellType() const { return cellType_; }
    const CString& getCellValue() const { return cellValue_; }
    Item* getSource() const { return source_; }

protected:
    Event(EventKind kind, CString action, Item* source);

private:
    EventKind kind_ = EventKind::Plain;
    CString action_;
    CString cellType_;
    CString cellValue_;
    Item* source_ = nullptr;
};

// Raised by a button on select: action = the button's name.
class ButtonEvent : public Event {
public:
    ButtonEvent(CString action, CString extraText, CString clickAction, CString caption);
    const CString& getExtraText() const { return extraText_; }
    const CString& getClickAction() const { return clickAction_; }
    const CString& getCaption() const { return caption_; }

private:
    CString extraText_;
    CString clickAction_;
    CString caption_;
};

// Raised by a hyperlink on select: action = the link's name.
class HyperEvent : public Event {
public:
    HyperEvent(CString action, CString target, CString clickAction);
    const CString& getTarget() const { return target_; }
    const CString& getClickAction() const { return clickAction_; }

private:
    CString target_;
    CString clickAction_;
};

// Raised by a screen when a key bound by the page is pressed. Note the
// argument order: the key text comes first.
class KeyEvent : public Event {
public:
    KeyEvent(CString key, CString action);
    const CString& getKey() const { return key_; }

private:
    CString key_;
};

// Raised by a screen when it becomes current: action = "Form". Listeners
// treat it as a plain event (kind Plain).
class FormEvent : public Event {
public:
    FormEvent(CString sourceName, CString title);
    const CString& getTitle() const { return title_; }

private:
    CString title_;
};

}  // namespace zq
