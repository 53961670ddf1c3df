#include "journal/entrylistmodel.h"

#include "store/store.h"

#include <QSqlQuery>
#include <algorithm>

namespace {
QString line(const QVariant &dates, const QVariant &things) {
    return dates.toString() + QLatin1Char(' ') + things.toString();
}
} // namespace

EntryListModel::EntryListModel(Store *store, QObject *parent)
    : QAbstractListModel(parent), m_store(store), m_blocks(64) {}

void EntryListModel::setKeys(const std::vector<qint64> &keys) {
    beginResetModel();
    m_keys = keys;
    m_blocks.clear();
    endResetModel();
}

void EntryListModel::clear() { setKeys({}); }

int EntryListModel::rowCount(const QModelIndex &parent) const {
    return parent.isValid() ? 0 : int(m_keys.size());
}

const EntryListModel::Block *EntryListModel::block(int blockIndex) const {
    if (const Block *cached = m_blocks.object(blockIndex))
        return cached;
    const size_t first = size_t(blockIndex) * BlockSize;
    const size_t end = std::min(m_keys.size(), first + BlockSize);
    auto *b = new Block(end - first);
    if (m_store && m_store->isOpen()) {
        QSqlQuery q(m_store->database());
        q.setForwardOnly(true);
        // Cut as bytes: SQLite's text functions stop at a NUL that a text
        // edited elsewhere may hold. Four bytes a character always suffice.
        q.prepare(QStringLiteral("SELECT rowid, dates, substr(CAST(things AS BLOB), 1, ?) "
                                 "FROM diary WHERE rowid BETWEEN ? AND ? ORDER BY rowid"));
        q.addBindValue(ShownLength * 4);
        q.addBindValue(m_keys[first]);
        q.addBindValue(m_keys[end - 1]);
        if (q.exec()) {
            const auto from = m_keys.begin() + qsizetype(first);
            const auto to = m_keys.begin() + qsizetype(end);
            while (q.next()) {
                const auto it = std::lower_bound(from, to, q.value(0).toLongLong());
                if (it == to || *it != q.value(0).toLongLong())
                    continue;
                QString text = line(q.value(1), QString::fromUtf8(q.value(2).toByteArray()).left(ShownLength));
                // A list line is one line: breaks show as a return mark.
                text.replace(QLatin1String("\r\n"), QStringLiteral(" \u21b5 "));
                text.replace(QLatin1Char('\n'), QStringLiteral(" \u21b5 "));
                text.replace(QLatin1Char('\r'), QStringLiteral(" \u21b5 "));
                (*b)[size_t(it - from)] = text;
            }
        }
    }
    m_blocks.insert(blockIndex, b);
    return b;
}

QVariant EntryListModel::data(const QModelIndex &index, int role) const {
    if (!index.isValid() || index.row() >= int(m_keys.size()))
        return {};
    switch (role) {
    case Qt::DisplayRole:
        return block(index.row() / BlockSize)->at(size_t(index.row() % BlockSize));
    case FullLineRole:
        return fullLine(index.row());
    case KeyRole:
        return m_keys[size_t(index.row())];
    default:
        return {};
    }
}

QString EntryListModel::fullLine(int row) const {
    if (row < 0 || row >= int(m_keys.size()) || !m_store || !m_store->isOpen())
        return {};
    QSqlQuery q(m_store->database());
    q.setForwardOnly(true);
    q.prepare(QStringLiteral("SELECT dates, things FROM diary WHERE rowid = ?"));
    q.addBindValue(m_keys[size_t(row)]);
    if (!q.exec() || !q.next())
        return {};
    return line(q.value(0), q.value(1));
}
