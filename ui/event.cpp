#include "ui/event.h"

#include <utility>

namespace zq {

Event::Event(CString action, Item* source) : Event(EventKind::Plain, std::move(action), source) {}

Event::Event(CString action, CString cellType, CString cellValue, Item* source)
    : action_(std::move(action)),
      cellType_(std::move(cellType)),
      cellValue_(std::move(cellValue)),
      source_(source) {}

Event::Event(EventKind kind, CString action, Item* source)
    : kind_(kind), action_(std::move(action)), source_(source) {}

CString Event::toString() const { return CString(); }

ButtonEvent::ButtonEvent(CString action, CString extraText, CString clickAction, CString caption)
    : Event(EventKind::Button, std::move(action), nullptr),
      extraText_(std::move(extraText)),
      clickAction_(std::move(clickAction)),
      caption_(std::move(caption)) {}

HyperEvent::HyperEvent(CString action, CString target, CString clickAction)
    : Event(EventKind::Hyper, std::move(action), nullptr),
      target_(std::move(target)),
      clickAction_(std::move(clickAction)) {}

KeyEvent::KeyEvent(CString key, CString action)
    : Event(EventKind::Key, std::move(action), nullptr), key_(std::move(key)) {}

FormEvent::FormEvent(CString sourceName, CString title)
    : Event(EventKind::Plain, std::move(sourceName), nullptr), title_(std::move(title)) {}

}  // namespace zq
