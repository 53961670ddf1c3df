// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QColor>
#include <QList>
#include <QPoint>
#include <QWidget>
#include <functional>
#include <initializer_list>
#include <memory>
#include <utility>

#include "core/settings.h"
#include "core/store.h"
#include "widgets/windowholder.h"

class AboutBox;
class BackupCoordinator;
class QAbstractButton;
class AuthorPage;
class ContactsPanel;
class Drafts;
class JournalPanel;
class MusicPlayer;
class NovelPanel;
class FindJournalWindow;
class OptionsDialog;
class PagePanel;
class PhotoPanel;
class PictureButton;
class PopupMenu;
class QTimer;
class RecordSet;

// The borderless main window ("diary"): four pages chosen by the page
// buttons, moved by dragging its background. It owns the settings, the music
// player and every record set.
class MainWindow : public QWidget {
    Q_OBJECT
public:
    // Deferred builds only what the first sight of the window needs; the
    // hidden pages, the options dialog and the music follow completeStart().
    enum class Start { Complete, Deferred };
    explicit MainWindow(Store *store, QWidget *parent = nullptr, Start start = Start::Complete);
    ~MainWindow() override;

    // Builds the hidden pages and runs the rest of the start-up steps, once.
    void completeStart();
    bool isComplete() const { return contacts != nullptr; }

    // The window and the panels' frames: the surfaces that carry the colour.
    QList<QWidget *> colouredSurfaces() const;
    void setBackgroundColour(const QColor &colour);
    QColor backgroundColour() const;

    const Settings &settings() const { return m_settings; }
    // Takes the colour and calendar settings over; the music is not touched.
    void applySettings(const Settings &settings);

    Store *store() const { return m_store; }

    // Where a window of this size goes on a screen's available area.
    static QPoint placement(const QRect &available, const QSize &window);
    MusicPlayer &musicPlayer() const { return *m_player; }

    PictureButton *journalPageButton;
    PictureButton *photoPageButton;
    PictureButton *novelPageButton;
    PictureButton *contactsPageButton;
    PictureButton *helpButton;
    PictureButton *hideButton;
    PictureButton *closeButton;

    QTimer *songLoopTimer;
    QTimer *novelScrollTimer;

    WindowHolder<OptionsDialog> optionsDialog;
    WindowHolder<AboutBox> aboutBox;
    WindowHolder<AuthorPage> authorPage;
    WindowHolder<FindJournalWindow> findJournal;
    PopupMenu *popupMenu;
    BackupCoordinator *backups;

    RecordSet *journalRecords;
    RecordSet *contactRecords;
    RecordSet *photoRecords;

    JournalPanel *journal;
    ContactsPanel *contacts = nullptr; // these three until completeStart()
    PhotoPanel *photos = nullptr;
    NovelPanel *novels = nullptr;

public Q_SLOTS:
    void showJournalPage();
    void showPhotoPage();
    void showNovelPage();
    void showContactsPage();
    void openHelp();
    void closeProgram();
    void openOptions();
    void openAbout();
    // The journal page, and the window that searches it.
    void openFindJournal();
    // The backup window.
    void openBackups();
    // The export and import dialogs, modal; the pages read their tables
    // again after an import.
    void openExport();
    void openImport();
    // Another program added rows to table (an import from the command
    // line): the page showing it reads it again, once no save of its own is
    // under way.
    void rowsAddedElsewhere(const QString &table);
    void hideToTray();
    // Writes what was typed into the contact and photo fields, as leaving
    // the row would, and where the reader stopped; run whenever the program
    // ends.
    void savePendingEdits();
    // Writes what is pending, closes the store, runs whileClosed (which may
    // put another file in its place), opens it again and shows what it now
    // holds. What was typed into the journal's editor stays there.
    void reopenStore(const std::function<void()> &whileClosed);
    // The author page, modal over the About box or on its own.
    void showAuthorPage(bool modal);
    // The pop-up menu at a screen position.
    void showPopupMenu(const QPoint &globalPos);
    // A song that has played to its end starts again.
    void restartFinishedSong();

Q_SIGNALS:
    // Right button released over the window's or a panel's own background.
    void popupRequested(const QPoint &globalPos);

protected:
    // A close from the window manager or the session ends the program as
    // the close button does.
    void closeEvent(QCloseEvent *event) override;
    void changeEvent(QEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void showEvent(QShowEvent *event) override;

private:
    void loadStartState();
    void openRecords();
    // Once per start, when the store will not keep what is typed into it.
    void tellWhyReadOnly(Store::Refusal why);
    void setWindowType(Qt::WindowType type);
    static void pressIfShown(QAbstractButton *button);
    void startMusicIfWanted();
    void rereadJournal();
    void rereadContacts();
    void buildControls();
    void buildHiddenPages();
    void buildButtons();
    void addShortcuts();
    void switchPages(std::initializer_list<std::pair<PagePanel *, bool>> steps);
    // Apply and OK in the options dialog: the music, start.ini, then the rest.
    void takeOptions(const Settings &chosen);
    OptionsDialog *makeOptionsDialog();

    Store *m_store;
    std::unique_ptr<Drafts> m_drafts; // what was typed into the journal and not saved
    std::unique_ptr<MusicPlayer> m_player;
    Settings m_settings;
    int m_songForDialog = 0; // the start-up song, shown by the dialog made then
    bool m_dragging = false;
    bool m_backgroundPress = false;
    bool m_onTaskBar = false; // minimised where there is no notification area
    QPoint m_dragOriginGlobal;
    QPoint m_dragOriginWindow;
    bool m_placed = false;
    Store::Refusal m_told = Store::Refusal::None; // said once, however often it is found
};
