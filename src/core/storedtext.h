// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <QString>
#include <QStringDecoder>
#include <memory>
#include <optional>

class Store;
struct sqlite3;
struct sqlite3_blob;

// One stored text too long to read while the user waits, read in slices
// through a read-only connection of its own, so that no write of the program
// ever waits on it.
class StoredText {
public:
    // The text in column of the row, when it runs past minBytes; nothing when
    // it is shorter, is no text, or cannot be read this way.
    static std::unique_ptr<StoredText> open(const Store &store, const char *table,
                                            const char *column, qint64 rowid, qint64 minBytes);
    ~StoredText();
    StoredText(const StoredText &) = delete;
    StoredText &operator=(const StoredText &) = delete;

    // The next slice of at most maxBytes, decoded; nothing when the row has
    // gone or the file cannot be read.
    std::optional<QString> read(int maxBytes);
    bool atEnd() const { return m_offset >= m_size; }
    // What is still to read, from where read() has decoded to, through a
    // connection of its own: read on another thread while this one goes on.
    // Nothing when the row has changed since or cannot be read.
    std::unique_ptr<StoredText> unread() const;
    // All that is left, decoded; nothing as read() says.
    std::optional<QString> readAll();

private:
    StoredText() = default;
    bool openRow(int expectedSize);

    QByteArray m_uri;
    QByteArray m_table, m_column;
    qint64 m_rowid = 0;
    sqlite3 *m_db = nullptr;
    sqlite3_blob *m_blob = nullptr;
    int m_size = 0;
    int m_offset = 0;
    QStringDecoder m_decoder{QStringDecoder::Utf8};
};
