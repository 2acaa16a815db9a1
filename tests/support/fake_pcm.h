#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "core/audio/pcm_port.h"

namespace chimeon::test {

// Sound devices in memory. A capture stream delivers the frames a test supplies, 16-bit samples
// counting up from 0 (frame n holds n mod 32768), so a recording shows at once whether every
// frame arrived once and in order; a playback stream keeps every byte written. Errors and a
// device that stops answering can be scripted.
class FakePcmSystem : public PcmSystem {
public:
    FakePcmSystem();
    ~FakePcmSystem() override;

    std::unique_ptr<PcmStream> Open(PcmDirection direction, std::uint32_t device,
                                    int* error) override;
    bool IsFormatSupported(PcmDirection, std::uint32_t, const WaveFormat&) override { return true; }
    std::string ErrorText(int error) const override { return "error " + std::to_string(error); }
    std::vector<std::string> DeviceNames(PcmDirection direction) const override;

    // Makes `frames` more frames ready to record and waits until the recorder took them all.
    bool Supply(std::uint32_t frames);
    // The next read or write fails with `error`; the recovery then answers `recoverResult`.
    void FailNextTransfer(int error, int recoverResult = 0);
    // From now on every call into an open stream blocks until Release.
    void Hang();
    void Release();
    // What the output holds unheard while a sound plays; 0 ends each sound as soon as written.
    void SetUnheard(long frames);
    std::vector<std::uint8_t> Played() const;
    // Device calls in order: "open capture", "configure 2048x2", "start", "stop", "recover -32",
    // "close".
    std::vector<std::string> Log() const;

    int openError = 0;

    struct State;  // shared with the open streams, which may outlive the system

private:
    std::shared_ptr<State> state_;
};

}  // namespace chimeon::test
