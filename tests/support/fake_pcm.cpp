#include "support/fake_pcm.h"

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <utility>

namespace chimeon::test {

struct FakePcmSystem::State {
    std::mutex mutex;
    std::condition_variable changed;
    std::uint64_t supplied = 0;
    std::uint64_t taken = 0;
    int failNext = 0;
    long recoverResult = 0;
    bool hung = false;
    long unheard = 0;
    std::vector<std::uint8_t> played;
    std::vector<std::string> log;

    // Notes a call (after waiting out a hang); the caller keeps the lock.
    std::unique_lock<std::mutex> Call(const std::string& what) {
        std::unique_lock lock(mutex);
        changed.wait(lock, [this] { return !hung; });
        if (!what.empty()) {
            log.push_back(what);
        }
        return lock;
    }
    int Note(const std::string& what) {
        Call(what);
        return 0;
    }
};

namespace {

class FakeStream : public PcmStream {
public:
    explicit FakeStream(std::shared_ptr<FakePcmSystem::State> state) : state_(std::move(state)) {}
    ~FakeStream() override { state_->Note("close"); }

    int Configure(const WaveFormat& format, std::uint32_t frames, unsigned periods) override {
        blockAlign_ = format.blockAlign;
        return state_->Note("configure " + std::to_string(frames) + "x" + std::to_string(periods));
    }
    int Start() override { return state_->Note("start"); }
    int Stop() override { return state_->Note("stop"); }
    int Resume() override { return state_->Note("resume"); }
    // A device that cannot pause: it drops what is still unheard.
    long Pause() override { return Answer("pause", &State::unheard); }
    long Delay() override { return Answer({}, &State::unheard); }
    int Recover(int error) override {
        return static_cast<int>(Answer("recover " + std::to_string(error), &State::recoverResult));
    }
    long Read(void* frames, std::uint32_t count, int timeoutMs) override {
        auto lock = state_->Call({});
        if (int error = std::exchange(state_->failNext, 0); error != 0) {
            return error;
        }
        state_->changed.wait_for(lock, std::chrono::milliseconds(timeoutMs),
                                 [this] { return state_->supplied > state_->taken; });
        const auto n = std::min<std::uint64_t>(count, state_->supplied - state_->taken);
        for (std::uint64_t i = 0; i < n; ++i) {
            static_cast<std::int16_t*>(frames)[i] =
                static_cast<std::int16_t>((state_->taken + i) % 32768);
        }
        state_->taken += n;
        state_->changed.notify_all();
        return static_cast<long>(n);
    }
    long Write(const void* frames, std::uint32_t count, int) override {
        auto lock = state_->Call({});
        if (int error = std::exchange(state_->failNext, 0); error != 0) {
            return error;
        }
        const auto* bytes = static_cast<const std::uint8_t*>(frames);
        state_->played.insert(state_->played.end(), bytes, bytes + count * blockAlign_);
        return count;
    }

private:
    using State = FakePcmSystem::State;
    long Answer(const std::string& what, long State::*field) {
        auto lock = state_->Call(what);
        return (*state_).*field;
    }

    std::shared_ptr<FakePcmSystem::State> state_;
    std::uint32_t blockAlign_ = 1;
};

}  // namespace

FakePcmSystem::FakePcmSystem() : state_(std::make_shared<State>()) {}

FakePcmSystem::~FakePcmSystem() {
    Release();
}

std::unique_ptr<PcmStream> FakePcmSystem::Open(PcmDirection direction, std::uint32_t, int* error) {
    state_->Note(direction == PcmDirection::kCapture ? "open capture" : "open playback");
    *error = openError;
    return openError != 0 ? nullptr : std::make_unique<FakeStream>(state_);
}

std::vector<std::string> FakePcmSystem::DeviceNames(PcmDirection direction) const {
    if (direction == PcmDirection::kCapture) {
        return {"Microphone", ""};
    }
    return {"Loudspeakers", "Microphone"};  // one card, both ways
}

bool FakePcmSystem::Supply(std::uint32_t frames) {
    std::unique_lock lock(state_->mutex);
    state_->supplied += frames;
    state_->changed.notify_all();
    return state_->changed.wait_for(lock, std::chrono::seconds(10),
                                    [this] { return state_->taken == state_->supplied; });
}

void FakePcmSystem::FailNextTransfer(int error, int recoverResult) {
    std::lock_guard lock(state_->mutex);
    state_->failNext = error;
    state_->recoverResult = recoverResult;
}

void FakePcmSystem::Hang() {
    std::lock_guard lock(state_->mutex);
    state_->hung = true;
}

void FakePcmSystem::Release() {
    std::lock_guard lock(state_->mutex);
    state_->hung = false;
    state_->changed.notify_all();
}

void FakePcmSystem::SetUnheard(long frames) {
    std::lock_guard lock(state_->mutex);
    state_->unheard = frames;
}

std::vector<std::uint8_t> FakePcmSystem::Played() const {
    std::lock_guard lock(state_->mutex);
    return state_->played;
}

std::vector<std::string> FakePcmSystem::Log() const {
    std::lock_guard lock(state_->mutex);
    return state_->log;
}

}  // namespace chimeon::test
