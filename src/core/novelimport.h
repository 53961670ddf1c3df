// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QList>
#include <QString>
#include <functional>

#include "core/result.h"

// A whole novel held as one text file, cut into the numbered chapter files
// the reader opens.
namespace NovelImport {

// Files beyond this are refused rather than read into memory.
constexpr qint64 MaxBytes = 256LL * 1024 * 1024;

// The novel's text, decoded as chapters are; an empty text and a message in
// Chinese when the file cannot be taken as one.
struct Text {
    QString text;
    QString refusal;
};
Text read(const QString &path);

// A line shaped as a chapter heading: it starts (after blanks) with 第, a
// number in Arabic or Chinese numerals, then 回, 章, 集, 节 or 卷, and ends
// there or has a blank or colon before its title.
bool isHeading(QStringView line);
// The prologue's heading, 序幕, the same way.
bool isPrologue(QStringView line);

struct Chapters {
    QStringList numbered; // each starts with its heading line
    QString prologue;     // the 序幕 section, when asked for and found
};
// Cuts at headings whose numbers follow one another; any other line shaped
// as one is text. Text before the first heading goes to the start of the
// first section. Without any heading nothing is found.
Chapters split(const QString &text, bool withPrologue);

// Writes the files (number, text) as UTF-8 into folder, replacing an
// earlier set as a whole: they are written beside it first and take its
// place only once all are written. keepGoing is asked after each file; false
// abandons the import and leaves the folder as it was. A chapter the reader
// could not open is refused before anything is written.
//
// Only what the import wrote is ever deleted: a link in the folder's place
// goes as a link, and a file there, or anything but chapters in the old
// folder, is kept under the name <folder>.kept. Leftovers of an earlier
// import are dealt with first, as recover() does. notes receives, in
// Chinese, what was done beyond writing the chapters.
Result write(const QString &folder, const QList<std::pair<int, QString>> &files,
             const std::function<bool(int written)> &keepGoing = {}, QStringList *notes = nullptr);

// Puts back the old chapters an import that failed had moved aside to
// <folder>.replaced, or removes them when new ones took their place, and
// removes the <folder>.importing-* folders of imports that were killed. What
// was done, in Chinese; nothing when there was nothing to do.
QStringList recover(const QString &folder);

} // namespace NovelImport
