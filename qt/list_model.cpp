#include "qt/list_model.h"

#include "qt/qt_text.h"

void ListModel::replaced(const player::ListRows& rows) {
    beginResetModel();
    m_rows = &rows;
    m_count = rows.size();
    endResetModel();
}

void ListModel::added(const player::ListRows& rows, int first) {
    m_rows = &rows;
    if (first != m_count) // the views would lose track of the rows: tell them all again
        return replaced(rows);
    if (rows.size() <= first)
        return;
    beginInsertRows({}, first, rows.size() - 1);
    m_count = rows.size();
    endInsertRows();
}

int ListModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : m_count;
}

QVariant ListModel::data(const QModelIndex& index, int role) const {
    if (role != Qt::DisplayRole || !m_rows || !index.isValid())
        return {};
    return qtText(m_rows->name(index.row()));
}
