// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QDateTime>
#include <QFrame>

class LabelButton;
class QLabel;

// The offer over the lower edge of the journal's editor ("draftbar"): the
// day shown has a draft that differs from what is shown. Nothing is
// restored or discarded without a click.
class DraftBar : public QFrame {
    Q_OBJECT
public:
    explicit DraftBar(QWidget *parent);

    // Shows the offer for a draft of that many characters, last changed then,
    // along the lower edge of `over`.
    void offer(qsizetype characters, const QDateTime &written, const QWidget *over);
    // "这一天有未保存的草稿（1,234 字，12月9日 14:03）"
    static QString caption(qsizetype characters, const QDateTime &written);

Q_SIGNALS:
    void restoreRequested();
    void discardRequested();

private:
    QLabel *m_caption;
    LabelButton *m_restore;
    LabelButton *m_discard;
};
