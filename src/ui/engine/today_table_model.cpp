#include "ui/engine/today_table_model.h"
#include "ui/app/qt_text.h"

#include <string_view>

namespace chimeon {
namespace {

constexpr std::string_view kColumnTitles[kTodayColumnCount] = {
    "标题", "状态", "起播时间", "结束时间", "起始音量", "时长", "文件路径"};

}  // namespace

TodayTableModel::TodayTableModel(TodayList& list, QObject* parent)
    : QAbstractTableModel(parent), list_(list), shownRows_(list.RowCount()) {
    list_.AddObserver(this);
}

TodayTableModel::~TodayTableModel() {
    list_.RemoveObserver(this);
}

int TodayTableModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : shownRows_;
}

int TodayTableModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : kTodayColumnCount;
}

QVariant TodayTableModel::data(const QModelIndex& index, int role) const {
    const TodayRow* row = index.isValid() ? list_.Row(index.row()) : nullptr;
    if (row == nullptr) {
        return {};
    }
    switch (role) {
        case Qt::DisplayRole:
        case Qt::AccessibleTextRole:
            return Utf8(CellText(*row, index.column()));
        case Qt::TextAlignmentRole:
            return index.column() == kColumnVolume ? QVariant(Qt::AlignCenter) : QVariant();
        default:
            return {};
    }
}

QVariant TodayTableModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal || section < 0 || section >= kTodayColumnCount ||
        (role != Qt::DisplayRole && role != Qt::AccessibleTextRole)) {
        return QAbstractTableModel::headerData(section, orientation, role);
    }
    return Utf8(kColumnTitles[section]);
}

void TodayTableModel::OnRowsReplaced(std::uint64_t) {
    beginResetModel();
    shownRows_ = list_.RowCount();
    endResetModel();
}

void TodayTableModel::OnRowChanged(int row) {
    emit dataChanged(index(row, 0), index(row, kTodayColumnCount - 1));
}

void TodayTableModel::OnRowInserted(int row) {
    beginInsertRows({}, row, row);
    ++shownRows_;
    endInsertRows();
}

void TodayTableModel::OnRowRemoved(int row) {
    beginRemoveRows({}, row, row);
    --shownRows_;
    endRemoveRows();
}

}  // namespace chimeon
