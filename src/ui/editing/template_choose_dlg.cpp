#include "ui/editing/template_choose_dlg.h"

#include <QButtonGroup>
#include <QDialogButtonBox>
#include <QGridLayout>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

#include "ui/editing/editing_support.h"

namespace chimeon {
namespace {

constexpr int kTemplateColumns = 5;
constexpr int kWeekdayColumns = 4;

}  // namespace

CTemplateChooseDlg::CTemplateChooseDlg(QWidget* parent) : QDialog(parent) {
    setWindowTitle(Utf8("模板"));
    setModal(true);
    auto* layout = new QVBoxLayout(this);
    auto* grid = new QGridLayout;
    radios_ = new QButtonGroup(this);
    // The templates on the first line, the weekdays from Sunday below them.
    for (int id = 0; id < kTableCount; ++id) {
        auto* radio = new QRadioButton(Utf8(TableName(static_cast<TableId>(id))), this);
        radios_->addButton(radio, id);
        if (id < kTemplateColumns) {
            grid->addWidget(radio, 0, id);
        } else {
            const int weekday = id - kTemplateColumns;
            grid->addWidget(radio, 1 + weekday / kWeekdayColumns, weekday % kWeekdayColumns);
        }
    }
    radios_->button(static_cast<int>(TableId::kTemplate1))->setChecked(true);
    layout->addLayout(grid);

    auto* buttons = new QDialogButtonBox(this);
    QPushButton* ok = buttons->addButton(Utf8("确定"), QDialogButtonBox::AcceptRole);
    ok->setDefault(true);
    buttons->addButton(Utf8("取消"), QDialogButtonBox::RejectRole);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    layout->addWidget(buttons);
}

TableId CTemplateChooseDlg::Choice() const {
    return static_cast<TableId>(radios_->checkedId());
}

QRadioButton* CTemplateChooseDlg::radio(TableId id) const {
    return static_cast<QRadioButton*>(radios_->button(static_cast<int>(id)));
}

std::optional<TableId> CTemplateChooseDlg::Choose(QWidget* parent) {
    CTemplateChooseDlg chooser(parent);
    if (chooser.exec() != QDialog::Accepted) {
        return std::nullopt;
    }
    return chooser.Choice();
}

}  // namespace chimeon
