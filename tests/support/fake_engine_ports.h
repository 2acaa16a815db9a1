#pragma once

#include <map>
#include <string>
#include <string_view>
#include <vector>

#include "core/engine/clock_ports.h"

namespace chimeon::test {

// A timer that only records whether it is armed; the test (or ClockRig) calls the handler.
class FakeClockTimer : public ClockTimer {
public:
    void Arm() override {
        armed_ = true;
        ++armCount_;
    }
    void Kill() override { armed_ = false; }
    bool IsArmed() const { return armed_; }
    int ArmCount() const { return armCount_; }

private:
    bool armed_ = false;
    int armCount_ = 0;
};

// Folders and their files as the test lays them down; any other folder is empty.
class FakeDirectoryLister : public DirectoryLister {
public:
    void SetFolder(const std::string& folder, std::vector<std::string> files) {
        folders_[folder] = std::move(files);
    }
    std::vector<std::string> ListFiles(std::string_view folder) override {
        auto found = folders_.find(std::string(folder));
        return found == folders_.end() ? std::vector<std::string>{} : found->second;
    }

private:
    std::map<std::string, std::vector<std::string>> folders_;
};

class FakeCalendarSource : public CalendarSource {
public:
    const HolidayCalendar& Calendar() const override { return calendar; }
    HolidayCalendar calendar;
};

}  // namespace chimeon::test
