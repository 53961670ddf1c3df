// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "core/records.h"

#include <QByteArray>
#include <QString>
#include <functional>
#include <vector>

// Address cards as phones, mail programs and address books exchange them
// (RFC 6350 and the 3.0 and 2.1 forms before it). The OICQ and ICQ numbers
// travel as X-QQ and X-ICQ: neither network has a registered URI scheme for
// IMPP, and those two names are the ones address books already read.
namespace VCard {

enum class Version { V30, V40 };

// The face as PNG bytes for a face name ("17.bmp"); empty for none.
using FacePicture = std::function<QByteArray(const QString &faceName)>;

// One card, lines ended by CR LF and folded at 75 octets. FN and N are always
// there (both versions require them); other empty fields are left out.
QByteArray write(const Contact &contact, Version version, const FacePicture &face = {});

// A PHOTO's bytes back to one of our face names, or empty when it is not one.
using FaceName = std::function<QString(const QByteArray &picture)>;

struct Reading {
    bool isVCard = false;          // at least one BEGIN:VCARD
    std::vector<Contact> contacts; // the good cards, in file order
    int badCards = 0;              // cards skipped as unreadable
};

// Every card of a file. Values in 2.1 quoted-printable and in the charsets
// older Chinese phones use (GB2312, GBK, GB18030) are decoded; a second
// number or address of one kind goes into the remark, so nothing is dropped.
Reading read(const QByteArray &bytes, const FaceName &faceName = {});

// Lines longer than 75 octets folded, never inside a UTF-8 sequence.
QByteArray fold(const QByteArray &line);
// Text value escaping: backslash, comma, semicolon and line breaks.
QString escaped(const QString &text);

} // namespace VCard
