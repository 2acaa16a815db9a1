#include "ui/editing/table_page.h"

#include <QButtonGroup>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QPushButton>
#include <QRadioButton>
#include <QTableWidget>
#include <QVBoxLayout>

#include "ui/app/check_controls.h"

namespace chimeon {

CTablePage::CTablePage(TablePageParts parts, TablePageLook look, QWidget* parent)
    : CSubDialog(look.templateId, parent),
      parts_(std::move(parts)),
      look_(std::move(look)),
      columns_{{"标题", 100},
               {"起播时间", 100},
               {"结束时间", 100},
               {"初始音量", 80, Qt::AlignHCenter},
               {"时长", 80, look_.durationAlignment},
               {"文件路径", 400}},
      editor_(parts_.state, parts_.dataDirectory, look_.tables) {
    if (!parts_.editItem) {
        parts_.editItem = EditWithDurationProbe;
    }
    if (!parts_.chooseTable) {
        parts_.chooseTable = CTemplateChooseDlg::Choose;
    }
}

void CTablePage::OnInitDialog() {
    BuildControls();
    OnChoose(0);
}

void CTablePage::BuildControls() {
    auto* layout = new QVBoxLayout(this);

    auto* tablesBox = new QGroupBox(Utf8(look_.tablesTitle), this);
    auto* tablesLayout = new QHBoxLayout(tablesBox);
    radios_ = new QButtonGroup(this);
    for (int index = 0; index < static_cast<int>(look_.tables.size()); ++index) {
        auto* radio =
            new QRadioButton(Utf8(TableName(look_.tables[static_cast<size_t>(index)])), tablesBox);
        radios_->addButton(radio, index);
        tablesLayout->addWidget(radio);
    }
    tablesLayout->addStretch();
    OnIdChecked(radios_, this, [this](int index) { OnChoose(index); });
    layout->addWidget(tablesBox);

    list_ = MakeReportList(this, columns_, QString());
    connect(list_, &QTableWidget::itemSelectionChanged, this,
            [this] { editor_.SetCurrentRow(SelectedRow(list_)); });
    layout->addWidget(list_, 1);

    auto* bottom = new QHBoxLayout;
    auto addGroup = [this, bottom](
                        std::string_view title,
                        std::vector<std::pair<std::string_view, void (CTablePage::*)()>> buttons) {
        auto* box = new QGroupBox(Utf8(title), this);
        auto* boxLayout = new QHBoxLayout(box);
        for (const auto& [text, handler] : buttons) {
            auto* button = new QPushButton(Utf8(text), box);
            connect(button, &QPushButton::clicked, this, handler);
            boxLayout->addWidget(button);
        }
        bottom->addWidget(box);
    };
    addGroup("节目项操作", {{look_.addText, &CTablePage::OnAdd},
                            {"编辑", &CTablePage::OnEdit},
                            {"删除", &CTablePage::OnDelete},
                            {"上移", &CTablePage::OnUp},
                            {"下移", &CTablePage::OnDown}});
    addGroup("节目表操作", {{"保存", &CTablePage::OnSave}, {"从模板导入", &CTablePage::OnImport}});
    layout->addLayout(bottom);
}

QRadioButton* CTablePage::tableRadio(int index) const {
    return static_cast<QRadioButton*>(radios_->button(index));
}

QPushButton* CTablePage::button(std::string_view text) const {
    for (QPushButton* candidate : findChildren<QPushButton*>()) {
        if (candidate->text() == Utf8(text)) {
            return candidate;
        }
    }
    return nullptr;
}

void CTablePage::ShowRows() {
    std::vector<std::vector<std::string>> rows;
    for (const ProgramItem& item : editor_.Rows()) {
        rows.push_back({item.title, item.start, item.end, item.volume, item.mode, item.path});
    }
    ShowListRows(list_, rows, columns_, editor_.CurrentRow());
}

void CTablePage::OnChoose(int index) {
    const PageMessage message = editor_.Choose(index);
    QRadioButton* chosen = tableRadio(editor_.Chosen());
    SetCheckedQuietly(chosen, true);
    list_->setAccessibleName(chosen->text());  // the list is the chosen table
    ShowRows();
    ShowPageMessage(this, message);
}

void CTablePage::OnAdd() {
    if (std::optional<ProgramItem> item = parts_.editItem(this, nullptr)) {
        editor_.Append(std::move(*item));
        ShowRows();
    }
}

void CTablePage::OnEdit() {
    if (!editor_.HasCurrentRow()) {
        return;
    }
    const int row = editor_.CurrentRow();
    const ProgramItem before = editor_.Rows()[static_cast<size_t>(row)];
    if (std::optional<ProgramItem> edited = parts_.editItem(this, &before)) {
        editor_.Replace(row, std::move(*edited));
        ShowRows();
    }
}

void CTablePage::OnDelete() {
    editor_.Delete();
    ShowRows();
}

void CTablePage::OnUp() {
    editor_.MoveUp();
    ShowRows();
}

void CTablePage::OnDown() {
    editor_.MoveDown();
    ShowRows();
}

void CTablePage::OnSave() {
    ShowPageMessage(this, editor_.Save());
}

void CTablePage::OnImport() {
    if (std::optional<TableId> from = parts_.chooseTable(this)) {
        const PageMessage message = editor_.Import(*from);
        ShowRows();
        ShowPageMessage(this, message);
    }
}

CProgramPage::CProgramPage(TablePageParts parts, QWidget* parent)
    : CTablePage(std::move(parts), {kTemplateId, "一周", WeekdayTables(), "增加", Qt::AlignHCenter},
                 parent) {}

CTemplatePage::CTemplatePage(TablePageParts parts, QWidget* parent)
    : CTablePage(std::move(parts), {kTemplateId, "模板", TemplateTables(), "添加", Qt::AlignLeft},
                 parent) {}

}  // namespace chimeon
