#include <gtest/gtest.h>

#include <QAccessible>
#include <QCheckBox>
#include <QDateEdit>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QTableWidget>
#include <QTest>

#include "broadcaster/qt_clock_timer.h"
#include "core/engine/calendar_copy.h"
#include "core/schedule/schedule_file.h"
#include "support/fake_engine_ports.h"
#include "support/fake_local_clock.h"
#include "support/fake_media_player.h"
#include "support/fake_system_ports.h"
#include "support/temp_dir.h"
#include "support/ui/engine_link.h"
#include "support/ui/ui_test_support.h"
#include "ui/editing/holiday_page.h"
#include "ui/editing/table_page.h"
#include "ui/engine/today_page.h"
#include "ui/system/login_page.h"
#include "ui/system/settings_page.h"

namespace chimeon {
namespace {

ProgramItem Bell(std::string title) {
    return {std::move(title), "8:0:0", "播完终止", "100", "顺序", "/m/bell.wav"};
}

// The editing pages and a today page on one data folder, wired as the program wires them, on a
// fake clock at Monday 2026-12-07 10:00.
struct EditingPagesTest : testing::Test, test::WithApp {
    EditingPagesTest() {
        settings.values["ShowMedia"] = "0";
        SetDay(7);
    }
    ~EditingPagesTest() override { SetQuestionHandler({}); }

    void SetDay(int day) { clock.SetMs(test::MsFromLocal(2026, 12, day, 10, 0, 0)); }
    template <typename Page>
    std::unique_ptr<Page> MakeTablePage() {
        TablePageParts parts(state, dir.path());
        parts.editItem = [](QWidget*, const ProgramItem*) {
            return std::optional<ProgramItem>(Bell("新铃"));
        };
        parts.chooseTable = [this](QWidget*) { return chosen; };
        auto page = std::make_unique<Page>(std::move(parts));
        page->CreatePage(Page::kTemplateId, &host);
        return page;
    }
    std::unique_ptr<CHolidayPage> MakeHolidayPage() {
        auto page = std::make_unique<CHolidayPage>(
            HolidayPageParts(state, dir.path(), clock, [this](const HolidayCalendar& c) {
                calendar.Update(c);
                if (engine != nullptr) {
                    engine->SetCalendar(c);
                }
            }));
        page->CreatePage(CHolidayPage::kTemplateId, &host);
        return page;
    }
    void ClickRow(QTableWidget* list, int row) {
        const QRect cell = list->visualRect(list->model()->index(row, 0));
        QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, cell.center());
    }

