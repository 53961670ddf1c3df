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
    // When the box first gets its row's value. WhenShown leaves the box as it
    // is until it is first shown or release() is called: a box that sets its
    // text lays it out at once, loading the glyphs of every character, which
    // costs a hidden page memory for nothing. Only for a box that is shown one
    // day. Text written into a held box ends its hold and is taken as typed.
    enum class Fill { Now, WhenShown };
    BoundField(RecordSet *records, const QString &field, QObject *box, Fill fill = Fill::Now);

    QString field() const { return m_field; }
    // Shows the current row's value again without making it pending.
    void refresh();
    // Until the record set next moves, what is in the box belongs to no row.
    void detach() { m_detached = true; }
    void attach() { m_detached = false; }

    // Gives the box the current row's value, without making it pending.
    void release();
    bool isHeld() const { return m_held; }

Q_SIGNALS:
    // The held box has its row's value now.
    void released();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private Q_SLOTS:
    void boxChanged();

private:
    void endHold();

    RecordSet *m_records;
    QString m_field;
    QPointer<QObject> m_box;
    QMetaProperty m_property;
    bool m_refreshing = false;
    bool m_detached = false;
    bool m_held = false;
};
