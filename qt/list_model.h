#pragma once

// List1's rows as Qt's views read them: each name from the player's rows, only as it is drawn.

#include "player/list_rows.h"

#include <QAbstractListModel>

class ListModel final : public QAbstractListModel {
public:
    using QAbstractListModel::QAbstractListModel;

    void replaced(const player::ListRows& rows);
    void added(const player::ListRows& rows, int first);

    int rowCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;

private:
    const player::ListRows* m_rows = nullptr;
    int m_count = 0; // the rows the views have been told of
};
