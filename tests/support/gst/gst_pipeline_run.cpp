#include "support/gst/gst_pipeline_run.h"

#include <iterator>
#include <sstream>
#include <vector>

#include "support/run_program.h"

namespace chimeon::test {

bool RunPipeline(const std::string& description, std::string* error) {
    // gst-launch takes the description word by word (no word of ours holds a space).
    std::istringstream words(description);
    std::vector<std::string> arguments = {"30", "gst-launch-1.0", "-q"};
    arguments.insert(arguments.end(), std::istream_iterator<std::string>(words), {});
    const ProgramResult run = RunProgram("/usr/bin/timeout", arguments);
    if (error != nullptr) {
        *error = run.exitCode == 0 ? "" : description + ": " + run.out + run.err;
    }
    return run.exitCode == 0;
}

bool HasElement(const char* name) {
    return RunProgram("/usr/bin/gst-inspect-1.0", {"--exists", name}).exitCode == 0;
}

}  // namespace chimeon::test
