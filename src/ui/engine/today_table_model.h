#pragma once

#include <QAbstractTableModel>
#include <cstdint>

#include "core/engine/today_list.h"

namespace chimeon {

// Today's list as the today page's table shows it: one row per row of the list, the seven
// columns of texts that CellText makes. Follows the list's changes row by row (a new load
// resets it); the list must outlive the model.
class TodayTableModel : public QAbstractTableModel, private TodayListObserver {
    Q_OBJECT
public:
    explicit TodayTableModel(TodayList& list, QObject* parent = nullptr);
    ~TodayTableModel() override;

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation,
                        int role = Qt::DisplayRole) const override;

private:
    // TodayListObserver: told after the list changed.
    void OnRowsReplaced(std::uint64_t generation) override;
    void OnRowChanged(int row) override;
    void OnRowInserted(int row) override;
    void OnRowRemoved(int row) override;

    TodayList& list_;
    // The rows the views know of: the list has already changed when the model hears of it.
    int shownRows_ = 0;
};

}  // namespace chimeon
