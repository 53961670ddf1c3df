// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QMetaProperty>
#include <QObject>
#include <QPointer>

class RecordSet;

// Ties a text box to one field of a record set: the box shows the field of
// the current row and follows every move; text changed in the box, by typing
// or by code, becomes a pending change of that row. Works on any object with
// a notifying user property (QLineEdit's text, for instance).
class BoundField : public QObject {
    Q_OBJECT
public:
    BoundField(RecordSet *records, const QString &field, QObject *box);

    QString field() const { return m_field; }
    // Shows the current row's value again without making it pending.
    void refresh();
    // Until the record set next moves, what is in the box belongs to no row.
    void detach() { m_detached = true; }
    void attach() { m_detached = false; }

private Q_SLOTS:
    void boxChanged();

private:
    RecordSet *m_records;
    QString m_field;
    QPointer<QObject> m_box;
    QMetaProperty m_property;
    bool m_refreshing = false;
    bool m_detached = false;
};
