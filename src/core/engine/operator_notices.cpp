#include "core/engine/operator_notices.h"

#include <utility>

namespace chimeon {

std::string_view NoticeLead(NoticeTopic topic) {
    switch (topic) {
        case NoticeTopic::kBroadcaster:
            return "广播程序没有运行，正在重新连接…";
        case NoticeTopic::kAudioOutput:
            return "没有音频输出，铃声和节目放不出声音！";
        case NoticeTopic::kSilentStart:
            return "播放没有声音：";
        case NoticeTopic::kClock:
            return "系统时钟可能不准，铃声可能不准时！";
        case NoticeTopic::kDataFolder:
            return "数据文件夹不能写入，修改的设置和节目表保存不了！";
        case NoticeTopic::kPlayHistory:
            return "播放记录写不进去，播放的情况不会被记下！";
        case NoticeTopic::kRecordings:
            return "上次录音时程序意外中断，已救回录音：";
        case NoticeTopic::kAlerts:
            return "告警没有发出去：";
        case NoticeTopic::kTray:
            return "桌面上没有系统托盘：关闭或最大化主窗口时，窗口只最小化到任务栏，广播照常进行。"
                   "关闭主窗口时可以选择退出程序。";
        case NoticeTopic::kNetwork:
            return "网络广播：";
    }
    return "";
}

bool OperatorNotices::Set(NoticeTopic topic, std::string text) {
    const std::string before = Text();
    texts_[static_cast<std::size_t>(topic)] = std::move(text);
    return Text() != before;
}

std::string OperatorNotices::Text() const {
    std::string text;
    for (const std::string& notice : texts_) {
        if (!notice.empty()) {
            text += (text.empty() ? "" : "\n") + notice;
        }
    }
    return text;
}

std::string ReportedNotice(NoticeTopic topic, const std::string& problem) {
    if (problem.empty()) {
        return {};
    }
    const std::string_view lead = NoticeLead(topic);
    // A lead that ends in "：" is followed by what it announces (the rescued files).
    if (lead.ends_with("：")) {
        return std::string(lead) + problem;
    }
    return std::string(lead) + "（" + problem + "）";
}

}  // namespace chimeon
