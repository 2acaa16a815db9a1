#include "core/audio/sound_error_text.h"

#include <cerrno>
#include <cstdlib>

namespace chimeon {

std::string SoundErrorText(int error, const std::string& systemText) {
    switch (std::abs(error)) {
        case ENOENT:  // no such device, or no sound server to reach
        case ENODEV:
        case ENXIO:
        case ECONNREFUSED:
        case EHOSTDOWN:
            return "没有可用的声音设备";
        case EBUSY:
            return "声音设备正被其他程序占用";
        case EACCES:
        case EPERM:
            return "没有使用声音设备的权限";
        case ETIMEDOUT:
            return "声音设备没有响应";
        case ESTRPIPE:
            return "声音设备已被挂起";
        case EPIPE:
            return "声音数据来不及处理";
        case EINVAL:
            return "声音设备不支持这种格式";
        case ENOSPC:
            return "磁盘已满";
        case EDQUOT:
            return "磁盘配额已用完";
        case EFBIG:
            return "录音文件已达到最大长度";
        case EROFS:
            return "磁盘是只读的";
        case EIO:
            return "读写出错（" + systemText + "）";
        default:
            return "声音设备出错（" + systemText + "）";
    }
}

}  // namespace chimeon
