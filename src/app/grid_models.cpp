#include "app/grid_models.h"

#include <QPointer>

#include "app/qt_text.h"

namespace morvik::app {

SubscriptionGridModel::SubscriptionGridModel(subscriptions::SubscriptionGrid& grid, QObject* parent)
    : QAbstractTableModel(parent), grid_(grid) {
    QPointer<SubscriptionGridModel> self(this);
    grid_.reset.Subscribe([self] {
        if (!self) return;
        self->beginResetModel();
        self->endResetModel();
    });
    grid_.cellChanged.Subscribe([self](int row, int column) {
        if (!self) return;
        const QModelIndex cell = self->index(row, column);
        emit self->dataChanged(cell, cell, {Qt::DisplayRole});
    });
}

int SubscriptionGridModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : grid_.RowCount();
}

int SubscriptionGridModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : subscriptions::SubscriptionGrid::kColumns;
}

QVariant SubscriptionGridModel::data(const QModelIndex& index, int role) const {
    if (role != Qt::DisplayRole || !index.isValid()) return {};
    return ToQt(grid_.Cell(index.row(), index.column()));
}

QVariant SubscriptionGridModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (role != Qt::DisplayRole || orientation != Qt::Horizontal) return {};
    return ToQt(grid_.Header(section));
}

ProfileListModel::ProfileListModel(profile::ProfileList& list, QObject* parent)
    : QAbstractTableModel(parent), list_(list) {
    QPointer<ProfileListModel> self(this);
    list_.valueChanged.Subscribe([self](int row) {
        if (!self) return;
        const QModelIndex value = self->index(row, 1);
        emit self->dataChanged(value, value, {Qt::DisplayRole, Qt::EditRole});
    });
    list_.editableChanged.Subscribe([self](bool) {
        if (!self) return;
        emit self->dataChanged(self->index(0, 1), self->index(profile::kProfileRows - 1, 1));
    });
}

int ProfileListModel::rowCount(const QModelIndex& parent) const { return parent.isValid() ? 0 : profile::kProfileRows; }

int ProfileListModel::columnCount(const QModelIndex& parent) const { return parent.isValid() ? 0 : 2; }

QVariant ProfileListModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || (role != Qt::DisplayRole && role != Qt::EditRole)) return {};
    if (index.column() == 0) return QString::fromUtf8(profile::ProfileList::Key(index.row()));
    return ToQt(list_.Value(index.row()));
}

QVariant ProfileListModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (role != Qt::DisplayRole || orientation != Qt::Horizontal) return {};
    return section == 0 ? QStringLiteral("Schlüssel") : QStringLiteral("Wert");
}

Qt::ItemFlags ProfileListModel::flags(const QModelIndex& index) const {
    Qt::ItemFlags flags = QAbstractTableModel::flags(index);
    if (index.column() == 1 && list_.Editable()) flags |= Qt::ItemIsEditable;
    return flags;
}

bool ProfileListModel::setData(const QModelIndex& index, const QVariant& value, int role) {
    if (role != Qt::EditRole || index.column() != 1 || !list_.Editable()) return false;
    // The edit ends as the user leaves the cell. The list then validates it,
    // which writes the profile and reads it back while serving events: that
    // runs once the editor has closed, not inside its commit.
    QPointer<ProfileListModel> self(this);
    QMetaObject::invokeMethod(
        this,
        [self, row = index.row(), text = value.toString().toStdString()] {
            if (self) self->list_.EditValue(row, text);
        },
        Qt::QueuedConnection);
    return true;
}

}  // namespace morvik::app
