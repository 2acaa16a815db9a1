#pragma once

#include "broadcaster/broadcast_engine.h"
#include "ui/engine/broadcast_link.h"

namespace chimeon::test {

// The window's link to a broadcast engine of this process, as the widget tests have it: the
// engine's news passed on, the commands given to it.
class EngineLink : public BroadcastLink {
public:
    explicit EngineLink(BroadcastEngine& engine);

    void Start() override { engine_.Start(); }
    void Play(int row, std::uint64_t generation) override { engine_.Play(row, generation); }
    void Stop() override { engine_.Stop(); }
    void SwitchMode(ControlMode mode) override { engine_.SwitchMode(mode); }
    void ApplyNewSettings() override { engine_.ApplyNewSettings(); }
    void AddRow(ProgramItem item) override { engine_.AddRow(std::move(item)); }
    void ReplaceRow(int row, std::uint64_t generation, ProgramItem item) override {
        engine_.ReplaceRow(row, generation, std::move(item));
    }
    void DeleteRow(int row, std::uint64_t generation) override {
        engine_.DeleteRow(row, generation);
    }
    void MoveRow(int row, int delta, std::uint64_t generation) override {
        engine_.MoveRow(row, delta, generation);
    }
    void RequestPlayerStatus() override { engine_.RequestPlayerStatus(); }
    void CalendarChanged(const HolidayCalendar& calendar) override {
        engine_.SetCalendar(calendar);
    }
    void SetSurface(std::shared_ptr<VideoOutput> surface) override {
        engine_.SetSurface(std::move(surface));
    }

private:
    BroadcastEngine& engine_;
};

}  // namespace chimeon::test
