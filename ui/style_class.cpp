#include "ui/style_class.h"

#include <atomic>

namespace zq {
namespace {

std::atomic<StyleClassApplier> gApplier{nullptr};

}  // namespace

void setStyleClassApplier(StyleClassApplier applier) { gApplier.store(applier); }

StyleClassApplier styleClassApplier() { return gApplier.load(); }

void applyStyleClass(Style* style, const CString& className) {
    StyleClassApplier applier = gApplier.load();
    if (style && applier) applier(style, className);
}

}  // namespace zq
