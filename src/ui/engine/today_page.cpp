#include "ui/engine/today_page.h"

#include <QAccessible>
#include <QAction>
#include <QContextMenuEvent>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QMenu>
#include <QMouseEvent>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

#include "core/app/app_state.h"
#include "core/app/settings_store.h"
#include "core/engine/duration_probe.h"
#include "ui/app/check_controls.h"
#include "ui/app/message_box.h"
#include "ui/app/qt_text.h"
#include "ui/controls/digital_clock.h"
#include "ui/controls/mixer_fader_slider.h"
#include "ui/editing/editing_support.h"
#include "ui/editing/program_item_editor.h"
#include "ui/engine/media_preview_dlg.h"
#include "ui/engine/preview_placement.h"
#include "ui/engine/today_table_model.h"

namespace chimeon {

CTodayListView::CTodayListView(QWidget* parent) : QTableView(parent) {}

void CTodayListView::mouseReleaseEvent(QMouseEvent* event) {
    QTableView::mouseReleaseEvent(event);
    if (event->button() == Qt::LeftButton) {
        emit leftClicked();
    }
}

void CTodayListView::contextMenuEvent(QContextMenuEvent* event) {
    // From the keyboard the menu is for the highlighted row.
    const int row = event->reason() == QContextMenuEvent::Mouse ? rowAt(event->pos().y()) : -1;
    emit rightClicked(event->globalPos(), row);
    event->accept();
}

CTodayPage::CTodayPage(TodayPageParts parts, QWidget* parent)
    : CSubDialog(kTemplateId, parent),
      parts_(std::move(parts)),
      broadcaster_(parts_.broadcaster),
      mirror_(broadcaster_),
      model_(std::make_unique<TodayTableModel>(mirror_.list())) {
    if (!parts_.editItem) {
        parts_.editItem = [](QWidget* parent, const ItemEditorFields* fields) {
            return ProgramItemEditor::Edit(
                parent, [](const std::string& path) { return ProbeDuration(path).value_or(""); },
                fields != nullptr ? *fields : ItemEditorFields{});
        };
    }
    connect(&notices_, &NoticeRelay::changed, this, &CTodayPage::ShowNotices);
    ConnectBroadcaster();
}

CTodayPage::~CTodayPage() {
    // The broadcaster may still draw: the display area's hand-off drops its pictures once it is
    // gone.
    preview_.reset();
}

void CTodayPage::ConnectBroadcaster() {
    // Queued even when the broadcaster runs on this thread (see BroadcastMirror).
    constexpr auto kQueued = Qt::QueuedConnection;
    connect(
        &broadcaster_, &BroadcastLink::notice, this,
        [this](NoticeTopic topic, const std::string& text) { notices_.Set(topic, text); }, kQueued);
    connect(
        &broadcaster_, &BroadcastLink::detached, this,
        [this] {
            notices_.Set(NoticeTopic::kBroadcaster,
                         std::string(NoticeLead(NoticeTopic::kBroadcaster)));
        },
        kQueued);
    connect(
        &broadcaster_, &BroadcastLink::attached, this,
        [this] { notices_.Set(NoticeTopic::kBroadcaster, {}); }, kQueued);
    connect(&mirror_, &BroadcastMirror::stateChanged, this, &CTodayPage::ShowState);
    connect(&broadcaster_, &BroadcastLink::refused, this, &CTodayPage::ShowRefusal, kQueued);
    connect(&broadcaster_, &BroadcastLink::selectedRowMoved, this, &CTodayPage::OnSelectedRowMoved,
            kQueued);
    connect(
        &broadcaster_, &BroadcastLink::playerOpened, this,
        [this](OpenFailure failure, const std::string& reason) {
            if (audio_ != nullptr) {
                audio_->PlayerOpened(failure, reason);
            }
        },
        kQueued);
    connect(
        &broadcaster_, &BroadcastLink::playerStatus, this,
        [this](const std::string& file, std::int64_t position, std::int64_t length) {
            if (preview_ != nullptr) {
                preview_->ShowStatus(file, position, length);
            }
        },
        kQueued);
}

void CTodayPage::OnInitDialog() {
    BuildControls();
    digitalClock_->Start(&parts_.clock, 0);
    audio_ = std::make_unique<AudioOutputMonitor>(parts_.audio, *slider_);
    connect(audio_.get(), &AudioOutputMonitor::changed, this, &CTodayPage::ShowAudioState);
    audio_->Start();

    preview_ = std::make_unique<CMediaPreviewDlg>(parts_.settings);
    connect(preview_.get(), &CMediaPreviewDlg::statusWanted, this,
            [this] { broadcaster_.RequestPlayerStatus(); });
    if (parts_.settings.GetInt(settings_key::kShowMedia, kDefaultShowMedia) == 0) {
        preview_->hide();
    } else {
        QWidget* main = window();
        ShowPreviewBesideMain(*preview_, main != nullptr && main != this ? main : nullptr);
    }
    broadcaster_.SetSurface(preview_->displayArea()->output());
    // Today's table is chosen, loaded and the clock armed; the rows and the status follow.
    broadcaster_.Start();
    ShowMode();
}

void CTodayPage::BuildControls() {
    auto* layout = new QVBoxLayout(this);

    auto* top = new QHBoxLayout;
    status_ = new QLabel(this);
    status_->setObjectName(QStringLiteral("todayStatus"));
    top->addWidget(status_, 1);
    auto* apply = new QPushButton(Utf8("应用新的设置"), this);
    apply->setObjectName(QStringLiteral("todayApply"));
    connect(apply, &QPushButton::clicked, this, &CTodayPage::OnApply);
    top->addWidget(apply);
    layout->addLayout(top);
    // Problems the operator must know of (no sound, no record); hidden while there are none.
    notice_ = new QLabel(this);
    notice_->setObjectName(QStringLiteral("todayNotice"));
    notice_->setWordWrap(true);
    QPalette warning = notice_->palette();
    warning.setColor(QPalette::WindowText, QColor(0xb0, 0x10, 0x10));
    notice_->setPalette(warning);
    layout->addWidget(notice_);
    ShowNotices(notices_.Text());  // those reported before

    BuildListView();
    layout->addWidget(view_, 1);

    // Two lines of controls beside the clock, so that every text fits the page's width: the
    // control method with play and stop, the volume, then the row operations.
    auto* bottom = new QHBoxLayout;
    auto* groups = new QVBoxLayout;
    auto* control = new QGroupBox(Utf8("控制方法"), this);
    auto* controlLayout = new QGridLayout(control);
    automatic_ = new QRadioButton(Utf8("自动"), control);
    manual_ = new QRadioButton(Utf8("手动"), control);
    // Showing the mode in force checks its button too: that asks for no change.
    OnChecked(automatic_, this, [this] {
        if (state().mode != ControlMode::kAutomatic) {
            OnAutomatic();
        }
    });
    OnChecked(manual_, this, [this] {
        if (state().mode != ControlMode::kManual) {
            OnManual();
        }
    });
    auto* play = new QPushButton(Utf8("播放"), control);
    auto* stop = new QPushButton(Utf8("停止"), control);
    play->setObjectName(QStringLiteral("todayPlay"));
    stop->setObjectName(QStringLiteral("todayStop"));
    connect(play, &QPushButton::clicked, this, &CTodayPage::OnPlay);
    connect(stop, &QPushButton::clicked, this, &CTodayPage::OnStop);
    controlLayout->addWidget(automatic_, 0, 0);
    controlLayout->addWidget(manual_, 0, 1);
    controlLayout->addWidget(play, 0, 2);
    controlLayout->addWidget(stop, 0, 3);
    auto* volume = new QHBoxLayout;
    volumeLabel_ = new QLabel(Utf8("音量："), control);
    volume->addWidget(volumeLabel_);
    slider_ = new MixerFaderSlider(Qt::Horizontal, control);
    slider_->setMinimumWidth(100);
    slider_->setAccessibleName(Utf8("音量"));
    volumeLabel_->setBuddy(slider_);
    volume->addWidget(slider_, 1);
    volumeHighLabel_ = new QLabel(Utf8("高"), control);
    volume->addWidget(volumeHighLabel_);
    controlLayout->addLayout(volume, 1, 0, 1, 4);
    groups->addWidget(control);

    auto* rows = new QGroupBox(Utf8("节目项操作"), this);
    auto* rowsLayout = new QHBoxLayout(rows);
    const struct {
        std::string_view text;
        const char* name;
        void (CTodayPage::*handler)();
    } rowButtons[] = {{"增加", "todayAdd", &CTodayPage::OnAdd},
                      {"编辑", "todayEdit", &CTodayPage::OnEdit},
                      {"删除", "todayDelete", &CTodayPage::OnDelete},
                      {"上移", "todayUp", &CTodayPage::OnUp},
                      {"下移", "todayDown", &CTodayPage::OnDown}};
    for (const auto& [text, name, handler] : rowButtons) {
        auto* button = new QPushButton(Utf8(text), rows);
        button->setObjectName(QLatin1String(name));
        connect(button, &QPushButton::clicked, this, handler);
        rowsLayout->addWidget(button);
    }
    groups->addWidget(rows);
    bottom->addLayout(groups, 1);

    digitalClock_ = new CDigitalClock(this);
    digitalClock_->setFixedSize(CDigitalClock::kFaceWidth, CDigitalClock::kFaceHeight);
    bottom->addWidget(digitalClock_, 0, Qt::AlignBottom);
    layout->addLayout(bottom);

    // The right click's menu: "播放" (the default) and "停止", for the row of the last left click.
    popup_ = new QMenu(this);
    QAction* playAction = popup_->addAction(Utf8("播放"), this, &CTodayPage::OnPlay);
    popup_->addAction(Utf8("停止"), this, &CTodayPage::OnStop);
    popup_->setDefaultAction(playAction);
}

void CTodayPage::BuildListView() {
    view_ = new CTodayListView(this);
    view_->setAccessibleName(Utf8("今日列表"));
    // While rows are loaded or removed the view moves its highlight by itself: the row the
    // buttons act on stays where it is, and the highlight follows it afterwards. Told before the
    // view and its selection hear of a change, and after they have dealt with it.
    const auto changing = [this] { rowsChanging_ = true; };
    connect(model_.get(), &QAbstractItemModel::modelAboutToBeReset, this, changing);
    connect(model_.get(), &QAbstractItemModel::rowsAboutToBeRemoved, this, changing);
    view_->setModel(model_.get());
    for (int column = 0; column < kTodayColumnCount; ++column) {
        view_->setColumnWidth(column, kColumnWidths[column]);
    }
    ShapeAsReportList(view_);
    connect(view_, &CTodayListView::leftClicked, this, &CTodayPage::OnListLeftClicked);
    connect(view_, &CTodayListView::rightClicked, this, &CTodayPage::OnListRightClicked);
    connect(view_->selectionModel(), &QItemSelectionModel::selectionChanged, this,
            &CTodayPage::OnSelectionChanged);
    const auto changed = [this] {
        rowsChanging_ = false;
        ShowSelectedRow();
    };
    connect(model_.get(), &QAbstractItemModel::modelReset, this, changed);
    connect(model_.get(), &QAbstractItemModel::rowsRemoved, this, changed);
}

bool CTodayPage::CheckEditAllowed() {
    if (parts_.state.IsEditAllowed()) {
        return true;
    }
    ShowMessage(this, Utf8(kNotLoggedInMessage));
    return false;
}

void CTodayPage::ShowState() {
    const QString text = QString::fromStdString(state().statusText);
    if (status_ != nullptr && status_->text() != text) {
        status_->setText(text);
    }
    if (automatic_ != nullptr) {
        ShowMode();
    }
}

void CTodayPage::ShowMode() {
    const bool automatic = state().mode == ControlMode::kAutomatic;
    SetCheckedQuietly(automatic_, automatic);
    SetCheckedQuietly(manual_, !automatic);
}

void CTodayPage::ShowRefusal(ConsoleAnswer answer) {
    ShowReminder(this, Utf8(ConsoleAnswerText(answer)));
}

void CTodayPage::OnListLeftClicked() {
    const QModelIndexList selected = view_->selectionModel()->selectedRows();
    selectedRow_ = selected.isEmpty() ? -1 : selected.front().row();
}

void CTodayPage::OnListRightClicked(const QPoint& globalPos, int row) {
    // The menu acts on the row the operator sees highlighted: a right click on a row makes it
    // the one the buttons act on.
    if (row >= 0) {
        selectedRow_ = row;
        ShowSelectedRow();
    }
    popup_->popup(globalPos);
}

void CTodayPage::OnSelectionChanged() {
    // The keyboard moves the highlight too; the buttons follow it. While rows are removed or
    // loaded the view moves its highlight by itself: the row the buttons act on stays.
    const QModelIndexList selected = view_->selectionModel()->selectedRows();
    if (!selected.isEmpty() && !rowsChanging_) {
        selectedRow_ = selected.front().row();
    }
}

void CTodayPage::OnSelectedRowMoved(int from, int to) {
    // Unless the operator has chosen another row since.
    if (selectedRow_ == from) {
        selectedRow_ = to;
        ShowSelectedRow();
    }
}

void CTodayPage::ShowSelectedRow() {
    const int row = selectedRow_;
    if (row >= 0 && row < model_->rowCount()) {
        view_->selectRow(row);
    } else {
        view_->clearSelection();
    }
}

void CTodayPage::OnApply() {
    if (!CheckEditAllowed()) {
        return;
    }
    if (!AskYesNo(this, Utf8("提醒"), Utf8(kApplyQuestion))) {
        return;
    }
    broadcaster_.ApplyNewSettings();
}

void CTodayPage::OnAdd() {
    if (!CheckEditAllowed()) {
        return;
    }
    std::optional<ProgramItem> item = parts_.editItem(this, nullptr);
    if (item) {
        broadcaster_.AddRow(std::move(*item));
    }
}

void CTodayPage::OnEdit() {
    if (!CheckEditAllowed()) {
        return;
    }
    // Said at once from the copy of the list; the broadcaster checks again when the edit arrives
    // (the row may start while the editor is open, the list may be loaded anew).
    const int row = selectedRow_;
    const ConsoleAnswer answer = CheckEdit(list(), state().watchedRow, row);
    if (answer != ConsoleAnswer::kDone) {
        if (answer != ConsoleAnswer::kNothing) {
            ShowRefusal(answer);
        }
        return;
    }
    // A file row opens with the play time its "时长" cell shows.
    ProgramItem shown = list().Item(row);
    shown.mode = ModeCellText(*list().Row(row));
    const ItemEditorFields before = FieldsFromTodayRow(shown);
    const std::uint64_t generation = list().Generation();
    std::optional<ProgramItem> edited = parts_.editItem(this, &before);
    if (edited) {
        broadcaster_.ReplaceRow(row, generation, std::move(*edited));
    }
}

void CTodayPage::OnDelete() {
    if (!CheckEditAllowed()) {
        return;
    }
    const ConsoleAnswer answer = CheckDelete(list(), state().watchedRow, selectedRow_);
    if (answer == ConsoleAnswer::kDone) {
        broadcaster_.DeleteRow(selectedRow_, list().Generation());
    } else if (answer != ConsoleAnswer::kNothing) {
        ShowRefusal(answer);
    }
}

void CTodayPage::OnUp() {
    MoveSelectedRow(-1);
}

void CTodayPage::OnDown() {
    MoveSelectedRow(1);
}

void CTodayPage::MoveSelectedRow(int delta) {
    if (!CheckEditAllowed()) {
        return;
    }
    const std::optional<int> to = MovedRow(selectedRow_, delta, list().RowCount());
    if (!to) {
        return;
    }
    broadcaster_.MoveRow(selectedRow_, delta, list().Generation());
    // The highlight goes with the row at once; its cells follow from the broadcaster.
    selectedRow_ = *to;
    ShowSelectedRow();
}

void CTodayPage::OnAutomatic() {
    SwitchMode(ControlMode::kAutomatic);
}

void CTodayPage::OnManual() {
    SwitchMode(ControlMode::kManual);
}

void CTodayPage::SwitchMode(ControlMode mode) {
    if (!CheckEditAllowed()) {
        ShowMode();  // the buttons show the mode in force again
        return;
    }
    // The buttons show the mode asked for; the broadcaster's state confirms it.
    if (state().mode != mode) {
        broadcaster_.SwitchMode(mode);
    }
}

void CTodayPage::OnPlay() {
    if (!CheckEditAllowed()) {
        return;
    }
    broadcaster_.Play(selectedRow_, list().Generation());
}

void CTodayPage::OnStop() {
    if (!CheckEditAllowed()) {
        return;
    }
    broadcaster_.Stop();
}

void CTodayPage::ShowNotices(const QString& text) {
    if (notice_ == nullptr) {
        return;  // shown once the page is built
    }
    notice_->setText(text);
    notice_->setVisible(!text.isEmpty());
    if (!text.isEmpty()) {
        QAccessibleEvent alert(notice_, QAccessible::Alert);
        QAccessible::updateAccessibility(&alert);
    }
}

void CTodayPage::ShowAudioState() {
    notices_.Set(NoticeTopic::kAudioOutput, audio_->Notice());
    // A disabled slider must not pass for one turned down: its labels fade with it, and it
    // says why.
    const bool usable = slider_->isEnabled();
    volumeLabel_->setEnabled(usable);
    volumeHighLabel_->setEnabled(usable);
    const QString why = usable ? QString()
                               : Utf8("没有主音量控制") +
                                     (slider_->diagnostic().empty()
                                          ? QString()
                                          : QStringLiteral("（%1）").arg(
                                                QString::fromStdString(slider_->diagnostic())));
    slider_->setToolTip(why);
    slider_->setAccessibleDescription(why);
}

}  // namespace chimeon
