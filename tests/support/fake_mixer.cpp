#include "support/fake_mixer.h"

#include <fcntl.h>
#include <unistd.h>

namespace chimeon::test {

FakeMixer::FakeMixer(unsigned channels, std::uint32_t range, unsigned steps)
    : values(channels, 0), channels_(channels), range_(range), steps_(steps) {
    if (::pipe2(pipe_, O_NONBLOCK | O_CLOEXEC) != 0) {
        pipe_[0] = pipe_[1] = -1;
    }
}

FakeMixer::~FakeMixer() {
    ::close(pipe_[0]);
    ::close(pipe_[1]);
}

bool FakeMixer::Read(std::vector<std::uint32_t>& out) {
    out = values;
    return readable;
}

bool FakeMixer::Write(const std::vector<std::uint32_t>& in) {
    values = in;
    ++writes;
    return true;
}

void FakeMixer::ChangeOutside(std::vector<std::uint32_t> newValues) {
    values = std::move(newValues);
    const char byte = 1;
    (void)!::write(pipe_[1], &byte, 1);
}

void FakeMixer::CloseWriter() {
    ::close(pipe_[1]);
    pipe_[1] = -1;
}

bool FakeMixer::TakeChanges() {
    char buffer[64];
    bool any = false;
    while (::read(pipe_[0], buffer, sizeof buffer) > 0) {
        any = true;
    }
    return any;
}

}  // namespace chimeon::test
