// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/storedtext.h"

#include "core/statement.h"
#include "core/store.h"

#include <sqlite3.h>

namespace {
// Whether these bytes end inside a UTF-8 sequence.
bool endsMidSequence(QByteArrayView tail) {
    for (qsizetype back = 1; back <= std::min<qsizetype>(3, tail.size()); ++back) {
        const uchar c = uchar(tail[tail.size() - back]);
        if ((c & 0xC0) == 0x80)
            continue;
        const int length = c >= 0xF0 ? 4 : c >= 0xE0 ? 3 : c >= 0xC0 ? 2 : 1;
        return length > back;
    }
    return false;
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
    const QByteArray uri = store.readerUri();
    if (uri.isEmpty() ||
        sqlite3_open_v2(uri.constData(), &text->m_db, SQLITE_OPEN_READONLY | SQLITE_OPEN_URI,
                        nullptr) != SQLITE_OK)
        return nullptr;
    // Only text stored as UTF-8 reads the same in slices as it does whole.
    Statement kind(text->m_db, QByteArray("SELECT typeof(") + column + ") = 'text' FROM " + table +
                                   " WHERE rowid = ?");
    if (!kind.bind(1, rowid).step() || kind.integer(0) != 1)
        return nullptr;
    Statement encoding(text->m_db, "PRAGMA encoding");
    if (!encoding.step() || encoding.text(0) != QLatin1String("UTF-8"))
        return nullptr;
    if (sqlite3_blob_open(text->m_db, "main", table, column, rowid, 0, &text->m_blob) != SQLITE_OK)
        return nullptr;
    text->m_size = sqlite3_blob_bytes(text->m_blob);
    if (text->m_size <= minBytes)
        return nullptr;
    return text;
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
