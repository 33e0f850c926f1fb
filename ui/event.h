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
    // A notice of the page controller: a text and two numbers, no action.
    Event(CString text, int value1, int value2);
    // A plain event with its two extra texts (a grid cell: "List", value).
    Event(CString action, CString extra1, CString extra2, Item* source);
    virtual ~Event() = default;
    Event(const Event&) = delete;
    Event& operator=(const Event&) = delete;

    EventKind kind() const { return kind_; }
    // A textual form for logs; empty unless a subclass says otherwise.
    virtual CString toString() const;

    CString getAction() const { return action_; }
    const CString& getText() const { return text_; }
    int getValue1() const { return value1_; }
    int getValue2() const { return value2_; }
    const CString& getExtra1() const { return extra1_; }
    const CString& getExtra2() const { return extra2_; }
    Item* getSource() const { return source_; }

protected:
    Event(EventKind kind, CString action, Item* source);

private:
    EventKind kind_ = EventKind::Plain;
    CString action_;
    CString text_;
    int value1_ = 0;
    int value2_ = 0;
    CString extra1_;
    CString extra2_;
    Item* source_ = nullptr;
};

// Raised by a button on select: action = the button's name, first = its
// extra text, second = its click action, third = its caption.
class ButtonEvent : public Event {
public:
    ButtonEvent(CString action, CString first, CString second, CString third);
    const CString& getFirst() const { return first_; }
    const CString& getSecond() const { return second_; }
    const CString& getThird() const { return third_; }

private:
    CString first_;
    CString second_;
    CString third_;
};

// Raised by a hyperlink on select: action = the link's name, first = its
// target, second = its click action.
class HyperEvent : public Event {
public:
    HyperEvent(CString action, CString first, CString second);
    const CString& getFirst() const { return first_; }
    const CString& getSecond() const { return second_; }

private:
    CString first_;
    CString second_;
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

// Raised by a screen when it becomes current: action = "Form", value = the
// screen's title. Listeners treat it as a plain event (kind Plain).
class FormEvent : public Event {
public:
    FormEvent(CString sourceName, CString value);
    const CString& getValue() const { return value_; }

private:
    CString value_;
};

}  // namespace zq
