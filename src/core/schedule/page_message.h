#pragma once

#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

namespace chimeon {

// Texts of the editing pages' messages (UTF-8).
inline constexpr std::string_view kSavedTitle = "成功";
inline constexpr std::string_view kSavedMessage = "保存完毕！";

// The title of an operator message box.
enum class MessageTitle {
    kApplication,  // the program's title
    kSuccess,      // "成功"
    kReminder,     // "提醒"
};

// What an editing page tells the operator after an operation; nothing when the text is empty.
struct PageMessage {
    MessageTitle title = MessageTitle::kApplication;
    std::string text;

    bool IsEmpty() const { return text.empty(); }
    bool operator==(const PageMessage&) const = default;
};

PageMessage NotLoggedIn();
PageMessage Saved();
// A save that did not complete: which files were not written; each is as it was before.
PageMessage SaveFailed(const std::vector<std::filesystem::path>& unwritten);
// A stored table that is there but cannot be read, and why.
PageMessage TableUnreadable(const std::filesystem::path& file, const std::string& problem);

}  // namespace chimeon
