#include "ui/event.h"

#include <utility>

namespace zq {

Event::Event(CString action, Item* source) : Event(EventKind::Plain, std::move(action), source) {}

Event::Event(CString text, int value1, int value2)
    : text_(std::move(text)), value1_(value1), value2_(value2) {}

Event::Event(CString action, CString extra1, CString extra2, Item* source)
    : action_(std::move(action)),
      extra1_(std::move(extra1)),
      extra2_(std::move(extra2)),
      source_(source) {}

Event::Event(EventKind kind, CString action, Item* source)
    : kind_(kind), action_(std::move(action)), source_(source) {}

CString Event::toString() const { return CString(); }

ButtonEvent::ButtonEvent(CString action, CString first, CString second, CString third)
    : Event(EventKind::Button, std::move(action), nullptr),
      first_(std::move(first)),
      second_(std::move(second)),
      third_(std::move(third)) {}

HyperEvent::HyperEvent(CString action, CString first, CString second)
    : Event(EventKind::Hyper, std::move(action), nullptr),
      first_(std::move(first)),
      second_(std::move(second)) {}

KeyEvent::KeyEvent(CString key, CString action)
    : Event(EventKind::Key, std::move(action), nullptr), key_(std::move(key)) {}

FormEvent::FormEvent(CString sourceName, CString value)
    : Event(EventKind::Plain, std::move(sourceName), nullptr), value_(std::move(value)) {}

}  // namespace zq
