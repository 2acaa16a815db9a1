#pragma once

#include <string>
#include <vector>

namespace chimeon {

// What stands between the player and the loudspeakers: no audio output at all (ALSA's "default"
// cannot be opened for playback), or the master volume muted or at zero. Empty when the way is
// clear.
std::vector<std::string> AudioPathProblems();

}  // namespace chimeon
