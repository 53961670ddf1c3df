// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// The controls of the main window's pages, found by their object names as
// any tool outside the program finds them. Each page wraps its panel: the
// arrow reaches the panel's own slots, the named functions its controls.

#include "contacts/contactspanel.h"
#include "journal/entrylistmodel.h"
#include "journal/journalpanel.h"
#include "novels/novelpanel.h"
#include "photos/photopanel.h"
#include "widgets/labelbutton.h"
#include "widgets/panelframe.h"
#include "widgets/picturebutton.h"
#include "widgets/textwindow.h"

#include <QAbstractButton>
#include <QCalendarWidget>
#include <QComboBox>
#include <QFrame>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QTextEdit>

template <class T> T *named(const QObject *root, const QString &name) {
    T *found = root->findChild<T *>(name);
    if (!found)
        qFatal("no control named %s under %s", qPrintable(name), qPrintable(root->objectName()));
    return found;
}

template <class Panel> struct Page {
    Panel *panel = nullptr;
    Page() = default;
    explicit Page(const QObject *window) : panel(window->findChild<Panel *>()) {}
    Panel *operator->() const { return panel; }
    explicit operator bool() const { return panel != nullptr; }

protected:
    template <class T> T *get(const char *name) const {
        return named<T>(panel, QString::fromLatin1(name));
    }
};

struct JournalPage : Page<JournalPanel> {
    using Page::Page;
    PanelFrame *calendarFrame() const { return get<PanelFrame>("Frame1"); }
    PanelFrame *editorFrame() const { return get<PanelFrame>("Frame2"); }
    QCalendarWidget *calendar() const { return get<QCalendarWidget>("MonthView1"); }
    QListView *entryList() const { return get<QListView>("List1"); }
    EntryListModel *entries() const { return qobject_cast<EntryListModel *>(entryList()->model()); }
    QTextEdit *editor() const { return get<QTextEdit>("RTBox"); }
    TextWindow *editorText() const { return editor()->findChild<TextWindow *>(); }
    LabelButton *fontButton() const { return get<LabelButton>("fontpor"); }
    LabelButton *growFontButton() const { return get<LabelButton>("fontadd"); }
    LabelButton *shrinkFontButton() const { return get<LabelButton>("fontminus"); }
    LabelButton *underlineButton() const { return get<LabelButton>("underline"); }
    LabelButton *colourButton() const { return get<LabelButton>("color"); }
    LabelButton *saveButton() const { return get<LabelButton>("save"); }
    LabelButton *deleteButton() const { return get<LabelButton>("deldata"); }
    LabelButton *optionsButton() const { return get<LabelButton>("opitions"); }
    LabelButton *aboutButton() const { return get<LabelButton>("aboutfrm"); }
    // In the order their emphasis is reset.
    QList<LabelButton *> labelButtons() const {
        return {fontButton(),      growFontButton(), shrinkFontButton(),
                underlineButton(), colourButton(),   saveButton(),
                deleteButton(),    optionsButton(),  aboutButton()};
    }
};

struct ContactsPage : Page<ContactsPanel> {
    using Page::Page;
    PanelFrame *frame() const { return get<PanelFrame>("Frame5"); }
    QWidget *fieldBox(int index) const {
        return named<QWidget>(panel, QStringLiteral("infotext%1").arg(index));
    }
    QLineEdit *field(int index) const { return qobject_cast<QLineEdit *>(fieldBox(index)); }
    QPlainTextEdit *remark() const { return qobject_cast<QPlainTextEdit *>(fieldBox(10)); }
    QLineEdit *faceNameBox() const { return get<QLineEdit>("Textpasskey"); }
    QLabel *faceView() const { return get<QLabel>("Picqq"); }
    QComboBox *faceSelector() const { return get<QComboBox>("ICombo"); }
    PictureButton *previousButton() const { return get<PictureButton>("cmdp"); }
    PictureButton *nextButton() const { return get<PictureButton>("cmdn"); }
    PictureButton *addButton() const { return get<PictureButton>("Cmdadd"); }
    PictureButton *updateButton() const { return get<PictureButton>("Cmdupdate"); }
    PictureButton *deleteButton() const { return get<PictureButton>("cmddelete"); }
    PictureButton *findButton() const { return get<PictureButton>("findname"); }
    PictureButton *editButton() const { return get<PictureButton>("modify"); }
};

struct PhotoPage : Page<PhotoPanel> {
    using Page::Page;
    PanelFrame *frame() const { return get<PanelFrame>("Frame3"); }
    QLabel *preview() const { return get<QLabel>("Image1"); }
    QLabel *displayBox() const { return get<QLabel>("Picture1"); }
    QLabel *largeView() const { return get<QLabel>("Image2"); }
    QLineEdit *pathBox() const { return get<QLineEdit>("pathtext"); }
    QLineEdit *descriptionBox() const { return get<QLineEdit>("introducephoto"); }
    QLabel *descriptionLabel() const { return get<QLabel>("Label1_0"); }
    PictureButton *openButton() const { return get<PictureButton>("openphoto"); }
    PictureButton *addButton() const { return get<PictureButton>("addphoto"); }
    PictureButton *deleteButton() const { return get<PictureButton>("delphoto"); }
    // "下一张" steps forward and "上一张" back, whatever their names say.
    PictureButton *nextPhotoButton() const { return get<PictureButton>("prevphoto"); }
    PictureButton *previousPhotoButton() const { return get<PictureButton>("nextphoto"); }
};

struct NovelPage : Page<NovelPanel> {
    using Page::Page;
    PanelFrame *frame() const { return get<PanelFrame>("Frame4"); }
    QListWidget *chapterList() const { return get<QListWidget>("Listbook"); }
    QLineEdit *novelKeyBox() const { return get<QLineEdit>("Textbook"); }
    QFrame *paneClip() const { return get<QFrame>("Pictext"); }
    QTextEdit *readingPane() const { return get<QTextEdit>("Rtbstory"); }
    TextWindow *paneText() const { return readingPane()->findChild<TextWindow *>(); }
    PictureButton *enlargeButton() const { return get<PictureButton>("fontmax"); }
    PictureButton *restoreButton() const { return get<PictureButton>("fontmini"); }
    PictureButton *scrollButton() const { return get<PictureButton>("sscroll"); }
    PictureButton *stopScrollButton() const { return get<PictureButton>("scrollstop"); }
};

// Presses the button of that name, as a click on it would.
inline void press(const QObject *root, const char *name) {
    named<QAbstractButton>(root, QString::fromLatin1(name))->click();
}
