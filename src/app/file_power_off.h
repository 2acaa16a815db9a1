#pragma once

#include <filesystem>
#include <fstream>
#include <string>

#include "core/system/power_off.h"

namespace chimeon {

// The test build's power-off: nothing is turned off; each request adds a line to a file the test
// reads, and is taken.
class FilePowerOff : public PowerOff {
public:
    explicit FilePowerOff(std::filesystem::path file) : file_(std::move(file)) {}
    bool Request(std::string*) override {
        std::ofstream(file_, std::ios::app) << "power-off\n";
        return true;
    }

private:
    std::filesystem::path file_;
};

}  // namespace chimeon
