#pragma once

#include <QObject>

#include "shell/formholder.h"

class Book;
class PanelFrame;
class PictureButton;
class QFrame;
class QLineEdit;
class QListWidget;
class QTextEdit;
class QTimer;
class QWidget;

// The novel page (Frame4): the chapter list of the chosen novel and the
// reading pane, which can scroll itself upward inside its clipping frame.
class NovelPanel : public QObject {
    Q_OBJECT
public:
    NovelPanel(QWidget *window, QTimer *scrollTimer);

    PanelFrame *Frame4;
    QListWidget *Listbook;
    QLineEdit *Textbook; // key of the open novel, never shown
    QFrame *Pictext;     // clips the pane
    QTextEdit *Rtbstory;
    PictureButton *fontmax;
    PictureButton *fontmini;
    PictureButton *sscroll;
    PictureButton *scrollstop;
    QTimer *Timertext;

    FormHolder<Book> book;

    // The pane's place inside Pictext, in twips.
    static constexpr float RestingHeight = 4575;
    static constexpr float ScrollStep = 190;
    float paneTop() const { return m_top; }
    float paneHeight() const { return m_height; }
    int twipsToPixels(float twips) const;

    // The page button's steps: empty the pane, then let the user choose.
    void openCatalogue();

public Q_SLOTS:
    void chooseNovel(const QString &key);
    void Listbook_Click();
    void fontmax_Click();
    void fontmini_Click();
    void sscroll_Click();
    void scrollstop_Click();
    void Timertext_Timer();

private:
    void placePane(float top, float height);
    void placeTwips(QWidget *w, float left, float top, float width, float height);

    float m_top = 0;
    float m_height = RestingHeight;
};
