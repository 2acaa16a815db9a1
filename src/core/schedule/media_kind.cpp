#include "core/schedule/media_kind.h"

#include "core/text/ascii_case.h"

namespace chimeon {

MediaKind MediaKindOf(std::string_view path) {
    const size_t separator = path.find_last_of("\\/");
    std::string_view name = separator == std::string_view::npos ? path : path.substr(separator + 1);
    if (separator == std::string_view::npos && name.size() >= 2 && name[1] == ':') {
        name.remove_prefix(2);  // a drive and nothing else ("d:") names no file
    }
    const size_t dot = name.rfind('.');
    if ((dot == std::string_view::npos ? name : name.substr(0, dot)).empty()) {
        return MediaKind::kFolder;
    }
    const std::string extension =
        dot == std::string_view::npos ? std::string() : LowerCaseAscii(name.substr(dot));
    if (extension == ".mp3") {
        return MediaKind::kMp3;
    }
    return extension == ".wav" ? MediaKind::kWave : MediaKind::kOther;
}

bool KeepsTypedVolume(std::string_view path) {
    return LowerCaseAscii(path).find(".mp3") != std::string::npos;
}

}  // namespace chimeon
