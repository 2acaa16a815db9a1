// Feeds arbitrary bytes, as an MP3 file, to the frame walk, the tag reader and the duration probe.
#include <stdlib.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <string>

#include "core/engine/duration_probe.h"
#include "core/mp3/mp3_info.h"

namespace {

const std::string& FilePath() {
    static const std::string path = [] {
        std::string pattern = "/tmp/chimeon-mp3-fuzz-XXXXXX.mp3";
        int fd = mkstemps(pattern.data(), 4);
        if (fd < 0) {
            abort();
        }
        close(fd);
        return pattern;
    }();
    return path;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string& path = FilePath();
    FILE* file = fopen(path.c_str(), "wb");
    if (file == nullptr) {
        abort();
    }
    fwrite(data, 1, size, file);
    fclose(file);

    chimeon::CMp3Info info;
    if (!info.Load(path)) {
        abort();  // the file is there: it must open
    }
    // Every frame needs at least its four header bytes; a tag needs its 128.
    if (info.GetFrameCount() > size / 4 + 1 || ((info.GetStatus() & 1) != 0 && size < 128)) {
        abort();
    }
    if (info.GetRawTitle().size() > 30 || info.GetRawYear().size() > 4 ||
        info.GetRawComment().size() > 30 || info.GetGenre() < 0 || info.GetGenre() > 255) {
        abort();
    }
    (void)info.GetTitle();
    if (!chimeon::ProbeDuration(path)) {
        abort();
    }
    unlink(path.c_str());
    return 0;
}
