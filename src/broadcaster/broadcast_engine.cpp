#include "broadcaster/broadcast_engine.h"

#include <QCoreApplication>
#include <QDeadlineTimer>

#include "broadcaster/qt_clock_timer.h"
#include "core/engine/duration_pass.h"
#include "core/engine/reporting_player.h"
#include "core/engine/video_output.h"

namespace chimeon {

// Everything that lives on the engine's thread from Start to Shutdown (the timers among them).
struct BroadcastEngine::Running {
    explicit Running(BroadcastEngine& engine)
        : player(engine.parts_.player,
                 [&engine](OpenFailure failure, std::string reason) {
                     emit engine.playerOpened(failure, std::move(reason));
                 }),
          stepTimer([this] { return clock.UntilNextStep(); },
                    [this, &engine] {
                        clock.Step();
                        player.CollectStartLevel();
                        engine.PublishState();
                    },
                    Qt::PreciseTimer),
          dayTimer([] { return kDayTimer; },
                   [this, &engine] {
                       clock.DayCheck();
                       engine.PublishState();
                   },
                   Qt::CoarseTimer),
          clock(BroadcastClockParts{engine.parts_.clock, player, engine.parts_.lister,
                                    engine.calendar_, stepTimer, dayTimer, list,
                                    engine.parts_.dataDirectory}),
          console(list, clock) {
        if (engine.parts_.startLead) {
            clock.SetStartLead(*engine.parts_.startLead);
        }
    }

