// SPDX-License-Identifier: GPL-3.0-or-later
#include "photos/photopanel.h"

#include "core/boundfield.h"
#include "core/picturefit.h"
#include "core/records.h"
#include "core/recordset.h"
#include "photos/picturefile.h"
#include "photos/picturequeue.h"
#include "ui_photopanel.h"
#include "widgets/artwork.h"
#include "widgets/clickablelabel.h"
#include "widgets/interaction.h"
#include "widgets/panelframe.h"
#include "widgets/picturebutton.h"
#include "widgets/typinglimit.h"

#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>

namespace {
constexpr int DescriptionLimit = 50;

// Empty text is stored as empty text, not as "no value".
QString nonNull(const QString &s) {
    return s.isNull() ? QStringLiteral("") : s;
}

// A decoded picture at the size of the view it goes into, in device pixels.
QImage scaledTo(const QImage &image, const QWidget *view) {
    const QSize size = view->size() * view->devicePixelRatioF();
    return image.size() == size
               ? image
               : image.scaled(size, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
}

// The picture shown while the next one is on its way.
QPixmap greyed(const QPixmap &shown) {
    QPixmap faded = shown;
    QPainter painter(&faded);
    painter.fillRect(faded.rect(), QColor(255, 255, 255, 150));
    return faded;
}

QPixmap toPixmap(const QImage &image, const QWidget *on) {
    QPixmap pm = QPixmap::fromImage(image);
    pm.setDevicePixelRatio(on->devicePixelRatioF());
    return pm;
}
} // namespace

const QList<FileFilter> &PhotoPanel::pictureFilters() {
    static const QList<FileFilter> filters = {
        {QStringLiteral("图片文件(*.jpg)"), {QStringLiteral("jpg"), QStringLiteral("jpeg")}},
        {QStringLiteral("位图文件(*.bmp)"), {QStringLiteral("bmp")}},
    };
    return filters;
}

PhotoPanel::PhotoPanel(QWidget *window, RecordSet *records)
    : PagePanel(window), m_records(records) {
    Ui::PhotoPanel form;
    form.setupUi(this);
    takeControls(form);
    showAlbumPicture();
    bindDescription();
    connectControls();
    adoptFrames({frame});

    m_decoder = new PictureQueue(preview->size() * preview->devicePixelRatioF(),
                                 displayBox->size() * displayBox->devicePixelRatioF(), this);
    connect(m_decoder, &PictureQueue::decoded, this, &PhotoPanel::pictureDecoded);
}

// The form names the controls as tools find them; here they are called by
// what they are.
void PhotoPanel::takeControls(const Ui::PhotoPanel &form) {
    frame = form.Frame3;
    displayBox = form.Picture1;
    largeView = form.Image2;
    preview = form.Image1;
    pathBox = form.pathtext;
    descriptionBox = form.introducephoto;
    openButton = form.openphoto;
    addButton = form.addphoto;
    deleteButton = form.delphoto;
    previousPhotoButton = form.nextphoto;
    nextPhotoButton = form.prevphoto;
}

// Drawn for this screen's pixel density, which a form cannot know.
void PhotoPanel::showAlbumPicture() {
    displayBox->setPixmap(Artwork::pixmap(QStringLiteral("album"), displayBox->size(),
                                          displayBox->devicePixelRatioF()));
}

void PhotoPanel::bindDescription() {
    // It only carries the photo's path to and from the row; never shown, it is
    // filled at once, as the preview follows it.
    pathBox->hide();
    new TypingLimit(DescriptionLimit, descriptionBox);
    m_boundPath = new BoundField(m_records, QLatin1String(Photo::PathField), pathBox);
    m_boundDescription = new BoundField(m_records, QLatin1String(Photo::DescriptionField),
                                        descriptionBox, BoundField::Fill::WhenShown);
}

QLineEdit *PhotoPanel::description() const {
    m_boundDescription->release();
    return descriptionBox;
}

void PhotoPanel::connectControls() {
    connect(preview, &ClickableLabel::clicked, this, &PhotoPanel::openLargeView);
    connect(largeView, &ClickableLabel::clicked, this, &PhotoPanel::showDescription);
    const struct {
        PictureButton *button;
        void (PhotoPanel::*action)();
    } actions[] = {{nextPhotoButton, &PhotoPanel::showNextPhoto},
                   {previousPhotoButton, &PhotoPanel::showPreviousPhoto},
                   {openButton, &PhotoPanel::choosePicture},
                   {addButton, &PhotoPanel::addPhoto},
                   {deleteButton, &PhotoPanel::deletePhoto}};
    for (const auto &a : actions)
        connect(a.button, &PictureButton::clicked, this, a.action);
}

std::optional<QImage> PhotoPanel::decodedPicture(const QString &path) const {
    const QFileInfo file(path);
    for (const Decoded &d : m_decoded)
        if (d.path == path && d.modified == file.lastModified() && d.bytes == file.size())
            return d.image;
    return std::nullopt;
}

void PhotoPanel::askForPictures() {
    QSet<QString> wanted;
    for (const QString &path : {m_previewWanted, m_largeWanted})
        if (!path.isEmpty())
            wanted.insert(path);
    m_decoder->want(wanted);
}

void PhotoPanel::pictureDecoded(const QString &path, const QImage &image) {
    const QFileInfo file(path);
    m_decoded.push_front({path, file.lastModified(), file.size(), image});
    if (m_decoded.size() > 2)
        m_decoded.pop_back();
    if (path == m_previewWanted)
        finishPreview(path, image);
    if (path == m_largeWanted)
        finishLargeView(path, image);
}

// An empty path empties the preview; a picture that cannot be read leaves it.
// Meanwhile the picture shown so far stays, greyed.
void PhotoPanel::showPreview(const QString &path) {
    if (path.isEmpty()) {
        m_previewWanted.clear();
        preview->clear();
        m_previewShown = QPixmap();
        m_previewPath.clear();
        askForPictures();
        return;
    }
    if (const std::optional<QImage> known = decodedPicture(path)) {
        m_previewWanted.clear();
        finishPreview(path, *known);
        return;
    }
    m_previewWanted = path;
    if (!m_previewShown.isNull())
        preview->setPixmap(greyed(m_previewShown));
    askForPictures();
}

void PhotoPanel::finishPreview(const QString &path, const QImage &image) {
    m_previewWanted.clear();
    askForPictures();
    if (image.isNull()) {
        if (m_previewShown.isNull())
            preview->clear();
        else
            preview->setPixmap(m_previewShown);
        return;
    }
    m_previewShown = toPixmap(scaledTo(image, preview), preview);
    preview->setPixmap(m_previewShown);
    m_previewPath = path;
}

void PhotoPanel::showFirstPhoto() {
    skipFailure(m_records->moveFirst(), "going to the first photo");
    showPreview(pathBox->text());
}

void PhotoPanel::showNextPhoto() {
    previousPhotoButton->setEnabled(true);
    skipFailure(m_records->moveNext(), "stepping to the next photo");
    if (m_records->eof()) {
        skipFailure(m_records->movePrevious(), "stepping back to the last photo");
        largeView->hide();
        nextPhotoButton->setEnabled(false);
    }
    showPreview(pathBox->text());
    largeView->setToolTip(QString());
}

void PhotoPanel::showPreviousPhoto() {
    nextPhotoButton->setEnabled(true);
    skipFailure(m_records->movePrevious(), "stepping to the previous photo");
    if (m_records->bof()) {
        skipFailure(m_records->moveNext(), "stepping forward to the first photo");
        largeView->hide();
        previousPhotoButton->setEnabled(false);
    }
    showPreview(pathBox->text());
    largeView->setToolTip(QString());
}

void PhotoPanel::choosePicture() {
    const QString chosen = Interaction::current().chooseOpenFile(frame->window(), pictureFilters());
    if (chosen.isEmpty())
        return;
    m_chosenFile = chosen;
    showPreview(chosen);
    // The box now describes the chosen picture, not the photo on screen.
    QLineEdit *box = description();
    m_boundDescription->detach();
    box->clear();
}

void PhotoPanel::addPhoto() {
    const QString typed = description()->text();
    m_boundDescription->detach(); // the row on screen keeps its own description
    // Nothing may land in an existing row.
    skipFailure(m_records->append(Photo{nonNull(m_chosenFile), nonNull(typed)}.toRow()),
                "adding a photo");
}

void PhotoPanel::deletePhoto() {
    skipFailure(m_records->deleteCurrent(), "deleting a photo");
    skipFailure(m_records->moveNext(), "stepping past a deleted photo");
    if (m_records->eof())
        skipFailure(m_records->movePrevious(), "stepping back to the last photo");
    showPreview(pathBox->text());
    description()->setText(m_records->text(QLatin1String(Photo::DescriptionField)));
    largeView->hide();
}

void PhotoPanel::showLargeView(const QString &path) {
    if (const std::optional<QImage> known = decodedPicture(path)) {
        finishLargeView(path, *known);
        return;
    }
    m_largeWanted = path;
    askForPictures();
}

void PhotoPanel::finishLargeView(const QString &path, const QImage &image) {
    m_largeWanted.clear();
    askForPictures();
    if (image.isNull())
        return;
    largeView->setPixmap(toPixmap(scaledTo(image, largeView), largeView));
    m_largePath = path;
}

void PhotoPanel::openLargeView() {
    largeView->clear();
    m_largePath.clear();
    m_largeWanted.clear();
    askForPictures();
    const QString path = m_records->text(QLatin1String(Photo::PathField));
    const QSize natural = PictureFile::naturalSize(path);
    if (!natural.isValid())
        return;
    const std::optional<QRectF> fit =
        fitPicture(float(displayBox->width()), float(displayBox->height()), float(natural.width()),
                   float(natural.height()));
    if (!fit)
        return;
    largeView->setGeometry(fit->toRect());
    largeView->show();
    showLargeView(pathBox->text());
}

void PhotoPanel::showDescription() {
    const QVariant stored = m_records->field(QLatin1String(Photo::DescriptionField));
    if (stored.isNull())
        return; // never stored: nothing to show
    if (stored.toString().isEmpty()) {
        largeView->setToolTip(QStringLiteral("这是谁呀？还不快介绍一下！"));
        return;
    }
    QLineEdit *box = description();
    m_boundDescription->attach();
    box->setText(stored.toString());
    largeView->setToolTip(box->text());
}
