#include "core/schedule/page_message.h"

#include "core/app/app_state.h"

namespace chimeon {

PageMessage NotLoggedIn() {
    return {MessageTitle::kApplication, std::string(kNotLoggedInMessage)};
}

PageMessage Saved() {
    return {MessageTitle::kSuccess, std::string(kSavedMessage)};
}

PageMessage SaveFailed(const std::vector<std::filesystem::path>& unwritten) {
    std::string files;
    for (const std::filesystem::path& file : unwritten) {
        files += (files.empty() ? "" : "、") + file.string();
    }
    return {MessageTitle::kApplication, "保存失败！无法写入：" + files + "\n原来的文件保持不变。"};
}

PageMessage TableUnreadable(const std::filesystem::path& file, const std::string& problem) {
    return {MessageTitle::kReminder, "无法读取“" + file.string() + "”（" + problem + "）！"};
}

}  // namespace chimeon
