// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QHash>
#include <QString>
#include <QStringList>
#include <QVariant>

// One row of each table, as the program reads and writes it. Each type names
// its table and fields once; the store creates its tables from these, and
// record sets check field names against them. The names are those of files
// already written: they never change.
struct JournalEntry {
    static constexpr const char *Table = "diary";
    static constexpr const char *DayField = "dates";
    static constexpr const char *TextField = "things";
    static const QStringList &fields(); // in stored order

    QString dates;  // day key, yyyymmdd
    QString things; // the entry's text

    static JournalEntry fromRow(const QHash<QString, QVariant> &row);
    QHash<QString, QVariant> toRow() const;
    bool operator==(const JournalEntry &) const = default;
};

struct Contact {
    static constexpr const char *Table = "address";
    static constexpr const char *NameField = "name";
    static constexpr const char *NicknameField = "nickname";
    static constexpr const char *OicqField = "oicq";
    static constexpr const char *IcqField = "icq";
    static constexpr const char *EmailField = "email";
    static constexpr const char *MobilePhoneField = "mobilephone";
    static constexpr const char *WorkPhoneField = "workphone";
    static constexpr const char *HomePhoneField = "homephone";
    static constexpr const char *HomeAddressField = "homeaddress";
    static constexpr const char *PostcodeField = "code";
    static constexpr const char *RemarkField = "introduce";
    static constexpr const char *FaceField = "qqpic";
    static const QStringList &fields(); // in stored order

    QString name, nickname, oicq, icq, email, mobilephone, workphone, homephone, homeaddress, code,
        introduce;
    QString qqpic; // face file name, "17.bmp"

    static Contact fromRow(const QHash<QString, QVariant> &row);
    QHash<QString, QVariant> toRow() const;
    bool operator==(const Contact &) const = default;
};

struct Photo {
    static constexpr const char *Table = "photo";
    static constexpr const char *PathField = "photopath";
    static constexpr const char *DescriptionField = "introduceph";
    static const QStringList &fields(); // in stored order

    QString photopath;   // the picture file
    QString introduceph; // its description

    static Photo fromRow(const QHash<QString, QVariant> &row);
    QHash<QString, QVariant> toRow() const;
    bool operator==(const Photo &) const = default;
};
