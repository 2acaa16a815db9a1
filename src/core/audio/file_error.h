#pragma once

#include <stdexcept>
#include <string>

namespace chimeon {

// Raised by file operations whose callers report the failure and end what they were doing
// (the recorder's save and load). `kind` says what went wrong, `path` which file.
class FileError : public std::runtime_error {
public:
    enum class Kind {
        kGeneric,       // an unspecified error, such as a file that could not be created
        kFileNotFound,  // no such file
        kAccessDenied,  // no permission, or the name is a folder or other special file
        kInvalidFile,   // the contents are not in the expected form
        kDiskFull,      // no space left while writing
        kHardIo,        // the device failed while reading or writing
    };

    FileError(Kind kind, std::string path);

    Kind kind() const { return kind_; }
    const std::string& path() const { return path_; }

    // The kind that an errno value of a failed open, read or write stands for.
    static Kind KindFromErrno(int error);

private:
    Kind kind_;
    std::string path_;
};

// What the operator is told about a file error (the standard file-error message box).
std::string FileErrorMessage(const FileError& error);

}  // namespace chimeon
