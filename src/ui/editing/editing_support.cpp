#include "ui/editing/editing_support.h"

#include <QHeaderView>
#include <QSignalBlocker>
#include <QTableWidget>

#include "ui/app/message_box.h"

namespace chimeon {

void ShowPageMessage(QWidget* parent, const PageMessage& message) {
    if (message.IsEmpty()) {
        return;
    }
    const QString text = Utf8(message.text);
    switch (message.title) {
        case MessageTitle::kSuccess:
            ShowSuccess(parent, text);
            break;
        case MessageTitle::kReminder:
            ShowReminder(parent, text);
            break;
        case MessageTitle::kApplication:
            ShowMessage(parent, text);
            break;
    }
}

QTableWidget* MakeReportList(QWidget* parent, const std::vector<ListColumn>& columns,
                             const QString& accessibleName) {
    auto* list = new QTableWidget(parent);
    list->setAccessibleName(accessibleName);
    list->setColumnCount(static_cast<int>(columns.size()));
    for (int column = 0; column < list->columnCount(); ++column) {
        const ListColumn& shape = columns[static_cast<size_t>(column)];
        auto* heading = new QTableWidgetItem(Utf8(shape.heading));
        heading->setTextAlignment(shape.alignment | Qt::AlignVCenter);
        list->setHorizontalHeaderItem(column, heading);
        list->setColumnWidth(column, shape.width);
    }
    ShapeAsReportList(list);
    return list;
}

void ShapeAsReportList(QTableView* list) {
    list->setShowGrid(true);
    list->setSelectionBehavior(QAbstractItemView::SelectRows);
    list->setSelectionMode(QAbstractItemView::SingleSelection);
    list->setEditTriggers(QAbstractItemView::NoEditTriggers);
    list->horizontalHeader()->setSectionsMovable(true);
    list->horizontalHeader()->setStretchLastSection(false);
    list->verticalHeader()->hide();
}

void ShowListRows(QTableWidget* list, const std::vector<std::vector<std::string>>& rows,
                  const std::vector<ListColumn>& columns, int currentRow) {
    const QSignalBlocker blocker(list);
    list->clearContents();
    list->setRowCount(static_cast<int>(rows.size()));
    for (int row = 0; row < list->rowCount(); ++row) {
        const std::vector<std::string>& texts = rows[static_cast<size_t>(row)];
        for (int column = 0; column < static_cast<int>(texts.size()); ++column) {
            auto* item = new QTableWidgetItem(Utf8(texts[static_cast<size_t>(column)]));
            item->setTextAlignment(columns[static_cast<size_t>(column)].alignment |
                                   Qt::AlignVCenter);
            list->setItem(row, column, item);
        }
    }
    list->clearSelection();
    if (currentRow >= 0 && currentRow < list->rowCount()) {
        list->selectRow(currentRow);
    }
}

int SelectedRow(const QTableWidget* list) {
    const QModelIndexList selected = list->selectionModel()->selectedRows();
    return selected.isEmpty() ? -1 : selected.front().row();
}

}  // namespace chimeon
