#pragma once

#include <string>

namespace chimeon::test {

// Runs a gst-launch style description ("audiotestsrc num-buffers=10 ! wavenc ! filesink ...") to
// its end; false, with the reason in `error`, when it fails or does not end within 30 seconds.
bool RunPipeline(const std::string& description, std::string* error = nullptr);

// Whether GStreamer has an element of this name (a plugin that may not be installed).
bool HasElement(const char* name);

}  // namespace chimeon::test
