#pragma once

#include <filesystem>
#include <string>
#include <vector>

#include "core/app/skinning.h"
#include "core/history/play_history.h"
#include "core/system/autostart_entry.h"
#include "core/system/power_off.h"

namespace chimeon::test {

// A history that keeps what it is told.
class RecordedHistory : public PlayHistory {
public:
    void Record(const HistoryEvent& event) override { events.push_back(event); }
    void KeepNewestDays(int days) override { keptDays.push_back(days); }
    void RecordLevel(const HistoryEvent& start, const SoundLevel& level) override {
        levels.emplace_back(start, level);
    }
    std::vector<HistoryEvent> events;
    std::vector<std::pair<HistoryEvent, SoundLevel>> levels;
    std::vector<int> keptDays;
};

// Counts the requests; refuses them with `refusal` when it is set.
class FakePowerOff : public PowerOff {
public:
    bool Request(std::string* why) override { return ++requests, (*why = refusal).empty(); }
    int requests = 0;
    std::string refusal;
};

// Counts creations and removals; fails them with `error` when it is set.
class FakeAutostart : public AutostartEntry {
public:
    bool Create(std::string* why) override { return Answer(++creations, why); }
    bool Remove(std::string* why) override { return Answer(++removals, why); }
    bool Answer(int, std::string* why) const { return (*why = error).empty(); }
    int creations = 0;
    int removals = 0;
    std::string error;
};

// Keeps the skin files applied, in order.
class RecordingSkinning : public Skinning {
public:
    bool ApplySkinFile(const std::filesystem::path& file) override {
        applied.push_back(file);
        return true;
    }
    void Shutdown() override {}
    std::vector<std::filesystem::path> applied;
};

}  // namespace chimeon::test
