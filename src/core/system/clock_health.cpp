#include "core/system/clock_health.h"

namespace chimeon {

const char* ClockSyncName(ClockSync sync) {
    switch (sync) {
        case ClockSync::kSynchronized:
            return "synchronized";
        case ClockSync::kNotSynchronized:
            return "not_synchronized";
        case ClockSync::kNoAnswer:
            return "no_answer";
        case ClockSync::kUnchecked:
            break;
    }
    return "unchecked";
}

ClockSync ClockSyncFromName(std::string_view name) {
    for (ClockSync sync :
         {ClockSync::kSynchronized, ClockSync::kNotSynchronized, ClockSync::kNoAnswer}) {
        if (name == ClockSyncName(sync)) {
            return sync;
        }
    }
    return ClockSync::kUnchecked;
}

std::string ClockHealthText(const ClockHealth& health) {
    switch (health.sync) {
        case ClockSync::kSynchronized:
            return "系统时钟已与网络时间同步";
        case ClockSync::kNotSynchronized:
            return "系统时钟未与网络时间同步";
        case ClockSync::kNoAnswer:
            return "无法得知系统时钟是否同步（时间服务没有应答" +
                   (health.detail.empty() ? std::string() : "：" + health.detail) + "）";
        case ClockSync::kUnchecked:
            break;
    }
    return "尚未检查系统时钟";
}

std::string ClockHealthProblem(const ClockHealth& health) {
    if (health.sync == ClockSync::kSynchronized || health.sync == ClockSync::kUnchecked) {
        return {};
    }
    return ClockHealthText(health);
}

}  // namespace chimeon
