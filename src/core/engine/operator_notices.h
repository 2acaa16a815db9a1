#pragma once

#include <array>
#include <string>
#include <string_view>

namespace chimeon {

// What a notice on the today page is about, most urgent first.
enum class NoticeTopic {
    kBroadcaster = 0,  // the window has lost the broadcaster and is looking for it
    kAudioOutput,
    kSilentStart,  // the last start sent silence out (cleared by one that sounds)
    kClock,        // the system clock is not known to be synchronised
    kDataFolder,   // the data folder cannot be written (settings and tables are not stored)
    kPlayHistory,
    kRecordings,  // recordings rescued after a crash, and where they are
    kTray,        // the desktop has no tray to hide the window in
    kNetwork,     // a bell that did not reach the network output or one of its zones
    kAlerts,      // an alert could not be sent
};
inline constexpr int kNoticeTopicCount = 10;

// The problems the operator must know of now, one text per topic. They are shown together, most
// urgent topic first; a topic's notice stays until its reporter clears it.
class OperatorNotices {
public:
    // Sets the notice of `topic` ("" clears it); true when the text shown changes.
    bool Set(NoticeTopic topic, std::string text);
    // Every notice, one a line, most urgent first; "" when there is none.
    std::string Text() const;

private:
    std::array<std::string, kNoticeTopicCount> texts_;
};

// The topic's words for the operator.
std::string_view NoticeLead(NoticeTopic topic);
// kBroadcaster's words when a broadcaster of the data directory runs where the window cannot
// reach it (started from another login, or without a session bus).
inline constexpr std::string_view kBroadcasterOutOfReach =
    "广播程序正在运行，但窗口无法连接它（它不在这个桌面的会话总线上，比如是从另一个登录启动的）。"
    "铃声照常按时播放；它一出现在总线上，窗口就自动连接。";
// The notice for a problem that a part of the program reports in its own words (the technical
// detail; "" when it has gone): the topic's words for the operator, the detail after them (in
// parentheses, unless the words end in "：").
std::string ReportedNotice(NoticeTopic topic, const std::string& problem);

}  // namespace chimeon
