#include "contacts/contactspanel.h"

#include "contacts/faceart.h"
#include "contacts/faceicon.h"
#include "contacts/findaddress.h"
#include "shell/panelframe.h"
#include "shell/picturebutton.h"
#include "shell/typinglimit.h"
#include "store/apppaths.h"
#include "store/boundfield.h"
#include "store/recordset.h"

#include <QComboBox>
#include <QDir>
#include <QEvent>
#include <QFileInfo>
#include <QImageReader>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPointer>

const char *const ContactsPanel::FieldNames[FieldCount] = {
    "name", "nickname", "oicq", "icq", "email", "mobilephone", "workphone", "homephone",
    "homeaddress", "code", "introduce"};
const char *const ContactsPanel::Captions[FieldCount] = {
    "姓名：", "昵称：", "OICQ：", "ICQ：", "E－MAIL：", "手机：", "公司电话：", "家庭电话：",
    "家庭住址：", "邮编：", "好友备注："};
const int ContactsPanel::TypingLimits[FieldCount] = {15, 15, 10, 0, 0, 11, 0, 0, 50, 0, 0};

namespace {
const QString DefaultFace = QStringLiteral("2.bmp");

} // namespace

ContactsPanel::ContactsPanel(QWidget *window, RecordSet *records)
    : QObject(window), findaddress([this, window] { return new FindAddress(m_records, window); }),
      m_records(records) {
    Frame5 = new PanelFrame(QStringLiteral("Frame5"), window);

    for (int i = 0; i < FieldCount; ++i) {
        auto *caption = new QLabel(QString::fromUtf8(Captions[i]), Frame5);
        captions << caption;
        QWidget *box;
        if (i < 10) {
            auto *line = new QLineEdit(Frame5);
            if (TypingLimits[i] > 0)
                new TypingLimit(TypingLimits[i], line);
            caption->setGeometry(20, 20 + i * 36, 90, 28);
            line->setGeometry(112, 20 + i * 36, 280, 28);
            box = line;
        } else {
            auto *remark = new QPlainTextEdit(Frame5);
            remark->setPlaceholderText(QStringLiteral("快来介绍介绍你的好友吧！"));
            caption->setGeometry(412, 20, 120, 28);
            remark->setGeometry(412, 52, 220, 328);
            box = remark;
        }
        box->setObjectName(QStringLiteral("infotext%1").arg(i));
        box->setProperty("index", i);
        if (i < 10)
            box->installEventFilter(this);
        infotext << box;
        new BoundField(records, QString::fromLatin1(FieldNames[i]), box);
    }
    for (int i = 1; i < FieldCount; ++i)
        QWidget::setTabOrder(infotext[i - 1], infotext[i]);

    Picqq = new QLabel(Frame5);
    Picqq->setObjectName(QStringLiteral("Picqq"));
    Picqq->setFrameShape(QFrame::Panel);
    Picqq->setFrameShadow(QFrame::Sunken);
    Picqq->setAlignment(Qt::AlignCenter);
    Picqq->setGeometry(660, 52, 44, 44);

    Textpasskey = new QLineEdit(Frame5);
    Textpasskey->setObjectName(QStringLiteral("Textpasskey"));
    Textpasskey->hide();
    connect(Textpasskey, &QLineEdit::textChanged, this, &ContactsPanel::Textpasskey_Change);
    new BoundField(records, QStringLiteral("qqpic"), Textpasskey);

    ICombo = new QComboBox(Frame5);
    ICombo->setObjectName(QStringLiteral("ICombo"));
    ICombo->setIconSize(QSize(FaceArt::Size, FaceArt::Size));
    ICombo->setGeometry(650, 108, 90, 44);
    connect(ICombo, &QComboBox::activated, this, [this](int index) { ICombo_Click(index + 1); });

    const struct {
        PictureButton **button;
        const char *name, *art, *tip;
    } buttons[] = {
        {&cmdp, "cmdp", "previous", "上一位"},   {&cmdn, "cmdn", "next", "下一位"},
        {&Cmdadd, "Cmdadd", "add", "Add"},       {&Cmdupdate, "Cmdupdate", "update", "Update"},
        {&cmddelete, "cmddelete", "delete", "Delete"},
        {&findname, "findname", "find", "Find friend"},
        {&modify, "modify", "edit", "Edit Mode"},
    };
    int x = 112;
    for (const auto &b : buttons) {
        *b.button = new PictureButton(QString::fromLatin1(b.name), QString::fromLatin1(b.art),
                                      QString::fromUtf8(b.tip), 32, Frame5);
        (*b.button)->setGeometry(x, 404, 44, 44);
        x += 56;
    }
    connect(cmdp, &PictureButton::clicked, this, &ContactsPanel::cmdp_Click);
    connect(cmdn, &PictureButton::clicked, this, &ContactsPanel::cmdn_Click);
    connect(Cmdadd, &PictureButton::clicked, this, &ContactsPanel::Cmdadd_Click);
    connect(Cmdupdate, &PictureButton::clicked, this, &ContactsPanel::Cmdupdate_Click);
    connect(cmddelete, &PictureButton::clicked, this, &ContactsPanel::cmddelete_Click);
    connect(findname, &PictureButton::clicked, this, &ContactsPanel::findname_Click);
    connect(modify, &PictureButton::clicked, this, &ContactsPanel::modify_Click);
    connect(Frame5, &PanelFrame::backgroundHovered, this, &ContactsPanel::showFieldTips);
}

