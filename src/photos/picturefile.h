// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QImage>
#include <QSize>
#include <QString>

// Reads picture files chosen by the user, whatever they turn out to be:
// anything that is not a decodable picture of sensible size gives nothing.
namespace PictureFile {
// Pictures beyond this many pixels are refused (decompression bombs).
constexpr qint64 MaxPixels = 64LL * 1000 * 1000;

// The natural size, read from the header; invalid when unreadable.
QSize naturalSize(const QString &path);
// The picture decoded straight to the given size; null on failure.
QImage load(const QString &path, const QSize &target);
} // namespace PictureFile
