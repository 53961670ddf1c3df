// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/records.h"

namespace {
// The members of a record, each paired with its field name, in stored order.
template <typename Record, typename Visit> void eachField(Record &r, Visit visit) {
    if constexpr (std::is_same_v<std::remove_const_t<Record>, JournalEntry>) {
        visit(JournalEntry::DayField, r.dates);
        visit(JournalEntry::TextField, r.things);
    } else if constexpr (std::is_same_v<std::remove_const_t<Record>, Contact>) {
        visit(Contact::NameField, r.name);
        visit(Contact::NicknameField, r.nickname);
        visit(Contact::OicqField, r.oicq);
        visit(Contact::IcqField, r.icq);
        visit(Contact::EmailField, r.email);
        visit(Contact::MobilePhoneField, r.mobilephone);
        visit(Contact::WorkPhoneField, r.workphone);
        visit(Contact::HomePhoneField, r.homephone);
        visit(Contact::HomeAddressField, r.homeaddress);
        visit(Contact::PostcodeField, r.code);
        visit(Contact::RemarkField, r.introduce);
        visit(Contact::FaceField, r.qqpic);
    } else {
        visit(Photo::PathField, r.photopath);
        visit(Photo::DescriptionField, r.introduceph);
    }
}

template <typename Record> QStringList fieldNames() {
    QStringList names;
    Record r;
    eachField(r, [&](const char *name, QString &) { names << QString::fromLatin1(name); });
    return names;
}

template <typename Record> Record fromRowOf(const QHash<QString, QVariant> &row) {
    Record r;
    eachField(r, [&](const char *name, QString &value) {
        value = row.value(QString::fromLatin1(name)).toString();
    });
    return r;
}

template <typename Record> QHash<QString, QVariant> toRowOf(const Record &r) {
    QHash<QString, QVariant> row;
    eachField(r, [&](const char *name, const QString &value) {
        row.insert(QString::fromLatin1(name), value);
    });
    return row;
}
} // namespace

const QStringList &JournalEntry::fields() {
    static const QStringList names = fieldNames<JournalEntry>();
    return names;
}
JournalEntry JournalEntry::fromRow(const QHash<QString, QVariant> &row) {
    return fromRowOf<JournalEntry>(row);
}
QHash<QString, QVariant> JournalEntry::toRow() const {
    return toRowOf(*this);
}

const QStringList &Contact::fields() {
    static const QStringList names = fieldNames<Contact>();
    return names;
}
Contact Contact::fromRow(const QHash<QString, QVariant> &row) {
    return fromRowOf<Contact>(row);
}
QHash<QString, QVariant> Contact::toRow() const {
    return toRowOf(*this);
}

const QStringList &Photo::fields() {
    static const QStringList names = fieldNames<Photo>();
    return names;
}
Photo Photo::fromRow(const QHash<QString, QVariant> &row) {
    return fromRowOf<Photo>(row);
}
QHash<QString, QVariant> Photo::toRow() const {
    return toRowOf(*this);
}
