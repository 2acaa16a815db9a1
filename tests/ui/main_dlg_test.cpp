#include "ui/app/main_dlg.h"

#include <gtest/gtest.h>

#include <QMenu>
#include <QSignalSpy>
#include <QTest>
#include <memory>
#include <optional>
#include <vector>

#include "core/app/app_state.h"
#include "core/app/program_directory.h"
#include "support/temp_dir.h"
#include "support/ui/ui_test_support.h"
#include "ui/controls/caption_label.h"
#include "ui/controls/gfx_out_bar_ctrl.h"

namespace chimeon {
namespace {

// A page that notes when its content is built.
class RecordingPage : public CSubDialog {
public:
    RecordingPage(int id, std::vector<int>& log) : CSubDialog(id), log_(log) {}

protected:
    void OnInitDialog() override { log_.push_back(m_nIDD); }
    QString WorkInProgress() const override { return work; }

public:
    QString work;

private:
    std::vector<int>& log_;
};

class MainDlgTest : public ::testing::Test {
protected:
    void SetUp() override {
        test::App();
        data.Write("help/index.html", "<html></html>");
        SetQuestionHandler([this](QWidget*, const QString& text) {
            questions.append(text);
            return answerYes;
        });
    }
    void TearDown() override { SetQuestionHandler({}); }

    std::unique_ptr<CMainDlg> Make(bool recordPages = true) {
        PageMaker maker;
        if (recordPages) {
            maker = [this](PageKind kind) -> std::unique_ptr<CSubDialog> {
                if (kind == PageKind::kLogin) {
                    return nullptr;  // the built-in login page
                }
                return std::make_unique<RecordingPage>(PageTemplateId(kind), created);
            };
        }
        auto window = std::make_unique<CMainDlg>(state, settings, data.path(), maker);
        window->SetHelpOpener([this](const QString& file) {
            helpOpened.append(file);
            return helpOpens;
        });
        return window;
    }

    // Clicks an item of the open folder of the navigation bar with the mouse.
    static void ClickItem(CMainDlg& window, int item) {
        CGfxOutBarCtrl* bar = window.navigationBar();
        QTest::mouseClick(bar, Qt::LeftButton, Qt::NoModifier, bar->ItemRect(item).center());
    }

    static void FinishSlide(CMainDlg& window) {
        for (int i = 0; i < 1000 && window.slideTimer().isActive(); ++i) {
            window.OnSlideTimer();
        }
    }

