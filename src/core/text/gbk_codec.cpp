#include "core/text/gbk_codec.h"

#include <iconv.h>

#include <cerrno>
#include <stdexcept>

namespace chimeon {
namespace {

constexpr std::string_view kReplacementUtf8 = "\xEF\xBF\xBD";

// One conversion descriptor per direction and thread: iconv descriptors keep state and may not be
// shared between threads (the duration pass decodes while the clock does).
class Converter {
public:
    Converter(const char* to, const char* from) : handle_(iconv_open(to, from)) {
        if (handle_ == reinterpret_cast<iconv_t>(-1)) {
            throw std::runtime_error(std::string("iconv cannot convert ") + from + " to " + to);
        }
    }
    ~Converter() { iconv_close(handle_); }
    Converter(const Converter&) = delete;
    Converter& operator=(const Converter&) = delete;

    // Converts as much as possible; on a byte it cannot take, calls onBad(input, output) which
    // must skip at least one input byte.
    template <typename OnBad>
    std::string Convert(std::string_view input, OnBad onBad) {
        iconv(handle_, nullptr, nullptr, nullptr, nullptr);
        std::string out;
        out.reserve(input.size() * 2 + 8);
        char buffer[4096];
        auto* in = const_cast<char*>(input.data());
        size_t inLeft = input.size();
        while (inLeft > 0) {
            char* outPtr = buffer;
            size_t outLeft = sizeof buffer;
            size_t result = iconv(handle_, &in, &inLeft, &outPtr, &outLeft);
            out.append(buffer, static_cast<size_t>(outPtr - buffer));
            if (result != static_cast<size_t>(-1)) {
                continue;
            }
            if (errno == E2BIG) {
                continue;
            }
            // EILSEQ (not a character) or EINVAL (a character cut off at the end).
            size_t skipped = onBad(std::string_view(in, inLeft), out);
            in += skipped;
            inLeft -= skipped;
            iconv(handle_, nullptr, nullptr, nullptr, nullptr);
        }
        return out;
    }

private:
    iconv_t handle_;
};

// Length of the UTF-8 sequence that starts the text, or 0 when it is not a valid one.
size_t ValidUtf8Length(std::string_view text) {
    auto byte = [&](size_t i) { return static_cast<unsigned char>(text[i]); };
    unsigned char lead = byte(0);
    size_t length = lead < 0x80                    ? 1
                    : lead >= 0xC2 && lead <= 0xDF ? 2
                    : lead >= 0xE0 && lead <= 0xEF ? 3
                    : lead >= 0xF0 && lead <= 0xF4 ? 4
                                                   : 0;
    if (length == 0 || length > text.size()) {
        return 0;
    }
    for (size_t i = 1; i < length; ++i) {
        if ((byte(i) & 0xC0) != 0x80) {
            return 0;
        }
    }
    return length;
}

}  // namespace

bool IsAscii(std::string_view text) {
    for (char c : text) {
        if (static_cast<unsigned char>(c) >= 0x80) {
            return false;
        }
    }
    return true;
}

std::string DecodeGbk(std::string_view gbkBytes) {
    if (IsAscii(gbkBytes)) {
        return std::string(gbkBytes);
    }
    thread_local Converter decoder("UTF-8", "GB18030");
    return decoder.Convert(gbkBytes, [](std::string_view, std::string& out) {
        out.append(kReplacementUtf8);
        return size_t{1};
    });
}

std::string EncodeGbk(std::string_view utf8) {
    if (IsAscii(utf8)) {
        return std::string(utf8);
    }
    thread_local Converter encoder("GB18030", "UTF-8");
    return encoder.Convert(utf8, [](std::string_view rest, std::string& out) {
        // A valid sequence that GB18030 still refuses (a surrogate code point) is replaced whole.
        size_t length = ValidUtf8Length(rest);
        out.push_back('?');
        return length == 0 ? size_t{1} : length;
    });
}

}  // namespace chimeon
