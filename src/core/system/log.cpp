#include "core/system/log.h"

#include <cstdio>
#include <mutex>

namespace chimeon {

namespace {

struct LogState {
    std::mutex mutex;
    LogSink sink;
    std::string program = "chimeon";
};

LogState& State() {
    static LogState state;
    return state;
}

}  // namespace

void SetLogSink(LogSink sink) {
    const std::lock_guard<std::mutex> lock(State().mutex);
    State().sink = std::move(sink);
}

void SetLogProgramName(std::string name) {
    const std::lock_guard<std::mutex> lock(State().mutex);
    State().program = std::move(name);
}

std::string StandardErrorText(std::string_view program, const LogLine& line) {
    // The message says what a reader needs; the fields are for searching the journal.
    return std::string(program) + ": " + std::string(line.message) + "\n";
}

void Log(LogLevel level, std::string_view component, std::string_view message,
         std::initializer_list<LogField> fields) {
    const std::vector<LogField> details(fields);
    const LogLine line{level, component, message, &details};
    // One line at a time, whichever thread speaks: lines never interleave.
    LogState& state = State();
    const std::lock_guard<std::mutex> lock(state.mutex);
    if (state.sink) {
        state.sink(line);
        return;
    }
    const std::string text = StandardErrorText(state.program, line);
    std::fwrite(text.data(), 1, text.size(), stderr);
    std::fflush(stderr);
}

}  // namespace chimeon
