// Any bytes decode, and what was decoded writes back as the same bytes.
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "core/text/gbk_codec.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::string_view bytes(reinterpret_cast<const char*>(data), size);
    std::string text = chimeon::DecodeGbk(bytes);
    if (chimeon::EncodeGbk(text) != bytes) {
        std::abort();
    }
    chimeon::EncodeGbk(bytes);  // arbitrary bytes as if they were UTF-8
    return 0;
}
