#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "core/app/settings_store.h"

namespace chimeon {

// The section of setup.ini with the status page's and the alerts' settings; the old program never
// reads it.
inline constexpr std::string_view kStatusSection = "Status";
// The status page's port unless setup.ini says otherwise (an unassigned one, kept fixed so a
// bookmark stays good).
inline constexpr int kDefaultStatusPort = 8631;

namespace status_key {
inline constexpr std::string_view kAddress = "Address";           // "127.0.0.1"
inline constexpr std::string_view kPort = "Port";                 // 8631; 0 serves no page
inline constexpr std::string_view kWebhook = "AlertWebhook";      // URL, ""
inline constexpr std::string_view kProgram = "AlertProgram";      // absolute path, ""
inline constexpr std::string_view kArguments = "AlertArguments";  // words split at spaces, ""
}  // namespace status_key

struct StatusSettings {
    std::string address = "127.0.0.1";
    int port = kDefaultStatusPort;
    std::string webhook;
    std::string program;
    std::vector<std::string> arguments;
    // What is wrong with them, one sentence each (the page is then not served, or an alert target
    // left out); empty when all is well.
    std::vector<std::string> problems;
};

// Reads the section through a store opened on it. A port outside 0..65535 serves no page; a
// program that is not an absolute path is left out (it is never looked up or run by a shell).
StatusSettings ReadStatusSettings(const SettingsStore& section);

}  // namespace chimeon
