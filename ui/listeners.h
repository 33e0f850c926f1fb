// The listener interfaces through which items report to the page.
//
// Every call arrives on the UI thread. Pointers passed in are borrowed for
// the duration of the call; a listener that keeps one must know it outlives
// the item (the page controller does).
#pragma once

#include <memory>

#include "platform/cstring.h"

namespace zq {

class Command;
class Event;
class Item;

// Receives the events that items and screens raise, normally the page
// controller. The raiser hands the event over and keeps no reference.
class EventListener {
public:
    virtual ~EventListener() = default;
    virtual void onEvent(std::unique_ptr<Event> event) = 0;
};

// Receives the commands of the items it is attached to; without one, an
// item's commands go to its screen.
class ItemCommandListener {
public:
    virtual ~ItemCommandListener() = default;
    // The base ignores the command.
    virtual void commandAction(Command* /*command*/, Item* /*item*/) {}
    // Remembers which page action a command label runs; the base forgets it.
    virtual void addCommandAction(const CString& /*command*/, const CString& /*action*/) {}
};

// Told when an item's value or selection changes.
class ItemStateListener {
public:
    virtual ~ItemStateListener() = default;
    virtual void itemStateChanged(Item* item) = 0;
};

}  // namespace zq
