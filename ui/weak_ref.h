// WeakRef: a pointer to a UI object that does not keep it alive and reads
// null once the object is destroyed. Screens and alerts hold the items and
// screens they borrow this way (the pressed item, the keyboard's field, an
// alert's return target), so that a page rebuilt or recycled under them is
// forgotten rather than reached.
//
// The object carries a LifeToken; the token is made on the first WeakRef
// and ended when the object is destroyed. UI thread only.
#pragma once

#include <memory>

namespace zq {

class LifeToken {
public:
    LifeToken() = default;
    ~LifeToken() { end(); }
    // A copied object is another object: it starts without references.
    LifeToken(const LifeToken& /*other*/) {}
    LifeToken& operator=(const LifeToken& /*other*/) { return *this; }

    std::weak_ptr<const bool> watch() {
        if (!alive_) alive_ = std::make_shared<const bool>(true);
        return alive_;
    }
    // Every reference reads null from now on.
    void end() { alive_.reset(); }

private:
    std::shared_ptr<const bool> alive_;
};

template <class T>
class WeakRef {
public:
    WeakRef() = default;
    // `object` may be null; `token` is the object's own.
    WeakRef(T* object, LifeToken* token)
        : object_(object), alive_(object && token ? token->watch() : std::weak_ptr<const bool>()) {}

    T* get() const { return alive_.expired() ? nullptr : object_; }
    explicit operator bool() const { return get() != nullptr; }
    void reset() { *this = WeakRef(); }

private:
    T* object_ = nullptr;
    std::weak_ptr<const bool> alive_;
};

}  // namespace zq
