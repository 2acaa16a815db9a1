#pragma once

#include <QDialog>
#include <functional>
#include <optional>

#include "core/schedule/table_id.h"

class QButtonGroup;
class QRadioButton;

namespace chimeon {

// Asks which stored table to import from: twelve radios, "模板1" checked whenever it opens.
class CTemplateChooseDlg : public QDialog {
    Q_OBJECT
public:
    static constexpr int kTemplateId = 146;

    explicit CTemplateChooseDlg(QWidget* parent = nullptr);

    TableId Choice() const;
    QRadioButton* radio(TableId id) const;

    // Shows the chooser modally: the checked table after "确定", nothing after "取消".
    static std::optional<TableId> Choose(QWidget* parent);

private:
    QButtonGroup* radios_ = nullptr;
};

// Asks the operator for a table to import from (the chooser; tests answer in its place).
using TableChooseFunction = std::function<std::optional<TableId>(QWidget* parent)>;

}  // namespace chimeon
