// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "core/records.h"
#include "core/result.h"
#include "core/vcard.h"

#include <QString>
#include <optional>
#include <vector>

struct sqlite3;

// The address book to and from vCard files, with the faces as pictures.
namespace ContactFile {

// The face file of a face name as PNG bytes; empty when there is none.
QByteArray facePicture(const QString &faceName);
// The face name ("17.bmp") of a picture that shows one of our faces, pixel
// for pixel; empty for any other picture.
QString faceOf(const QByteArray &picture);

// The whole table in stored order; nothing when it cannot be read.
std::optional<std::vector<Contact>> readContacts(sqlite3 *db);

// Every contact as a card, through a temporary file renamed when whole.
Result exportTo(sqlite3 *db, const QString &path, VCard::Version version,
                qsizetype *count = nullptr);

struct Reading {
    std::vector<Contact> contacts;
    int badCards = 0;
    QString refusal; // why nothing could be read; empty when it could
};
Reading read(const QString &path);

} // namespace ContactFile
