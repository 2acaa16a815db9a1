#include "core/text/gbk_codec.h"

#include <iconv.h>

#include <algorithm>
#include <cerrno>
#include <optional>
#include <stdexcept>

namespace chimeon {
namespace {

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

namespace {

// A byte that is no part of a GB18030 character is held as one code point of a private-use block
// that real GBK text never reaches (GB18030 gives it only four-byte forms), and written back as
// the byte itself: a hand-edited title or path comes back byte for byte.
constexpr char32_t kFirstKeptByte = 0xF780;  // for byte 0x80; 0xFF is U+F7FF
constexpr unsigned char kKeptByteLead = 0xEF;

void AppendKeptByte(std::string& out, unsigned char byte) {
    const char32_t codePoint = kFirstKeptByte + (byte - 0x80u);
    out.push_back(static_cast<char>(kKeptByteLead));
    out.push_back(static_cast<char>(0x80 | ((codePoint >> 6) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | (codePoint & 0x3F)));
}

// The byte a kept-byte code point stands for, when the text starts with one.
std::optional<unsigned char> KeptByteAt(std::string_view utf8) {
    if (utf8.size() < 3 || static_cast<unsigned char>(utf8[0]) != kKeptByteLead) {
        return std::nullopt;
    }
    const auto second = static_cast<unsigned char>(utf8[1]);
    const auto third = static_cast<unsigned char>(utf8[2]);
    if ((second != 0x9E && second != 0x9F) || (third & 0xC0) != 0x80) {
        return std::nullopt;
    }
    const char32_t codePoint = 0xF000u | ((second & 0x3Fu) << 6) | (third & 0x3Fu);
    return static_cast<unsigned char>(0x80 + (codePoint - kFirstKeptByte));
}

bool HasKeptByte(std::string_view utf8) {
    for (size_t at = utf8.find(static_cast<char>(kKeptByteLead)); at != std::string_view::npos;
         at = utf8.find(static_cast<char>(kKeptByteLead), at + 1)) {
        if (KeptByteAt(utf8.substr(at))) {
            return true;
        }
    }
    return false;
}

// Length of the GB18030 character the bytes start with, by its form alone (two bytes, or four
// with digits second and fourth); 0 when no character starts here.
size_t Gb18030Length(std::string_view bytes) {
    auto byte = [&](size_t i) { return static_cast<unsigned char>(bytes[i]); };
    auto isLead = [](unsigned char b) { return b >= 0x81 && b <= 0xFE; };
    auto isDigit = [](unsigned char b) { return b >= 0x30 && b <= 0x39; };
    if (bytes.size() < 2 || !isLead(byte(0))) {
        return 0;
    }
    if ((byte(1) >= 0x40 && byte(1) <= 0x7E) || (byte(1) >= 0x80 && byte(1) <= 0xFE)) {
        return 2;
    }
    if (bytes.size() >= 4 && isDigit(byte(1)) && isLead(byte(2)) && isDigit(byte(3))) {
        return 4;
    }
    return 0;
}

Converter& Decoder() {
    thread_local Converter decoder("UTF-8", "GB18030");
    return decoder;
}
Converter& Encoder() {
    thread_local Converter encoder("GB18030", "UTF-8");
    return encoder;
}

// The conversion of the whole input, or nothing when any part of it does not convert.
std::optional<std::string> ConvertExactly(Converter& converter, std::string_view input) {
    bool failed = false;
    std::string out = converter.Convert(input, [&failed](std::string_view rest, std::string&) {
        failed = true;
        return rest.size();
    });
    return failed ? std::nullopt : std::optional<std::string>(std::move(out));
}

// Decoded text that encodes back to exactly these bytes, or nothing.
std::optional<std::string> DecodeReversibly(std::string_view bytes) {
    std::optional<std::string> text = ConvertExactly(Decoder(), bytes);
    if (!text || HasKeptByte(*text) || ConvertExactly(Encoder(), *text) != bytes) {
        return std::nullopt;
    }
    return text;
}

std::string EncodeRun(std::string_view utf8) {
    return Encoder().Convert(utf8, [](std::string_view rest, std::string& out) {
        // A valid sequence that GB18030 still refuses (a surrogate code point) is replaced whole.
        size_t length = ValidUtf8Length(rest);
        out.push_back('?');
        return length == 0 ? size_t{1} : length;
    });
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
    if (std::optional<std::string> whole = DecodeReversibly(gbkBytes)) {
        return std::move(*whole);
    }
    // Character by character: whatever would not come back as the same bytes is kept byte by
    // byte, and the next byte may start a character again.
    std::string out;
    out.reserve(gbkBytes.size() * 2);
    size_t at = 0;
    while (at < gbkBytes.size()) {
        const auto byte = static_cast<unsigned char>(gbkBytes[at]);
        if (byte < 0x80) {
            out.push_back(static_cast<char>(byte));
            ++at;
            continue;
        }
        const size_t length = Gb18030Length(gbkBytes.substr(at));
        std::optional<std::string> character =
            length == 0 ? std::nullopt : DecodeReversibly(gbkBytes.substr(at, length));
        if (character) {
            out += *character;
            at += length;
        } else {
            AppendKeptByte(out, byte);
            ++at;
        }
    }
    return out;
}

std::string EncodeGbk(std::string_view utf8) {
    if (IsAscii(utf8)) {
        return std::string(utf8);
    }
    std::string out;
    size_t runStart = 0;
    size_t at = 0;
    while (at < utf8.size()) {
        if (std::optional<unsigned char> kept = KeptByteAt(utf8.substr(at))) {
            out += EncodeRun(utf8.substr(runStart, at - runStart));
            out.push_back(static_cast<char>(*kept));
            at += 3;
            runStart = at;
        } else {
            at += std::max<size_t>(ValidUtf8Length(utf8.substr(at)), 1);
        }
    }
    out += EncodeRun(utf8.substr(runStart));
    return out;
}

}  // namespace chimeon
