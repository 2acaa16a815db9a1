#include "platform/status/alert_sender.h"

#include <fcntl.h>
#include <httplib.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <regex>
#include <string_view>

#include "core/system/log.h"

extern char** environ;

namespace chimeon {
namespace {

// scheme://host[:port], then the path.
const std::regex kUrl(R"(^(https?://[^/?#\s]+)(/[^\s]*)?$)", std::regex::icase);

// All of `text` into the non-blocking `fd` by `deadline`; false with the reason.
bool WriteWhole(int fd, std::string_view text, std::chrono::steady_clock::time_point deadline,
                std::string* why) {
    while (!text.empty()) {
        const ssize_t n = write(fd, text.data(), text.size());
        if (n > 0) {
            text.remove_prefix(static_cast<std::size_t>(n));
            continue;
        }
        if (n < 0 && errno != EINTR && errno != EAGAIN && errno != EWOULDBLOCK) {
            *why = "did not take the event on its standard input: " +
                   std::string(std::strerror(errno));
            return false;
        }
        const auto left = std::chrono::ceil<std::chrono::milliseconds>(
            deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0) {
            *why = "did not read the event on its standard input in time (" +
                   std::to_string(text.size()) + " bytes left)";
            return false;
        }
        pollfd ready{fd, POLLOUT, 0};
        poll(&ready, 1, static_cast<int>(left.count()));
    }
    return true;
}

}  // namespace

std::string WebhookUrlProblem(const std::string& url) {
    if (url.empty() || std::regex_match(url, kUrl)) {
        return {};
    }
    return "the alert webhook \"" + url + "\" is no http:// or https:// URL";
}

AlertSender::AlertSender(AlertTargets targets, AlertSenderOptions options,
                         std::function<void(const std::string& problem)> gaveUp)
    : targets_(std::move(targets)), options_(options), gaveUp_(std::move(gaveUp)) {
    worker_ = std::thread([this] { Loop(); });
}

AlertSender::~AlertSender() {
    {
        const std::lock_guard lock(mutex_);
        stopping_ = true;
    }
    wake_.notify_all();
    worker_.join();
}

void AlertSender::Send(AlertEvent event) {
    if (targets_.Empty()) {
        return;
    }
    {
        const std::lock_guard lock(mutex_);
        if (queue_.size() >= options_.maxQueued) {
            Log(LogLevel::kWarning, "alert",
                "alert dropped, too many waiting: " + std::string(AlertKindName(event.kind)) + " " +
                    event.title);
            return;
        }
        queue_.push_back(std::move(event));
    }
    wake_.notify_one();
}

bool AlertSender::Wait(std::chrono::milliseconds delay) {
    std::unique_lock lock(mutex_);
    return !wake_.wait_for(lock, delay, [this] { return stopping_; });
}

void AlertSender::Loop() {
    // A program that ends without reading its input makes the write fail, not end the process.
    sigset_t pipeSignal;
    sigemptyset(&pipeSignal);
    sigaddset(&pipeSignal, SIGPIPE);
    pthread_sigmask(SIG_BLOCK, &pipeSignal, nullptr);
    struct Target {
        std::string name;
        bool (AlertSender::*send)(const std::string&, std::string*) const;
        std::string gaveUpWith;  // what it failed with when last given up, "" once it delivers
    };
    std::vector<Target> targets;
    if (!targets_.webhookUrl.empty()) {
        targets.push_back({"webhook " + targets_.webhookUrl, &AlertSender::Post, {}});
    }
    if (!targets_.program.empty()) {
        targets.push_back({"program " + targets_.program, &AlertSender::RunProgram, {}});
    }
    for (;;) {
        AlertEvent event;
        {
            std::unique_lock lock(mutex_);
            wake_.wait(lock, [this] { return stopping_ || !queue_.empty(); });
            if (stopping_) {
                return;
            }
            event = std::move(queue_.front());
            queue_.pop_front();
        }
        const std::string body = AlertJson(event);
        for (Target& target : targets) {
            std::string why;
            bool sent = false;
            for (int attempt = 0; attempt < options_.attempts && !sent; ++attempt) {
                if (attempt > 0 && !Wait(AlertRetryDelay(attempt, options_.firstRetry))) {
                    return;
                }
                sent = (this->*target.send)(body, &why);
            }
            std::string said;
            if (sent) {
                if (target.gaveUpWith.empty()) {
                    continue;
                }
                // Delivering again takes back what was said, unless another target still fails.
                target.gaveUpWith.clear();
                for (const Target& other : targets) {
                    if (!other.gaveUpWith.empty()) {
                        said = other.gaveUpWith;
                    }
                }
                Log(LogLevel::kInfo, "alert", target.name + " delivers again");
            } else {
                said = std::string(AlertKindName(event.kind)) + " " + event.title + " → " +
                       target.name + "（" + std::to_string(options_.attempts) + " 次都失败：" +
                       why + "）";
                target.gaveUpWith = said;
                Log(LogLevel::kError, "alert", said);
            }
            if (gaveUp_) {
                gaveUp_(said);
            }
        }
    }
}

bool AlertSender::Post(const std::string& body, std::string* why) const {
    std::smatch parts;
    if (!std::regex_match(targets_.webhookUrl, parts, kUrl)) {
        *why = WebhookUrlProblem(targets_.webhookUrl);
        return false;
    }
    httplib::Client client(parts[1].str());
    const auto seconds = std::chrono::duration_cast<std::chrono::seconds>(options_.timeout);
    client.set_connection_timeout(seconds);
    client.set_read_timeout(seconds);
    client.set_write_timeout(seconds);
    const std::string path = parts[2].matched ? parts[2].str() : "/";
    const httplib::Result result = client.Post(path, body, "application/json; charset=utf-8");
    if (!result) {
        *why = httplib::to_string(result.error());
        return false;
    }
    if (result->status < 200 || result->status >= 300) {
        *why = "HTTP " + std::to_string(result->status);
        return false;
    }
    return true;
}

bool AlertSender::RunProgram(const std::string& body, std::string* why) const {
    int input[2];
    if (pipe2(input, O_CLOEXEC) != 0) {
        *why = std::strerror(errno);
        return false;
    }
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, input[0], STDIN_FILENO);
    // The program starts with no signal blocked and every one at its default, whatever this
    // thread blocks (SIGPIPE) or the broadcaster ignores: a script or curl must see a closed
    // pipe as a normal program does.
    posix_spawnattr_t attributes;
    posix_spawnattr_init(&attributes);
    sigset_t none;
    sigset_t all;
    sigemptyset(&none);
    sigfillset(&all);
    posix_spawnattr_setsigmask(&attributes, &none);
    posix_spawnattr_setsigdefault(&attributes, &all);
    posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF);
    std::vector<std::string> words{targets_.program};
    words.insert(words.end(), targets_.arguments.begin(), targets_.arguments.end());
    std::vector<char*> argv;
    for (std::string& word : words) {
        argv.push_back(word.data());
    }
    argv.push_back(nullptr);
    pid_t pid = 0;
    const int spawned =
        posix_spawn(&pid, targets_.program.c_str(), &actions, &attributes, argv.data(), environ);
    posix_spawnattr_destroy(&attributes);
    posix_spawn_file_actions_destroy(&actions);
    close(input[0]);
    if (spawned != 0) {
        close(input[1]);
        *why = "cannot be started: " + std::string(std::strerror(spawned));
        return false;
    }
    const auto deadline = std::chrono::steady_clock::now() + options_.timeout;
    // A program that does not read its input must not stall the sender on a full pipe.
    fcntl(input[1], F_SETFL, O_NONBLOCK);
    const bool written = WriteWhole(input[1], body, deadline, why);
    close(input[1]);
    int status = 0;
    pid_t ended = 0;
    while (written && (ended = waitpid(pid, &status, WNOHANG)) == 0 &&
           std::chrono::steady_clock::now() < deadline) {
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    if (ended == 0) {
        // Also a run that has only part of the event: the retry must not run beside it.
        kill(pid, SIGKILL);
        waitpid(pid, &status, 0);
        if (written) {
            *why = "did not end within " + std::to_string(options_.timeout.count()) + " ms";
        }
        return false;
    }
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
        *why = WIFEXITED(status) ? "exit status " + std::to_string(WEXITSTATUS(status))
                                 : "ended by a signal";
        return false;
    }
    return true;
}

}  // namespace chimeon
