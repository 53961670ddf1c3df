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

// The photo album page (Frame3): a preview of the current photo, its
// description, stepping, adding and deleting, and the fitted large view.
class PhotoPanel : public QObject {
    Q_OBJECT
public:
    PhotoPanel(QWidget *window, RecordSet *records);

    PanelFrame *Frame3;
    QLabel *Image1;   // preview, stretched
    QLabel *Picture1; // display box
    QLabel *Image2;   // large view inside the display box
    QLineEdit *pathtext;
    QLineEdit *introducephoto;
    QLabel *Label1_0;
    PictureButton *openphoto;
    PictureButton *addphoto;
    PictureButton *delphoto;
    PictureButton *prevphoto; // "下一张": steps forward
    PictureButton *nextphoto; // "上一张": steps back

    QString photofile; // the picture chosen last

    // The path whose picture each view shows; empty when it shows none.
    QString previewPath() const { return m_previewPath; }
    QString largeViewPath() const { return m_largePath; }

    static const QList<struct FileFilter> &pictureFilters();

    // The page button's steps after the panel shows.
    void showFirstPhoto();

public Q_SLOTS:
    void prevphoto_Click();
    void nextphoto_Click();
    void openphoto_Click();
    void addphoto_Click();
    void delphoto_Click();
    void Image1_Click();
    void Image2_Click();

private:
    void showPreview(const QString &path);
    bool showLargeView(const QString &path);

    RecordSet *m_records;
    BoundField *m_boundPath;
    BoundField *m_boundDescription;
    QString m_previewPath;
    QString m_largePath;
};
