#pragma once

#include <QByteArray>
#include <QString>
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

} // namespace ChapterFile
