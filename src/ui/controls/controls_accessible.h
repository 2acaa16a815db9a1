#pragma once

namespace chimeon {

// Makes the custom-painted controls (navigation bar, page title, digital clock) known to the
// accessibility bus: each gets an interface with its name, role and actions. Called by the
// controls themselves; once is enough.
void InstallControlsAccessibility();

}  // namespace chimeon
