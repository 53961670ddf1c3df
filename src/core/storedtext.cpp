// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/storedtext.h"

#include "core/statement.h"
#include "core/store.h"

#include <sqlite3.h>

namespace {
// How many of the last bytes begin a UTF-8 sequence they do not finish.
qsizetype unfinishedTail(QByteArrayView tail) {
    for (qsizetype back = 1; back <= std::min<qsizetype>(3, tail.size()); ++back) {
        const uchar c = uchar(tail[tail.size() - back]);
        if ((c & 0xC0) == 0x80)
            continue;
        const int length = c >= 0xF0 ? 4 : c >= 0xE0 ? 3 : c >= 0xC0 ? 2 : 1;
        return length > back ? back : 0;
    }
    return 0;
}
bool endsMidSequence(QByteArrayView tail) {
    return unfinishedTail(tail) > 0;
}
} // namespace

std::unique_ptr<StoredText> StoredText::open(const Store &store, const char *table,
                                             const char *column, qint64 rowid, qint64 minBytes) {
    // Most texts are short: their size alone, from the row's header, settles it.
    sqlite3_blob *probe = nullptr;
    if (sqlite3_blob_open(store.nativeHandle(), "main", table, column, rowid, 0, &probe) !=
        SQLITE_OK) {
        sqlite3_blob_close(probe);
        return nullptr;
    }
    const int size = sqlite3_blob_bytes(probe);
    sqlite3_blob_close(probe);
    if (size <= minBytes)
        return nullptr;
    std::unique_ptr<StoredText> text(new StoredText);
    text->m_uri = store.readerUri();
    text->m_table = table;
    text->m_column = column;
    text->m_rowid = rowid;
    if (!text->openRow(-1) || text->m_size <= minBytes)
        return nullptr;
    return text;
}

// Opens the row's text, of that size unless it is -1.
bool StoredText::openRow(int expectedSize) {
    if (m_uri.isEmpty() ||
        sqlite3_open_v2(m_uri.constData(), &m_db, SQLITE_OPEN_READONLY | SQLITE_OPEN_URI,
                        nullptr) != SQLITE_OK)
        return false;
    // Only text stored as UTF-8 reads the same in slices as it does whole.
    Statement kind(m_db,
                   "SELECT typeof(" + m_column + ") = 'text' FROM " + m_table + " WHERE rowid = ?");
    if (!kind.bind(1, m_rowid).step() || kind.integer(0) != 1)
        return false;
    Statement encoding(m_db, "PRAGMA encoding");
    if (!encoding.step() || encoding.text(0) != QLatin1String("UTF-8"))
        return false;
    if (sqlite3_blob_open(m_db, "main", m_table.constData(), m_column.constData(), m_rowid, 0,
                          &m_blob) != SQLITE_OK)
        return false;
    m_size = sqlite3_blob_bytes(m_blob);
    return expectedSize < 0 || m_size == expectedSize;
}

std::unique_ptr<StoredText> StoredText::unread() const {
    // The decoder holds back the start of a sequence the last slice cut.
    QByteArray tail(std::min(3, m_offset), Qt::Uninitialized);
    if (sqlite3_blob_read(m_blob, tail.data(), int(tail.size()), m_offset - int(tail.size())) !=
        SQLITE_OK)
        return nullptr;
    std::unique_ptr<StoredText> rest(new StoredText);
    rest->m_uri = m_uri;
    rest->m_table = m_table;
    rest->m_column = m_column;
    rest->m_rowid = m_rowid;
    if (!rest->openRow(m_size))
        return nullptr;
    rest->m_offset = m_offset - int(unfinishedTail(tail));
    return rest;
}

std::optional<QString> StoredText::readAll() {
    QString all;
    while (!atEnd()) {
        std::optional<QString> more = read(m_size - m_offset);
        if (!more)
            return std::nullopt;
        all += *more;
    }
    return all;
}

StoredText::~StoredText() {
    sqlite3_blob_close(m_blob);
    sqlite3_close(m_db);
}

std::optional<QString> StoredText::read(int maxBytes) {
    const int size = std::min(maxBytes, m_size - m_offset);
    QByteArray bytes(size, Qt::Uninitialized);
    if (size > 0 &&
        Damage::note(m_db, sqlite3_blob_read(m_blob, bytes.data(), size, m_offset)) != SQLITE_OK)
        return std::nullopt;
    m_offset += size;
    QString text = m_decoder.decode(bytes);
    if (atEnd()) {
        // The decoder holds back a sequence cut short at the very end.
        QByteArray tail(std::min(3, m_size), Qt::Uninitialized);
        if (sqlite3_blob_read(m_blob, tail.data(), int(tail.size()), m_size - int(tail.size())) ==
                SQLITE_OK &&
            endsMidSequence(tail))
            text += QChar::ReplacementCharacter;
    }
    return text;
}
