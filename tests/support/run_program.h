#pragma once

#include <string>
#include <vector>

namespace chimeon::test {

struct ProgramResult {
    int exitCode = -1;
    std::string out;
    std::string err;
};

// Runs a program with arguments (no shell), feeding `input` to its standard input, and collects
// what it printed. `environment` entries ("NAME=value") are added to the test's own.
ProgramResult RunProgram(const std::string& program, const std::vector<std::string>& arguments,
                         const std::string& input = "",
                         const std::vector<std::string>& environment = {});

}  // namespace chimeon::test
