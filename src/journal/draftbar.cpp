// SPDX-License-Identifier: GPL-3.0-or-later
#include "journal/draftbar.h"

#include "widgets/labelbutton.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QLocale>
#include <QStyle>

namespace {
constexpr int BarHeight = 28;
}

DraftBar::DraftBar(QWidget *parent)
    : QFrame(parent), m_caption(new QLabel(this)),
      m_restore(new LabelButton(QStringLiteral("draftrestore"), QStringLiteral("恢复草稿"), this)),
      m_discard(new LabelButton(QStringLiteral("draftdiscard"), QStringLiteral("丢弃"), this)) {
    setObjectName(QStringLiteral("draftbar"));
    setFrameShape(QFrame::StyledPanel);
    setAutoFillBackground(true);
    QPalette p = palette();
    p.setColor(QPalette::Window, QColor(255, 244, 196));
    p.setColor(QPalette::WindowText, Qt::black);
    setPalette(p);
    auto *row = new QHBoxLayout(this);
    row->setContentsMargins(8, 2, 8, 2);
    row->setSpacing(12);
    row->addWidget(m_caption, 1);
    row->addWidget(m_restore);
    row->addWidget(m_discard);
    connect(m_restore, &LabelButton::clicked, this, &DraftBar::restoreRequested);
    connect(m_discard, &LabelButton::clicked, this, &DraftBar::discardRequested);
    hide();
}

QString DraftBar::caption(qsizetype characters, const QDateTime &written) {
    return QStringLiteral("这一天有未保存的草稿（%1 字，%2）")
        .arg(QLocale(QLocale::English).toString(characters),
             QLocale::c().toString(written, QStringLiteral("M月d日 HH:mm")));
}

void DraftBar::offer(qsizetype characters, const QDateTime &written, const QWidget *over) {
    m_caption->setText(caption(characters, written));
    const QRect area = over->geometry();
    const int scrollBar = style()->pixelMetric(QStyle::PM_ScrollBarExtent);
    setGeometry(area.left() + 1, area.bottom() - BarHeight, area.width() - 2 - scrollBar,
                BarHeight);
    raise();
    show();
}
