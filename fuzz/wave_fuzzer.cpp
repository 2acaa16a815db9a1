// Feeds arbitrary bytes to the WAV reader, from a stream and from a file, and to the WAV probe.
#include <stdlib.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <sstream>
#include <string>

#include "core/audio/file_error.h"
#include "core/audio/wave.h"
#include "core/engine/duration_probe.h"

namespace {

const std::string& FilePath() {
    static const std::string path = [] {
        std::string pattern = "/tmp/chimeon-wave-fuzz-XXXXXX.wav";
        int fd = mkstemps(pattern.data(), 4);
        if (fd < 0) {
            abort();
        }
        close(fd);
        return pattern;
    }();
    return path;
}

void Check(const chimeon::CWave& wave, std::size_t size) {
    // Whole frames, and never more than the input held behind the header.
    if (wave.GetFormat().blockAlign == 0 || wave.GetByteSize() + 44 > size ||
        wave.GetByteSize() % wave.GetFormat().blockAlign != 0) {
        abort();
    }
    std::ostringstream out;
    wave.Write(out);
    chimeon::CWave copy(wave);
    if (out.str().size() != 44 + wave.GetByteSize() || copy.GetByteSize() != wave.GetByteSize()) {
        abort();
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::string bytes(reinterpret_cast<const char*>(data), size);
    bool streamAccepted = false;
    try {
        std::istringstream in(bytes);
        chimeon::CWave wave;
        wave.Read(in, "fuzz.wav");
        Check(wave, size);
        streamAccepted = true;
    } catch (const chimeon::FileError& error) {
        if (error.kind() != chimeon::FileError::Kind::kInvalidFile) {
            abort();
        }
    }

    const std::string& path = FilePath();
    FILE* file = fopen(path.c_str(), "wb");
    if (file == nullptr) {
        abort();
    }
    fwrite(data, 1, size, file);
    fclose(file);
    try {
        chimeon::CWave wave;
        wave.Load(path);
        Check(wave, size);
        if (!streamAccepted) {
            abort();  // a file and a stream of the same bytes must agree
        }
    } catch (const chimeon::FileError&) {
        if (streamAccepted) {
            abort();
        }
    }
    (void)chimeon::ProbeDuration(path);
    unlink(path.c_str());
    return 0;
}
