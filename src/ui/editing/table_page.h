#pragma once

#include <filesystem>
#include <string_view>
#include <vector>

#include "core/schedule/table_editor.h"
#include "ui/app/sub_dialog.h"
#include "ui/editing/editing_support.h"
#include "ui/editing/program_item_editor.h"
#include "ui/editing/template_choose_dlg.h"

class QButtonGroup;
class QPushButton;
class QRadioButton;
class QTableWidget;

namespace chimeon {

// What the weekly program page and the template page work with; it must outlive the page.
struct TablePageParts {
    TablePageParts(const AppState& state, std::filesystem::path dataDirectory)
        : state(state), dataDirectory(std::move(dataDirectory)) {}

    const AppState& state;
    std::filesystem::path dataDirectory;
    ItemEditFunction editItem;        // empty: the program item editor
    TableChooseFunction chooseTable;  // empty: the template chooser
};

// How the two pages differ.
struct TablePageLook {
    int templateId;
    std::string_view tablesTitle;  // the group box of the table radios
    std::vector<TableId> tables;
    std::string_view addText;
    Qt::Alignment durationAlignment;
};

// A page that edits one of several stored tables at a time: radios that choose the table, its
// items in a list, the item buttons, "保存" and "从模板导入". The rules are TableEditor's.
class CTablePage : public CSubDialog {
    Q_OBJECT
public:
    CTablePage(TablePageParts parts, TablePageLook look, QWidget* parent = nullptr);

    // The controls' commands.
    void OnChoose(int index);
    void OnAdd();
    void OnEdit();
    void OnDelete();
    void OnUp();
    void OnDown();
    void OnSave();
    void OnImport();

    const TableEditor& editor() const { return editor_; }
    QTableWidget* listView() const { return list_; }
    QRadioButton* tableRadio(int index) const;
    QPushButton* button(std::string_view text) const;

protected:
    void OnInitDialog() override;

private:
    void BuildControls();
    void ShowRows();

    TablePageParts parts_;
    TablePageLook look_;
    std::vector<ListColumn> columns_;
    TableEditor editor_;
    QButtonGroup* radios_ = nullptr;
    QTableWidget* list_ = nullptr;
};

// "节目编排": the seven weekday tables.
class CProgramPage : public CTablePage {
    Q_OBJECT
public:
    static constexpr int kTemplateId = 143;
    explicit CProgramPage(TablePageParts parts, QWidget* parent = nullptr);
};

// "模版": the five templates.
class CTemplatePage : public CTablePage {
    Q_OBJECT
public:
    static constexpr int kTemplateId = 140;
    explicit CTemplatePage(TablePageParts parts, QWidget* parent = nullptr);
};

}  // namespace chimeon
