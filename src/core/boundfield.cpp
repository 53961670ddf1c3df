// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/boundfield.h"

#include "core/recordset.h"

#include <QEvent>
#include <QMetaMethod>
#include <limits>

BoundField::BoundField(RecordSet *records, const QString &field, QObject *box, Fill fill)
    : QObject(box), m_records(records), m_field(field), m_box(box),
      m_property(box->metaObject()->userProperty()) {
    // A line box cuts what it shows at its maximum length: a stored value
    // must show whole, or showing it would change it.
    if (box->metaObject()->indexOfProperty("maxLength") >= 0)
        box->setProperty("maxLength", std::numeric_limits<int>::max());
    connect(records, &RecordSet::currentChanged, this, &BoundField::refresh);
    if (m_property.hasNotifySignal()) {
        const int slot = metaObject()->indexOfSlot("boxChanged()");
        QMetaObject::connect(box, m_property.notifySignalIndex(), this, slot);
    }
    // A box already on screen has no first showing to wait for.
    if (fill == Fill::WhenShown && !box->property("visible").toBool()) {
        m_held = true;
        box->installEventFilter(this);
    }
    refresh();
}

void BoundField::refresh() {
    m_detached = false;
    if (!m_box || m_held)
        return;
    m_refreshing = true;
    m_property.write(m_box, m_records->text(m_field));
    m_refreshing = false;
}

void BoundField::release() {
    if (!m_held)
        return;
    endHold();
    refresh();
    Q_EMIT released();
}

void BoundField::endHold() {
    m_held = false;
    if (m_box)
        m_box->removeEventFilter(this);
}

bool BoundField::eventFilter(QObject *watched, QEvent *event) {
    if (watched == m_box && event->type() == QEvent::Show)
        release();
    return QObject::eventFilter(watched, event);
}

void BoundField::boxChanged() {
    if (m_refreshing || m_detached || !m_box)
        return;
    // Written into before it was ever shown (a program driving the form):
    // that text is the row's now, and the row's own must not cover it.
    if (m_held)
        endHold();
    QString text = m_property.read(m_box).toString();
    if (text.isNull())
        text = QStringLiteral(""); // a cleared box holds empty text, not "no value"
    // The stored value shown again is no change: nothing is written for it.
    const QVariant stored = m_records->storedValue(m_field);
    if (!m_records->isNewRow() && !m_records->hasPending(m_field) && !stored.isNull() &&
        stored.toString() == text)
        return;
    // A row that is gone or a field the table lacks takes nothing; the box keeps it.
    skipFailure(m_records->setField(m_field, text), "taking typed text");
}
