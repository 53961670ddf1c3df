// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "core/records.h"

#include <QString>
#include <optional>
#include <vector>

// Journal entries read from files: the Markdown and text files JournalExport
// writes (back to the very same rows, in the same order), and folders of
// daily notes as note-taking programs keep them, one file a day named
// YYYY-MM-DD.md or .txt, each whole file one entry of its day.
namespace JournalImport {

struct Reading {
    std::vector<JournalEntry> entries;
    QString refusal; // why nothing could be read; empty when it could
};

// A file or a folder of daily notes.
Reading read(const QString &fileOrFolder);

// The entries of an exported document; nothing when it holds none.
std::optional<std::vector<JournalEntry>> fromMarkdown(const QString &text);
std::optional<std::vector<JournalEntry>> fromText(const QString &text);

// The day key of a daily note's file name ("2024-01-26.md"), or empty.
QString dayOfNote(const QString &fileName);

} // namespace JournalImport
