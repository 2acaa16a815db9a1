#include "core/audio/pcm_engine.h"

#include <cerrno>
#include <utility>

namespace chimeon {

void PcmWorker::Run(PcmSystem& system, PcmDirection direction, std::uint32_t device) {
    int result = 0;
    std::unique_ptr<PcmStream> stream = system.Open(direction, device, &result);
    if (stream != nullptr) {
        result = Configure(*stream);
    } else if (result == 0) {
        result = -ENODEV;
    }
    if (result != 0) {
        stream.reset();
    }
    bool answerDue = true;  // the open's answer
    for (Command command = Command::kNone;;) {
        bool running = false;
        {
            std::unique_lock lock(mutex_);
            if (std::exchange(answerDue, false)) {
                if (command == Command::kStart || command == Command::kReset ||
                    command == Command::kClose) {
                    running_ = command == Command::kStart && result == 0;
                } else if (result == 0) {
                    running_ = command == Command::kContinue;
                }
                answer_ = result;
                answered_ = asked_;
                changed_.notify_all();
            }
            if (stream == nullptr) {
                return;
            }
            changed_.wait(lock,
                          [this] { return pending_ != Command::kNone || running_ || abandoned_; });
            if (abandoned_) {
                return;
            }
            command = std::exchange(pending_, Command::kNone);
            running = running_;
        }
        if (command == Command::kNone) {
            result = Transfer(*stream);
            if (result != 0) {
                std::lock_guard lock(mutex_);
                running_ = false;
                if (result < 0) {
                    failure_ = result;
                }
            }
            continue;
        }
        if (command == Command::kClose) {
            // A device that fails while closing (unplugged) must not keep what was recorded
            // from being saved: its errors end here.
            Execute(Command::kReset, *stream, running);
            stream.reset();
            result = 0;
        } else {
            result = Execute(command, *stream, running);
        }
        answerDue = true;
    }
}

std::optional<int> PcmWorker::Ask(Command command, std::chrono::milliseconds deadline) {
    std::unique_lock lock(mutex_);
    if (command != Command::kNone) {
        pending_ = command;
        ++asked_;
        changed_.notify_all();
    }
    if (!changed_.wait_for(lock, deadline, [this] { return answered_ == asked_; })) {
        abandoned_ = true;
        changed_.notify_all();
        return std::nullopt;
    }
    return answer_;
}

std::optional<int> PcmWorker::TakeFailure() {
    std::lock_guard lock(mutex_);
    return std::exchange(failure_, std::nullopt);
}

void PcmWorker::Idle(int ms) {
    std::unique_lock lock(mutex_);
    changed_.wait_for(lock, std::chrono::milliseconds(ms),
                      [this] { return pending_ != Command::kNone || abandoned_; });
}

PcmEngine::~PcmEngine() {
    Close();
}

bool PcmEngine::Launch(std::shared_ptr<PcmWorker> worker, PcmDirection direction) {
    if (worker_ != nullptr && !Close()) {
        return false;
    }
    if (device_.System() == nullptr) {
        return Succeeded(-ENODEV);
    }
    worker_ = std::move(worker);
    thread_ = std::thread([worker = worker_, system = device_.System(), direction,
                           id = device_.m_id] { worker->Run(*system, direction, id); });
    const std::optional<int> answer = worker_->Ask(PcmWorker::Command::kNone, deadline_);
    if (answer && *answer != 0) {
        thread_.join();  // a failed open ends the thread at once
        worker_.reset();
    }
    return Answered(answer);
}

bool PcmEngine::Ask(PcmWorker::Command command) {
    if (worker_ == nullptr) {
        return Succeeded(0);
    }
    return Answered(worker_->Ask(command, deadline_));
}

bool PcmEngine::Close() {
    if (worker_ == nullptr) {
        return Succeeded(0);
    }
    const std::optional<int> answer = worker_->Ask(PcmWorker::Command::kClose, deadline_);
    if (answer) {
        thread_.join();
        worker_.reset();
    }
    return Answered(answer);
}

bool PcmEngine::Answered(std::optional<int> answer) {
    if (!answer) {
        // The device did not answer: the thread is left to end on its own when the device
        // returns, and the engine is closed, so the window goes on.
        thread_.detach();
        worker_.reset();
        return Succeeded(-ETIMEDOUT);
    }
    return Succeeded(*answer);
}

std::string PcmEngine::ErrorText() const {
    if (lastResult_ == 0 || device_.System() == nullptr) {
        return {};
    }
    return device_.System()->ErrorText(lastResult_);
}

std::optional<int> PcmEngine::TakeFailure() {
    return worker_ != nullptr ? worker_->TakeFailure() : std::nullopt;
}

}  // namespace chimeon
