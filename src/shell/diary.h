#pragma once

#include <QColor>
#include <QList>
#include <QPoint>
#include <QWidget>
#include <memory>

#include "shell/formholder.h"

class ContactsPanel;
class FrmAbout;
class FrmOptions;
class Introduce;
class MusicPlayer;
class JournalPanel;
class NovelPanel;
class PhotoPanel;
class PanelFrame;
class PictureButton;
class QTimer;
class RecordSet;
class Store;

// The borderless main window: four pages chosen by the page buttons, moved by
// dragging its background.
class Diary : public QWidget {
    Q_OBJECT
public:
    // Deferred builds only what the first sight of the window needs; the
    // hidden pages, the options dialog and the music follow completeStart().
    enum class Start { Complete, Deferred };
    explicit Diary(Store *store, QWidget *parent = nullptr, Start start = Start::Complete);
    ~Diary() override;

    // Builds the hidden pages and runs the rest of the start-up steps, once.
    void completeStart();
    bool isComplete() const { return contacts != nullptr; }

    static const QColor DefaultColour; // RGB (247, 165, 85)

    // The window, then Frame1 to Frame5: the surfaces that carry the colour.
    QList<QWidget *> colouredSurfaces() const;
    void setBackgroundColour(const QColor &colour);
    QColor backgroundColour() const;

    Store *store() const { return m_store; }

    PictureButton *Command1;
    PictureButton *Command2;
    PictureButton *Command3;
    PictureButton *Command4;
    PictureButton *helps;
    PictureButton *minisys;
    PictureButton *exitsys;

    QTimer *Timer1;
    QTimer *Timertext;

    std::unique_ptr<MusicPlayer> MMControl1;
    FormHolder<FrmOptions> options;
    FormHolder<FrmAbout> frmAbout;
    FormHolder<Introduce> introduce;

    RecordSet *Adodc1;
    RecordSet *Adoadd;
    RecordSet *Adophoto;

    JournalPanel *journal;
    ContactsPanel *contacts = nullptr; // these four until completeStart()
    PhotoPanel *photos = nullptr;
    NovelPanel *novels = nullptr;
    PanelFrame *Frame1;
    PanelFrame *Frame2;
    PanelFrame *Frame3 = nullptr;
    PanelFrame *Frame4 = nullptr;
    PanelFrame *Frame5 = nullptr;

public Q_SLOTS:
    void Command1_Click();
    void Command2_Click();
    void Command3_Click();
    void Command4_Click();
    void helps_Click();
    void exitsys_Click();
    void opitions_Click();
    void aboutfrm_Click();
    void minisys_Click();
    // Writes what was typed into the contact and photo fields, as leaving
    // the row would; run whenever the program ends.
    void savePendingEdits();
    // The author page, modal over the About box or on its own.
    void showAuthorPage(bool modal);
    // The pop-up menu at a screen position.
    void showPopupMenu(const QPoint &globalPos);
    void Timer1_Timer();

Q_SIGNALS:
    // Right button released over the window's or a panel's own background.
    void popupRequested(const QPoint &globalPos);

protected:
    void mousePressEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void showEvent(QShowEvent *event) override;

private:
    void Form_Load();
    void readStartSettings();
    void buildControls();
    void buildHiddenPages();

    Store *m_store;
    bool m_dragging = false;
    QPoint m_dragOriginGlobal;
    QPoint m_dragOriginWindow;
    bool m_placed = false;
};
