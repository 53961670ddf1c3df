// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "core/records.h"
#include "core/result.h"

#include <QString>
#include <functional>
#include <optional>
#include <vector>

class QIODevice;
struct sqlite3;

// The journal written out for people and other programs: Markdown, plain
// UTF-8 text, or one HTML page that prints. Every entry once, oldest day
// first, a day's entries in their stored order. Entry texts are written so
// that nothing in them can break the format: the Markdown and text files
// read back to the very same rows (see JournalImport).
namespace JournalExport {

enum class Format { Markdown, Text, Html };
// From the file name's suffix: .md, .txt, .html (or .htm).
std::optional<Format> formatFor(const QString &path);

// The whole table in stored order; nothing when it cannot be read.
std::optional<std::vector<JournalEntry>> readJournal(sqlite3 *db);
// Entries of real days by day, each day's in the order given; the others
// (keys that are no date) after them, in the order given.
void sortOldestFirst(std::vector<JournalEntry> &entries);
// "2024-01-26" for the key 20240126; empty for a key that is no date.
QString isoDate(const QString &dates);

// done of total entries written so far; false stops the writing.
using Progress = std::function<bool(qsizetype done, qsizetype total)>;

// Writes the entries, sorted already, into out. False when the device
// refused or progress said stop.
bool write(QIODevice &out, const std::vector<JournalEntry> &entries, Format format,
           const Progress &progress = {});

// Reads the journal from db and writes it to path through a temporary file,
// renamed only when everything was written. The number of entries written
// is left in count.
Result exportTo(sqlite3 *db, const QString &path, Format format, qsizetype *count = nullptr,
                const Progress &progress = {});

} // namespace JournalExport
