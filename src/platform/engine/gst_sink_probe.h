#pragma once

#include <string>
#include <vector>

#include "platform/engine/gst_handles.h"

namespace chimeon::gst {

// A sink element from a description, checked by opening its device (connecting to the sound
// server). Null with `reason` set when the output is not there.
//
// `withVolume`: playbin's own software volume element is never released (GStreamer 1.22 loses
// one with its pads at every file), so an audio sink without a volume of its own (ALSA, the
// tests' sinks) gets one of ours in front, which playbin then uses and releases; a level element
// follows it, so each start's sound is measured.
ObjectPtr<GstElement> MakeReadySink(const std::string& description, std::string* reason,
                                    bool withVolume = false);

// The first of `candidates` whose output answers, with a volume of its own; null with every
// candidate's reason in `reasons` when none does.
ObjectPtr<GstElement> FirstReadyAudioSink(const std::vector<std::string>& candidates,
                                          std::string* reasons);

}  // namespace chimeon::gst
