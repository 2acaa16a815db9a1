#pragma once

#include <array>
#include <filesystem>
#include <functional>
#include <optional>

#include "core/schedule/calendar_import.h"
#include "core/schedule/holiday_editor.h"
#include "core/system/local_clock.h"
#include "ui/app/sub_dialog.h"
#include "ui/editing/editing_support.h"

class QCheckBox;
class QComboBox;
class QDate;
class QDateEdit;
class QGroupBox;
class QPushButton;
class QTableWidget;

namespace chimeon {

// An office calendar file and how to read it, as the operator chose them.
struct CalendarImportRequest {
    std::filesystem::path file;
    CalendarImportOptions options;
};

// What the holiday page works with; it must outlive the page.
struct HolidayPageParts {
    HolidayPageParts(const AppState& state, std::filesystem::path dataDirectory,
                     const LocalClock& clock, HolidayEditor::CalendarListener onCalendarChanged)
        : state(state),
          dataDirectory(std::move(dataDirectory)),
          clock(clock),
          onCalendarChanged(std::move(onCalendarChanged)) {}

    const AppState& state;
    std::filesystem::path dataDirectory;
    const LocalClock& clock;  // the pickers start at today
    // Told the whole calendar whenever the one in memory changes (loaded, added, deleted, the
    // rest days taken over): today's table selection uses what it was told last.
    HolidayEditor::CalendarListener onCalendarChanged;
    // Asks for the file and the marks of "从日历导入…"; nothing when cancelled (default: the
    // file dialog, then the marks and table).
    std::function<std::optional<CalendarImportRequest>(QWidget*)> chooseImport;
};

// "节假日": the weekly rest days, the days off and the extra working days with their tables.
class CHolidayPage : public CSubDialog {
    Q_OBJECT
public:
    static constexpr int kTemplateId = 142;

    explicit CHolidayPage(HolidayPageParts parts, QWidget* parent = nullptr);

    void OnAddDayOff();
    void OnDeleteDayOff();
    void OnAddWorkDay();
    void OnDeleteWorkDay();
    void OnSave();
    // Reads and plans off the window's thread, then asks to confirm the plan.
    void OnImportCalendar();

    const HolidayEditor& editor() const { return editor_; }
    // 0 = Sunday.
    QCheckBox* restDayBox(int weekday) const { return restDays_[static_cast<size_t>(weekday)]; }
    QTableWidget* dayOffList() const { return dayOffList_; }
    QTableWidget* workDayList() const { return workDayList_; }
    QDateEdit* dayOffDate() const { return dayOffDate_; }
    QDateEdit* workDayDate() const { return workDayDate_; }
    QComboBox* tableChoice() const { return tableChoice_; }
    QPushButton* saveButton() const { return save_; }
    QPushButton* importButton() const { return import_; }

protected:
    void OnInitDialog() override;

private:
    void BuildControls();
    // A group box of one list: the list, "日期：" with its picker, "节目表：" with `table` when
    // there is one, "增加" and "删除".
    QGroupBox* AddListGroup(std::string_view title, const std::vector<ListColumn>& columns,
                            const QDate& today, QTableWidget*& list, QDateEdit*& picker,
                            QComboBox* table, void (CHolidayPage::*onAdd)(),
                            void (CHolidayPage::*onDelete)());
    void ShowRestDays();
    void ShowLists();
    RestDayBoxes Boxes() const;
    // Shows the message of an operation; a refused one also puts the boxes back.
    void Finish(const PageMessage& message);
    void ShowImportPlan(const CalendarFileRead& read, const CalendarImportPlan& plan);

    HolidayPageParts parts_;
    HolidayEditor editor_;
    std::array<QCheckBox*, 7> restDays_{};
    QTableWidget* dayOffList_ = nullptr;
    QTableWidget* workDayList_ = nullptr;
    QDateEdit* dayOffDate_ = nullptr;
    QDateEdit* workDayDate_ = nullptr;
    QComboBox* tableChoice_ = nullptr;
    QPushButton* save_ = nullptr;
    QPushButton* import_ = nullptr;
};

}  // namespace chimeon
