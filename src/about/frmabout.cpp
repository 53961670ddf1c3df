#include "about/frmabout.h"

#include "shell/artwork.h"
#include "shell/clickablelabel.h"

#include <QFrame>
#include <QLabel>
#include <QPushButton>

FrmAbout::FrmAbout(QWidget *owner) : QDialog(owner, Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint) {
    setObjectName(QStringLiteral("frmAbout"));
    setWindowTitle(QStringLiteral("关于本应用程序"));
    setFixedSize(460, 300);

    picIcon = new QLabel(this);
    picIcon->setObjectName(QStringLiteral("picIcon"));
    picIcon->setPixmap(Artwork::pixmap(QStringLiteral("quillary"), QSize(48, 48), devicePixelRatioF()));
    picIcon->setGeometry(20, 20, 48, 48);

    lblTitle = new QLabel(QStringLiteral("Quillary"), this);
    lblTitle->setObjectName(QStringLiteral("lblTitle"));
    QFont title = lblTitle->font();
    title.setPointSize(16);
    title.setBold(true);
    lblTitle->setFont(title);
    lblTitle->setGeometry(84, 18, 300, 30);

    lblVersion = new ClickableLabel(QStringLiteral("lblVersion"), this);
    lblVersion->setText(QStringLiteral("版本1.0 Beta"));
    lblVersion->setToolTip(QStringLiteral("看看我"));
    lblVersion->setCursor(Qt::PointingHandCursor);
    lblVersion->setGeometry(84, 50, 300, 22);

    Label1 = new QLabel(
        QStringLiteral("本软件的开发纯属个人爱好，无任何商业目的，适用于windows平台。本软件主要功能是用来写日记，"
                       "还有多本好看的小说,以及通讯录和相册。其他的功能就不一一列举了，各位自己慢慢看吧，"
                       "发现什么问题，请大家多给小弟提意见，千万不要吝啬笔墨，在下感激不尽！"),
        this);
    Label1->setObjectName(QStringLiteral("Label1"));
    Label1->setWordWrap(true);
    Label1->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    Label1->setGeometry(84, 84, 356, 120);

    // The etched rule: a grey line over a white one.
    auto *grey = new QFrame(this);
    grey->setGeometry(20, 214, 420, 1);
    grey->setStyleSheet(QStringLiteral("background-color: rgb(128, 128, 128);"));
    auto *white = new QFrame(this);
    white->setGeometry(20, 215, 420, 1);
    white->setStyleSheet(QStringLiteral("background-color: rgb(255, 255, 255);"));

    lblDisclaimer = new QLabel(this);
    lblDisclaimer->setObjectName(QStringLiteral("lblDisclaimer"));
    lblDisclaimer->setGeometry(20, 222, 280, 60);

    Command1 = new QPushButton(QStringLiteral("关于作者"), this);
    Command1->setObjectName(QStringLiteral("Command1"));
    Command1->setGeometry(330, 226, 110, 30);
    Cmdok = new QPushButton(QStringLiteral("确定"), this);
    Cmdok->setObjectName(QStringLiteral("Cmdok"));
    Cmdok->setDefault(true);
    Cmdok->setGeometry(330, 262, 110, 30);

    connect(Cmdok, &QPushButton::clicked, this, &QDialog::close);
    connect(Command1, &QPushButton::clicked, this, [this] { Q_EMIT authorPageRequested(true); });
    connect(lblVersion, &ClickableLabel::clicked, this, [this] { Q_EMIT authorPageRequested(false); });
}
