// SwitchContainer: a selector pane and up to three further panes, of which
// only the pane whose identifier equals the selector's value (without
// regard to case) is visible. The host-set page switches the host list of
// a carrier in when the carrier is chosen.
//
// The selector's change listener is the container: every change of the
// selector arrives as an Event (owned, freed here) and switches the panes.
// The pane switched away from is hidden and reset. The selector itself is
// never hidden or reset, even when its own name matches.
//
// Ownership: the panes are ordinary children. UI thread only.
#pragma once

#include <memory>

#include "ui/container.h"
#include "ui/listeners.h"

namespace zq {

class Inputable;

class SwitchContainer : public Container, public EventListener {
public:
    SwitchContainer();
    ~SwitchContainer() override;

    // Appends the non-null arguments in order (the selector first), then
    // update(). A selector that is no form field switches nothing.
    void setPanes(std::unique_ptr<Item> selector, std::unique_ptr<Item> pane1,
                  std::unique_ptr<Item> pane2, std::unique_ptr<Item> pane3);
    // Shows the pane the selector's value names; true when one was switched
    // in (also the one already shown: it is reset).
    bool update();
    // A change of the selector: update(), and repaint when it switched.
    void onEvent(std::unique_ptr<Event> event) override;

    Item* getSelector() const { return selector_; }
    Item* getCurrentPane() const { return currentPane_; }

private:
    Item* selector_ = nullptr;
    Inputable* selectorInput_ = nullptr;
    Item* currentPane_ = nullptr;
};

}  // namespace zq
