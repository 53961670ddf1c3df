// SPDX-License-Identifier: GPL-3.0-or-later
#include "contacts/contactspanel.h"

#include "contacts/faceart.h"
#include "contacts/faceicon.h"
#include "contacts/findcontactdialog.h"
#include "core/apppaths.h"
#include "core/boundfield.h"
#include "core/records.h"
#include "core/recordset.h"
#include "ui_contactspanel.h"
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
#include <utility>

const int ContactsPanel::TypingLimits[FieldCount] = {15, 15, 10, 0, 0, 11, 0, 0, 50, 0, 0};

namespace {
const QString DefaultFace = QStringLiteral("2.bmp");

} // namespace

ContactsPanel::ContactsPanel(QWidget *window, RecordSet *records)
    : PagePanel(window),
      findDialog([this, window] { return new FindContactDialog(m_records, window); }),
      m_records(records) {
    Ui::ContactsPanel form;
    form.setupUi(this);
    takeControls(form);
    bindFields();
    bindFace();
    connectButtons();
    adoptFrames({frame});
    connect(frame, &PanelFrame::backgroundHovered, this, &ContactsPanel::showFieldTips);
}

// The form names the controls as tools find them; here they are called by
// what they are.
void ContactsPanel::takeControls(const Ui::ContactsPanel &form) {
    frame = form.Frame5;
    fieldBoxes = {form.infotext0, form.infotext1, form.infotext2, form.infotext3,
                  form.infotext4, form.infotext5, form.infotext6, form.infotext7,
                  form.infotext8, form.infotext9, form.infotext10};
    faceView = form.Picqq;
    faceNameBox = form.Textpasskey;
    faceSelector = form.ICombo;
    previousButton = form.cmdp;
    nextButton = form.cmdn;
    addButton = form.Cmdadd;
    updateButton = form.Cmdupdate;
    deleteButton = form.cmddelete;
    findButton = form.findname;
    editButton = form.modify;
}

void ContactsPanel::bindFields() {
    for (int i = 0; i < FieldCount; ++i) {
        QWidget *box = fieldBoxes[i];
        if (TypingLimits[i] > 0)
            new TypingLimit(TypingLimits[i], field(i));
        box->setProperty("index", i);
        box->installEventFilter(this);
        // The face name is the last field; its box is bound apart.
        m_bound << new BoundField(m_records, Contact::fields()[i], box,
                                  BoundField::Fill::WhenShown);
    }
    connect(m_records, &RecordSet::currentChanged, this,
            [this] { m_selectNameWhenFilled = false; });
    connect(m_bound[0], &BoundField::released, this, [this] {
        if (std::exchange(m_selectNameWhenFilled, false))
            field(0)->selectAll();
    });
}

void ContactsPanel::fillFields() const {
    for (BoundField *bound : m_bound)
        bound->release();
}

void ContactsPanel::bindFace() {
    // It only carries the face's file name to and from the row. Never shown, it
    // is filled at once: what it holds is the face on screen.
    faceNameBox->hide();
    connect(faceNameBox, &QLineEdit::textChanged, this, &ContactsPanel::faceNameChanged);
    new BoundField(m_records, QLatin1String(Contact::FaceField), faceNameBox);
    // The faces are drawn at a size of their own, which a form cannot know.
    faceSelector->setIconSize(QSize(FaceArt::Size, FaceArt::Size));
    connect(faceSelector, &QComboBox::activated, this,
            [this](int index) { chooseFace(index + 1); });
}

void ContactsPanel::connectButtons() {
    const struct {
        PictureButton *button;
        void (ContactsPanel::*action)();
    } actions[] = {
        {previousButton, &ContactsPanel::showPrevious}, {nextButton, &ContactsPanel::showNext},
        {addButton, &ContactsPanel::addContact},        {updateButton, &ContactsPanel::saveContact},
        {deleteButton, &ContactsPanel::deleteContact},  {findButton, &ContactsPanel::findContact},
        {editButton, &ContactsPanel::unlockFields}};
    for (const auto &a : actions)
        connect(a.button, &PictureButton::clicked, this, a.action);
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
    fillFields();
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
    // Faces are bitmaps: asking every image plugin would load each of them.
    QImageReader reader(path, "bmp");
    reader.setAutoDetectImageFormat(false);
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
    m_selectNameWhenFilled = m_bound[0]->isHeld();
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
    fillFields();
    if (index >= 0 && index < 10)
        field(index)->selectAll();
}

void ContactsPanel::chooseFace(int position) {
    fillFields();
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
    fillFields();
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
