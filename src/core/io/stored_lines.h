#pragma once

#include <string>
#include <string_view>

namespace chimeon {

// Reads the lines of a stored text file as bytes: a line ends at LF and one CR directly before the
// LF goes with it (what Windows' text mode did); any other byte, a lone CR included, is kept.
class StoredLineReader {
public:
    explicit StoredLineReader(std::string_view bytes) : rest_(bytes) {}

    // True once every byte has been read.
    bool AtEnd() const { return rest_.empty(); }

    // The next line without its line end; "" once the file is used up (a missing line reads as
    // empty).
    std::string_view Next();

private:
    std::string_view rest_;
};

// Appends the line and the CR LF every stored file uses.
void AppendStoredLine(std::string& out, std::string_view line);

// True when the text would break the line structure of a stored file.
bool HasLineBreak(std::string_view text);

}  // namespace chimeon