    test::WithApp app_;
    AppState state;
    test::MemorySettings settings;
    std::vector<int> created;
    test::TempDir data;
    QStringList helpOpened;
    bool helpOpens = true;
    QStringList questions;
    bool answerYes = false;
    test::MessageCapture messages;
    test::TrayAvailability tray{false};
};

// However narrow the page, the slide-in moves it by at least a pixel a tick and ends on target.
TEST_F(MainDlgTest, SlideInAlwaysArrives) {
    auto window = Make();
    CSubDialog* page = window->page(PageKind::kHoliday);
    for (int width : {637, 5, 0}) {
        page->resize(width, 100);
        window->ShowPage(page);
        EXPECT_EQ(page->x(), -width);
        int ticks = 0;
        for (; window->slideTimer().isActive() && ticks < 50; ++ticks) {
            window->OnSlideTimer();
        }
        EXPECT_EQ(page->geometry(), QRect(0, 0, width, 100)) << width;
    }
}

TEST_F(MainDlgTest, StartsOnTodayAndNavigationShowsPagesMadeOnFirstUseAndSetsTitles) {
    auto window = Make();
    // Template, holiday, weekly program, today, settings (the login page is built in).
    EXPECT_EQ(created, (std::vector<int>{140, 142, 143, 145, 147}));
    EXPECT_TRUE(window->page(PageKind::kLogin)->IsCreated());
    for (PageKind lazy : {PageKind::kRecord, PageKind::kMp3Info, PageKind::kAbout}) {
        EXPECT_FALSE(window->page(lazy)->IsCreated()) << PageTemplateId(lazy);
    }
    window->ShowAtStartup();
    CSubDialog* today = window->page(PageKind::kToday);
    EXPECT_EQ(window->currentPage(), today);
    EXPECT_FALSE(window->slideTimer().isActive());  // no slide-in at start-up
    EXPECT_EQ(window->currentFolder(), 0);
    EXPECT_EQ(window->currentItem(), 3);
    EXPECT_EQ(window->captionLabel()->text(), QStringLiteral("今日列表"));
    EXPECT_EQ(window->windowTitle(), QStringLiteral("[Vantor]Chimeon  用户状态：未登陆"));
    state.loggedIn = true;
    window->RefreshUserState();
    EXPECT_EQ(window->windowTitle(), QStringLiteral("[Vantor]Chimeon  用户状态：已登陆"));
    const auto pages = window->pageArea()->findChildren<CSubDialog*>(Qt::FindDirectChildrenOnly);
    for (CSubDialog* p : pages) {
        EXPECT_EQ(p->isVisible(), p == today) << p->m_nIDD;
    }

    struct Case {
        int item;
        PageKind page;
        const char* title;
    };
    const Case cases[] = {
        {0, PageKind::kTemplate, "模版"},    {1, PageKind::kHoliday, "节假日"},
        {2, PageKind::kProgram, "节目编排"}, {3, PageKind::kToday, "今日列表"},
        {4, PageKind::kRecord, "录音"},      {5, PageKind::kMp3Info, "MP3文件信息"},
        {6, PageKind::kSettings, "设置"},    {7, PageKind::kLogin, "用户登陆"},
        {7, PageKind::kLogin, "用户登陆"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.title);
        window->captionLabel()->setText(QString());
        ClickItem(*window, c.item);
        EXPECT_EQ(window->currentPage(), window->page(c.page));
        EXPECT_TRUE(window->slideTimer().isActive());  // the page slides in again, also when shown
        FinishSlide(*window);
        EXPECT_TRUE(window->page(c.page)->isVisible());
        EXPECT_EQ(window->captionLabel()->text(), QString::fromUtf8(c.title));
        EXPECT_EQ(window->currentItem(), c.item);
    }
    EXPECT_EQ(created, (std::vector<int>{140, 142, 143, 145, 147, 148, 153}));  // made once

    // Folder "帮助": the about page, and the help item that keeps the page but sets the title.
    CGfxOutBarCtrl* bar = window->navigationBar();
    QTest::mouseClick(bar, Qt::LeftButton, Qt::NoModifier, bar->FolderRect(1).center());
    ASSERT_EQ(bar->SelectedFolder(), 1);
    EXPECT_EQ(window->currentPage(),
              window->page(PageKind::kLogin));  // opening a folder shows nothing
    ClickItem(*window, 0);
    EXPECT_EQ(window->currentPage(), window->page(PageKind::kAbout));
    EXPECT_EQ(window->captionLabel()->text(), QStringLiteral("关于"));
    EXPECT_EQ(window->currentFolder(), 1);
    FinishSlide(*window);
    ClickItem(*window, 1);
    EXPECT_EQ(window->currentPage(), window->page(PageKind::kAbout));
    EXPECT_EQ(window->captionLabel()->text(), QStringLiteral("帮助"));
    ASSERT_EQ(helpOpened.size(), 1);
    EXPECT_EQ(helpOpened[0], QString::fromStdString((data / "help/index.html").string()));
    helpOpens = false;  // no browser: where the pages are is said
    window->OpenHelp();
    ASSERT_EQ(messages.messages.size(), 1);
    EXPECT_TRUE(messages.messages[0].endsWith(helpOpened[0]));
    std::filesystem::remove_all(data / "help");  // then the installed pages, or where they go
    window->OpenHelp();
    ASSERT_EQ(messages.messages.size(), 2);
    if (std::filesystem::exists(InstalledDataFolder() / CMainDlg::kHelpPage)) {
        EXPECT_EQ(helpOpened.back().toStdString(), InstalledDataFolder() / CMainDlg::kHelpPage);
    } else {
        EXPECT_TRUE(messages.messages[1].startsWith(QStringLiteral("找不到帮助页面")));
    }
}

TEST_F(MainDlgTest, TrayClicksAndMenuToggleTheWindowThatStartedHiddenInTheTray) {
    test::TrayAvailability withTray(true);
    state.startMinimized = true;
    auto window = Make();
    window->ShowAtStartup();
    ASSERT_TRUE(window->tray().IsShown());
    EXPECT_FALSE(window->isVisible());
    EXPECT_EQ(window->tray().toolTip(), QStringLiteral("[Vantor]Chimeon"));
    EXPECT_TRUE(window->trayNotice().isEmpty());

    window->OnTrayNotify(CMainDlg::kTrayIconId, TrayMouse::kLeftDoubleClick);
    EXPECT_TRUE(window->isVisible());
    window->OnTrayNotify(CMainDlg::kTrayIconId, TrayMouse::kLeftDoubleClick);
    EXPECT_FALSE(window->isVisible());
    window->OnTrayNotify(CMainDlg::kTrayIconId + 1, TrayMouse::kLeftDoubleClick);  // another icon
    window->OnTrayNotify(CMainDlg::kTrayIconId, TrayMouse::kOther);
    window->OnTrayNotify(CMainDlg::kTrayIconId, TrayMouse::kRightButtonUp);
    EXPECT_FALSE(window->isVisible());
    window->OnTrayNotify(CMainDlg::kTrayIconId, TrayMouse::kLeftDoubleClick);
    EXPECT_TRUE(window->isVisible());
    EXPECT_FALSE(window->isMinimized());
    // A StatusNotifierItem tray reports clicks only; an XEmbed tray reports a click before the
    // double-click, which is then the same gesture.
    window->OnTrayNotify(CMainDlg::kTrayIconId, TrayMouse::kLeftClick);
    EXPECT_FALSE(window->isVisible());
    window->OnTrayNotify(CMainDlg::kTrayIconId, TrayMouse::kLeftDoubleClick);
    EXPECT_FALSE(window->isVisible());
    window->OnTrayNotify(CMainDlg::kTrayIconId, TrayMouse::kLeftClick);
    EXPECT_TRUE(window->isVisible());
    EXPECT_TRUE(messages.messages.isEmpty());

    // The tray's menu: its default item toggles the window, its last ends the program.
    QSignalSpy exits(window.get(), &CMainDlg::exitRequested);
    const QList<QAction*> actions = window->trayMenu()->actions();
    ASSERT_EQ(actions.size(), 3);
    EXPECT_EQ(actions[0]->text(), QStringLiteral("主窗口(&M)"));
    EXPECT_TRUE(actions[1]->isSeparator());
    EXPECT_EQ(actions[2]->text(), QStringLiteral("退出(&X)"));
    EXPECT_EQ(window->trayMenu()->defaultAction(), actions[0]);
    actions[0]->trigger();
    EXPECT_FALSE(window->isVisible());
    actions[2]->trigger();  // also while hidden
    EXPECT_EQ(exits.count(), 1);
    EXPECT_TRUE(questions.isEmpty());
    static_cast<RecordingPage*>(window->page(PageKind::kRecord))->work =
        QStringLiteral("正在录音！");
    actions[2]->trigger();  // a recording in progress: asked first, "否" goes on
    EXPECT_EQ(exits.count(), 1);
    ASSERT_EQ(questions.size(), 1);
    EXPECT_TRUE(questions[0].startsWith(QStringLiteral("正在录音！")));
    actions[0]->trigger();
    EXPECT_TRUE(window->isVisible());
}

TEST_F(MainDlgTest, TrayThatComesUpLateGetsTheIconAndAHiddenWindowReturnsWhenItGoes) {
    auto window = Make();  // no tray on the desktop yet, as at an early autostart
    window->ShowAtStartup();
    EXPECT_FALSE(window->tray().IsShown());
    EXPECT_TRUE(window->trayRetryTimer().isActive());
    EXPECT_FALSE(window->RetryTray());

    std::optional<test::TrayAvailability> trayArrives(std::in_place, true);
    EXPECT_TRUE(window->RetryTray());
    EXPECT_TRUE(window->tray().IsShown());
    EXPECT_FALSE(window->trayRetryTimer().isActive());
    window->OnTrayGraceOver();
    EXPECT_TRUE(messages.messages.isEmpty());  // it came in time: nothing to say
    EXPECT_FALSE(window->close());             // with the icon there, closing hides into it
    ASSERT_FALSE(window->isVisible());
    EXPECT_TRUE(window->trayWatchTimer().isActive());
    window->OnTrayWatch();  // the tray is still there
    EXPECT_FALSE(window->isVisible());

    QSignalSpy notices(window.get(), &CMainDlg::trayNoticeChanged);
    trayArrives.reset();  // the desktop's tray goes away
    window->OnTrayWatch();
    EXPECT_TRUE(window->isVisible());
    EXPECT_TRUE(window->isMinimized());
    EXPECT_FALSE(window->trayWatchTimer().isActive());
    EXPECT_TRUE(messages.messages.isEmpty());  // a notice on the today page, never a box
    ASSERT_EQ(notices.count(), 1);
    trayArrives.emplace(true);  // it comes back: the icon again, and the notice goes
    EXPECT_TRUE(window->trayRetryTimer().isActive() && window->RetryTray());
    EXPECT_EQ(notices.last(), QList<QVariant>{QString()});
}

TEST_F(MainDlgTest, WithoutATrayTheWindowMinimisesSaysWhyOnceAndEndsWhenConfirmed) {
    state.startMinimized = true;
    auto window = Make();
    window->ShowAtStartup();
    EXPECT_TRUE(window->isVisible());  // started minimised: minimised, never hidden into nothing
    EXPECT_TRUE(window->isMinimized());
    EXPECT_FALSE(window->tray().IsShown());
    QSignalSpy notices(window.get(), &CMainDlg::trayNoticeChanged);
    ASSERT_TRUE(window->trayGraceTimer().isActive());  // a tray may still come up
    window->OnTrayGraceOver();
    ASSERT_EQ(notices.count(), 1);
    EXPECT_EQ(notices[0][0].toString(), window->trayNotice());
    EXPECT_TRUE(window->trayNotice().contains(QStringLiteral("系统托盘")));

    QSignalSpy exits(window.get(), &CMainDlg::exitRequested);
    static_cast<RecordingPage*>(window->page(PageKind::kRecord))->work =
        QStringLiteral("正在录音！");
    EXPECT_FALSE(window->close());     // asked, and "否"
    EXPECT_TRUE(window->isVisible());  // never hidden into nothing
    EXPECT_TRUE(window->isMinimized());
    ASSERT_EQ(questions.size(), 1);
    EXPECT_TRUE(questions[0].contains(QStringLiteral("要退出程序吗")));
    EXPECT_TRUE(questions[0].contains(QStringLiteral("铃声和节目都不再按时播放")));
    EXPECT_TRUE(questions[0].startsWith(QStringLiteral("正在录音！")));
    EXPECT_EQ(exits.count(), 0);
    window->ToggleMainWindow();
    EXPECT_FALSE(window->isMinimized());
    window->ToggleMainWindow();
    EXPECT_TRUE(window->isVisible());
    EXPECT_TRUE(window->isMinimized());
    window->setWindowState(Qt::WindowMaximized);
    QTest::qWait(0);
    EXPECT_FALSE(window->windowState() & Qt::WindowMaximized);
    EXPECT_EQ(notices.count(), 1);  // said once
    EXPECT_TRUE(messages.messages.isEmpty());
    answerYes = true;
    window->close();
    EXPECT_EQ(exits.count(), 1);
}

TEST_F(MainDlgTest, EscapeNeverEndsOrHidesTheProgram) {
    auto window = Make(false);
    window->ShowAtStartup();
    QSignalSpy exits(window.get(), &CMainDlg::exitRequested);
    window->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(window.get()));
    ClickItem(*window, 7);  // the bar takes the focus, as after any click
    FinishSlide(*window);
    EXPECT_TRUE(window->navigationBar()->hasFocus());
    QTest::keyClick(window->navigationBar(), Qt::Key_Escape);
    QTest::keyClick(window.get(), Qt::Key_Escape);
    EXPECT_TRUE(window->isVisible());
    EXPECT_FALSE(window->isMinimized());
    EXPECT_EQ(exits.count(), 0);

