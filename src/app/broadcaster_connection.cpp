#include "app/broadcaster_connection.h"

#include <signal.h>

#include <QDBusConnectionInterface>
#include <QProcess>
#include <QStandardPaths>
#include <cerrno>
#include <cstdlib>
#include <fstream>
#include <system_error>

#include "core/app/program_directory.h"
#include "core/engine/operator_notices.h"
#include "core/system/log.h"
#include "platform/app/single_instance_lock.h"

namespace chimeon {
namespace {

constexpr char kUnit[] = "chimeond.service";
constexpr int kSystemctlWaitMs = 3000;

bool SameFolder(const std::filesystem::path& a, const std::filesystem::path& b) {
    std::error_code error;
    return std::filesystem::weakly_canonical(a, error) ==
           std::filesystem::weakly_canonical(b, error);
}

// The user unit runs the installed broadcaster, which keeps its data in the user's data folder:
// it serves this window only when that is the window's data directory and the unit is enabled.
bool UnitServes(const std::filesystem::path& dataDirectory) {
    if (!SameFolder(dataDirectory, XdgBaseFolder(std::getenv("XDG_DATA_HOME"), std::getenv("HOME"),
                                                 ".local/share") /
                                       "Chimeon")) {
        return false;
    }
    QProcess systemctl;
    systemctl.start(QStringLiteral("systemctl"),
                    {QStringLiteral("--user"), QStringLiteral("--quiet"),
                     QStringLiteral("is-enabled"), QLatin1String(kUnit)});
    return systemctl.waitForFinished(kSystemctlWaitMs) &&
           systemctl.exitStatus() == QProcess::NormalExit && systemctl.exitCode() == 0;
}

// "chimeond" for "chimeon" (and the test build's "chimeond_e2e" for "chimeon_e2e"): beside the
// window's program first, else on PATH.
QString BroadcasterProgram(const std::filesystem::path& windowProgram) {
    std::string name = windowProgram.filename().string();
    const std::string_view window = "chimeon";
    name = name.starts_with(window) ? "chimeond" + name.substr(window.size()) : "chimeond";
    const std::filesystem::path beside = windowProgram.parent_path() / name;
    std::error_code error;
    if (!windowProgram.empty() && std::filesystem::is_regular_file(beside, error)) {
        return QString::fromStdString(beside.string());
    }
    return QStandardPaths::findExecutable(QString::fromStdString(name));
}

// The process is there and has not ended: one that ended stays a zombie until its parent (init,
// or a container's, which may take a second) collects it, and holds no lock by then.
bool ProcessRuns(pid_t pid) {
    if (::kill(pid, 0) != 0 && errno != EPERM) {
        return false;
    }
    std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
    std::string line;
    std::getline(stat, line);
    const auto name = line.rfind(')');
    return name == std::string::npos || line.size() < name + 3 || line[name + 2] != 'Z';
}

}  // namespace

ClientLink::ClientLink(BroadcasterClient& client, std::filesystem::path videoSocket)
    : client_(client), videoSocket_(std::move(videoSocket)) {
    connect(&client, &BroadcasterClient::rowsReplaced, this, &BroadcastLink::rowsReplaced);
    connect(&client, &BroadcasterClient::rowChanged, this, &BroadcastLink::rowChanged);
    connect(&client, &BroadcasterClient::rowAppended, this, &BroadcastLink::rowAppended);
    connect(&client, &BroadcasterClient::rowRemoved, this, &BroadcastLink::rowRemoved);
    connect(&client, &BroadcasterClient::stateChanged, this, &BroadcastLink::stateChanged);
    connect(&client, &BroadcasterClient::refused, this, &BroadcastLink::refused);
    connect(&client, &BroadcasterClient::selectedRowMoved, this, &BroadcastLink::selectedRowMoved);
    connect(&client, &BroadcasterClient::playerStatus, this, &BroadcastLink::playerStatus);
    connect(&client, &BroadcasterClient::playerOpened, this, &BroadcastLink::playerOpened);
    connect(&client, &BroadcasterClient::noticesChanged, this, &ClientLink::ShowNotices);
    connect(&client, &BroadcasterClient::attached, this, [this] {
        awayAtStart_.stop();
        away_ = false;
        emit attached();
    });
    connect(&client, &BroadcasterClient::detached, this, &ClientLink::SayDetached);
    videoPoll_.setInterval(kVideoPollMs);
    connect(&videoPoll_, &QTimer::timeout, this, [this] {
        if (video_) {
            video_->Poll();
        }
    });
    awayAtStart_.setSingleShot(true);
    awayAtStart_.setInterval(kAwayNoticeMs);
    connect(&awayAtStart_, &QTimer::timeout, this, [this] {
        if (!client_.IsAttached()) {
            SayDetached();
        }
    });
}

void ClientLink::Start() {
    // Attaching sends the whole list and state; a broadcaster still starting gets a moment.
    if (!client_.IsAttached()) {
        awayAtStart_.start();
    }
}

void ClientLink::SayDetached() {
    away_ = true;
    emit detached();
    if (outOfReach_) {
        emit notice(NoticeTopic::kBroadcaster, std::string(kBroadcasterOutOfReach));
    }
}

void ClientLink::SayOutOfReach(bool outOfReach) {
    outOfReach_ = outOfReach;
    // At start, one still coming onto the bus (a unit started at login) holds the lock too: said
    // once the window says it is away.
    if (away_ && !client_.IsAttached()) {
        emit notice(NoticeTopic::kBroadcaster,
                    std::string(outOfReach ? kBroadcasterOutOfReach
                                           : NoticeLead(NoticeTopic::kBroadcaster)));
    }
}

void ClientLink::SetSurface(std::shared_ptr<VideoOutput> surface) {
    videoPoll_.stop();
    video_.reset();
    if (!surface) {
        return;
    }
    video_ = std::make_unique<ShmVideoReceiver>(videoSocket_, std::move(surface));
    video_->Poll();
    videoPoll_.start();
}

void ClientLink::ShowNotices(const BroadcasterNotices& notices) {
    std::set<NoticeTopic> now;
    for (const BroadcasterNotice& notice : notices) {
        // The window says what it hears of the sound itself: every open of the player reaches it.
        if (notice.topic == NoticeTopic::kAudioOutput) {
            continue;
        }
        now.insert(notice.topic);
        emit this->notice(notice.topic, notice.text);
    }
    for (NoticeTopic gone : shown_) {
        if (!now.contains(gone)) {
            emit notice(gone, {});
        }
    }
    shown_ = std::move(now);
}

BroadcasterLauncher SystemLauncher(std::filesystem::path dataDirectory,
                                   std::filesystem::path windowProgram) {
    BroadcasterLauncher launcher;
    launcher.unitServes = [dataDirectory] { return UnitServes(dataDirectory); };
    launcher.startUnit = [] {
        Log(LogLevel::kInfo, "broadcaster", "starting the user service chimeond");
        return QProcess::startDetached(
            QStringLiteral("systemctl"),
            {QStringLiteral("--user"), QStringLiteral("start"), QLatin1String(kUnit)});
    };
    launcher.startProgram = [dataDirectory, windowProgram]() -> qint64 {
        const QString program = BroadcasterProgram(windowProgram);
        if (program.isEmpty()) {
            Log(LogLevel::kError, "broadcaster",
                "chimeond is neither beside the window nor on PATH");
            return 0;
        }
        // A session of its own: neither the window's end nor a Ctrl+C in its terminal reaches
        // it.
        QStringList arguments{QStringLiteral("--data-dir"),
                              QString::fromStdString(dataDirectory.string())};
        QString starter = QStandardPaths::findExecutable(QStringLiteral("setsid"));
        if (starter.isEmpty()) {
            starter = program;
        } else {
            arguments.prepend(program);
        }
        Log(LogLevel::kInfo, "broadcaster", "starting " + program.toStdString());
        qint64 pid = 0;
        if (!QProcess::startDetached(starter, arguments, QString(), &pid)) {
            Log(LogLevel::kError, "broadcaster", "cannot start " + program.toStdString());
            return 0;
        }
        return pid;
    };
    launcher.alive = [](qint64 pid) { return ProcessRuns(static_cast<pid_t>(pid)); };
    launcher.terminate = [](qint64 pid) { ::kill(static_cast<pid_t>(pid), SIGTERM); };
    launcher.lockHeld = [dataDirectory] {
        return BroadcasterLock::HeldElsewhere(dataDirectory, std::getenv("XDG_RUNTIME_DIR"));
    };
    return launcher;
}

BroadcasterKeeper::BroadcasterKeeper(BroadcasterClient& client, BroadcasterLauncher launcher,
                                     int relaunchMs)
    : client_(client), launcher_(std::move(launcher)), relaunchMs_(relaunchMs) {
    relaunch_.setInterval(relaunchMs);
    QObject::connect(&relaunch_, &QTimer::timeout, &client_, [this] { Relaunch(); });
    // systemd restarts a service that failed; the window looks after the one it started, at once
    // when its process has gone (a crash): the bells wait for no timer.
    QObject::connect(&client_, &BroadcasterClient::detached, &client_, [this] {
        if (unitEnabled_) {
            return;
        }
        if (startedPid_ != 0) {
            endChecks_ = 0;
            relaunch_.start(kEndWatchMs);
            Relaunch();
        } else {
            // One found running (started by hand, or left by a window that crashed) has gone:
            // nothing else would start one, so the window does once it has had time to come back.
            relaunch_.start(relaunchMs_);
        }
    });
    QObject::connect(&client_, &BroadcasterClient::attached, &client_, [this] {
        relaunch_.stop();
        SetOutOfReach(false);
        // One started at the same moment elsewhere won, and the window's ended silently: the
        // broadcaster is not the window's to end.
        QDBusConnectionInterface* bus = client_.bus().interface();
        if (startedPid_ != 0 && bus != nullptr &&
            bus->servicePid(client_.busName()).value() != startedPid_) {
            startedPid_ = 0;
        }
    });
}

bool BroadcasterKeeper::RunsAsService() const {
    return unitEnabled_ || (startedPid_ == 0 && (client_.IsAttached() || outOfReach_));
}

void BroadcasterKeeper::StartWhenMissing() {
    unitEnabled_ = launcher_.unitServes();
    if (!client_.bus().isConnected()) {
        // Each copy started again would end at once on the lock of the first.
        Log(LogLevel::kWarning, "broadcaster",
            "no session bus: the broadcaster is started once and not started again");
        LaunchUnlessHeld();
        return;
    }
    QDBusConnectionInterface* bus = client_.bus().interface();
    if (bus != nullptr && bus->isServiceRegistered(client_.busName()).value()) {
        return;
    }
    // Looked after until attached: the window's own until it has come up, a copy out of reach
    // until it comes onto the bus or ends (then one is started as usual).
    if ((LaunchUnlessHeld() && !unitEnabled_) || outOfReach_) {
        relaunch_.start(relaunchMs_);
    }
}

void BroadcasterKeeper::Relaunch() {
    if (client_.IsAttached()) {
        relaunch_.stop();
        return;
    }
    if (startedPid_ != 0 && launcher_.alive(startedPid_)) {
        // Still starting (GStreamer's first scan of its plugins takes a while: a second would
        // only end on its lock), or still ending after it left the bus.
        if (relaunch_.interval() != relaunchMs_ && ++endChecks_ * kEndWatchMs >= relaunchMs_) {
            relaunch_.setInterval(relaunchMs_);
        }
        return;
    }
    startedPid_ = 0;                     // its number may be another process's soon
    relaunch_.setInterval(relaunchMs_);  // one that fails again is not started in a loop
    if (LaunchUnlessHeld() && unitEnabled_) {
        relaunch_.stop();  // systemd looks after its unit
    }
}

bool BroadcasterKeeper::LaunchUnlessHeld() {
    // Started again, a copy would end at once on the lock of the one out of reach.
    SetOutOfReach(launcher_.lockHeld && launcher_.lockHeld());
    return !outOfReach_ && Launch();
}

void BroadcasterKeeper::SetOutOfReach(bool outOfReach) {
    if (outOfReach == outOfReach_) {
        return;
    }
    outOfReach_ = outOfReach;
    if (outOfReach) {
        Log(LogLevel::kWarning, "broadcaster",
            "a broadcaster of this data directory runs but is not on the window's session bus; "
            "the window attaches when it appears there");
    }
    if (outOfReachTold_) {
        outOfReachTold_(outOfReach);
    }
}

bool BroadcasterKeeper::Launch() {
    if (unitEnabled_) {
        return launcher_.startUnit();
    }
    startedPid_ = launcher_.startProgram();
    return startedPid_ != 0;
}

void BroadcasterKeeper::EndWithWindow(std::function<void()> then) {
    relaunch_.stop();
    if (startedPid_ == 0 || unitEnabled_) {
        then();
    } else if (client_.IsAttached()) {
        // The window ends once the call has gone out (and been answered, or not in time).
        client_.Quit([then](const BroadcasterAnswer&) { then(); });
    } else {
        // Not on the bus: the orderly end by its signal, if it is still there.
        if (launcher_.alive(startedPid_)) {
            launcher_.terminate(startedPid_);
        }
        then();
    }
}

}  // namespace chimeon
