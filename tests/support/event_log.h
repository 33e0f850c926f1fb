// An event listener that keeps every event it is handed, in order.
#pragma once

#include <memory>
#include <vector>

#include "ui/event.h"
#include "ui/listeners.h"

namespace zq::test {

class EventLog : public EventListener {
public:
    void onEvent(std::unique_ptr<Event> event) override { events.push_back(std::move(event)); }
    std::vector<std::unique_ptr<Event>> events;
};

}  // namespace zq::test
