#include "photos/photopanel.h"

#include "photos/picturefit.h"
#include "photos/pictureloader.h"
#include "shell/artwork.h"
#include "shell/clickablelabel.h"
#include "shell/interaction.h"
#include "shell/panelframe.h"
#include "shell/picturebutton.h"
#include "shell/typinglimit.h"
#include "store/boundfield.h"
#include "store/recordset.h"

#include <QLabel>
#include <QLineEdit>

namespace {
constexpr int DescriptionLimit = 50;

// Empty text is stored as empty text, not as "no value".
QString nonNull(const QString &s) { return s.isNull() ? QStringLiteral("") : s; }

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

PhotoPanel::PhotoPanel(QWidget *window, RecordSet *records) : QObject(window), m_records(records) {
    Frame3 = new PanelFrame(QStringLiteral("Frame3"), window);

    Picture1 = new QLabel(Frame3);
    Picture1->setObjectName(QStringLiteral("Picture1"));
    Picture1->setGeometry(16, 16, 480, 360);
    Picture1->setPixmap(Artwork::pixmap(QStringLiteral("album"), Picture1->size(),
                                        Picture1->devicePixelRatioF()));
    auto *large = new ClickableLabel(QStringLiteral("Image2"), Picture1);
    Image2 = large;
    Image2->setScaledContents(true);
    Image2->setGeometry(0, 0, 0, 0);

    auto *preview = new ClickableLabel(QStringLiteral("Image1"), Frame3);
    Image1 = preview;
    Image1->setToolTip(QStringLiteral("请单击！"));
    Image1->setScaledContents(true);
    Image1->setFrameShape(QFrame::Box);
    Image1->setCursor(Qt::PointingHandCursor);
    Image1->setGeometry(536, 16, 200, 150);

    pathtext = new QLineEdit(Frame3);
    pathtext->setObjectName(QStringLiteral("pathtext"));
    pathtext->hide();

    Label1_0 = new QLabel(QStringLiteral("照片介绍："), Frame3);
    Label1_0->setObjectName(QStringLiteral("Label1_0"));
    Label1_0->setGeometry(536, 184, 200, 24);
    introducephoto = new QLineEdit(Frame3);
    introducephoto->setObjectName(QStringLiteral("introducephoto"));
    introducephoto->setPlaceholderText(QStringLiteral("照片上是谁呀！"));
    new TypingLimit(DescriptionLimit, introducephoto);
    QFont bold = introducephoto->font();
    bold.setBold(true);
    introducephoto->setFont(bold);
    QPalette pal = introducephoto->palette();
    pal.setColor(QPalette::Text, QColor(128, 128, 255));
    introducephoto->setPalette(pal);
    introducephoto->setGeometry(536, 212, 220, 30);

    m_boundPath = new BoundField(records, QStringLiteral("photopath"), pathtext);
    m_boundDescription = new BoundField(records, QStringLiteral("introduceph"), introducephoto);

    openphoto = new PictureButton(QStringLiteral("openphoto"), QStringLiteral("open"), QString(),
                                  32, Frame3);
    openphoto->setAccessibleName(QStringLiteral("打开图片"));
    addphoto = new PictureButton(QStringLiteral("addphoto"), QStringLiteral("add-photo"),
                                 QStringLiteral("增加你的photo"), 32, Frame3);
    delphoto = new PictureButton(QStringLiteral("delphoto"), QStringLiteral("delete"),
                                 QStringLiteral("删除你的photo"), 32, Frame3);
    openphoto->setGeometry(536, 262, 44, 44);
    addphoto->setGeometry(592, 262, 44, 44);
    delphoto->setGeometry(648, 262, 44, 44);
    nextphoto = new PictureButton(QStringLiteral("nextphoto"), QStringLiteral("previous"),
                                  QStringLiteral("上一张"), 32, Frame3);
    prevphoto = new PictureButton(QStringLiteral("prevphoto"), QStringLiteral("next"),
                                  QStringLiteral("下一张"), 32, Frame3);
    nextphoto->setGeometry(200, 396, 44, 44);
    prevphoto->setGeometry(268, 396, 44, 44);

    connect(prevphoto, &PictureButton::clicked, this, &PhotoPanel::prevphoto_Click);
    connect(nextphoto, &PictureButton::clicked, this, &PhotoPanel::nextphoto_Click);
    connect(openphoto, &PictureButton::clicked, this, &PhotoPanel::openphoto_Click);
    connect(addphoto, &PictureButton::clicked, this, &PhotoPanel::addphoto_Click);
    connect(delphoto, &PictureButton::clicked, this, &PhotoPanel::delphoto_Click);
    connect(preview, &ClickableLabel::clicked, this, &PhotoPanel::Image1_Click);
    connect(large, &ClickableLabel::clicked, this, &PhotoPanel::Image2_Click);
}

// An empty path empties the preview; a picture that cannot be read leaves it.
void PhotoPanel::showPreview(const QString &path) {
    if (path.isEmpty()) {
        Image1->clear();
        m_previewPath.clear();
        return;
    }
    const QImage image =
        PictureLoader::load(path, Image1->size() * Image1->devicePixelRatioF());
    if (image.isNull())
        return;
    Image1->setPixmap(toPixmap(image, Image1));
    m_previewPath = path;
}

void PhotoPanel::showFirstPhoto() {
    m_records->moveFirst();
    showPreview(pathtext->text());
}

void PhotoPanel::prevphoto_Click() {
    nextphoto->setEnabled(true);
    m_records->moveNext();
    if (m_records->eof()) {
        m_records->movePrevious();
        Image2->hide();
        prevphoto->setEnabled(false);
    }
    showPreview(pathtext->text());
    Image2->setToolTip(QString());
}

void PhotoPanel::nextphoto_Click() {
    prevphoto->setEnabled(true);
    m_records->movePrevious();
    if (m_records->bof()) {
        m_records->moveNext();
        Image2->hide();
        nextphoto->setEnabled(false);
    }
    showPreview(pathtext->text());
    Image2->setToolTip(QString());
}

void PhotoPanel::openphoto_Click() {
    const QString chosen = Interaction::current().chooseOpenFile(Frame3->window(), pictureFilters());
    if (chosen.isEmpty())
        return;
    photofile = chosen;
    const QImage image =
        PictureLoader::load(chosen, Image1->size() * Image1->devicePixelRatioF());
    if (!image.isNull()) {
        Image1->setPixmap(toPixmap(image, Image1));
        m_previewPath = chosen;
    }
    // The box now describes the chosen picture, not the photo on screen.
    m_boundDescription->detach();
    introducephoto->clear();
}

void PhotoPanel::addphoto_Click() {
    const QString description = introducephoto->text();
    m_boundDescription->detach(); // the row on screen keeps its own description
    if (!m_records->addNew())
        return; // nothing may land in an existing row
    m_records->setField(QStringLiteral("photopath"), nonNull(photofile));
    m_records->setField(QStringLiteral("introduceph"), nonNull(description));
    if (!m_records->update())
        m_records->cancelUpdate();
}

void PhotoPanel::delphoto_Click() {
    m_records->deleteCurrent();
    m_records->moveNext();
    if (m_records->eof())
        m_records->movePrevious();
    showPreview(pathtext->text());
    introducephoto->setText(m_records->text(QStringLiteral("introduceph")));
    Image2->hide();
}

bool PhotoPanel::showLargeView(const QString &path) {
    const QImage image =
        PictureLoader::load(path, Image2->size() * Image2->devicePixelRatioF());
    if (image.isNull())
        return false;
    Image2->setPixmap(toPixmap(image, Image2));
    m_largePath = path;
    return true;
}

void PhotoPanel::Image1_Click() {
    Image2->clear();
    m_largePath.clear();
    const QString path = m_records->text(QStringLiteral("photopath"));
    const QSize natural = PictureLoader::naturalSize(path);
    if (!natural.isValid())
        return;
    const std::optional<QRectF> fit =
        fitPicture(float(Picture1->width()), float(Picture1->height()), float(natural.width()),
                   float(natural.height()));
    if (!fit)
        return;
    Image2->setGeometry(fit->toRect());
    Image2->show();
    showLargeView(pathtext->text());
}

void PhotoPanel::Image2_Click() {
    const QVariant description = m_records->field(QStringLiteral("introduceph"));
    if (description.isNull())
        return; // never stored: nothing to show
    if (description.toString().isEmpty()) {
        Image2->setToolTip(QStringLiteral("这是谁呀？还不快介绍一下！"));
        return;
    }
    m_boundDescription->attach();
    introducephoto->setText(description.toString());
    Image2->setToolTip(introducephoto->text());
}
