#include "core/io/file_problem.h"

#include <sys/stat.h>

#include <cerrno>

namespace chimeon {
namespace fs = std::filesystem;

std::string FileErrorText(int error) {
    switch (error) {
        case ENOENT:
            return "不存在";
        case EACCES:
        case EPERM:
            return "没有权限";
        case EISDIR:
            return "是一个文件夹";
        case ENXIO:
            return "不是普通文件";
        case ENODEV:
            return "设备不存在";
        case ENOTDIR:
            return "路径中的一段不是文件夹";
        case ELOOP:
            return "符号链接太多或成环";
        case ENAMETOOLONG:
            return "路径太长";
        case EROFS:
            return "所在的磁盘是只读的";
        case ENOSPC:
            return "磁盘已满";
        case EDQUOT:
            return "超出了磁盘配额";
        case EFBIG:
            return "文件太大";
        case EIO:
            return "磁盘读写出错";
        case EMFILE:
        case ENFILE:
            return "打开的文件太多";
        case ENOMEM:
            return "内存不足";
        case EBUSY:
        case ETXTBSY:
            return "正被占用";
        case EEXIST:
            return "已经存在";
        case EAGAIN:
        case EINTR:
            return "暂时无法访问";
        case ESTALE:
        case ETIMEDOUT:
        case EHOSTDOWN:
        case EHOSTUNREACH:
        case ENOTCONN:
        case ENETDOWN:
        case ENETUNREACH:
            return "网络共享没有响应";
        case ECONNREFUSED:
            return "连接被拒绝";
        default:
            return "系统错误（错误号 " + std::to_string(error) + "）";
    }
}

std::string ReadProblem(const fs::path& file, int error) {
    struct stat info {};
    if (error == ENOENT && ::lstat(file.c_str(), &info) == 0) {
        return "符号链接指向的文件不存在";  // the name is there, what it points to is not
    }
    if (error == EACCES || error == EPERM) {
        return "没有读取权限";
    }
    return FileErrorText(error);
}

}  // namespace chimeon
