#pragma once

#include <QString>
#include <Qt>
#include <string>
#include <string_view>
#include <vector>

#include "core/schedule/page_message.h"
#include "ui/app/qt_text.h"

class QTableView;
class QTableWidget;
class QWidget;

namespace chimeon {

// What the editing pages share in their widgets.

// Shows the core's message in a box with its title; nothing for an empty one.
void ShowPageMessage(QWidget* parent, const PageMessage& message);

struct ListColumn {
    std::string_view heading;
    int width;  // pixels
    Qt::Alignment alignment = Qt::AlignLeft;
};

// The look of every list of rows: whole rows selected one at a time, not edited in place, a grid,
// movable columns, no row numbers.
void ShapeAsReportList(QTableView* list);
// A report list: single selection of whole rows, grid lines, movable headings, read only; named
// `accessibleName` on the accessibility bus.
QTableWidget* MakeReportList(QWidget* parent, const std::vector<ListColumn>& columns,
                             const QString& accessibleName);

// Fills the list with `rows` (one text per column) and highlights `currentRow` (the row the
// buttons act on), without reporting that as the operator's choice.
void ShowListRows(QTableWidget* list, const std::vector<std::vector<std::string>>& rows,
                  const std::vector<ListColumn>& columns, int currentRow);

// The selected row, or -1.
int SelectedRow(const QTableWidget* list);

}  // namespace chimeon
