#include "app/window_blocker.h"

#include <QThread>
#include <fstream>
#include <string>
#include <system_error>

#include "core/io/file_descriptor.h"
#include "core/text/leading_number.h"

namespace chimeon {

WindowBlocker::WindowBlocker(std::filesystem::path dataDirectory)
    : dataDirectory_(std::move(dataDirectory)) {
    QObject::connect(&poll_, &QTimer::timeout, [this] { Poll(); });
    poll_.start(50);
}

void WindowBlocker::Poll() {
    HoldThreadOnRequest(dataDirectory_, "block-window.txt", "window-blocked.txt");
}

void HoldThreadOnRequest(const std::filesystem::path& dataDirectory, std::string_view request,
                         std::string_view held) {
    const auto text = ReadFileBytes(dataDirectory / request);
    if (!text) {
        return;
    }
    std::error_code ignored;
    std::filesystem::remove(dataDirectory / request, ignored);
    std::ofstream(dataDirectory / held) << *text;
    QThread::msleep(static_cast<unsigned long>(LeadingNumber(*text)));
    std::filesystem::remove(dataDirectory / held, ignored);
}

}  // namespace chimeon
