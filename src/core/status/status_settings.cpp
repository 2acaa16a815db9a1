#include "core/status/status_settings.h"

#include <sstream>

namespace chimeon {

StatusSettings ReadStatusSettings(const SettingsStore& section) {
    StatusSettings settings;
    settings.address = section.GetString(status_key::kAddress, settings.address);
    if (settings.address.empty()) {
        settings.address = "127.0.0.1";
    }
    settings.port = section.GetInt(status_key::kPort, kDefaultStatusPort);
    if (settings.port < 0 || settings.port > 65535) {
        settings.problems.push_back("[Status] Port=" + std::to_string(settings.port) +
                                    " is no port: the status page is not served");
        settings.port = 0;
    }
    settings.webhook = section.GetString(status_key::kWebhook, "");
    settings.program = section.GetString(status_key::kProgram, "");
    if (!settings.program.empty() && settings.program.front() != '/') {
        settings.problems.push_back("[Status] AlertProgram=" + settings.program +
                                    " is no absolute path: no alert goes to a program");
        settings.program.clear();
    }
    std::istringstream words(section.GetString(status_key::kArguments, ""));
    for (std::string word; words >> word;) {
        settings.arguments.push_back(word);
    }
    return settings;
}

}  // namespace chimeon
