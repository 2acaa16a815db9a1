#include "ui/editing/holiday_page.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDate>
#include <QDateEdit>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QTableWidget>
#include <QVBoxLayout>

#include "ui/app/check_controls.h"

namespace chimeon {
namespace {

const std::vector<ListColumn> kDayOffColumns = {{"日期", 150}};
const std::vector<ListColumn> kWorkDayColumns = {{"日期", 100}, {"节目表", 100}};

QDate ToQDate(CalendarDate date) {
    return QDate(date.year, date.month, date.day);
}

CalendarDate FromQDate(const QDate& date) {
    return CalendarDate{date.year(), date.month(), date.day()};
}

QDateEdit* MakeDatePicker(QWidget* parent, const QDate& today) {
    auto* picker = new QDateEdit(parent);
    picker->setDateRange(ToQDate(kFirstCalendarDate), ToQDate(kLastCalendarDate));
    picker->setDisplayFormat(QStringLiteral("yyyy/M/d"));
    picker->setCalendarPopup(true);
    picker->setAlignment(Qt::AlignRight);
    picker->setDate(today);
    return picker;
}

// "日期：" with its picker (the label names it), and whatever else goes on the line.
QHBoxLayout* LabelledLine(QWidget* parent, std::string_view label, QWidget* control) {
    auto* line = new QHBoxLayout;
    auto* text = new QLabel(Utf8(label), parent);
    text->setBuddy(control);
    line->addWidget(text);
    line->addWidget(control, 1);
    return line;
}

QPushButton* AddButton(QHBoxLayout* line, QWidget* parent, std::string_view text) {
    auto* button = new QPushButton(Utf8(text), parent);
    line->addWidget(button);
    return button;
}

}  // namespace

CHolidayPage::CHolidayPage(HolidayPageParts parts, QWidget* parent)
    : CSubDialog(kTemplateId, parent),
      parts_(std::move(parts)),
      editor_(parts_.state, parts_.dataDirectory, parts_.onCalendarChanged) {}

void CHolidayPage::OnInitDialog() {
    BuildControls();
    editor_.Load();
    ShowRestDays();
    ShowLists();
}

void CHolidayPage::BuildControls() {
    const LocalDateTime now = parts_.clock.Now();
    const QDate today(now.year, now.month, now.day);
    auto* layout = new QVBoxLayout(this);

    auto* weekBox = new QGroupBox(Utf8("每周节假日"), this);
    auto* weekLayout = new QHBoxLayout(weekBox);
    for (int weekday = 0; weekday < 7; ++weekday) {
        auto* box = new QCheckBox(Utf8(TableName(WeekdayTable(weekday))), weekBox);
        restDays_[static_cast<size_t>(weekday)] = box;
        weekLayout->addWidget(box);
        // The boxes toggle by themselves; only who may change the calendar can toggle them.
        OnToggled(box, this, [this] {
            const PageMessage refusal = editor_.EditRefusal();
            if (!refusal.IsEmpty()) {
                ShowRestDays();
                ShowPageMessage(this, refusal);
            }
        });
    }
    layout->addWidget(weekBox);

    auto* lists = new QHBoxLayout;
    tableChoice_ = new QComboBox(this);
    for (int id = 0; id < kTableCount; ++id) {
        tableChoice_->addItem(Utf8(TableName(static_cast<TableId>(id))), id);
    }
    tableChoice_->setCurrentIndex(0);
    lists->addWidget(AddListGroup("公休日", kDayOffColumns, today, dayOffList_, dayOffDate_,
                                  nullptr, &CHolidayPage::OnAddDayOff,
                                  &CHolidayPage::OnDeleteDayOff));
    lists->addWidget(AddListGroup("加班日", kWorkDayColumns, today, workDayList_, workDayDate_,
                                  tableChoice_, &CHolidayPage::OnAddWorkDay,
                                  &CHolidayPage::OnDeleteWorkDay));
    layout->addLayout(lists, 1);

    auto* saveLine = new QHBoxLayout;
    saveLine->addStretch();
    save_ = AddButton(saveLine, this, "保存");
    connect(save_, &QPushButton::clicked, this, &CHolidayPage::OnSave);
    layout->addLayout(saveLine);

    connect(dayOffList_, &QTableWidget::itemSelectionChanged, this,
            [this] { editor_.SetDayOffRow(SelectedRow(dayOffList_)); });
    connect(workDayList_, &QTableWidget::itemSelectionChanged, this,
            [this] { editor_.SetWorkDayRow(SelectedRow(workDayList_)); });
}

QGroupBox* CHolidayPage::AddListGroup(std::string_view title,
                                      const std::vector<ListColumn>& columns, const QDate& today,
                                      QTableWidget*& list, QDateEdit*& picker, QComboBox* table,
                                      void (CHolidayPage::*onAdd)(),
                                      void (CHolidayPage::*onDelete)()) {
    auto* box = new QGroupBox(Utf8(title), this);
    auto* boxLayout = new QVBoxLayout(box);
    list = MakeReportList(box, columns, box->title());
    boxLayout->addWidget(list, 1);
    picker = MakeDatePicker(box, today);
    boxLayout->addLayout(LabelledLine(box, "日期：", picker));
    if (table != nullptr) {
        boxLayout->addLayout(LabelledLine(box, "节目表：", table));
    }
    auto* buttons = new QHBoxLayout;
    connect(AddButton(buttons, box, "增加"), &QPushButton::clicked, this, onAdd);
    connect(AddButton(buttons, box, "删除"), &QPushButton::clicked, this, onDelete);
    boxLayout->addLayout(buttons);
    return box;
}

RestDayBoxes CHolidayPage::Boxes() const {
    RestDayBoxes boxes{};
    for (size_t weekday = 0; weekday < boxes.size(); ++weekday) {
        boxes[weekday] = restDays_[weekday]->isChecked();
    }
    return boxes;
}

void CHolidayPage::ShowRestDays() {
    for (size_t weekday = 0; weekday < restDays_.size(); ++weekday) {
        SetCheckedQuietly(restDays_[weekday], editor_.Calendar().restDays[weekday]);
    }
}

void CHolidayPage::ShowLists() {
    const HolidayCalendar& calendar = editor_.Calendar();
    std::vector<std::vector<std::string>> daysOff;
    for (const std::string& date : calendar.daysOff) {
        daysOff.push_back({date});
    }
    std::vector<std::vector<std::string>> workDays;
    for (const ExtraWorkDay& day : calendar.extraWorkDays) {
        workDays.push_back({day.date, day.table});
    }
    ShowListRows(dayOffList_, daysOff, kDayOffColumns, editor_.DayOffRow());
    ShowListRows(workDayList_, workDays, kWorkDayColumns, editor_.WorkDayRow());
}

void CHolidayPage::Finish(const PageMessage& message) {
    if (message == NotLoggedIn()) {
        ShowRestDays();  // the calendar did not take them: show what it holds
    }
    ShowLists();
    ShowPageMessage(this, message);
}

void CHolidayPage::OnAddDayOff() {
    Finish(editor_.AddDayOff(Boxes(), FromQDate(dayOffDate_->date())));
}

void CHolidayPage::OnDeleteDayOff() {
    Finish(editor_.DeleteDayOff());
}

void CHolidayPage::OnAddWorkDay() {
    const auto table = static_cast<TableId>(tableChoice_->currentData().toInt());
    Finish(editor_.AddExtraWorkDay(Boxes(), FromQDate(workDayDate_->date()), table));
}

void CHolidayPage::OnDeleteWorkDay() {
    Finish(editor_.DeleteExtraWorkDay());
}

void CHolidayPage::OnSave() {
    Finish(editor_.Save(Boxes()));
}

}  // namespace chimeon
