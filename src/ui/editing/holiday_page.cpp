#include "ui/editing/holiday_page.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDate>
#include <QDateEdit>
#include <QDialog>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QFormLayout>
#include <QFutureWatcher>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QProgressDialog>
#include <QPushButton>
#include <QTableWidget>
#include <QVBoxLayout>
#include <QtConcurrent/QtConcurrentRun>

#include "platform/schedule/ical_file.h"
#include "ui/app/check_controls.h"
#include "ui/app/message_box.h"

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

// A line of the marks dialog: the label names its box.
template <typename Box>
Box* AddFormRow(QFormLayout* form, QDialog* dialog, std::string_view label, Box* box) {
    auto* text = new QLabel(Utf8(label), dialog);
    text->setBuddy(box);
    form->addRow(text, box);
    return box;
}

// The file dialog, then the marks and the table of the extra working days.
std::optional<CalendarImportRequest> ChooseImportFile(QWidget* parent) {
    const QString file = QFileDialog::getOpenFileName(parent, Utf8("从日历导入"), QString(),
                                                      Utf8("iCalendar 日历 (*.ics);;所有文件 (*)"));
    if (file.isEmpty()) {
        return std::nullopt;
    }
    CalendarImportRequest request{std::filesystem::path(file.toStdString()), {}};
    QDialog dialog(parent);
    dialog.setWindowTitle(Utf8("从日历导入"));
    auto* form = new QFormLayout(&dialog);
    auto* off = AddFormRow(form, &dialog, "休息日标记：",
                           new QLineEdit(Utf8(request.options.offMark), &dialog));
    auto* work = AddFormRow(form, &dialog, "上班日标记：",
                            new QLineEdit(Utf8(request.options.workMark), &dialog));
    auto* table = AddFormRow(form, &dialog, "加班日节目表：", new QComboBox(&dialog));
    table->addItem(Utf8("当天星期的节目表"), -1);
    for (int id = 0; id < kTableCount; ++id) {
        table->addItem(Utf8(TableName(static_cast<TableId>(id))), id);
    }
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, &dialog);
    QObject::connect(buttons, &QDialogButtonBox::accepted, &dialog, &QDialog::accept);
    QObject::connect(buttons, &QDialogButtonBox::rejected, &dialog, &QDialog::reject);
    form->addRow(buttons);
    if (dialog.exec() != QDialog::Accepted) {
        return std::nullopt;
    }
    request.options.offMark = off->text().toStdString();
    request.options.workMark = work->text().toStdString();
    if (const int id = table->currentData().toInt(); id >= 0) {
        request.options.table = static_cast<TableId>(id);
    }
    return request;
}

struct ImportResult {
    CalendarFileRead read;
    CalendarImportPlan plan;
};

ImportResult ReadAndPlan(const CalendarImportRequest& request, const HolidayCalendar& calendar,
                         CalendarDate today) {
    ImportResult result;
    result.read = ReadCalendarFile(request.file, CalendarFileLimits{});
    if (result.read.Ok()) {
        result.plan = PlanCalendarImport(calendar, result.read.days, request.options, today);
    }
    return result;
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
    import_ = AddButton(saveLine, this, "从日历导入…");
    connect(import_, &QPushButton::clicked, this, &CHolidayPage::OnImportCalendar);
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

void CHolidayPage::OnImportCalendar() {
    if (const PageMessage refusal = editor_.EditRefusal(); !refusal.IsEmpty()) {
        ShowPageMessage(this, refusal);
        return;
    }
    const std::optional<CalendarImportRequest> request =
        parts_.chooseImport ? parts_.chooseImport(this) : ChooseImportFile(this);
    if (!request) {
        return;
    }
    const LocalDateTime now = parts_.clock.Now();
    auto* progress = new QProgressDialog(Utf8("正在读取日历文件…"), QString(), 0, 0, this);
    progress->setWindowTitle(Utf8("从日历导入"));
    progress->setCancelButton(nullptr);
    progress->setMinimumDuration(300);
    progress->setWindowModality(Qt::WindowModal);
    import_->setEnabled(false);
    auto* watcher = new QFutureWatcher<ImportResult>(this);
    connect(watcher, &QFutureWatcherBase::finished, this, [this, watcher, progress] {
        progress->deleteLater();
        watcher->deleteLater();
        import_->setEnabled(true);
        const ImportResult result = watcher->result();
        ShowImportPlan(result.read, result.plan);
    });
    watcher->setFuture(QtConcurrent::run(ReadAndPlan, *request, editor_.Calendar(),
                                         CalendarDate{now.year, now.month, now.day}));
}

void CHolidayPage::ShowImportPlan(const CalendarFileRead& read, const CalendarImportPlan& plan) {
    if (!read.Ok()) {
        ShowReminder(this, Utf8(read.problem + "\n节假日日历没有改变。"));
        return;
    }
    const std::string text = DescribeCalendarImport(plan);
    if (plan.ChangesNothing()) {
        ShowReminder(this, Utf8(text + "没有要新增的日期，节假日日历没有改变。"));
        return;
    }
    if (AskOkCancel(this, Utf8("从日历导入"), Utf8(text + "确定导入并保存吗？"))) {
        Finish(editor_.Import(plan));
    }
}

}  // namespace chimeon
