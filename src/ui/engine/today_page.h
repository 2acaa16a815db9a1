#pragma once

#include <QFutureWatcher>
#include <QTableWidget>
#include <QTimer>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>

#include "core/engine/audio_output_watch.h"
#include "core/engine/broadcast_clock.h"
#include "core/engine/clock_ports.h"
#include "core/engine/duration_pass.h"
#include "core/engine/media_player.h"
#include "core/engine/operator_notices.h"
#include "core/engine/today_list.h"
#include "core/schedule/item_editor_form.h"
#include "core/schedule/program_item.h"
#include "ui/app/sub_dialog.h"

class QLabel;
class QMenu;
class QAction;
class QPushButton;
class QRadioButton;

namespace chimeon {

struct AppState;
class SettingsStore;
class LocalClock;
class MixerControl;
class AlsaMasterMixer;
class MixerFaderSlider;
class CDigitalClock;
class CMediaPreviewDlg;

// The page's texts.
inline constexpr std::string_view kApplyQuestion = "你确定要应用新的设置吗？";
inline constexpr std::string_view kCannotEditPlaying = "正在播放的节目不能编辑！";
inline constexpr std::string_view kCannotChangePlaying = "正在播放的节目不能修改！";
inline constexpr std::string_view kCannotDeletePlaying = "正在播放的节目不能删除！";
inline constexpr std::string_view kEditOverReloaded = "今天的节目表已重新载入，这次修改没有写入！";

// A timer on the window's thread that drives one handler of the broadcast clock while armed:
// single shot, re-armed after every call with the interval asked for then (the step timer lands
// just after each second boundary; the day timer runs every second).
class QtClockTimer : public ClockTimer {
public:
    QtClockTimer(std::function<int()> interval, std::function<void()> handler, Qt::TimerType type);
    void Arm() override;
    void Kill() override;
    bool IsArmed() const { return armed_; }
    const QTimer& timer() const { return timer_; }

private:
    void Fire();

    std::function<int()> interval_;
    std::function<void()> handler_;
    bool armed_ = false;
    QTimer timer_;
};

// The list of today's rows: reports left clicks (which choose the row to play or edit) and
// right clicks (the popup menu, with the row clicked, -1 for none) apart.
class CTodayListView : public QTableWidget {
    Q_OBJECT
public:
    explicit CTodayListView(QWidget* parent = nullptr);

signals:
    void leftClicked();
    void rightClicked(const QPoint& globalPos, int row);

protected:
    void mouseReleaseEvent(QMouseEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;
};

// What the today page works with; everything must outlive the page.
struct TodayPageParts {
    TodayPageParts(AppState& state, SettingsStore& settings, LocalClock& clock, MediaPlayer& player,
                   DirectoryLister& lister, CalendarSource& calendar,
                   std::filesystem::path programDirectory)
        : state(state),
          settings(settings),
          clock(clock),
          player(player),
          lister(lister),
          calendar(calendar),
          programDirectory(std::move(programDirectory)) {}

    AppState& state;
    SettingsStore& settings;
    LocalClock& clock;
    MediaPlayer& player;
    DirectoryLister& lister;
    CalendarSource& calendar;
    std::filesystem::path programDirectory;
    // The master volume: a mixer control (tests), or the ALSA mixer with its change events.
    // Neither: the slider is disabled and the page works on.
    MixerControl* mixer = nullptr;
    AlsaMasterMixer* alsaMixer = nullptr;
    // Makes the record of what the clock does (the play history); may be empty.
    std::function<std::unique_ptr<BroadcastClockObserver>(const LocalClock&, const TodayList&)>
        makeObserver;
    // Measures the play times of each load off the window's thread.
    bool measureDurations = true;
    // Opens the item editor for a new item (null) or filled from a row; nothing when cancelled.
    // Empty: the program item editor with the duration probe.
    std::function<std::optional<ProgramItem>(QWidget* parent, const ItemEditorFields* fields)>
        editItem;
    // Why there is no audio output now, "" when there is one. Asked off the window's thread at
    // start, and again every few seconds while there is none. Empty: never asked.
    std::function<std::string()> probeAudioOutput;
    // Opens the master volume once the output has come up after start (a sound server that
    // started after the program); null while there is none. Empty: not tried.
    std::function<AlsaMasterMixer*()> reopenMixer;
};

// The operator's console for today's broadcast: today's list with the state of every row, the
// broadcast clock driven by timers, automatic and manual control, play and stop by hand, today's
// list edited for today only, the master volume, and the video preview window.
class CTodayPage : public CSubDialog, public TodayListObserver {
    Q_OBJECT
public:
    static constexpr int kTemplateId = 145;
    static constexpr int kDayTimerMs = 1000;
    static constexpr int kAudioProbeMs = 5000;
    static constexpr int kColumnWidths[kTodayColumnCount] = {100, 50, 80, 80, 80, 50, 400};

    explicit CTodayPage(TodayPageParts parts, QWidget* parent = nullptr);
    ~CTodayPage() override;

    // The buttons' and the menu's commands.
    void OnApply();
    void OnAdd();
    void OnEdit();
    void OnDelete();
    void OnUp();
    void OnDown();
    void OnAutomatic();
    void OnManual();
    void OnPlay();
    void OnStop();

