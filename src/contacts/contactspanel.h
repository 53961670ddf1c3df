// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "widgets/pagepanel.h"
#include "widgets/windowholder.h"
#include <QList>

class BoundField;
class FindContactDialog;
class PanelFrame;
class PictureButton;
class QComboBox;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QWidget;
class RecordSet;

namespace Ui {
class ContactsPanel;
}

// The address book page: one friend at a time in eleven bound
// fields, a face, and buttons to step, add, save, delete, find and edit.
class ContactsPanel : public PagePanel {
    Q_OBJECT
public:
    ContactsPanel(QWidget *window, RecordSet *records);

    static constexpr int FieldCount = 11;
    // Typing limits (0 for none) of the first eleven fields of a contact,
    // by index.
    static const int TypingLimits[FieldCount];

    bool isLocked(int index) const;
    QString text(int index) const;

    // The face shown last, by file name ("17.bmp"); empty before any.
    QString shownFace() const { return m_shownFace; }

    void loadFaces();
    void lockFields();

public Q_SLOTS:
    // Ctrl+F: what pressing the find button does, when it can be pressed.
    void find();
    void showPrevious();
    void showNext();
    void addContact();
    void saveContact();
    void deleteContact();
    void unlockFields();
    void findContact();
    void selectFieldText(int index);
    void chooseFace(int position);
    void faceNameChanged();
    // The mouse crossed the panel's background.
    void showFieldTips();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void takeControls(const Ui::ContactsPanel &form);
    void bindFields();
    void bindFace();
    void connectButtons();
    QLineEdit *field(int index) const; // 0..9
    QPlainTextEdit *remark() const;    // 10
    void setLocked(bool locked);
    void faceRefresh();
    bool showFace(const QString &faceName);
    // The fields wait for the page to be shown; what reads them first fills them.
    void fillFields() const;

    PanelFrame *frame;
    QList<QWidget *> fieldBoxes; // 0..9 QLineEdit, 10 QPlainTextEdit
    QLineEdit *faceNameBox;      // the face name, never shown
    QLabel *faceView;
    QComboBox *faceSelector;
    PictureButton *previousButton;
    PictureButton *nextButton;
    PictureButton *addButton;
    PictureButton *updateButton;
    PictureButton *deleteButton;
    PictureButton *findButton;
    PictureButton *editButton;

    WindowHolder<FindContactDialog> findDialog;
    RecordSet *m_records;
    QList<BoundField *> m_bound; // the eleven fields
    // The name is selected at start; its text, and so the selection, comes later.
    bool m_selectNameWhenFilled = false;
    QString m_shownFace;
};
