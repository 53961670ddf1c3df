#pragma once

#include <QHash>
#include <QString>
#include <QStringList>
#include <QVariant>

// One row of each table, as the program reads and writes it. Each type names
// its table and fields once; the store creates its tables from these, and
// record sets check field names against them.
struct JournalEntry {
    static constexpr const char *Table = "diary";
    static const QStringList &fields(); // dates, things

    QString dates;  // day key, yyyymmdd
    QString things; // the entry's text

    static JournalEntry fromRow(const QHash<QString, QVariant> &row);
    QHash<QString, QVariant> toRow() const;
    bool operator==(const JournalEntry &) const = default;
};

struct Contact {
    static constexpr const char *Table = "address";
    static const QStringList &fields(); // in stored order

    QString name, nickname, oicq, icq, email, mobilephone, workphone, homephone, homeaddress, code,
        introduce;
    QString qqpic; // face file name, "17.bmp"

    static Contact fromRow(const QHash<QString, QVariant> &row);
    QHash<QString, QVariant> toRow() const;
    bool operator==(const Contact &) const = default;
};

struct Photo {
    static constexpr const char *Table = "photo";
    static const QStringList &fields(); // photopath, introduceph

    QString photopath;   // the picture file
    QString introduceph; // its description

    static Photo fromRow(const QHash<QString, QVariant> &row);
    QHash<QString, QVariant> toRow() const;
    bool operator==(const Photo &) const = default;
};
