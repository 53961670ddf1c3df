#include "about/aboutbox.h"

#include "widgets/artwork.h"
#include "widgets/clickablelabel.h"

#include <QFrame>
#include <QLabel>
#include <QPushButton>

AboutBox::AboutBox(QWidget *owner) : QDialog(owner, Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint) {
    setObjectName(QStringLiteral("frmAbout"));
    setWindowTitle(QStringLiteral("关于本应用程序"));
    setFixedSize(460, 300);

    iconLabel = new QLabel(this);
    iconLabel->setObjectName(QStringLiteral("picIcon"));
    iconLabel->setPixmap(
        Artwork::pixmap(QStringLiteral("quillary"), QSize(48, 48), devicePixelRatioF()));
    iconLabel->setGeometry(20, 20, 48, 48);

    titleLabel = new QLabel(QStringLiteral("Quillary"), this);
    titleLabel->setObjectName(QStringLiteral("lblTitle"));
    QFont title = titleLabel->font();
    title.setPointSize(16);
    title.setBold(true);
    titleLabel->setFont(title);
    titleLabel->setGeometry(84, 18, 300, 30);

    versionLabel = new ClickableLabel(QStringLiteral("lblVersion"), this);
    versionLabel->setText(QStringLiteral("版本1.0 Beta"));
    versionLabel->setToolTip(QStringLiteral("看看我"));
    versionLabel->setCursor(Qt::PointingHandCursor);
    versionLabel->setGeometry(84, 50, 300, 22);

    descriptionLabel = new QLabel(
        QStringLiteral(
            "本软件的开发纯属个人爱好，无任何商业目的，适用于windows平台。本软件主要功能是用来写日"
            "记，"
            "还有多本好看的小说,以及通讯录和相册。其他的功能就不一一列举了，各位自己慢慢看吧，"
            "发现什么问题，请大家多给小弟提意见，千万不要吝啬笔墨，在下感激不尽！"),
        this);
    descriptionLabel->setObjectName(QStringLiteral("Label1"));
    descriptionLabel->setWordWrap(true);
    descriptionLabel->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    descriptionLabel->setGeometry(84, 84, 356, 120);

    // The etched rule: a grey line over a white one.
    auto *grey = new QFrame(this);
    grey->setGeometry(20, 214, 420, 1);
    grey->setStyleSheet(QStringLiteral("background-color: rgb(128, 128, 128);"));
    auto *white = new QFrame(this);
    white->setGeometry(20, 215, 420, 1);
    white->setStyleSheet(QStringLiteral("background-color: rgb(255, 255, 255);"));

    disclaimerLabel = new QLabel(this);
    disclaimerLabel->setObjectName(QStringLiteral("lblDisclaimer"));
    disclaimerLabel->setGeometry(20, 222, 280, 60);

    authorButton = new QPushButton(QStringLiteral("关于作者"), this);
    authorButton->setObjectName(QStringLiteral("Command1"));
    authorButton->setGeometry(330, 226, 110, 30);
    okButton = new QPushButton(QStringLiteral("确定"), this);
    okButton->setObjectName(QStringLiteral("Cmdok"));
    okButton->setDefault(true);
    okButton->setGeometry(330, 262, 110, 30);

    connect(okButton, &QPushButton::clicked, this, &QDialog::close);
    connect(authorButton, &QPushButton::clicked, this,
            [this] { Q_EMIT authorPageRequested(true); });
    connect(versionLabel, &ClickableLabel::clicked, this,
            [this] { Q_EMIT authorPageRequested(false); });
}
