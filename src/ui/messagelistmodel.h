#pragma once

#include "message/messageentry.h"

#include <QAbstractTableModel>
#include <vector>

namespace veltrane {

// The message list as the tree view shows it: one row per message entry in server order (row i is
// message i + 1), the columns Subject, Sender, Size and Date, the mark as the row's picture. It
// reads the main model's entries in place and is told of every change; it never sorts, and no cell
// can be edited.
class MessageListModel final : public QAbstractTableModel {
    Q_OBJECT
public:
    enum Column { Subject, Sender, Size, Date, ColumnCount };

    explicit MessageListModel(const std::vector<MessageEntry>& entries, QObject* parent = nullptr);

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;

    // The entries were emptied / one was appended at `row` / marks of existing rows changed.
    void listCleared();
    void rowAppended(int row);
    void rowsChanged();

private:
    const std::vector<MessageEntry>& entries_;
    int shown_ = 0; // rows announced to the views so far
};

} // namespace veltrane
