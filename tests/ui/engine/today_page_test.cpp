#include "ui/engine/today_page.h"

#include <gtest/gtest.h>

#include <QAccessible>
#include <QAction>
#include <QContextMenuEvent>
#include <QGuiApplication>
#include <QLabel>
#include <QMenu>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QTest>
#include <thread>

#include "broadcaster/qt_clock_timer.h"
#include "core/app/app_state.h"
#include "core/audio/mixer_control.h"
#include "core/schedule/item_editor_form.h"
#include "core/schedule/schedule_file.h"
#include "support/clock_rig.h"
#include "support/fake_engine_ports.h"
#include "support/fake_local_clock.h"
#include "support/fake_media_player.h"
#include "support/fake_mixer.h"
#include "support/temp_dir.h"
#include "support/ui/engine_link.h"
#include "support/ui/ui_test_support.h"
#include "support/wave_bytes.h"
#include "ui/app/qt_text.h"
#include "ui/controls/mixer_fader_slider.h"
#include "ui/engine/media_preview_dlg.h"

namespace chimeon {
namespace {

using test::MemorySettings;
using test::MessageCapture;

constexpr std::int64_t kSecond = 1000;

ProgramItem FileItem(std::string title, std::string start, std::string path,
                     std::string end = std::string(kEndPlayOnce)) {
    return ProgramItem{std::move(title), std::move(start), std::move(end), "100", "",
                       std::move(path)};
}

// A today page and its engine (on the test's thread) on a fake clock (Monday 2026-12-07), a fake
// player in simulated media time and a fake mixer; the item editor is replaced by `editor`.
class TodayPageTest : public ::testing::Test, public test::WithApp {
protected:
    TodayPageTest() { settings.values["ShowMedia"] = "0"; }
    ~TodayPageTest() override {
        page.reset();
        engine.reset();
        SetQuestionHandler({});
    }

    void WriteToday(const ScheduleTable& table) {
        ASSERT_TRUE(SaveScheduleFile(dir / "Day1.dat", table));
    }
    void SetTime(int hour, int minute, int second) {
        wallMs = test::MsFromLocal(2026, 12, 7, hour, minute, second);
        localClock.SetMs(wallMs);
    }
    // Moves wall and media time on second by second, a step in each.
    void RunTo(int hour, int minute, int second) {
        const std::int64_t target = test::MsFromLocal(2026, 12, 7, hour, minute, second);
        while (wallMs < target) {
            wallMs += kSecond;
            mediaMs += kSecond;
            localClock.SetMs(wallMs);
            engine->stepTimer()->Fire();
        }
        Sync();
    }
    void CreatePage(MixerControl* useMixer = nullptr, QWidget* window = nullptr) {
        EngineParts engineParts(localClock, player, lister, dir.path());
        engineParts.measureDurations = measure;
        engine = std::make_unique<BroadcastEngine>(std::move(engineParts));
        link = std::make_unique<test::EngineLink>(*engine);
        TodayPageParts parts(state, settings, localClock, *link);
        parts.audio.mixer = useMixer;
        parts.audio.probe = probeAudio;
        parts.editItem = [this](QWidget*,
                                const ItemEditorFields* fields) -> std::optional<ProgramItem> {
            editorSeen.push_back(fields ? std::optional<ItemEditorFields>(*fields) : std::nullopt);
            if (whileEditorOpen) {
                whileEditorOpen();
            }
            return editorAnswer;
        };
        page = std::make_unique<CTodayPage>(std::move(parts));
        page->CreatePage(CTodayPage::kTemplateId, window != nullptr ? window : &host);
        page->resize(900, 500);
        Sync();
    }
    // Today's table written, the clock at the time given, the page made.
    void Open(const ScheduleTable& table, int hour, int minute, int second) {
        WriteToday(table);
        SetTime(hour, minute, second);
        CreatePage();
    }
    void Sync() { test::WaitForEngine(*engine); }
    BroadcastClock& clock() { return *engine->clock(); }
    QRect RowRect(int row) const {
        return page->listView()->visualRect(page->listView()->model()->index(row, 0));
    }
    void LeftClickRow(int row) {
        QTest::mouseClick(page->listView()->viewport(), Qt::LeftButton, {}, RowRect(row).center());
    }
    void Click(const char* name) {
        auto* button = page->findChild<QPushButton*>(QLatin1String(name));
        ASSERT_NE(button, nullptr) << name;
        button->click();
        Sync();
    }
    std::string States() const {
        std::string states;
        for (int row = 0; row < page->list().RowCount(); ++row) {
            states += (row ? "|" : "") + std::string(RowStateText(page->list().Row(row)->state));
        }
        return states;
    }
    std::string ViewCell(int row, int column) const {
        const QModelIndex cell = page->listView()->model()->index(row, column);
        return cell.isValid() ? cell.data().toString().toStdString() : "<none>";
    }

