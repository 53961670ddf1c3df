// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>

// start.ini: one character, "1" for music at the next start, "0" for none.
namespace SettingsFile {

// The first character as a digit; 0 when the file is missing, empty,
// unreadable, not a regular file, or starts with anything but a digit.
int readFlag(const QString &path);
// The same from the file's first bytes.
int parseFlag(const QByteArray &head);

// Writes exactly one byte: "0" when music is not wanted, "1" otherwise.
// Creates the file, and its folder, when missing; replaces a link with the
// file; false when it cannot be written or is no regular file.
[[nodiscard]] bool writeFlag(const QString &path, bool noMusicAtStart);

} // namespace SettingsFile