QLineEdit *ContactsPanel::field(int index) const { return qobject_cast<QLineEdit *>(infotext[index]); }
QPlainTextEdit *ContactsPanel::remark() const { return qobject_cast<QPlainTextEdit *>(infotext[10]); }

bool ContactsPanel::isLocked(int index) const {
    return index < 10 ? field(index)->isReadOnly() : remark()->isReadOnly();
}

QString ContactsPanel::text(int index) const {
    return index < 10 ? field(index)->text() : remark()->toPlainText();
}

void ContactsPanel::setLocked(bool locked) {
    for (int i = 0; i < FieldCount; ++i) {
        if (i < 10)
            field(i)->setReadOnly(locked);
        else
            remark()->setReadOnly(locked);
    }
}

void ContactsPanel::lockinfotext() { setLocked(true); }

bool ContactsPanel::showFace(const QString &faceName) {
    const QString path = AppPaths::faceFile(faceName);
    if (path.isEmpty())
        return false;
    QImageReader reader(path);
    reader.setAllocationLimit(16); // MB: a face is tiny
    const QImage image = reader.read();
    if (image.isNull())
        return false;
    Picqq->setPixmap(QPixmap::fromImage(FaceArt::seeThrough(image)));
    m_shownFace = faceName;
    return true;
}

// The refresh that follows a step: an empty face name gets the default
// face, written into the record as a pending change.
void ContactsPanel::faceRefresh() {
    if (!Textpasskey->text().isEmpty()) {
        showFace(Textpasskey->text());
        return;
    }
    showFace(DefaultFace);
    Textpasskey->setText(DefaultFace);
}

void ContactsPanel::Loadqq() {
    field(0)->selectAll();
    for (int i = 1; i <= FaceArt::Count; ++i) {
        ICombo->addItem(faceIcon(i), QString(), QStringLiteral("qq%1").arg(i));
    }
    ICombo->setCurrentIndex(-1);
    // A face that cannot be shown ends the start-up steps here, before locking.
    if (!Textpasskey->text().isEmpty()) {
        if (!showFace(Textpasskey->text()))
            return;
    } else {
        if (!showFace(DefaultFace))
            return;
        Textpasskey->setText(DefaultFace);
    }
    lockinfotext();
}

void ContactsPanel::cmdp_Click() {
    m_records->movePrevious();
    if (m_records->bof())
        m_records->moveFirst();
    lockinfotext();
    faceRefresh();
}

void ContactsPanel::cmdn_Click() {
    m_records->moveNext();
    if (m_records->eof())
        m_records->movePrevious();
    lockinfotext();
    faceRefresh();
}

void ContactsPanel::Cmdadd_Click() {
    setLocked(false);
    m_records->update();
    m_records->addNew();
}

void ContactsPanel::Cmdupdate_Click() {
    m_records->update();
    lockinfotext();
}

void ContactsPanel::cmddelete_Click() {
    m_records->deleteCurrent();
    m_records->moveNext();
    if (m_records->eof())
        m_records->movePrevious();
    lockinfotext();
}

void ContactsPanel::modify_Click() { setLocked(false); }

void ContactsPanel::findname_Click() {
    findaddress.get()->exec();
    lockinfotext();
}

void ContactsPanel::infotext_Click(int index) {
    if (index >= 0 && index < 10)
        field(index)->selectAll();
}

void ContactsPanel::ICombo_Click(int position) {
    field(0)->setFocus();
    field(0)->selectAll();
    if (position >= 1 && position <= FaceArt::Count)
        Textpasskey->setText(QStringLiteral("%1.bmp").arg(position));
}

void ContactsPanel::Textpasskey_Change() {
    const QString faceName = Textpasskey->text();
    showFace(faceName.isEmpty() ? DefaultFace : faceName);
}

void ContactsPanel::showFieldTips() {
    for (int i = 0; i < 10; ++i)
        field(i)->setToolTip(field(i)->text());
}

bool ContactsPanel::eventFilter(QObject *watched, QEvent *event) {
    // The click's own caret placement comes first; selecting happens after it.
    if (event->type() == QEvent::MouseButtonRelease)
        infotext_Click(watched->property("index").toInt());
    return QObject::eventFilter(watched, event);
}
