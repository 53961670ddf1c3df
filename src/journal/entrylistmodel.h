// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "core/keylist.h"

#include <QAbstractListModel>
#include <QCache>
#include <memory>
#include <vector>

class Store;

// The journal's entry list: one line per stored entry, "dates things", in
// stored order. Lines are read from the store only when they are shown, a
// block at a time, so a journal of any length lists at once.
class EntryListModel : public QAbstractListModel {
    Q_OBJECT
public:
    enum Roles { FullLineRole = Qt::UserRole + 1, KeyRole };

    explicit EntryListModel(Store *store, QObject *parent = nullptr);

    // Replaces the list with these row keys (a snapshot, as a filled list is).
    void setKeys(std::shared_ptr<const KeyRuns> keys);
    void clear();

    int rowCount(const QModelIndex &parent = {}) const override;
    // The list view asks for every row's index at each layout: no detours.
    QModelIndex index(int row, int column = 0, const QModelIndex &parent = {}) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;

    // The whole line, text and line breaks included.
    QString fullLine(int row) const;

    // How much of an entry's text a list line shows.
    static constexpr int ShownLength = 200;

private:
    static constexpr int BlockSize = 64;
    using Block = std::vector<QString>;
    const Block *block(int blockIndex) const;

    Store *m_store;
    std::shared_ptr<const KeyRuns> m_snapshot;
    const KeyRuns &keys() const { return *m_snapshot; }
    mutable QCache<int, Block> m_blocks;
};