    BroadcastClock& clock() { return *clock_; }
    TodayList& list() { return list_; }
    CTodayListView* listView() const { return view_; }
    QLabel* statusLabel() const { return status_; }
    QRadioButton* automaticButton() const { return automatic_; }
    QRadioButton* manualButton() const { return manual_; }
    QPushButton* button(std::string_view text) const;
    QMenu* popupMenu() const { return popup_; }
    MixerFaderSlider* volumeSlider() const { return slider_; }
    CDigitalClock* digitalClock() const { return digitalClock_; }
    CMediaPreviewDlg* preview() const { return preview_.get(); }
    const QtClockTimer& stepTimer() const { return stepTimer_; }
    const QtClockTimer& dayTimer() const { return dayTimer_; }
    // Waits until the current load's play times have been measured (tests).
    void WaitForDurations();

    // The status area's notice of `topic` ("" clears it). May be called from any thread while
    // the page exists; shown at the next turn of the window's event loop.
    void SetNotice(NoticeTopic topic, const QString& text);
    // For reporters on other threads that may outlive the page (the play history's writer): the
    // problem in the reporter's words becomes the notice of `topic` ("" clears it); once the
    // page is gone, reports are dropped.
    std::function<void(const std::string& problem)> NoticeReporter(NoticeTopic topic);
    QLabel* noticeLabel() const { return notice_; }
    // Asks whether there is an audio output (off the window's thread); the audio probe timer's
    // work.
    void ProbeAudioOutput();
    const QTimer& audioProbeTimer() const { return audioProbe_; }

    // TodayListObserver
    void OnRowsReplaced(std::uint64_t generation) override;
    void OnCellChanged(int row, int column) override;
    void OnRowInserted(int row) override;
    void OnRowRemoved(int row) override;

protected:
    void OnInitDialog() override;

private:
    // Forwards to the real player and remembers the file it was given last (the preview
    // window's status line names it).
    class NotingPlayer : public MediaPlayer {
    public:
        // `opened` hears the outcome of every Open, on the thread that opened.
        NotingPlayer(MediaPlayer& player, std::function<void(OpenFailure, std::string)> opened)
            : player_(player), opened_(std::move(opened)) {}
        void SetParentWindow(SurfaceHandle surface) override { player_.SetParentWindow(surface); }
        void SetFile(std::string_view path) override {
            file_ = std::string(path);
            player_.SetFile(path);
        }
        bool Open() override {
            if (player_.Open()) {
                opened_(OpenFailure::kNone, {});
                return true;
            }
            // A player that does not say why gives no news of the output.
            const OpenFailure failure = player_.LastOpenFailure();
            opened_(failure == OpenFailure::kNone ? OpenFailure::kFile : failure,
                    player_.LastOpenFailureReason());
            return false;
        }
        void Close() override { player_.Close(); }
        void Play() override { player_.Play(); }
        void Stop() override { player_.Stop(); }
        void Seek(std::int64_t positionMs) override { player_.Seek(positionMs); }
        std::int64_t GetPosition() override { return player_.GetPosition(); }
        std::int64_t GetLength() override { return player_.GetLength(); }
        void SetVolume(int volume) override { player_.SetVolume(volume); }
        int GetVolume() const override { return player_.GetVolume(); }
        void ShowMaximized() override { player_.ShowMaximized(); }
        OpenFailure LastOpenFailure() const override { return player_.LastOpenFailure(); }
        std::string LastOpenFailureReason() const override {
            return player_.LastOpenFailureReason();
        }
        void Prepare(std::string_view path) override { player_.Prepare(path); }
        const std::string& File() const { return file_; }

    private:
        MediaPlayer& player_;
        std::function<void(OpenFailure, std::string)> opened_;
        std::string file_;
    };
    // Lets reporters reach the page while it exists, from any thread.
    struct NoticeRelay {
        std::mutex mutex;
        CTodayPage* page = nullptr;
    };

    bool CheckEditAllowed();
    void BuildControls();
    void PlacePreview();
    void ShowRow(int row);
    void ShowMode();
    void RefreshStatus();
    void OnListLeftClicked();
    void OnListRightClicked(const QPoint& globalPos, int row);
    void OnSelectionChanged();
    // Highlights the row the buttons act on (none when it is outside the list).
    void ShowSelectedRow();
    void ShowNotice(NoticeTopic topic, const std::string& text);
    void OnPlayerOpened(OpenFailure failure, const std::string& reason);
    void OnAudioProbed(std::uint64_t probe, const std::string& missingReason);
    void ReadMasterVolume();
    void ShowAudioState();
    void StartDurationPass(std::uint64_t generation);
    void WriteEditedRow(int row, const ProgramItem& item);

    TodayPageParts parts_;
    std::shared_ptr<NoticeRelay> relay_ = std::make_shared<NoticeRelay>();
    NotingPlayer player_;
    TodayList list_;
    QtClockTimer stepTimer_;
    QtClockTimer dayTimer_;
    std::unique_ptr<BroadcastClock> clock_;
    std::unique_ptr<BroadcastClockObserver> observer_;
    std::unique_ptr<DurationPass> durationPass_;
    std::unique_ptr<CMediaPreviewDlg> preview_;
    OperatorNotices notices_;
    AudioOutputWatch audio_;
    MixerControl* volumeMixer_ = nullptr;
    QTimer audioProbe_;
    QFutureWatcher<std::string>* probing_ = nullptr;
    bool rowsChanging_ = false;

    QLabel* status_ = nullptr;
    QLabel* notice_ = nullptr;
    QLabel* volumeLabel_ = nullptr;
    QLabel* volumeHighLabel_ = nullptr;
    CTodayListView* view_ = nullptr;
    QRadioButton* automatic_ = nullptr;
    QRadioButton* manual_ = nullptr;
    MixerFaderSlider* slider_ = nullptr;
    CDigitalClock* digitalClock_ = nullptr;
    QMenu* popup_ = nullptr;
};

}  // namespace chimeon
