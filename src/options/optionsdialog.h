#pragma once

#include <QColor>
#include <QDialog>
#include <QList>

#include "core/settings.h"

class ChoiceBox;
class ClickableLabel;
class QCheckBox;
class QFrame;
class QLabel;
class QLineEdit;
class QPushButton;
class QTabBar;

// The options dialog ("frmOptions"): music now and at the next start, the
// main window's colour, and the journal calendar's first day of the week and
// today marker. It edits a copy of the settings and hands it back.
class OptionsDialog : public QDialog {
    Q_OBJECT
public:
    // startSong: the song drawn at start-up, shown in the song box; 0 for none.
    OptionsDialog(const Settings &current, int startSong, QWidget *owner);

    struct Swatch {
        const char *name;
        QColor colour;
    };
    static const QList<Swatch> &swatches();
    static const QStringList &dayNames(); // Monday first, as the list shows them

    QTabBar *tabs;
    QList<QFrame *> pages; // music, colour, calendar

    QLabel *songLabel;
    ChoiceBox *songBox;
    QLineEdit *startSongBox; // never shown
    QCheckBox *musicOnBox;
    QCheckBox *noMusicAtStartBox;

    QLabel *colourLabel;
    QList<ClickableLabel *> swatchLabels;
    QCheckBox *defaultColourBox;

    QLabel *firstDayLabel;
    ChoiceBox *firstDayBox;
    QCheckBox *showTodayBox;

    QPushButton *okButton;
    QPushButton *cancelButton;
    QPushButton *applyButton;

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
    void load(int startSong);
    void markChanged();

    Settings m_settings;
};