    // Inside a page: Escape and Enter stop at the page.
    CSubDialog* today = window->page(PageKind::kToday);
    QTest::keyClick(today, Qt::Key_Escape);
    QTest::keyClick(today, Qt::Key_Return);
    EXPECT_TRUE(window->isVisible());
    EXPECT_EQ(exits.count(), 0);

    QTest::keyClick(window.get(), Qt::Key_F1);
    EXPECT_EQ(helpOpened.size(), 1);
}

struct ExitCase {
    const char* name;
    bool work;    // a recording is in progress
    bool goesOn;  // the broadcaster goes on without the window
    bool yes;     // the operator's answer
};

class ExitQuestion : public MainDlgTest, public ::testing::WithParamInterface<ExitCase> {};

// "退出" asks while work is in progress, and always when the bells go on without the window.
TEST_P(ExitQuestion, AsksWhileWorkIsInProgressOrTheBellsGoOn) {
    const ExitCase& c = GetParam();
    test::TrayAvailability withTray(true);
    auto window = Make();
    window->ShowAtStartup();
    bool goesOn = !c.goesOn;  // asked at the question, not when set
    window->SetBroadcasterGoesOn([&goesOn] { return goesOn; });
    goesOn = c.goesOn;
    if (c.work) {
        static_cast<RecordingPage*>(window->page(PageKind::kRecord))->work =
            QStringLiteral("正在录音！");
    }
    answerYes = c.yes;
    QSignalSpy exits(window.get(), &CMainDlg::exitRequested);
    window->OnExitCommand();
    const bool asked = c.work || c.goesOn;
    ASSERT_EQ(questions.size(), asked ? 1 : 0);
    if (asked) {
        EXPECT_TRUE(questions[0].contains(QStringLiteral("要退出程序吗？")));
        EXPECT_EQ(questions[0].startsWith(QStringLiteral("正在录音！")), c.work);
        EXPECT_EQ(questions[0].contains(QStringLiteral("铃声和节目照常按时播放")), c.goesOn);
    }
    EXPECT_EQ(exits.count(), !asked || c.yes ? 1 : 0);
}

INSTANTIATE_TEST_SUITE_P(MainDlg, ExitQuestion,
                         ::testing::Values(ExitCase{"WindowsOwnIdle", false, false, false},
                                           ExitCase{"WindowsOwnRecordingNo", true, false, false},
                                           ExitCase{"WindowsOwnRecordingYes", true, false, true},
                                           ExitCase{"ServiceIdleNo", false, true, false},
                                           ExitCase{"ServiceIdleYes", false, true, true},
                                           ExitCase{"ServiceRecordingYes", true, true, true}),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace chimeon
