#include "ui/app/main_dlg.h"

#include <QApplication>
#include <QCloseEvent>
#include <QDesktopServices>
#include <QFrame>
#include <QKeyEvent>
#include <QMenu>
#include <QUrl>
#include <algorithm>
#include <optional>

#include "core/app/program_directory.h"
#include "core/engine/operator_notices.h"
#include "core/system/login_session.h"
#include "ui/app/app_icons.h"
#include "ui/app/dialog_units.h"
#include "ui/app/message_box.h"
#include "ui/app/qt_text.h"
#include "ui/controls/caption_label.h"
#include "ui/controls/gfx_out_bar_ctrl.h"
#include "ui/system/login_page.h"

namespace chimeon {

namespace {

// The navigation bar's items in order (folder 0 "操作", folder 1 "帮助"), with the page each
// shows, its template number and when it is made. Pages are made in this order; those made at
// start-up are initialised in it too, and that is relied on: the today page reads the holiday
// page's calendar while it starts, and the settings page the today page's state. The others are
// made on first use.
struct NavigationItem {
    int folder;
    const char* text;
    const char* icon;
    std::optional<PageKind> page;  // none: the item opens the help pages
    int templateId;
    bool madeAtStart;
};
constexpr NavigationItem kNavigation[] = {
    {0, "模版", "template.svg", PageKind::kTemplate, 140, true},
    {0, "节假日", "holiday.svg", PageKind::kHoliday, 142, true},
    {0, "节目编排", "program.svg", PageKind::kProgram, 143, true},
    {0, "今日列表", "today.svg", PageKind::kToday, 145, true},
    {0, "录音", "record.svg", PageKind::kRecord, 148, false},
    {0, "MP3文件信息", "mp3.svg", PageKind::kMp3Info, 153, false},
    {0, "设置", "settings.svg", PageKind::kSettings, 147, true},
    {0, "用户登陆", "login.svg", PageKind::kLogin, 159, true},
    {1, "关于", "about.svg", PageKind::kAbout, 100, false},
    {1, "帮助", "help.svg", std::nullopt, 0, false},
};
constexpr const char* kFolders[] = {"操作", "帮助"};
constexpr int kFolderSlideDelayMs = 20;
constexpr int kBouncePeriodMs = 200;

// Item `item` of folder `folder`; null when there is none.
const NavigationItem* FindItem(int folder, int item) {
    for (const NavigationItem& entry : kNavigation) {
        if (entry.folder == folder && item-- == 0) {
            return &entry;
        }
    }
    return nullptr;
}

const char kExitWithoutTrayQuestion[] =
    "桌面上没有系统托盘。要退出程序吗？\n退出后，铃声和节目都不再按时播放。\n"
    "选“否”，窗口最小化到任务栏，广播照常进行。";
const char kExitWithoutTrayServiceQuestion[] =
    "桌面上没有系统托盘。要退出程序吗？\n广播程序作为服务在后台运行，退出窗口后铃声和节目照常按时播"
    "放。\n"
    "选“否”，窗口最小化到任务栏。";
const char kBroadcasterGoesOnNote[] = "\n广播程序作为服务在后台运行，铃声和节目照常按时播放。";

}  // namespace

int PageTemplateId(PageKind kind) {
    for (const NavigationItem& entry : kNavigation) {
        if (entry.page == kind) {
            return entry.templateId;
        }
    }
    return 0;
}

CMainDlg::CMainDlg(AppState& state, SettingsStore& settings, std::filesystem::path dataDirectory,
                   PageMaker makePage, QWidget* parent)
    : QWidget(parent, Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                          Qt::WindowCloseButtonHint),
      state_(state),
      settings_(settings),
      dataDirectory_(std::move(dataDirectory)) {
    setObjectName(QStringLiteral("mainWindow"));
    const QFont dialogFont = DialogFont();
    setFont(dialogFont);
    const DialogBaseUnits units = BaseUnitsOf(dialogFont);
    setFixedSize(MapDialogSize(QSize(382, 303), units));
    const QIcon appIcon = AppIcon(QStringLiteral("chimeon.svg"));
    setWindowIcon(appIcon);

    caption_ = new CCaptionLabel(this);
    caption_->setObjectName(QStringLiteral("captionLabel"));
    caption_->setGeometry(MapDialogRect(QRect(60, 7, 318, 23), units));
    caption_->m_faceName = QStringLiteral("Verdana");
    caption_->m_height = 14;
    caption_->m_weight = 700;
    caption_->m_backgroundWord = QStringLiteral("Larkworks");

    barPlaceholder_ = new QFrame(this);
    barPlaceholder_->setObjectName(QStringLiteral("navigationFrame"));
    barPlaceholder_->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    barPlaceholder_->setGeometry(MapDialogRect(QRect(4, 7, 54, 292), units));
    bar_ = new CGfxOutBarCtrl(barPlaceholder_);
    bar_->setObjectName(QStringLiteral("navigationBar"));
    bar_->setGeometry(barPlaceholder_->rect());
    bar_->SetFolderSlideDelay(kFolderSlideDelayMs);
    bar_->SetBouncePeriod(kBouncePeriodMs);
    for (const char* folder : kFolders) {
        bar_->AddFolder(QString::fromUtf8(folder));
    }
    QList<QIcon> icons;
    int todayItem = 0;
    for (const NavigationItem& entry : kNavigation) {
        const int item = bar_->AddItem(entry.folder, QString::fromUtf8(entry.text),
                                       static_cast<int>(icons.size()));
        icons.append(AppIcon(QString::fromLatin1(entry.icon)));
        if (entry.page == PageKind::kToday) {
            todayItem = item;
        }
    }
    bar_->SetIcons(icons);
    bar_->SelectFolder(0);
    connect(bar_, &CGfxOutBarCtrl::itemActivated, this, &CMainDlg::OnItemActivated);

    pageArea_ = new QWidget(this);
    pageArea_->setObjectName(QStringLiteral("pageArea"));
    pageArea_->setGeometry(MapDialogRect(QRect(60, 34, 318, 265), units));
    slideTimer_.setInterval(kSlideTimerMs);
    connect(&slideTimer_, &QTimer::timeout, this, &CMainDlg::OnSlideTimer);
    trayWatch_.setInterval(kTrayWatchMs);
    connect(&trayWatch_, &QTimer::timeout, this, &CMainDlg::OnTrayWatch);
    CreatePages(makePage);

    CSubDialog* today = page(PageKind::kToday);
    today->setGeometry(pageArea_->rect());
    today->show();
    today->setFocus();
    current_ = today;
    currentFolder_ = 0;
    currentItem_ = todayItem;
    caption_->setText(bar_->ItemText(todayItem));

    trayMenu_ = new QMenu(this);
    QAction* showMain =
        trayMenu_->addAction(QStringLiteral("主窗口(&M)"), this, &CMainDlg::ToggleMainWindow);
    trayMenu_->setDefaultAction(showMain);
    trayMenu_->addSeparator();
    trayMenu_->addAction(QStringLiteral("退出(&X)"), this, &CMainDlg::OnExitCommand);
    // At an autostart the desktop's tray may come up after the program: until it is there,
    // try again every few seconds, so the icon appears as soon as it can.
    trayIcon_ = appIcon;
    trayRetry_.setInterval(kTrayWatchMs);
    connect(&trayRetry_, &QTimer::timeout, this, &CMainDlg::RetryTray);
    trayGrace_.setSingleShot(true);
    trayGrace_.setInterval(kTrayGraceMs);
    connect(&trayGrace_, &QTimer::timeout, this, &CMainDlg::OnTrayGraceOver);
    if (!RetryTray()) {
        trayRetry_.start();
    }
    connect(&tray_, &CSystemTray::notify, this, &CMainDlg::OnTrayNotify);
    RefreshUserState();
}

CMainDlg::~CMainDlg() {
    tray_.RemoveIcon();
}

void CMainDlg::CreatePages(PageMaker& makePage) {
    for (const NavigationItem& entry : kNavigation) {
        if (!entry.page) {
            continue;
        }
        std::unique_ptr<CSubDialog> made = makePage ? makePage(*entry.page) : nullptr;
        if (!made) {  // built in: the login page, or an empty page
            made = entry.page == PageKind::kLogin ? std::make_unique<CLoginPage>(state_, settings_)
                                                  : std::make_unique<CSubDialog>(entry.templateId);
        }
        made->setParent(pageArea_);
        made->hide();
        connect(made.get(), &CSubDialog::userStateChanged, this, &CMainDlg::RefreshUserState);
        pages_.emplace(*entry.page, made.release());
    }
    for (const NavigationItem& entry : kNavigation) {
        if (entry.madeAtStart) {
            CSubDialog* made = page(*entry.page);
            made->CreatePage(made->m_nIDD, pageArea_);
        }
    }
}

CSubDialog* CMainDlg::page(PageKind kind) const {
    const auto found = pages_.find(kind);
    return found != pages_.end() ? found->second : nullptr;
}

void CMainDlg::ShowAtStartup() {
    show();
    if (!tray_.IsShown()) {
        trayGrace_.start();  // the desktop's tray may still be on its way
    }
    if (state_.startMinimized) {
        HideToTray();
    }
}

void CMainDlg::ShowPage(CSubDialog* target) {
    if (target == nullptr) {
        return;
    }
    if (current_ != nullptr) {
        current_->hide();
    }
    current_ = target;
    if (!target->IsCreated()) {
        target->CreatePage(target->m_nIDD, pageArea_);
    }
    slideTarget_ = target->rect();
    slideCurrent_ = slideTarget_.translated(-slideTarget_.width(), 0);
    target->setGeometry(slideCurrent_);
    slideTimer_.start();
}

void CMainDlg::OnSlideTimer() {
    if (current_ == nullptr) {
        slideTimer_.stop();
        return;
    }
    // At least a pixel a step, so that a page without a width yet still arrives.
    const int step = std::max(1, slideTarget_.width() / 6);
    if (slideTarget_.left() - slideCurrent_.left() > step) {
        slideCurrent_.translate(step, 0);
        current_->setGeometry(slideCurrent_);
        current_->show();
    } else {
        current_->setGeometry(slideTarget_);
        current_->show();
        slideTimer_.stop();
    }
}

void CMainDlg::OnItemActivated(int item) {
    currentFolder_ = bar_->SelectedFolder();
    currentItem_ = item;
    if (const NavigationItem* entry = FindItem(currentFolder_, item)) {
        if (entry->page) {
            ShowPage(page(*entry->page));
        } else {
            OpenHelp();
        }
    }
    caption_->setText(bar_->ItemText(item));
}

void CMainDlg::OpenHelp() {
    const std::filesystem::path page = LocateDataFile(dataDirectory_, kHelpPage);
    const QString file = QString::fromStdString(page.string());
    if (page.empty()) {
        ShowNotice(this,
                   QStringLiteral("找不到帮助页面。它应在 %1 或 %2。")
                       .arg(QString::fromStdString((dataDirectory_ / kHelpPage).string()),
                            QString::fromStdString((InstalledDataFolder() / kHelpPage).string())));
        return;
    }
    const bool opened =
        helpOpener_ ? helpOpener_(file) : QDesktopServices::openUrl(QUrl::fromLocalFile(file));
    if (!opened) {
        ShowNotice(this, QStringLiteral("没有能打开帮助页面的浏览器。帮助页面在：\n%1").arg(file));
    }
}

void CMainDlg::OnTrayNotify(int iconId, TrayMouse message) {
    if (iconId != kTrayIconId) {
        return;
    }
    // The right button's menu is shown by the tray itself. A StatusNotifierItem tray reports
    // clicks only, an XEmbed tray a click before every double-click: either way, one gesture
    // toggles the window once.
    if (message != TrayMouse::kLeftClick && message != TrayMouse::kLeftDoubleClick) {
        return;
    }
    if (trayClickToggle_.isValid() &&
        trayClickToggle_.elapsed() < QApplication::doubleClickInterval()) {
        trayClickToggle_.invalidate();
        return;
    }
    if (message == TrayMouse::kLeftClick) {
        trayClickToggle_.start();
    }
    ToggleMainWindow();
}

void CMainDlg::ToggleMainWindow() {
    if (isVisible() && !isMinimized()) {
        HideToTray();
    } else {
        ShowFromTray();
    }
}

bool CMainDlg::RetryTray() {
    if (!tray_.IsShown() &&
        !tray_.Create(this,
                      QString::fromUtf8(kMainWindowTitle.data(),
                                        static_cast<qsizetype>(kMainWindowTitle.size())),
                      trayIcon_, kTrayIconId, trayMenu_)) {
        return false;
    }
    tray_.SetIcon(trayIcon_);
    trayRetry_.stop();
    if (!trayNotice_.isEmpty()) {
        trayNotice_.clear();
        emit trayNoticeChanged(trayNotice_);
    }
    return true;
}

void CMainDlg::HideToTray() {
    // Hidden only while the tray icon is there to bring the window back; otherwise minimised.
    if (tray_.IsShown()) {
        hide();
        trayWatch_.start();
        return;
    }
    if (!trayGrace_.isActive()) {
        NoteTrayMissing();
    }
    showMinimized();
}

void CMainDlg::OnTrayGraceOver() {
    if (!tray_.IsShown()) {
        NoteTrayMissing();
    }
}

void CMainDlg::OnTrayWatch() {
    if (isVisible()) {
        trayWatch_.stop();
        return;
    }
    if (!tray_.IsShown()) {
        trayWatch_.stop();
        NoteTrayMissing();
        showMinimized();
    }
}

void CMainDlg::ShowFromTray() {
    trayWatch_.stop();
    show();
    setWindowState(windowState() & ~Qt::WindowMinimized);
    raise();
    activateWindow();
}

void CMainDlg::NoteTrayMissing() {
    // Said in the today page's notices, never in a box that would stay over the pages; a tray
    // that comes (back) takes the icon and clears the notice.
    trayRetry_.start();
    if (!trayNotice_.isEmpty()) {
        return;
    }
    trayNotice_ = Utf8(NoticeLead(NoticeTopic::kTray));
    emit trayNoticeChanged(trayNotice_);
}

void CMainDlg::RefreshUserState() {
    setWindowTitle(QString::fromStdString(UserStateCaption(state_.loggedIn)));
}

QString CMainDlg::WorkInProgress() const {
    QString work;
    for (const auto& [kind, page] : pages_) {
        const QString said = page != nullptr ? page->WorkInProgress() : QString();
        if (!said.isEmpty()) {
            work += (work.isEmpty() ? QString() : QStringLiteral("\n")) + said;
        }
    }
    return work;
}

void CMainDlg::OnExitCommand() {
    // With a broadcaster that goes on, the operator is told that the bells do not end with the
    // window (an operator who wants them silent uses the service, not "退出").
    const QString work = WorkInProgress();
    const bool goesOn = BroadcasterGoesOn();
    if ((work.isEmpty() && !goesOn) ||
        AskYesNo(isVisible() ? this : nullptr, QString::fromLatin1(kApplicationTitle),
                 (work.isEmpty() ? QString() : work + QStringLiteral("\n")) +
                     QStringLiteral("要退出程序吗？") +
                     (goesOn ? QString::fromUtf8(kBroadcasterGoesOnNote) : QString()))) {
        emit exitRequested();
    }
}

void CMainDlg::closeEvent(QCloseEvent* event) {
    // The caption's close (and Alt+F4) hides the window into the tray. Without a tray it is the
    // one way to end the program from the window: asked first, "否" the default.
    event->ignore();
    const QString work = WorkInProgress();
    if (!tray_.IsShown() &&
        AskYesNo(this, QString::fromLatin1(kApplicationTitle),
                 (work.isEmpty() ? QString() : work + QStringLiteral("\n")) +
                     QString::fromUtf8(BroadcasterGoesOn() ? kExitWithoutTrayServiceQuestion
                                                           : kExitWithoutTrayQuestion))) {
        emit exitRequested();
        return;
    }
    HideToTray();
}

void CMainDlg::changeEvent(QEvent* event) {
    QWidget::changeEvent(event);
    if (event->type() == QEvent::WindowStateChange && (windowState() & Qt::WindowMaximized)) {
        setWindowState(windowState() & ~Qt::WindowMaximized);
        QTimer::singleShot(0, this, &CMainDlg::HideToTray);
    }
}

void CMainDlg::keyPressEvent(QKeyEvent* event) {
    switch (event->key()) {
        case Qt::Key_Escape:
            // A stray key must not stop the bells: only the tray menu ends the program.
            event->accept();
            return;
        case Qt::Key_F1:
            OpenHelp();
            event->accept();
            return;
        default:
            QWidget::keyPressEvent(event);
    }
}

}  // namespace chimeon
