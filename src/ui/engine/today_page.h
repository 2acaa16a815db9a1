#pragma once

#include <QTableView>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "core/engine/broadcast_state.h"
#include "core/engine/media_player.h"
#include "core/engine/operator_notices.h"
#include "core/engine/today_console.h"
#include "core/engine/today_list.h"
#include "core/schedule/item_editor_form.h"
#include "core/schedule/program_item.h"
#include "ui/app/sub_dialog.h"
#include "ui/engine/audio_output_monitor.h"
#include "ui/engine/broadcast_link.h"
#include "ui/engine/broadcast_mirror.h"
#include "ui/engine/notice_relay.h"

class QLabel;
class QMenu;
class QAction;
class QPushButton;
class QRadioButton;

namespace chimeon {

struct AppState;
class SettingsStore;
class LocalClock;
class MixerFaderSlider;
class TodayTableModel;
class CDigitalClock;
class CMediaPreviewDlg;

// The page's question.
inline constexpr std::string_view kApplyQuestion = "你确定要应用新的设置吗？";

// The list of today's rows: reports left clicks (which choose the row to play or edit) and
// right clicks (the popup menu, with the row clicked, -1 for none) apart.
class CTodayListView : public QTableView {
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
    TodayPageParts(AppState& state, SettingsStore& settings, LocalClock& clock,
                   BroadcastLink& broadcaster)
        : state(state), settings(settings), clock(clock), broadcaster(broadcaster) {}

    AppState& state;
    SettingsStore& settings;
    // Shown by the digital clock.
    LocalClock& clock;
    // Today's list, the broadcast clock and the player: the broadcaster's.
    BroadcastLink& broadcaster;
    // The master volume and the audio output (AudioOutputParts); without a mixer the slider is
    // disabled and the page works on.
    AudioOutputParts audio;
    // Opens the item editor for a new item (null) or filled from a row; nothing when cancelled.
    // Empty: the program item editor with the duration probe.
    std::function<std::optional<ProgramItem>(QWidget* parent, const ItemEditorFields* fields)>
        editItem;
};

// The operator's console for today's broadcast: today's list with the state of every row,
// automatic and manual control, play and stop by hand, today's list edited for today only, the
// master volume, and the video preview window. The broadcast itself runs in the broadcaster: the
// page shows a copy of its list and state, kept up to date by its news, and sends it the
// operator's commands; it never waits for the broadcaster.
class CTodayPage : public CSubDialog {
    Q_OBJECT
public:
    static constexpr int kTemplateId = 145;
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

    // The broadcaster's list and state as last heard.
    const TodayList& list() const { return mirror_.list(); }
    const BroadcastState& state() const { return mirror_.state(); }
    // The row the buttons act on (the last left click, moved with its row), -1 for none.
    int selectedRow() const { return selectedRow_; }
    void SetSelectedRow(int row) { selectedRow_ = row; }
    CTodayListView* listView() const { return view_; }
    QLabel* statusLabel() const { return status_; }
    QRadioButton* automaticButton() const { return automatic_; }
    QRadioButton* manualButton() const { return manual_; }
    QMenu* popupMenu() const { return popup_; }
    MixerFaderSlider* volumeSlider() const { return slider_; }
    CDigitalClock* digitalClock() const { return digitalClock_; }
    CMediaPreviewDlg* preview() const { return preview_.get(); }

    // The status area's notice of `topic` ("" clears it). May be called from any thread while
    // the page exists; shown at the next turn of the window's event loop.
    void SetNotice(NoticeTopic topic, const QString& text) { notices_.Post(topic, text); }
    // For reporters on other threads that may outlive the page (the play history's writer): the
    // problem in the reporter's words becomes the notice of `topic` ("" clears it); once the
    // page is gone, reports are dropped.
    std::function<void(const std::string& problem)> NoticeReporter(NoticeTopic topic) {
        return notices_.Reporter(topic);
    }
    QLabel* noticeLabel() const { return notice_; }
    // The audio output and master volume watch (null before the page is initialised).
    AudioOutputMonitor* audioMonitor() const { return audio_.get(); }

protected:
    void OnInitDialog() override;

private:
    bool CheckEditAllowed();
    void ConnectBroadcaster();
    void BuildControls();
    void BuildListView();
    void ShowMode();
    void ShowState();
    void ShowRefusal(ConsoleAnswer answer);
    void OnListLeftClicked();
    void OnListRightClicked(const QPoint& globalPos, int row);
    void OnSelectionChanged();
    void OnSelectedRowMoved(int from, int to);
    void MoveSelectedRow(int delta);
    void SwitchMode(ControlMode mode);
    // Highlights the row the buttons act on (none when it is outside the list).
    void ShowSelectedRow();
    void ShowNotices(const QString& text);
    void ShowAudioState();

    TodayPageParts parts_;
    BroadcastLink& broadcaster_;
    NoticeRelay notices_;
    BroadcastMirror mirror_;
    // Declared after the mirror: it goes before the list it shows.
    std::unique_ptr<TodayTableModel> model_;
    int selectedRow_ = -1;
    std::unique_ptr<CMediaPreviewDlg> preview_;
    std::unique_ptr<AudioOutputMonitor> audio_;
    // The model is being reset or loses a row: the view moves its highlight by itself then.
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