    ReportingPlayer player;
    TodayList list;
    QtClockTimer stepTimer;
    QtClockTimer dayTimer;
    BroadcastClock clock;
    TodayConsole console;
    std::unique_ptr<BroadcastClockObserver> observer;
    std::unique_ptr<DurationPass> durationPass;
};

BroadcastEngine::BroadcastEngine(EngineParts parts) : parts_(std::move(parts)) {
    calendar_.Update(parts_.calendar);
}

BroadcastEngine::~BroadcastEngine() {
    if (thread_ != nullptr && thread_->isRunning() && !Join(std::chrono::seconds(10))) {
        qFatal("the broadcast engine's thread does not end");
    }
    if (!shutDown_) {
        ShutdownNow();
    }
}

void BroadcastEngine::RunOnOwnThread() {
    if (thread_ != nullptr) {
        return;
    }
    thread_ = std::make_unique<QThread>();
    thread_->setObjectName(QStringLiteral("broadcast engine"));
    moveToThread(thread_.get());
    thread_->start();
}

bool BroadcastEngine::Join(std::chrono::milliseconds timeout) {
    if (thread_ == nullptr) {
        if (!shutDown_) {
            ShutdownNow();
        }
        return true;
    }
    Shutdown();
    return thread_->wait(QDeadlineTimer(timeout));
}

void BroadcastEngine::Start() {
    Post([this] { StartNow(); });
}

void BroadcastEngine::SetSurface(std::shared_ptr<VideoOutput> surface) {
    Post([this, surface = std::move(surface)] {
        surface_ = surface;
        if (running_ != nullptr) {
            running_->clock.SetSurface(surface_.get());
            running_->player.SetParentWindow(surface_.get());
        }
    });
}

void BroadcastEngine::SetCalendar(HolidayCalendar calendar) {
    Post([this, calendar = std::move(calendar)] { calendar_.Update(calendar); });
}

void BroadcastEngine::Play(int row, std::uint64_t generation) {
    OnConsole([this, row, generation](TodayConsole& console) {
        const std::optional<int> selected = console.Play(row, generation);
        if (!selected) {
            Refuse(ConsoleAnswer::kPlayOverReloaded);
        } else if (*selected != row) {
            emit selectedRowMoved(row, *selected);
        }
    });
}

void BroadcastEngine::Stop() {
    OnConsole([](TodayConsole& console) { console.Stop(); });
}

void BroadcastEngine::SwitchMode(ControlMode mode) {
    OnConsole([mode](TodayConsole& console) { console.SwitchMode(mode); });
}

void BroadcastEngine::ApplyNewSettings() {
    OnConsole([](TodayConsole& console) { console.ApplyNewSettings(); });
}

void BroadcastEngine::AddRow(ProgramItem item) {
    OnConsole([item = std::move(item)](TodayConsole& console) { console.AddRow(item); });
}

void BroadcastEngine::ReplaceRow(int row, std::uint64_t generation, ProgramItem item) {
    OnConsole([this, row, generation, item = std::move(item)](TodayConsole& console) {
        Refuse(console.ReplaceRow(row, generation, item));
    });
}

void BroadcastEngine::DeleteRow(int row, std::uint64_t generation) {
    OnConsole([this, row, generation](TodayConsole& console) {
        Refuse(console.DeleteRow(row, generation));
    });
}

void BroadcastEngine::MoveRow(int row, int delta, std::uint64_t generation) {
    OnConsole([this, row, delta, generation](TodayConsole& console) {
        Refuse(console.MoveRow(row, delta, generation));
    });
}

void BroadcastEngine::RequestPlayerStatus() {
    Post([this] {
        if (running_ == nullptr) {
            emit playerStatus({}, 0, 0);
            return;
        }
        ReportingPlayer& player = running_->player;
        emit playerStatus(player.File(), player.GetPosition(), player.GetLength());
    });
}

void BroadcastEngine::Shutdown() {
    Post([this] {
        if (!shutDown_) {
            ShutdownNow();
        }
    });
}

void BroadcastEngine::WhenIdle(QObject* receiver, std::function<void()> done) {
    Post([receiver, done = std::move(done)] {
        QMetaObject::invokeMethod(receiver, done, Qt::QueuedConnection);
    });
}

TodayConsole& BroadcastEngine::Console() {
    return running_->console;
}

BroadcastClock* BroadcastEngine::clock() const {
    return running_ != nullptr ? &running_->clock : nullptr;
}

TodayList* BroadcastEngine::list() const {
    return running_ != nullptr ? &running_->list : nullptr;
}

QtClockTimer* BroadcastEngine::stepTimer() const {
    return running_ != nullptr ? &running_->stepTimer : nullptr;
}

QtClockTimer* BroadcastEngine::dayTimer() const {
    return running_ != nullptr ? &running_->dayTimer : nullptr;
}

void BroadcastEngine::StartNow() {
    if (shutDown_) {
        return;
    }
    if (running_ != nullptr) {
        OnRowsReplaced(running_->list.Generation());
        published_.reset();
        PublishState();
        return;
    }
    running_ = std::make_unique<Running>(*this);
    if (parts_.makeObserver) {
        running_->observer = parts_.makeObserver(parts_.clock, running_->list);
        running_->clock.SetObserver(running_->observer.get());
        running_->player.SetLevelListener(
            [observer = running_->observer.get()](const SoundLevel& level) {
                observer->OnStartLevel(level);
            });
    }
    running_->clock.SetSurface(surface_.get());
    running_->player.SetParentWindow(surface_.get());
    running_->list.AddObserver(this);
    running_->clock.Start();
    PublishState();
}

void BroadcastEngine::ShutdownNow() {
    shutDown_ = true;
    if (running_ != nullptr) {
        // No measured time arrives once the engine is gone; what plays stops and is recorded as
        // the end of the program.
        running_->durationPass.reset();
        running_->clock.Shutdown();
        running_->player.Close();
        running_->player.SetParentWindow(nullptr);
        running_->list.RemoveObserver(this);
        running_.reset();
    }
    surface_.reset();
    if (thread_ != nullptr && QThread::currentThread() == thread_.get()) {
        // Back to the thread that made the engine, which deletes it once this thread has ended.
        if (QCoreApplication::instance() != nullptr) {
            moveToThread(QCoreApplication::instance()->thread());
        }
        thread_->quit();
    }
}

void BroadcastEngine::PublishState() {
    if (running_ == nullptr) {
        return;
    }
    const BroadcastClock& clock = running_->clock;
    BroadcastState state{clock.StatusText(), clock.Mode(), clock.NoBroadcastToday(),
                         running_->console.WatchedRow()};
    if (published_ != state) {
        published_ = state;
        emit stateChanged(std::move(state));
    }
}

void BroadcastEngine::Refuse(ConsoleAnswer answer) {
    if (!ConsoleAnswerText(answer).empty()) {
        emit refused(answer);
    }
}

void BroadcastEngine::StartDurationPass(std::uint64_t generation) {
    // The old load's pass is cancelled, never waited for: a file on a hung network mount must
    // not hold up the clock.
    running_->durationPass.reset();
    if (!parts_.measureDurations) {
        return;
    }
    running_->durationPass = std::make_unique<DurationPass>(
        generation, running_->list.DurationRequests(),
        [this](DurationResult result) {
            // On the worker: the list belongs to the engine's thread.
            Post([this, result = std::move(result)] {
                if (running_ != nullptr) {
                    running_->list.ApplyDuration(result);
                }
            });
        },
        parts_.dataDirectory);
}

void BroadcastEngine::OnRowsReplaced(std::uint64_t generation) {
    emit rowsReplaced(generation, running_->list.Rows());
    if (running_->durationPass == nullptr || running_->durationPass->generation() != generation) {
        StartDurationPass(generation);
    }
}

void BroadcastEngine::OnRowChanged(int row) {
    emit rowChanged(row, *running_->list.Row(row));
}

void BroadcastEngine::OnRowInserted(int row) {
    emit rowAppended(*running_->list.Row(row));
}

void BroadcastEngine::OnRowRemoved(int row) {
    emit rowRemoved(row);
}

}  // namespace chimeon
