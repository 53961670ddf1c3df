// SPDX-License-Identifier: GPL-3.0-or-later
#include "contacts/contactspanel.h"

#include "contacts/faceart.h"
#include "contacts/faceicon.h"
#include "contacts/findcontactdialog.h"
#include "core/apppaths.h"
#include "core/boundfield.h"
#include "core/records.h"
#include "core/recordset.h"
#include "widgets/panelframe.h"
#include "widgets/picturebutton.h"
#include "widgets/typinglimit.h"

#include <QComboBox>
#include <QDir>
#include <QEvent>
#include <QFileInfo>
#include <QImageReader>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPointer>

const char *const ContactsPanel::Captions[FieldCount] = {
    "姓名：",     "昵称：",     "OICQ：",     "ICQ：",  "E－MAIL：", "手机：",
    "公司电话：", "家庭电话：", "家庭住址：", "邮编：", "好友备注："};
const int ContactsPanel::TypingLimits[FieldCount] = {15, 15, 10, 0, 0, 11, 0, 0, 50, 0, 0};

namespace {
const QString DefaultFace = QStringLiteral("2.bmp");

} // namespace

ContactsPanel::ContactsPanel(QWidget *window, RecordSet *records)
    : PagePanel(window),
      findDialog([this, window] { return new FindContactDialog(m_records, window); }),
      m_records(records) {
    frame = new PanelFrame(QStringLiteral("Frame5"), this);
    frame->setGeometry(12, 64, 776, 484);
    buildFields();
    buildFace();
    buildButtons();
    adoptFrames({frame});
    connect(frame, &PanelFrame::backgroundHovered, this, &ContactsPanel::showFieldTips);
}

void ContactsPanel::buildFields() {
    for (int i = 0; i < FieldCount; ++i) {
        auto *caption = new QLabel(QString::fromUtf8(Captions[i]), frame);
        captions << caption;
        QWidget *box;
        if (i < 10) {
            auto *line = new QLineEdit(frame);
            if (TypingLimits[i] > 0)
                new TypingLimit(TypingLimits[i], line);
            caption->setGeometry(20, 20 + i * 36, 90, 28);
            line->setGeometry(112, 20 + i * 36, 280, 28);
            box = line;
        } else {
            auto *remark = new QPlainTextEdit(frame);
            remark->setPlaceholderText(QStringLiteral("快来介绍介绍你的好友吧！"));
            caption->setGeometry(412, 20, 120, 28);
            remark->setGeometry(412, 52, 220, 328);
            box = remark;
        }
        box->setObjectName(QStringLiteral("infotext%1").arg(i));
        box->setProperty("index", i);
        box->installEventFilter(this);
        fieldBoxes << box;
        new BoundField(m_records, Contact::fields()[i], box); // the face name is last
    }
    for (int i = 1; i < FieldCount; ++i)
        QWidget::setTabOrder(fieldBoxes[i - 1], fieldBoxes[i]);
}

void ContactsPanel::buildFace() {
    faceView = new QLabel(frame);
    faceView->setObjectName(QStringLiteral("Picqq"));
    faceView->setFrameShape(QFrame::Panel);
    faceView->setFrameShadow(QFrame::Sunken);
    faceView->setAlignment(Qt::AlignCenter);
    faceView->setGeometry(660, 52, 44, 44);

    faceNameBox = new QLineEdit(frame);
    faceNameBox->setObjectName(QStringLiteral("Textpasskey"));
    faceNameBox->hide();
    connect(faceNameBox, &QLineEdit::textChanged, this, &ContactsPanel::faceNameChanged);
    new BoundField(m_records, QLatin1String(Contact::FaceField), faceNameBox);

    faceSelector = new QComboBox(frame);
    faceSelector->setObjectName(QStringLiteral("ICombo"));
    faceSelector->setIconSize(QSize(FaceArt::Size, FaceArt::Size));
    faceSelector->setGeometry(650, 108, 90, 44);
    connect(faceSelector, &QComboBox::activated, this,
            [this](int index) { chooseFace(index + 1); });
}

void ContactsPanel::buildButtons() {
    const struct {
        PictureButton **button;
        const char *name, *art, *tip;
    } buttons[] = {
        {&previousButton, "cmdp", "previous", "上一位"},
        {&nextButton, "cmdn", "next", "下一位"},
        {&addButton, "Cmdadd", "add", "Add"},
        {&updateButton, "Cmdupdate", "update", "Update"},
        {&deleteButton, "cmddelete", "delete", "Delete"},
        {&findButton, "findname", "find", "Find friend"},
        {&editButton, "modify", "edit", "Edit Mode"},
    };
    int x = 112;
    for (const auto &b : buttons) {
        *b.button = new PictureButton(QString::fromLatin1(b.name), QString::fromLatin1(b.art),
                                      QString::fromUtf8(b.tip), 32, frame);
        (*b.button)->setGeometry(x, 404, 44, 44);
        x += 56;
    }
    connect(previousButton, &PictureButton::clicked, this, &ContactsPanel::showPrevious);
    connect(nextButton, &PictureButton::clicked, this, &ContactsPanel::showNext);
    connect(addButton, &PictureButton::clicked, this, &ContactsPanel::addContact);
    connect(updateButton, &PictureButton::clicked, this, &ContactsPanel::saveContact);
    connect(deleteButton, &PictureButton::clicked, this, &ContactsPanel::deleteContact);
    connect(findButton, &PictureButton::clicked, this, &ContactsPanel::findContact);
    connect(editButton, &PictureButton::clicked, this, &ContactsPanel::unlockFields);
}

