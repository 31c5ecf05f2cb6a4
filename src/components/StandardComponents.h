#pragma once

namespace tarnvue {

// Registers the outside components that ship with the program under their
// identifiers (the browser and the About dialog). Call once at start-up;
// calling again replaces the same factories.
void registerStandardComponents();

} // namespace tarnvue
