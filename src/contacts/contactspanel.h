#pragma once

#include <QList>
#include <QObject>

#include "shell/formholder.h"

class BoundField;
class FindAddress;
class PanelFrame;
class PictureButton;
class QComboBox;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QWidget;
class RecordSet;

// The address book page (Frame5): one friend at a time in eleven bound
// fields, a face, and buttons to step, add, save, delete, find and edit.
class ContactsPanel : public QObject {
    Q_OBJECT
public:
    ContactsPanel(QWidget *window, RecordSet *records);

    static constexpr int FieldCount = 11;
    // Field names, captions and typing limits (0 for none), by index.
    static const char *const FieldNames[FieldCount];
    static const char *const Captions[FieldCount];
    static const int TypingLimits[FieldCount];

    PanelFrame *Frame5;
    QList<QWidget *> infotext;      // 0..9 QLineEdit, 10 QPlainTextEdit
    QList<QLabel *> captions;
    QLineEdit *Textpasskey;         // the face name, never shown
    QLabel *Picqq;
    QComboBox *ICombo;
    PictureButton *cmdp;
    PictureButton *cmdn;
    PictureButton *Cmdadd;
    PictureButton *Cmdupdate;
    PictureButton *cmddelete;
    PictureButton *findname;
    PictureButton *modify;

    FormHolder<FindAddress> findaddress;

    QLineEdit *field(int index) const; // 0..9
    QPlainTextEdit *remark() const;    // 10
    bool isLocked(int index) const;
    QString text(int index) const;

    // The face shown last, by file name ("17.bmp"); empty before any.
    QString shownFace() const { return m_shownFace; }

    void Loadqq();
    void lockinfotext();

public Q_SLOTS:
    void cmdp_Click();
    void cmdn_Click();
    void Cmdadd_Click();
    void Cmdupdate_Click();
    void cmddelete_Click();
    void modify_Click();
    void findname_Click();
    void infotext_Click(int index);
    void ICombo_Click(int position);
    void Textpasskey_Change();
    // The mouse crossed the panel's background.
    void showFieldTips();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void setLocked(bool locked);
    void faceRefresh();
    bool showFace(const QString &faceName);

    RecordSet *m_records;
    QString m_shownFace;
};
