#include "platform/system/journal_log.h"

#include <sys/stat.h>
#include <sys/uio.h>
#include <systemd/sd-journal.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <vector>

namespace chimeon {

bool StandardErrorIsJournal() {
    const char* stream = std::getenv("JOURNAL_STREAM");
    struct stat status {};
    if (stream == nullptr || ::fstat(STDERR_FILENO, &status) != 0) {
        return false;
    }
    unsigned long long device = 0;
    unsigned long long inode = 0;
    if (std::sscanf(stream, "%llu:%llu", &device, &inode) != 2) {
        return false;
    }
    // A child that kept the variable but not the stream writes to standard error as usual.
    return device == static_cast<unsigned long long>(status.st_dev) &&
           inode == static_cast<unsigned long long>(status.st_ino);
}

LogSink JournalLogSink(std::string identifier) {
    return [identifier = std::move(identifier)](const LogLine& line) {
        std::vector<std::string> texts;
        texts.push_back("MESSAGE=" + std::string(line.message));
        texts.push_back("PRIORITY=" + std::to_string(static_cast<int>(line.level)));
        texts.push_back("SYSLOG_IDENTIFIER=" + identifier);
        if (!line.component.empty()) {
            texts.push_back("CHIMEON_COMPONENT=" + std::string(line.component));
        }
        if (line.fields != nullptr) {
            for (const LogField& field : *line.fields) {
                texts.push_back("CHIMEON_" + std::string(field.name) + "=" + field.value);
            }
        }
        std::vector<iovec> parts;
        parts.reserve(texts.size());
        for (std::string& text : texts) {
            parts.push_back({text.data(), text.size()});
        }
        if (sd_journal_sendv(parts.data(), static_cast<int>(parts.size())) < 0) {
            // No journal after all: the line is not lost.
            std::fprintf(stderr, "%s: %.*s\n", identifier.c_str(),
                         static_cast<int>(line.message.size()), line.message.data());
        }
    };
}

void UseProgramLog(const std::string& programName) {
    SetLogProgramName(programName);
    SetLogSink(StandardErrorIsJournal() ? JournalLogSink(programName) : LogSink{});
}

}  // namespace chimeon
