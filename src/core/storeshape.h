// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>
#include <QStringList>
#include <map>

struct sqlite3;

// What a database file holds, read without writing a byte: enough to tell a
// notebook of ours from someone else's database, and whether it still needs
// the one-time steps (write-ahead mode, missing pieces, the mark).
struct StoreShape {
    static constexpr qint32 OurApplicationId = 0x5175696c; // "Quil"

    qint32 applicationId = 0;
    int userVersion = 0;
    bool writeAhead = false;
    std::map<QString, QStringList> tables; // by lower-case name; columns as declared
    QStringList indexes;                   // lower-case names
    QStringList triggers;                  // lower-case names

    static StoreShape read(sqlite3 *db);

    // Marked as ours, or unmarked with nothing in it but our tables and
    // columns (a notebook from before the mark). Anything else is foreign.
    bool isOurs(const std::map<QString, QStringList> &ourTables) const;
    // Whether opening it for writing would change it.
    bool needsUpgrade(const std::map<QString, QStringList> &ourTables,
                      const QStringList &ourIndexes, const QStringList &ourTriggers,
                      int schemaVersion) const;
};