    test::TempDir dir;
    test::FakeLocalClock localClock;
    std::int64_t wallMs = 0;
    std::int64_t mediaMs = 0;
    test::FakeMediaPlayer player{[this] { return mediaMs; }};
    test::FakeDirectoryLister lister;
    MemorySettings settings;
    AppState state;
    MessageCapture messages;
    bool measure = false;
    std::vector<std::optional<ItemEditorFields>> editorSeen;
    std::function<std::string()> probeAudio;
    std::optional<ProgramItem> editorAnswer;
    std::function<void()> whileEditorOpen;
    QWidget host;
    std::unique_ptr<BroadcastEngine> engine;
    std::unique_ptr<test::EngineLink> link;
    std::unique_ptr<CTodayPage> page;
};

TEST_F(TodayPageTest, ShowsTodaysRowsAndTheirStatesAsTheEngineGoes) {
    player.AddFile("/m/bell.mp3", 3 * kSecond);
    Open({FileItem("起床铃", "8:0:0", "/m/bell.mp3")}, 7, 59, 58);
    CTodayListView* view = page->listView();
    const char* headers[] = {"标题",     "状态", "起播时间", "结束时间",
                             "起始音量", "时长", "文件路径"};
    ASSERT_EQ(view->model()->columnCount(), kTodayColumnCount);
    for (int column = 0; column < kTodayColumnCount; ++column) {
        EXPECT_EQ(view->model()->headerData(column, Qt::Horizontal).toString(),
                  Utf8(headers[column]));
    }
    EXPECT_EQ(ViewCell(0, kColumnTitle), "起床铃");
    EXPECT_EQ(ViewCell(0, kColumnState), "待播");
    EXPECT_EQ(ViewCell(0, kColumnStart), "8:0:0");
    // Screen readers read the list by its name, and every cell.
    QAccessibleInterface* table = QAccessible::queryAccessibleInterface(view);
    EXPECT_EQ(table->text(QAccessible::Name), Utf8("今日列表"));
    ASSERT_NE(table->tableInterface(), nullptr);
    EXPECT_EQ(table->tableInterface()->cellAt(0, kColumnState)->text(QAccessible::Name),
              Utf8("待播"));
    EXPECT_EQ(page->statusLabel()->text(), Utf8("今天播放星期一的节目表！"));
    EXPECT_TRUE(page->automaticButton()->isChecked());
    EXPECT_TRUE(engine->stepTimer()->IsArmed());
    EXPECT_TRUE(engine->dayTimer()->IsArmed());

    RunTo(8, 0, 0);
    EXPECT_EQ(ViewCell(0, kColumnState), "正播");
    EXPECT_EQ(player.CurrentFile(), "/m/bell.mp3");
    // "ShowMedia" 0: the preview stays hidden, the sound plays, a picture would go to its area.
    EXPECT_FALSE(page->preview()->isVisible());
    EXPECT_EQ(player.Surface(), page->preview()->displayArea()->output().get());
    mediaMs += 1000;
    emit page->preview()->statusWanted();
    Sync();
    EXPECT_EQ(page->preview()->statusLine()->text(), Utf8("正播：bell.mp3 00:00:01 / 00:00:03"));
    RunTo(8, 0, 4);
    EXPECT_EQ(ViewCell(0, kColumnState), "待播");
}

TEST_F(TodayPageTest, HighlightedRowIsTheOneTheButtonsAndTheMenuActOn) {
    for (const char* path : {"/m/a.mp3", "/m/b.mp3", "/m/c.mp3"}) {
        player.AddFile(path, 5 * kSecond);
    }
    Open({FileItem("a", "9:0:0", "/m/a.mp3"), FileItem("b", "9:1:0", "/m/b.mp3"),
          FileItem("c", "9:2:0", "/m/c.mp3")},
         8, 0, 0);
    page->show();
    auto highlighted = [this] {
        const QModelIndexList rows = page->listView()->selectionModel()->selectedRows();
        return rows.isEmpty() ? -1 : rows.front().row();
    };
    LeftClickRow(0);
    Click("todayDown");
    Click("todayDown");  // "a" is at the bottom now, and so is the highlight
    EXPECT_EQ(highlighted(), 2);
    Click("todayDelete");
    EXPECT_EQ(page->list().Item(0).title + page->list().Item(1).title, "bc");
    EXPECT_EQ(highlighted(), -1);  // the row the buttons would act on is gone
    LeftClickRow(1);
    QTest::keyClick(page->listView(), Qt::Key_Up);
    EXPECT_EQ(page->selectedRow(), 0);

    // A right click makes its row the one "播放" plays.
    QContextMenuEvent rightClick(QContextMenuEvent::Mouse, RowRect(1).center(),
                                 page->listView()->viewport()->mapToGlobal(RowRect(1).center()));
    QCoreApplication::sendEvent(page->listView()->viewport(), &rightClick);
    QMenu* menu = page->popupMenu();
    EXPECT_TRUE(menu->isVisible());
    EXPECT_EQ(highlighted(), 1);
    ASSERT_EQ(menu->actions().size(), 2);
    EXPECT_EQ(menu->actions()[1]->text(), Utf8("停止"));
    ASSERT_EQ(menu->defaultAction(), menu->actions()[0]);
    EXPECT_EQ(menu->defaultAction()->text(), Utf8("播放"));
    menu->defaultAction()->trigger();
    menu->hide();
    Sync();
    EXPECT_EQ(player.CurrentFile(), "/m/c.mp3");
    EXPECT_EQ(States(), "待播|正播");
    menu->actions()[1]->trigger();
    Sync();
    EXPECT_FALSE(player.IsPlaying());
}

TEST_F(TodayPageTest, PlayingRowAndRowStoppedInAutomaticModeAreRefusedAtOnce) {
    // A row playing to its end time: after "停止" it reads "待播" but the clock still follows it
    // (a chained row would start from it at the end time).
    player.AddFile("/m/loop.mp3", 10 * kSecond);
    Open({FileItem("loop", "8:0:0", "/m/loop.mp3", "8:0:30"),
          FileItem("next", std::string(kStartChained), "/m/next.mp3")},
         7, 59, 59);
    RunTo(8, 0, 2);
    page->SetSelectedRow(0);
    Click("todayDelete");
    Click("todayEdit");
    Click("todayStop");
    RunTo(8, 0, 3);
    ASSERT_EQ(States(), "待播|待播");
    ASSERT_EQ(page->state().watchedRow, 0);
    Click("todayDelete");
    Click("todayEdit");
    EXPECT_EQ(messages.messages,
              QStringList({Utf8(kCannotDeletePlaying), Utf8(kCannotEditPlaying),
                           Utf8(kCannotDeletePlaying), Utf8(kCannotEditPlaying)}));
    EXPECT_EQ(page->list().RowCount(), 2);
    EXPECT_TRUE(editorSeen.empty());
}

TEST_F(TodayPageTest, AddedRowPlaysUntilApplyAndEditRewritesUnlessTheListWasLoadedAnew) {
    player.AddFile("/m/new.mp3", 60 * kSecond);
    Open({ProgramItem{"folder", "9:0:0", std::string(kEndPlayOnce), "100", "随机", "d:\\music\\"}},
         8, 0, 0);
    editorAnswer = FileItem("new", "8:0:5", "/m/new.mp3");
    Click("todayAdd");
    ASSERT_EQ(page->list().RowCount(), 2);
    EXPECT_EQ(ViewCell(1, kColumnTitle), "new");
    RunTo(8, 0, 5);
    EXPECT_EQ(player.CurrentFile(), "/m/new.mp3");
    int asked = 0;
    SetQuestionHandler([&](QWidget*, const QString& text) {
        ++asked;
        EXPECT_EQ(text, Utf8(kApplyQuestion));
        return asked > 1;  // "否" the first time, "是" the second
    });
    Click("todayApply");
    EXPECT_EQ(page->list().RowCount(), 2);
    Click("todayApply");
    EXPECT_EQ(page->list().RowCount(), 1);
    EXPECT_EQ(page->listView()->model()->rowCount(), 1);
    EXPECT_FALSE(player.IsOpen());
    EXPECT_EQ(States(), "待播");

    editorSeen.clear();
    page->SetSelectedRow(0);
    editorAnswer = FileItem("file", "9:5:0", "/m/x.mp3");
    Click("todayEdit");
    ASSERT_EQ(editorSeen.size(), 1u);
    EXPECT_EQ(editorSeen[0]->source, SourceKind::kFolder);  // a folder row opens as a folder
    EXPECT_TRUE(editorSeen[0]->randomOrder);
    EXPECT_EQ(page->list().Item(0), *editorAnswer);
    EXPECT_EQ(ViewCell(0, kColumnTitle), "file");
    EXPECT_EQ(ViewCell(0, kColumnStart), "9:5:0");

    editorAnswer = FileItem("edited", "9:30:0", "/m/edited.mp3");
    whileEditorOpen = [this] {
        // Midnight passes while the editor is open: Tuesday's table replaces Monday's.
        ASSERT_TRUE(SaveScheduleFile(dir / "Day2.dat", {FileItem("tuesday", "7:0:0", "/m/t.mp3")}));
        wallMs = test::MsFromLocal(2026, 12, 8, 0, 0, 0);
        localClock.SetMs(wallMs);
        engine->dayTimer()->Fire();
    };
    Click("todayEdit");
    ASSERT_EQ(editorSeen.size(), 2u);
    EXPECT_EQ(editorSeen[1]->title, "file");
    EXPECT_EQ(messages.messages, QStringList({Utf8(kEditOverReloaded)}));
    EXPECT_EQ(page->list().Item(0).title, "tuesday");
    EXPECT_EQ(page->list().Item(0).path, "/m/t.mp3");
}

TEST_F(TodayPageTest, WithoutLoginEveryCommandIsRefusedAndTheModeButtonsShowTheModeInForce) {
    state.usePassword = true;
    player.AddFile("/m/a.mp3", 60 * kSecond);
    Open({FileItem("a", "9:0:0", "/m/a.mp3"), FileItem("b", "9:1:0", "/m/b.mp3")}, 8, 0, 0);
    page->show();
    int asked = 0;
    SetQuestionHandler([&](QWidget*, const QString&) { return ++asked > 0; });
    editorAnswer = FileItem("x", "9:0:0", "/m/x.mp3");
    page->SetSelectedRow(1);
    for (const char* button : {"todayApply", "todayAdd", "todayEdit", "todayDelete", "todayUp",
                               "todayDown", "todayPlay", "todayStop"}) {
        messages.messages.clear();
        Click(button);
        EXPECT_EQ(messages.messages, QStringList({Utf8(kNotLoggedInMessage)})) << button;
    }
    EXPECT_EQ(asked, 0);
    EXPECT_TRUE(editorSeen.empty());
    EXPECT_EQ(player.OpenCount(), 0);
    EXPECT_EQ(page->list().Item(1).title, "b");

    messages.messages.clear();  // a screen reader's toggle, as a click
    QAccessible::queryAccessibleInterface(page->manualButton())
        ->actionInterface()
        ->doAction(QAccessibleActionInterface::toggleAction());
    Sync();
    EXPECT_EQ(messages.messages, QStringList({Utf8(kNotLoggedInMessage)}));
    EXPECT_TRUE(page->automaticButton()->isChecked());
    EXPECT_FALSE(page->manualButton()->isChecked());
    EXPECT_EQ(clock().Mode(), ControlMode::kAutomatic);

    // Logged in, the same click switches to manual and the timers stop.
    state.loggedIn = true;
    page->manualButton()->click();
    Sync();
    EXPECT_TRUE(page->manualButton()->isChecked());
    EXPECT_EQ(page->state().mode, ControlMode::kManual);
    EXPECT_FALSE(engine->stepTimer()->IsArmed());
    EXPECT_FALSE(engine->dayTimer()->IsArmed());
    page->automaticButton()->click();
    Sync();
    EXPECT_EQ(clock().Mode(), ControlMode::kAutomatic);
    EXPECT_TRUE(engine->stepTimer()->IsArmed());
}

TEST_F(TodayPageTest, ShownPreviewAndMainWindowStayOnTheUsableScreenArea) {
    settings.values["ShowMedia"] = "1";
    WriteToday({});
    SetTime(8, 0, 0);
    QWidget mainWindow;
    mainWindow.resize(600, 400);
    CreatePage(nullptr, &mainWindow);
    CMediaPreviewDlg* preview = page->preview();
    ASSERT_TRUE(preview->isVisible());
    const QRect area = QGuiApplication::primaryScreen()->availableGeometry();
    EXPECT_EQ(preview->pos(), QPoint(area.x(), area.y() + (area.height() - preview->height()) / 2));
    // Too narrow for both side by side: the preview shrinks into the room beside the main window.
    EXPECT_EQ(preview->width(), area.width() - 600 - 5);
    EXPECT_EQ(mainWindow.pos(),
              QPoint(area.right() + 1 - 600, area.y() + (area.height() - 400) / 2));
    page.reset();  // before the window it sits in
}

TEST_F(TodayPageTest, VolumeSliderFollowsTheMixerAndIsDisabledWithoutOne) {
    WriteToday({});
    SetTime(8, 0, 0);
    test::FakeMixer mixer;
    mixer.values = {50, 50};
    mixer.muted = false;
    CreatePage(&mixer);
    EXPECT_TRUE(page->volumeSlider()->isEnabled());
    QAccessibleInterface* slider = QAccessible::queryAccessibleInterface(page->volumeSlider());
    EXPECT_EQ(slider->text(QAccessible::Name), Utf8("音量"));
    ASSERT_TRUE(mixer.Write({0, 0}));
    emit page->volumeSlider()->MixerChanged();
    EXPECT_EQ(page->noticeLabel()->text(), Utf8("主音量为零，铃声和节目听不到！"));
    page.reset();
    CreatePage(nullptr);
    EXPECT_FALSE(page->volumeSlider()->isEnabled());
    EXPECT_TRUE(page->volumeSlider()->toolTip().startsWith(Utf8("没有主音量控制")));
}

// The probe of the sound output and the measuring of play times never hold the window.
TEST_F(TodayPageTest, NoSoundIsSaidUntilItWorksAndPlayTimesAreMeasuredOffTheWindowThread) {
    player.AddFile("/m/a.mp3", 5 * kSecond);
    dir.Write("two.wav", test::SilentWav(2));
    std::string missing = "no device";  // read by the probe's thread, changed between probes
    probeAudio = [&missing] { return missing; };
    measure = true;
    Open({FileItem("a", "8:0:1", "/m/a.mp3"), FileItem("wav", "9:0:0", (dir / "two.wav").string()),
          ProgramItem{"folder", "9:1:0", std::string(kEndPlayOnce), "100", "顺序",
                      (dir.path() / "").string()}},
         8, 0, 0);
    ASSERT_TRUE(QTest::qWaitFor([&] { return ViewCell(1, kColumnMode) == "0:02"; }));
    EXPECT_EQ(ViewCell(2, kColumnMode), "顺序");
    QLabel* notice = page->noticeLabel();
    const QString noOutput = Utf8(ReportedNotice(NoticeTopic::kAudioOutput, "no device"));
    ASSERT_TRUE(QTest::qWaitFor([&] { return notice->text() == noOutput; }));
    EXPECT_TRUE(page->audioMonitor()->probeTimer().isActive());  // looks again until sound is back
    missing.clear();
    page->audioMonitor()->Probe();
    ASSERT_TRUE(QTest::qWaitFor([&] { return notice->isHidden(); }));

    // A file that opens is sound that works: it clears what a probe said.
    missing = "gone again";
    page->audioMonitor()->Probe();
    ASSERT_TRUE(QTest::qWaitFor([&] { return !notice->isHidden(); }));
    RunTo(8, 0, 1);
    EXPECT_TRUE(notice->isHidden());

    // Other parts report from their own threads, also after the page is gone.
    auto report = page->NoticeReporter(NoticeTopic::kPlayHistory);
    std::thread([&] { report("disk full"); }).join();
    QCoreApplication::processEvents();
    EXPECT_EQ(notice->text(), Utf8(ReportedNotice(NoticeTopic::kPlayHistory, "disk full")));
    report("");
    QCoreApplication::processEvents();
    EXPECT_TRUE(notice->isHidden());
    page.reset();
    report("disk full");
}

}  // namespace
}  // namespace chimeon
