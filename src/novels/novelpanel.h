// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QFutureWatcher>

#include "core/readingplaces.h"
#include "widgets/pagepanel.h"
#include "widgets/windowholder.h"

class CatalogueDialog;
class PanelFrame;
class PictureButton;
class QFrame;
class QLineEdit;
class QListWidget;
class QTextEdit;
class QTimer;
class QWidget;
class TextWindow;

// The novel page: the chapter list of the chosen novel and the
// reading pane, which can scroll itself upward inside its clipping frame.
class NovelPanel : public PagePanel {
    Q_OBJECT
public:
    NovelPanel(QWidget *window, QTimer *timer);

    // The pane's place inside paneClip, in twips.
    static constexpr float RestingHeight = 4575;
    static constexpr float ScrollStep = 190;
    float paneTop() const { return m_top; }
    float paneHeight() const { return m_height; }
    int twipsToPixels(float twips) const;

    // The page button's steps: empty the pane, then let the user choose.
    void openCatalogue();

public Q_SLOTS:
    void chooseNovel(const QString &key);
    // Asks for a whole novel's text file and cuts it into the chapters of
    // the user's own folder for this novel, after saying what was found.
    void importNovel(const QString &key);
    void openChapter();
    void enlargeText();
    void restoreText();
    void startScrolling();
    void stopScrolling();
    void scrollStep();
    // Writes where the reader stopped in the open novel; run when the
    // program ends, as the place is otherwise kept once scrolling settles.
    void keepReadingPlace();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void buildReadingPane();
    void buildButtons();
    void placePane(float top, float height);
    void showChapterPart(int part);
    void stopReading();
    void loadChapter(qsizetype at);
    void reopenAtPlace();
    void markLastRead(int row);
    int paneClipTop() const;

    // A long chapter is read on a worker; what it has read so far shows at once.
    static constexpr qsizetype HeadBytes = 64 * 1024;
    QFutureWatcher<QString> m_reading;
    void placeTwips(QWidget *w, float left, float top, float width, float height);

    PanelFrame *frame;
    QListWidget *chapterList;
    QLineEdit *novelKeyBox; // key of the open novel, never shown
    QFrame *paneClip;       // clips the pane
    QTextEdit *readingPane;
    TextWindow *paneText;
    PictureButton *enlargeButton;
    PictureButton *restoreButton;
    PictureButton *scrollButton;
    PictureButton *stopScrollButton;
    QTimer *scrollTimer;

    WindowHolder<CatalogueDialog> catalogueDialog;

    // A novel opens again where the user stopped, written a second after the
    // scrolling settles.
    ReadingPlaces m_places;
    QTimer *placeSettled;
    int m_shownChapter = 0;       // the line of the chapter in the pane, from 1
    bool m_shownOwn = false;      // read from the user's own chapter folder
    qsizetype m_pendingPlace = 0; // where a chapter still being read is to open
    int m_markedRow = -1;
    // What the start did with leftovers of imports cut short, said when the
    // user first comes to the novels.
    QStringList m_recovered;

    float m_top = 0;
    float m_height = RestingHeight;
};
