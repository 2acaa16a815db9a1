#pragma once

#include <string>
#include <vector>

namespace chimeon {

// Why ALSA's "default" cannot be opened for playback (no audio output at all), in the operator's
// words ("ALSA 的“default”设备打不开（设备不存在）"); "" when it can.
// Opens and closes the device at once; may take a moment while a sound server starts.
std::string AudioOutputProblem();

// What stands between the player and the loudspeakers: no audio output at all (ALSA's "default"
// cannot be opened for playback), or the master volume muted or at zero. Empty when the way is
// clear.
std::vector<std::string> AudioPathProblems();

}  // namespace chimeon
