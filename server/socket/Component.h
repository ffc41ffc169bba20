#pragma once

#include "common/Exception.h"

#include <string>

// An object cast to a class it is not an instance of.
class EInvalidCast : public Exception {
public:
    EInvalidCast()
        : Exception("Invalid class typecast")
    {
    }
};

// The small component base of the socket classes: an owner, a name and the loading and designing
// states. The owner is only a link: it keeps no list of what it owns, so components can be created
// and freed on any thread without a shared registry to lock.
class TComponent {
public:
    enum State : unsigned { csLoading = 1, csDesigning = 2 };

    explicit TComponent(TComponent* owner)
        : owner_(owner)
    {
    }
    virtual ~TComponent() = default;
    TComponent(const TComponent&) = delete;
    TComponent& operator=(const TComponent&) = delete;

    TComponent* Owner() const { return owner_; }
    unsigned ComponentState() const { return state_; }
    void SetComponentState(unsigned state) { state_ = state; }
    bool LoadingOrDesigning() const { return (state_ & (csLoading | csDesigning)) != 0; }

    // Called once a component read from a stored layout has all its properties.
    virtual void Loaded() { state_ &= ~static_cast<unsigned>(csLoading); }

    std::string Name;

private:
    TComponent* owner_;
    unsigned state_ = 0;
};
