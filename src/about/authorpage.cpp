// SPDX-License-Identifier: GPL-3.0-or-later
#include "about/authorpage.h"

#include "widgets/artwork.h"
#include "widgets/clickablelabel.h"
#include "widgets/interaction.h"

#include <QMouseEvent>
#include <QTextEdit>
#include <QTimer>
#include <QUrl>

const QString &AuthorPage::biography() {
    static const QString text = QStringLiteral(
        "我们是Quillary团队，几个喜欢写日记、读小说的普通朋友。愿这本小小的笔记本陪你记下每一天，"
        "也欢迎你常来信说说你的想法吧！");
    return text;
}

const QString &AuthorPage::mailAddress() {
    static const QString address = QStringLiteral("team@quillary.example.org");
    return address;
}

AuthorPage::AuthorPage(QWidget *owner)
    : QDialog(owner, Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint) {
    setObjectName(QStringLiteral("introduce"));
    setWindowTitle(QStringLiteral("关于作者"));
    setFixedSize(440, 330);

    picture = new ClickableLabel(QStringLiteral("Image1"), this);
    picture->setPixmap(
        Artwork::pixmap(QStringLiteral("quillary"), QSize(64, 64), devicePixelRatioF()));
    picture->setGeometry(16, 16, 64, 64);
    nameLabel = new ClickableLabel(QStringLiteral("Label1"), this);
    nameLabel->setText(QStringLiteral("Quillary 团队（昵称：羽毛笔）  QQ：10000"));
    nameLabel->setGeometry(96, 20, 330, 24);
    mailLabel = new ClickableLabel(QStringLiteral("Label2"), this);
    mailLabel->setText(QStringLiteral("电子邮件: ") + mailAddress());
    mailLabel->setToolTip(QStringLiteral("欢迎大家给我意见^-^"));
    mailLabel->setCursor(Qt::PointingHandCursor);
    mailLabel->setGeometry(96, 52, 330, 24);

    biographyView = new QTextEdit(this);
    biographyView->setObjectName(QStringLiteral("Text1"));
    biographyView->setAcceptRichText(false);
    biographyView->setGeometry(16, 96, 408, 218);
    biographyView->viewport()->installEventFilter(this);

    typingTimer = new QTimer(this);
    typingTimer->setObjectName(QStringLiteral("Timer1"));
    typingTimer->setInterval(200);
    connect(typingTimer, &QTimer::timeout, this, &AuthorPage::typeNextCharacter);
    connect(picture, &ClickableLabel::clicked, this, &AuthorPage::closePage);
    connect(nameLabel, &ClickableLabel::clicked, this, &AuthorPage::closePage);
    connect(mailLabel, &ClickableLabel::clicked, this, &AuthorPage::writeMail);
    typingTimer->start();
}

// Types the next character where the caret stands in biographyView, and only there.
void AuthorPage::typeNextCharacter() {
    const QString &text = biography();
    biographyView->setFont(QFont(QStringLiteral("黑体"), 20));
    QTextCursor caret = biographyView->textCursor();
    caret.insertText(text.mid(m_position, 1));
    m_position = qint16(m_position + 1);
    if (m_position >= text.size()) {
        caret.insertText(QStringLiteral("\n"));
        m_position = 0;
    }
    biographyView->setTextCursor(caret);
}

void AuthorPage::closePage() {
    typingTimer->stop();
    biographyView->clear();
    close();
}

void AuthorPage::writeMail() {
    QPalette p = mailLabel->palette();
    p.setColor(QPalette::WindowText, QColor(0, 0, 255));
    mailLabel->setPalette(p);
    Interaction::current().openUrl(QUrl(QStringLiteral("mailto:") + mailAddress()));
}

void AuthorPage::mouseReleaseEvent(QMouseEvent *event) {
    event->accept();
    if (event->button() == Qt::LeftButton && !childAt(event->position().toPoint()))
        closePage();
}

bool AuthorPage::eventFilter(QObject *watched, QEvent *event) {
    if (watched == biographyView->viewport() && event->type() == QEvent::MouseButtonRelease) {
        closePage();
        return true;
    }
    return QDialog::eventFilter(watched, event);
}
