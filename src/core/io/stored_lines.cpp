#include "core/io/stored_lines.h"

namespace chimeon {

std::string_view StoredLineReader::Next() {
    size_t end = rest_.find('\n');
    std::string_view line = rest_.substr(0, end);
    rest_.remove_prefix(end == std::string_view::npos ? rest_.size() : end + 1);
    if (end != std::string_view::npos && !line.empty() && line.back() == '\r') {
        line.remove_suffix(1);
    }
    return line;
}

void AppendStoredLine(std::string& out, std::string_view line) {
    out.append(line);
    out.append("\r\n");
}

bool HasLineBreak(std::string_view text) {
    return text.find_first_of("\r\n") != std::string_view::npos;
}

}  // namespace chimeon
