#include "about/introduce.h"

#include "shell/artwork.h"
#include "shell/clickablelabel.h"
#include "shell/interaction.h"

#include <QMouseEvent>
#include <QTextEdit>
#include <QTimer>
#include <QUrl>

const QString &Introduce::biography() {
    static const QString text = QStringLiteral(
        "我们是Quillary团队，几个喜欢写日记、读小说的普通朋友。愿这本小小的笔记本陪你记下每一天，"
        "也欢迎你常来信说说你的想法吧！");
    return text;
}

const QString &Introduce::mailAddress() {
    static const QString address = QStringLiteral("team@quillary.example.org");
    return address;
}

Introduce::Introduce(QWidget *owner) : QDialog(owner, Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint) {
    setObjectName(QStringLiteral("introduce"));
    setWindowTitle(QStringLiteral("关于作者"));
    setFixedSize(440, 330);

    Image1 = new ClickableLabel(QStringLiteral("Image1"), this);
    Image1->setPixmap(Artwork::pixmap(QStringLiteral("quillary"), QSize(64, 64), devicePixelRatioF()));
    Image1->setGeometry(16, 16, 64, 64);
    Label1 = new ClickableLabel(QStringLiteral("Label1"), this);
    Label1->setText(QStringLiteral("Quillary 团队（昵称：羽毛笔）  QQ：10000"));
    Label1->setGeometry(96, 20, 330, 24);
    Label2 = new ClickableLabel(QStringLiteral("Label2"), this);
    Label2->setText(QStringLiteral("电子邮件: ") + mailAddress());
    Label2->setToolTip(QStringLiteral("欢迎大家给我意见^-^"));
    Label2->setCursor(Qt::PointingHandCursor);
    Label2->setGeometry(96, 52, 330, 24);

    Text1 = new QTextEdit(this);
    Text1->setObjectName(QStringLiteral("Text1"));
    Text1->setAcceptRichText(false);
    Text1->setGeometry(16, 96, 408, 218);
    Text1->viewport()->installEventFilter(this);

    Timer1 = new QTimer(this);
    Timer1->setObjectName(QStringLiteral("Timer1"));
    Timer1->setInterval(200);
    connect(Timer1, &QTimer::timeout, this, &Introduce::Timer1_Timer);
    connect(Image1, &ClickableLabel::clicked, this, &Introduce::unloadthing);
    connect(Label1, &ClickableLabel::clicked, this, &Introduce::unloadthing);
    connect(Label2, &ClickableLabel::clicked, this, &Introduce::Label2_Click);
    Timer1->start();
}

// Types the next character where the caret stands in Text1, and only there.
void Introduce::Timer1_Timer() {
    const QString &text = biography();
    Text1->setFont(QFont(QStringLiteral("黑体"), 20));
    QTextCursor caret = Text1->textCursor();
    caret.insertText(text.mid(m_position, 1));
    m_position = qint16(m_position + 1);
    if (m_position >= text.size()) {
        caret.insertText(QStringLiteral("\n"));
        m_position = 0;
    }
    Text1->setTextCursor(caret);
}

void Introduce::unloadthing() {
    Timer1->stop();
    Text1->clear();
    close();
}

void Introduce::Label2_Click() {
    QPalette p = Label2->palette();
    p.setColor(QPalette::WindowText, QColor(0, 0, 255));
    Label2->setPalette(p);
    Interaction::current().openUrl(QUrl(QStringLiteral("mailto:") + mailAddress()));
}

void Introduce::mouseReleaseEvent(QMouseEvent *event) {
    event->accept();
    if (event->button() == Qt::LeftButton && !childAt(event->position().toPoint()))
        unloadthing();
}

bool Introduce::eventFilter(QObject *watched, QEvent *event) {
    if (watched == Text1->viewport() && event->type() == QEvent::MouseButtonRelease) {
        unloadthing();
        return true;
    }
    return QDialog::eventFilter(watched, event);
}
