// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "core/importwriter.h"

#include <QString>
#include <vector>

struct sqlite3;

// What an import will bring in, worked out before anything is written: the
// file read, and the rows already stored set aside.
struct ImportPlan {
    enum class Kind { Journal, Contacts };

    Kind kind = Kind::Journal;
    QString table;
    std::vector<ImportWriter::Row> rows; // the ones to write, in file order
    qsizetype duplicates = 0;            // stored already, left out
    int badCards = 0;                    // cards that could not be read
    QString refusal;                     // why nothing comes in; empty when it can

    // Reads path (a file, or for the journal a folder of daily notes) and
    // compares it with what db holds.
    static ImportPlan make(sqlite3 *db, Kind kind, const QString &path);

    // "将导入日记 N 篇（跳过重复 M 篇）", and the like for contacts.
    QString preview() const;
    // What came in once count rows were written.
    QString outcome(qsizetype count) const;
};
