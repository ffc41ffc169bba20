#pragma once

#include <cstddef>

// The test executable replaces the global operator new so that a test can see the largest single
// allocation made while it ran: the way to show that a hostile length is refused before anything
// of that size is allocated, which a result alone cannot show.
class AllocationProbe {
public:
    AllocationProbe();
    std::size_t Largest() const;
};
