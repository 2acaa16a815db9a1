// The status page in a real browser (headless Chromium through Selenium), served by a running
// chimeond: it shows today's rows and the next start, and redraws when a bell starts.
#include <gtest/gtest.h>
#include <httplib.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>

#include "core/schedule/schedule_file.h"
#include "e2e/e2e_support.h"
#include "support/run_program.h"
#include "support/temp_dir.h"

namespace chimeon {
namespace {

namespace fs = std::filesystem;

constexpr const char* kBrowser = R"PY(
import sys, tempfile
from selenium import webdriver
from selenium.webdriver.chrome.service import Service
from selenium.webdriver.support.ui import WebDriverWait
options = webdriver.ChromeOptions()
for flag in ("--headless=new", "--no-sandbox", "--disable-gpu", "--disable-dev-shm-usage",
             "--user-data-dir=" + tempfile.mkdtemp()):
    options.add_argument(flag)
driver = webdriver.Chrome(service=Service("/usr/bin/chromedriver"), options=options)
try:
    driver.get(sys.argv[1])
    text = lambda id: driver.find_element("id", id).text
    WebDriverWait(driver, 20).until(lambda d: "上课铃" in text("rows") and text("next") == "8:0:0 上课铃")
    print("LOADED", text("zones"), flush=True)
    WebDriverWait(driver, 30).until(lambda d: "上课铃" in text("events"))
    print("UPDATED", text("events").splitlines()[0], flush=True)
finally:
    driver.quit()
)PY";

int FreePort() {
    const int fd = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address);
    getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length);
    close(fd);
    return ntohs(address.sin_port);
}

TEST(StatusPage, ABrowserShowsTheRowsAndTheNextStartAndRedrawsWhenABellStarts) {
    if (!fs::exists("/usr/bin/chromium") || !fs::exists("/usr/bin/chromedriver") ||
        test::RunProgram("/usr/bin/python3", {"-c", "import selenium"}).exitCode != 0) {
        GTEST_SKIP() << "no chromium, chromium-driver or python3-selenium";
    }
    test::TempDir dir;
    const fs::path data = dir.path();
    const int port = FreePort();
    std::ofstream(data / "setup.ini", std::ios::binary)
        << "[Settings]\r\n[Status]\r\nPort=" << port << "\r\n";
    test::WriteTone(data / "bell.wav", 1);
    const ProgramItem bell{"上课铃", "8:0:0", "播完终止", "100", "", (data / "bell.wav").string()};
    ASSERT_TRUE(SaveScheduleFile(data / "Day1.dat", {bell}));
    test::SetClock(data, "2026-12-07 07:59:50");
    const pid_t daemon = test::Spawn(
        {CHIMEOND_E2E_EXECUTABLE, "--data-dir", data.string()},
        {"DISPLAY", "WAYLAND_DISPLAY", std::string("GST_REGISTRY=") + CHIMEON_TEST_GST_REGISTRY},
        data / "daemon.out");
    ASSERT_GT(daemon, 0);
    httplib::Client client("127.0.0.1", port);
    ASSERT_TRUE(test::WaitFor(
        [&] {
            auto answer = client.Get("/api/status");
            return answer && answer->body.find("上课铃") != std::string::npos;
        },
        30))
        << dir.Read("daemon.out");

    const std::string url = "http://127.0.0.1:" + std::to_string(port) + "/";
    const pid_t browser =
        test::Spawn({"/usr/bin/python3", "-c", kBrowser, url}, {}, data / "browser.out");
    EXPECT_TRUE(test::WaitFor([&] { return dir.Read("browser.out").find("LOADED") == 0; }, 60))
        << dir.Read("browser.out");
    EXPECT_NE(dir.Read("browser.out").find("未配置网络输出"), std::string::npos);
    test::SetClock(data, "2026-12-07 08:00:00");  // the bell starts (or fails without a sound card)
    EXPECT_TRUE(test::WaitFor(
        [&] { return dir.Read("browser.out").find("UPDATED") != std::string::npos; }, 40))
        << dir.Read("browser.out");
    test::Stop(browser);
    test::Stop(daemon);
}

}  // namespace
}  // namespace chimeon
