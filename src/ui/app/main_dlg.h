#pragma once

#include <QElapsedTimer>
#include <QIcon>
#include <QRect>
#include <QTimer>
#include <QWidget>
#include <filesystem>
#include <functional>
#include <map>
#include <memory>

#include "core/app/app_state.h"
#include "core/app/settings_store.h"
#include "ui/app/sub_dialog.h"
#include "ui/app/system_tray.h"

class QFrame;
class QMenu;
class QAction;

namespace chimeon {

class CCaptionLabel;
class CGfxOutBarCtrl;

// The pages of the main window.
enum class PageKind {
    kTemplate,
    kHoliday,
    kProgram,
    kToday,
    kRecord,
    kSettings,
    kMp3Info,
    kLogin,
    kAbout
};

// Each page's template number, its identity.
int PageTemplateId(PageKind kind);

// Makes the page of a kind; a null result makes the built-in one (an empty page, or the login
// page). Pages that later parts of the program build are plugged in here.
using PageMaker = std::function<std::unique_ptr<CSubDialog>(PageKind kind)>;

// The main window: navigation bar on the left, page title and page area on the right, user
// state in the caption, the tray icon. Its caption's close hides it into the tray; with no tray
// on the desktop it asks whether to end the program (else it minimises). The program ends by
// exitRequested().
class CMainDlg : public QWidget {
    Q_OBJECT
public:
    static constexpr int kTrayIconId = 130;
    static constexpr int kSlideTimerMs = 1;
    static constexpr int kTrayWatchMs = 2000;
    // How long a tray may take to come up after the program (an autostart) before the window
    // says that there is none.
    static constexpr int kTrayGraceMs = 15000;

    CMainDlg(AppState& state, SettingsStore& settings, std::filesystem::path dataDirectory,
             PageMaker makePage = {}, QWidget* parent = nullptr);
    ~CMainDlg() override;

    // Shows the window as start-up does: hidden right away when the start-minimised flag is set.
    void ShowAtStartup();

    void ShowPage(CSubDialog* page);
    // An item of the navigation bar's open folder was chosen: its page, or the help pages.
    void OnItemActivated(int item);
    void OnTrayNotify(int iconId, chimeon::TrayMouse message);
    void ToggleMainWindow();
    // One step of the slide-in (the slide timer's work).
    void OnSlideTimer();
    void RefreshUserState();
    // While hidden: brings the window back (minimised) when the tray has gone from the desktop,
    // so that it never stays out of reach.
    void OnTrayWatch();
    const QTimer& trayWatchTimer() const { return trayWatch_; }
    // Creates the tray icon if the desktop's tray has come up since (the retry timer's work,
    // which runs while there is none); true once the icon is shown.
    bool RetryTray();
    const QTimer& trayRetryTimer() const { return trayRetry_; }
    // The grace period is over: says so if there still is no tray.
    void OnTrayGraceOver();
    const QTimer& trayGraceTimer() const { return trayGrace_; }
    void OpenHelp();
    // The tray menu's "退出(&X)": ends the program, asked first while a page has work in
    // progress (a recording) and whenever the broadcaster goes on without the window.
    void OnExitCommand();
    // Whether the broadcaster goes on when the window ends (it runs as a service of its own),
    // asked at each exit question: then the question says that the bells go on.
    void SetBroadcasterGoesOn(std::function<bool()> goesOn) {
        broadcasterGoesOn_ = std::move(goesOn);
    }

    CSubDialog* page(PageKind kind) const;
    CSubDialog* currentPage() const { return current_; }
    CGfxOutBarCtrl* navigationBar() const { return bar_; }
    CCaptionLabel* captionLabel() const { return caption_; }
    QWidget* pageArea() const { return pageArea_; }
    CSystemTray& tray() { return tray_; }
    QMenu* trayMenu() const { return trayMenu_; }
    const QTimer& slideTimer() const { return slideTimer_; }
    int currentFolder() const { return currentFolder_; }
    int currentItem() const { return currentItem_; }
    // Why the window minimises instead of hiding, once said; "" while the tray is there.
    QString trayNotice() const { return trayNotice_; }
    // The help pages' first page, in the data directory or the installed data folder.
    static constexpr char kHelpPage[] = "help/index.html";
    // Tests replace how the help page is opened (the desktop's browser); false when it was not.
    void SetHelpOpener(std::function<bool(const QString& file)> opener) {
        helpOpener_ = std::move(opener);
    }

signals:
    // The tray menu's "退出(&X)", or the window's close confirmed without a tray: the program
    // ends.
    void exitRequested();
    // The notice that the desktop has no tray, for the today page's notices; "" once one has come.
    void trayNoticeChanged(const QString& notice);

protected:
    void closeEvent(QCloseEvent* event) override;
    void changeEvent(QEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    void CreatePages(PageMaker& makePage);
    void HideToTray();
    void ShowFromTray();
    void NoteTrayMissing();
    QString WorkInProgress() const;
    bool BroadcasterGoesOn() const { return broadcasterGoesOn_ && broadcasterGoesOn_(); }

    AppState& state_;
    SettingsStore& settings_;
    std::filesystem::path dataDirectory_;
    CSystemTray tray_;
    QMenu* trayMenu_ = nullptr;
    QFrame* barPlaceholder_ = nullptr;
    CGfxOutBarCtrl* bar_ = nullptr;
    CCaptionLabel* caption_ = nullptr;
    QWidget* pageArea_ = nullptr;
    CSubDialog* current_ = nullptr;
    std::map<PageKind, CSubDialog*> pages_;
    int currentFolder_ = 0;
    int currentItem_ = 0;
    std::function<bool()> broadcasterGoesOn_;
    QRect slideTarget_;
    QRect slideCurrent_;
    QTimer slideTimer_;
    QTimer trayWatch_;
    QTimer trayRetry_;
    QTimer trayGrace_;
    // Since the last single click on the tray toggled the window: a second click within the
    // double-click interval belongs to the same gesture.
    QElapsedTimer trayClickToggle_;
    QIcon trayIcon_;
    QString trayNotice_;
    std::function<bool(const QString&)> helpOpener_;
};

}  // namespace chimeon
