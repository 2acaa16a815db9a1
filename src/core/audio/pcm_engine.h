#pragma once

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>

#include "core/audio/pcm_port.h"
#include "core/audio/wave_device.h"

namespace chimeon {

// The thread of a sound engine and everything that thread touches. Engine and thread share it,
// so a thread stuck in a failing device keeps what it uses alive after the engine gave up on it.
// `mutex` guards the mailbox and every field a subclass shares with the window's thread; the
// thread never holds it while it calls the device or writes a file, so the window never waits
// for either longer than the engine's answer deadline.
class PcmWorker {
public:
    enum class Command { kNone, kStart, kPause, kContinue, kReset, kClose };
    static constexpr int kIdle = 1;      // Transfer: nothing is left to move
    static constexpr int kStepMs = 100;  // longest wait for the device between two commands

    virtual ~PcmWorker() = default;

    // The thread's body: opens the stream and answers, then carries out commands and moves
    // sound while started, until kClose or until the engine gave up on it.
    void Run(PcmSystem& system, PcmDirection direction, std::uint32_t device);
    // On the window's thread: hands a command over (kNone: only waits for the answer due) and
    // waits at most `deadline`. Nothing when no answer came: the thread is then given up.
    std::optional<int> Ask(Command command, std::chrono::milliseconds deadline);
    std::optional<int> TakeFailure();

protected:
    // On the thread, without the lock: the format and buffering of the freshly opened stream.
    virtual int Configure(PcmStream& stream) = 0;
    // On the thread, without the lock; `running` says whether sound was moving.
    virtual int Execute(Command command, PcmStream& stream, bool running) = 0;
    // One step of moving sound while running: 0, kIdle, or an error that stops the stream.
    virtual int Transfer(PcmStream& stream) = 0;
    // Waits up to `ms`, or less when a command arrives.
    void Idle(int ms);

    std::mutex mutex_;

private:
    std::condition_variable changed_;
    Command pending_ = Command::kNone;
    bool running_ = false;
    bool abandoned_ = false;
    std::uint64_t asked_ = 1;  // the open's answer is due first
    std::uint64_t answered_ = 0;
    int answer_ = 0;
    std::optional<int> failure_;
};

// What CWaveIn and CWaveOut share: the device, a thread of their own that feeds or reads it,
// the answers of that thread, and the last result. Operations return true on success; Pause,
// Continue, Reset and Close succeed at once on a closed engine.
class PcmEngine {
public:
    static constexpr std::chrono::milliseconds kAnswerDeadline{3000};

    explicit PcmEngine(PcmSystem& system) : device_(&system) {}
    virtual ~PcmEngine();
    PcmEngine(const PcmEngine&) = delete;
    PcmEngine& operator=(const PcmEngine&) = delete;

    void SetDevice(const CWaveDevice& device) { device_ = device; }
    bool Pause() { return Ask(PcmWorker::Command::kPause); }
    bool Continue() { return Ask(PcmWorker::Command::kContinue); }
    bool Reset() { return Ask(PcmWorker::Command::kReset); }
    // Hands back what is pending and releases the device. Fails only when the device does not
    // answer; the engine is closed afterwards either way.
    bool Close();
    bool IsOpen() const { return worker_ != nullptr; }

    int LastResult() const { return lastResult_; }
    // The sound system's text for the last result; "" after a success.
    std::string ErrorText() const;
    // The error that stopped the running device (unplugged, gone) since the last call.
    std::optional<int> TakeFailure();
    // How long the window's thread waits for the device (tests shorten it).
    void SetAnswerDeadline(std::chrono::milliseconds deadline) { deadline_ = deadline; }

protected:
    // Closes an open device, then starts the worker's thread, which opens the device.
    bool Launch(std::shared_ptr<PcmWorker> worker, PcmDirection direction);
    bool Ask(PcmWorker::Command command);
    bool Succeeded(int result) {
        lastResult_ = result;
        return result == 0;
    }

    CWaveDevice device_;
    std::shared_ptr<PcmWorker> worker_;

private:
    bool Answered(std::optional<int> answer);

    std::thread thread_;
    int lastResult_ = 0;
    std::chrono::milliseconds deadline_ = kAnswerDeadline;
};

}  // namespace chimeon
