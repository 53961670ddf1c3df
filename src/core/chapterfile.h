// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <QString>
#include <functional>
#include <optional>

// Chapter files are plain text in GBK, or in UTF-8 as Linux users keep them.
namespace ChapterFile {

// Files beyond this are refused rather than read into memory.
constexpr qint64 MaxBytes = 64LL * 1024 * 1024;

// UTF-8 when the bytes start with its byte-order mark or are valid UTF-8
// with multi-byte sequences; GB18030 (a superset of GBK) otherwise. Bytes
// that fit neither become the replacement character.
QString decode(const QByteArray &bytes);

// The whole chapter, or nothing when the file cannot be read as one.
std::optional<QString> read(const QString &path);

// Files beyond this take long enough to read that the reader shows them as
// they come rather than waiting for them.
constexpr qint64 ReadWhileWaitingBytes = 1024 * 1024;

// The chapter as read() gives it, in two parts for a reader that shows the
// first before the second is decoded: the text up to the first line end past
// headBytes, then the rest (or all of it at once when it is short). False
// when the file cannot be read as a chapter.
bool readInParts(const QString &path, qsizetype headBytes,
                 const std::function<void(QString)> &deliver);

} // namespace ChapterFile
