#pragma once

#include <functional>
#include <initializer_list>
#include <string>
#include <string_view>
#include <vector>

namespace chimeon {

// How much a log line matters; the journal's priorities (err, warning, info, debug).
enum class LogLevel { kError = 3, kWarning = 4, kInfo = 6, kDebug = 7 };

// A detail of a log line that a reader may search for (the journal's own field, upper case:
// "FILE", "ROW", "CAUSE").
struct LogField {
    std::string_view name;
    std::string value;
};

struct LogLine {
    LogLevel level = LogLevel::kInfo;
    std::string_view component;  // the part of the program that speaks: "player", "history", ...
    std::string_view message;
    const std::vector<LogField>* fields = nullptr;
};

using LogSink = std::function<void(const LogLine&)>;

// Where log lines go from now on, from every thread; an empty sink is standard error.
void SetLogSink(LogSink sink);
// The program's name on standard error ("chimeon: ...").
void SetLogProgramName(std::string name);

// A line for the administrator, not the operator: what the operator must see goes to the notices
// and the play history as well.
void Log(LogLevel level, std::string_view component, std::string_view message,
         std::initializer_list<LogField> fields = {});

// The text standard error shows for `line`: the program's name and the message.
std::string StandardErrorText(std::string_view program, const LogLine& line);

}  // namespace chimeon
