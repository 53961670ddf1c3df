// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QMenu>

class MainWindow;

// The main window's pop-up menu ("menufile"): the four pages, the journal
// search, the backups, export and import, the options, the About box and the
// help page.
class PopupMenu : public QMenu {
    Q_OBJECT
public:
    explicit PopupMenu(MainWindow *window);

    QAction *journalAction;
    QAction *photoAction;
    QAction *novelAction;
    QAction *contactsAction;
    QAction *findJournalAction;
    QAction *backupAction;
    QAction *exportAction;
    QAction *importAction;
    QAction *optionsAction;
    QAction *aboutAction;
    QAction *helpAction;
};
