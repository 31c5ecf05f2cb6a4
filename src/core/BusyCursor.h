#pragma once

namespace tarnvue {

// Shows the hourglass for as long as it lives; nests, and restores the
// pointer on every way out of a command, exceptions included.
class BusyCursor {
public:
    BusyCursor();
    ~BusyCursor();
    BusyCursor(const BusyCursor&) = delete;
    BusyCursor& operator=(const BusyCursor&) = delete;
};

} // namespace tarnvue
