#include "ui/engine/today_page.h"

#include <QAccessible>
#include <QAction>
#include <QContextMenuEvent>
#include <QGridLayout>
#include <QGroupBox>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QMenu>
#include <QMouseEvent>
#include <QPushButton>
#include <QRadioButton>
#include <QScopedValueRollback>
#include <QScreen>
#include <QVBoxLayout>
#include <QtConcurrent/QtConcurrentRun>

#include "core/app/app_state.h"
#include "core/app/settings_store.h"
#include "core/app/window_placement.h"
#include "core/engine/duration_probe.h"
#include "platform/audio/alsa_master_mixer.h"
#include "ui/app/message_box.h"
#include "ui/controls/digital_clock.h"
#include "ui/controls/mixer_fader_slider.h"
#include "ui/editing/program_item_editor.h"
#include "ui/engine/media_preview_dlg.h"

namespace chimeon {
namespace {

QString Text(std::string_view text) {
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

constexpr std::string_view kColumnTitles[kTodayColumnCount] = {
    "标题", "状态", "起播时间", "结束时间", "起始音量", "时长", "文件路径"};

}  // namespace

QtClockTimer::QtClockTimer(std::function<int()> interval, std::function<void()> handler,
                           Qt::TimerType type)
    : interval_(std::move(interval)), handler_(std::move(handler)) {
    timer_.setSingleShot(true);
    timer_.setTimerType(type);
    QObject::connect(&timer_, &QTimer::timeout, [this] { Fire(); });
}

void QtClockTimer::Arm() {
    armed_ = true;
    timer_.start(interval_());
}

void QtClockTimer::Kill() {
    armed_ = false;
    timer_.stop();
}

void QtClockTimer::Fire() {
    if (!armed_) {
        return;
    }
    handler_();
    // The handler may have killed the timer (a day without broadcast) or armed it again.
    if (armed_) {
        timer_.start(interval_());
    }
}

CTodayListView::CTodayListView(QWidget* parent) : QTableWidget(parent) {}

void CTodayListView::mouseReleaseEvent(QMouseEvent* event) {
    QTableWidget::mouseReleaseEvent(event);
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
      player_(
          parts_.player,
          [this](OpenFailure failure, std::string reason) {
              // The clock may open files on a thread of its own.
              QMetaObject::invokeMethod(
                  this,
                  [this, failure, reason = std::move(reason)] { OnPlayerOpened(failure, reason); },
                  Qt::QueuedConnection);
          }),
      stepTimer_([this] { return clock_->MillisecondsUntilNextStep(); },
                 [this] {
                     clock_->Step();
                     RefreshStatus();
                 },
                 Qt::PreciseTimer),
      dayTimer_([] { return kDayTimerMs; },
                [this] {
                    clock_->DayCheck();
                    RefreshStatus();
                },
                Qt::CoarseTimer) {
    if (!parts_.editItem) {
        parts_.editItem = [](QWidget* parent, const ItemEditorFields* fields) {
            return ProgramItemEditor::Edit(
                parent, [](const std::string& path) { return ProbeDuration(path).value_or(""); },
                fields != nullptr ? *fields : ItemEditorFields{});
        };
    }
    relay_->page = this;
    audioProbe_.setSingleShot(true);
    audioProbe_.setInterval(kAudioProbeMs);
    connect(&audioProbe_, &QTimer::timeout, this, &CTodayPage::ProbeAudioOutput);
    clock_ = std::make_unique<BroadcastClock>(
        BroadcastClockParts{parts_.clock, player_, parts_.lister, parts_.calendar, stepTimer_,
                            dayTimer_, list_, parts_.programDirectory});
    if (parts_.makeObserver) {
        observer_ = parts_.makeObserver(parts_.clock, list_);
        clock_->SetObserver(observer_.get());
    }
    list_.AddObserver(this);
}

CTodayPage::~CTodayPage() {
    {
        const std::lock_guard<std::mutex> lock(relay_->mutex);
        relay_->page = nullptr;
    }
    // No measured time may arrive once the page is gone; what plays stops and is recorded as
    // the end of the program.
    durationPass_.reset();
    clock_->Shutdown();
    player_.Close();
    player_.SetParentWindow(nullptr);
    list_.RemoveObserver(this);
    preview_.reset();
}

QPushButton* CTodayPage::button(std::string_view text) const {
    for (QPushButton* candidate : findChildren<QPushButton*>()) {
        if (candidate->text() == Text(text)) {
            return candidate;
        }
    }
    return nullptr;
}

void CTodayPage::OnInitDialog() {
    BuildControls();
    digitalClock_->Start(&parts_.clock, 0);
    if (parts_.alsaMixer != nullptr) {
        slider_->Init(parts_.alsaMixer);
        volumeMixer_ = parts_.alsaMixer;
    } else {
        slider_->Init(parts_.mixer);
        volumeMixer_ = parts_.mixer;
    }
    connect(slider_, &MixerFaderSlider::MixerChanged, this, &CTodayPage::ReadMasterVolume);
    connect(slider_, &QSlider::valueChanged, this, &CTodayPage::ReadMasterVolume);
    ReadMasterVolume();
    ProbeAudioOutput();

    // Today's table is chosen, loaded and the clock armed.
    clock_->Start();
    RefreshStatus();

    preview_ = std::make_unique<CMediaPreviewDlg>(
        player_, [this] { return player_.File(); }, parts_.settings);
    PlacePreview();
    VideoOutput* surface = preview_->displayArea();
    clock_->SetSurface(static_cast<SurfaceHandle>(surface));
    player_.SetParentWindow(static_cast<SurfaceHandle>(surface));
    ShowMode();
}

void CTodayPage::BuildControls() {
    auto* layout = new QVBoxLayout(this);

    auto* top = new QHBoxLayout;
    status_ = new QLabel(this);
    status_->setObjectName(QStringLiteral("todayStatus"));
    top->addWidget(status_, 1);
    auto* apply = new QPushButton(Text("应用新的设置"), this);
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
    notice_->hide();
    layout->addWidget(notice_);

    view_ = new CTodayListView(this);
    view_->setColumnCount(kTodayColumnCount);
    QStringList headings;
    for (std::string_view title : kColumnTitles) {
        headings << Text(title);
    }
    view_->setHorizontalHeaderLabels(headings);
    for (int column = 0; column < kTodayColumnCount; ++column) {
        view_->setColumnWidth(column, kColumnWidths[column]);
    }
    view_->setShowGrid(true);
    view_->setSelectionBehavior(QAbstractItemView::SelectRows);
    view_->setSelectionMode(QAbstractItemView::SingleSelection);
    view_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    view_->horizontalHeader()->setSectionsMovable(true);
    view_->horizontalHeader()->setStretchLastSection(false);
    view_->verticalHeader()->hide();
    connect(view_, &CTodayListView::leftClicked, this, &CTodayPage::OnListLeftClicked);
    connect(view_, &CTodayListView::rightClicked, this, &CTodayPage::OnListRightClicked);
    connect(view_->selectionModel(), &QItemSelectionModel::selectionChanged, this,
            &CTodayPage::OnSelectionChanged);
    layout->addWidget(view_, 1);

    // Two lines of controls beside the clock, so that every text fits the page's width: the
    // control method with play and stop, the volume, then the row operations.
    auto* bottom = new QHBoxLayout;
    auto* groups = new QVBoxLayout;
    auto* control = new QGroupBox(Text("控制方法"), this);
    auto* controlLayout = new QGridLayout(control);
    automatic_ = new QRadioButton(Text("自动"), control);
    manual_ = new QRadioButton(Text("手动"), control);
    connect(automatic_, &QRadioButton::clicked, this, &CTodayPage::OnAutomatic);
    connect(manual_, &QRadioButton::clicked, this, &CTodayPage::OnManual);
    auto* play = new QPushButton(Text("播放"), control);
    auto* stop = new QPushButton(Text("停止"), control);
    connect(play, &QPushButton::clicked, this, &CTodayPage::OnPlay);
    connect(stop, &QPushButton::clicked, this, &CTodayPage::OnStop);
    controlLayout->addWidget(automatic_, 0, 0);
    controlLayout->addWidget(manual_, 0, 1);
    controlLayout->addWidget(play, 0, 2);
    controlLayout->addWidget(stop, 0, 3);
    auto* volume = new QHBoxLayout;
    volumeLabel_ = new QLabel(Text("音量："), control);
    volume->addWidget(volumeLabel_);
    slider_ = new MixerFaderSlider(Qt::Horizontal, control);
    slider_->setMinimumWidth(100);
    slider_->setAccessibleName(Text("音量"));
    volumeLabel_->setBuddy(slider_);
    volume->addWidget(slider_, 1);
    volumeHighLabel_ = new QLabel(Text("高"), control);
    volume->addWidget(volumeHighLabel_);
    controlLayout->addLayout(volume, 1, 0, 1, 4);
    groups->addWidget(control);

    auto* rows = new QGroupBox(Text("节目项操作"), this);
    auto* rowsLayout = new QHBoxLayout(rows);
    const std::pair<std::string_view, void (CTodayPage::*)()> rowButtons[] = {
        {"增加", &CTodayPage::OnAdd},
        {"编辑", &CTodayPage::OnEdit},
        {"删除", &CTodayPage::OnDelete},
        {"上移", &CTodayPage::OnUp},
        {"下移", &CTodayPage::OnDown}};
    for (const auto& [text, handler] : rowButtons) {
        auto* button = new QPushButton(Text(text), rows);
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
    QAction* playAction = popup_->addAction(Text("播放"), this, &CTodayPage::OnPlay);
    popup_->addAction(Text("停止"), this, &CTodayPage::OnStop);
    popup_->setDefaultAction(playAction);
}

void CTodayPage::PlacePreview() {
    if (parts_.settings.GetInt(settings_key::kShowMedia, kDefaultShowMedia) == 0) {
        preview_->hide();
        return;
    }
    QScreen* screen = QGuiApplication::primaryScreen();
    const QRect area = screen != nullptr ? screen->availableGeometry() : QRect();
    QWidget* main = window();
    const bool hasMain = main != nullptr && main != this;
    // Frames as far as they are known (before the first show, the windows' own sizes).
    const QSize previewSize = preview_->frameGeometry().size();
    const QSize mainSize = hasMain ? main->frameGeometry().size() : QSize();
    const PreviewAndMainPlacement placement = PlaceBesidePreview(
        {area.x(), area.y(), area.width(), area.height()},
        {previewSize.width(), previewSize.height()}, {mainSize.width(), mainSize.height()});
    preview_->move(placement.preview.x, placement.preview.y);
    preview_->show();
    if (hasMain) {
        main->move(placement.main.x, placement.main.y);
    }
}

bool CTodayPage::CheckEditAllowed() {
    if (parts_.state.IsEditAllowed()) {
        return true;
    }
    ShowMessage(this, Text(kNotLoggedInMessage));
    return false;
}

void CTodayPage::RefreshStatus() {
    const QString text = QString::fromStdString(clock_->StatusText());
    if (status_ != nullptr && status_->text() != text) {
        status_->setText(text);
    }
}

void CTodayPage::ShowMode() {
    const bool automatic = clock_->Mode() == ControlMode::kAutomatic;
    automatic_->setChecked(automatic);
    manual_->setChecked(!automatic);
}

void CTodayPage::OnListLeftClicked() {
    const QModelIndexList selected = view_->selectionModel()->selectedRows();
    clock_->SetSelectedRow(selected.isEmpty() ? -1 : selected.front().row());
}

void CTodayPage::OnListRightClicked(const QPoint& globalPos, int row) {
    // The menu acts on the row the operator sees highlighted: a right click on a row makes it
    // the one the buttons act on.
    if (row >= 0) {
        clock_->SetSelectedRow(row);
        ShowSelectedRow();
    }
    popup_->popup(globalPos);
}

void CTodayPage::OnSelectionChanged() {
    // The keyboard moves the highlight too; the buttons follow it. While rows are removed or
    // loaded the view moves its highlight by itself: the row the buttons act on stays.
    const QModelIndexList selected = view_->selectionModel()->selectedRows();
    if (!selected.isEmpty() && !rowsChanging_) {
        clock_->SetSelectedRow(selected.front().row());
    }
}

void CTodayPage::ShowSelectedRow() {
    const int row = clock_->SelectedRow();
    if (row >= 0 && row < view_->rowCount()) {
        view_->selectRow(row);
    } else {
        view_->clearSelection();
    }
}

void CTodayPage::OnApply() {
    if (!CheckEditAllowed()) {
        return;
    }
    if (!AskYesNo(this, Text("提醒"), Text(kApplyQuestion))) {
        return;
    }
    clock_->ApplyNewSettings();
    RefreshStatus();
}

void CTodayPage::OnAdd() {
    if (!CheckEditAllowed()) {
        return;
    }
    std::optional<ProgramItem> item = parts_.editItem(this, nullptr);
    if (item) {
        list_.AppendRow(*item);
    }
}

void CTodayPage::OnEdit() {
    if (!CheckEditAllowed()) {
        return;
    }
    const int row = clock_->SelectedRow();
    // The clock still follows a row the operator stopped: its chained rows start from it.
    if (list_.Cell(row, kColumnState) == kStatePlaying || clock_->IsWatching(row)) {
        ShowReminder(this, Text(kCannotEditPlaying));
        return;
    }
    if (row < 0 || row >= list_.RowCount()) {
        return;
    }
    const ItemEditorFields before = FieldsFromTodayRow(list_.Item(row));
    const std::uint64_t generation = list_.Generation();
    std::optional<ProgramItem> edited = parts_.editItem(this, &before);
    if (!edited) {
        return;
    }
    // While the editor was open the list may have been loaded anew (a new day): the row with
    // this index is then another item.
    if (list_.Generation() != generation || row >= list_.RowCount()) {
        ShowReminder(this, Text(kEditOverReloaded));
        return;
    }
    if (list_.Cell(row, kColumnState) == kStatePlaying || clock_->IsWatching(row)) {
        ShowReminder(this, Text(kCannotChangePlaying));
        return;
    }
    WriteEditedRow(row, *edited);
}

void CTodayPage::WriteEditedRow(int row, const ProgramItem& item) {
    list_.SetCell(row, kColumnTitle, item.title);
    list_.SetCell(row, kColumnState, kStateWaiting);
    list_.SetCell(row, kColumnStart, item.start);
    list_.SetCell(row, kColumnEnd, item.end);
    list_.SetCell(row, kColumnVolume, item.volume);
    list_.SetCell(row, kColumnMode, item.mode);
    list_.SetCell(row, kColumnPath, item.path);
}

void CTodayPage::OnDelete() {
    if (!CheckEditAllowed()) {
        return;
    }
    const int row = clock_->SelectedRow();
    if (list_.Cell(row, kColumnState) == kStatePlaying || clock_->IsWatching(row)) {
        ShowReminder(this, Text(kCannotDeletePlaying));
        return;
    }
    if (row < 0 || row >= list_.RowCount()) {
        return;
    }
    clock_->RowRemoved(row);
    {
        // The view moves its highlight off the removed row by itself; the row the buttons act
        // on stays where it is, and the highlight follows it.
        const QScopedValueRollback<bool> removing(rowsChanging_, true);
        list_.RemoveRow(row);
    }
    ShowSelectedRow();
}

void CTodayPage::OnUp() {
    if (!CheckEditAllowed()) {
        return;
    }
    const int row = clock_->SelectedRow();
    if (row < 1 || row >= list_.RowCount()) {
        return;
    }
    clock_->RowsSwapped(row - 1);
    list_.SwapRows(row - 1, row);
    clock_->SetSelectedRow(row - 1);
    ShowSelectedRow();
}

void CTodayPage::OnDown() {
    if (!CheckEditAllowed()) {
        return;
    }
    const int row = clock_->SelectedRow();
    if (row < 0 || row >= list_.RowCount() - 1) {
        return;
    }
    clock_->RowsSwapped(row);
    list_.SwapRows(row, row + 1);
    clock_->SetSelectedRow(row + 1);
    ShowSelectedRow();
}

void CTodayPage::OnAutomatic() {
    if (!CheckEditAllowed()) {
        ShowMode();
        return;
    }
    if (clock_->Mode() != ControlMode::kAutomatic) {
        clock_->SwitchToAutomatic();
        RefreshStatus();
    }
    ShowMode();
}

void CTodayPage::OnManual() {
    if (!CheckEditAllowed()) {
        ShowMode();
        return;
    }
    if (clock_->Mode() != ControlMode::kManual) {
        clock_->SwitchToManual();
    }
    ShowMode();
}

void CTodayPage::OnPlay() {
    if (!CheckEditAllowed()) {
        return;
    }
    clock_->PlayRow();
}

void CTodayPage::OnStop() {
    if (!CheckEditAllowed()) {
        return;
    }
    clock_->StopCurrent();
}

void CTodayPage::ShowRow(int row) {
    for (int column = 0; column < kTodayColumnCount; ++column) {
        auto* item = new QTableWidgetItem(QString::fromStdString(list_.Cell(row, column)));
        if (column == kColumnVolume) {
            item->setTextAlignment(Qt::AlignCenter);
        }
        view_->setItem(row, column, item);
    }
}

void CTodayPage::OnRowsReplaced(std::uint64_t generation) {
    if (view_ != nullptr) {
        const QScopedValueRollback<bool> reloading(rowsChanging_, true);
        view_->clearContents();
        view_->setRowCount(list_.RowCount());
        for (int row = 0; row < list_.RowCount(); ++row) {
            ShowRow(row);
        }
        ShowSelectedRow();
    }
    StartDurationPass(generation);
}

void CTodayPage::OnCellChanged(int row, int column) {
    if (view_ == nullptr) {
        return;
    }
    if (QTableWidgetItem* item = view_->item(row, column)) {
        item->setText(QString::fromStdString(list_.Cell(row, column)));
    }
}

void CTodayPage::OnRowInserted(int row) {
    if (view_ != nullptr) {
        view_->insertRow(row);
        ShowRow(row);
    }
}

void CTodayPage::OnRowRemoved(int row) {
    if (view_ != nullptr) {
        view_->removeRow(row);
    }
}

void CTodayPage::StartDurationPass(std::uint64_t generation) {
    durationPass_.reset();  // the old load's pass stops and is waited for
    if (!parts_.measureDurations) {
        return;
    }
    durationPass_ = std::make_unique<DurationPass>(
        generation, list_.DurationRequests(),
        [this](DurationResult result) {
            // On the worker thread: the list belongs to the window's thread.
            QMetaObject::invokeMethod(
                this, [this, result = std::move(result)] { list_.ApplyDuration(result); },
                Qt::QueuedConnection);
        },
        parts_.programDirectory);
}

void CTodayPage::WaitForDurations() {
    if (durationPass_) {
        durationPass_->Wait();
    }
}

void CTodayPage::SetNotice(NoticeTopic topic, const QString& text) {
    QMetaObject::invokeMethod(
        this, [this, topic, text = text.toStdString()] { ShowNotice(topic, text); },
        Qt::QueuedConnection);
}

std::function<void(const std::string&)> CTodayPage::NoticeReporter(NoticeTopic topic) {
    return [relay = relay_, topic](const std::string& problem) {
        // Held while posting: the page cannot go away in between.
        const std::lock_guard<std::mutex> lock(relay->mutex);
        if (relay->page != nullptr) {
            relay->page->SetNotice(topic, QString::fromStdString(ReportedNotice(topic, problem)));
        }
    };
}

void CTodayPage::ShowNotice(NoticeTopic topic, const std::string& text) {
    if (!notices_.Set(topic, text)) {
        return;
    }
    const QString shown = QString::fromStdString(notices_.Text());
    notice_->setText(shown);
    notice_->setVisible(!shown.isEmpty());
    if (!shown.isEmpty()) {
        QAccessibleEvent alert(notice_, QAccessible::Alert);
        QAccessible::updateAccessibility(&alert);
    }
}

void CTodayPage::OnPlayerOpened(OpenFailure failure, const std::string& reason) {
    audio_.PlayerOpened(failure, reason);
    ShowAudioState();
}

void CTodayPage::ProbeAudioOutput() {
    if (!parts_.probeAudioOutput || probing_ != nullptr) {
        return;
    }
    // Opening the output may wait for a sound server: never on the window's thread.
    const std::uint64_t probe = audio_.ProbeStarted();
    probing_ = new QFutureWatcher<std::string>(this);
    connect(probing_, &QFutureWatcherBase::finished, this, [this, probe] {
        const std::string missing = probing_->result();
        probing_->deleteLater();
        probing_ = nullptr;
        OnAudioProbed(probe, missing);
    });
    probing_->setFuture(QtConcurrent::run(parts_.probeAudioOutput));
}

void CTodayPage::OnAudioProbed(std::uint64_t probe, const std::string& missingReason) {
    audio_.ProbeAnswered(probe, missingReason);
    // An output that came up after start brings the master volume it may lack.
    if (!audio_.OutputMissing() && !slider_->IsBound() && parts_.reopenMixer) {
        if (AlsaMasterMixer* mixer = parts_.reopenMixer()) {
            slider_->Init(mixer);
            volumeMixer_ = mixer;
        }
    }
    ReadMasterVolume();
}

void CTodayPage::ReadMasterVolume() {
    audio_.MasterVolumeRead(volumeMixer_ != nullptr && slider_->IsBound()
                                ? ReadMasterVolumeState(*volumeMixer_)
                                : MasterVolumeState{});
    ShowAudioState();
}

void CTodayPage::ShowAudioState() {
    ShowNotice(NoticeTopic::kAudioOutput, audio_.Notice());
    // Until sound is found again, look for it every few seconds.
    if (audio_.OutputMissing() && !audioProbe_.isActive()) {
        audioProbe_.start();
    }
    // A disabled slider must not pass for one turned down: its labels fade with it, and it
    // says why.
    const bool usable = slider_->isEnabled();
    volumeLabel_->setEnabled(usable);
    volumeHighLabel_->setEnabled(usable);
    const QString why = usable ? QString()
                               : Text("没有主音量控制") +
                                     (slider_->diagnostic().empty()
                                          ? QString()
                                          : QStringLiteral("（%1）").arg(
                                                QString::fromStdString(slider_->diagnostic())));
    slider_->setToolTip(why);
    slider_->setAccessibleDescription(why);
}

}  // namespace chimeon
