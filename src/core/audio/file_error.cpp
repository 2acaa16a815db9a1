#include "core/audio/file_error.h"

#include <cerrno>

namespace chimeon {
namespace {

const char* Describe(FileError::Kind kind) {
    switch (kind) {
        case FileError::Kind::kFileNotFound:
            return "file not found";
        case FileError::Kind::kAccessDenied:
            return "access denied";
        case FileError::Kind::kInvalidFile:
            return "invalid file";
        case FileError::Kind::kDiskFull:
            return "disk full";
        case FileError::Kind::kHardIo:
            return "input/output error";
        case FileError::Kind::kGeneric:
            break;
    }
    return "file error";
}

}  // namespace

FileError::FileError(Kind kind, std::string path)
    : std::runtime_error(std::string(Describe(kind)) + ": " + path),
      kind_(kind),
      path_(std::move(path)) {}

std::string FileErrorMessage(const FileError& error) {
    const std::string& file = error.path();
    switch (error.kind()) {
        case FileError::Kind::kFileNotFound:
            return "未找到 " + file + "。";
        case FileError::Kind::kAccessDenied:
            return "拒绝访问 " + file + "。";
        case FileError::Kind::kInvalidFile:
            return file + " 的文件格式无效。";
        case FileError::Kind::kDiskFull:
            return "磁盘已满，无法写入 " + file + "。";
        case FileError::Kind::kHardIo:
            return "读写 " + file + " 时发生硬件 I/O 错误。";
        case FileError::Kind::kGeneric:
            break;
    }
    return "访问 " + file + " 时发生意外错误。";
}

FileError::Kind FileError::KindFromErrno(int error) {
    switch (error) {
        case ENOENT:
        case ENOTDIR:
            return Kind::kFileNotFound;
        case EACCES:
        case EPERM:
        case EISDIR:
        case ENXIO:
        case EROFS:
            return Kind::kAccessDenied;
        case ENOSPC:
        case EDQUOT:
            return Kind::kDiskFull;
        case EIO:
            return Kind::kHardIo;
        default:
            return Kind::kGeneric;
    }
}

}  // namespace chimeon
