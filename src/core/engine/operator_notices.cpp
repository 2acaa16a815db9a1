#include "core/engine/operator_notices.h"

#include <utility>

namespace chimeon {

std::string_view NoticeLead(NoticeTopic topic) {
    switch (topic) {
        case NoticeTopic::kAudioOutput:
            return "没有音频输出，铃声和节目放不出声音！";
        case NoticeTopic::kPlayHistory:
            return "播放记录写不进去，播放的情况不会被记下！";
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
    return std::string(NoticeLead(topic)) + "（" + problem + "）";
}

}  // namespace chimeon
