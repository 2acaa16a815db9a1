#pragma once

#include <QTimer>
#include <filesystem>
#include <string_view>

namespace chimeon {

// Test build only: when `request` exists in the data directory, holds the calling thread for the
// number of milliseconds it holds, with `held` there meanwhile.
void HoldThreadOnRequest(const std::filesystem::path& dataDirectory, std::string_view request,
                         std::string_view held);

// Test build only: holds the window's thread on request, so that a whole-program test can show
// that a bell does not wait for the window. A file "block-window.txt" in the data directory with
// a number of milliseconds asks for it; "window-blocked.txt" exists while the thread is held.
class WindowBlocker {
public:
    explicit WindowBlocker(std::filesystem::path dataDirectory);

private:
    void Poll();

    std::filesystem::path dataDirectory_;
    QTimer poll_;
};

}  // namespace chimeon
