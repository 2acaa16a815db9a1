#include "broadcaster/status_service.h"

#include <chrono>
#include <sstream>

#include "broadcaster/broadcast_engine.h"
#include "core/status/alert_event.h"
#include "core/system/log.h"
#include "core/system/unattended_rules.h"
#include "platform/history/history_database.h"
#include "platform/history/play_history_reader.h"
#include "platform/status/alert_sender.h"
#include "platform/status/status_server.h"

namespace chimeon {
namespace {

// The page is redrawn from a fresh snapshot this often, so "next" and the time stay current.
constexpr int kPublishIntervalMs = 2000;
// Events older than this are not looked for at start-up (the page lists only the newest).
constexpr int kRecentDays = 7;

}  // namespace

StatusService::StatusService(StatusServiceParts parts, QObject* parent)
    : QObject(parent), parts_(std::move(parts)) {
    for (const std::string& problem : parts_.settings.problems) {
        Log(LogLevel::kWarning, "status", problem);
    }
    AlertTargets targets{parts_.settings.webhook, parts_.settings.program,
                         parts_.settings.arguments};
    if (std::string problem = WebhookUrlProblem(targets.webhookUrl); !problem.empty()) {
        Log(LogLevel::kWarning, "status", problem);
        targets.webhookUrl.clear();
    }
    if (!targets.Empty()) {
        alerts_ = std::make_unique<AlertSender>(
            targets, AlertSenderOptions{}, [this](const std::string& problem) {
                QMetaObject::invokeMethod(this, [this, problem] {
                    RaiseNotice(NoticeTopic::kAlerts,
                                ReportedNotice(NoticeTopic::kAlerts, problem));
                });
            });
    }
    LoadRecentEvents();

    BroadcastEngine& engine = parts_.engine;
    connect(
        &engine, &BroadcastEngine::stateChanged, this,
        [this](const BroadcastState& state) {
            snapshot_.statusText = state.statusText;
            snapshot_.noBroadcastToday = state.noBroadcastToday;
            Publish();
        },
        Qt::QueuedConnection);
    connect(
        &engine, &BroadcastEngine::rowsReplaced, this,
        [this](std::uint64_t, const TodayRows& rows) {
            snapshot_.rows = rows;
            Publish();
        },
        Qt::QueuedConnection);
    connect(
        &engine, &BroadcastEngine::rowChanged, this,
        [this](int row, const TodayRow& value) {
            if (row >= 0 && row < static_cast<int>(snapshot_.rows.size())) {
                snapshot_.rows[static_cast<std::size_t>(row)] = value;
                Publish();
            }
        },
        Qt::QueuedConnection);
    connect(
        &engine, &BroadcastEngine::rowAppended, this,
        [this](const TodayRow& value) {
            snapshot_.rows.push_back(value);
            Publish();
        },
        Qt::QueuedConnection);
    connect(
        &engine, &BroadcastEngine::rowRemoved, this,
        [this](int row) {
            if (row >= 0 && row < static_cast<int>(snapshot_.rows.size())) {
                snapshot_.rows.erase(snapshot_.rows.begin() + row);
                Publish();
            }
        },
        Qt::QueuedConnection);
    // Heard on the recording thread (the engine's): carried over as a copy.
    parts_.history.SetListener(
        [this](const HistoryEvent& event, const std::optional<SoundLevel>& level) {
            QMetaObject::invokeMethod(
                this, [this, event, level] { OnHistory(event, level); }, Qt::QueuedConnection);
        });

    connect(&publishTimer_, &QTimer::timeout, this, &StatusService::Publish);
    publishTimer_.start(kPublishIntervalMs);
    Publish();
    if (parts_.settings.port > 0) {
        StatusServerOptions options;
        options.address = parts_.settings.address;
        options.port = parts_.settings.port;
        std::string error;
        server_ = StatusServer::Start(options, board_, &error);
        if (server_ == nullptr) {
            pageProblem_ = error.empty() ? "cannot listen" : error;
            Log(LogLevel::kError, "status", "the status page is not served: " + error);
        } else {
            Log(LogLevel::kInfo, "status", "the status page is at " + server_->Url());
        }
    }
    clockThread_ = std::thread([this] { ClockLoop(); });
}

StatusService::~StatusService() {
    parts_.history.SetListener(nullptr);
    {
        const std::lock_guard lock(clockMutex_);
        stopping_ = true;
    }
    clockWake_.notify_all();
    clockThread_.join();
    server_.reset();
    alerts_.reset();
}

std::string StatusService::PageUrl() const {
    return server_ != nullptr ? server_->Url() : std::string();
}

void StatusService::FollowZones(std::function<ZoneSnapshot()> zones, std::string stream) {
    zones_ = std::move(zones);
    snapshot_.networkStream = std::move(stream);
    Publish();
}

void StatusService::SetNotice(NoticeTopic topic, const std::string& text) {
    if (notices_.Set(topic, text)) {
        Publish();
    }
}

void StatusService::RaiseNotice(NoticeTopic topic, const std::string& text) {
    SetNotice(topic, text);
    raised_[static_cast<std::size_t>(topic)] = text;
    if (parts_.notice) {
        parts_.notice(topic, text);
    }
}

void StatusService::OnHistory(const HistoryEvent& event, const std::optional<SoundLevel>& level) {
    if (level) {
        SetStatusLevel(snapshot_, event, *level);
        // A later start that sounds clears what a silent one said.
        RaiseNotice(NoticeTopic::kSilentStart,
                    level->silent ? ReportedNotice(NoticeTopic::kSilentStart,
                                                   SilentStartDetail(event.scheduledSecond,
                                                                     event.title, level->output))
                                  : "");
    } else {
        AddStatusEvent(snapshot_, event);
    }
    if (std::optional<AlertEvent> alert = AlertFor(event, level); alert && alerts_ != nullptr) {
        alerts_->Send(*alert);
    }
    Publish();
}

void StatusService::OnClock(const ClockHealth& health) {
    const ClockHealth before = snapshot_.clock;
    snapshot_.clock = health;
    if (health == before) {
        return;
    }
    Log(ClockHealthProblem(health).empty() ? LogLevel::kInfo : LogLevel::kWarning, "clock",
        ClockHealthText(health));
    RaiseNotice(NoticeTopic::kClock,
                ReportedNotice(NoticeTopic::kClock, ClockHealthProblem(health)));
    if (std::optional<AlertEvent> alert = ClockAlert(before, health, parts_.clock.Read().epochMs);
        alert && alerts_ != nullptr) {
        alerts_->Send(*alert);
    }
    Publish();
}

void StatusService::ClockLoop() {
    std::unique_lock lock(clockMutex_);
    while (!stopping_) {
        lock.unlock();
        const ClockHealth health = parts_.clockSync.Ask();
        QMetaObject::invokeMethod(
            this, [this, health] { OnClock(health); }, Qt::QueuedConnection);
        lock.lock();
        clockWake_.wait_for(lock, parts_.clockCheckInterval, [this] { return stopping_; });
    }
}

void StatusService::LoadRecentEvents() {
    const auto today = std::chrono::floor<std::chrono::days>(
        std::chrono::sys_seconds(std::chrono::seconds(parts_.clock.EpochSeconds())));
    const std::chrono::year_month_day since{today - std::chrono::days(kRecentDays)};
    std::string error;
    const auto events =
        ReadPlayHistory(parts_.dataDirectory / kHistoryFileName,
                        IsoDate(static_cast<int>(since.year()),
                                static_cast<int>(static_cast<unsigned>(since.month())),
                                static_cast<int>(static_cast<unsigned>(since.day()))),
                        "", &error);
    if (!events) {
        Log(LogLevel::kWarning, "status", "the page starts without the history: " + error);
        return;
    }
    for (const HistoryEvent& event : *events) {
        AddStatusEvent(snapshot_, event);
    }
}

void StatusService::Publish() {
    const ClockReading now = parts_.clock.Read();
    snapshot_.updatedAtMs = now.epochMs;
    if (zones_) {
        snapshot_.network = zones_();
    }
    const TodayRow* next = NextStart(snapshot_.rows, now.local);
    snapshot_.nextRow = next != nullptr ? static_cast<int>(next - snapshot_.rows.data()) : -1;
    snapshot_.notices.clear();
    std::istringstream lines(notices_.Text());
    for (std::string line; std::getline(lines, line);) {
        snapshot_.notices.push_back(line);
    }
    board_.Publish(StatusJson(snapshot_));
}

}  // namespace chimeon
