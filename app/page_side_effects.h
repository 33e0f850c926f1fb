// The page controller's side of the side-effect elements.
#pragma once

#include <memory>

namespace zq {

class PageController;
class SideEffectHost;

// The host the controller hands to its pages; it borrows the controller.
std::unique_ptr<SideEffectHost> makeControllerSideEffects(PageController& controller);

}  // namespace zq
