#include "core/audio/wave_in.h"

#include <algorithm>
#include <atomic>
#include <cerrno>

namespace chimeon {
namespace {

class CaptureWorker : public PcmWorker {
public:
    CaptureWorker(WaveFormat format, std::uint32_t bufferSize, std::shared_ptr<WaveChunkSink> sink)
        : format_(format),
          frames_(FramesIn(bufferSize)),
          requestedFrames_(frames_),
          sink_(std::move(sink)) {}

    void RequestBufferSize(std::uint32_t bytes) {
        std::lock_guard lock(mutex_);
        requestedFrames_ = FramesIn(bytes);
    }
    bool SoundArrived() const { return arrived_; }

protected:
    int Configure(PcmStream& stream) override {
        return stream.Configure(format_, frames_, CWaveIn::kDeviceBuffers);
    }

    int Execute(Command command, PcmStream& stream, bool running) override {
        switch (command) {
            case Command::kStart: {
                stream.Stop();
                std::uint32_t frames = 0;
                {
                    std::lock_guard lock(mutex_);
                    frames = requestedFrames_;
                }
                if (frames != frames_) {
                    frames_ = frames;
                    if (int result = Configure(stream); result != 0) {
                        return result;
                    }
                }
                buffer_.Allocate(frames_, format_.blockAlign);
                fill_ = 0;
                arrived_ = false;
                return stream.Start();
            }
            case Command::kContinue:
                return running ? 0 : stream.Resume();
            default: {  // pause and reset: what the device holds is handed on first
                int result = running ? Drain(stream) : 0;
                long stopped = command == Command::kPause ? stream.Pause() : stream.Stop();
                return result != 0 ? result : static_cast<int>(std::min(stopped, 0L));
            }
        }
    }

    int Transfer(PcmStream& stream) override {
        long got = stream.Read(Free(), frames_ - fill_, kStepMs);
        if (got < 0) {
            // An overrun loses the sound the device could not hold, never what was recorded.
            int result = stream.Recover(static_cast<int>(got));
            if (result < 0) {
                Deliver();
            }
            return std::min(result, 0);
        }
        fill_ += static_cast<std::uint32_t>(got);
        arrived_ = arrived_ || got > 0;
        return fill_ == frames_ ? Deliver() : 0;
    }

private:
    std::uint32_t FramesIn(std::uint32_t bytes) const {
        return std::max<std::uint32_t>(1, bytes / std::max<std::uint32_t>(1, format_.blockAlign));
    }
    std::uint8_t* Free() { return buffer_.GetData() + std::size_t{fill_} * format_.blockAlign; }

    // Takes what the device holds now (no more than its buffers: a source that never runs dry
    // must not keep a pause waiting) and hands on the partly filled buffer.
    int Drain(PcmStream& stream) {
        for (unsigned reads = 0; reads < 2 * CWaveIn::kDeviceBuffers; ++reads) {
            const long got = stream.Read(Free(), frames_ - fill_, 0);
            if (got <= 0) {
                break;
            }
            fill_ += static_cast<std::uint32_t>(got);
            if (fill_ == frames_) {
                if (int result = Deliver(); result != 0) {
                    return result;
                }
            }
        }
        return Deliver();
    }

    int Deliver() {
        if (fill_ == 0) {
            return 0;
        }
        CWaveBuffer chunk;
        chunk.CopyIn(buffer_.GetData(), fill_, format_.blockAlign);
        fill_ = 0;
        return sink_ != nullptr ? -sink_->Append(chunk) : 0;
    }

    const WaveFormat format_;
    std::uint32_t frames_;           // frames per buffer
    std::uint32_t requestedFrames_;  // guarded: the size asked for by the next Start
    std::shared_ptr<WaveChunkSink> sink_;
    CWaveBuffer buffer_;
    std::uint32_t fill_ = 0;
    std::atomic<bool> arrived_ = false;  // sound has come since the last start
};

}  // namespace

void CWaveIn::SetFormat(const WaveFormat& format) {
    wave_.SetFormat(format.channels, format.samplesPerSec, format.bitsPerSample);
}

bool CWaveIn::Open() {
    // The sink goes with the device: a recording that cannot start leaves nothing behind.
    return Launch(std::make_shared<CaptureWorker>(wave_.GetFormat(), bufferSize_, std::move(sink_)),
                  PcmDirection::kCapture);
}

bool CWaveIn::SoundArrived() const {
    return worker_ != nullptr && static_cast<const CaptureWorker&>(*worker_).SoundArrived();
}

bool CWaveIn::Start(std::uint32_t bufferSize) {
    if (worker_ == nullptr) {
        return Succeeded(-EBADFD);
    }
    bufferSize_ = bufferSize;
    static_cast<CaptureWorker&>(*worker_).RequestBufferSize(bufferSize);
    return Ask(PcmWorker::Command::kStart);
}

}  // namespace chimeon
