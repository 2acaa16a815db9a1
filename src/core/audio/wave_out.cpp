#include "core/audio/wave_out.h"

#include <algorithm>
#include <cerrno>

namespace chimeon {
namespace {

class PlaybackWorker : public PcmWorker {
public:
    explicit PlaybackWorker(std::shared_ptr<const CWave> wave) : wave_(std::move(wave)) {}

    void SetNext(std::shared_ptr<const CWave> wave) {
        std::lock_guard lock(mutex_);
        next_ = std::move(wave);
    }
    bool IsPlaying() {
        std::lock_guard lock(mutex_);
        return playing_;
    }

protected:
    int Configure(PcmStream& stream) override {
        format_ = wave_->GetFormat();
        return stream.Configure(format_, Frames(CWaveOut::kChunkBytes), CWaveOut::kDeviceBuffers);
    }

    int Execute(Command command, PcmStream& stream, bool running) override {
        switch (command) {
            case Command::kStart: {
                stream.Stop();
                {
                    std::lock_guard lock(mutex_);
                    wave_ = next_;
                    playing_ = true;
                }
                offset_ = 0;
                end_ = wave_->GetData() != nullptr ? wave_->GetByteSize() : 0;
                int result = wave_->GetFormat() == format_ ? 0 : Configure(stream);
                result = result != 0 ? result : stream.Start();
                if (result != 0) {
                    Ended();
                }
                return result;
            }
            case Command::kPause: {
                // What a device that cannot pause dropped is played again after Continue.
                const long dropped = stream.Pause();
                offset_ -= std::min<std::uint64_t>(
                    offset_, static_cast<std::uint64_t>(std::max(dropped, 0L)) * BlockAlign());
                return static_cast<int>(std::min(dropped, 0L));
            }
            case Command::kContinue:
                return running ? 0 : stream.Resume();
            default:
                offset_ = end_;
                Ended();
                return stream.Stop();
        }
    }

    int Transfer(PcmStream& stream) override {
        if (offset_ < end_) {
            const std::uint32_t frames = Frames(static_cast<std::uint32_t>(
                std::min<std::uint64_t>(CWaveOut::kChunkBytes, end_ - offset_)));
            if (frames == 0) {
                offset_ = end_;  // a last partial frame is not played
                return 0;
            }
            long put = stream.Write(wave_->GetData() + offset_, frames, kStepMs);
            if (put < 0) {
                int result = stream.Recover(static_cast<int>(put));
                if (result < 0) {
                    Ended();
                }
                return std::min(result, 0);
            }
            offset_ += static_cast<std::uint64_t>(put) * BlockAlign();
            return 0;
        }
        long unheard = stream.Delay();
        if (unheard > 0) {
            const long ms = unheard * 1000 / std::max<long>(1, format_.samplesPerSec);
            Idle(static_cast<int>(std::clamp(ms, 1L, static_cast<long>(kStepMs))));
            return 0;
        }
        Ended();
        return kIdle;
    }

private:
    std::uint32_t BlockAlign() const { return std::max<std::uint32_t>(1, format_.blockAlign); }
    std::uint32_t Frames(std::uint32_t bytes) const { return bytes / BlockAlign(); }
    void Ended() {
        std::lock_guard lock(mutex_);
        playing_ = false;
    }

    std::shared_ptr<const CWave> wave_;
    std::shared_ptr<const CWave> next_;  // guarded: the sound the next Play plays
    bool playing_ = false;               // guarded
    WaveFormat format_;
    std::uint64_t offset_ = 0;
    std::uint64_t end_ = 0;
};

}  // namespace

bool CWaveOut::Open() {
    return Launch(std::make_shared<PlaybackWorker>(wave_), PcmDirection::kPlayback);
}

bool CWaveOut::Play() {
    if (worker_ == nullptr) {
        return Succeeded(-EBADFD);
    }
    static_cast<PlaybackWorker&>(*worker_).SetNext(wave_);
    return Ask(PcmWorker::Command::kStart);
}

bool CWaveOut::IsPlaying() const {
    return worker_ != nullptr && static_cast<PlaybackWorker&>(*worker_).IsPlaying();
}

}  // namespace chimeon