void ContactsPanel::find() {
    if (findButton->isVisible() && findButton->isEnabled())
        findContact();
}

QLineEdit *ContactsPanel::field(int index) const {
    return qobject_cast<QLineEdit *>(fieldBoxes[index]);
}
QPlainTextEdit *ContactsPanel::remark() const {
    return qobject_cast<QPlainTextEdit *>(fieldBoxes[10]);
}

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

void ContactsPanel::lockFields() {
    setLocked(true);
}

bool ContactsPanel::showFace(const QString &faceName) {
    const QString path = AppPaths::faceFile(faceName);
    if (path.isEmpty())
        return false;
    QImageReader reader(path);
    reader.setAllocationLimit(16); // MB: a face is tiny
    const QImage image = reader.read();
    if (image.isNull())
        return false;
    faceView->setPixmap(QPixmap::fromImage(FaceArt::seeThrough(image)));
    m_shownFace = faceName;
    return true;
}

// The refresh that follows a step: an empty face name gets the default
// face, written into the record as a pending change.
void ContactsPanel::faceRefresh() {
    if (!faceNameBox->text().isEmpty()) {
        showFace(faceNameBox->text());
        return;
    }
    showFace(DefaultFace);
    faceNameBox->setText(DefaultFace);
}

void ContactsPanel::loadFaces() {
    field(0)->selectAll();
    for (int i = 1; i <= FaceArt::Count; ++i) {
        faceSelector->addItem(faceIcon(i), QString(), QStringLiteral("qq%1").arg(i));
    }
    faceSelector->setCurrentIndex(-1);
    // A face that cannot be shown ends the start-up steps here, before locking.
    if (!faceNameBox->text().isEmpty()) {
        if (!showFace(faceNameBox->text()))
            return;
    } else {
        if (!showFace(DefaultFace))
            return;
        faceNameBox->setText(DefaultFace);
    }
    lockFields();
}

void ContactsPanel::showPrevious() {
    skipFailure(m_records->movePrevious(), "stepping to the previous contact");
    if (m_records->bof())
        skipFailure(m_records->moveFirst(), "going to the first contact");
    lockFields();
    faceRefresh();
}

void ContactsPanel::showNext() {
    skipFailure(m_records->moveNext(), "stepping to the next contact");
    if (m_records->eof())
        skipFailure(m_records->movePrevious(), "stepping back to the last contact");
    lockFields();
    faceRefresh();
}

void ContactsPanel::addContact() {
    setLocked(false);
    skipFailure(m_records->update(), "writing the contact before adding one");
    skipFailure(m_records->addNew(), "adding a contact");
}

void ContactsPanel::saveContact() {
    skipFailure(m_records->update(), "writing a contact");
    lockFields();
}

void ContactsPanel::deleteContact() {
    skipFailure(m_records->deleteCurrent(), "deleting a contact");
    skipFailure(m_records->moveNext(), "stepping past a deleted contact");
    if (m_records->eof())
        skipFailure(m_records->movePrevious(), "stepping back to the last contact");
    lockFields();
}

void ContactsPanel::unlockFields() {
    setLocked(false);
}

void ContactsPanel::findContact() {
    findDialog.get()->exec();
    lockFields();
}

void ContactsPanel::selectFieldText(int index) {
    if (index >= 0 && index < 10)
        field(index)->selectAll();
}

void ContactsPanel::chooseFace(int position) {
    field(0)->setFocus();
    field(0)->selectAll();
    if (position >= 1 && position <= FaceArt::Count)
        faceNameBox->setText(QStringLiteral("%1.bmp").arg(position));
}

void ContactsPanel::faceNameChanged() {
    const QString faceName = faceNameBox->text();
    showFace(faceName.isEmpty() ? DefaultFace : faceName);
}

void ContactsPanel::showFieldTips() {
    for (int i = 0; i < 10; ++i)
        field(i)->setToolTip(field(i)->text());
}

bool ContactsPanel::eventFilter(QObject *watched, QEvent *event) {
    const int index = watched->property("index").toInt();
    // A read-only box still takes what an input method commits.
    if (event->type() == QEvent::InputMethod && isLocked(index))
        return true;
    // The click's own caret placement comes first; selecting happens after it.
    if (event->type() == QEvent::MouseButtonRelease)
        selectFieldText(index);
    return QObject::eventFilter(watched, event);
}
