// Any profile text can be read and written; a value written is the value read back, and every
// other key keeps its value.
#include <cstdint>
#include <cstdlib>
#include <string>

#include "core/app/ini_settings_store.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::string bytes(reinterpret_cast<const char*>(data), size);
    namespace text = chimeon::profile_text;
    auto before = text::Find(bytes, "Settings", "Pas");
    std::string written = text::Write(bytes, "Settings", "Use", "1");
    auto use = text::Find(written, "Settings", "Use");
    if (!use || *use != "1") {
        std::abort();
    }
    if (text::Find(written, "Settings", "Pas") != before) {
        std::abort();
    }
    text::ParseLeadingInt(bytes);
    return 0;
}