    test::TempDir dir;
    test::FakeLocalClock clock;
    AppState state;
    test::MemorySettings settings;
    test::MessageCapture messages;
    CalendarCopy calendar;
    std::optional<TableId> chosen;
    QWidget host;
    test::FakeMediaPlayer player{[] { return std::int64_t{0}; }};
    test::FakeDirectoryLister lister;
    std::unique_ptr<BroadcastEngine> engine;  // as the program has it, on this thread
};

TEST_F(EditingPagesTest, TemplatePageAndTheChooser) {
    auto page = MakeTablePage<CTemplatePage>();
    EXPECT_EQ(page->tableRadio(4)->text(), QStringLiteral("模板5"));
    CTemplateChooseDlg first;
    first.radio(TableId::kFriday)->click();
    EXPECT_EQ(first.Choice(), TableId::kFriday);
    EXPECT_EQ(CTemplateChooseDlg().Choice(), TableId::kTemplate1) << "每次都从模板1开始";
}

TEST_F(EditingPagesTest, HolidayPageFollowsTheCalendarAndRefusesWhenLockedOut) {
    auto page = MakeHolidayPage();
    EXPECT_TRUE(page->restDayBox(6)->isChecked());
    EXPECT_FALSE(page->restDayBox(3)->isChecked());
    EXPECT_EQ(page->dayOffDate()->date(), QDate(2026, 12, 7));
    EXPECT_EQ(page->dayOffDate()->parentWidget()->findChild<QLabel*>()->buddy(),
              page->dayOffDate());

    page->restDayBox(3)->click();
    page->dayOffDate()->setDate(QDate(2010, 5, 1));
    page->OnAddDayOff();
    EXPECT_EQ(page->dayOffList()->item(0, 0)->text(), QStringLiteral("5/1/2010"));
    EXPECT_TRUE(calendar.Calendar().restDays[3]) << "the today page's copy follows at once";

    state.usePassword = true;
    page->restDayBox(2)->click();
    EXPECT_FALSE(page->restDayBox(2)->isChecked());
    ClickRow(page->dayOffList(), 0);
    page->OnDeleteDayOff();
    EXPECT_EQ(page->dayOffList()->rowCount(), 1);
    EXPECT_EQ(messages.messages, QStringList(2, QStringLiteral("用户未登陆，不能进行任何修改！")));
}

// "从日历导入…" asks for nothing while locked out; a confirmed plan is listed and saved.
TEST_F(EditingPagesTest, HolidayPageImportsAnOfficeCalendar) {
    dir.Write("school.ics",
              "BEGIN:VCALENDAR\r\nBEGIN:VEVENT\r\nSUMMARY:休\r\nDTSTART;VALUE=DATE:20270101\r\n"
              "END:VEVENT\r\nBEGIN:VEVENT\r\nSUMMARY:班\r\nDTSTART;VALUE=DATE:20270102\r\n"
              "END:VEVENT\r\nEND:VCALENDAR\r\n");
    int asked = 0;
    HolidayPageParts parts(state, dir.path(), clock, {});
    parts.chooseImport = [&](QWidget*) {
        ++asked;
        return std::optional<CalendarImportRequest>({dir / "school.ics", {}});
    };
    auto page = std::make_unique<CHolidayPage>(std::move(parts));
    page->CreatePage(CHolidayPage::kTemplateId, &host);
    QStringList questions;
    SetQuestionHandler([&](QWidget*, const QString& text) { return questions.append(text), true; });
    state.usePassword = true;
    page->importButton()->click();
    EXPECT_EQ(asked, 0);
    state.usePassword = false;
    page->importButton()->click();
    QTRY_COMPARE(page->dayOffList()->rowCount(), 1);
    EXPECT_EQ(page->dayOffList()->item(0, 0)->text(), QStringLiteral("1/1/2027"));
    EXPECT_EQ(page->workDayList()->item(0, 1)->text(), QStringLiteral("星期六"));
    EXPECT_TRUE(questions.value(0).startsWith(QStringLiteral("新增公休日1个：1/1/2027\n")));
    EXPECT_EQ(messages.messages,
              (QStringList{QStringLiteral("用户未登陆，不能进行任何修改！"),
                           QStringLiteral("导入完毕：新增公休日1个，加班日1个。")}));
    EXPECT_EQ(LoadHolidayCalendar(dir.path()), page->editor().Calendar());
}

// A table laid down on the weekly page reaches today's list by "应用新的设置"; a day off saved
// on the holiday page silences the next day.
TEST_F(EditingPagesTest, TablesAndCalendarReachTodaysSelection) {
    ASSERT_TRUE(SaveScheduleFile(dir / "Day0.dat", {Bell("A"), Bell("B")}));
    EngineParts engineParts(clock, player, lister, dir.path());
    engineParts.measureDurations = false;
    engine = std::make_unique<BroadcastEngine>(std::move(engineParts));
    auto holiday = MakeHolidayPage();
    auto program = MakeTablePage<CProgramPage>();
    test::EngineLink link(*engine);
    CTodayPage today(TodayPageParts(state, settings, clock, link));
    today.CreatePage(CTodayPage::kTemplateId, &host);

    // The weekly page shows what its editor holds, the highlight on the row the buttons act on.
    QTableWidget* list = program->listView();
    EXPECT_TRUE(program->tableRadio(0)->isChecked());
    ClickRow(list, 1);
    program->button("上移")->click();
    EXPECT_EQ(list->item(0, 0)->text(), QStringLiteral("B"));
    EXPECT_EQ(SelectedRow(list), 0);
    program->tableRadio(1)->click();
    program->button("增加")->click();
    program->button("保存")->click();
    EXPECT_EQ(list->item(0, 0)->text(), QStringLiteral("新铃"));
    chosen = TableId::kTemplate1;
    program->button("从模板导入")->click();  // an empty template: nothing to import, nothing lost
    EXPECT_EQ(list->rowCount(), 0);
    EXPECT_EQ(messages.messages, (QStringList{QStringLiteral("保存完毕！"),
                                              QStringLiteral("您没有保存相关数据！无法导入！")}));
    SetQuestionHandler([](QWidget*, const QString&) { return true; });
    today.OnApply();
    test::WaitForEngine(*engine);
    ASSERT_EQ(today.list().RowCount(), 1);
    EXPECT_EQ(today.list().Item(0).title, "新铃");
    EXPECT_EQ(today.statusLabel()->text(), QStringLiteral("今天播放星期一的节目表！"));

    holiday->dayOffDate()->setDate(QDate(2026, 12, 8));
    holiday->OnAddDayOff();
    holiday->saveButton()->click();
    EXPECT_EQ(messages.messages.last(), QStringLiteral("保存完毕！"));
    SetDay(8);
    test::WaitForEngine(*engine);  // the calendar's copy is there before the day check
    engine->dayTimer()->Fire();
    test::WaitForEngine(*engine);
    EXPECT_TRUE(today.state().noBroadcastToday);
    EXPECT_EQ(today.state().statusText, "今天是节假日！");
}

// Every radio button and check box of every page and dialog does by the accessibility bus's toggle
// action what a click does.
TEST_F(EditingPagesTest, EveryRadioButtonAndCheckBoxDoesByAccessibleActionWhatAClickDoes) {
    ASSERT_TRUE(SaveScheduleFile(dir / "Day1.dat", {Bell("一")}));
    test::FakeAutostart autostart;
    test::RecordingSkinning skinning;
    const SettingsConsoleParts system{state, settings, clock, autostart, skinning, {}};
    const std::function<QWidget*()> pages[] = {
        [&] { return new CSettingsPage(SettingsPageParts(system)); },
        [&] { return new CLoginPage(state, settings); },
        [&] { return MakeHolidayPage().release(); },
        [&] { return MakeTablePage<CProgramPage>().release(); },
        [] { return new ProgramItemEditor({}); },
        [] { return new CTemplateChooseDlg; }};
    // What is seen after the `index`th of a page's radio buttons and check boxes, if it has one,
    // was operated on the page made afresh: the messages, the settings written, every control's
    // name, value and state.
    auto operate = [&](int page, bool locked, int index, bool accessibly) {
        state.usePassword = locked;  // the login page may have changed it, and only it
        settings.values.clear();
        messages.messages.clear();
        std::unique_ptr<QWidget> shown(pages[page]());
        if (auto* sub = qobject_cast<CSubDialog*>(shown.get())) {
            sub->CreatePage(sub->m_nIDD, nullptr);  // made already: nothing
        }
        QList<QAbstractButton*> controls = shown->findChildren<QAbstractButton*>();
        controls.removeIf([](const QAbstractButton* control) { return !control->isCheckable(); });
        if (index < controls.size() && accessibly) {
            QAccessible::queryAccessibleInterface(controls[index])
                ->actionInterface()
                ->doAction(QAccessibleActionInterface::toggleAction());
        } else if (index < controls.size()) {
            controls[index]->click();
        }
        EXPECT_LE(messages.messages.size(), 1) << "a state shown was taken for a choice";
        QString seen = messages.messages.join('|');
        for (const auto& [key, value] : settings.values) {
            seen += QString::fromStdString(key + "=" + value + " ");
        }
        for (QWidget* control : shown->findChildren<QWidget*>()) {
            QAccessibleInterface* node = QAccessible::queryAccessibleInterface(control);
            seen += node->text(QAccessible::Name) + node->text(QAccessible::Value) +
                    QString::number(node->state().checked + 2 * control->isEnabled());
        }
        return seen.toStdString();
    };
    for (int run = 0; run < 2 * 6 * 12; ++run) {  // locked or not, the page, its control
        const int locked = run / 72, page = run / 12 % 6, control = run % 12;
        EXPECT_EQ(operate(page, locked, control, true), operate(page, locked, control, false))
            << "page " << page << ", control " << control << (locked ? ", locked" : "");
    }
}

}  // namespace
}  // namespace chimeon
