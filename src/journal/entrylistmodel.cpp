// SPDX-License-Identifier: GPL-3.0-or-later
#include "journal/entrylistmodel.h"

#include "core/store.h"

#include <algorithm>

namespace {
QString line(const QString &dates, const QString &things) {
    return dates + QLatin1Char(' ') + things;
}
} // namespace

EntryListModel::EntryListModel(Store *store, QObject *parent)
    : QAbstractListModel(parent), m_store(store), m_snapshot(std::make_shared<const KeyRuns>()),
      m_blocks(64) {}

void EntryListModel::setKeys(std::shared_ptr<const KeyRuns> keys) {
    beginResetModel();
    m_snapshot = keys ? std::move(keys) : std::make_shared<const KeyRuns>();
    m_blocks.clear();
    endResetModel();
}

void EntryListModel::clear() {
    setKeys(nullptr);
}

int EntryListModel::rowCount(const QModelIndex &parent) const {
    return parent.isValid() ? 0 : int(keys().size());
}

QModelIndex EntryListModel::index(int row, int column, const QModelIndex &parent) const {
    return row >= 0 && size_t(row) < keys().size() && column == 0 && !parent.isValid()
               ? createIndex(row, 0)
               : QModelIndex();
}

const EntryListModel::Block *EntryListModel::block(int blockIndex) const {
    if (const Block *cached = m_blocks.object(blockIndex))
        return cached;
    const size_t first = size_t(blockIndex) * BlockSize;
    const size_t end = std::min(keys().size(), first + BlockSize);
    auto *b = new Block(end - first);
    if (m_store) {
        // Four bytes a character always suffice.
        for (const Store::EntryHead &head :
             m_store->journalHeads(keys()[first], keys()[end - 1], ShownLength * 4)) {
            const size_t at = keys().lowerBound(head.key);
            if (at < first || at >= end || keys()[at] != head.key)
                continue;
            QString text = line(head.dates, QString::fromUtf8(head.thingsHead).left(ShownLength));
            // A list line is one line: breaks show as a return mark.
            text.replace(QLatin1String("\r\n"), QStringLiteral(" \u21b5 "));
            text.replace(QLatin1Char('\n'), QStringLiteral(" \u21b5 "));
            text.replace(QLatin1Char('\r'), QStringLiteral(" \u21b5 "));
            (*b)[at - first] = text;
        }
    }
    m_blocks.insert(blockIndex, b);
    return b;
}

QVariant EntryListModel::data(const QModelIndex &index, int role) const {
    if (!index.isValid() || index.row() >= int(keys().size()))
        return {};
    switch (role) {
    case Qt::DisplayRole:
        return block(index.row() / BlockSize)->at(size_t(index.row() % BlockSize));
    case FullLineRole:
        return fullLine(index.row());
    case KeyRole:
        return keys()[size_t(index.row())];
    default:
        return {};
    }
}

QString EntryListModel::fullLine(int row) const {
    if (row < 0 || row >= int(keys().size()) || !m_store)
        return {};
    const std::optional<JournalEntry> entry = m_store->journalEntry(keys()[size_t(row)]);
    return entry ? line(entry->dates, entry->things) : QString();
}
