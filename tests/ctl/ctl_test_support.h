#pragma once

#include <nlohmann/json.hpp>

#include <string>
#include <vector>

#include "support/run_program.h"
#include "support/temp_dir.h"

namespace chimeon::test {

// Runs chimeonctl on a data directory (GStreamer's plugin cache in the build folder).
inline ProgramResult Ctl(const TempDir& data, std::vector<std::string> arguments,
                         const std::string& input = "") {
    arguments.insert(arguments.begin(), {"--data-dir", data.path().string()});
    return RunProgram(CHIMEON_CTL_PATH, arguments, input,
                      {std::string("GST_REGISTRY=") + CHIMEON_TEST_GST_REGISTRY});
}

// Each line of the output parsed as one JSON object.
inline std::vector<nlohmann::ordered_json> JsonLines(const std::string& out) {
    std::vector<nlohmann::ordered_json> lines;
    size_t start = 0;
    while (start < out.size()) {
        size_t end = out.find('\n', start);
        lines.push_back(nlohmann::ordered_json::parse(out.substr(start, end - start)));
        start = end == std::string::npos ? out.size() : end + 1;
    }
    return lines;
}

}  // namespace chimeon::test
