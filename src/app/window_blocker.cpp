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
    const std::filesystem::path request = dataDirectory_ / "block-window.txt";
    const auto text = ReadFileBytes(request);
    if (!text) {
        return;
    }
    std::error_code ignored;
    std::filesystem::remove(request, ignored);
    const std::filesystem::path held = dataDirectory_ / "window-blocked.txt";
    std::ofstream(held) << *text;
    QThread::msleep(static_cast<unsigned long>(LeadingNumber(*text)));
    std::filesystem::remove(held, ignored);
}

}  // namespace chimeon
