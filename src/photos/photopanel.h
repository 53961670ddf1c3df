// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QDateTime>
#include <QImage>
#include <QPixmap>
#include <QString>
#include <deque>
#include <optional>

#include "widgets/pagepanel.h"

class BoundField;
class ClickableLabel;
class PanelFrame;
class PictureButton;
class PictureQueue;
class QLabel;
class QLineEdit;
class QWidget;
class RecordSet;

namespace Ui {
class PhotoPanel;
}

// The photo album page: a preview of the current photo, its
// description, stepping, adding and deleting, and the fitted large view.
class PhotoPanel : public PagePanel {
    Q_OBJECT
public:
    PhotoPanel(QWidget *window, RecordSet *records);

    // The picture chosen last.
    QString chosenFile() const { return m_chosenFile; }

    // The path whose picture each view shows; empty when it shows none.
    QString previewPath() const { return m_previewPath; }
    QString largeViewPath() const { return m_largePath; }
    // Pictures are decoded off the window's thread: true until both views
    // show what was last asked of them.
    bool isDecoding() const { return !m_previewWanted.isEmpty() || !m_largeWanted.isEmpty(); }
    PictureQueue *decoder() const { return m_decoder; }

    static const QList<struct FileFilter> &pictureFilters();

    // The page button's steps after the panel shows.
    void showFirstPhoto();

public Q_SLOTS:
    void showNextPhoto();
    void showPreviousPhoto();
    void choosePicture();
    void addPhoto();
    void deletePhoto();
    void openLargeView();
    void showDescription();

private:
    void takeControls(const Ui::PhotoPanel &form);
    void showAlbumPicture();
    void bindDescription();
    void connectControls();
    void showPreview(const QString &path);
    void showLargeView(const QString &path);
    void pictureDecoded(const QString &path, const QImage &image);
    void finishPreview(const QString &path, const QImage &image);
    void finishLargeView(const QString &path, const QImage &image);
    void askForPictures();
    // The description box once it holds the current photo's text: until the
    // page is first shown it holds nothing.
    QLineEdit *description() const;
    // The file's picture as decoded last, while the file is unchanged.
    std::optional<QImage> decodedPicture(const QString &path) const;

    PanelFrame *frame;
    ClickableLabel *preview;   // stretched to its box
    QLabel *displayBox;        // the album picture, and the frame of the large view
    ClickableLabel *largeView; // the photo fitted inside the display box
    QLineEdit *pathBox;
    QLineEdit *descriptionBox;
    PictureButton *openButton;
    PictureButton *addButton;
    PictureButton *deleteButton;
    PictureButton *nextPhotoButton;     // "下一张": steps forward
    PictureButton *previousPhotoButton; // "上一张": steps back

    QString m_chosenFile;
    RecordSet *m_records;
    BoundField *m_boundPath;
    BoundField *m_boundDescription;
    QString m_previewPath;
    QString m_largePath;
    PictureQueue *m_decoder;
    QString m_previewWanted; // decoding for the preview
    QString m_largeWanted;   // decoding for the large view
    QPixmap m_previewShown;  // the preview's picture, greyed while the next one decodes
    struct Decoded {
        QString path;
        QDateTime modified;
        qint64 bytes;
        QImage image; // null: not a readable picture
    };
    std::deque<Decoded> m_decoded; // the last two files
};
