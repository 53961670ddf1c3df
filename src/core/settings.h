// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QColor>

// What the user sets in the options dialog, as one value: the application
// owns it, the dialog edits a copy and hands it back on Apply or OK.
struct Settings {
    static inline const QColor DefaultColour{247, 165, 85};

    QColor colour = DefaultColour;  // the main window and its panels
    bool showToday = true;          // the calendar marks today
    int startOfWeek = 1;            // 1 Sunday .. 7 Saturday
    bool musicOn = true;            // background music now
    int song = 0;                   // 1..10: the song last asked for; 0 none
    bool noMusicAtNextStart = true; // as start.ini holds it

    // The song a box's text names: exactly "1" to "10", else 0.
    static int songNumber(const QString &text);

    bool operator==(const Settings &) const = default;
};
