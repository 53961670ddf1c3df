#pragma once

#include <QObject>
#include <QString>

class BoundField;
class PanelFrame;
class PictureButton;
class QLabel;
class QLineEdit;
class QWidget;
class RecordSet;

// The photo album page: a preview of the current photo, its
// description, stepping, adding and deleting, and the fitted large view.
class PhotoPanel : public QObject {
    Q_OBJECT
public:
    PhotoPanel(QWidget *window, RecordSet *records);

    PanelFrame *frame;
    QLabel *preview;    // stretched to its box
    QLabel *displayBox; // the album picture, and the frame of the large view
    QLabel *largeView;  // the photo fitted inside the display box
    QLineEdit *pathBox;
    QLineEdit *descriptionBox;
    QLabel *descriptionLabel;
    PictureButton *openButton;
    PictureButton *addButton;
    PictureButton *deleteButton;
    PictureButton *nextPhotoButton;     // "下一张": steps forward
    PictureButton *previousPhotoButton; // "上一张": steps back

    QString chosenFile; // the picture chosen last

    // The path whose picture each view shows; empty when it shows none.
    QString previewPath() const { return m_previewPath; }
    QString largeViewPath() const { return m_largePath; }

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
    void showPreview(const QString &path);
    bool showLargeView(const QString &path);

    RecordSet *m_records;
    BoundField *m_boundPath;
    BoundField *m_boundDescription;
    QString m_previewPath;
    QString m_largePath;
};
