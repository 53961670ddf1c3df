// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QColor>
#include <QDialog>
#include <QList>

#include "core/settings.h"

class ChoiceBox;
class QCheckBox;
class QFrame;
class QLineEdit;
class QPushButton;
class QTabBar;

namespace Ui {
class OptionsDialog;
}

// The options dialog ("frmOptions"): music now and at the next start, the
// main window's colour, and the journal calendar's first day of the week and
// today marker. It edits a copy of the settings and hands it back.
class OptionsDialog : public QDialog {
    Q_OBJECT
public:
    // startSong: the song drawn at start-up, shown in the song box; 0 for none.
    OptionsDialog(const Settings &current, int startSong, QWidget *owner);

    struct Swatch {
        const char *name; // of its label in the form
        QColor colour;
    };
    static const QList<Swatch> &swatches();
    static const QStringList &dayNames(); // Monday first, as the list shows them

Q_SIGNALS:
    // A swatch was clicked: the colour shows at once, before any Apply.
    void colourPicked(const QColor &colour);
    // Apply or OK, with the settings as the dialog now holds them.
    void applied(const Settings &settings);

public Q_SLOTS:
    void showChosenPage();
    void chooseSwatch(int index);
    void apply();
    void acceptAndClose();
    void cancel();

private:
    void takeControls(const Ui::OptionsDialog &form);
    void addTabs();
    void paintSwatches();
    void connectControls();
    void load(int startSong);
    void markChanged();

    QTabBar *tabs;
    QList<QFrame *> pages; // music, colour, calendar
    ChoiceBox *songBox;
    QLineEdit *startSongBox; // never shown
    QCheckBox *musicOnBox;
    QCheckBox *noMusicAtStartBox;
    QCheckBox *defaultColourBox;
    ChoiceBox *firstDayBox;
    QCheckBox *showTodayBox;
    QPushButton *okButton;
    QPushButton *cancelButton;
    QPushButton *applyButton;

    Settings m_settings;
};
