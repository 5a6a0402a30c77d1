#include "ui/messagelistmodel.h"

#include "ui/pictures.h"
#include "ui/uitext.h"

#include <QPixmap>

namespace veltrane {

namespace {
const QIcon& blankIcon() {
    static const QIcon icon = [] {
        QPixmap empty(16, 16);
        empty.fill(Qt::transparent);
        return QIcon(empty);
    }();
    return icon;
}
} // namespace

MessageListModel::MessageListModel(const std::vector<MessageEntry>& entries, QObject* parent)
    : QAbstractTableModel(parent), entries_(entries), shown_(static_cast<int>(entries.size())) {}

int MessageListModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : shown_;
}

int MessageListModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : ColumnCount;
}

QVariant MessageListModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || index.row() >= shown_ || static_cast<size_t>(index.row()) >= entries_.size())
        return {};
    const MessageEntry& e = entries_[static_cast<size_t>(index.row())];
    switch (role) {
    case Qt::DisplayRole:
        switch (index.column()) {
        case Subject:
            return shownText(e.subject);
        case Sender:
            return shownText(e.sender);
        case Size:
            return shownText(e.size);
        case Date:
            return shownText(e.date);
        default:
            return {};
        }
    case Qt::DecorationRole:
        if (index.column() != Subject)
            return {};
        if (e.mark >= 0 && e.mark < Mark::IconCount)
            return MarkIcons()[static_cast<size_t>(e.mark)];
        return blankIcon(); // keeps the subjects of unmarked rows in line with the others
    case Qt::TextAlignmentRole:
        if (index.column() == Size)
            return QVariant::fromValue(Qt::AlignRight | Qt::AlignVCenter);
        return {};
    default:
        return {};
    }
}

QVariant MessageListModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal)
        return {};
    if (role == Qt::DisplayRole) {
        switch (section) {
        case Subject:
            return QStringLiteral("Subject");
        case Sender:
            return QStringLiteral("Sender");
        case Size:
            return QStringLiteral("Size");
        case Date:
            return QStringLiteral("Date");
        default:
            return {};
        }
    }
    if (role == Qt::TextAlignmentRole && section == Size)
        return QVariant::fromValue(Qt::AlignRight | Qt::AlignVCenter);
    return {};
}

Qt::ItemFlags MessageListModel::flags(const QModelIndex& index) const {
    if (!index.isValid())
        return Qt::NoItemFlags;
    return Qt::ItemIsSelectable | Qt::ItemIsEnabled; // never editable
}

void MessageListModel::listCleared() {
    beginResetModel();
    shown_ = static_cast<int>(entries_.size());
    endResetModel();
}

void MessageListModel::rowAppended(int row) {
    const int last = static_cast<int>(entries_.size()) - 1;
    if (row < shown_ || last < shown_)
        return;
    beginInsertRows({}, shown_, last);
    shown_ = last + 1;
    endInsertRows();
}

void MessageListModel::rowsChanged() {
    if (static_cast<int>(entries_.size()) != shown_) {
        listCleared();
        return;
    }
    if (shown_ > 0)
        emit dataChanged(index(0, 0), index(shown_ - 1, ColumnCount - 1), {Qt::DecorationRole});
}

} // namespace veltrane
