#pragma once

#include <filesystem>
#include <string>

namespace chimeon {

// An errno value in the operator's words: "没有权限", "是一个文件夹", "磁盘已满", ...; one the
// program does not expect gets its number ("系统错误（错误号 N）"), never the system's English.
std::string FileErrorText(int error);

// Why a file could not be opened for reading (the errno from ReadFileBytes or ReadOnlyFile::Open),
// in a few words: "符号链接指向的文件不存在", "没有读取权限", "是一个文件夹", "不是普通文件", ...
std::string ReadProblem(const std::filesystem::path& file, int error);

}  // namespace chimeon
